#pragma once
// The screen side's one block of state: the display device and how the
// library uses it (hardware drawing, software rendering, DirectDraw switched
// off), the screen's size, depth and pixel format, the screen surfaces and
// software images, what the present measured, and the current 2D draw
// target. Library-wide and used from the main thread only.

#include <cstdint>
#include <memory>

#include "lib/core/math.h"
#include "lib/image/color_data.h"
#include "lib/softrender/memimg.h"
#include "platform/display/display_device.h"
#include "platform/display/display_types.h"
#include "platform/display/pixel_store.h"
#include "platform/window/window_messages.h"

namespace velk::platform {
class DdClipper;
class DdPalette;
class DdSurface;
}  // namespace velk::platform

namespace velk {

// How the display packs a pixel.
enum PixelFormatCode : int {
    kPixelFormatCodeR5G6B5 = 0,
    kPixelFormatCodeX1R5G5B5 = 1,
    kPixelFormatCodeX8R8G8B8 = 2,
    kPixelFormatCodeOther = 3,
};

// While the front screen is drawn into a temporary primary, this window
// timer copies it into the window about once a display frame.
inline constexpr uint32_t kFrontScreenTimerId = 32767;
inline constexpr uint32_t kFrontScreenTimerMs = 17;

// SurfaceTransferMethod: how one surface is copied into another.
inline constexpr int kTransferBltFast = 0;
inline constexpr int kTransferGdi = 1;

struct ScreenState {
    // ---- The display device and how it is used ----
    std::unique_ptr<platform::DdDevice> device;
    std::shared_ptr<platform::DdClipper> clipper;
    int direct_draw_off = 0;       // 1: no surfaces; the screen reaches the window through GDI
    int software_rendering = 0;    // 1: screens and graphs are software images
    int software_request = 0;      // start-up switches to software rendering when set
    int initialized = 0;
    int mode_changed = 0;          // 1 while the library holds a full-screen mode
    uint32_t cooperative_flags = 0;
    int multithreaded = 0;
    int fpu_preserve = 0;
    int transfer_method = kTransferBltFast;
    int refresh_rate_measured = -1;
    int frame_time = -1;           // milliseconds per display frame
    int pacing_threshold = -1;     // milliseconds; -1 when the frame time is unknown
    int32_t last_mode_change_time = 0;
    int active_3d = 0;
    platform::WindowHandle window = 0;

    // ---- The screen ----
    int width = 0;                 // 0 reads as 640
    int height = 0;                // 0 reads as 480
    int display_bits = 16;
    int screen_bits = 0;           // 0 reads as 16
    int refresh_rate = 0;
    platform::DdPixelFormat display_format;
    ColorData color_data;
    int format_code = kPixelFormatCodeR5G6B5;
    int screen_in_memimg = 0;
    int temp_primary_flag = 0;
    platform::DdDeviceCaps device_caps;
    int overlay_format = -1;

    std::shared_ptr<platform::DdSurface> primary;
    std::shared_ptr<platform::DdSurface> back;
    std::shared_ptr<platform::DdSurface> temp_primary;
    std::shared_ptr<platform::DdSurface> half_temp_primary;
    std::shared_ptr<platform::DdSurface> work1;
    std::shared_ptr<platform::DdSurface> work2;
    std::shared_ptr<platform::DdSurface> z_buffer;
    MEMIMG primary_image;
    MEMIMG back_image;
    MEMIMG z_image;
    // z_image holds the far depth in every pixel: no drawing writes it but
    // the clear, so a clear after the first finds it far already.
    bool z_image_far = false;
    int back_image_on_surface = 0;  // the back image views the locked back surface
    // The pixels of a back image of its own: cleared, drawn and shown whole
    // every frame after the frame's waits, so on huge pages where the system
    // has them (one page translation instead of hundreds gone cold).
    platform::PixelStore back_image_store;
    std::shared_ptr<platform::DdPalette> palette;
    platform::DdPaletteEntry palette_entries[256] = {};

    // ---- Present ----
    int32_t last_vblank_wait = 0;
    int gdi_request = 0;
    int gdi_applied = -1;
    int window_content_changed = 0;
    int present_duration = 0;
    int half_size_mode = 0;
    int graphics_suspended = 0;

    // ---- The 2D draw target ----
    int target_screen = -2;
    std::shared_ptr<platform::DdSurface> target_surface;
    MEMIMG* target_image = nullptr;
    MEMIMG* target_z_image = nullptr;
    MEMIMG target_view;            // a graph target's part inside its pixel store
    int target_x = 0;
    int target_y = 0;
    int target_in_video_memory = 0;
};

// Inline, as are the two checks below: a draw reads the screen's state a
// dozen times over, and a frame draws hundreds of times.
inline ScreenState& Screen() {
    static ScreenState state;
    return state;
}
// Everything back to the state before start-up (tests).
void ResetScreenState();

// Reading the screen's size and depth: unset values read as 640, 480, 16.
int ScreenWidth();
int ScreenHeight();
int GetDrawScreenSize(int* width, int* height);
int GetColorBitDepth();
const platform::DdPixelFormat* GetDisplayPixelFormatBody();
const ColorData* GetScreenColorData();
int GetSoftRenderFlag();
// Software mode: software rendering on a screen that is not 8-bit.
inline bool SoftwareMode() { return Screen().software_rendering != 0 && Screen().display_bits != 8; }
// Whether the device is needed and missing (most entry points give -1 then).
inline bool DirectDrawMissing() { return Screen().direct_draw_off == 0 && !Screen().device; }
int GetUseDirectDrawFlag();
platform::DdDevice* GetDirectDrawObject();
int GetDisplayModeChangedFlag();
platform::DdDeviceCaps* GetDirectDrawCaps(platform::DdDeviceCaps* out);
const platform::DdPixelFormat* GetOverlayPixelFormat();
// The overlay formats start-up tries, in order, each with its name for the
// log; the screen's overlay format index points into it.
struct OverlayFormatRow {
    const char* name;
    platform::DdPixelFormat format;
};
inline constexpr int kOverlayFormatCount = 4;
const OverlayFormatRow* OverlayFormatTable();
platform::DdSurface* GetMainDrawSurface();
platform::DdSurface* GetBackSurface();
platform::DdSurface* GetWorkSurface();
platform::DdSurface* GetDrawTargetSurface();
int IsDrawTargetWindowPrimary();
int SetTempPrimaryFlag(int flag);
// Whether the front screen is drawn into the temporary primary.
bool TempPrimaryInUse();
// Windows Vista and later compose the desktop themselves: the screen keeps a
// half-size temporary primary and presents half-size frames through it.
bool ComposedDesktop();
// The window the screen belongs to (the library's main window).
platform::WindowHandle ScreenWindow();
// The cooperative-level flags with the options added.
uint32_t CooperativeFlags(uint32_t base);

}  // namespace velk
