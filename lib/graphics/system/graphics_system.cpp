#include "lib/graphics/system/graphics_system.h"

#include "lib/core/input/device_input.h"
#include "lib/core/log.h"
#include "lib/core/window/main_window.h"
#include "lib/core/window/window_services.h"
#include "lib/graphics/direct3d/device_3d.h"
#include "lib/graphics/direct3d/direct3d_draw_path.h"
#include "lib/graphics/direct3d/surface_3d.h"
#include "lib/graphics/draw2d/two_d_draw_path.h"
#include "lib/graphics/draw_path.h"
#include "lib/graphics/draw_settings.h"
#include "lib/graphics/font/display/screen_text_draws.h"
#include "lib/graphics/graph_draw.h"
#include "lib/graphics/graph_table.h"
#include "lib/graphics/graphics_fatal.h"
#include "lib/graphics/screen/display_system.h"
#include "lib/graphics/screen/masks.h"
#include "lib/graphics/screen/screen_log_texts.h"
#include "lib/graphics/screen/screen_present.h"
#include "lib/graphics/screen/screen_state.h"
#include "lib/graphics/screen/screen_surfaces.h"
#include "lib/graphics/screen/surface_2d.h"
#include "lib/graphics/system/graphics_host.h"
#include "platform/display/display_mode.h"

namespace velk {

namespace {

WindowGraphicsServices MakeWindowServices() {
    WindowGraphicsServices services;
    services.get_draw_screen_size = [](int* width, int* height) { GetDrawScreenSize(width, height); };
    services.get_draw_screen = [] { return GetDrawScreen(); };
    services.get_screen_mode = [](int* width, int* height, int* bits) {
        const platform::DisplayMode mode = platform::CurrentDisplayMode();
        *width = mode.width;
        *height = mode.height;
        *bits = mode.bits;
    };
    services.copy_back_buffer_to_window = [](const Rect* area) { return CopyBackBufferToWindow(area); };
    services.get_flip_vsync_wait_flag = [] { return GetFlipVSyncWaitFlag(); };
    services.set_flip_vsync_wait_flag = [](int flag) { return SetFlipVSyncWaitFlag(flag); };
    services.check_restore_graph_callback = [] { return 1; };
    services.setup_screen_color_data = [] { return SetupScreenColorData(); };
    services.restore_graphics_system = [] { return RestoreGraphicsSystem(); };
    services.check_surface_2d_lost = [] { return RestoreLostSurfaces(); };
    services.check_surface_3d_lost = [] { return CheckSurface3DLost(); };
    services.release_direct3d_object = [] { return ReleaseDirect3DObject(); };
    services.get_display_mode_changed_flag = [] { return GetDisplayModeChangedFlag(); };
    services.get_use_direct_draw_flag = [] { return GetUseDirectDrawFlag(); };
    services.has_direct_draw_object = [] { return GetDirectDrawObject() != nullptr; };
    services.release_direct_draw_object = [] { return ReleaseDirectDrawObject(); };
    services.window_rect_moved = [](const Rect& client) {
        if (Screen().temp_primary_flag == 0 && GetDrawScreen() == kFrontScreen && GetWindowModeFlag() != 0)
            SetDrawScreenWindowRect(client);
    };
    services.restore_draw_area = [] {
        const Rect area = RememberedDrawArea();
        SetDrawArea(area.left, area.top, area.right, area.bottom);
    };
    services.change_display_mode = [](int width, int height, int bits, int flag, int refresh) {
        return ChangeDisplayMode(width, height, bits, flag, refresh);
    };
    services.reapply_flip_to_gdi_mode = [] { SetFlipToGDIMode(GetFlipToGDIMode()); };
    services.get_flip_to_gdi_mode = [] { return GetFlipToGDIMode(); };
    services.refresh_all_graph_surface = [] { return RefreshAllGraphSurfaces(); };
    return services;
}

}  // namespace

int InitGraphicsSystem() {
    SetGraphicsHost(&ScreenGraphicsHost());
    // The Direct3D path draws while a device exists (started with each
    // display mode in hardware drawing); otherwise everything takes the 2D path.
    SetGraphDrawPaths(&Direct3DDrawPath(), &TwoDDrawPath());
    SetDirect3DStartEnd(InitializeDirect3D, TerminateDirect3D);
    InstallFontsOnScreen();
    SetWindowGraphicsServices(MakeWindowServices());
    ScreenState& s = Screen();
    if (GetSoftRenderRequestFlag() != 0) s.software_rendering = 1;
    if (InitDirectDraw() != 0) {
        if (s.software_rendering != 0) GraphicsFatalError(screen_log::kDirectDrawInitFatal);
        WriteLog(screen_log::kSoftwareRenderSwitch);
        s.software_rendering = 1;
        if (InitDirectDraw() != 0) GraphicsFatalError(screen_log::kDirectDrawInitFatal);
    }
    return 0;
}

int TermGraphicsSystem() {
    TermDirectDraw();
    TerminateDirect3D();
    SetDirect3DStartEnd(nullptr, nullptr);
    UninstallFontsOnScreen();
    SetWindowGraphicsServices(WindowGraphicsServices{});
    SetGraphDrawPaths(nullptr, nullptr);
    SetGraphicsHost(nullptr);
    return 0;
}

int RestoreGraphicsSystem() {
    ReleaseDirect3DObject();
    ReleaseMaskScreen();
    ReleaseMainSurfaces();
    TerminateInput();
    ReleaseDirectDrawObject();
    RecreateDirectDrawObject();
    SetupScreenColorData();
    CreateMainSurfaces();
    CreateScreenPalette();
    AcquireDirect3DObject();
    const int screen = GetDrawScreen();
    SetDrawScreen(screen);
    ClearDrawScreen();
    FlipScreenBody();
    RunRestoreGraphCallback();
    Host().ReopenMovies();
    RestoreMaskScreen();
    return 0;
}

int RestoreLostSurfaces() {
    if (!GetDirectDrawObject()) return 0;
    RestoreMainSurfaces();
    if (CheckSurface2DLost() != 0) RunRestoreGraphCallback();
    return 0;
}

}  // namespace velk
