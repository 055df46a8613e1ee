// JPEG through libjpeg: baseline and progressive, grey (an 8-bit grey palette
// image) or colour (24-bit, stored blue, green, red). Other component counts
// are refused.

#include <csetjmp>
#include <cstdio>
#include <cstring>

#include <jerror.h>
#include <jpeglib.h>

#include "lib/core/memory_tracker.h"
#include "lib/image/image_decoders.h"
#include "lib/image/jpeg_error.h"

namespace velk {

namespace {

// libjpeg's own working memory is capped so that a damaged header cannot ask
// for more than a large legitimate picture needs.
constexpr long kJpegWorkMemory = 768L * 1024 * 1024;

// Each scan of a progressive file walks the whole picture again, and a scan
// may be a few bytes, so a small file could keep the loader busy for
// minutes. Real encoders write about ten scans; past this many the file is
// taken for damaged.
constexpr int kMaxJpegScans = 200;

struct JpegDecode {
    jpeg_decompress_struct info;
    JpegErrorManager error;
    jpeg_progress_mgr progress;
    const char* fault = nullptr;
};

void StopPastTooManyScans(j_common_ptr common) {
    auto* info = reinterpret_cast<j_decompress_ptr>(common);
    if (info->input_scan_number > kMaxJpegScans) {
        static_cast<JpegDecode*>(info->client_data)->fault = "JPEG scan count";
        ERREXIT(common, JERR_NOT_COMPILED);  // any error code: the jump is what counts
    }
}

// libjpeg carries on past damaged data with a warning and fills what is
// missing with grey; damaged scans are what turns a tiny file into a long
// decode, so for a game's picture every warning about the data is a failure.
// Warnings that say nothing about the picture's data are let through.
void FailOnDamageWarning(j_common_ptr common, int level) {
    if (level >= 0) {
        return;  // trace messages
    }
    switch (common->err->msg_code) {
        case JWRN_ADOBE_XFORM:
        case JWRN_JFIF_MAJOR:
        case JWRN_BOGUS_ICC:
        case JWRN_EXTRANEOUS_DATA: return;
        default: common->err->error_exit(common);
    }
}

// Everything between setjmp and the last libjpeg call lives in plain records,
// so a jump back skips no destructor.
int Decode(JpegDecode* d, std::span<const uint8_t> bytes, GraphImage* image) {
    jpeg_decompress_struct* info = &d->info;
    info->err = InitJpegErrorManager(&d->error);
    d->error.manager.emit_message = FailOnDamageWarning;
    if (setjmp(d->error.jump) != 0) {
        jpeg_destroy_decompress(info);
        return -1;
    }
    jpeg_create_decompress(info);
    info->mem->max_memory_to_use = kJpegWorkMemory;
    info->client_data = d;
    d->progress.progress_monitor = StopPastTooManyScans;
    info->progress = &d->progress;
    jpeg_mem_src(info, bytes.data(), static_cast<unsigned long>(bytes.size()));
    jpeg_read_header(info, TRUE);
    if (info->num_components == 1) {
        info->out_color_space = JCS_GRAYSCALE;
    } else if (info->num_components == 3) {
        info->out_color_space = JCS_EXT_BGR;
    } else {
        d->fault = "JPEG component count";
        jpeg_destroy_decompress(info);
        return -1;
    }
    jpeg_calc_output_dimensions(info);
    const int components = info->out_color_components;
    if (components == 1) {
        CreateGreyPaletteColorData(&image->color_data);
    } else {
        CreateRGB24ColorData(&image->color_data);
    }
    if (image_decode::AllocatePixels(image, info->output_width, info->output_height,
                                     static_cast<int>(info->output_width) * components, "JPEG") != 0) {
        jpeg_destroy_decompress(info);
        return -1;
    }
    jpeg_start_decompress(info);
    while (info->output_scanline < info->output_height) {
        JSAMPROW rows[4];
        int count = 0;
        for (; count < 4 && info->output_scanline + count < info->output_height; ++count) {
            rows[count] = image_decode::Row(image, static_cast<int>(info->output_scanline) + count);
        }
        jpeg_read_scanlines(info, rows, static_cast<JDIMENSION>(count));
    }
    jpeg_finish_decompress(info);
    jpeg_destroy_decompress(info);
    return 0;
}

}  // namespace

int LoadJpegImage(std::span<const uint8_t> bytes, GraphImage* image) {
    if (bytes.size() < 3 || bytes[0] != 0xFF || bytes[1] != 0xD8 || bytes[2] != 0xFF) {
        return -1;
    }
    image_decode::ImageGuard guard(image);
    auto* d = static_cast<JpegDecode*>(VELK_CALLOC(sizeof(JpegDecode)));
    if (d == nullptr) {
        return -1;
    }
    const int result = Decode(d, bytes, image);
    const char* fault = d->fault;
    char message[JMSG_LENGTH_MAX];
    std::memcpy(message, d->error.message, sizeof message);
    MemFree(d);
    if (result != 0) {
        if (fault != nullptr) {
            return image_decode::RefuseDamaged(fault);
        }
        if (message[0] != '\0') {
            return image_decode::RefuseDamaged(message);
        }
        return -1;
    }
    return guard.Keep();
}

}  // namespace velk
