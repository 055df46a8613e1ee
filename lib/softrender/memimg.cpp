#include "lib/softrender/memimg.h"

#include <cstring>

#if defined(__SSE2__)
#include <immintrin.h>
#endif

#include "lib/core/cpu_features.h"
#include "lib/core/memory_tracker.h"
#include "platform/display/word_fill.h"

namespace velk {

namespace {

int g_screen_color_bit_depth = 16;

// One descriptor per format and flag combination: formats 0 and 1 with the
// four palette/alpha combinations, then formats 2 and 3.
constexpr int kDescriptorCount = 10;

int DescriptorIndex(int format, int alpha_flag, int palette_flag) {
    if (format == kMemImgFormat8) {
        return 8;
    }
    if (format == kMemImgFormatDepth) {
        return 9;
    }
    return format * 4 + (palette_flag != 0 ? 2 : 0) + (alpha_flag != 0 ? 1 : 0);
}

struct ChannelMasks {
    int bit_depth;
    uint32_t red, green, blue, alpha;
    bool one_channel = false;  // formats 2 and 3: every channel on the same bits
};

ChannelMasks MasksFor(int index) {
    switch (index) {
        case 0: return {16, 0xF800, 0x07E0, 0x001F, 0};
        case 1: return {32, 0xF800, 0x07E0, 0x001F, 0x00FF0000};
        case 2: return {8, 0xF800, 0x07E0, 0x001F, 0};
        case 3: return {8, 0xF800, 0x07E0, 0x001F, 0x00FF0000};
        case 4: return {32, 0x00FF0000, 0x0000FF00, 0x000000FF, 0};
        case 5: return {32, 0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000};
        case 6: return {8, 0x00FF0000, 0x0000FF00, 0x000000FF, 0};
        case 7: return {8, 0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000};
        case 8: return {8, 0xFF, 0xFF, 0xFF, 0xFF, true};
        default: return {16, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, true};
    }
}

// The one-channel formats put all four channels on the same bits, which the
// mask-based builder cannot express (it would count them as used twice), so
// they are written field by field.
void BuildSingleValueColorData(ColorData* out, int bit_depth) {
    *out = ColorData{};
    const uint32_t mask = bit_depth == 8 ? 0xFFu : 0xFFFFu;
    const uint8_t width = static_cast<uint8_t>(bit_depth);
    out->color_bit_depth = static_cast<uint16_t>(bit_depth);
    out->pixel_byte = static_cast<uint16_t>(bit_depth / 8);
    out->red_width = out->green_width = out->blue_width = out->alpha_width = width;
    out->red_loc = out->green_loc = out->blue_loc = out->alpha_loc = 0;
    out->red_mask = out->green_mask = out->blue_mask = out->alpha_mask = mask;
    out->no_use_mask = 0;
}

bool ValidFormat(int format) { return static_cast<unsigned>(format) <= 3; }

// A descriptor of each kind per format and flags, written by `build` on first
// use.
template <class Entry>
const Entry* DescriptorFor(int format, int alpha_flag, int palette_flag,
                           void (*build)(Entry* entry, const ChannelMasks& masks)) {
    static Entry entries[kDescriptorCount];
    static bool built[kDescriptorCount];
    if (!ValidFormat(format)) {
        return nullptr;
    }
    const int index = DescriptorIndex(format, alpha_flag, palette_flag);
    if (!built[index]) {
        build(&entries[index], MasksFor(index));
        built[index] = true;
    }
    return &entries[index];
}

void FreeBase(MemImgBase* base) {
    if (base->user_pixels == 0) {
        MemFree(base->pixels);
    }
    MemFree(base->palette);
    MemFree(base);
}

#if defined(__SSE2__)
// The bulk of a row (a multiple of 32 bytes) in 32-byte stores.
__attribute__((target("avx2"))) void StoreRowAvx2(uint8_t* row, size_t bytes, __m128i pattern) {
    const __m256i wide = _mm256_broadcastsi128_si256(pattern);
    for (size_t done = 0; done < bytes; done += 32)
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(row + done), wide);
}
#endif

// Stores a 1-, 2- or 4-byte value into a rectangle of rows. Caller-owned
// pixel memory need not be aligned, so stores go through memcpy (or unaligned
// vector stores).
void FillRows(uint8_t* first, ptrdiff_t pitch, int width, int height, int bytes, uint32_t value) {
    const size_t row_bytes = static_cast<size_t>(width) * bytes;
    // The value's bytes all alike (black, the far depth): the C library's
    // fill, with the widest stores the processor has, over the whole block
    // when the rows follow each other.
    const uint32_t low_byte = value & 0xFF;
    const uint32_t repeated = bytes == 2 ? low_byte * 0x0101u : low_byte * 0x01010101u;
    if (bytes == 1 || (value & (bytes == 2 ? 0xFFFFu : 0xFFFFFFFFu)) == repeated) {
        if (pitch == static_cast<ptrdiff_t>(row_bytes)) {
            std::memset(first, static_cast<int>(low_byte), row_bytes * static_cast<size_t>(height));
            return;
        }
        for (int y = 0; y < height; ++y)
            std::memset(first + pitch * y, static_cast<int>(low_byte), row_bytes);
        return;
    }
    if (bytes == 4 && pitch == static_cast<ptrdiff_t>(row_bytes)) {
        // Rows that follow each other (the screen's back image): one block.
        platform::FillWords32(first, static_cast<size_t>(width) * static_cast<size_t>(height), value);
        return;
    }
#if defined(__SSE2__)
    const bool wide = MachineHasAvx2();
#endif
    for (int y = 0; y < height; ++y) {
        uint8_t* row = first + pitch * y;
        size_t done = 0;
#if defined(__SSE2__)
        const __m128i pattern = bytes == 2 ? _mm_set1_epi16(static_cast<int16_t>(value))
                                           : _mm_set1_epi32(static_cast<int>(value));
        if (wide) {
            done = row_bytes & ~size_t{31};
            StoreRowAvx2(row, done, pattern);
        }
        for (; done + 16 <= row_bytes; done += 16) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(row + done), pattern);
        }
#endif
        for (; done < row_bytes; done += static_cast<size_t>(bytes)) {
            std::memcpy(row + done, &value, static_cast<size_t>(bytes));
        }
    }
}

}  // namespace

