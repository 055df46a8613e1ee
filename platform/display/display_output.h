#pragma once
// Where finished pixels reach the screen. The primary surface and the GDI
// stand-in hand each changed frame of a window to the active output, which
// shows it stretched over the window's client area. The SDL output writes a
// frame of the window's size into the window's surface and uploads any other
// into a streaming texture of the window's renderer; the capturing
// output only keeps the frame, for tests and for windows without a native
// window (the manual window back-end).

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/display/display_types.h"
#include "platform/window/window_messages.h"

namespace velk::platform {

// A frame handed to an output: rows from the top, in one pixel format
// (8-bit with a palette, 16-bit or 32-bit with any masks).
struct PresentImage {
    const uint8_t* pixels = nullptr;
    int32_t pitch = 0;
    int32_t width = 0;
    int32_t height = 0;
    DdPixelFormat format;
    const DdPaletteEntry* palette = nullptr;  // 256 entries for 8-bit frames
};

// Rows of 0x00RRGGBB pixels, packed, as a frame to present.
PresentImage XrgbPresentImage(const uint32_t* pixels, int32_t width, int32_t height);

// A frame as shown: 0x00RRGGBB pixels, row after row.
struct PresentedFrame {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint32_t> pixels;

    uint32_t at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

// One channel of a pixel value (the bits under mask) widened to 8 bits as a
// display shows it: v x 255 / max, so 16-bit white is 255.
uint32_t WidenChannelTo8(uint32_t value, uint32_t mask);

// Converts a frame into 0x00RRGGBB pixels, channels widened as above.
void ConvertPresentImage(const PresentImage& image, PresentedFrame* out);
// The same into rows of the caller's (out_pitch bytes apart, each
// image.width pixels).
void ConvertPresentImageInto(const PresentImage& image, uint32_t* out, int32_t out_pitch);

// The size of the rows a DisplayOutput::ShownRows gives, and their distance.
struct ShownRowsLayout {
    int32_t width = 0;
    int32_t height = 0;
    int32_t pitch = 0;
};

class DisplayOutput {
public:
    virtual ~DisplayOutput() = default;
    // Shows the frame over the window's whole client area.
    virtual void Present(WindowHandle window, const PresentImage& image) = 0;
    // The window's pixels as last shown; false when nothing was shown (or the
    // output keeps no copy: see SetCapturePresentedFrames).
    virtual bool ReadPresentedPixels(WindowHandle window, PresentedFrame* out) = 0;
    // Drops what the output keeps for the window, while the window still exists.
    virtual void ReleaseWindow(WindowHandle window) = 0;
    // Where the output holds the window's last frame as shown, in rows of
    // 32-bit 0x00RRGGBB pixels (the top bytes mean nothing), those rows; null
    // when it holds no such rows (the frame was stretched, or drawn by a
    // renderer). The rows stay as they are until the next Present to the
    // window, ReleaseWindow, or the output's replacement.
    virtual const uint8_t* ShownRows(WindowHandle window, ShownRowsLayout* layout) {
        (void)window;
        (void)layout;
        return nullptr;
    }
    // How many frames were shown so far, in all windows.
    virtual uint64_t present_count() const = 0;
};

// Keeps the last frame of each window, converted to 0x00RRGGBB at the
// frame's own size.
class CapturingDisplayOutput final : public DisplayOutput {
public:
    void Present(WindowHandle window, const PresentImage& image) override;
    bool ReadPresentedPixels(WindowHandle window, PresentedFrame* out) override;
    void ReleaseWindow(WindowHandle window) override;
    const uint8_t* ShownRows(WindowHandle window, ShownRowsLayout* layout) override;
    uint64_t present_count() const override { return present_count_; }

private:
    struct Entry {
        WindowHandle window;
        PresentedFrame frame;
    };
    std::vector<Entry> frames_;
    uint64_t present_count_ = 0;
};

// Shows frames in the SDL windows behind the window stand-in (a window
// without a native window keeps its frames as the capturing output does).
// With capture on it reads back what its renderer drew before each present,
// at the window's output size.
std::unique_ptr<DisplayOutput> CreateSdlDisplayOutput();
void SetCapturePresentedFrames(bool capture);

// The output in use: the SDL output unless another was installed.
DisplayOutput& ActiveDisplayOutput();
// Installs an output (nullptr: the SDL output on next use). Windows whose
// pictures the old output holds take copies first.
void SetDisplayOutput(std::unique_ptr<DisplayOutput> output);

// Installs a capturing output for the life of a scope.
class ScopedCapturingDisplayOutput {
public:
    ScopedCapturingDisplayOutput();
    ~ScopedCapturingDisplayOutput();
    ScopedCapturingDisplayOutput(const ScopedCapturingDisplayOutput&) = delete;
    ScopedCapturingDisplayOutput& operator=(const ScopedCapturingDisplayOutput&) = delete;
    CapturingDisplayOutput& output() { return *output_; }

private:
    CapturingDisplayOutput* output_;
};

}  // namespace velk::platform
