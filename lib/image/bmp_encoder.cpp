// Uncompressed Windows bitmaps, rows from the bottom, each padded to 4 bytes:
// 8-bit images with their 256-entry palette, every other depth as 24 bits.

#include <cstring>

#include "lib/core/log.h"
#include "lib/image/image_log_texts.h"
#include "lib/image/image_writer.h"

namespace velk {

namespace {

void Put16(std::vector<uint8_t>* out, uint32_t v) {
    out->push_back(static_cast<uint8_t>(v));
    out->push_back(static_cast<uint8_t>(v >> 8));
}

void Put32(std::vector<uint8_t>* out, uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

// A channel moved so its top bit becomes bit 7; the low bits stay 0.
uint8_t TopAligned(uint32_t value, uint32_t mask, int width, int location) {
    if (width == 0) {
        return 0;
    }
    const uint32_t v = (value & mask) >> location;
    return static_cast<uint8_t>(width <= 8 ? v << (8 - width) : v >> (width - 8));
}

bool IsStandardOrder(const ColorData& c) {
    return c.red_mask == 0xFF0000 && c.green_mask == 0xFF00 && c.blue_mask == 0xFF;
}

void WriteRow24(const GraphImage* image, int y, uint8_t* out) {
    const ColorData& c = image->color_data;
    const uint8_t* row = image->pixels + static_cast<ptrdiff_t>(y) * image->pitch;
    for (int x = 0; x < image->width; ++x) {
        uint8_t* px = out + x * 3;
        if ((c.pixel_byte == 4 || c.pixel_byte == 3) && IsStandardOrder(c)) {
            std::memcpy(px, row + x * c.pixel_byte, 3);
        } else if (c.pixel_byte == 2) {
            const uint32_t v = ReadPixelValue(row, x, 2);
            px[0] = TopAligned(v, c.blue_mask, c.blue_width, c.blue_loc);
            px[1] = TopAligned(v, c.green_mask, c.green_width, c.green_loc);
            px[2] = TopAligned(v, c.red_mask, c.red_width, c.red_loc);
        } else {
            int r = 0, g = 0, b = 0;
            GetGraphImagePixel(image, x, y, &r, &g, &b, nullptr);
            px[0] = static_cast<uint8_t>(b);
            px[1] = static_cast<uint8_t>(g);
            px[2] = static_cast<uint8_t>(r);
        }
    }
}

}  // namespace

int EncodeGraphImageToBmp(const GraphImage* image, std::vector<uint8_t>* out) {
    if (image->pixels == nullptr || image->width <= 0 || image->height <= 0) {
        return -1;
    }
    const ColorData& c = image->color_data;
    const bool indexed = IsPaletteColorData(&c);
    const int bits = indexed ? 8 : 24;
    const size_t row_size = ((static_cast<size_t>(image->width) * (bits / 8)) + 3) & ~size_t{3};
    const uint32_t data_offset = 54 + (indexed ? 1024 : 0);
    const size_t file_size = data_offset + row_size * static_cast<size_t>(image->height);
    out->clear();
    out->reserve(file_size);
    out->push_back('B');
    out->push_back('M');
    Put32(out, static_cast<uint32_t>(file_size));
    Put32(out, 0);
    Put32(out, data_offset);
    Put32(out, 40);
    Put32(out, static_cast<uint32_t>(image->width));
    Put32(out, static_cast<uint32_t>(image->height));
    Put16(out, 1);
    Put16(out, static_cast<uint32_t>(bits));
    Put32(out, 0);  // no compression
    Put32(out, static_cast<uint32_t>(row_size * static_cast<size_t>(image->height)));
    Put32(out, 0);
    Put32(out, 0);
    Put32(out, 0);
    Put32(out, 0);
    if (indexed) {
        for (const PaletteEntry& e : c.palette) {
            out->push_back(e.blue);
            out->push_back(e.green);
            out->push_back(e.red);
            out->push_back(0);
        }
    }
    const size_t rows_start = out->size();
    out->resize(file_size, 0);
    for (int y = 0; y < image->height; ++y) {
        uint8_t* dst = out->data() + rows_start + static_cast<size_t>(image->height - 1 - y) * row_size;
        if (indexed) {
            std::memcpy(dst, image->pixels + static_cast<ptrdiff_t>(y) * image->pitch,
                        static_cast<size_t>(image->width));
        } else {
            WriteRow24(image, y, dst);
        }
    }
    return 0;
}

int SaveGraphImageToBmp(const char* file_name, const GraphImage* image) {
    std::vector<uint8_t> bytes;
    if (EncodeGraphImageToBmp(image, &bytes) != 0) {
        return WriteLog(image_log::kLogSaveMemoryFailed);
    }
    if (!WriteImageFile(file_name, bytes)) {
        return WriteLog(image_log::kLogBmpSaveOpenFailed);
    }
    return 0;
}

}  // namespace velk
