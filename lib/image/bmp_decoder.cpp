// Windows bitmaps: uncompressed 1-, 4-, 8-, 16-, 24- and 32-bit, bit fields,
// RLE8 and RLE4; top-down and bottom-up. 4-bit and RLE images become 8-bit
// palette images, 8- and 24-bit ones are taken as stored, every other form is
// widened to 24 bits.

#include <cstring>
#include <optional>

#include "lib/core/log.h"
#include "lib/core/byte_cursor.h"
#include "lib/image/image_decoders.h"
#include "lib/image/image_log_texts.h"

namespace velk {

namespace {

using image_decode::ImageGuard;
using image_decode::RefuseDamaged;
using image_decode::Row;

constexpr uint32_t kCompressionNone = 0;
constexpr uint32_t kCompressionRle8 = 1;
constexpr uint32_t kCompressionRle4 = 2;
constexpr uint32_t kCompressionBitFields = 3;
constexpr uint32_t kCompressionAlphaBitFields = 6;

struct BmpHeader {
    uint32_t data_offset = 0;
    uint32_t header_size = 0;
    int64_t width = 0;
    int64_t height = 0;  // negative: rows from the top
    int bit_count = 0;
    uint32_t compression = 0;
    uint32_t colors_used = 0;
    uint32_t masks[3] = {};
    size_t palette_offset = 0;
    int palette_entry_size = 4;
};

std::optional<BmpHeader> ReadHeader(ByteCursor& in) {
    BmpHeader h;
    if (!in.Skip(10)) {
        return std::nullopt;
    }
    auto data_offset = in.U32();
    auto header_size = in.U32();
    if (!data_offset || !header_size) {
        return std::nullopt;
    }
    h.data_offset = *data_offset;
    h.header_size = *header_size;
    if (h.header_size == 12) {
        auto w = in.U16();
        auto ht = in.U16();
        in.Skip(2);  // planes
        auto bits = in.U16();
        if (!w || !ht || !bits) {
            return std::nullopt;
        }
        h.width = *w;
        h.height = *ht;
        h.bit_count = *bits;
        h.palette_entry_size = 3;
        h.palette_offset = 14 + 12;
        return h;
    }
    if (h.header_size < 40) {
        return std::nullopt;
    }
    auto w = in.I32();
    auto ht = in.I32();
    in.Skip(2);  // planes
    auto bits = in.U16();
    auto compression = in.U32();
    in.Skip(12);  // image size, resolution
    auto used = in.U32();
    if (!in.Skip(4) || !w || !ht || !bits || !compression || !used) {
        return std::nullopt;
    }
    h.width = *w;
    h.height = *ht;
    h.bit_count = *bits;
    h.compression = *compression;
    h.colors_used = *used;
    h.palette_offset = 14 + size_t{h.header_size};
    if (h.compression == kCompressionBitFields || h.compression == kCompressionAlphaBitFields) {
        // The masks follow a 40-byte header; later headers hold them inside.
        auto r = in.U32();
        auto g = in.U32();
        auto b = in.U32();
        if (!r || !g || !b) {
            return std::nullopt;
        }
        h.masks[0] = *r;
        h.masks[1] = *g;
        h.masks[2] = *b;
        if (h.header_size == 40) {
            h.palette_offset += h.compression == kCompressionAlphaBitFields ? 16 : 12;
        }
    } else if (h.bit_count == 16) {
        h.masks[0] = 0x7C00;
        h.masks[1] = 0x3E0;
        h.masks[2] = 0x1F;
    } else if (h.bit_count == 32) {
        h.masks[0] = 0xFF0000;
        h.masks[1] = 0xFF00;
        h.masks[2] = 0xFF;
    }
    return h;
}

// Reads the palette into the image's descriptor; false when it lies past the file.
bool ReadPalette(std::span<const uint8_t> bytes, const BmpHeader& h, ColorData* color) {
    const uint32_t full = 1u << h.bit_count;
    const uint32_t count = (h.colors_used != 0 && h.colors_used < full) ? h.colors_used : full;
    ByteCursor in(bytes);
    if (!in.Seek(h.palette_offset)) {
        return false;
    }
    for (uint32_t i = 0; i < count; ++i) {
        auto entry = in.Take(static_cast<size_t>(h.palette_entry_size));
        if (!entry) {
            // Some writers count more entries than they store; keep the ones present.
            return i > 0;
        }
        color->palette[i] = PaletteEntry{(*entry)[0], (*entry)[1], (*entry)[2], 0};
    }
    return true;
}

size_t RowBytes(int64_t width, int bit_count) {
    return static_cast<size_t>(((width * bit_count + 31) / 32) * 4);
}

// The stored row of output row y: bottom-up files keep the last row first.
const uint8_t* StoredRow(std::span<const uint8_t> data, size_t row_bytes, int height, bool top_down, int y) {
    const int stored = top_down ? y : height - 1 - y;
    return data.data() + static_cast<size_t>(stored) * row_bytes;
}

int DecodeIndexed(std::span<const uint8_t> data, const BmpHeader& h, bool top_down, GraphImage* image) {
    const int width = image->width;
    const int height = image->height;
    const size_t row_bytes = RowBytes(width, h.bit_count);
    if (data.size() / row_bytes < static_cast<size_t>(height)) {
        return RefuseDamaged("BMP pixel data");
    }
    for (int y = 0; y < height; ++y) {
        const uint8_t* src = StoredRow(data, row_bytes, height, top_down, y);
        uint8_t* dst = Row(image, y);
        if (h.bit_count == 8) {
            std::memcpy(dst, src, static_cast<size_t>(width));
            continue;
        }
        for (int x = 0; x < width; ++x) {
            if (h.bit_count == 4) {
                const uint8_t b = src[x >> 1];
                dst[x] = (x & 1) ? (b & 0x0F) : (b >> 4);
            } else {
                dst[x] = (src[x >> 3] >> (7 - (x & 7))) & 1;
            }
        }
    }
    return 0;
}

// RLE8 and RLE4, with end-of-line, end-of-bitmap, delta and absolute runs.
// Pixels the runs skip stay index 0. Runs reaching past the row are clipped:
// writers often encode a row's padding bytes as pixels.
int DecodeRle(std::span<const uint8_t> data, const BmpHeader& h, bool top_down, GraphImage* image) {
    const bool four = h.compression == kCompressionRle4;
    const int width = image->width;
    const int height = image->height;
    for (int y = 0; y < height; ++y) {
        std::memset(Row(image, y), 0, static_cast<size_t>(image->pitch));
    }
    ByteCursor in(data);
    int64_t x = 0;
    int64_t line = 0;  // counted in storage order
    auto put = [&](uint8_t index) {
        if (x < width && line < height) {
            const int y = top_down ? static_cast<int>(line) : height - 1 - static_cast<int>(line);
            Row(image, y)[x] = index;
        }
        ++x;
    };
    while (line < height) {
        auto count = in.U8();
        auto value = in.U8();
        if (!count || !value) {
            break;  // data ended without an end-of-bitmap mark: keep what came
        }
        if (*count > 0) {
            for (int i = 0; i < *count; ++i) {
                put(four ? ((i & 1) ? (*value & 0x0F) : (*value >> 4)) : *value);
            }
            continue;
        }
        if (*value == 0) {
            x = 0;
            ++line;
        } else if (*value == 1) {
            break;
        } else if (*value == 2) {
            auto dx = in.U8();
            auto dy = in.U8();
            if (!dx || !dy) {
                break;
            }
            x += *dx;
            line += *dy;
        } else {
            const int n = *value;
            const size_t stored = four ? static_cast<size_t>((n + 1) / 2) : static_cast<size_t>(n);
            auto run = in.Take(stored);
            if (!run) {
                return RefuseDamaged("BMP RLE data");
            }
            for (int i = 0; i < n; ++i) {
                const uint8_t b = (*run)[static_cast<size_t>(four ? i / 2 : i)];
                put(four ? ((i & 1) ? (b & 0x0F) : (b >> 4)) : b);
            }
            if (stored & 1) {
                in.Skip(1);
            }
        }
    }
    return 0;
}

struct MaskChannel {
    uint32_t mask = 0;
    int shift = 0;
    uint32_t max = 0;
};

MaskChannel ChannelOf(uint32_t mask) {
    MaskChannel c;
    c.mask = mask;
    if (mask == 0) {
        return c;
    }
    while (((mask >> c.shift) & 1) == 0) {
        ++c.shift;
    }
    c.max = mask >> c.shift;
    return c;
}

// A channel widened to 8 bits by repeating its bits (5-bit 0x19 -> 0xCE), as
// the system's bitmap conversion does.
uint8_t Widen(uint32_t value, const MaskChannel& c) {
    if (c.max == 0) {
        return 0;
    }
    const uint32_t v = (value & c.mask) >> c.shift;
    int width = 0;
    while (width < 32 && (c.max >> width) != 0) {
        ++width;
    }
    if (width >= 8) {
        return static_cast<uint8_t>(v >> (width - 8));
    }
    uint32_t repeated = 0;
    int bits = 0;
    while (bits < 8) {
        repeated = (repeated << width) | v;
        bits += width;
    }
    return static_cast<uint8_t>(repeated >> (bits - 8));
}

// 1-bit, 16-bit, 32-bit and bit-field images into 24-bit rows.
int DecodeToRgb24(std::span<const uint8_t> data, const BmpHeader& h, bool top_down, GraphImage* image) {
    const int width = image->width;
    const int height = image->height;
    const size_t row_bytes = RowBytes(width, h.bit_count);
    if (data.size() / row_bytes < static_cast<size_t>(height)) {
        return RefuseDamaged("BMP pixel data");
    }
    const MaskChannel red = ChannelOf(h.masks[0]);
    const MaskChannel green = ChannelOf(h.masks[1]);
    const MaskChannel blue = ChannelOf(h.masks[2]);
    const ColorData& palette = image->color_data;
    for (int y = 0; y < height; ++y) {
        const uint8_t* src = StoredRow(data, row_bytes, height, top_down, y);
        uint8_t* dst = Row(image, y);
        for (int x = 0; x < width; ++x) {
            uint8_t r, g, b;
            if (h.bit_count == 1) {
                const PaletteEntry& e = palette.palette[(src[x >> 3] >> (7 - (x & 7))) & 1];
                r = e.red;
                g = e.green;
                b = e.blue;
            } else {
                const uint32_t v = ReadPixelValue(src, x, h.bit_count / 8);
                r = Widen(v, red);
                g = Widen(v, green);
                b = Widen(v, blue);
            }
            dst[x * 3] = b;
            dst[x * 3 + 1] = g;
            dst[x * 3 + 2] = r;
        }
    }
    return 0;
}

bool ValidMasks(const BmpHeader& h) {
    const uint32_t depth_bits = h.bit_count == 32 ? 0xFFFFFFFFu : 0xFFFFu;
    for (uint32_t mask : h.masks) {
        if ((mask & ~depth_bits) != 0) {
            return false;
        }
    }
    return (h.masks[0] | h.masks[1] | h.masks[2]) != 0;
}

}  // namespace

int LoadBmpImage(std::span<const uint8_t> bytes, GraphImage* image) {
    if (bytes.size() < 2 || bytes[0] != 'B' || bytes[1] != 'M') {
        return -1;
    }
    ByteCursor in(bytes);
    auto header = ReadHeader(in);
    if (!header) {
        return RefuseDamaged("BMP header");
    }
    const BmpHeader& h = *header;
    if (h.height == INT32_MIN || h.width <= 0 || h.height == 0) {
        return RefuseDamaged("BMP size");
    }
    const bool top_down = h.height < 0;
    const int64_t height = top_down ? -h.height : h.height;
    const bool rle = h.compression == kCompressionRle8 || h.compression == kCompressionRle4;
    const bool bit_fields = h.compression == kCompressionBitFields || h.compression == kCompressionAlphaBitFields;
    const bool plain = h.compression == kCompressionNone;
    const int bits = h.bit_count;
    const bool supported = (plain && (bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32)) ||
                           (h.compression == kCompressionRle8 && bits == 8) ||
                           (h.compression == kCompressionRle4 && bits == 4) ||
                           (bit_fields && (bits == 16 || bits == 32));
    if (!supported) {
        return RefuseDamaged("BMP compression or bit count");
    }
    if ((bits == 16 || bits == 32) && !ValidMasks(h)) {
        return RefuseDamaged("BMP channel masks");
    }
    if (h.data_offset > bytes.size()) {
        return RefuseDamaged("BMP data offset");
    }
    const auto data = bytes.subspan(h.data_offset);

    ImageGuard guard(image);
    ColorData& color = image->color_data;
    if (bits <= 8) {
        CreatePaletteColorData(&color);
        if (!ReadPalette(bytes, h, &color)) {
            return RefuseDamaged("BMP palette");
        }
    }
    const bool to_rgb24 = bits == 1 || bits == 16 || bits == 32;
    if (bits == 24 || to_rgb24) {
        ColorData palette = color;
        CreateRGB24ColorData(&color);
        std::memcpy(color.palette, palette.palette, sizeof color.palette);
    }
    const char* kind = to_rgb24 ? image_log::kLogBmpConvertMemoryFailed : nullptr;
    if (!IsAcceptableImageSize(h.width, height)) {
        return image_decode::AllocatePixels(image, h.width, height, 0, "BMP");
    }
    if (AllocateGraphImagePixels(image, static_cast<int>(h.width), static_cast<int>(height)) != 0) {
        return kind != nullptr ? WriteLog(kind) : WriteLogFormat(image_log::kLogImageMemoryFailed, "BMP");
    }
    int result;
    if (rle) {
        result = DecodeRle(data, h, top_down, image);
    } else if (to_rgb24) {
        result = DecodeToRgb24(data, h, top_down, image);
    } else if (bits == 24) {
        const size_t row_bytes = RowBytes(h.width, 24);
        result = data.size() / row_bytes < static_cast<size_t>(height) ? RefuseDamaged("BMP pixel data") : 0;
        for (int y = 0; result == 0 && y < image->height; ++y) {
            std::memcpy(Row(image, y), StoredRow(data, row_bytes, image->height, top_down, y),
                        static_cast<size_t>(image->width) * 3);
        }
    } else {
        result = DecodeIndexed(data, h, top_down, image);
    }
    if (result != 0) {
        return -1;
    }
    return guard.Keep();
}

}  // namespace velk
