// Truevision TGA: colour-mapped and true-colour images, plain or run-length
// encoded, with 16- (1-5-5-5), 24- or 32-bit pixels (ARGB32), either origin.

#include <cstring>

#include "lib/core/byte_cursor.h"
#include "lib/image/image_decoders.h"

namespace velk {

namespace {

constexpr int kMaxTgaSide = 8192;
constexpr size_t kFooterSize = 26;
constexpr char kFooterSignature[] = "TRUEVISION-XFILE";

struct TgaHeader {
    int id_length;
    int map_type;
    int image_type;
    int map_first;
    int map_length;
    int map_entry_bits;
    int width;
    int height;
    int pixel_bits;
    int descriptor;
};

// Where the image data ends: before a footer that has no extension area.
size_t DataEnd(std::span<const uint8_t> bytes) {
    if (bytes.size() < kFooterSize) {
        return bytes.size();
    }
    const uint8_t* footer = bytes.data() + bytes.size() - kFooterSize;
    const uint32_t extension = footer[0] | (footer[1] << 8) | (footer[2] << 16) | (uint32_t{footer[3]} << 24);
    if (std::memcmp(footer + 8, kFooterSignature, 16) == 0 && extension == 0) {
        return bytes.size() - kFooterSize;
    }
    return bytes.size();
}

void SetFormat(int bits, ColorData* color) {
    if (bits == 16) {
        CreateColorDataFromMasks(color, 16, 0x7C00, 0x3E0, 0x1F, 0);
    } else if (bits == 24) {
        CreateRGB24ColorData(color);
    } else {
        CreateARGB32ColorData(color);
    }
}

uint32_t ReadValue(std::span<const uint8_t> bytes, int pixel_bytes) {
    uint32_t v = 0;
    for (int i = 0; i < pixel_bytes; ++i) {
        v |= uint32_t{bytes[static_cast<size_t>(i)]} << (8 * i);
    }
    return v;
}

}  // namespace

int LoadTgaImage(std::span<const uint8_t> bytes, GraphImage* image) {
    ByteCursor in(bytes.first(DataEnd(bytes)));
    auto raw = in.Take(18);
    if (!raw) {
        return -1;
    }
    const auto& b = *raw;
    const TgaHeader h{b[0], b[1], b[2], b[3] | (b[4] << 8), b[5] | (b[6] << 8), b[7], b[12] | (b[13] << 8),
                      b[14] | (b[15] << 8), b[16], b[17]};
    const bool mapped = h.image_type == 1 || h.image_type == 9;
    const bool run_length = h.image_type == 9 || h.image_type == 10;
    if (h.image_type != 1 && h.image_type != 2 && h.image_type != 9 && h.image_type != 10) {
        return -1;
    }
    if (mapped && (h.map_type != 1 || h.map_first != 0 || (h.pixel_bits != 8 && h.pixel_bits != 16))) {
        return -1;
    }
    const int colour_bits = mapped ? h.map_entry_bits : h.pixel_bits;
    if (colour_bits != 16 && colour_bits != 24 && colour_bits != 32) {
        return -1;
    }
    if (h.width <= 0 || h.height <= 0 || h.width > kMaxTgaSide || h.height > kMaxTgaSide) {
        return -1;
    }
    if (!in.Skip(static_cast<size_t>(h.id_length))) {
        return image_decode::RefuseDamaged("TGA image ID");
    }
    const int pixel_bytes = colour_bits / 8;
    uint32_t map[256] = {};
    int map_entries = 0;
    if (h.map_type == 1) {
        // A true-colour image may still carry a colour map: it is skipped.
        const int entry_bytes = (h.map_entry_bits + 7) / 8;
        for (int i = 0; i < h.map_length; ++i) {
            auto entry = in.Take(static_cast<size_t>(entry_bytes));
            if (!entry) {
                return image_decode::RefuseDamaged("TGA colour map");
            }
            if (mapped && i < 256) {
                map[i] = ReadValue(*entry, pixel_bytes);
                map_entries = i + 1;
            }
        }
    }

    image_decode::ImageGuard guard(image);
    SetFormat(colour_bits, &image->color_data);
    if (image_decode::AllocatePixels(image, h.width, h.height, h.width * pixel_bytes, "TGA") != 0) {
        return -1;
    }
    const int stored_bytes = mapped ? h.pixel_bits / 8 : pixel_bytes;
    const int64_t total = int64_t{h.width} * h.height;
    int64_t done = 0;
    // Pixels go in storage order; orientation is fixed afterwards.
    auto put = [&](std::span<const uint8_t> stored) -> bool {
        uint32_t value = ReadValue(stored, stored_bytes);
        if (mapped) {
            if (value >= static_cast<uint32_t>(map_entries)) {
                return false;
            }
            value = map[value];
        }
        const int y = static_cast<int>(done / h.width);
        const int x = static_cast<int>(done % h.width);
        WritePixelValue(image_decode::Row(image, y), x, pixel_bytes, value);
        ++done;
        return true;
    };
    while (done < total) {
        int count = 1;
        bool repeat = false;
        if (run_length) {
            auto packet = in.U8();
            if (!packet) {
                return image_decode::RefuseDamaged("TGA run-length data");
            }
            count = (*packet & 0x7F) + 1;
            repeat = (*packet & 0x80) != 0;
            if (count > total - done) {
                return image_decode::RefuseDamaged("TGA run-length packet");
            }
        }
        for (int i = 0; i < count; ++i) {
            if (i == 0 || !repeat) {
                auto stored = in.Take(static_cast<size_t>(stored_bytes));
                if (!stored) {
                    return image_decode::RefuseDamaged("TGA pixel data");
                }
                if (!put(*stored)) {
                    return image_decode::RefuseDamaged("TGA colour index");
                }
            } else {
                const int prev = static_cast<int>(done - 1);
                const uint32_t value =
                    ReadPixelValue(image_decode::Row(image, prev / h.width), prev % h.width, pixel_bytes);
                WritePixelValue(image_decode::Row(image, static_cast<int>(done / h.width)),
                                static_cast<int>(done % h.width), pixel_bytes, value);
                ++done;
            }
        }
    }
    if ((h.descriptor & 0x20) == 0) {
        image_decode::FlipRows(image);
    }
    if ((h.descriptor & 0x10) != 0) {
        MirrorGraphImage(image);
    }
    return guard.Keep();
}

}  // namespace velk
