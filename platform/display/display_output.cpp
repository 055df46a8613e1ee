#include "platform/display/display_output.h"

#include <algorithm>
#include <bit>

#include "platform/display/window_dib.h"

namespace velk::platform {

namespace {

uint32_t ReadValue(const uint8_t* pixel, int bytes) {
    switch (bytes) {
        case 1: return pixel[0];
        case 2: return static_cast<uint32_t>(pixel[0] | (pixel[1] << 8));
        case 3: return static_cast<uint32_t>(pixel[0] | (pixel[1] << 8) | (pixel[2] << 16));
        default:
            return static_cast<uint32_t>(pixel[0] | (pixel[1] << 8) | (pixel[2] << 16)) |
                   (static_cast<uint32_t>(pixel[3]) << 24);
    }
}

std::unique_ptr<DisplayOutput>& InstalledOutput() {
    static std::unique_ptr<DisplayOutput> output;
    return output;
}

}  // namespace

uint32_t WidenChannelTo8(uint32_t value, uint32_t mask) {
    if (mask == 0) return 0;
    const int shift = std::countr_zero(mask);
    const int width = std::popcount(mask);
    const uint32_t channel = (value & mask) >> shift;
    if (width >= 8) return channel >> (width - 8);
    // The top bits moved up plus the rounding share of the missing ones:
    // exactly v x 255 / max rounded down for every width below 8.
    const int missing = 8 - width;
    return (channel << missing) + channel * ((1u << missing) - 1) / ((1u << width) - 1);
}

void ConvertPresentImageInto(const PresentImage& image, uint32_t* out, int32_t out_pitch) {
    const int bytes = static_cast<int>((image.format.rgb_bit_count + 7) / 8);
    const bool paletted = (image.format.flags & kPixelFormatPaletteIndexed8) != 0;
    const bool valid = image.pixels != nullptr && bytes >= 1 && bytes <= 4;
    for (int y = 0; y < image.height; ++y) {
        auto* target =
            reinterpret_cast<uint32_t*>(reinterpret_cast<uint8_t*>(out) + static_cast<ptrdiff_t>(y) * out_pitch);
        if (!valid) {
            std::fill_n(target, image.width, 0u);
            continue;
        }
        const uint8_t* row = image.pixels + static_cast<ptrdiff_t>(y) * image.pitch;
        for (int x = 0; x < image.width; ++x) {
            const uint32_t value = ReadValue(row + x * bytes, bytes);
            if (paletted) {
                const DdPaletteEntry entry = image.palette != nullptr ? image.palette[value & 0xFF] : DdPaletteEntry{};
                target[x] = (uint32_t{entry.red} << 16) | (uint32_t{entry.green} << 8) | entry.blue;
            } else {
                target[x] = (WidenChannelTo8(value, image.format.red_mask) << 16) |
                            (WidenChannelTo8(value, image.format.green_mask) << 8) |
                            WidenChannelTo8(value, image.format.blue_mask);
            }
        }
    }
}

PresentImage XrgbPresentImage(const uint32_t* pixels, int32_t width, int32_t height) {
    PresentImage image;
    image.pixels = reinterpret_cast<const uint8_t*>(pixels);
    image.pitch = width * 4;
    image.width = width;
    image.height = height;
    image.format.size = sizeof(DdPixelFormat);
    image.format.flags = kPixelFormatRgb;
    image.format.rgb_bit_count = 32;
    image.format.red_mask = 0xFF0000;
    image.format.green_mask = 0xFF00;
    image.format.blue_mask = 0xFF;
    return image;
}

void ConvertPresentImage(const PresentImage& image, PresentedFrame* out) {
    out->width = image.width;
    out->height = image.height;
    out->pixels.assign(static_cast<size_t>(image.width) * image.height, 0);
    if (image.width <= 0 || image.height <= 0) return;
    ConvertPresentImageInto(image, out->pixels.data(), image.width * 4);
}

void CapturingDisplayOutput::Present(WindowHandle window, const PresentImage& image) {
    ++present_count_;
    for (Entry& entry : frames_) {
        if (entry.window == window) {
            ConvertPresentImage(image, &entry.frame);
            return;
        }
    }
    frames_.push_back(Entry{window, {}});
    ConvertPresentImage(image, &frames_.back().frame);
}

bool CapturingDisplayOutput::ReadPresentedPixels(WindowHandle window, PresentedFrame* out) {
    for (const Entry& entry : frames_) {
        if (entry.window == window) {
            *out = entry.frame;
            return true;
        }
    }
    return false;
}

const uint8_t* CapturingDisplayOutput::ShownRows(WindowHandle window, ShownRowsLayout* layout) {
    for (const Entry& entry : frames_) {
        if (entry.window == window && entry.frame.width > 0 && entry.frame.height > 0) {
            *layout = ShownRowsLayout{entry.frame.width, entry.frame.height, entry.frame.width * 4};
            return reinterpret_cast<const uint8_t*>(entry.frame.pixels.data());
        }
    }
    return nullptr;
}

void CapturingDisplayOutput::ReleaseWindow(WindowHandle window) {
    std::erase_if(frames_, [window](const Entry& entry) { return entry.window == window; });
}

DisplayOutput& ActiveDisplayOutput() {
    std::unique_ptr<DisplayOutput>& output = InstalledOutput();
    if (!output) output = CreateSdlDisplayOutput();
    return *output;
}

void SetDisplayOutput(std::unique_ptr<DisplayOutput> output) {
    if (InstalledOutput()) TakeInPicturesShownByOutput();
    InstalledOutput() = std::move(output);
}

ScopedCapturingDisplayOutput::ScopedCapturingDisplayOutput() {
    auto output = std::make_unique<CapturingDisplayOutput>();
    output_ = output.get();
    SetDisplayOutput(std::move(output));
}

ScopedCapturingDisplayOutput::~ScopedCapturingDisplayOutput() { SetDisplayOutput(nullptr); }

}  // namespace velk::platform
