// Baseline RGB JPEG at the given quality.

#include <cstdlib>

#include "lib/core/log.h"
#include "lib/core/memory_tracker.h"
#include "lib/image/image_log_texts.h"
#include "lib/image/image_writer.h"
#include "lib/image/jpeg_error.h"

namespace velk {

namespace {

struct JpegEncode {
    jpeg_compress_struct info;
    JpegErrorManager error;
    unsigned char* buffer;
    unsigned long size;
    uint8_t* row;
};

int Encode(JpegEncode* e, const GraphImage* image, int quality) {
    jpeg_compress_struct* info = &e->info;
    info->err = InitJpegErrorManager(&e->error);
    if (setjmp(e->error.jump) != 0) {
        jpeg_destroy_compress(info);
        return -1;
    }
    jpeg_create_compress(info);
    jpeg_mem_dest(info, &e->buffer, &e->size);
    info->image_width = static_cast<JDIMENSION>(image->width);
    info->image_height = static_cast<JDIMENSION>(image->height);
    info->input_components = 3;
    info->in_color_space = JCS_RGB;
    jpeg_set_defaults(info);
    jpeg_set_quality(info, quality < 0 ? 0 : (quality > 100 ? 100 : quality), TRUE);
    jpeg_start_compress(info, TRUE);
    for (int y = 0; y < image->height; ++y) {
        for (int x = 0; x < image->width; ++x) {
            int r = 0, g = 0, b = 0;
            GetGraphImagePixel(image, x, y, &r, &g, &b, nullptr);
            e->row[x * 3] = static_cast<uint8_t>(r);
            e->row[x * 3 + 1] = static_cast<uint8_t>(g);
            e->row[x * 3 + 2] = static_cast<uint8_t>(b);
        }
        JSAMPROW rows[1] = {e->row};
        jpeg_write_scanlines(info, rows, 1);
    }
    jpeg_finish_compress(info);
    jpeg_destroy_compress(info);
    return 0;
}

}  // namespace

int EncodeGraphImageToJpeg(const GraphImage* image, int quality, std::vector<uint8_t>* out) {
    out->clear();
    if (image->pixels == nullptr || image->width <= 0 || image->height <= 0) {
        return -1;
    }
    auto* e = static_cast<JpegEncode*>(VELK_CALLOC(sizeof(JpegEncode)));
    if (e == nullptr) {
        return WriteLog(image_log::kLogSaveMemoryFailed);
    }
    e->row = static_cast<uint8_t*>(VELK_ALLOC(static_cast<size_t>(image->width) * 3));
    int result = -1;
    if (e->row == nullptr) {
        WriteLog(image_log::kLogSaveMemoryFailed);
    } else {
        result = Encode(e, image, quality);
        if (result == 0) {
            out->assign(e->buffer, e->buffer + e->size);
        }
        MemFree(e->row);
    }
    // The output block belongs to libjpeg's destination and is freed with free().
    std::free(e->buffer);
    MemFree(e);
    return result;
}

int SaveGraphImageToJpeg(const char* file_name, const GraphImage* image, int quality) {
    std::vector<uint8_t> bytes;
    if (EncodeGraphImageToJpeg(image, quality, &bytes) != 0 || !WriteImageFile(file_name, bytes)) {
        return WriteLogFormat(image_log::kLogImageSaveFailed, file_name);
    }
    return 0;
}

}  // namespace velk
