#pragma once
// The software renderer's image: a MEMIMG is a view (size and pointer to its
// top-left pixel) over a shared, reference-counted MemImgBase that holds the
// pixel memory, the pixel format, the transparent colour and the palette.
//
// Pixel formats (MemImgBase::format):
//   0  16-bit R5G6B5; with alpha 4 bytes per pixel: the R5G6B5 word, the alpha
//      byte, one byte without meaning; paletted: 8-bit indices
//   1  32-bit X8R8G8B8 (A8R8G8B8 with alpha); paletted: 8-bit indices
//   2  8-bit single value (blend images, masks)
//   3  16-bit single value (depth buffers)
// A paletted image has no alpha; formats 2 and 3 have neither.
//
// Everything here runs on the drawing thread only: the reference counts and the
// descriptor caches are not synchronised.

#include <cstddef>
#include <cstdint>

#include "lib/core/math.h"
#include "lib/image/color_data.h"
#include "platform/display/pixel_format.h"

namespace velk {

inline constexpr uint32_t kMemImgMagic = 0x12345678;

inline constexpr int kMemImgFormat16 = 0;      // R5G6B5
inline constexpr int kMemImgFormat32 = 1;      // X8R8G8B8
inline constexpr int kMemImgFormat8 = 2;       // one 8-bit value
inline constexpr int kMemImgFormatDepth = 3;   // one 16-bit value

// The largest pixel memory an image may have; larger requests are refused
// rather than overflowing a size computation.
inline constexpr int64_t kMemImgMaxBytes = int64_t{1} << 31;

struct MemImgBase {
    int32_t ref_count = 0;
    int32_t width = 0;
    int32_t height = 0;
    int32_t pitch = 0;                         // bytes from one row to the next
    const ColorData* color_data = nullptr;     // shared, from GetMemImgColorData
    uint32_t trans_color = 0;                  // raw stored pixel (an index when paletted)
    int32_t format = 0;
    int32_t use_palette = 0;
    int32_t color_num = 0;                     // palette entries in use
    int32_t use_alpha = 0;
    int32_t user_pixels = 0;                   // 1: pixel memory belongs to the creator
    // 256 entries in the format's own pixel form: an R5G6B5 word (format 0)
    // or an X8R8G8B8 value with top byte 0 (format 1), one per 32-bit slot.
    // Null unless paletted.
    uint32_t* palette = nullptr;
    uint8_t* pixels = nullptr;                 // row 0, column 0 of the whole image
};

struct MEMIMG {
    uint32_t magic = 0;                        // kMemImgMagic while valid
    int32_t width = 0;
    int32_t height = 0;
    uint8_t* pixels = nullptr;                 // the view's top-left pixel
    MemImgBase* base = nullptr;
};

// Bytes per stored pixel for a format and (normalised) flags; 0 for a format
// outside 0..3.
inline int MemImgBytesPerPixel(int format, int palette_flag, int alpha_flag) {
    if (format < 0 || format > 3) {
        return 0;
    }
    if (format >= 2) {
        return format == 2 ? 1 : 2;
    }
    if (palette_flag != 0) {
        return 1;
    }
    return format == 1 || alpha_flag != 0 ? 4 : 2;
}
inline int MemImgBytesPerPixel(const MemImgBase& base) {
    return MemImgBytesPerPixel(base.format, base.use_palette, base.use_alpha);
}

// pitch -1 asks for the default pitch (a row rounded up to 16 bytes); pixels
// null asks for new pixel memory, otherwise the image lies over the caller's
// memory, which must hold pitch x height bytes and outlive the image.
// -1 when the record is already valid, the format is outside 0..3, a size is
// not positive, the pitch is shorter than a row, the image would be too large
// or an allocation fails.
int CreateMemImg(MEMIMG* image, int width, int height, int pitch, uint32_t trans_color, int format,
                 int palette_flag, int alpha_flag, void* pixels);
// As CreateMemImg for a plain (no palette, no alpha) image on caller-owned
// pixels, with the header in `base`, which the caller owns and keeps from one
// view to the next: a view made and dropped many times a frame then costs no
// allocation. The base counts the caller's hold, so releasing the view never
// frees it. -1 (nothing changed) on the inputs CreateMemImg refuses, on null
// pixels, or while a view derived from the last one still holds the base.
int PlaceMemImg(MEMIMG* image, MemImgBase* base, int width, int height, int pitch, int format, void* pixels);
// Clears the record first; format -1 means the screen's format (0 on a 16-bit
// screen, 1 otherwise; see SetMemImgScreenColorBitDepth).
int CreateScreenFormatMemImg(MEMIMG* image, int width, int height, int format);
int CreateDepthMemImg(MEMIMG* image, int width, int height);

// The screen depth that CreateScreenFormatMemImg's format -1 follows. The
// graphics layer sets it whenever the screen's colour depth changes; 16 until
// then.
void SetMemImgScreenColorBitDepth(int bit_depth);

// Makes `view` a view of the rectangle (x, y, width, height) of `source`,
// sharing its base. A rectangle that does not lie inside the source, or has no
// area, or an invalid source, leaves `view` untouched.
void DeriveMemImg(MEMIMG* view, const MEMIMG* source, int x, int y, int width, int height);

// Inline: every draw checks its images several times over.
inline int CheckValidMemImg(const MEMIMG* image) {
    return image != nullptr && image->magic == kMemImgMagic && image->base != nullptr ? 1 : 0;
}
// Gives up the record's reference; the base and its memory go with the last
// one. Caller-owned pixels are never freed. Ignores an invalid record.
void ReleaseMemImg(MEMIMG* image);

// Stores the raw value into every pixel of the rectangle (null = the whole
// view), clipped to the view.
void FillMemImg(MEMIMG* image, const Rect* rect, uint32_t value);

// The shared descriptors; null for a format outside 0..3. Formats 2 and 3
// ignore both flags.
const ColorData* GetMemImgColorData(int format, int alpha_flag, int palette_flag);
const platform::DdPixelFormat* GetMemImgPixelFormat(int format, int alpha_flag, int palette_flag);

// Address of pixel (x, y) of a view; the caller keeps (x, y) inside it.
inline uint8_t* MemImgPixelAddress(const MEMIMG& image, int x, int y) {
    return image.pixels + static_cast<ptrdiff_t>(y) * image.base->pitch +
           static_cast<ptrdiff_t>(x) * MemImgBytesPerPixel(*image.base);
}

}  // namespace velk
