// The glyph writer against a direct reading of its rules, pixel by pixel,
// for every font type, every kind of software image, clipped and turned.

#include "lib/graphics/font/glyph_writer.h"

#include <algorithm>
#include <cstring>
#include <random>
#include <tuple>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

namespace velk {
namespace {

struct ImageKind {
    int format;
    int alpha;
    const char* name;
    bool over = false;  // written as an alpha blit of the glyph would be
};

constexpr ImageKind kKinds[] = {
    {kMemImgFormat16, 0, "Rgb565"},          {kMemImgFormat16, 1, "Rgb565Alpha"},
    {kMemImgFormat32, 0, "Xrgb8888"},        {kMemImgFormat32, 1, "Argb8888"},
    {kMemImgFormat8, 0, "EightBit"},         {kMemImgFormat16, 0, "Rgb565Over", true},
    {kMemImgFormat32, 0, "Xrgb8888Over", true},
};

bool Is16(const ImageKind& k) { return k.format == kMemImgFormat16; }

uint32_t Load(const MEMIMG& image, int x, int y) {
    const uint8_t* p = MemImgPixelAddress(image, x, y);
    const int bytes = MemImgBytesPerPixel(*image.base);
    uint32_t v = 0;
    std::memcpy(&v, p, static_cast<size_t>(bytes));
    return v;
}

struct Rgb {
    int r, g, b;
};

Rgb Split(const ImageKind& k, uint32_t v) {
    if (Is16(k)) return {static_cast<int>((v >> 11) & 31), static_cast<int>((v >> 5) & 63), static_cast<int>(v & 31)};
    return {static_cast<int>((v >> 16) & 255), static_cast<int>((v >> 8) & 255), static_cast<int>(v & 255)};
}

uint32_t Join(const ImageKind& k, const Rgb& c) {
    if (Is16(k)) return static_cast<uint32_t>((c.r << 11) | (c.g << 5) | c.b);
    return static_cast<uint32_t>((c.r << 16) | (c.g << 8) | c.b);
}

// What one cell value does to a pixel, read straight from the rules.
uint32_t Expected(const ImageKind& k, int type, int value, uint32_t text, uint32_t edge, uint32_t old,
                  uint32_t unused) {
    int alpha = 0;
    int weight = 256;  // share of the text colour, in 256ths
    if (type < 2) {
        if (value == 1) alpha = 255;
        if (type == 1 && value == 2) { alpha = 255; weight = 0; }
    } else {
        if (type == 2 && value > 15) return old;  // no level of anti-aliased cells
        const int g = value & 15, e = type == 3 ? value >> 4 : 0;
        if (g == 0 && e == 0) return old;
        if (g == 0) { alpha = 16 * e; weight = 0; }
        else if (g == 15) alpha = 255;
        else { alpha = (16 * g + (15 - g) * e) & 255; weight = 4096 * g / alpha; }
    }
    if (alpha == 0) return old;
    if (k.format == kMemImgFormat8) {
        if (alpha < 128) return old;
        return (weight >= 128 ? text : edge) & 0xFF;
    }
    const Rgb t = Split(k, text), d = Split(k, edge);
    const Rgb c{d.r + (t.r - d.r) * weight / 256, d.g + (t.g - d.g) * weight / 256, d.b + (t.b - d.b) * weight / 256};
    if (k.over) {
        // The alpha blit: an opaque source word whole (at 32 bits its top
        // byte the coverage), the others mixed over 2^8 per channel with
        // the destination's top byte.
        if (alpha == 255) return Join(k, c) | (Is16(k) ? 0 : 0xFF000000u);
        const Rgb o = Split(k, old);
        auto mix = [alpha](int dc, int sc) { return (dc * (256 - alpha) + sc * alpha) >> 8; };
        return Join(k, {mix(o.r, c.r), mix(o.g, c.g), mix(o.b, c.b)}) | (Is16(k) ? 0 : (old & 0xFF000000u));
    }
    if (k.alpha != 0) {
        return Is16(k) ? (Join(k, c) | (static_cast<uint32_t>(alpha) << 16) | (old & 0xFF000000u))
                       : (Join(k, c) | (static_cast<uint32_t>(alpha) << 24));
    }
    if (alpha == 255) return Join(k, c) | unused;
    const Rgb o = Split(k, old);
    const Rgb m{(c.r * alpha + o.r * (255 - alpha)) / 255, (c.g * alpha + o.g * (255 - alpha)) / 255,
                (c.b * alpha + o.b * (255 - alpha)) / 255};
    return Join(k, m) | (Is16(k) ? 0 : unused);
}

struct Cell {
    int type;
    int width;
    int height;
    int pitch;
    std::vector<uint8_t> pixels;
    int ValueAt(int x, int y) const {
        if (type == 0) return (pixels[static_cast<size_t>(y * pitch + x / 8)] >> (x % 8)) & 1;
        return pixels[static_cast<size_t>(y * pitch + x)];
    }
};

Cell RandomCell(int type, int width, std::mt19937& random) {
    Cell cell{type, width, 11, type == 0 ? (width + 7) / 8 : width + 3, {}};
    cell.pixels.assign(static_cast<size_t>(cell.pitch * cell.height) + 8, 0);  // cache images end in 8 spare bytes
    for (int y = 0; y < cell.height; ++y) {
        for (int x = 0; x < cell.width; ++x) {
            int v = 0;
            switch (type) {
                case 0: v = random() % 2; break;
                case 1:
                    // Now and then a value no ink draws, below and above 16.
                    v = random() % 3;
                    if (v == 0 && random() % 8 == 0) v = random() % 256;
                    break;
                case 2:
                    // Now and then a value above the sixteen levels.
                    v = random() % 16;
                    if (v == 0 && random() % 8 == 0) v = 16 + random() % 240;
                    break;
                default: v = random() % 256; break;
            }
            if (type == 0) {
                cell.pixels[static_cast<size_t>(y * cell.pitch + x / 8)] |= static_cast<uint8_t>(v << (x % 8));
            } else {
                cell.pixels[static_cast<size_t>(y * cell.pitch + x)] = static_cast<uint8_t>(v);
            }
        }
        // Beyond the box the cell holds ink that must not be drawn.
        for (int x = cell.width; x < (type == 0 ? cell.pitch * 8 : cell.pitch); ++x) {
            if (type == 0) {
                cell.pixels[static_cast<size_t>(y * cell.pitch + x / 8)] |= static_cast<uint8_t>(1 << (x % 8));
            } else {
                cell.pixels[static_cast<size_t>(y * cell.pitch + x)] = 1;
            }
        }
    }
    return cell;
}

constexpr int kWidth = 130;

// How wide the writer's vector forms may be: the base forms only, up to 256
// bits, or up to 512 (each where the machine has them), the last with inks
// gathered whole or with its other ways of finding them (byte permutes,
// premultiplied entries) and of mixing them (byte pairs).
enum Width { kNarrow, kWide, kWidestGathered, kWidest };

const char* WidthName(int width) {
    switch (width) {
        case kNarrow: return "Narrow";
        case kWide: return "Wide";
        case kWidestGathered: return "WidestGathered";
        default: return "Widest";
    }
}

// Each kind at each width.
class GlyphWriterTest : public ::testing::TestWithParam<std::tuple<ImageKind, int>> {
protected:
    void SetUp() override {
        UseWideGlyphWriter(std::get<1>(GetParam()) != kNarrow);
        UseWidestGlyphWriter(std::get<1>(GetParam()) >= kWidestGathered);
        UseGlyphInkPermutes(std::get<1>(GetParam()) == kWidest);
        UseGlyphMixEntries(std::get<1>(GetParam()) == kWidest);
        UseGlyphLevelPairs(std::get<1>(GetParam()) == kWidest);
    }
    void TearDown() override {
        UseWideGlyphWriter(true);
        UseWidestGlyphWriter(true);
        UseGlyphInkPermutes(true);
        UseGlyphMixEntries(true);
        UseGlyphLevelPairs(true);
    }
};

TEST_P(GlyphWriterTest, EveryPixelFollowsTheRules) {
    const ImageKind kind = std::get<0>(GetParam());
    std::mt19937 random(1234);
    for (int round = 0; round < 240; ++round) {
        const int type = round % 4;
        const bool turned = round % 8 >= 4;
        MEMIMG image{};
        ASSERT_EQ(CreateMemImg(&image, kWidth, 30, -1, 0, kind.format, 0, kind.alpha, nullptr), 0);
        for (int y = 0; y < 30; ++y) {
            for (int x = 0; x < kWidth; ++x) {
                const uint32_t v = static_cast<uint32_t>(random());
                std::memcpy(MemImgPixelAddress(image, x, y), &v, static_cast<size_t>(MemImgBytesPerPixel(*image.base)));
            }
        }
        MEMIMG before{};
        ASSERT_EQ(CreateMemImg(&before, kWidth, 30, -1, 0, kind.format, 0, kind.alpha, nullptr), 0);
        std::memcpy(before.base->pixels, image.base->pixels, static_cast<size_t>(image.base->pitch * 30));

        // Narrow glyphs, and wide ones whose rows take several words.
        const Cell cell = RandomCell(type, round % 3 == 2 ? 100 : 13, random);
        const uint32_t mask = kind.format == kMemImgFormat8 ? 0xFF : (Is16(kind) ? 0xFFFF : 0xFFFFFF);
        const uint32_t text = static_cast<uint32_t>(random()) & mask;
        const uint32_t edge = static_cast<uint32_t>(random()) & mask;
        // A string just before in one of the colours or both: inks kept from
        // it serve only the same colours.
        const int share = round / 4 % 4;
        GlyphWriter earlier;
        ASSERT_TRUE(earlier.Begin(image, type, (share & 1) != 0 ? text : text ^ 0x21,
                                  (share & 2) != 0 ? edge : edge ^ 0x12, 255, 255, 255, kind.over));
        const Rect clip{static_cast<int>(random() % 10), static_cast<int>(random() % 8),
                        kWidth - 20 + static_cast<int>(random() % 21), 22 + static_cast<int>(random() % 9)};
        const int x = static_cast<int>(random() % 60) - 8, y = static_cast<int>(random() % 30) - 8;

        GlyphWriter writer;
        ASSERT_TRUE(writer.Begin(image, type, text, edge, 255, 255, 255, kind.over));
        const GlyphCellView view{cell.pixels.data(), cell.pitch, cell.width, cell.height};
        if (turned) {
            writer.WriteTurned(image, clip, x, y, view);
        } else {
            writer.Write(image, clip, x, y, view);
        }
        const uint32_t unused =
            kind.format == kMemImgFormat32 && kind.alpha == 0 && !kind.over ? image.base->color_data->no_use_mask : 0;
        for (int py = 0; py < 30; ++py) {
            for (int px = 0; px < kWidth; ++px) {
                // Which cell pixel lands here, if any.
                const int gx = turned ? py - y : px - x;
                const int gy = turned ? x - px : py - y;
                const uint32_t old = Load(before, px, py);
                uint32_t want = old;
                const bool inside = px >= clip.left && px < clip.right && py >= clip.top && py < clip.bottom;
                if (inside && gx >= 0 && gx < cell.width && gy >= 0 && gy < cell.height) {
                    want = Expected(kind, type, cell.ValueAt(gx, gy), text, edge, old, unused);
                }
                const uint32_t got = Load(image, px, py);
                const uint32_t compare = kind.format == kMemImgFormat16 && kind.alpha != 0 ? 0x00FFFFFF : 0xFFFFFFFF;
                ASSERT_EQ(got & compare, want & compare)
                    << kind.name << " type " << type << (turned ? " turned" : "") << " at " << px << "," << py;
            }
        }
        ReleaseMemImg(&image);
        ReleaseMemImg(&before);
    }
}

// A writer that held the 256 inks of anti-aliased edged cells and then
// takes the three of edged cells from the string before: cell values
// beyond those three still put nothing down.
TEST_P(GlyphWriterTest, AWriterBegunAgainForFewerInksKeepsNoneOfTheOldOnes) {
    const ImageKind kind = std::get<0>(GetParam());
    constexpr int kCellWidth = 40, kRows = 7;
    MEMIMG image{};
    ASSERT_EQ(CreateMemImg(&image, kCellWidth, kRows, -1, 0, kind.format, 0, kind.alpha, nullptr), 0);
    std::mt19937 random(99);
    for (int y = 0; y < kRows; ++y) {
        for (int x = 0; x < kCellWidth; ++x) {
            const uint32_t v = static_cast<uint32_t>(random());
            std::memcpy(MemImgPixelAddress(image, x, y), &v, static_cast<size_t>(MemImgBytesPerPixel(*image.base)));
        }
    }
    MEMIMG before{};
    ASSERT_EQ(CreateMemImg(&before, kCellWidth, kRows, -1, 0, kind.format, 0, kind.alpha, nullptr), 0);
    std::memcpy(before.base->pixels, image.base->pixels, static_cast<size_t>(image.base->pitch * kRows));
    // Every value from 0 to 255 once, then a run of the two that draw.
    Cell cell{1, kCellWidth, kRows, kCellWidth, {}};
    cell.pixels.assign(static_cast<size_t>(kCellWidth * kRows) + 8, 0);
    for (size_t i = 0; i < static_cast<size_t>(kCellWidth * kRows); ++i) {
        cell.pixels[i] = static_cast<uint8_t>(i < 256 ? i : 1 + i % 2);
    }
    const uint32_t text = 0x00E0C0A0u & (Is16(kind) ? 0xFFFF : 0xFFFFFF), edge = 0x00102030u;
    GlyphWriter writer, other;
    ASSERT_TRUE(writer.Begin(image, 3, 0x4321, 0x1234, 255, 255, 255, kind.over));
    ASSERT_TRUE(other.Begin(image, 1, text, edge, 255, 255, 255, kind.over));
    ASSERT_TRUE(writer.Begin(image, 1, text, edge, 255, 255, 255, kind.over));
    writer.Write(image, Rect{0, 0, kCellWidth, kRows}, 0, 0,
                 GlyphCellView{cell.pixels.data(), cell.pitch, cell.width, cell.height});
    const uint32_t unused =
        kind.format == kMemImgFormat32 && kind.alpha == 0 && !kind.over ? image.base->color_data->no_use_mask : 0;
    const uint32_t compare = kind.format == kMemImgFormat16 && kind.alpha != 0 ? 0x00FFFFFF : 0xFFFFFFFF;
    for (int y = 0; y < kRows; ++y) {
        for (int x = 0; x < kCellWidth; ++x) {
            const uint32_t want = Expected(kind, 1, cell.ValueAt(x, y), text, edge, Load(before, x, y), unused);
            ASSERT_EQ(Load(image, x, y) & compare, want & compare)
                << kind.name << " value " << cell.ValueAt(x, y) << " at " << x << "," << y;
        }
    }
    ReleaseMemImg(&image);
    ReleaseMemImg(&before);
}

// One writer kept from string to string, as the text engine keeps it, while
// other writers begin strings in other colours and font types between: each
// string is drawn in its own colours and with its own font type's inks.
TEST_P(GlyphWriterTest, AWriterKeptFromStringToStringDrawsEachStringInItsOwnInks) {
    const ImageKind kind = std::get<0>(GetParam());
    constexpr int kCellWidth = 37, kRows = 9;
    std::mt19937 random(7);
    const uint32_t mask = kind.format == kMemImgFormat8 ? 0xFF : (Is16(kind) ? 0xFFFF : 0xFFFFFF);
    GlyphWriter kept, other;
    // (font type, text, edge) of each string, and whether another writer
    // begins a string between.
    struct Step {
        int type;
        uint32_t text, edge;
        bool other_between;
    };
    const uint32_t a = 0x00D08040u & mask, b = 0x00205070u & mask, c = 0x0070F020u & mask;
    const Step steps[] = {{3, a, b, false}, {3, a, b, true},  {1, a, b, true},  {1, c, b, false},
                          {2, c, a, false}, {2, a, c, true},  {3, a, b, false}, {1, c, b, true},
                          {3, b, c, true},  {3, b, c, false}, {3, a, c, false}};
    for (const Step& step : steps) {
        MEMIMG image{};
        ASSERT_EQ(CreateMemImg(&image, kCellWidth, kRows, -1, 0, kind.format, 0, kind.alpha, nullptr), 0);
        for (int y = 0; y < kRows; ++y) {
            for (int x = 0; x < kCellWidth; ++x) {
                const uint32_t v = static_cast<uint32_t>(random());
                std::memcpy(MemImgPixelAddress(image, x, y), &v, static_cast<size_t>(MemImgBytesPerPixel(*image.base)));
            }
        }
        MEMIMG before{};
        ASSERT_EQ(CreateMemImg(&before, kCellWidth, kRows, -1, 0, kind.format, 0, kind.alpha, nullptr), 0);
        std::memcpy(before.base->pixels, image.base->pixels, static_cast<size_t>(image.base->pitch * kRows));
        if (step.other_between) {
            ASSERT_TRUE(other.Begin(image, step.type ^ 1, step.edge, step.text ^ 0x0101, 255, 255, 255, kind.over));
        }
        ASSERT_TRUE(kept.Begin(image, step.type, step.text, step.edge, 255, 255, 255, kind.over));
        // Cells of type 3 values throughout: values no ink of the font type
        // draws must leave their pixels.
        Cell cell = RandomCell(3, kCellWidth - 4, random);
        cell.type = step.type == 0 ? 3 : step.type;
        kept.Write(image, Rect{0, 0, kCellWidth, kRows}, 2, -1,
                   GlyphCellView{cell.pixels.data(), cell.pitch, cell.width, cell.height});
        const uint32_t unused =
            kind.format == kMemImgFormat32 && kind.alpha == 0 && !kind.over ? image.base->color_data->no_use_mask : 0;
        const uint32_t compare = kind.format == kMemImgFormat16 && kind.alpha != 0 ? 0x00FFFFFF : 0xFFFFFFFF;
        for (int y = 0; y < kRows; ++y) {
            for (int x = 0; x < kCellWidth; ++x) {
                const uint32_t old = Load(before, x, y);
                const int gx = x - 2, gy = y + 1;
                const bool inside = gx >= 0 && gx < cell.width && gy < cell.height;
                const uint32_t want =
                    inside ? Expected(kind, step.type, cell.ValueAt(gx, gy), step.text, step.edge, old, unused) : old;
                ASSERT_EQ(Load(image, x, y) & compare, want & compare)
                    << kind.name << " type " << step.type << " value " << (inside ? cell.ValueAt(gx, gy) : -1) << " at "
                    << x << "," << y;
            }
        }
        ReleaseMemImg(&image);
        ReleaseMemImg(&before);
    }
}

// Glyphs in the bottom-right corner of a small image, whose rows end where
// its memory ends: the wide forms touch nothing past the last pixel (the
// sanitizer builds see any read there) and draw the corner as the rules say.
TEST_P(GlyphWriterTest, AGlyphInTheImagesLastCornerStaysInsideIt) {
    const ImageKind kind = std::get<0>(GetParam());
    constexpr int kImageWidth = 24, kImageHeight = 6;
    std::mt19937 random(31);
    for (int type = 0; type < 4; ++type) {
        for (int glyph_width : {3, 9, 21}) {
            MEMIMG image{};
            ASSERT_EQ(CreateMemImg(&image, kImageWidth, kImageHeight, -1, 0, kind.format, 0, kind.alpha, nullptr), 0);
            for (int y = 0; y < kImageHeight; ++y) {
                for (int x = 0; x < kImageWidth; ++x) {
                    const uint32_t v = static_cast<uint32_t>(random());
                    std::memcpy(MemImgPixelAddress(image, x, y), &v,
                                static_cast<size_t>(MemImgBytesPerPixel(*image.base)));
                }
            }
            MEMIMG before{};
            ASSERT_EQ(CreateMemImg(&before, kImageWidth, kImageHeight, -1, 0, kind.format, 0, kind.alpha, nullptr), 0);
            std::memcpy(before.base->pixels, image.base->pixels, static_cast<size_t>(image.base->pitch * kImageHeight));
            const Cell cell = RandomCell(type, glyph_width, random);
            const uint32_t mask = kind.format == kMemImgFormat8 ? 0xFF : (Is16(kind) ? 0xFFFF : 0xFFFFFF);
            const uint32_t text = static_cast<uint32_t>(random()) & mask, edge = static_cast<uint32_t>(random()) & mask;
            GlyphWriter writer;
            ASSERT_TRUE(writer.Begin(image, type, text, edge, 255, 255, 255, kind.over));
            // The box's last column and row on the image's.
            const int x = kImageWidth - glyph_width, y = kImageHeight - cell.height;
            writer.Write(image, Rect{0, 0, kImageWidth, kImageHeight}, x, y,
                         GlyphCellView{cell.pixels.data(), cell.pitch, cell.width, cell.height});
            const uint32_t unused = kind.format == kMemImgFormat32 && kind.alpha == 0 && !kind.over
                                        ? image.base->color_data->no_use_mask
                                        : 0;
            const uint32_t compare = kind.format == kMemImgFormat16 && kind.alpha != 0 ? 0x00FFFFFF : 0xFFFFFFFF;
            for (int py = 0; py < kImageHeight; ++py) {
                for (int px = 0; px < kImageWidth; ++px) {
                    const uint32_t old = Load(before, px, py);
                    const int gx = px - x, gy = py - y;
                    const bool inside = gx >= 0 && gy >= 0;
                    const uint32_t want =
                        inside ? Expected(kind, type, cell.ValueAt(gx, gy), text, edge, old, unused) : old;
                    ASSERT_EQ(Load(image, px, py) & compare, want & compare)
                        << kind.name << " type " << type << " width " << glyph_width << " at " << px << "," << py;
                }
            }
            ReleaseMemImg(&image);
            ReleaseMemImg(&before);
        }
    }
}

// Anti-aliased cells, edged or not, over a plain image: every cell value
// over every channel value of the pixel there, in inks of every channel
// value. Each form's mix of ink and pixel, whatever way it finds the ink, is
// the alpha blit's to the bit. (Text and edge in one colour, so each value's
// ink is that colour at the value's coverage.)
TEST_P(GlyphWriterTest, EveryCellValueMixesAsTheAlphaBlitOverEveryPixel) {
    const ImageKind kind = std::get<0>(GetParam());
    if (!kind.over) {
        GTEST_SKIP() << "only images written as an alpha blit mix by the blit's rule";
    }
    constexpr int kSide = 256;
    const int top = Is16(kind) ? 31 : 255, top_green = Is16(kind) ? 63 : 255;
    MEMIMG image{};
    ASSERT_EQ(CreateMemImg(&image, kSide, kSide, -1, 0, kind.format, 0, 0, nullptr), 0);
    // Column v holds cell value v; row d the pixel of channel value d (the
    // channels' own widths wrap it), its X too.
    Cell cell{3, kSide, kSide, kSide, {}};
    cell.pixels.assign(static_cast<size_t>(kSide * kSide) + 8, 0);
    for (int y = 0; y < kSide; ++y) {
        for (int x = 0; x < kSide; ++x)
            cell.pixels[static_cast<size_t>(y * kSide + x)] = static_cast<uint8_t>(x);
    }
    auto old_at = [&](int y) {
        const uint32_t color = Join(kind, {y % (top + 1), y % (top_green + 1), (255 - y) % (top + 1)});
        return Is16(kind) ? color : color | (static_cast<uint32_t>(y ^ 0x5A) << 24);
    };
    // (Anti-aliased cells without an edge have sixteen values.)
    for (const auto& [type, values] : {std::pair{2, 16}, std::pair{3, kSide}}) {
        for (int c = 0; c <= std::max(top, top_green); ++c) {
            const uint32_t color = Join(kind, {c % (top + 1), (255 - c) % (top_green + 1), (7 * c) % (top + 1)});
            for (int y = 0; y < kSide; ++y) {
                for (int x = 0; x < values; ++x) {
                    const uint32_t v = old_at(y);
                    std::memcpy(MemImgPixelAddress(image, x, y), &v,
                                static_cast<size_t>(MemImgBytesPerPixel(*image.base)));
                }
            }
            GlyphWriter writer;
            ASSERT_TRUE(writer.Begin(image, type, color, color, 255, 255, 255, true));
            writer.Write(image, Rect{0, 0, kSide, kSide}, 0, 0,
                         GlyphCellView{cell.pixels.data(), cell.pitch, values, cell.height});
            for (int y = 0; y < kSide; ++y) {
                const uint32_t old = old_at(y);
                for (int x = 0; x < values; ++x) {
                    const uint32_t want = Expected(kind, type, x, color, color, old, 0);
                    ASSERT_EQ(Load(image, x, y), want)
                        << kind.name << " type " << type << " colour " << c << " value " << x << " over " << y;
                }
            }
        }
    }
    ReleaseMemImg(&image);
}

// A laid-out line written whole puts down what writing its glyphs one by one
// does: each cell type, narrow glyphs and wide ones (boxes of 8 pixels or
// fewer, of 16 or fewer, wider), a glyph's cell coming back later in the
// line, and the clip cutting the line on each side in turn.
TEST_P(GlyphWriterTest, ALineWrittenWholeDrawsAsItsGlyphsOneByOne) {
    const ImageKind kind = std::get<0>(GetParam());
    constexpr int kImageWidth = 220, kImageHeight = 40, kCells = 9, kCellSize = 20, kMaxWidth = 64;
    std::mt19937 random(4242);
    for (int round = 0; round < 60; ++round) {
        const int type = round % 4;
        const int side = round / 4 % 5;  // 0: no side cut; then left, top, right, bottom
        // The cache: kCells cells of kCellSize rows at one pitch.
        const int pitch = type == 0 ? kMaxWidth / 8 + 1 : kMaxWidth + 3;
        const ptrdiff_t cell_bytes = static_cast<ptrdiff_t>(kCellSize) * pitch;
        std::vector<uint8_t> cache(static_cast<size_t>(cell_bytes * kCells) + 8);
        std::vector<std::pair<int, int>> sizes;
        for (int c = 0; c < kCells; ++c) {
            static constexpr int kWidths[] = {3, 5, 8, 9, 13, 16, 17, 33, 60};
            const int width = kWidths[(c + round) % kCells];
            const int height = 4 + static_cast<int>(random() % (kCellSize - 3));
            const Cell cell = RandomCell(type, width, random);
            for (int y = 0; y < kCellSize; ++y) {
                // Rows past the box, and bytes past the cell's, hold ink the
                // box must not draw.
                uint8_t* row = cache.data() + c * cell_bytes + static_cast<ptrdiff_t>(y) * pitch;
                std::memset(row, type == 0 ? 0xFF : 1, static_cast<size_t>(pitch));
                if (y < height) {
                    std::memcpy(row, cell.pixels.data() + static_cast<ptrdiff_t>(y % cell.height) * cell.pitch,
                                static_cast<size_t>(cell.pitch));
                }
            }
            sizes.emplace_back(width, height);
        }
        std::vector<PlacedGlyph> glyphs;
        int along = -static_cast<int>(random() % 12);
        for (int i = 0; i < 14; ++i) {
            const int c = static_cast<int>(random() % kCells);
            glyphs.push_back(PlacedGlyph{along, c, static_cast<int16_t>(random() % 9),
                                         static_cast<int16_t>(sizes[static_cast<size_t>(c)].first),
                                         static_cast<int16_t>(sizes[static_cast<size_t>(c)].second)});
            along += sizes[static_cast<size_t>(c)].first / 2 + static_cast<int>(random() % 12);
        }
        Rect clip{0, 0, kImageWidth, kImageHeight};
        const int x = static_cast<int>(random() % 20) - 6, y = static_cast<int>(random() % 16) - 4;
        const int cut = static_cast<int>(random() % 40);
        if (side == 1) clip.left = x + cut;
        if (side == 2) clip.top = y + 3 + cut % 8;
        if (side == 3) clip.right = x + 40 + cut;
        if (side == 4) clip.bottom = y + 6 + cut % 8;

        MEMIMG one_by_one{}, whole{};
        ASSERT_EQ(CreateMemImg(&one_by_one, kImageWidth, kImageHeight, -1, 0, kind.format, 0, kind.alpha, nullptr), 0);
        ASSERT_EQ(CreateMemImg(&whole, kImageWidth, kImageHeight, -1, 0, kind.format, 0, kind.alpha, nullptr), 0);
        for (int py = 0; py < kImageHeight; ++py) {
            for (int px = 0; px < kImageWidth; ++px) {
                const uint32_t v = static_cast<uint32_t>(random());
                const auto bytes = static_cast<size_t>(MemImgBytesPerPixel(*one_by_one.base));
                std::memcpy(MemImgPixelAddress(one_by_one, px, py), &v, bytes);
                std::memcpy(MemImgPixelAddress(whole, px, py), &v, bytes);
            }
        }
        const uint32_t mask = kind.format == kMemImgFormat8 ? 0xFF : (Is16(kind) ? 0xFFFF : 0xFFFFFF);
        const uint32_t text = static_cast<uint32_t>(random()) & mask, edge = static_cast<uint32_t>(random()) & mask;
        GlyphWriter writer;
        ASSERT_TRUE(writer.Begin(whole, type, text, edge, 255, 255, 255, kind.over));
        for (const PlacedGlyph& glyph : glyphs) {
            writer.Write(one_by_one, clip, x + glyph.along, y + glyph.top,
                         GlyphCellView{cache.data() + glyph.cell * cell_bytes, pitch, glyph.width, glyph.height});
        }
        writer.WriteLine(whole, clip, x, y, GlyphLine{cache.data(), cell_bytes, pitch, glyphs.data(), glyphs.size()});
        for (int py = 0; py < kImageHeight; ++py) {
            for (int px = 0; px < kImageWidth; ++px) {
                ASSERT_EQ(Load(whole, px, py), Load(one_by_one, px, py))
                    << kind.name << " type " << type << " side " << side << " at " << px << "," << py;
            }
        }
        ReleaseMemImg(&one_by_one);
        ReleaseMemImg(&whole);
    }
}

INSTANTIATE_TEST_SUITE_P(AllKinds, GlyphWriterTest,
                         ::testing::Combine(::testing::ValuesIn(kKinds), ::testing::Values(kNarrow, kWide, kWidestGathered, kWidest)),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param).name) + WidthName(std::get<1>(info.param));
                         });

