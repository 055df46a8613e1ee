#include "lib/image/color_convert.h"

#include <cstring>
#include <vector>

#include "lib/image/graph_image.h"

namespace velk {

namespace {

constexpr uint8_t kOrderedMatrix[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};

uint32_t MaxOfWidth(int width) {
    return width >= 32 ? 0xFFFFFFFFu : ((1u << width) - 1u);
}

uint32_t DepthMask(int pixel_bytes) {
    return pixel_bytes >= 4 ? 0xFFFFFFFFu : ((1u << (pixel_bytes * 8)) - 1u);
}

// How one source channel becomes one destination channel.
struct ChannelMap {
    uint32_t src_mask = 0;
    int src_loc = 0;
    int src_width = 0;
    int dst_loc = 0;
    int dst_width = 0;
    uint32_t dst_max = 0;
    int drop = 0;  // bits the destination loses
    uint32_t drop_mask = 0;
    uint32_t thresholds[16] = {};

    void Setup(uint32_t mask, int loc, int width, int dest_loc, int dest_width) {
        src_mask = mask;
        src_loc = loc;
        src_width = width;
        dst_loc = dest_loc;
        dst_width = dest_width;
        dst_max = MaxOfWidth(dest_width);
        drop = (width > dest_width && dest_width > 0) ? width - dest_width : 0;
        drop_mask = MaxOfWidth(drop);
        for (int i = 0; i < 16; ++i) {
            thresholds[i] =
                static_cast<uint32_t>((static_cast<uint64_t>(kOrderedMatrix[i >> 2][i & 3]) << drop) / 16);
        }
    }

    uint32_t Raw(uint32_t value) const { return (value & src_mask) >> src_loc; }

