// 8-bit RGB PNG, no interlace, every filter allowed, the given zlib level.

#include <csetjmp>
#include <cstring>

#include <png.h>

#include "lib/core/log.h"
#include "lib/core/memory_tracker.h"
#include "lib/image/image_log_texts.h"
#include "lib/image/image_writer.h"

namespace velk {

namespace {

void AppendToVector(png_structp png, png_bytep data, size_t count) {
    auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + count);
}

void FlushNothing(png_structp) {}

void FillRgbRow(const GraphImage* image, int y, uint8_t* row) {
    for (int x = 0; x < image->width; ++x) {
        int r = 0, g = 0, b = 0;
        GetGraphImagePixel(image, x, y, &r, &g, &b, nullptr);
        row[x * 3] = static_cast<uint8_t>(r);
        row[x * 3 + 1] = static_cast<uint8_t>(g);
        row[x * 3 + 2] = static_cast<uint8_t>(b);
    }
}

int Encode(const GraphImage* image, int level, std::vector<uint8_t>* out) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (png == nullptr) {
        return -1;
    }
    png_infop info = png_create_info_struct(png);
    uint8_t* volatile row = nullptr;
    if (info == nullptr) {
        png_destroy_write_struct(&png, nullptr);
        return -1;
    }
    if (setjmp(png_jmpbuf(png)) != 0) {
        if (row != nullptr) {
            MemFree(row);
        }
        png_destroy_write_struct(&png, &info);
        return -1;
    }
    png_set_write_fn(png, out, AppendToVector, FlushNothing);
    png_set_filter(png, 0, PNG_ALL_FILTERS);
    png_set_compression_level(png, level < -1 || level > 9 ? -1 : level);
    png_set_IHDR(png, info, static_cast<png_uint_32>(image->width), static_cast<png_uint_32>(image->height), 8,
                 PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    row = static_cast<uint8_t*>(VELK_ALLOC(static_cast<size_t>(image->width) * 3));
    if (row == nullptr) {
        png_destroy_write_struct(&png, &info);
        return WriteLog(image_log::kLogSaveMemoryFailed);
    }
    for (int y = 0; y < image->height; ++y) {
        FillRgbRow(image, y, row);
        png_write_row(png, row);
    }
    png_write_end(png, info);
    MemFree(row);
    row = nullptr;
    png_destroy_write_struct(&png, &info);
    return 0;
}

}  // namespace

int EncodeGraphImageToPng(const GraphImage* image, int compression_level, std::vector<uint8_t>* out) {
    out->clear();
    if (image->pixels == nullptr || image->width <= 0 || image->height <= 0) {
        return -1;
    }
    return Encode(image, compression_level, out);
}

int SaveGraphImageToPng(const char* file_name, const GraphImage* image, int compression_level) {
    std::vector<uint8_t> bytes;
    if (EncodeGraphImageToPng(image, compression_level, &bytes) != 0) {
        return WriteLogFormat(image_log::kLogImageSaveFailed, file_name);
    }
    if (!WriteImageFile(file_name, bytes)) {
        return WriteLogFormat(image_log::kLogImageSaveFailed, file_name);
    }
    return 0;
}

}  // namespace velk