const ColorData* GetMemImgColorData(int format, int alpha_flag, int palette_flag) {
    return DescriptorFor<ColorData>(format, alpha_flag, palette_flag, [](ColorData* entry, const ChannelMasks& m) {
        if (m.one_channel) {
            BuildSingleValueColorData(entry, m.bit_depth);
        } else {
            CreateColorDataFromMasks(entry, m.bit_depth, m.red, m.green, m.blue, m.alpha);
        }
    });
}

const platform::DdPixelFormat* GetMemImgPixelFormat(int format, int alpha_flag, int palette_flag) {
    return DescriptorFor<platform::DdPixelFormat>(
        format, alpha_flag, palette_flag, [](platform::DdPixelFormat* entry, const ChannelMasks& m) {
            if (m.one_channel) {
                // Only the bit count and the masks: the one-channel formats
                // are not RGB formats of the display interface.
                *entry = platform::DdPixelFormat{};
                entry->rgb_bit_count = static_cast<uint32_t>(m.bit_depth);
                entry->red_mask = entry->green_mask = m.red;
                entry->blue_mask = entry->alpha_mask = m.red;
            } else {
                CreatePixelFormat(entry, m.bit_depth, m.red, m.green, m.blue, m.alpha);
            }
        });
}

int CreateMemImg(MEMIMG* image, int width, int height, int pitch, uint32_t trans_color, int format,
                 int palette_flag, int alpha_flag, void* pixels) {
    if (image->magic == kMemImgMagic) {
        return -1;
    }
    if (!ValidFormat(format) || width <= 0 || height <= 0) {
        return -1;
    }
    // A palette excludes alpha; the one-channel formats have neither.
    if (palette_flag != 0) {
        palette_flag = 1;
        alpha_flag = 0;
    }
    if (alpha_flag != 0) {
        alpha_flag = 1;
    }
    if (format >= kMemImgFormat8) {
        palette_flag = 0;
        alpha_flag = 0;
    }
    const int bytes_per_pixel = MemImgBytesPerPixel(format, palette_flag, alpha_flag);
    const int64_t row_bytes = int64_t{bytes_per_pixel} * width;
    int64_t pitch64 = pitch;
    if (pitch == -1) {
        pitch64 = (row_bytes + 15) & ~int64_t{15};
    } else if (pitch64 < row_bytes) {
        return -1;
    }
    if (pitch64 > INT32_MAX || pitch64 * height > kMemImgMaxBytes) {
        return -1;
    }

    auto* base = static_cast<MemImgBase*>(MemCalloc(sizeof(MemImgBase), "", 0));
    image->base = base;
    if (base == nullptr) {
        return -1;
    }
    base->ref_count = 1;
    base->width = width;
    base->height = height;
    base->pitch = static_cast<int32_t>(pitch64);
    base->trans_color = trans_color;
    base->format = format;
    base->use_palette = palette_flag;
    base->use_alpha = alpha_flag;
    base->color_data = GetMemImgColorData(format, alpha_flag, palette_flag);
    if (palette_flag != 0) {
        base->palette = static_cast<uint32_t*>(MemCalloc(256 * sizeof(uint32_t), "", 0));
        if (base->palette == nullptr) {
            FreeBase(base);
            image->base = nullptr;
            return -1;
        }
    }
    if (pixels != nullptr) {
        base->pixels = static_cast<uint8_t*>(pixels);
        base->user_pixels = 1;
    } else {
        base->pixels = static_cast<uint8_t*>(MemAlloc(static_cast<size_t>(pitch64 * height), "", 0));
        if (base->pixels == nullptr) {
            FreeBase(base);
            image->base = nullptr;
            return -1;
        }
    }
    image->magic = kMemImgMagic;
    image->width = width;
    image->height = height;
    image->pixels = base->pixels;
    return 0;
}

