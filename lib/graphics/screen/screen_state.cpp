#include "lib/graphics/screen/screen_state.h"

#include "lib/core/system_information.h"
#include "lib/core/window/main_window.h"
#include "platform/display/display_surface.h"

namespace velk {

void ResetScreenState() {
    ScreenState& s = Screen();
    ReleaseMemImg(&s.primary_image);
    ReleaseMemImg(&s.back_image);
    ReleaseMemImg(&s.z_image);
    ReleaseMemImg(&s.target_view);
    s.~ScreenState();
    new (&s) ScreenState();
}

int ScreenWidth() { return Screen().width == 0 ? 640 : Screen().width; }
int ScreenHeight() { return Screen().height == 0 ? 480 : Screen().height; }

int GetDrawScreenSize(int* width, int* height) {
    if (width != nullptr) *width = ScreenWidth();
    if (height != nullptr) *height = ScreenHeight();
    return 0;
}

int GetColorBitDepth() { return Screen().screen_bits == 0 ? 16 : Screen().screen_bits; }

const platform::DdPixelFormat* GetDisplayPixelFormatBody() { return &Screen().display_format; }

const ColorData* GetScreenColorData() { return &Screen().color_data; }

int GetSoftRenderFlag() { return Screen().software_rendering; }

int GetUseDirectDrawFlag() { return Screen().direct_draw_off == 0 ? 1 : 0; }

platform::DdDevice* GetDirectDrawObject() { return Screen().device.get(); }

int GetDisplayModeChangedFlag() { return Screen().mode_changed; }

platform::DdDeviceCaps* GetDirectDrawCaps(platform::DdDeviceCaps* out) {
    *out = Screen().device_caps;
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
    const ScreenState& s = Screen();
    // Overlays are not offered on screens smaller than 640 x 400.
    if (s.overlay_format < 0 || s.overlay_format >= kOverlayFormatCount || ScreenWidth() < 640 || ScreenHeight() < 400)
        return nullptr;
    return &OverlayFormatTable()[s.overlay_format].format;
}

platform::DdSurface* GetMainDrawSurface() {
    ScreenState& s = Screen();
    return s.temp_primary_flag != 0 && s.temp_primary ? s.temp_primary.get() : s.primary.get();
}

platform::DdSurface* GetBackSurface() { return Screen().back.get(); }

platform::DdSurface* GetWorkSurface() { return Screen().work1.get(); }

platform::DdSurface* GetDrawTargetSurface() { return Screen().target_surface.get(); }

int IsDrawTargetWindowPrimary() {
    ScreenState& s = Screen();
    return GetWindowModeFlag() != 0 && s.target_surface && s.target_surface == s.primary ? 1 : 0;
}

bool TempPrimaryInUse() { return Screen().temp_primary_flag != 0 && Screen().temp_primary; }

bool ComposedDesktop() { return GetSystemInfoBlock().os_code == kOsCodeWindowsVista; }

int SetTempPrimaryFlag(int flag) {
    if (!Screen().device) Screen().temp_primary_flag = flag;
    return 0;
}

platform::WindowHandle ScreenWindow() {
    const platform::WindowHandle window = GetMainWindowHWND();
    return window != 0 ? window : Screen().window;
}

uint32_t CooperativeFlags(uint32_t base) {
    uint32_t flags = base;
    if (Screen().multithreaded != 0) flags |= platform::kDdsclMultithreaded;
    if (Screen().fpu_preserve != 0) flags |= platform::kDdsclFpuPreserve;
    return flags;
}

}  // namespace velk
