#include "lib/graphics/screen/screen_surfaces.h"

#include <new>
#include <utility>

#include "lib/core/log.h"
#include "lib/core/window/main_window.h"
#include "lib/graphics/graph_draw.h"
#include "lib/graphics/graphics_fatal.h"
#include "lib/graphics/screen/screen_log_texts.h"
#include "lib/graphics/screen/screen_state.h"
#include "platform/display/display_palette.h"
#include "platform/display/display_surface.h"

namespace velk {

namespace {

void BuiltInPalette(platform::DdPaletteEntry* entries);

void CopyPaletteIntoColorData(ScreenState& s) {
    for (int i = 0; i < 256; ++i) {
        const platform::DdPaletteEntry& e = s.palette_entries[i];
        s.color_data.palette[i] = PaletteEntry{e.blue, e.green, e.red, 0};
    }
}

}  // namespace

namespace {

using platform::DdSurface;
using platform::DdSurfaceDesc;

int g_background_red = 0;
int g_background_green = 0;
int g_background_blue = 0;
int g_no_graphics = 0;

int CodeForMasks(const platform::DdPixelFormat& f) {
    if (f.red_mask == 0xF800 && f.green_mask == 0x07E0 && f.blue_mask == 0x001F) return kPixelFormatCodeR5G6B5;
    if (f.red_mask == 0x7C00 && f.green_mask == 0x03E0 && f.blue_mask == 0x001F) return kPixelFormatCodeX1R5G5B5;
    if (f.red_mask == 0xFF0000 && f.green_mask == 0xFF00 && f.blue_mask == 0xFF) return kPixelFormatCodeX8R8G8B8;
    return kPixelFormatCodeOther;
}

std::shared_ptr<DdSurface> MakeSurface(uint32_t caps, int width, int height) {
    DdSurfaceDesc desc;
    desc.flags = platform::kDdsdCaps;
    desc.caps = caps;
    if (width > 0) {
        desc.flags |= platform::kDdsdWidth | platform::kDdsdHeight;
        desc.width = static_cast<uint32_t>(width);
        desc.height = static_cast<uint32_t>(height);
    }
    std::shared_ptr<DdSurface> surface;
    if (Screen().device->CreateSurface(desc, &surface) != platform::kDdOk) return nullptr;
    return surface;
}

void FillWithBackground(DdSurface* surface) {
    platform::DdBltFx fx;
    fx.fill_color = GetColorValue(g_background_red, g_background_green, g_background_blue);
    surface->Blt(nullptr, nullptr, nullptr, platform::kDdBltColorFill | platform::kDdBltWait, &fx);
}

void FillImageWithBackground(MEMIMG* image) {
    const uint32_t value =
        GetColorByColorData(image->base->color_data, g_background_red, g_background_green, g_background_blue, 255);
    FillMemImg(image, nullptr, value);
}

bool DisplayFormatIsMemImgFormat() {
    const ScreenState& s = Screen();
    const int code = s.format_code;
    return (s.display_bits == 16 && code == kPixelFormatCodeR5G6B5) ||
           (s.display_bits == 32 && code == kPixelFormatCodeX8R8G8B8);
}

const char* PlaceOf(const std::shared_ptr<DdSurface>& surface) {
    uint32_t caps = 0;
    if (surface) surface->GetCaps(&caps);
    return (caps & platform::kDdsCapsVideoMemory) != 0 ? "VIDEOMEMORY" : "SYSTEMMEMORY";
}

// The back image over pixel memory of the screen's own (see
// ScreenState::back_image_store), rows as any software image lays them out.
int CreateBackImageOnStore(int format) {
    ScreenState& s = Screen();
    s.back_image = MEMIMG{};
    const int64_t row_bytes = int64_t{MemImgBytesPerPixel(format, 0, 0)} * ScreenWidth();
    const int64_t pitch = (row_bytes + 15) & ~int64_t{15};
    const size_t bytes = static_cast<size_t>(pitch) * static_cast<size_t>(ScreenHeight());
    platform::PixelStore store{platform::PixelStoreAllocator<uint8_t>(bytes >= platform::kHugePixelStoreBytes)};
    try {
        store.resize(bytes);
    } catch (const std::bad_alloc&) {
        return -1;
    }
    s.back_image_store = std::move(store);
    return CreateMemImg(&s.back_image, ScreenWidth(), ScreenHeight(), static_cast<int>(pitch), 0, format, 0, 0,
                        s.back_image_store.data());
}

void CreateMemImgScreens() {
    ScreenState& s = Screen();
    const bool direct_draw = s.direct_draw_off == 0;
    s.work1.reset();
    s.work2.reset();
    s.z_buffer.reset();
    if (direct_draw) {
        s.primary = MakeSurface(platform::kDdsCapsPrimarySurface | platform::kDdsCapsSystemMemory, 0, 0);
        if (!s.primary) GraphicsFatalError(screen_log::kPrimaryFatal);
        s.back = MakeSurface(platform::kDdsCapsOffscreenPlain | platform::kDdsCapsSystemMemory, ScreenWidth(),
                             ScreenHeight());
        if (!s.back) GraphicsFatalError(screen_log::kBackFatal);
        FillWithBackground(s.back.get());
    }
    const int format = GetColorBitDepth() == 16 ? kMemImgFormat16 : kMemImgFormat32;
    if (CreateScreenFormatMemImg(&s.primary_image, ScreenWidth(), ScreenHeight(), format) != 0)
        GraphicsFatalError(screen_log::kPrimaryMemImgFatal);
    if (direct_draw && GetColorBitDepth() == s.display_bits && DisplayFormatIsMemImgFormat()) {
        if (RelockBackImage() != 0) GraphicsFatalError(screen_log::kBackLockFatal);
    } else if (CreateBackImageOnStore(format) != 0) {
        GraphicsFatalError(screen_log::kBackMemImgFatal);
    }
    if (CreateDepthMemImg(&s.z_image, ScreenWidth(), ScreenHeight()) != 0)
        GraphicsFatalError(screen_log::kZMemImgFatal);
    s.z_image_far = false;
    FillImageWithBackground(&s.primary_image);
    FillImageWithBackground(&s.back_image);
    s.screen_in_memimg = 1;
}

void CreateHardwareScreens() {
    ScreenState& s = Screen();
    s.screen_bits = s.display_bits;
    SetMemImgScreenColorBitDepth(s.screen_bits);
    const int width = ScreenWidth();
    const int height = ScreenHeight();
    if (GetWindowModeFlag() != 0) {
        s.primary = MakeSurface(platform::kDdsCapsPrimarySurface | platform::kDdsCaps3DDevice, 0, 0);
        if (!s.primary) GraphicsFatalError(screen_log::kPrimaryFatal);
        s.back = MakeSurface(platform::kDdsCapsOffscreenPlain | platform::kDdsCaps3DDevice, width, height);
        if (!s.back) GraphicsFatalError(screen_log::kBackFatal);
        FillWithBackground(s.back.get());
    } else {
        DdSurfaceDesc desc;
        desc.flags = platform::kDdsdCaps | platform::kDdsdBackBufferCount;
        desc.caps = platform::kDdsCapsPrimarySurface | platform::kDdsCapsFlip | platform::kDdsCapsComplex |
                    platform::kDdsCaps3DDevice;
        desc.back_buffer_count = 1;
        if (s.device->CreateSurface(desc, &s.primary) != platform::kDdOk)
            GraphicsFatalError(screen_log::kPrimaryFatal);
        if (s.primary->GetAttachedSurface(platform::kDdsCapsBackBuffer, &s.back) != platform::kDdOk)
            GraphicsFatalError(screen_log::kBackBufferPointerFatal);
        for (int i = 0; i < 3; ++i) {
            FillWithBackground(s.back.get());
            s.primary->Flip(nullptr, platform::kDdFlipNoVSync);
        }
    }
    if (s.temp_primary_flag != 0) {
        s.temp_primary = MakeSurface(platform::kDdsCapsOffscreenPlain | platform::kDdsCaps3DDevice, width, height);
        if (!s.temp_primary) GraphicsFatalError(screen_log::kTempPrimaryFatal);
        FillWithBackground(s.temp_primary.get());
    }
    if (ComposedDesktop()) {
        s.half_temp_primary = MakeSurface(platform::kDdsCapsOffscreenPlain | platform::kDdsCaps3DDevice, 320, 240);
        if (!s.half_temp_primary) GraphicsFatalError(screen_log::kHalfTempPrimaryFatal);
        FillWithBackground(s.half_temp_primary.get());
    }
    for (auto* work : {&s.work1, &s.work2}) {
        *work = MakeSurface(platform::kDdsCapsOffscreenPlain | platform::kDdsCapsSystemMemory, width, height);
        if (!*work) GraphicsFatalError(work == &s.work1 ? screen_log::kWorkFatal : screen_log::kWork2Fatal);
        const platform::DdColorKey key{0, 0};
        (*work)->SetColorKey(platform::kDdCkeySrcBlt, &key);
    }
    s.z_buffer = MakeSurface(platform::kDdsCapsZBuffer | platform::kDdsCapsVideoMemory, width, height);
    if (!s.z_buffer || s.back->AddAttachedSurface(s.z_buffer) != platform::kDdOk) {
        s.z_buffer.reset();
        WriteLog(screen_log::kZBufferFailed);
    }
}

}  // namespace

int SetBackgroundColor(int red, int green, int blue) {
    g_background_red = red & 0xFF;
    g_background_green = green & 0xFF;
    g_background_blue = blue & 0xFF;
    return 0;
}

void GetBackgroundColor(int* red, int* green, int* blue) {
    *red = g_background_red;
    *green = g_background_green;
    *blue = g_background_blue;
}

void SetNoGraphicsOption(int flag) { g_no_graphics = flag; }

int SetupScreenColorData() {
    ScreenState& s = Screen();
    if (s.direct_draw_off != 0) {
        if (s.display_bits != 16 && s.display_bits != 32) s.display_bits = 16;
        const int format = s.display_bits == 16 ? kMemImgFormat16 : kMemImgFormat32;
        s.format_code = s.display_bits == 16 ? kPixelFormatCodeX1R5G5B5 : kPixelFormatCodeX8R8G8B8;
        s.color_data = *GetMemImgColorData(format, 0, 0);
        s.display_format = *GetMemImgPixelFormat(format, 0, 0);
        return 0;
    }
    if (!s.device) return 0;
    DdSurfaceDesc desc;
    s.device->GetDisplayMode(&desc);
    s.display_format = desc.pixel_format;
    CreateColorDataFromPixelFormat(&s.display_format, &s.color_data);
    if (s.display_format.rgb_bit_count == 8) {
        // Colour values of an 8-bit screen are indices into its palette: the
        // built-in one until the palette is made from it.
        CreatePaletteColorData(&s.color_data);
        if (!s.palette) BuiltInPalette(s.palette_entries);
        CopyPaletteIntoColorData(s);
    }
    WriteLog(screen_log::kColorInfo);
    IncreaseLogIndent();
    WriteLogFormat(screen_log::kColorMasks, s.display_format.alpha_mask, s.display_format.red_mask,
                   s.display_format.green_mask, s.display_format.blue_mask);
    DecreaseLogIndent();
    s.display_bits = static_cast<int>(s.display_format.rgb_bit_count);
    s.format_code = CodeForMasks(s.display_format);
    return 0;
}

int RelockBackImage() {
    ScreenState& s = Screen();
    ReleaseMemImg(&s.back_image);
    s.back_image_on_surface = 0;
    DdSurfaceDesc desc;
    if (s.back->Lock(nullptr, &desc, platform::kDdLockWait) != platform::kDdOk) return -1;
    const int format = s.display_bits == 16 ? kMemImgFormat16 : kMemImgFormat32;
    if (CreateMemImg(&s.back_image, ScreenWidth(), ScreenHeight(), desc.pitch, 0, format, 0, 0, desc.surface) != 0) {
        s.back->Unlock(nullptr);
        return -1;
    }
    s.back_image_on_surface = 1;
    return 0;
}

int CreateMainSurfaces() {
    ScreenState& s = Screen();
    if (g_no_graphics != 0) return 0;
    if (s.direct_draw_off == 0 && (!s.device || s.primary)) return -1;
    WriteLog(screen_log::kMainSurfaceCreate);
    IncreaseLogIndent();
    if (s.software_rendering != 0 && s.display_bits != 8) {
        SetMemImgScreenColorBitDepth(GetColorBitDepth());
        CreateMemImgScreens();
    } else {
        CreateHardwareScreens();
    }
    WriteLog(screen_log::kSurfacePlacement);
    IncreaseLogIndent();
    if (s.screen_in_memimg != 0) {
        WriteLog(screen_log::kPrimaryMemImg);
        WriteLog(screen_log::kBackMemImg);
    } else {
        WriteLogFormat(screen_log::kPrimaryPlace, PlaceOf(s.primary));
        WriteLogFormat(screen_log::kBackPlace, PlaceOf(s.back));
    }
    DecreaseLogIndent();
    DecreaseLogIndent();
    WriteLog(screen_log::kMainSurfaceCreated);
    return 0;
}

int ReleaseMainSurfaces() {
    ScreenState& s = Screen();
    if (s.direct_draw_off == 0 && !s.device) return -1;
    if (s.screen_in_memimg != 0 && s.back_image_on_surface != 0 && s.back) {
        ReleaseMemImg(&s.back_image);
        s.back->Unlock(nullptr);
        s.back_image_on_surface = 0;
    }
    if (s.z_buffer && s.back) s.back->DeleteAttachedSurface(s.z_buffer.get());
    s.z_buffer.reset();
    if (s.primary) {
        WriteLog(screen_log::kMainSurfaceRelease);
        s.primary->SetClipper(nullptr);
        s.back.reset();
        s.primary.reset();
    }
    s.back.reset();
    s.temp_primary.reset();
    s.half_temp_primary.reset();
    s.work1.reset();
    s.work2.reset();
    s.target_surface.reset();
    s.target_image = nullptr;
    s.target_z_image = nullptr;
    ReleaseMemImg(&s.target_view);
    if (s.screen_in_memimg != 0) {
        ReleaseMemImg(&s.primary_image);
        ReleaseMemImg(&s.back_image);
        platform::PixelStore().swap(s.back_image_store);
        ReleaseMemImg(&s.z_image);
        s.z_image_far = false;
        s.screen_in_memimg = 0;
    }
    return 0;
}

int RestoreMainSurfaces() {
    ScreenState& s = Screen();
    if (!s.device) return -1;
    if (s.graphics_suspended != 0) return 0;
    for (const auto* surface : {&s.primary, &s.temp_primary, &s.half_temp_primary, &s.back, &s.z_buffer}) {
        if (*surface && (*surface)->IsLost() == platform::kDdErrSurfaceLost) {
            (*surface)->Restore();
            if (*surface == s.back && s.back_image_on_surface != 0) RelockBackImage();
        }
    }
    return 0;
}

namespace {

// The built-in 8-bit palette: black to white, ordered by brightness, from a
// 6 x 7 x 6 colour cube and a grey ramp in the remaining entries.
void BuiltInPalette(platform::DdPaletteEntry* entries) {
    int count = 0;
    for (int r = 0; r < 6; ++r)
        for (int g = 0; g < 7; ++g)
            for (int b = 0; b < 6; ++b)
                entries[count++] = platform::DdPaletteEntry{static_cast<uint8_t>(r * 51), static_cast<uint8_t>(g * 255 / 6),
                                                           static_cast<uint8_t>(b * 51), 0};
    for (int i = 0; count < 256; ++i, ++count) {
        const uint8_t grey = static_cast<uint8_t>((i + 1) * 255 / 6);
        entries[count] = platform::DdPaletteEntry{grey, grey, grey, 0};
    }
    auto luma = [](const platform::DdPaletteEntry& e) { return e.red * 299 + e.green * 587 + e.blue * 114; };
    std::stable_sort(entries, entries + 256,
                     [&](const platform::DdPaletteEntry& a, const platform::DdPaletteEntry& b) { return luma(a) < luma(b); });
}

}  // namespace

int CreateScreenPalette() {
    ScreenState& s = Screen();
    if (!s.device || s.palette || s.display_bits != 8) return 0;
    BuiltInPalette(s.palette_entries);
    if (s.device->CreatePalette(platform::kDdPCaps8Bit, s.palette_entries, &s.palette) != platform::kDdOk)
        GraphicsFatalError(screen_log::kPaletteFatal);
    if (s.primary) s.primary->SetPalette(s.palette);
    if (s.back) s.back->SetPalette(s.palette);
    return 0;
}

int RefreshScreenPalette() {
    ScreenState& s = Screen();
    if (s.display_bits != 8) return 0;
    platform::DdPaletteEntry saved[256];
    std::copy(std::begin(s.palette_entries), std::end(s.palette_entries), saved);
    if (!s.palette) CreateScreenPalette();
    if (!s.palette) return 0;
    s.palette->SetEntries(0, 0, 256, saved);
    s.palette->GetEntries(0, 0, 256, s.palette_entries);
    CopyPaletteIntoColorData(s);
    return 0;
}

}  // namespace velk
