#pragma once
// The display's mode: the desktop (its size from the window stand-in, 32 bits
// per pixel unless a test says otherwise) or a full-screen mode that a device
// in exclusive mode has set. Tests decide which modes the display accepts.

#include <cstdint>
#include <functional>

#include "platform/display/pixel_format.h"

namespace velk::platform {

struct DisplayMode {
    int width = 0;
    int height = 0;
    int bits = 0;
    int refresh_rate = 0;  // 0: the display's own

    friend bool operator==(const DisplayMode&, const DisplayMode&) = default;
};

DisplayMode DesktopDisplayMode();
// The desktop unless a full-screen mode is set.
DisplayMode CurrentDisplayMode();
bool FullScreenModeIsSet();

// The display's pixel format for a depth: 8 paletted, 16 R5G6B5, 32 X8R8G8B8;
// any other depth gives a zeroed format.
DdPixelFormat DisplayPixelFormatForBits(int bits);

// Sets a full-screen mode; false when the display refuses it (a test filter,
// or a depth other than 8, 16 and 32, a size outside 1..16384, a rate other
// than 0 and 60). Windows are told of the change.
bool ApplyDisplayMode(const DisplayMode& mode);
// Back to the desktop; windows are told when the mode was set.
void RestoreDesktopDisplayMode();

// ---- Test controls ----
// The desktop's depth (32 unless set; 0 restores 32).
void SetDesktopColorBits(int bits);
// Decides which full-screen modes are accepted (nullptr: the default rules).
void SetDisplayModeFilter(std::function<bool(const DisplayMode&)> accepts);
// Makes the creation of display devices fail (or succeed again).
void SetDisplayDeviceCreationFails(bool fails);
bool DisplayDeviceCreationFails();
// Tests: surfaces asked for in video memory report video memory (their
// pixels stay in system memory), so that code choosing by memory kind can
// be seen to choose.
void SetVideoMemoryReported(bool reported);
bool VideoMemoryReported();
// What the display asks of overlay rectangles, in pixels (0: nothing). The
// compositor takes any rectangle, so by default nothing is asked; tests set
// the values a card would report.
struct OverlayAlignment {
    uint32_t boundary_src = 0;
    uint32_t size_src = 0;
    uint32_t boundary_dest = 0;
    uint32_t size_dest = 0;
};
void SetOverlayAlignment(const OverlayAlignment& alignment);
OverlayAlignment CurrentOverlayAlignment();
// Whether overlays and YUV surfaces are offered (yes unless a test says no).
void SetOverlaysOffered(bool offered);
bool OverlaysOffered();
// Makes the display refuse surfaces of one YUV layout (or take them again).
void SetFourCcRefused(uint32_t four_cc, bool refused);
bool FourCcRefused(uint32_t four_cc);
// Back to the desktop, the default depth and rules, creation allowed.
void ResetDisplayForTests();

}  // namespace velk::platform