TEST(GlyphWriter, TheDrawBrightDarkensBothColours) {
    MEMIMG image{};
    ASSERT_EQ(CreateMemImg(&image, 4, 4, -1, 0, kMemImgFormat32, 0, 0, nullptr), 0);
    EXPECT_EQ(BrightenedPixel(image, 0xFFFFFFFF, 128, 255, 0), 0x80FF00u);
    EXPECT_EQ(BrightenedPixel(image, 0xFF204060, 255, 255, 255), 0x204060u);
    MEMIMG sixteen{};
    ASSERT_EQ(CreateMemImg(&sixteen, 4, 4, -1, 0, kMemImgFormat16, 0, 0, nullptr), 0);
    EXPECT_EQ(BrightenedPixel(sixteen, 0xFFFF, 0, 255, 255), 0x07FFu);
    MEMIMG depth{};
    ASSERT_EQ(CreateMemImg(&depth, 4, 4, -1, 0, kMemImgFormatDepth, 0, 0, nullptr), 0);
    GlyphWriter writer;
    EXPECT_FALSE(writer.Begin(depth, 0, 1, 2, 255, 255, 255));
    ReleaseMemImg(&image);
    ReleaseMemImg(&sixteen);
    ReleaseMemImg(&depth);
}

}  // namespace
}  // namespace velk
