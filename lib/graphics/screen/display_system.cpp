#include "lib/graphics/screen/display_system.h"

#include <vector>

#include "lib/core/base_routines.h"
#include "lib/core/library.h"
#include "lib/core/log.h"
#include "lib/core/window/main_window.h"
#include "lib/core/window/message_processing.h"
#include "lib/core/window/window_services.h"
#include "lib/graphics/draw_path.h"
#include "lib/graphics/draw_settings.h"
#include "lib/graphics/graph_draw.h"
#include "lib/graphics/graph_table.h"
#include "lib/graphics/graphics_fatal.h"
#include "lib/graphics/screen/screen_log_texts.h"
#include "lib/graphics/screen/screen_state.h"
#include "lib/graphics/screen/screen_surfaces.h"
#include "lib/graphics/screen/surface_2d.h"
#include "lib/graphics/screen/surface_data.h"
#include "lib/softrender/blend_tables.h"
#include "platform/base/clock.h"
#include "platform/display/display_clipper.h"
#include "platform/display/display_mode.h"
#include "platform/display/display_output.h"
#include "platform/display/display_surface.h"
#include "platform/display/window_dib.h"
#include "platform/window/window_system.h"

namespace velk {

namespace {

using platform::DdDevice;

int g_init_in_progress = 0;
int (*g_direct3d_start)() = nullptr;
int (*g_direct3d_end)() = nullptr;

void EndDirect3D() {
    if (g_direct3d_end != nullptr) g_direct3d_end();
}

void StartDirect3D() {
    const ScreenState& s = Screen();
    if (g_direct3d_start != nullptr && s.software_rendering == 0 && s.direct_draw_off == 0 && s.display_bits != 8)
        g_direct3d_start();
}

// The mode fell back to its last resort.
constexpr int kFellBack = -2;

bool ModeSwitchTolerated(platform::DdResult result) {
    return result == platform::kDdErrExclusiveModeAlreadySet || result == platform::kDdErrHwndSubclassed ||
           result == platform::kDdErrHwndAlreadySet;
}

void SetCooperativeForMode(int window_mode) {
    ScreenState& s = Screen();
    const uint32_t base = window_mode != 0 ? platform::kDdsclNormal : platform::kDdsclExclusive | platform::kDdsclFullScreen;
    const platform::DdResult result = s.device->SetCooperativeLevel(ScreenWindow(), CooperativeFlags(base));
    if (result != platform::kDdOk && (window_mode != 0 || !ModeSwitchTolerated(result)))
        GraphicsFatalError(screen_log::kCooperativeFatal);
    s.cooperative_flags = CooperativeFlags(base) & ~platform::kDdsclFpuPreserve;
}

// A full-screen mode through the device, or (without DirectDraw) through the
// display settings; false when the display refuses it.
bool TrySetMode(int width, int height, int bits, int rate) {
    ScreenState& s = Screen();
    if (s.direct_draw_off == 0) {
        return s.device->SetDisplayMode(static_cast<uint32_t>(width), static_cast<uint32_t>(height),
                                        static_cast<uint32_t>(bits), static_cast<uint32_t>(rate), 0) == platform::kDdOk;
    }
    return platform::ApplyDisplayMode(platform::DisplayMode{width, height, bits, rate});
}

int DesktopBits() { return platform::DesktopDisplayMode().bits; }

// Which copy is faster between two surfaces: BltFast unless GDI is not slower.
void MeasureTransferMethod() {
    ScreenState& s = Screen();
    platform::DdSurface* source = GetMainDrawSurface();
    if (source == nullptr || !s.work1) return;
    const Rect rect{0, 0, ScreenWidth() / 2, ScreenHeight() / 2};
    int64_t start = GetUsecCount();
    for (int i = 0; i < 2; ++i) s.work1->BltFast(0, 0, source, &rect, platform::kDdBltFastNoColorKey);
    const double blt_fast = static_cast<double>(GetUsecCount() - start);
    start = GetUsecCount();
    for (int i = 0; i < 2; ++i) platform::GdiCopySurfaceRect(*s.work1, 0, 0, *source, rect);
    const double gdi = static_cast<double>(GetUsecCount() - start);
    s.transfer_method = blt_fast < gdi ? kTransferBltFast : kTransferGdi;
    WriteLogFormat(screen_log::kTransferMethod, s.transfer_method == kTransferBltFast ? "BltFast" : "BitBlt");
    WriteLogFormat(screen_log::kTransferTimes, gdi, blt_fast);
}

// Times blank-to-blank intervals until one value repeats within a pass.
void MeasureFrameTime() {
    ScreenState& s = Screen();
    const int rate = platform::CurrentDisplayMode().refresh_rate;
    s.refresh_rate_measured = rate >= 60 ? rate : -1;
    if (s.direct_draw_off != 0 || !s.device) {
        s.refresh_rate_measured = 60;
        s.pacing_threshold = -1;
        return;
    }
    const int trials = s.refresh_rate_measured != -1 ? 4 : 20;
    WriteLogFormat(screen_log::kScanLines, ScreenHeight());
    for (int i = 0; i < 3; ++i) s.device->WaitForVerticalBlank(platform::kDdWaitVbBlockEnd);
    std::vector<int> values(static_cast<size_t>(trials));
    s.frame_time = -1;
    for (int pass = 0; pass < 5 && s.frame_time == -1; ++pass) {
        int64_t total_us = 0;
        s.device->WaitForVerticalBlank(platform::kDdWaitVbBlockBegin);
        for (int t = 0; t < trials; ++t) {
            const int64_t start = platform::ActiveClock().Microseconds();
            const int32_t start_ms = platform::Milliseconds31();
            s.device->WaitForVerticalBlank(platform::kDdWaitVbBlockBegin);
            values[static_cast<size_t>(t)] = platform::ElapsedMilliseconds31(start_ms, platform::Milliseconds31());
            total_us += platform::ActiveClock().Microseconds() - start;
        }
        for (int t = 0; t < trials && s.frame_time == -1; ++t)
            for (int later = t + 1; later < trials; ++later)
                if (values[static_cast<size_t>(later)] == values[static_cast<size_t>(t)]) {
                    s.frame_time = values[static_cast<size_t>(t)];
                    break;
                }
        if (s.frame_time != -1 && s.refresh_rate_measured == -1 && total_us > 0) {
            const int64_t tenths = 10000000LL * trials / total_us;
            s.frame_time = static_cast<int>(tenths / 10 + (tenths % 10 > 5 ? 1 : 0));
        }
        if (s.frame_time != -1) {
            WriteLogFormat(screen_log::kFrameTime, s.frame_time);
            for (int t = 0; t < trials; ++t) WriteLogFormat(screen_log::kTrial, t, values[static_cast<size_t>(t)]);
        }
    }
    if (s.frame_time == -1) WriteLog(screen_log::kFrameTimeFailed);
    s.pacing_threshold = s.frame_time != -1 ? (s.frame_time * 2 - 4) / 3 : -1;
}

void PaceModeChange() {
    ScreenState& s = Screen();
    const int32_t now = platform::Milliseconds31();
    const int32_t since = platform::ElapsedMilliseconds31(s.last_mode_change_time, now);
    if (s.last_mode_change_time != 0 && since < 2000) {
        IdleSleep(static_cast<uint32_t>(2060 - since));
    } else {
        IdleSleep(60);
    }
    s.last_mode_change_time = platform::Milliseconds31();
}

// The first change: the mode asked for, else the previous one, else the last resort.
int FirstModeChange(int previous_width, int previous_height, int previous_bits, int previous_rate) {
    ScreenState& s = Screen();
    const int window_mode = GetWindowModeFlag();
    if (window_mode == 0) ApplyWindowModeStyle();
    const platform::DisplayMode desktop = platform::DesktopDisplayMode();
    if (s.width == 0) s.width = 640;
    if (s.height == 0) s.height = 480;
    if (s.display_bits == 0) s.display_bits = 16;
    int result = 0;
    if (SetDisplayModeCore(desktop.width, desktop.height, s.width, s.height, s.display_bits, &s.display_bits,
                           &s.cooperative_flags, window_mode, &s.mode_changed, ScreenWindow()) == -1) {
        const bool differs = previous_width != s.width || previous_height != s.height ||
                             previous_bits != s.display_bits || previous_rate != 0;
        s.width = previous_width;
        s.height = previous_height;
        s.display_bits = previous_bits;
        s.refresh_rate = previous_rate;
        if (window_mode == 0) ApplyWindowModeStyle();
        const bool retried = differs && SetDisplayModeCore(desktop.width, desktop.height, s.width, s.height,
                                                           s.display_bits, &s.display_bits, &s.cooperative_flags,
                                                           window_mode, &s.mode_changed, ScreenWindow()) == 0;
        if (!retried) {
            result = kFellBack;
            s.width = 640;
            s.height = 480;
            s.display_bits = 16;
            s.refresh_rate = 0;
            if (window_mode != 0) ApplyWindowModeStyle();
            if (SetDisplayModeCore(desktop.width, desktop.height, 640, 480, 16, &s.display_bits, &s.cooperative_flags,
                                   window_mode, &s.mode_changed, ScreenWindow()) != 0)
                GraphicsFatalError(screen_log::kUnexpectedModeFatal);
        }
    }
    return result;
}

// A later change: the object is made again and the mode set with the fall-backs.
int LaterModeChange(int previous_width, int previous_height, int previous_bits) {
    ScreenState& s = Screen();
    const int window_mode = GetWindowModeFlag();
    int result = 0;
    DeleteAllSurface2DChecked();
    if (s.direct_draw_off == 0) {
        WriteLog(screen_log::kDdRelease);
        s.device->SetCooperativeLevel(ScreenWindow(), CooperativeFlags(platform::kDdsclNormal));
        s.cooperative_flags = platform::kDdsclNormal;
        s.clipper.reset();
        s.device.reset();
        WriteLog(screen_log::kDdReleased);
        if (CreateDirectDrawObject() != 0) GraphicsFatalError(screen_log::kDdCreateFatal);
        SetCooperativeForMode(window_mode);
        if (AttachClipper() != 0) GraphicsFatalError(screen_log::kClipperFatal);
    } else if (window_mode != 0) {
        platform::RestoreDesktopDisplayMode();
    }
    s.mode_changed = 0;
    if (window_mode == 0) {
        WriteLog(screen_log::kChangeResolution);
        bool done = TrySetMode(s.width, s.height, s.display_bits, s.refresh_rate);
        if (!done && TrySetMode(s.width, s.height, s.display_bits, 0)) {
            s.refresh_rate = 0;
            done = true;
        }
        if (!done) {
            s.width = previous_width;
            s.height = previous_height;
            s.display_bits = previous_bits;
            s.refresh_rate = 0;
            done = TrySetMode(s.width, s.height, s.display_bits, 0);
        }
        if (!done) {
            s.width = 640;
            s.height = 480;
            s.display_bits = 16;
            result = kFellBack;
            done = TrySetMode(640, 480, 16, 0);
        }
        if (!done) GraphicsFatalError(screen_log::kUnexpectedModeFatal2);
        s.mode_changed = 1;
        WriteLog(screen_log::kSucceeded);
    } else {
        s.display_bits = DesktopBits();
    }
    return result;
}

// Chooses the first overlay format of the table in which the display makes
// an overlay in its own memory.
void ProbeOverlayFormat() {
    ScreenState& s = Screen();
    s.overlay_format = -1;
    if (s.device) s.device->GetCaps(&s.device_caps, nullptr);
    if (s.device && (s.device_caps.min_overlay_stretch < 1000 || s.device_caps.max_overlay_stretch < 2000)) {
        for (int row = 0; row < kOverlayFormatCount; ++row) {
            platform::DdSurfaceDesc desc;
            desc.flags =
                platform::kDdsdCaps | platform::kDdsdHeight | platform::kDdsdWidth | platform::kDdsdPixelFormat;
            desc.caps = platform::kDdsCapsOverlay | platform::kDdsCapsVideoMemory;
            desc.width = 16;
            desc.height = 16;
            desc.pixel_format = OverlayFormatTable()[row].format;
            std::shared_ptr<platform::DdSurface> probe;
            if (s.device->CreateSurface(desc, &probe) != platform::kDdOk || !probe) continue;
            uint32_t caps = 0;
            probe->GetCaps(&caps);
            if ((caps & platform::kDdsCapsSystemMemory) == 0) {
                s.overlay_format = row;
                break;
            }
        }
    }
    if (s.overlay_format >= 0) {
        WriteLogFormat(screen_log::kOverlayUse, OverlayFormatTable()[s.overlay_format].name);
    } else {
        WriteLog(screen_log::kOverlayNone);
    }
}

}  // namespace

void SetMultithreadedCooperativeLevel(int flag) { Screen().multithreaded = flag; }
void SetFpuPreserveOption(int flag) { Screen().fpu_preserve = flag; }

int CreateDirectDrawObject() {
    ScreenState& s = Screen();
    WriteLog(screen_log::kDdObjectGet);
    std::unique_ptr<DdDevice> device;
    if (DdDevice::Create(&device) != platform::kDdOk) return WriteLog(screen_log::kDdObjectGetFailed);
    WriteLog(screen_log::kSuccess);
    WriteLog(screen_log::kContinueInit);
    WriteLog(screen_log::kInitSucceeded);
    WriteLog(screen_log::kVideoCardInfo);
    IncreaseLogIndent();
    // The driver's name and memory are logged only while Shift is held; here
    // they stay unknown and the memory reads as 16 MB.
    DecreaseLogIndent();
    device->SetCooperativeLevel(ScreenWindow(), CooperativeFlags(platform::kDdsclNormal));
    s.device = std::move(device);
    return 0;
}

int CreateClipper() {
    ScreenState& s = Screen();
    if (!s.device) return -1;
    if (s.device->CreateClipper(0, &s.clipper) != platform::kDdOk) return -1;
    s.clipper->SetWindow(ScreenWindow());
    return 0;
}

int AttachClipper() { return CreateClipper(); }

int ReleaseClipper() {
    Screen().clipper.reset();
    return 0;
}

int InitDirectDraw() {
    ScreenState& s = Screen();
    if (s.device) return -1;
    WriteLog(screen_log::kDdInitStart);
    IncreaseLogIndent();
    g_init_in_progress = 1;
    if (s.direct_draw_off != 0) {
        SetUse3DFlag(0);
        SetUseHardwareRenderFlagBody(0);
    }
    if (CreateDirectDrawObject() != 0) GraphicsFatalError(screen_log::kDdCreateFatal);
    if (s.direct_draw_off == 0 && AttachClipper() != 0) GraphicsFatalError(screen_log::kClipperFatal);
    if (s.width == 0) s.width = 640;
    if (s.height == 0) s.height = 480;
    if (s.display_bits == 0) s.display_bits = 16;
    s.screen_bits = s.display_bits;
    if (ChangeDisplayMode(-1, -1, -1, 1, -1) < 0) {
        g_init_in_progress = 0;
        DecreaseLogIndent();
        TermDirectDraw();
        return -1;
    }
    g_init_in_progress = 0;
    if (GetWindowRgnFlag() == 0) {
        SetDrawScreen(kBackScreen);
        ClearDrawScreen();
        SetDrawScreen(kFrontScreen);
    }
    s.active_3d = 1;
    ProbeOverlayFormat();
    DecreaseLogIndent();
    WriteLog(screen_log::kDdInitDone);
    InitMemImgTables();
    s.initialized = 1;
    return 0;
}

int TermDirectDraw() {
    ScreenState& s = Screen();
    if (s.direct_draw_off == 0 && !s.device) return 0;
    WriteLog(screen_log::kDdTermStart);
    IncreaseLogIndent();
    platform::KillWindowTimer(ScreenWindow(), kFrontScreenTimerId);
    s.palette.reset();
    EndGraphManagement();
    EndDirect3D();
    DeleteAllSurface2D();
    DeleteAllSurfaceData();
    ReleaseMainSurfaces();
    s.clipper.reset();
    WriteLog(screen_log::kDdRelease);
    s.device.reset();
    WriteLog(screen_log::kDdReleased);
    // What the window's output keeps goes while the window still stands.
    platform::ActiveDisplayOutput().ReleaseWindow(ScreenWindow());
    platform::ReleaseWindowDib(ScreenWindow());
    RestoreDisplayModeBody();
    DecreaseLogIndent();
    WriteLog(screen_log::kDdTermDone);
    s.initialized = 0;
    return 0;
}

int SetDisplayModeCore(int desktop_width, int desktop_height, int width, int height, int bits, int* out_bits,
                       uint32_t* out_cooperative_flags, int window_mode, int* mode_changed,
                       platform::WindowHandle window) {
    ScreenState& s = Screen();
    WriteLogFormat(screen_log::kModeCoreStart, static_cast<unsigned>(width), static_cast<unsigned>(height),
                   static_cast<unsigned>(bits));
    IncreaseLogIndent();
    if (s.multithreaded != 0) WriteLog(screen_log::kMultithreaded);
    if (window_mode != 0) {
        WriteLog(screen_log::kWindowModeSet);
        if (width > desktop_width || height > desktop_height) GraphicsFatalError(screen_log::kDesktopTooSmallFatal);
        if (*mode_changed != 0) {
            WriteLog(screen_log::kLeaveFullScreen);
            if (s.direct_draw_off == 0 && s.device) {
                s.device->RestoreDisplayMode();
            } else {
                platform::RestoreDesktopDisplayMode();
            }
            *mode_changed = 0;
        }
        const int desktop_bits = DesktopBits();
        if (desktop_bits == 24) {
            DecreaseLogIndent();
            return -1;
        }
        *out_bits = desktop_bits;
        if (s.direct_draw_off == 0 && s.device) {
            const uint32_t flags = CooperativeFlags(platform::kDdsclNormal);
            if (s.device->SetCooperativeLevel(window, flags) != platform::kDdOk)
                GraphicsFatalError(screen_log::kCooperativeFatal);
        }
        *out_cooperative_flags = platform::kDdsclNormal | (s.multithreaded != 0 ? platform::kDdsclMultithreaded : 0);
        WriteLog(screen_log::kModeCoreDone);
        DecreaseLogIndent();
        return 0;
    }
    if (bits == 24) {
        DecreaseLogIndent();
        return -1;
    }
    WriteLog(screen_log::kChangeResolution);
    if (s.direct_draw_off == 0 && s.device) {
        const uint32_t flags = CooperativeFlags(platform::kDdsclExclusive | platform::kDdsclFullScreen);
        const platform::DdResult result = s.device->SetCooperativeLevel(window, flags);
        if (result != platform::kDdOk && !ModeSwitchTolerated(result)) GraphicsFatalError(screen_log::kCooperativeFatal);
        *out_cooperative_flags = platform::kDdsclExclusive | platform::kDdsclFullScreen |
                                 (s.multithreaded != 0 ? platform::kDdsclMultithreaded : 0);
    }
    if (!TrySetMode(width, height, bits, s.refresh_rate)) {
        // Without the refresh rate, which is then forgotten.
        if (!TrySetMode(width, height, bits, 0)) {
            WriteLog(screen_log::kModeChangeFailed);
            DecreaseLogIndent();
            return -1;
        }
        s.refresh_rate = 0;
    }
    *out_bits = bits;
    *mode_changed = 1;
    WriteLog(screen_log::kSucceeded);
    WriteLog(screen_log::kModeCoreDone);
    DecreaseLogIndent();
    return 0;
}

int RestoreDisplayModeBody() {
    ScreenState& s = Screen();
    if (s.direct_draw_off == 0) {
        if (!s.device) {
            platform::RestoreDesktopDisplayMode();
            s.mode_changed = 0;
            return -1;
        }
        if ((s.cooperative_flags & platform::kDdsclExclusive) != 0) {
            s.device->SetCooperativeLevel(ScreenWindow(), CooperativeFlags(platform::kDdsclNormal));
            s.device->RestoreDisplayMode();
        }
    } else {
        platform::RestoreDesktopDisplayMode();
    }
    s.mode_changed = 0;
    WriteLog(screen_log::kRestoreModeDone);
    return 0;
}

int RestoreDisplayModeIfChanged() {
    if (GetWindowModeFlag() == 0 && Screen().mode_changed != 0) return RestoreDisplayModeBody();
    return 0;
}

int ReapplyDisplayMode() {
    ScreenState& s = Screen();
    if (s.direct_draw_off == 0 && !s.device) return -1;
    const platform::DisplayMode desktop = platform::DesktopDisplayMode();
    return SetDisplayModeCore(desktop.width, desktop.height, ScreenWidth(), ScreenHeight(), s.display_bits,
                              &s.display_bits, &s.cooperative_flags, GetWindowModeFlag(), &s.mode_changed,
                              ScreenWindow());
}

int ChangeDisplayMode(int width, int height, int color_bits, int force, int refresh_rate) {
    ScreenState& s = Screen();
    const int new_width = width == -1 ? s.width : width;
    const int new_height = height == -1 ? s.height : height;
    const int new_bits = color_bits == -1 ? s.display_bits : color_bits;
    const int new_rate = refresh_rate == -1 ? s.refresh_rate : refresh_rate;
    if (force == 0 && new_width == s.width && new_height == s.height && new_bits == s.display_bits &&
        new_rate == s.refresh_rate)
        return 0;
    WriteLog(screen_log::kModeChangeStart);
    IncreaseLogIndent();
    Host().KeepDefaultFont();
    const int previous_width = s.width;
    const int previous_height = s.height;
    const int previous_bits = s.display_bits;
    const int previous_rate = s.refresh_rate;
    s.width = new_width;
    s.height = new_height;
    s.display_bits = new_bits;
    s.refresh_rate = new_rate;
    if ((s.initialized == 0 && g_init_in_progress == 0) || (s.direct_draw_off == 0 && !s.device)) {
        DecreaseLogIndent();
        return 0;
    }
    s.gdi_applied = -1;
    PaceModeChange();

    DeleteAllGraphs(0);
    EndGraphManagement();
    EndDirect3D();
    s.palette.reset();
    ReleaseMainSurfaces();

    const uint32_t saved_transparent = GetDrawSettings().transparent_color;
    int result;
    if (s.initialized == 0) {
        result = FirstModeChange(previous_width, previous_height, previous_bits, previous_rate);
    } else {
        result = LaterModeChange(previous_width, previous_height, previous_bits);
    }
    if (s.software_rendering == 0 || s.screen_bits == 0) s.screen_bits = s.display_bits;

    SetupScreenColorData();
    if (GetWindowModeFlag() != 0 || s.direct_draw_off != 0) ApplyWindowModeStyle();
    if (CreateMainSurfaces() < 0) {
        DecreaseLogIndent();
        return WriteLog(screen_log::kMainSurfaceInitFailed);
    }
    DeleteAllSurfaceData();
    StartDirect3D();
    InitGraphManagement();
    Host().RemakeDefaultFont();
    CreateScreenPalette();
    if (s.software_rendering == 0 || s.display_bits == 8) MeasureTransferMethod();
    MeasureFrameTime();
    if (s.initialized != 0) {
        SetTransparentColor(static_cast<int>((saved_transparent >> 16) & 0xFF),
                            static_cast<int>((saved_transparent >> 8) & 0xFF), static_cast<int>(saved_transparent & 0xFF));
    }
    DecreaseLogIndent();
    WriteLog(screen_log::kModeChangeDone);
    ProcessMessages();
    ResetScreenPresentCount();
    return result;
}

void SetDirect3DStartEnd(int (*start)(), int (*end)()) {
    g_direct3d_start = start;
    g_direct3d_end = end;
}

int SetScreenModeBody(int width, int height, int color_bits, int refresh_rate) {
    ScreenState& s = Screen();
    const int new_width = width == -1 ? ScreenWidth() : width;
    const int new_height = height == -1 ? ScreenHeight() : height;
    const int new_bits = color_bits == -1 ? GetColorBitDepth() : color_bits;
    const int new_rate = refresh_rate == -1 ? s.refresh_rate : refresh_rate;
    // Checked before anything is deleted: a refused call keeps every graph.
    if (new_width <= 0 || new_height <= 0 || (new_bits != 8 && new_bits != 16 && new_bits != 32)) return -1;
    const bool unchanged = new_width == ScreenWidth() && new_height == ScreenHeight() &&
                           new_bits == GetColorBitDepth() && new_rate == s.refresh_rate && s.width != 0;
    DeleteAllGraphs(0);
    s.screen_bits = new_bits;
    ChangeDisplayMode(new_width, new_height, new_bits, 0, new_rate);
    if (ScreenWidth() == new_width && ScreenHeight() == new_height && GetColorBitDepth() == new_bits &&
        s.refresh_rate == new_rate)
        return 0;
    if (unchanged) return -1;
    if (ScreenWidth() == 640 && ScreenHeight() == 480 && s.display_bits == 16 && s.refresh_rate == 0) return kFellBack;
    return -1;
}

int SetUseHardwareRenderFlagBody(int flag) {
    ScreenState& s = Screen();
    if (s.direct_draw_off != 0 || flag == 0) {
        SetUse3DFlag(0);
        s.direct_draw_off = 1;
    }
    s.software_rendering = (s.direct_draw_off == 0 && flag != 0) ? 0 : 1;
    if (s.device && g_init_in_progress == 0) {
        const int previous = GetDrawScreen();
        DeleteAllGraphs(0);
        ChangeDisplayMode(-1, -1, -1, 1, -1);
        if (previous == kFrontScreen || previous == kBackScreen) SetDrawScreen(previous);
    }
    return 0;
}

int SetUseDirectDrawFlagBody(int flag) {
    Screen().direct_draw_off = flag == 0 ? 1 : 0;
    if (flag == 0) {
        SetUseHardwareRenderFlagBody(0);
        SetUse3DFlag(0);
    }
    return 0;
}

int SetSoftRenderRequest(int flag) {
    Screen().software_request = Screen().direct_draw_off != 0 ? 1 : flag;
    return 0;
}

int GetSoftRenderRequestFlag() { return Screen().direct_draw_off != 0 ? 1 : Screen().software_request; }

int ReleaseDirectDrawObject() {
    ScreenState& s = Screen();
    WriteLog(screen_log::kDdRelease);
    if (s.direct_draw_off == 0 && !s.device) {
        WriteLog(screen_log::kAlreadyReleased);
        return 0;
    }
    ReleaseAllSurface2DData();
    RestoreDisplayModeIfChanged();
    s.palette.reset();
    s.clipper.reset();
    s.device.reset();
    WriteLog(screen_log::kDdReleased);
    return 0;
}

int RecreateDirectDrawObject() {
    ScreenState& s = Screen();
    if (s.device) return 0;
    if (CreateDirectDrawObject() != 0) GraphicsFatalError(screen_log::kDdRecreateFatal);
    ReapplyDisplayMode();
    RecreateAllSurface2DData();
    if (s.direct_draw_off == 0 && CreateClipper() != 0) {
        WriteLog(screen_log::kClipperCreateFailed);
        GraphicsFatalError(screen_log::kClipperCreateFatal);
    }
    return 0;
}

}  // namespace velk
