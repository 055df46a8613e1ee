// DirectDraw Surface files: the first (largest) image only. Uncompressed
// pixels described by the header's masks or by a format number, and the
// block-compressed DXT1 to DXT5 formats, decoded to ARGB32.

#include <algorithm>
#include <cstring>

#include "lib/core/byte_cursor.h"
#include "lib/image/image_decoders.h"

namespace velk {

namespace {

constexpr uint32_t kFlagAlphaPixels = 0x1;
constexpr uint32_t kFlagFourCc = 0x4;
constexpr uint32_t kFlagRgb = 0x40;

struct FormatRow {
    uint32_t number;
    int bits;
    uint32_t red, green, blue, alpha;
};

constexpr FormatRow kFormatTable[] = {
    {20, 24, 0xFF0000, 0xFF00, 0xFF, 0},
    {21, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000},
    {22, 32, 0xFF0000, 0xFF00, 0xFF, 0},
    {23, 16, 0xF800, 0x7E0, 0x1F, 0},
    {24, 16, 0x7C00, 0x3E0, 0x1F, 0},
    {25, 16, 0x7C00, 0x3E0, 0x1F, 0x8000},
    {26, 16, 0xF00, 0xF0, 0xF, 0xF000},
    {27, 8, 0xE0, 0x1C, 0x3, 0},
    {29, 16, 0xE0, 0x1C, 0x3, 0xFF00},
    {30, 16, 0xF00, 0xF0, 0xF, 0},
    {31, 32, 0x3FF, 0xFFC00, 0x3FF00000, 0xC0000000},
    {32, 32, 0xFF, 0xFF00, 0xFF0000, 0xFF000000},
    {33, 32, 0xFF, 0xFF00, 0xFF0000, 0},
    {35, 32, 0x3FF00000, 0xFFC00, 0x3FF, 0xC0000000},
};

constexpr uint32_t FourCc(char a, char b, char c, char d) {
    return static_cast<uint32_t>(static_cast<uint8_t>(a)) | (static_cast<uint32_t>(static_cast<uint8_t>(b)) << 8) |
           (static_cast<uint32_t>(static_cast<uint8_t>(c)) << 16) |
           (static_cast<uint32_t>(static_cast<uint8_t>(d)) << 24);
}

struct Colour {
    uint32_t r, g, b, a;
};

Colour Expand565(uint16_t v) {
    return Colour{((v >> 11) & 0x1F) * 255u / 31u, ((v >> 5) & 0x3F) * 255u / 63u, (v & 0x1F) * 255u / 31u, 255};
}

uint32_t Pack(const Colour& c) { return (c.a << 24) | (c.r << 16) | (c.g << 8) | c.b; }

Colour Mix(const Colour& a, const Colour& b, uint32_t wa, uint32_t wb, uint32_t sum) {
    return Colour{(a.r * wa + b.r * wb) / sum, (a.g * wa + b.g * wb) / sum, (a.b * wa + b.b * wb) / sum, 255};
}

// The four colours of a colour block and their 2-bit indices for 16 pixels.
void DecodeColourBlock(const uint8_t* block, bool dxt1, uint32_t out[16]) {
    const uint16_t c0 = static_cast<uint16_t>(block[0] | (block[1] << 8));
    const uint16_t c1 = static_cast<uint16_t>(block[2] | (block[3] << 8));
    Colour palette[4];
    palette[0] = Expand565(c0);
    palette[1] = Expand565(c1);
    if (dxt1 && c0 <= c1) {
        palette[2] = Mix(palette[0], palette[1], 1, 1, 2);
        palette[3] = Colour{0, 0, 0, 0};
    } else {
        palette[2] = Mix(palette[0], palette[1], 2, 1, 3);
        palette[3] = Mix(palette[0], palette[1], 1, 2, 3);
    }
    const uint32_t indices = block[4] | (block[5] << 8) | (block[6] << 16) | (uint32_t{block[7]} << 24);
    for (int i = 0; i < 16; ++i) {
        out[i] = Pack(palette[(indices >> (2 * i)) & 3]);
    }
}

void ApplyExplicitAlpha(const uint8_t* block, uint32_t pixels[16]) {
    for (int i = 0; i < 16; ++i) {
        const uint32_t nibble = (block[i / 2] >> ((i & 1) * 4)) & 0xF;
        pixels[i] = (pixels[i] & 0x00FFFFFFu) | ((nibble * 17) << 24);
    }
}

void ApplyInterpolatedAlpha(const uint8_t* block, uint32_t pixels[16]) {
    const uint32_t a0 = block[0];
    const uint32_t a1 = block[1];
    uint32_t table[8] = {a0, a1};
    if (a0 > a1) {
        for (uint32_t i = 1; i <= 6; ++i) {
            table[i + 1] = ((7 - i) * a0 + i * a1) / 7;
        }
    } else {
        for (uint32_t i = 1; i <= 4; ++i) {
            table[i + 1] = ((5 - i) * a0 + i * a1) / 5;
        }
        table[6] = 0;
        table[7] = 255;
    }
    uint64_t bits = 0;
    for (int i = 0; i < 6; ++i) {
        bits |= uint64_t{block[2 + i]} << (8 * i);
    }
    for (int i = 0; i < 16; ++i) {
        pixels[i] = (pixels[i] & 0x00FFFFFFu) | (table[(bits >> (3 * i)) & 7] << 24);
    }
}

// Every block, partial ones at the right and bottom edges included, so no
// pixel is left unset.
int DecodeBlocks(ByteCursor& in, int version, GraphImage* image) {
    const int block_bytes = version == 1 ? 8 : 16;
    const int blocks_x = (image->width + 3) / 4;
    const int blocks_y = (image->height + 3) / 4;
    for (int by = 0; by < blocks_y; ++by) {
        for (int bx = 0; bx < blocks_x; ++bx) {
            auto block = in.Take(static_cast<size_t>(block_bytes));
            if (!block) {
                return image_decode::RefuseDamaged("DDS block data");
            }
            uint32_t pixels[16];
            const uint8_t* colour = block->data() + (version == 1 ? 0 : 8);
            DecodeColourBlock(colour, version == 1, pixels);
            if (version == 2 || version == 3) {
                ApplyExplicitAlpha(block->data(), pixels);
            } else if (version == 4 || version == 5) {
                ApplyInterpolatedAlpha(block->data(), pixels);
            }
            for (int py = 0; py < 4; ++py) {
                const int y = by * 4 + py;
                if (y >= image->height) {
                    break;
                }
                uint8_t* row = image_decode::Row(image, y);
                for (int px = 0; px < 4; ++px) {
                    const int x = bx * 4 + px;
                    if (x < image->width) {
                        WritePixelValue(row, x, 4, pixels[py * 4 + px]);
                    }
                }
            }
        }
    }
    return 0;
}

bool MasksFit(int bits, uint32_t red, uint32_t green, uint32_t blue, uint32_t alpha) {
    if (bits != 8 && bits != 16 && bits != 24 && bits != 32) {
        return false;
    }
    const uint32_t depth = bits == 32 ? 0xFFFFFFFFu : ((1u << bits) - 1u);
    if (((red | green | blue | alpha) & ~depth) != 0) {
        return false;
    }
    // Every colour channel must be there: a zero mask would leave the colour
    // undefined when the pixels are unpacked.
    return red != 0 && green != 0 && blue != 0 && (red & green) == 0 && (red & blue) == 0 && (green & blue) == 0 &&
           (alpha & (red | green | blue)) == 0;
}

}  // namespace

int LoadDdsImage(std::span<const uint8_t> bytes, GraphImage* image) {
    ByteCursor in(bytes);
    auto magic = in.Take(4);
    auto header = in.Take(124);
    if (!magic || (*magic)[0] != 'D' || (*magic)[1] != 'D' || (*magic)[2] != 'S') {
        return -1;
    }
    if (!header) {
        return image_decode::RefuseDamaged("DDS header");
    }
    ByteCursor h(*header);
    h.Seek(8);
    const uint32_t height = *h.U32();
    const uint32_t width = *h.U32();
    h.Seek(76);  // the pixel format's flags, after its size
    const uint32_t flags = *h.U32();
    const uint32_t four_cc = *h.U32();
    const uint32_t bit_count = *h.U32();
    const uint32_t red = *h.U32();
    const uint32_t green = *h.U32();
    const uint32_t blue = *h.U32();
    const uint32_t alpha = *h.U32();

    int dxt = 0;
    const FormatRow* row = nullptr;
    if (flags == kFlagFourCc) {
        for (int v = 1; v <= 5; ++v) {
            if (four_cc == FourCc('D', 'X', 'T', static_cast<char>('0' + v))) {
                dxt = v;
            }
        }
        for (const FormatRow& r : kFormatTable) {
            if (r.number == four_cc) {
                row = &r;
            }
        }
        if (dxt == 0 && row == nullptr) {
            return image_decode::RefuseDamaged("DDS format code");
        }
    }

    image_decode::ImageGuard guard(image);
    ColorData& color = image->color_data;
    if (dxt != 0) {
        CreateARGB32ColorData(&color);
    } else if (row != nullptr) {
        CreateColorDataFromMasks(&color, row->bits, row->red, row->green, row->blue, row->alpha);
    } else if ((flags & kFlagFourCc) == 0) {
        // Mask formats, with or without the alpha-pixels flag; without it the
        // alpha mask means nothing.
        const uint32_t alpha_mask = (flags & kFlagAlphaPixels) != 0 || (flags & kFlagRgb) == 0 ? alpha : 0;
        if (!MasksFit(static_cast<int>(bit_count), red, green, blue, alpha_mask)) {
            return image_decode::RefuseDamaged("DDS pixel format");
        }
        CreateColorDataFromMasks(&color, static_cast<int>(bit_count), red, green, blue, alpha_mask);
    } else {
        return image_decode::RefuseDamaged("DDS pixel format");
    }
    const int pixel_bytes = color.pixel_byte;
    if (image_decode::AllocatePixels(image, width, height,
                                     static_cast<int>(std::min<uint32_t>(width, 1u << 20)) * pixel_bytes,
                                     "DDS") != 0) {
        return -1;
    }
    if (dxt != 0) {
        if (DecodeBlocks(in, dxt, image) != 0) {
            return -1;
        }
        return guard.Keep();
    }
    const size_t row_bytes = static_cast<size_t>(image->width) * static_cast<size_t>(pixel_bytes);
    for (int y = 0; y < image->height; ++y) {
        auto stored = in.Take(row_bytes);
        if (!stored) {
            return image_decode::RefuseDamaged("DDS pixel data");
        }
        std::memcpy(image_decode::Row(image, y), stored->data(), row_bytes);
    }
    return guard.Keep();
}

}  // namespace velk
