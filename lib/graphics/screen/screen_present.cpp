#include "lib/graphics/screen/screen_present.h"


#include <cmath>
#include <cstring>

#include "lib/core/library.h"
#include "lib/core/log.h"
#include "lib/core/memory_tracker.h"
#include "lib/core/screen_log.h"
#include "lib/core/window/main_window.h"
#include "lib/core/window/message_processing.h"
#include "lib/core/window/window_services.h"
#include "lib/graphics/draw_path.h"
#include "lib/graphics/draw_settings.h"
#include "lib/graphics/graph_data.h"
#include "lib/graphics/graphics_fatal.h"
#include "lib/image/color_convert.h"
#include "lib/image/graph_image.h"
#include "lib/image/image_writer.h"
#include "lib/graphics/screen/draw_target.h"
#include "lib/graphics/screen/screen_log_texts.h"
#include "lib/graphics/screen/screen_state.h"
#include "lib/graphics/screen/screen_surfaces.h"
#include "lib/softrender/memimg_convert.h"
#include "platform/base/clock.h"
#include "platform/display/display_surface.h"
#include "platform/display/window_dib.h"
#include "platform/window/window_system.h"

namespace velk {

namespace {

using platform::DdSurface;

bool VSyncWanted() { return GetDrawSettings().vsync_off == 0; }

Rect ClientOnScreen() {
    Rect client;
    GetWindowClientRect(&client);
    return client;
}

// The window's client area on the primary: the whole display in full
// screen, else the client rectangle on the desktop.
Rect WindowOnPrimary() {
    return GetWindowModeFlag() == 0 ? Rect{0, 0, ScreenWidth(), ScreenHeight()} : ClientOnScreen();
}

// Where the system composes the desktop, a half-size frame is stretched on
// the back surface itself and flipped, by way of the half-size temporary
// primary.
void PresentHalfSizeComposed(const Rect& source) {
    ScreenState& s = Screen();
    const Rect quarter{0, 0, 320, 240};
    const Rect whole{0, 0, ScreenWidth(), ScreenHeight()};
    s.half_temp_primary->Blt(&quarter, s.back.get(), &source, platform::kDdBltWait, nullptr);
    s.back->Blt(&whole, s.half_temp_primary.get(), &quarter, platform::kDdBltWait, nullptr);
    s.primary->Flip(nullptr, platform::kDdFlipWait | (VSyncWanted() ? 0 : platform::kDdFlipNoVSync));
}

// The back image as a bitmap for the window.
platform::DibImage DibOf(const MEMIMG& image) {
    const ColorData* color = image.base->color_data;
    platform::DibImage dib;
    dib.width = image.width;
    dib.height = image.height;
    dib.pitch = image.base->pitch;
    dib.bit_count = color->color_bit_depth;
    dib.red_mask = color->red_mask;
    dib.green_mask = color->green_mask;
    dib.blue_mask = color->blue_mask;
    dib.pixels = image.pixels;
    return dib;
}

// Copies the back image into the locked back surface in the display format.
void ConvertBackImageIntoSurface() {
    ScreenState& s = Screen();
    platform::DdSurfaceDesc desc;
    if (s.back->Lock(nullptr, &desc, platform::kDdLockWait | platform::kDdLockWriteOnly) != platform::kDdOk)
        GraphicsFatalError(screen_log::kBackLockFatal);
    GraphImage header;
    header.color_data = s.color_data;
    header.width = ScreenWidth();
    header.height = ScreenHeight();
    header.pitch = desc.pitch;
    header.pixels = static_cast<uint8_t*>(desc.surface);
    BltMemImgToGraphImage(&header, &s.back_image, 0, 0, ScreenWidth(), ScreenHeight(), 0, 0, 0, 0);
    header.pixels = nullptr;
    s.back->Unlock(nullptr);
}

int PresentSoftware(const Rect& source, const Rect& dest) {
    ScreenState& s = Screen();
    const int64_t start = platform::ActiveClock().Microseconds();
    if (s.direct_draw_off == 0) {
        if (s.back_image_on_surface != 0) {
            ReleaseMemImg(&s.back_image);
            s.back->Unlock(nullptr);
            s.back_image_on_surface = 0;
            if (VSyncWanted()) WaitVBlankPaced();
            s.primary->Blt(&dest, s.back.get(), &source, platform::kDdBltWait, nullptr);
            if (RelockBackImage() != 0) GraphicsFatalError(screen_log::kBackLockFatal);
        } else {
            ConvertBackImageIntoSurface();
            if (VSyncWanted()) WaitVBlankPaced();
            s.primary->Blt(&dest, s.back.get(), &source, platform::kDdBltWait, nullptr);
        }
    } else if (CheckValidMemImg(&s.back_image) != 0) {
        if (VSyncWanted()) WaitVBlankPaced();
        const Rect client = ClientOnScreen();
        const Rect in_client{dest.left - client.left, dest.top - client.top, dest.right - client.left,
                             dest.bottom - client.top};
        const platform::DibImage dib = DibOf(s.back_image);
        if (s.half_size_mode != 0 && ScreenWidth() == 640 && ScreenHeight() == 480) {
            platform::DrawDibToWindow(ScreenWindow(), Rect{0, 0, 640, 480}, dib, Rect{0, 0, 320, 240});
        } else {
            platform::DrawDibToWindow(ScreenWindow(), in_client, dib, source);
        }
    }
    s.present_duration = static_cast<int>((platform::ActiveClock().Microseconds() - start) / 1000);
    s.window_content_changed = 1;
    CountScreenPresent();
    return 0;
}

// The on-screen log goes over the frame with plain drawing on the whole
// screen, whatever the game had set.
void DrawOnScreenLog() {
    if (GetOnScreenLogFlag() == 0) return;
    const DrawSettings& settings = GetDrawSettings();
    const Rect area = settings.draw_area;
    const int blend_mode = settings.blend_mode;
    const int blend_param = settings.blend_param;
    const int red = settings.bright_red, green = settings.bright_green, blue = settings.bright_blue;
    SetDrawArea(0, 0, ScreenWidth(), ScreenHeight());
    SetDrawBlendMode(0, 0);
    SetDrawBrightness(255, 255, 255);
    DrawScreenLog();
    SetDrawArea(area.left, area.top, area.right, area.bottom);
    SetDrawBlendMode(blend_mode, blend_param);
    SetDrawBrightness(red, green, blue);
}

}  // namespace

int CopyWindowToTempPrimary() {
    ScreenState& s = Screen();
    if (!s.primary || !s.temp_primary) return 0;
    const Rect client = WindowOnPrimary();
    const Rect whole{0, 0, ScreenWidth(), ScreenHeight()};
    s.temp_primary->Blt(&whole, s.primary.get(), &client, platform::kDdBltWait, nullptr);
    return 0;
}

int CopyTempPrimaryToWindow() {
    ScreenState& s = Screen();
    if (!s.primary || !s.temp_primary) return 0;
    const Rect client = WindowOnPrimary();
    const Rect whole{0, 0, ScreenWidth(), ScreenHeight()};
    s.primary->Blt(&client, s.temp_primary.get(), &whole, platform::kDdBltWait, nullptr);
    return 0;
}

int FrontScreenTimerProc() {
    ScreenState& s = Screen();
    platform::KillWindowTimer(ScreenWindow(), kFrontScreenTimerId);
    if (!s.primary) return 0;
    CopyTempPrimaryToWindow();
    platform::SetWindowTimer(ScreenWindow(), kFrontScreenTimerId, kFrontScreenTimerMs,
                             [](platform::WindowHandle, uint32_t) { FrontScreenTimerProc(); });
    return 0;
}

int SetHalfSizeMode(int flag) {
    Screen().half_size_mode = flag;
    return 0;
}

void WaitVBlankPaced() {
    ScreenState& s = Screen();
    if (!s.device) return;
    const int32_t now = platform::Milliseconds31();
    if (s.pacing_threshold == -1 || platform::ElapsedMilliseconds31(s.last_vblank_wait, now) >= s.pacing_threshold) {
        IdleSleep(0);
        int in_blank = 0;
        s.device->GetVerticalBlankStatus(&in_blank);
        if (in_blank == 0) s.device->WaitForVerticalBlank(platform::kDdWaitVbBlockBegin);
    } else {
        while (platform::ElapsedMilliseconds31(s.last_vblank_wait, platform::Milliseconds31()) < s.pacing_threshold)
            IdleSleep(1);
        s.device->WaitForVerticalBlank(platform::kDdWaitVbBlockBegin);
    }
    s.last_vblank_wait = platform::Milliseconds31();
}

int WaitVSync(int count) {
    ScreenState& s = Screen();
    if (!s.device) return -1;
    if (s.graphics_suspended != 0) return 0;
    WaitWhileInactive();
    if (count <= 0) {
        int in_blank = 0;
        s.device->GetVerticalBlankStatus(&in_blank);
        if (in_blank == 0) s.device->WaitForVerticalBlank(platform::kDdWaitVbBlockBegin);
        return 0;
    }
    for (int i = 0; i < count; ++i) {
        // The beginning of the next blank: the beam has left one and entered the next.
        s.device->WaitForVerticalBlank(platform::kDdWaitVbBlockBegin);
        if (ProcessMessages() < 0) return -1;
    }
    return 0;
}

int FlipScreenBody() {
    ScreenState& s = Screen();
    if (DirectDrawMissing()) return -1;
    WaitWhileInactive();
    const bool flip = s.software_rendering == 0 && s.gdi_request == 0 && s.direct_draw_off == 0 &&
                      GetWindowModeFlag() == 0 && GetUseMenuFlag() == 0 && s.half_size_mode == 0;
    if (!flip) return CopyBackBufferToWindow(nullptr);
    DrawOnScreenLog();
    // Direct3D's collected vertices land before the pixels are read.
    Direct3DPath().EndScene();
    if (GetDrawSettings().draw_screen == kFrontScreen && VSyncWanted()) {
        CountScreenPresent();
        return WaitVSync(1);
    }
    if (VSyncWanted()) WaitVBlankPaced();
    s.primary->Flip(nullptr, platform::kDdFlipWait | (VSyncWanted() ? 0 : platform::kDdFlipNoVSync));
    if (VSyncWanted()) IdleSleep(1);
    CountScreenPresent();
    return 0;
}

int CopyFullBackBufferToWindow() { return CopyBackBufferToWindow(nullptr); }

int CopyBackBufferToWindow(const Rect* rect) {
    ScreenState& s = Screen();
    if (DirectDrawMissing()) return -1;
    DrawOnScreenLog();
    // Direct3D's collected vertices land before the pixels are read.
    Direct3DPath().EndScene();
    if (GetDrawSettings().draw_screen == kFrontScreen) {
        CountScreenPresent();
        return WaitVSync(1);
    }
    const int width = ScreenWidth();
    const int height = ScreenHeight();
    Rect source{0, 0, width, height};
    const bool half = s.half_size_mode != 0 && width == 640 && height == 480;
    if (half) source = Rect{0, 0, 320, 240};
    Rect dest = source;
    if (GetWindowModeFlag() != 0) {
        const Rect client = ClientOnScreen();
        const double rate = GetWindowSizeExtendRate();
        if (rect != nullptr && !half) {
            // Only the part of the rectangle that lies on the client area is
            // shown, one to one: clipping the source alone would stretch it
            // over the whole rectangle.
            Rect part = *rect;
            const Rect area{0, 0, static_cast<int>(rate * width), static_cast<int>(rate * height)};
            ClipRect(&part, &area);
            dest = Rect{client.left + part.left, client.top + part.top, client.left + part.right,
                        client.top + part.bottom};
            source = Rect{static_cast<int>(part.left / rate), static_cast<int>(part.top / rate),
                          static_cast<int>(part.right / rate), static_cast<int>(part.bottom / rate)};
            if (source.right <= source.left || source.bottom <= source.top) return 0;
        } else {
            dest = Rect{client.left, client.top, client.left + static_cast<int>(rate * width),
                        client.top + static_cast<int>(rate * height)};
        }
    } else if (half) {
        dest = Rect{0, 0, width, height};
    }
    if (s.software_rendering != 0 && s.display_bits != 8) return PresentSoftware(source, dest);
    if (!s.primary || !s.back) return -1;
    if (VSyncWanted()) WaitVBlankPaced();
    if (GetWindowModeFlag() != 0) {
        s.primary->Blt(&dest, s.back.get(), &source, platform::kDdBltWait, nullptr);
    } else if (ComposedDesktop() && half && s.half_temp_primary && s.gdi_request == 0 && GetUseMenuFlag() == 0) {
        PresentHalfSizeComposed(source);
    } else if (s.gdi_request == 0 && GetUseMenuFlag() == 0 && !half) {
        s.primary->BltFast(0, 0, s.back.get(), &source, platform::kDdBltFastWait);
    } else {
        s.primary->Blt(nullptr, s.back.get(), &source, platform::kDdBltWait, nullptr);
    }
    CountScreenPresent();
    return 0;
}

int SetFlipToGDIMode(int flag) {
    ScreenState& s = Screen();
    const int needed = (flag == 1 || GetUseMenuFlag() != 0) ? 1 : 0;
    if (needed == s.gdi_applied) return 0;
    s.gdi_request = flag;
    if (!s.device) return 0;
    if (needed != 0) s.device->FlipToGDISurface();
    Rect area;
    GetDrawArea(&area);
    const int current = GetDrawScreen();
    SetDrawScreen(kBackScreen);
    SetDrawScreen(kFrontScreen);
    SetDrawScreen(current);
    SetDrawArea(area.left, area.top, area.right, area.bottom);
    s.gdi_applied = needed;
    return 0;
}

int GetFlipToGDIMode() { return Screen().gdi_request; }

int ReadWindowToFrontMemImg() {
    ScreenState& s = Screen();
    if (CheckValidMemImg(&s.primary_image) == 0) return -1;
    const int width = ScreenWidth();
    const int height = ScreenHeight();
    if (s.direct_draw_off != 0) {
        platform::DibImage dib = DibOf(s.primary_image);
        platform::ReadWindowToDib(ScreenWindow(), Rect{0, 0, width, height}, &dib, 0, 0);
    } else {
        DdSurface* screen = GetMainDrawSurface();
        if (screen == nullptr) return -1;
        Rect area;
        GetScreenWindowRect(&area);
        const Rect whole{0, 0, static_cast<int>(screen->width()), static_cast<int>(screen->height())};
        Rect visible = area;
        ClipRect(&visible, &whole);
        if (visible.right > visible.left && visible.bottom > visible.top) {
            platform::DdSurfaceDesc desc;
            if (screen->Lock(&visible, &desc, platform::kDdLockWait | platform::kDdLockReadOnly) != platform::kDdOk)
                return -1;
            const Rect from{0, 0, visible.right - visible.left, visible.bottom - visible.top};
            BltColorConvert(s.primary_image.pixels, s.primary_image.base->pitch, s.primary_image.base->color_data,
                            desc.surface, desc.pitch, &s.color_data, nullptr, 0, nullptr, visible.left - area.left,
                            visible.top - area.top, &from, 0, 0, 0, kDitherNone, 0, 0, 0, 0);
            screen->Unlock(nullptr);
        }
    }
    s.window_content_changed = 0;
    return 0;
}

int CopyFrontMemImgToWindow(const Rect* rect) {
    ScreenState& s = Screen();
    if (CheckValidMemImg(&s.primary_image) == 0) return -1;
    Rect area = rect != nullptr ? *rect : Rect{0, 0, ScreenWidth(), ScreenHeight()};
    const Rect screen_area{0, 0, ScreenWidth(), ScreenHeight()};
    ClipRect(&area, &screen_area);
    if (area.right <= area.left || area.bottom <= area.top) return 0;
    if (s.direct_draw_off != 0) {
        platform::DrawDibToWindow(ScreenWindow(), area, DibOf(s.primary_image), area);
        return 0;
    }
    DdSurface* screen = GetMainDrawSurface();
    if (screen == nullptr) return -1;
    Rect window_area;
    GetScreenWindowRect(&window_area);
    Rect target{area.left + window_area.left, area.top + window_area.top, area.right + window_area.left,
                area.bottom + window_area.top};
    const Rect whole{0, 0, static_cast<int>(screen->width()), static_cast<int>(screen->height())};
    Rect visible = target;
    ClipRect(&visible, &whole);
    if (visible.right <= visible.left || visible.bottom <= visible.top) return 0;
    platform::DdSurfaceDesc desc;
    if (screen->Lock(&visible, &desc, platform::kDdLockWait | platform::kDdLockWriteOnly) != platform::kDdOk)
        return -1;
    const Rect from{visible.left - window_area.left, visible.top - window_area.top, visible.right - window_area.left,
                    visible.bottom - window_area.top};
    BltColorConvert(desc.surface, desc.pitch, &s.color_data, s.primary_image.pixels, s.primary_image.base->pitch,
                    s.primary_image.base->color_data, nullptr, 0, nullptr, 0, 0, &from, 0, 0, 0,
                    kDitherNone, 0, 0, 0, 0);
    screen->Unlock(nullptr);
    return 0;
}

int SaveDrawScreenToFile(int x1, int y1, int x2, int y2, const char* file_name, int format, int jpeg_quality,
                         int jpeg_option, int png_level) {
    // Direct3D's collected vertices land before the pixels are read.
    Direct3DPath().EndScene();
    ScreenState& s = Screen();
    (void)jpeg_option;
    if (DirectDrawMissing() || file_name == nullptr) return -1;
    WaitWhileInactive();
    Rect area{x1, y1, x2, y2};
    const Rect draw_area = GetDrawSettings().draw_area;
    ClipRect(&area, &draw_area);
    const int width = area.right - area.left;
    const int height = area.bottom - area.top;
    if (width <= 0 || height <= 0) return -1;

    // The pixels to save: the target's software image or its locked surface.
    const uint8_t* pixels = nullptr;
    int pitch = 0;
    ColorData color;
    DdSurface* locked = nullptr;
    if (s.software_rendering != 0 && s.display_bits != 8) {
        if (GetDrawSettings().draw_screen == kFrontScreen) ReadWindowToFrontMemImg();
        const MEMIMG* image = s.target_image;
        if (image == nullptr || CheckValidMemImg(image) == 0) return -1;
        pixels = MemImgPixelAddress(*image, area.left, area.top);
        pitch = image->base->pitch;
        color = *image->base->color_data;
    } else {
        DdSurface* target = s.target_surface.get();
        if (target == nullptr) return -1;
        const Rect placement = GetDrawSettings().window_placement;
        const Rect on_surface{area.left + placement.left + s.target_x, area.top + placement.top + s.target_y,
                              area.right + placement.left + s.target_x, area.bottom + placement.top + s.target_y};
        platform::DdSurfaceDesc desc;
        if (target->Lock(&on_surface, &desc, platform::kDdLockWait | platform::kDdLockReadOnly) != platform::kDdOk)
            return WriteLog(screen_log::kWorkLockFailed);
        locked = target;
        pixels = static_cast<const uint8_t*>(desc.surface);
        pitch = desc.pitch;
        color = s.color_data;
    }
    GraphImage image;
    image.color_data = color;
    image.width = width;
    image.height = height;
    image.pitch = width * color.pixel_byte;
    const size_t bytes = static_cast<size_t>(image.pitch) * height;
    image.pixels = static_cast<uint8_t*>(VELK_ALLOC(bytes));
    if (image.pixels == nullptr) {
        if (locked != nullptr) locked->Unlock(nullptr);
        return WriteLog(screen_log::kSaveBufferFailed);
    }
    for (int y = 0; y < height; ++y)
        std::memcpy(image.pixels + static_cast<size_t>(y) * image.pitch, pixels + static_cast<ptrdiff_t>(y) * pitch,
                    static_cast<size_t>(image.pitch));
    if (locked != nullptr) locked->Unlock(nullptr);
    int result = -1;
    switch (format) {
        case 0:
            result = SaveGraphImageToBmp(file_name, &image);
            break;
        case 1:
            result = SaveGraphImageToJpeg(file_name, &image, jpeg_quality);
            break;
        case 2:
            result = SaveGraphImageToPng(file_name, &image, png_level);
            break;
        default:
            break;
    }
    ReleaseGraphImage(&image);
    return result;
}

}  // namespace velk