int PlaceMemImg(MEMIMG* image, MemImgBase* base, int width, int height, int pitch, int format, void* pixels) {
    if (image->magic == kMemImgMagic || base == nullptr || pixels == nullptr || base->ref_count > 1) {
        return -1;
    }
    if (!ValidFormat(format) || width <= 0 || height <= 0) {
        return -1;
    }
    const int64_t row_bytes = int64_t{MemImgBytesPerPixel(format, 0, 0)} * width;
    if (pitch < row_bytes || int64_t{pitch} * height > kMemImgMaxBytes) {
        return -1;
    }
    *base = MemImgBase{};
    base->ref_count = 2;  // the owner's hold and the view's
    base->width = width;
    base->height = height;
    base->pitch = pitch;
    base->format = format;
    base->color_data = GetMemImgColorData(format, 0, 0);
    base->pixels = static_cast<uint8_t*>(pixels);
    base->user_pixels = 1;
    image->magic = kMemImgMagic;
    image->width = width;
    image->height = height;
    image->pixels = base->pixels;
    image->base = base;
    return 0;
}

void SetMemImgScreenColorBitDepth(int bit_depth) { g_screen_color_bit_depth = bit_depth; }

int CreateScreenFormatMemImg(MEMIMG* image, int width, int height, int format) {
    *image = MEMIMG{};
    if (format == -1) {
        format = g_screen_color_bit_depth == 16 ? kMemImgFormat16 : kMemImgFormat32;
    }
    return CreateMemImg(image, width, height, -1, 0, format, 0, 0, nullptr);
}

int CreateDepthMemImg(MEMIMG* image, int width, int height) {
    *image = MEMIMG{};
    return CreateMemImg(image, width, height, -1, 0, kMemImgFormatDepth, 0, 0, nullptr);
}

void DeriveMemImg(MEMIMG* view, const MEMIMG* source, int x, int y, int width, int height) {
    if (CheckValidMemImg(source) == 0 || width <= 0 || height <= 0 || x < 0 || y < 0 ||
        int64_t{x} + width > source->width || int64_t{y} + height > source->height) {
        return;
    }
    MemImgBase* base = source->base;
    uint8_t* pixels = MemImgPixelAddress(*source, x, y);
    view->magic = kMemImgMagic;
    view->width = width;
    view->height = height;
    view->pixels = pixels;
    view->base = base;
    ++base->ref_count;
}

void ReleaseMemImg(MEMIMG* image) {
    if (image == nullptr || image->magic != kMemImgMagic) {
        return;
    }
    if (image->base != nullptr && --image->base->ref_count == 0) {
        FreeBase(image->base);
    }
    image->base = nullptr;
    image->magic = 0;
}

void FillMemImg(MEMIMG* image, const Rect* rect, uint32_t value) {
    if (CheckValidMemImg(image) == 0) {
        return;
    }
    int64_t left = 0, top = 0, right = image->width, bottom = image->height;
    if (rect != nullptr) {
        // Right and bottom are first raised to left and top, then every edge
        // is clamped into the view.
        left = rect->left;
        top = rect->top;
        right = rect->right < rect->left ? rect->left : rect->right;
        bottom = rect->bottom < rect->top ? rect->top : rect->bottom;
        auto clamp = [](int64_t v, int64_t lo, int64_t hi) { return v < lo ? lo : (v > hi ? hi : v); };
        left = clamp(left, 0, image->width);
        right = clamp(right, 0, image->width);
        top = clamp(top, 0, image->height);
        bottom = clamp(bottom, 0, image->height);
    }
    const int width = static_cast<int>(right - left);
    const int height = static_cast<int>(bottom - top);
    if (width <= 0 || height <= 0) {
        return;
    }
    uint8_t* first = MemImgPixelAddress(*image, static_cast<int>(left), static_cast<int>(top));
    const ptrdiff_t pitch = image->base->pitch;
    const int bytes = MemImgBytesPerPixel(*image->base);
    if (bytes == 1 || bytes == 2 || bytes == 4) {
        FillRows(first, pitch, width, height, bytes, value);
    }
}

}  // namespace velk
