#include "lib/graphics/screen/surface_data.h"

#include <cstring>
#include <new>

#include "lib/core/log.h"
#include "lib/core/memory_tracker.h"
#include "lib/image/graph_image.h"
#include "lib/core/handle_table.h"
#include "lib/graphics/screen/screen_log_texts.h"
#include "lib/graphics/screen/screen_state.h"
#include "platform/display/display_surface.h"

namespace velk {

namespace {

using platform::DdSurface;
using platform::DdSurfaceDesc;

HandleTable<SurfaceData>& Table() {
    static HandleTable<SurfaceData> table(kSurfaceDataSlots, kSurfaceDataHandleType);
    return table;
}

// Texture-format indices: the nine texture kinds, then the plain surface and
// the software images (16-bit, 16-bit alpha, 32-bit, 32-bit alpha).
constexpr int kPlainSurfaceFormat = 9;
constexpr int kSoftwareImageFormat16 = 10;
constexpr int kSoftwareImageFormat32 = 12;

int TextureFormatIndex(const SurfaceCreateParams& p) {
    const int wide = p.color_depth != 16 ? 1 : 0;
    if (p.draw_valid != 0) return (p.alpha_channel != 0 || p.alpha_test != 0) ? 8 : 6 + wide;
    if (p.alpha_channel != 0) return 2 + wide;
    if (p.alpha_test != 0) return 4 + wide;
    return wide;
}

int MemImgFormatOf(const SurfaceCreateParams& p) { return p.color_depth == 16 ? kMemImgFormat16 : kMemImgFormat32; }

void AdjustParams(SurfaceCreateParams* p) {
    if (p->texture == 0) {
        p->draw_valid = 1;
        p->alpha_test = 0;
        if (p->alpha_channel != 0 || p->one_texture != 0) p->system_memory = 1;
    } else {
        p->system_memory = 0;
        if (p->draw_valid != 0 || p->alpha_channel != 0) p->alpha_test = 0;
    }
}

void FreeRecord(SurfaceData* data) {
    data->~SurfaceData();
    MemFree(data);
}

int CreateSoftwareImage(SurfaceData* data) {
    const SurfaceCreateParams& p = data->params;
    const int format = MemImgFormatOf(p);
    data->texture_format = (format == kMemImgFormat16 ? kSoftwareImageFormat16 : kSoftwareImageFormat32) +
                           (p.alpha_channel != 0 ? 1 : 0);
    int result;
    if (p.one_texture == 1) {
        result = CreateMemImg(&data->image, data->width, data->height, -1, 0, kMemImgFormat8, 0, 0, nullptr);
    } else {
        uint32_t key = 0xFFFF;
        if (p.palette_image == 0) {
            const ColorData* color = GetMemImgColorData(format, p.alpha_channel, 0);
            const uint32_t t = data->transparent_color;
            key = GetColorByColorData(color, (t >> 16) & 0xFF, (t >> 8) & 0xFF, t & 0xFF, 255);
        }
        result = CreateMemImg(&data->image, data->width, data->height, -1, key, format, p.palette_image,
                              p.alpha_channel, nullptr);
    }
    if (result != 0) return WriteLog(screen_log::kMemImgCreateFailed);
    // A new graph starts black rather than with whatever the memory held.
    FillMemImg(&data->image, nullptr, 0);
    return 0;
}

int CreatePlainSurface(SurfaceData* data) {
    ScreenState& screen = Screen();
    data->texture_format = kPlainSurfaceFormat;
    DdSurfaceDesc desc;
    desc.flags = platform::kDdsdCaps | platform::kDdsdWidth | platform::kDdsdHeight;
    desc.width = data->width;
    desc.height = data->height;
    const bool video = data->params.system_memory == 0 && data->width <= ScreenWidth() &&
                       data->height <= ScreenHeight() && screen.software_rendering == 0;
    desc.caps = platform::kDdsCapsOffscreenPlain |
                (video ? platform::kDdsCapsVideoMemory | platform::kDdsCaps3DDevice : platform::kDdsCapsSystemMemory);
    if (screen.device->CreateSurface(desc, &data->surface) != platform::kDdOk) {
        desc.caps = platform::kDdsCapsOffscreenPlain | platform::kDdsCapsSystemMemory;
        if (screen.device->CreateSurface(desc, &data->surface) != platform::kDdOk)
            return WriteLog(screen_log::kPlainSurfaceFailed);
    }
    platform::DdPixelFormat format;
    data->surface->GetPixelFormat(&format);
    CreateColorDataFromPixelFormat(&format, &data->surface_color);
    // An 8-bit surface's values are indices into the screen's palette.
    if ((format.flags & platform::kPixelFormatPaletteIndexed8) != 0) data->surface_color = screen.color_data;
    uint32_t caps = 0;
    data->surface->GetCaps(&caps);
    data->params.system_memory = (caps & platform::kDdsCapsVideoMemory) == 0 ? 1 : 0;
    data->params.draw_valid = 1;
    return 0;
}

// The texture formats Direct3D offers (nine kinds), null while it is absent.
const platform::DdPixelFormat* g_texture_formats = nullptr;

int CreateTextureSurface(SurfaceData* data) {
    const SurfaceCreateParams& p = data->params;
    data->texture_format = TextureFormatIndex(p);
    DdSurfaceDesc desc;
    desc.flags = platform::kDdsdCaps | platform::kDdsdWidth | platform::kDdsdHeight | platform::kDdsdPixelFormat;
    desc.width = data->width;
    desc.height = data->height;
    desc.caps = platform::kDdsCapsTexture | (p.draw_valid != 0 ? platform::kDdsCaps3DDevice : 0);
    desc.caps2 = p.unmanaged_texture == 0 ? platform::kDdsCaps2TextureManage : 0;
    if (g_texture_formats != nullptr) desc.pixel_format = g_texture_formats[data->texture_format];
    if (g_texture_formats == nullptr || !Screen().device ||
        Screen().device->CreateSurface(desc, &data->surface) != platform::kDdOk) {
        WriteLogFormat(screen_log::kTextureParams, p.draw_valid, p.alpha_channel, p.alpha_test, p.color_depth);
        return WriteLog(screen_log::kTextureSurfaceFailed);
    }
    CreateColorDataFromPixelFormat(&desc.pixel_format, &data->surface_color);
    return 0;
}

}  // namespace

void SetTexturePixelFormats(const platform::DdPixelFormat* formats) { g_texture_formats = formats; }

SurfaceData* GetSurfaceData(int handle) { return Table().Get(handle); }

int GetSurfaceDataCount() { return Table().count(); }

int AddSurfaceData(int ref_count, int width, int height, uint32_t transparent_color,
                   const SurfaceCreateParams& params) {
    if (Table().full()) return WriteLog(screen_log::kSurfaceDataFull);
    if (width <= 0 || height <= 0 || width > 0xFFFF || height > 0xFFFF) return -1;
    void* block = VELK_CALLOC(sizeof(SurfaceData));
    if (block == nullptr) return WriteLog(screen_log::kSurfaceDataMemory);
    auto* data = new (block) SurfaceData{};
    data->params = params;
    AdjustParams(&data->params);
    data->software_image =
        (data->params.system_memory != 0 || (Screen().software_rendering != 0 && Screen().display_bits != 8)) ? 1
                                                                                                                 : 0;
    data->transparent_color = transparent_color;
    data->width = static_cast<uint16_t>(width);
    data->height = static_cast<uint16_t>(height);
    data->ref_count = ref_count;
    const int handle = Table().Add(data);
    if (CreateSurfaceDataSurface(handle) != 0) {
        DeleteSurfaceData(handle);
        return -1;
    }
    SetSurfaceDataColorKey(handle);
    return handle;
}

int AddSurfaceDataRef(int handle) {
    SurfaceData* data = GetSurfaceData(handle);
    if (data == nullptr) return -1;
    return ++data->ref_count;
}

int ReleaseSurfaceDataRef(int handle) {
    SurfaceData* data = GetSurfaceData(handle);
    if (data == nullptr) return -1;
    const int count = --data->ref_count;
    if (count <= 0) DeleteSurfaceData(handle);
    return count < 0 ? 0 : count;
}

int CreateSurfaceDataSurface(int handle) {
    SurfaceData* data = GetSurfaceData(handle);
    if (data == nullptr) return -1;
    int result;
    if (data->software_image != 0) {
        result = CreateSoftwareImage(data);
    } else if (data->params.texture == 0) {
        if (!Screen().device) return -1;
        result = CreatePlainSurface(data);
    } else {
        result = CreateTextureSurface(data);
    }
    if (result != 0) return -1;
    if (data->z_buffer != 0) {
        data->z_buffer = 0;
        return SetSurfaceDataZBuffer(handle, 1);
    }
    return 0;
}

int SetSurfaceDataZBuffer(int handle, int flag) {
    SurfaceData* data = GetSurfaceData(handle);
    if (data == nullptr) return -1;
    const int wanted = flag != 0 ? 1 : 0;
    if (data->z_buffer == wanted) return 0;
    if (data->params.draw_valid == 0) return -1;
    if (data->software_image != 0) {
        if (wanted != 0) {
            if (CreateDepthMemImg(&data->z_image, data->width, data->height) != 0)
                return WriteLog(screen_log::kZBufferFailed);
        } else {
            ReleaseMemImg(&data->z_image);
        }
    } else if (data->surface) {
        if (wanted != 0) {
            DdSurfaceDesc desc;
            desc.flags = platform::kDdsdCaps | platform::kDdsdWidth | platform::kDdsdHeight;
            desc.caps = platform::kDdsCapsZBuffer | platform::kDdsCapsVideoMemory;
            desc.width = data->width;
            desc.height = data->height;
            if (Screen().device->CreateSurface(desc, &data->z_surface) != platform::kDdOk ||
                data->surface->AddAttachedSurface(data->z_surface) != platform::kDdOk) {
                data->z_surface.reset();
                return WriteLog(screen_log::kZBufferFailed);
            }
        } else {
            data->surface->DeleteAttachedSurface(data->z_surface.get());
            data->z_surface.reset();
        }
    }
    data->z_buffer = wanted;
    return 0;
}

int SetSurfaceDataColorKey(int handle) {
    SurfaceData* data = GetSurfaceData(handle);
    if (data == nullptr) return -1;
    if (!data->surface) return 0;
    const uint32_t t = data->transparent_color;
    uint32_t key = 0;
    if (Screen().display_bits != 8)
        key = GetColorByColorData(&data->surface_color, (t >> 16) & 0xFF, (t >> 8) & 0xFF, t & 0xFF, 255);
    const platform::DdColorKey color_key{key, key};
    if (data->surface->SetColorKey(platform::kDdCkeySrcBlt, &color_key) != platform::kDdOk)
        return WriteLog(screen_log::kPlainColorKeyFailed);
    return 0;
}

int ReleaseSurfaceDataSurface(int handle) {
    SurfaceData* data = GetSurfaceData(handle);
    if (data == nullptr) return -1;
    if (data->z_surface && data->surface) data->surface->DeleteAttachedSurface(data->z_surface.get());
    data->z_surface.reset();
    data->surface.reset();
    data->lock_count = 0;
    return 0;
}

int RestoreSurfaceData(int handle) {
    SurfaceData* data = GetSurfaceData(handle);
    if (data == nullptr || !data->surface) return 0;
    if (data->surface->IsLost() != platform::kDdErrSurfaceLost) return 0;
    data->surface->Restore();
    if (data->z_surface) data->z_surface->Restore();
    return -1;
}

int LockSurfaceData(int handle, int* pitch, uint8_t** pixels, int write_only, const Rect* rect,
                    const ColorData** color) {
    SurfaceData* data = GetSurfaceData(handle);
    if (data == nullptr) return -1;
    if (color != nullptr) *color = SurfaceDataColorData(*data);
    if (data->lock_count > 0) {
        ++data->lock_count;
        *pitch = data->lock_pitch;
        *pixels = data->lock_pixels;
        return -2;
    }
    if (data->surface) {
        DdSurfaceDesc desc;
        const uint32_t flags = platform::kDdLockWait | (write_only == 1 ? platform::kDdLockWriteOnly : 0);
        if (data->surface->Lock(rect, &desc, flags) != platform::kDdOk) return WriteLog(screen_log::kGraphLockFailed);
        data->lock_pitch = desc.pitch;
        data->lock_pixels = static_cast<uint8_t*>(desc.surface);
    } else if (CheckValidMemImg(&data->image) != 0) {
        data->lock_pitch = data->image.base->pitch;
        data->lock_pixels = rect != nullptr ? MemImgPixelAddress(data->image, rect->left, rect->top)
                                            : data->image.pixels;
    } else {
        return -1;
    }
    data->lock_count = 1;
    *pitch = data->lock_pitch;
    *pixels = data->lock_pixels;
    return 0;
}

int UnlockSurfaceData(int handle, const Rect* rect) {
    SurfaceData* data = GetSurfaceData(handle);
    if (data == nullptr || data->lock_count == 0) return -1;
    if (--data->lock_count == 0) {
        if (data->surface) data->surface->Unlock(rect);
        data->lock_pixels = nullptr;
    }
    return 0;
}

const ColorData* SurfaceDataColorData(const SurfaceData& data) {
    if (data.surface) return &data.surface_color;
    if (data.image.base != nullptr) return data.image.base->color_data;
    return GetScreenColorData();
}

int FillSurfaceData(int handle, int red, int green, int blue, int alpha) {
    SurfaceData* data = GetSurfaceData(handle);
    if (data == nullptr) return -1;
    const ColorData* color = SurfaceDataColorData(*data);
    const uint32_t value = GetColorByColorData(color, red, green, blue, alpha);
    if (data->surface) {
        platform::DdBltFx fx;
        fx.fill_color = value;
        return data->surface->Blt(nullptr, nullptr, nullptr, platform::kDdBltColorFill | platform::kDdBltWait, &fx) ==
                       platform::kDdOk
                   ? 0
                   : -1;
    }
    if (CheckValidMemImg(&data->image) == 0) return -1;
    FillMemImg(&data->image, nullptr, value);
    return 0;
}

int DeleteSurfaceData(int handle) {
    SurfaceData* data = Table().Remove(handle);
    if (data == nullptr) return -1;
    if (data->z_surface && data->surface) data->surface->DeleteAttachedSurface(data->z_surface.get());
    ReleaseMemImg(&data->image);
    ReleaseMemImg(&data->z_image);
    if (data->lost_flag != nullptr) *data->lost_flag = 1;
    FreeRecord(data);
    return 0;
}

void DeleteAllSurfaceData() {
    for (int slot = Table().end() - 1; slot >= 0; --slot)
        if (SurfaceData* data = Table().AtSlot(slot)) DeleteSurfaceData(data->handle);
}

int SetUnusedColorBits(const Rect& rect, uint8_t* pixels, int pitch, const ColorData* color) {
    const uint32_t mask = color->no_use_mask;
    if (mask == 0 || (color->pixel_byte != 2 && color->pixel_byte != 4)) return 0;
    for (int y = rect.top; y < rect.bottom; ++y) {
        uint8_t* row = pixels + static_cast<ptrdiff_t>(y) * pitch;
        for (int x = rect.left; x < rect.right; ++x) {
            if (color->pixel_byte == 4 && mask == 0xFF000000u) {
                row[x * 4 + 3] = 0xFF;
            } else {
                WritePixelValue(row, x, color->pixel_byte, ReadPixelValue(row, x, color->pixel_byte) | mask);
            }
        }
    }
    return 0;
}

}  // namespace velk
