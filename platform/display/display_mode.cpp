#include "platform/display/display_mode.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "platform/display/display_faults.h"
#include "platform/display/display_types.h"
#include "platform/window/window_system.h"

namespace velk::platform {

namespace {

struct DisplayState {
    int desktop_bits = 32;
    std::optional<DisplayMode> full_screen;
    std::function<bool(const DisplayMode&)> filter;
    bool creation_fails = false;
    bool video_memory_reported = false;
    OverlayAlignment overlay_alignment;
    bool overlays_offered = true;
    std::vector<uint32_t> refused_four_cc;
};

DisplayState& State() {
    static DisplayState state;
    return state;
}

bool AcceptedByDefault(const DisplayMode& mode) {
    const bool depth_ok = mode.bits == 8 || mode.bits == 16 || mode.bits == 32;
    const bool size_ok = mode.width >= 1 && mode.width <= 16384 && mode.height >= 1 && mode.height <= 16384;
    const bool rate_ok = mode.refresh_rate == 0 || mode.refresh_rate == 60;
    return depth_ok && size_ok && rate_ok;
}

}  // namespace

DisplayMode DesktopDisplayMode() {
    const Rect desktop = DesktopRectangle();
    return DisplayMode{desktop.right - desktop.left, desktop.bottom - desktop.top, State().desktop_bits, 60};
}

DisplayMode CurrentDisplayMode() {
    if (State().full_screen) {
        DisplayMode mode = *State().full_screen;
        if (mode.refresh_rate == 0) mode.refresh_rate = 60;
        return mode;
    }
    return DesktopDisplayMode();
}

bool FullScreenModeIsSet() { return State().full_screen.has_value(); }

DdPixelFormat DisplayPixelFormatForBits(int bits) {
    DdPixelFormat format;
    format.size = sizeof(DdPixelFormat);
    switch (bits) {
        case 8:
            format.flags = kPixelFormatRgb | kPixelFormatPaletteIndexed8;
            format.rgb_bit_count = 8;
            break;
        case 16:
            format.flags = kPixelFormatRgb;
            format.rgb_bit_count = 16;
            format.red_mask = 0xF800;
            format.green_mask = 0x07E0;
            format.blue_mask = 0x001F;
            break;
        case 32:
            format.flags = kPixelFormatRgb;
            format.rgb_bit_count = 32;
            format.red_mask = 0xFF0000;
            format.green_mask = 0xFF00;
            format.blue_mask = 0xFF;
            break;
        default:
            return DdPixelFormat{};
    }
    return format;
}

bool ApplyDisplayMode(const DisplayMode& mode) {
    DisplayState& state = State();
    const bool accepted = state.filter ? state.filter(mode) : AcceptedByDefault(mode);
    if (!accepted || !AcceptedByDefault(DisplayMode{mode.width, mode.height, mode.bits, 0})) return false;
    state.full_screen = mode;
    PostDisplayChange(mode.bits, mode.width, mode.height);
    return true;
}

void RestoreDesktopDisplayMode() {
    DisplayState& state = State();
    if (!state.full_screen) return;
    state.full_screen.reset();
    const DisplayMode desktop = DesktopDisplayMode();
    PostDisplayChange(desktop.bits, desktop.width, desktop.height);
}

void SetDesktopColorBits(int bits) { State().desktop_bits = bits == 0 ? 32 : bits; }

void SetDisplayModeFilter(std::function<bool(const DisplayMode&)> accepts) { State().filter = std::move(accepts); }

void SetDisplayDeviceCreationFails(bool fails) { State().creation_fails = fails; }

bool DisplayDeviceCreationFails() { return State().creation_fails; }

void SetVideoMemoryReported(bool reported) { State().video_memory_reported = reported; }

bool VideoMemoryReported() { return State().video_memory_reported; }

void SetOverlayAlignment(const OverlayAlignment& alignment) { State().overlay_alignment = alignment; }

OverlayAlignment CurrentOverlayAlignment() { return State().overlay_alignment; }

void SetOverlaysOffered(bool offered) { State().overlays_offered = offered; }

bool OverlaysOffered() { return State().overlays_offered; }

void SetFourCcRefused(uint32_t four_cc, bool refused) {
    std::vector<uint32_t>& list = State().refused_four_cc;
    std::erase(list, four_cc);
    if (refused) list.push_back(four_cc);
}

bool FourCcRefused(uint32_t four_cc) {
    const std::vector<uint32_t>& list = State().refused_four_cc;
    return std::find(list.begin(), list.end(), four_cc) != list.end();
}

void ResetDisplayForTests() {
    State() = DisplayState{};
    ClearDisplayFaults();
}

}  // namespace velk::platform
