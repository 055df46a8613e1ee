// PNG through libpng: every colour type, bit depth and interlace. Results: an
// 8-bit palette image (palette without transparency), an 8-bit grey palette
// image (grey), ARGB32 (anything with alpha or transparency, grey+alpha
// included) or RGB24.

#include <csetjmp>
#include <cstdio>
#include <cstring>

#include <png.h>

#include "lib/core/memory_tracker.h"
#include "lib/image/image_decoders.h"

namespace velk {

namespace {

struct PngSource {
    const uint8_t* data;
    size_t size;
    size_t position;
};

void ReadFromSource(png_structp png, png_bytep out, size_t count) {
    auto* source = static_cast<PngSource*>(png_get_io_ptr(png));
    if (count > source->size - source->position) {
        png_error(png, "Read Error");
    }
    std::memcpy(out, source->data + source->position, count);
    source->position += count;
}

struct PngFault {
    char message[128];
};

[[noreturn]] void OnPngError(png_structp png, png_const_charp message) {
    auto* fault = static_cast<PngFault*>(png_get_error_ptr(png));
    std::snprintf(fault->message, sizeof fault->message, "PNG %s", message);
    png_longjmp(png, 1);
}

void OnPngWarning(png_structp, png_const_charp) {}

// The part between setjmp and the end of reading holds only plain values.
int Decode(PngSource* source, PngFault* fault, GraphImage* image) {
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, fault, OnPngError, OnPngWarning);
    if (png == nullptr) {
        return -1;
    }
    png_infop info = png_create_info_struct(png);
    png_bytep* volatile rows = nullptr;
    if (info == nullptr) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        return -1;
    }
    if (setjmp(png_jmpbuf(png)) != 0) {
        if (rows != nullptr) {
            MemFree(rows);
        }
        png_destroy_read_struct(&png, &info, nullptr);
        return -1;
    }
    png_set_user_limits(png, kMaxImageSide, kMaxImageSide);
    png_set_chunk_malloc_max(png, 64u * 1024 * 1024);
    png_set_benign_errors(png, 1);
    png_set_read_fn(png, source, ReadFromSource);
    png_set_sig_bytes(png, 0);
    png_read_info(png, info);

    png_uint_32 width = 0, height = 0;
    int bit_depth = 0, color_type = 0;
    png_get_IHDR(png, info, &width, &height, &bit_depth, &color_type, nullptr, nullptr, nullptr);
    const bool has_trns = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
    png_set_strip_16(png);
    if (bit_depth < 8) {
        png_set_packing(png);
    }
    const bool grey = (color_type & PNG_COLOR_MASK_COLOR) == 0;
    if ((grey && bit_depth <= 8) || has_trns) {
        png_set_expand(png);
    }
    // Grey with alpha (or with a transparent grey) keeps its transparency as
    // an ARGB32 image rather than dropping it.
    if (grey && ((color_type & PNG_COLOR_MASK_ALPHA) != 0 || has_trns)) {
        png_set_gray_to_rgb(png);
    }
    png_set_bgr(png);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);

    const int out_type = png_get_color_type(png, info);
    const size_t row_bytes = png_get_rowbytes(png, info);
    ColorData& color = image->color_data;
    if (out_type == PNG_COLOR_TYPE_PALETTE) {
        CreatePaletteColorData(&color);
        png_colorp entries = nullptr;
        int count = 0;
        if (png_get_PLTE(png, info, &entries, &count) != 0) {
            for (int i = 0; i < count && i < 256; ++i) {
                color.palette[i] = PaletteEntry{entries[i].blue, entries[i].green, entries[i].red, 0};
            }
        }
    } else if (out_type == PNG_COLOR_TYPE_GRAY) {
        CreateGreyPaletteColorData(&color);
    } else if (out_type == PNG_COLOR_TYPE_RGB_ALPHA) {
        CreateARGB32ColorData(&color);
    } else if (out_type == PNG_COLOR_TYPE_RGB) {
        CreateRGB24ColorData(&color);
    } else {
        png_error(png, "unexpected colour type");
    }
    if (row_bytes != static_cast<size_t>(width) * color.pixel_byte) {
        png_error(png, "unexpected row size");
    }
    if (image_decode::AllocatePixels(image, width, height, static_cast<int>(row_bytes), "PNG") != 0) {
        png_destroy_read_struct(&png, &info, nullptr);
        return -1;
    }
    rows = static_cast<png_bytep*>(VELK_ALLOC(sizeof(png_bytep) * height));
    if (rows == nullptr) {
        png_error(png, "out of memory");
    }
    for (png_uint_32 y = 0; y < height; ++y) {
        rows[y] = image_decode::Row(image, static_cast<int>(y));
    }
    // Chunks after the image data are not read: a file cut short after its
    // last row still loads.
    png_read_image(png, rows);
    MemFree(rows);
    rows = nullptr;
    png_destroy_read_struct(&png, &info, nullptr);
    return 0;
}

}  // namespace

int LoadPngImage(std::span<const uint8_t> bytes, GraphImage* image) {
    if (bytes.size() < 8 || png_sig_cmp(bytes.data(), 0, 8) != 0) {
        return -1;
    }
    image_decode::ImageGuard guard(image);
    PngSource source{bytes.data(), bytes.size(), 0};
    PngFault fault{};
    if (Decode(&source, &fault, image) != 0) {
        return fault.message[0] != '\0' ? image_decode::RefuseDamaged(fault.message) : -1;
    }
    return guard.Keep();
}

}  // namespace velk
