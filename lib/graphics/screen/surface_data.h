#pragma once
// The pixel store behind 2D surfaces: a record (handle kind 0x38000000,
// 65536 slots) that owns one display surface or, for system-memory records
// and in software rendering, one software image, optionally with a depth
// buffer, shared by several 2D surfaces through its reference count.

#include <cstdint>
#include <memory>

#include "lib/core/math.h"
#include "lib/image/color_data.h"
#include "lib/softrender/memimg.h"

namespace velk::platform {
class DdSurface;
struct DdPixelFormat;
}

namespace velk {

inline constexpr uint32_t kSurfaceDataHandleType = 0x38000000;
inline constexpr int kSurfaceDataSlots = 65536;

// The creation parameters, in the order of a graph's bytes.
struct SurfaceCreateParams {
    uint8_t texture = 0;
    uint8_t alpha_channel = 0;
    uint8_t draw_valid = 0;
    uint8_t system_memory = 0;
    uint8_t unmanaged_texture = 0;
    uint8_t alpha_test = 0;
    uint8_t color_depth = 16;
    uint8_t one_texture = 0;
    uint8_t palette_image = 0;
};

struct SurfaceData {
    uint32_t check = 0;
    int32_t handle = 0;
    int* lost_flag = nullptr;
    SurfaceCreateParams params;
    int software_image = 0;        // 1: the pixels are `image`
    int texture_format = 0;
    int z_buffer = 0;
    std::shared_ptr<platform::DdSurface> surface;
    MEMIMG image;
    std::shared_ptr<platform::DdSurface> z_surface;
    MEMIMG z_image;
    uint32_t transparent_color = 0;  // 0x00RRGGBB at creation
    uint16_t width = 0;
    uint16_t height = 0;
    int ref_count = 0;
    int lock_pitch = 0;
    uint8_t* lock_pixels = nullptr;
    int lock_count = 0;
    ColorData surface_color;       // the display surface's format
};

// A new store of width x height with `ref_count` references; -1 (logged)
// when the table is full, memory fails or the pixels cannot be made.
int AddSurfaceData(int ref_count, int width, int height, uint32_t transparent_color,
                   const SurfaceCreateParams& params);
int DeleteSurfaceData(int handle);
SurfaceData* GetSurfaceData(int handle);
int AddSurfaceDataRef(int handle);
// Deletes the store at 0 references. The new count, -1 for a bad handle.
int ReleaseSurfaceDataRef(int handle);
int CreateSurfaceDataSurface(int handle);
int SetSurfaceDataZBuffer(int handle, int flag);
int SetSurfaceDataColorKey(int handle);
int ReleaseSurfaceDataSurface(int handle);
// 0 not lost, -1 lost and restored (its pixels must be written again).
int RestoreSurfaceData(int handle);
// 0, -2 when already locked (the same view again, one more lock), -1.
int LockSurfaceData(int handle, int* pitch, uint8_t** pixels, int write_only, const Rect* rect,
                    const ColorData** color);
int UnlockSurfaceData(int handle, const Rect* rect);
int FillSurfaceData(int handle, int red, int green, int blue, int alpha);
// The descriptor of the store's pixels (software image or display surface).
const ColorData* SurfaceDataColorData(const SurfaceData& data);
// Every store deleted, the table emptied (graph management start and end).
void DeleteAllSurfaceData();
int GetSurfaceDataCount();
// The pixel formats of the nine texture kinds (draw-valid, alpha channel,
// alpha test, depth) that texture stores are made in; null while Direct3D is
// absent (texture stores then fail). The array must outlive its use.
void SetTexturePixelFormats(const platform::DdPixelFormat* formats);

// Sets the bits no channel uses to ones in every pixel of the rectangle.
int SetUnusedColorBits(const Rect& rect, uint8_t* pixels, int pitch, const ColorData* color);

}  // namespace velk