    // The channel at the destination width before any dithering.
    uint32_t Kept(uint32_t raw) const {
        if (src_width == 0 || dst_width == 0) {
            return 0;
        }
        if (dst_width >= src_width) {
            const int d = dst_width - src_width;
            const uint64_t v = raw;
            return static_cast<uint32_t>((v << d) + v * MaxOfWidth(d) / MaxOfWidth(src_width));
        }
        return raw >> drop;
    }
};

struct ConvertJob {
    uint8_t* dest;
    int dest_pitch;
    const ColorData* dest_color;
    const uint8_t* source;
    int source_pitch;
    int source_bytes;
    const uint8_t* alpha;
    int alpha_pitch;
    int alpha_bytes;
    int dest_x, dest_y;
    int left, top, width, height;
    bool mirror;
};

// Every choice of the general path, fixed once per call.
struct GeneralOptions {
    ChannelMap red, green, blue, alpha, red_to_alpha, alpha_image;
    const uint32_t* source_table = nullptr;  // palette sources: index -> XRGB32
    const uint32_t* alpha_table = nullptr;   // palette alpha images: index -> red
    bool source_has_alpha = false;
    bool use_alpha_image = false;
    bool red_as_alpha = false;
    bool color_clear = false;
    bool key_to_alpha = false;
    uint32_t key_red = 0, key_green = 0, key_blue = 0;
    bool skip = false;
    uint32_t skip_value = 0;
    uint32_t skip_mask = 0;
    int dither = kDitherNone;
    bool dest_palette = false;
    uint32_t dest_unused = 0;
    bool dest_has_alpha = false;
};

uint32_t ReadAt(const uint8_t* row, int x, int bytes) { return ReadPixelValue(row, x, bytes); }

uint32_t Dither(const ChannelMap& c, uint32_t raw, uint32_t kept, int mode, int x, int y, uint32_t* carry) {
    if (c.drop == 0 || mode == kDitherNone) {
        return kept;
    }
    const uint32_t dropped = raw & c.drop_mask;
    if (mode == kDitherOrdered) {
        if (dropped > c.thresholds[((y & 3) << 2) | (x & 3)] && kept < c.dst_max) {
            ++kept;
        }
        return kept;
    }
    *carry += dropped;
    if (*carry > c.drop_mask) {
        *carry -= c.drop_mask + 1;
        if (kept < c.dst_max) {
            ++kept;
        }
    }
    return kept;
}

template <int SourceBytes, int DestBytes>
void GeneralLoop(const ConvertJob& job, const GeneralOptions& o) {
    for (int row = 0; row < job.height; ++row) {
        const int sy = job.top + row;
        const uint8_t* src_row = job.source + static_cast<ptrdiff_t>(sy) * job.source_pitch;
        const uint8_t* alpha_row =
            o.use_alpha_image ? job.alpha + static_cast<ptrdiff_t>(sy) * job.alpha_pitch : nullptr;
        uint8_t* dst_row = job.dest + static_cast<ptrdiff_t>(job.dest_y + row) * job.dest_pitch;
        uint32_t carry_r = 0, carry_g = 0, carry_b = 0, carry_a = 0;
        for (int i = 0; i < job.width; ++i) {
            const int sx = job.left + i;
            uint32_t value = ReadAt(src_row, sx, SourceBytes);
            if (o.skip && (value & o.skip_mask) == o.skip_value) {
                continue;
            }
            if (o.source_table != nullptr) {
                value = o.source_table[value & 0xFF];
            }
            const int dx = job.mirror ? job.dest_x + job.width - 1 - i : job.dest_x + i;
            const int dy = job.dest_y + row;
            const uint32_t raw_r = o.red.Raw(value);
            const uint32_t raw_g = o.green.Raw(value);
            const uint32_t raw_b = o.blue.Raw(value);
            uint32_t r = o.red.Kept(raw_r);
            uint32_t g = o.green.Kept(raw_g);
            uint32_t b = o.blue.Kept(raw_b);
            uint32_t a = o.alpha.dst_max;
            if (o.use_alpha_image) {
                uint32_t alpha_value = ReadAt(alpha_row, sx, job.alpha_bytes);
                if (o.alpha_table != nullptr) {
                    alpha_value = o.alpha_table[alpha_value & 0xFF];
                }
                a = o.alpha_image.Kept(o.alpha_image.Raw(alpha_value));
            } else if (o.source_has_alpha) {
                const uint32_t raw_a = o.alpha.Raw(value);
                a = Dither(o.alpha, raw_a, o.alpha.Kept(raw_a), o.dither, dx, dy, &carry_a);
            }
            if (o.red_as_alpha) {
                a = o.red_to_alpha.Kept(o.red_to_alpha.Raw(value));
            }
            if (o.key_to_alpha) {
                a = (r == o.key_red && g == o.key_green && b == o.key_blue) ? 0 : o.alpha.dst_max;
            }
            if (o.color_clear) {
                r = g = b = 0;
            } else if (o.dither != kDitherNone) {
                r = Dither(o.red, raw_r, r, o.dither, dx, dy, &carry_r);
                g = Dither(o.green, raw_g, g, o.dither, dx, dy, &carry_g);
                b = Dither(o.blue, raw_b, b, o.dither, dx, dy, &carry_b);
            }
            uint32_t out;
            if (o.dest_palette) {
                out = static_cast<uint32_t>(FindNearestPaletteIndex(job.dest_color->palette, static_cast<int>(r),
                                                                    static_cast<int>(g), static_cast<int>(b)));
            } else {
                out = (r << o.red.dst_loc) | (g << o.green.dst_loc) | (b << o.blue.dst_loc);
                if (o.dest_has_alpha) {
                    out |= a << o.alpha.dst_loc;
                }
                if (DestBytes == 2 || DestBytes == 4) {
                    out |= o.dest_unused;
                }
            }
            WritePixelValue(dst_row, dx, DestBytes, out);
        }
    }
}

// Byte channels moved between byte positions, with nothing else to do per
// pixel: the usual load of 24- and 32-bit pictures into 32-bit surfaces.
template <int SourceBytes, int DestBytes>
void ByteChannelLoop(const ConvertJob& job, const GeneralOptions& o) {
    const int sr = o.red.src_loc, sg = o.green.src_loc, sb = o.blue.src_loc, sa = o.alpha.src_loc;
    const int dr = o.red.dst_loc, dg = o.green.dst_loc, db = o.blue.dst_loc, da = o.alpha.dst_loc;
    const bool copy_alpha = o.source_has_alpha && o.dest_has_alpha;
    const uint32_t fixed = o.dest_unused | (o.dest_has_alpha && !copy_alpha ? o.alpha.dst_max << da : 0);
    for (int row = 0; row < job.height; ++row) {
        const uint8_t* src = job.source + static_cast<ptrdiff_t>(job.top + row) * job.source_pitch +
                             static_cast<ptrdiff_t>(job.left) * SourceBytes;
        uint8_t* dst_row = job.dest + static_cast<ptrdiff_t>(job.dest_y + row) * job.dest_pitch;
        for (int i = 0; i < job.width; ++i, src += SourceBytes) {
            const uint32_t v = ReadPixelValue(src, 0, SourceBytes);
            uint32_t out = (((v >> sr) & 0xFF) << dr) | (((v >> sg) & 0xFF) << dg) | (((v >> sb) & 0xFF) << db) | fixed;
            if (copy_alpha) {
                out |= ((v >> sa) & 0xFF) << da;
            }
            const int dx = job.mirror ? job.dest_x + job.width - 1 - i : job.dest_x + i;
            WritePixelValue(dst_row, dx, DestBytes, out);
        }
    }
}

bool IsByteChannelJob(const GeneralOptions& o, int source_bytes, int dest_bytes) {
    auto byte_channel = [](const ChannelMap& c) { return c.src_width == 8 && c.dst_width == 8; };
    const bool alpha_fits = !o.dest_has_alpha || !o.source_has_alpha || byte_channel(o.alpha);
    return (source_bytes == 3 || source_bytes == 4) && (dest_bytes == 3 || dest_bytes == 4) &&
           o.source_table == nullptr && !o.dest_palette && !o.use_alpha_image && !o.red_as_alpha &&
           !o.color_clear && !o.key_to_alpha && !o.skip && byte_channel(o.red) && byte_channel(o.green) &&
           byte_channel(o.blue) && alpha_fits;
}

void RunByteChannels(const ConvertJob& job, const GeneralOptions& o, int dest_bytes) {
    if (job.source_bytes == 3) {
        dest_bytes == 3 ? ByteChannelLoop<3, 3>(job, o) : ByteChannelLoop<3, 4>(job, o);
    } else {
        dest_bytes == 3 ? ByteChannelLoop<4, 3>(job, o) : ByteChannelLoop<4, 4>(job, o);
    }
}

template <int SourceBytes>
void GeneralForSource(const ConvertJob& job, const GeneralOptions& o, int dest_bytes) {
    switch (dest_bytes) {
    case 1: GeneralLoop<SourceBytes, 1>(job, o); break;
    case 2: GeneralLoop<SourceBytes, 2>(job, o); break;
    case 3: GeneralLoop<SourceBytes, 3>(job, o); break;
    default: GeneralLoop<SourceBytes, 4>(job, o); break;
    }
}

void RunGeneral(const ConvertJob& job, const GeneralOptions& o, int dest_bytes) {
    switch (job.source_bytes) {
    case 1: GeneralForSource<1>(job, o, dest_bytes); break;
    case 2: GeneralForSource<2>(job, o, dest_bytes); break;
    case 3: GeneralForSource<3>(job, o, dest_bytes); break;
    default: GeneralForSource<4>(job, o, dest_bytes); break;
    }
}

// 16-bit sources into 32-bit destinations, when what a pixel becomes depends
// on its value alone (no dithering, alpha image or palette): every one of the
// 65536 values is converted once by the general loop into a table, which
// later conversions with the same options reuse (a 16-bit screen presented
// each frame).
struct WordTableKey {
    ChannelMap red, green, blue, alpha, red_to_alpha;
    uint32_t dest_unused, key_red, key_green, key_blue;
    uint8_t flags[8];
};

WordTableKey KeyOf(const GeneralOptions& o) {
    WordTableKey key;
    std::memset(static_cast<void*>(&key), 0, sizeof key);
    key.red = o.red;
    key.green = o.green;
    key.blue = o.blue;
    key.alpha = o.alpha;
    key.red_to_alpha = o.red_to_alpha;
    key.dest_unused = o.dest_unused;
    key.key_red = o.key_red;
    key.key_green = o.key_green;
    key.key_blue = o.key_blue;
    key.flags[0] = o.source_has_alpha;
    key.flags[1] = o.red_as_alpha;
    key.flags[2] = o.color_clear;
    key.flags[3] = o.key_to_alpha;
    key.flags[4] = o.dest_has_alpha;
    return key;
}

bool ValueAloneDecides(const GeneralOptions& o) {
    return o.source_table == nullptr && !o.use_alpha_image && o.dither == kDitherNone && !o.dest_palette;
}

template <int SourceBytes, int DestBytes>
void GeneralLoop(const ConvertJob& job, const GeneralOptions& o);

const uint32_t* WordTable(const GeneralOptions& o) {
    struct Cache {
        WordTableKey key;
        std::vector<uint32_t> table;
    };
    thread_local Cache cache;
    const WordTableKey key = KeyOf(o);
    if (!cache.table.empty() && std::memcmp(&cache.key, &key, sizeof key) == 0) {
        return cache.table.data();
    }
    std::vector<uint16_t> values(65536);
    for (size_t v = 0; v < values.size(); ++v) {
        values[v] = static_cast<uint16_t>(v);
    }
    cache.table.assign(65536, 0);
    GeneralOptions every = o;
    every.skip = false;
    // One row of every value, converted into the table.
    ConvertJob job{};
    job.dest = reinterpret_cast<uint8_t*>(cache.table.data());
    job.dest_pitch = 65536 * 4;
    job.source = reinterpret_cast<const uint8_t*>(values.data());
    job.source_pitch = 65536 * 2;
    job.source_bytes = 2;
    job.width = 65536;
    job.height = 1;
    GeneralLoop<2, 4>(job, every);
    cache.key = key;
    return cache.table.data();
}

void WordTableLoop(const ConvertJob& job, const GeneralOptions& o, const uint32_t* table) {
    for (int row = 0; row < job.height; ++row) {
        const uint8_t* src = job.source + static_cast<ptrdiff_t>(job.top + row) * job.source_pitch +
                             static_cast<ptrdiff_t>(job.left) * 2;
        uint8_t* dst_row = job.dest + static_cast<ptrdiff_t>(job.dest_y + row) * job.dest_pitch;
        for (int i = 0; i < job.width; ++i, src += 2) {
            const uint32_t value = static_cast<uint32_t>(src[0] | (src[1] << 8));
            if (o.skip && (value & o.skip_mask) == o.skip_value) {
                continue;
            }
            const int dx = job.mirror ? job.dest_x + job.width - 1 - i : job.dest_x + i;
            std::memcpy(dst_row + static_cast<ptrdiff_t>(dx) * 4, &table[value], 4);
        }
    }
}

// Same pixel format: rows as blocks, or pixel by pixel when keyed or mirrored.
void RawCopy(const ConvertJob& job, bool skip, uint32_t skip_value, uint32_t skip_mask) {
    const int bytes = job.source_bytes;
    for (int row = 0; row < job.height; ++row) {
        const uint8_t* src_row = job.source + static_cast<ptrdiff_t>(job.top + row) * job.source_pitch;
        uint8_t* dst_row = job.dest + static_cast<ptrdiff_t>(job.dest_y + row) * job.dest_pitch;
        if (!skip && !job.mirror) {
            std::memmove(dst_row + static_cast<ptrdiff_t>(job.dest_x) * bytes,
                         src_row + static_cast<ptrdiff_t>(job.left) * bytes,
                         static_cast<size_t>(job.width) * static_cast<size_t>(bytes));
            continue;
        }
        for (int i = 0; i < job.width; ++i) {
            const uint32_t value = ReadPixelValue(src_row, job.left + i, bytes);
            if (skip && (value & skip_mask) == skip_value) {
                continue;
            }
            const int dx = job.mirror ? job.dest_x + job.width - 1 - i : job.dest_x + i;
            WritePixelValue(dst_row, dx, bytes, value);
        }
    }
}

int IndexCopy(const ConvertJob& job, const uint8_t* remap) {
    int highest = 0;
    for (int row = 0; row < job.height; ++row) {
        const uint8_t* src_row = job.source + static_cast<ptrdiff_t>(job.top + row) * job.source_pitch;
        uint8_t* dst_row = job.dest + static_cast<ptrdiff_t>(job.dest_y + row) * job.dest_pitch;
        for (int i = 0; i < job.width; ++i) {
            uint8_t index = src_row[job.left + i];
            if (remap != nullptr) {
                index = remap[index];
            } else if (index > highest) {
                highest = index;
            }
            const int dx = job.mirror ? job.dest_x + job.width - 1 - i : job.dest_x + i;
            dst_row[dx] = index;
        }
    }
    return highest;
}

// 16-, 24- and 32-bit pixels into 8-bit destinations: the nearest palette
// entry (or the packed value for a one-channel format) of the colour widened
// to 8 bits per channel.
void PackIntoEightBit(const ConvertJob& job, const ColorData* source_color) {
    for (int row = 0; row < job.height; ++row) {
        const uint8_t* src_row = job.source + static_cast<ptrdiff_t>(job.top + row) * job.source_pitch;
        uint8_t* dst_row = job.dest + static_cast<ptrdiff_t>(job.dest_y + row) * job.dest_pitch;
        for (int i = 0; i < job.width; ++i) {
            int r, g, b, a;
            GetColorRGBAByColorData(source_color, ReadPixelValue(src_row, job.left + i, job.source_bytes), &r, &g,
                                    &b, &a);
            if (source_color->alpha_width == 0) {
                a = 255;
            }
            const int dx = job.mirror ? job.dest_x + job.width - 1 - i : job.dest_x + i;
            dst_row[dx] = static_cast<uint8_t>(GetColorByColorData(job.dest_color, r, g, b, a));
        }
    }
}

}  // namespace

int BltColorConvert(void* dest, int dest_pitch, const ColorData* dest_color, const void* source,
                    int source_pitch, const ColorData* source_color, const void* alpha_image,
                    int alpha_pitch, const ColorData* alpha_color, int dest_x, int dest_y,
                    const Rect* source_rect, int mirror, int transparent_to_alpha,
                    uint32_t transparent_color, int dither_mode, int color_clear, int red_as_alpha,
                    int skip_transparent, int palette_remap) {
    const int width = source_rect->right - source_rect->left;
    const int height = source_rect->bottom - source_rect->top;
    if (width <= 0 || height <= 0) {
        return -1;
    }
    const int source_bytes = source_color->pixel_byte;
    const int dest_bytes = dest_color->pixel_byte;
    if (source_bytes < 1 || source_bytes > 4 || dest_bytes < 1 || dest_bytes > 4) {
        return -1;
    }
    const bool has_alpha_image = alpha_image != nullptr && alpha_color != nullptr &&
                                 alpha_color->pixel_byte >= 1 && alpha_color->pixel_byte <= 4;
    ConvertJob job{static_cast<uint8_t*>(dest),
                   dest_pitch,
                   dest_color,
                   static_cast<const uint8_t*>(source),
                   source_pitch,
                   source_bytes,
                   static_cast<const uint8_t*>(alpha_image),
                   alpha_pitch,
                   has_alpha_image ? alpha_color->pixel_byte : 0,
                   dest_x,
                   dest_y,
                   source_rect->left,
                   source_rect->top,
                   width,
                   height,
                   mirror != 0};

    const bool dest_has_alpha = dest_color->alpha_width != 0;
    const bool source_has_alpha = source_color->alpha_width != 0 && !IsPaletteColorData(source_color);
    const bool key_to_alpha = transparent_to_alpha != 0 && dest_has_alpha && !source_has_alpha &&
                              !has_alpha_image && red_as_alpha == 0;
    const bool skip = skip_transparent != 0 && !(dest_has_alpha && (source_has_alpha || has_alpha_image));
    const uint32_t skip_mask = DepthMask(source_bytes);
    const uint32_t skip_value = transparent_color & skip_mask;

    // 1. Index remapping between two different palettes.
    if (palette_remap != 0 && source_bytes == 1 && dest_bytes == 1 && IsPaletteColorData(source_color) &&
        IsPaletteColorData(dest_color) &&
        std::memcmp(source_color->palette, dest_color->palette, sizeof source_color->palette) != 0) {
        uint8_t remap[256];
        for (int i = 0; i < 256; ++i) {
            const PaletteEntry& e = source_color->palette[i];
            remap[i] = static_cast<uint8_t>(FindNearestPaletteIndex(dest_color->palette, e.red, e.green, e.blue));
        }
        IndexCopy(job, remap);
        return 0;
    }

    // 2. Eight-bit destinations.
    if (dest_bytes == 1 && color_clear == 0 && !skip && red_as_alpha == 0 && !has_alpha_image) {
        if (source_bytes == 1) {
            return IndexCopy(job, nullptr);
        }
        PackIntoEightBit(job, source_color);
        return 0;
    }

    // 3. Same format without per-pixel changes.
    if (IsSameColorData(dest_color, source_color) && !key_to_alpha && !has_alpha_image && color_clear == 0 &&
        red_as_alpha == 0 && source_bytes == dest_bytes) {
        RawCopy(job, skip, skip_value, skip_mask);
        return 0;
    }

    // 4. The general per-channel conversion.
    GeneralOptions o;
    ColorData xrgb;
    const ColorData* effective_source = source_color;
    uint32_t source_table[256];
    if (IsPaletteColorData(source_color)) {
        CreateXRGB32ColorData(&xrgb);
        for (int i = 0; i < 256; ++i) {
            const PaletteEntry& e = source_color->palette[i];
            source_table[i] = (uint32_t{e.red} << 16) | (uint32_t{e.green} << 8) | e.blue;
        }
        o.source_table = source_table;
        effective_source = &xrgb;
    }
    // A paletted destination gets 8-bit channels and then its nearest entry.
    ColorData dest_channels = *dest_color;
    o.dest_palette = IsPaletteColorData(dest_color);
    if (o.dest_palette) {
        CreateXRGB32ColorData(&dest_channels);
    }
    const ColorData& d = dest_channels;
    const ColorData& s = *effective_source;
    o.red.Setup(s.red_mask, s.red_loc, s.red_width, d.red_loc, d.red_width);
    o.green.Setup(s.green_mask, s.green_loc, s.green_width, d.green_loc, d.green_width);
    o.blue.Setup(s.blue_mask, s.blue_loc, s.blue_width, d.blue_loc, d.blue_width);
    o.alpha.Setup(s.alpha_mask, s.alpha_loc, s.alpha_width, d.alpha_loc, d.alpha_width);
    o.red_to_alpha.Setup(s.red_mask, s.red_loc, s.red_width, d.alpha_loc, d.alpha_width);
    o.source_has_alpha = source_has_alpha;
    o.dest_has_alpha = d.alpha_width != 0;
    o.dest_unused = o.dest_palette ? 0 : dest_color->no_use_mask;
    o.red_as_alpha = red_as_alpha != 0;
    o.color_clear = color_clear != 0;
    o.dither = (dither_mode == kDitherOrdered || dither_mode == kDitherCarry) ? dither_mode : kDitherNone;
    o.skip = skip;
    o.skip_value = skip_value;
    o.skip_mask = skip_mask;

    uint32_t alpha_table[256];
    if (has_alpha_image) {
        o.use_alpha_image = true;
        // An alpha image without an alpha channel (a grey or colour picture)
        // gives its red channel as the alpha.
        if (IsPaletteColorData(alpha_color)) {
            for (int i = 0; i < 256; ++i) {
                alpha_table[i] = alpha_color->palette[i].red;
            }
            o.alpha_table = alpha_table;
            o.alpha_image.Setup(0xFF, 0, 8, d.alpha_loc, d.alpha_width);
        } else if (alpha_color->alpha_width != 0) {
            o.alpha_image.Setup(alpha_color->alpha_mask, alpha_color->alpha_loc, alpha_color->alpha_width,
                                d.alpha_loc, d.alpha_width);
        } else {
            o.alpha_image.Setup(alpha_color->red_mask, alpha_color->red_loc, alpha_color->red_width, d.alpha_loc,
                                d.alpha_width);
        }
    }

    if (key_to_alpha) {
        uint32_t key = transparent_color & 0xFFFFFFu;
        if (o.source_table == nullptr) {
            key = GetColorByColorData(source_color, static_cast<int>((key >> 16) & 0xFF),
                                      static_cast<int>((key >> 8) & 0xFF), static_cast<int>(key & 0xFF), 255);
        }
        o.key_to_alpha = true;
        o.key_red = o.red.Kept(o.red.Raw(key));
        o.key_green = o.green.Kept(o.green.Raw(key));
        o.key_blue = o.blue.Kept(o.blue.Raw(key));
    }

    if (IsByteChannelJob(o, source_bytes, dest_bytes)) {
        RunByteChannels(job, o, dest_bytes);
    } else if (source_bytes == 2 && dest_bytes == 4 && ValueAloneDecides(o) &&
               static_cast<int64_t>(width) * height >= 4096) {
        WordTableLoop(job, o, WordTable(o));
    } else {
        RunGeneral(job, o, dest_bytes);
    }
    return 0;
}

}  // namespace velk
