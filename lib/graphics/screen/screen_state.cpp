#include "lib/graphics/screen/screen_state.h"

#include "lib/core/system_information.h"
#include "lib/core/window/main_window.h"
#include "platform/display/display_surface.h"

namespace velk {

namespace {

ScreenState& State() {
    static ScreenState state;
    return state;
}

}  // namespace

ScreenState& Screen() { return State(); }

void ResetScreenState() {
    ScreenState& s = State();
    ReleaseMemImg(&s.primary_image);
    ReleaseMemImg(&s.back_image);
    ReleaseMemImg(&s.z_image);
    ReleaseMemImg(&s.target_view);
    s.~ScreenState();
    new (&s) ScreenState();
}

int ScreenWidth() { return State().width == 0 ? 640 : State().width; }
int ScreenHeight() { return State().height == 0 ? 480 : State().height; }

int GetDrawScreenSize(int* width, int* height) {
    if (width != nullptr) *width = ScreenWidth();
    if (height != nullptr) *height = ScreenHeight();
    return 0;
}

int GetColorBitDepth() { return State().screen_bits == 0 ? 16 : State().screen_bits; }

const platform::DdPixelFormat* GetDisplayPixelFormatBody() { return &State().display_format; }

const ColorData* GetScreenColorData() { return &State().color_data; }

int GetSoftRenderFlag() { return State().software_rendering; }

bool SoftwareMode() { return State().software_rendering != 0 && State().display_bits != 8; }

bool DirectDrawMissing() { return State().direct_draw_off == 0 && !State().device; }

int GetUseDirectDrawFlag() { return State().direct_draw_off == 0 ? 1 : 0; }

platform::DdDevice* GetDirectDrawObject() { return State().device.get(); }

int GetDisplayModeChangedFlag() { return State().mode_changed; }

platform::DdDeviceCaps* GetDirectDrawCaps(platform::DdDeviceCaps* out) {
    *out = State().device_caps;
    return out;
}

const OverlayFormatRow* OverlayFormatTable() {
    using platform::DdPixelFormat;
    static const OverlayFormatRow table[kOverlayFormatCount] = {
        {" UYVY", DdPixelFormat{32, platform::kPixelFormatFourCc, platform::kFourCcUyvy, 0, 0, 0, 0, 0}},
        {" YUY2", DdPixelFormat{32, platform::kPixelFormatFourCc, platform::kFourCcYuy2, 0, 0, 0, 0, 0}},
        {" 16-bit RGB 5:5:5 ", DdPixelFormat{32, platform::kPixelFormatRgb, 0, 16, 0x7C00, 0x03E0, 0x001F, 0}},
        {" 16-bit RGB 5:6:5 ", DdPixelFormat{32, platform::kPixelFormatRgb, 0, 16, 0xF800, 0x07E0, 0x001F, 0}},
    };
    return table;
}

const platform::DdPixelFormat* GetOverlayPixelFormat() {
    const ScreenState& s = State();
    // Overlays are not offered on screens smaller than 640 x 400.
    if (s.overlay_format < 0 || s.overlay_format >= kOverlayFormatCount || ScreenWidth() < 640 || ScreenHeight() < 400)
        return nullptr;
    return &OverlayFormatTable()[s.overlay_format].format;
}

platform::DdSurface* GetMainDrawSurface() {
    ScreenState& s = State();
    return s.temp_primary_flag != 0 && s.temp_primary ? s.temp_primary.get() : s.primary.get();
}

platform::DdSurface* GetBackSurface() { return State().back.get(); }

platform::DdSurface* GetWorkSurface() { return State().work1.get(); }

platform::DdSurface* GetDrawTargetSurface() { return State().target_surface.get(); }

int IsDrawTargetWindowPrimary() {
    ScreenState& s = State();
    return GetWindowModeFlag() != 0 && s.target_surface && s.target_surface == s.primary ? 1 : 0;
}

bool TempPrimaryInUse() { return State().temp_primary_flag != 0 && State().temp_primary; }

bool ComposedDesktop() { return GetSystemInfoBlock().os_code == kOsCodeWindowsVista; }

int SetTempPrimaryFlag(int flag) {
    if (!State().device) State().temp_primary_flag = flag;
    return 0;
}

platform::WindowHandle ScreenWindow() {
    const platform::WindowHandle window = GetMainWindowHWND();
    return window != 0 ? window : State().window;
}

uint32_t CooperativeFlags(uint32_t base) {
    uint32_t flags = base;
    if (State().multithreaded != 0) flags |= platform::kDdsclMultithreaded;
    if (State().fpu_preserve != 0) flags |= platform::kDdsclFpuPreserve;
    return flags;
}

}  // namespace velk
