#include "lib/graphics/screen/dib_graph.h"

#include <bit>
#include <cstring>
#include <new>

#include "lib/core/log.h"
#include "lib/image/color_convert.h"
#include "lib/image/color_data.h"
#include "lib/graphics/screen/screen_log_texts.h"

namespace velk {

namespace {

bool IsPlainRgb24(const ColorData& c) {
    return c.color_bit_depth == 24 && c.pixel_byte == 3 && c.red_mask == 0xFF0000 && c.green_mask == 0xFF00 &&
           c.blue_mask == 0xFF && c.format_kind == 0;
}

// The image's rows as they stand, or copied row by row into `copy`.
void TakeRows(const GraphImage& image, int row_bytes, int force_copy, const uint8_t** pixels,
              std::vector<uint8_t>* copy) {
    if (image.pitch == row_bytes && force_copy == 0) {
        *pixels = image.pixels;
        return;
    }
    const size_t used = static_cast<size_t>(image.width) * image.color_data.pixel_byte;
    copy->assign(static_cast<size_t>(row_bytes) * image.height, 0);
    for (int y = 0; y < image.height; ++y)
        std::memcpy(copy->data() + static_cast<size_t>(y) * row_bytes,
                    image.pixels + static_cast<ptrdiff_t>(y) * image.pitch, used);
    *pixels = copy->data();
}

uint32_t ReadValue(const uint8_t* p, int bytes) {
    uint32_t value = 0;
    std::memcpy(&value, p, static_cast<size_t>(bytes));
    return value;
}

uint8_t Widen(uint32_t value, uint32_t mask) {
    if (mask == 0) return 0;
    const int shift = std::countr_zero(mask);
    const int width = std::popcount(mask);
    const uint32_t channel = (value & mask) >> shift;
    if (width >= 8) return static_cast<uint8_t>(channel >> (width - 8));
    return static_cast<uint8_t>(channel * 255 / ((1u << width) - 1));
}

}  // namespace

int DibRowBytes(int width, int bit_count) { return ((width * bit_count + 31) / 32) * 4; }

int ConvertGraphImageToDib(const GraphImage& image, DibInfo* info, const uint8_t** pixels,
                           std::vector<uint8_t>* copy, int force_copy) {
    const ColorData& c = image.color_data;
    if (image.width <= 0 || image.height <= 0 || image.pixels == nullptr || c.pixel_byte == 0) return -1;
    *info = DibInfo{};
    info->width = image.width;
    info->height = -image.height;
    if (c.pixel_byte == 1 && IsPaletteColorData(&c)) {
        info->bit_count = 8;
        for (int i = 0; i < 256; ++i)
            info->palette[i] = platform::DdPaletteEntry{c.palette[i].red, c.palette[i].green, c.palette[i].blue, 0};
        TakeRows(image, DibRowBytes(image.width, 8), force_copy, pixels, copy);
        return 0;
    }
    info->bit_count = 24;
    const int row_bytes = DibRowBytes(image.width, 24);
    if (IsPlainRgb24(c)) {
        TakeRows(image, row_bytes, force_copy, pixels, copy);
        return 0;
    }
    ColorData rgb24;
    CreateRGB24ColorData(&rgb24);
    copy->assign(static_cast<size_t>(row_bytes) * image.height, 0);
    const Rect whole{0, 0, image.width, image.height};
    if (BltColorConvert(copy->data(), row_bytes, &rgb24, image.pixels, image.pitch, &c, nullptr, 0, nullptr, 0, 0,
                        &whole, 0, 0, 0, kDitherNone, 0, 0, 0, 0) < 0)
        return -1;
    *pixels = copy->data();
    return 0;
}

platform::DibSection DibGraph::Section() const {
    platform::DibSection section;
    section.width = info.width;
    section.height = info.height < 0 ? -info.height : info.height;
    section.pitch = pitch;
    section.bit_count = info.bit_count;
    section.red_mask = info.red_mask;
    section.green_mask = info.green_mask;
    section.blue_mask = info.blue_mask;
    section.palette = info.bit_count == 8 ? info.palette : nullptr;
    section.pixels = pixels.data();
    return section;
}

int CreateDIBGraph(const DibInfo& info, const uint8_t* pixels, DibGraph* out) {
    const int width = info.width;
    const int height = info.height < 0 ? -info.height : info.height;
    const int bits = info.bit_count;
    const bool known = bits == 8 || bits == 16 || bits == 24 || bits == 32;
    if (!known || width <= 0 || height <= 0 || !IsAcceptableImageSize(width, height) || info.planes != 1)
        return WriteLog(screen_log::kDibFailed2);
    if (pixels == nullptr || ((bits == 16 || bits == 32) && (info.red_mask | info.green_mask | info.blue_mask) == 0))
        return WriteLog(screen_log::kDibFailed3);
    out->info = info;
    out->info.height = -height;
    const int kept_bits = bits == 8 ? 8 : 24;
    out->info.bit_count = static_cast<uint16_t>(kept_bits);
    out->info.red_mask = out->info.green_mask = out->info.blue_mask = 0;
    out->pitch = DibRowBytes(width, kept_bits);
    try {
        out->pixels.assign(static_cast<size_t>(out->pitch) * height, 0);
    } catch (const std::bad_alloc&) {
        return WriteLog(screen_log::kDibMemory);
    }
    const int source_pitch = DibRowBytes(width, bits);
    // A bottom-up bitmap lists its last row first.
    for (int y = 0; y < height; ++y) {
        const uint8_t* from = pixels + static_cast<ptrdiff_t>(info.height < 0 ? y : height - 1 - y) * source_pitch;
        uint8_t* to = out->pixels.data() + static_cast<size_t>(y) * out->pitch;
        if (bits == 8 || bits == 24) {
            std::memcpy(to, from, static_cast<size_t>(DibRowBytes(width, bits)));
            continue;
        }
        for (int x = 0; x < width; ++x) {
            const uint32_t value = ReadValue(from + x * (bits / 8), bits / 8);
            to[x * 3] = Widen(value, info.blue_mask);
            to[x * 3 + 1] = Widen(value, info.green_mask);
            to[x * 3 + 2] = Widen(value, info.red_mask);
        }
    }
    return 0;
}

}  // namespace velk
