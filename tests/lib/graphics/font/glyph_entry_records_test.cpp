// Anti-aliased edged glyphs over a plain 32-bit image written from the
// entries recorded for glyphs written before: each draw, however the glyph's
// cells, clip or colours changed since, is the alpha blit's to the bit, and
// the same as a draw that gathers every entry.

#include "lib/graphics/font/glyph_entry_records.h"

#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "lib/graphics/font/glyph_writer.h"

namespace velk {
namespace {

// What cell value `value` of an anti-aliased edged glyph in `text` with
// edge `edge` makes of the pixel `old`, worked out from the rules: the
// coverage 16 g + (15 - g) e of its glyph level g and edge level e (g = 15
// whole), the ink text and edge mixed by 4096 g / coverage, then per
// channel (old x (256 - a) + ink x a) >> 8 keeping old's top byte; a whole
// ink replaces the pixel with a top byte of 0xFF.
uint32_t BlitOf(int value, uint32_t text, uint32_t edge, uint32_t old) {
    const int g = value & 15, e = value >> 4;
    if (value == 0) return old;
    const int alpha = g == 15 ? 255 : (g == 0 ? 16 * e : 16 * g + (15 - g) * e);
    const int weight = g == 0 ? 0 : (g == 15 ? 256 : 4096 * g / alpha);
    uint32_t out = 0;
    for (int shift = 0; shift < 24; shift += 8) {
        const int t = static_cast<int>((text >> shift) & 255), d = static_cast<int>((edge >> shift) & 255);
        const int ink = d + (t - d) * weight / 256;
        const int o = static_cast<int>((old >> shift) & 255);
        const int c = alpha == 255 ? ink : (o * (256 - alpha) + ink * alpha) >> 8;
        out |= static_cast<uint32_t>(c) << shift;
    }
    return out | (alpha == 255 ? 0xFF000000u : (old & 0xFF000000u));
}

// A glyph's cells: `width` x `height` values at a pitch of width + 5, the
// pitch's tail and the 8 spare bytes a cache image ends in holding ink
// that must not be drawn.
struct Glyph {
    int width = 0, height = 0, pitch = 0;
    std::vector<uint8_t> cells;
    GlyphCellView View() const { return {cells.data(), pitch, width, height}; }
    int At(int x, int y) const { return cells[static_cast<size_t>(y * pitch + x)]; }
};

// Every value 0 to 255 turns up in the first 256 cells in an order of
// its own; zeros in runs now and then, as around a glyph's strokes.
Glyph MakeGlyph(int width, int height, std::mt19937& random) {
    Glyph glyph{width, height, width + 5, {}};
    glyph.cells.assign(static_cast<size_t>(glyph.pitch * height) + 8, 0x37);
    std::vector<uint8_t> order(256);
    for (int v = 0; v < 256; ++v)
        order[static_cast<size_t>(v)] = static_cast<uint8_t>(v);
    std::shuffle(order.begin(), order.end(), random);
    int n = 0;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const bool blank = random() % 11 == 0;
            glyph.cells[static_cast<size_t>(y * glyph.pitch + x)] = blank ? 0 : order[static_cast<size_t>(n++ % 256)];
        }
    }
    return glyph;
}

// A plain 32-bit image of random pixels, its own or over caller pixels with
// rows wider than the image.
class Image {
public:
    Image(int width, int height, bool own_pixels, uint32_t seed) : width_(width), height_(height) {
        if (own_pixels) {
            EXPECT_EQ(CreateMemImg(&image_, width, height, -1, 0, kMemImgFormat32, 0, 0, nullptr), 0);
        } else {
            pixels_.assign(static_cast<size_t>((width + 7) * height), 0);
            EXPECT_EQ(CreateMemImg(&image_, width, height, (width + 7) * 4, 0, kMemImgFormat32, 0, 0, pixels_.data()),
                      0);
        }
        std::mt19937 random(seed);
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x)
                Set(x, y, static_cast<uint32_t>(random()));
        }
    }
    ~Image() { ReleaseMemImg(&image_); }
    Image(const Image&) = delete;
    Image& operator=(const Image&) = delete;

    const MEMIMG& memimg() const { return image_; }
    uint32_t At(int x, int y) const {
        uint32_t v = 0;
        std::memcpy(&v, MemImgPixelAddress(image_, x, y), 4);
        return v;
    }
    void Set(int x, int y, uint32_t v) { std::memcpy(MemImgPixelAddress(image_, x, y), &v, 4); }
    void CopyFrom(const Image& other) {
        for (int y = 0; y < height_; ++y) {
            for (int x = 0; x < width_; ++x)
                Set(x, y, other.At(x, y));
        }
    }

private:
    int width_, height_;
    MEMIMG image_{};
    std::vector<uint32_t> pixels_;
};

constexpr int kImageWidth = 64, kImageHeight = 56;

struct Colors {
    uint32_t text, edge;
    int bright = 255;
};

class GlyphEntryRecordsTest : public ::testing::TestWithParam<bool> {
protected:
    void TearDown() override { UseGlyphEntryRecords(true); }

    // Draws `glyph` at (x, y) cut to `clip` over a copy of `background`
    // with records on or off, into `out`.
    static void Draw(const Image& background, Image& out, const Glyph& glyph, const Colors& colors, const Rect& clip,
                     int x, int y, bool records) {
        UseGlyphEntryRecords(records);
        out.CopyFrom(background);
        GlyphWriter writer;
        ASSERT_TRUE(
            writer.Begin(out.memimg(), 3, colors.text, colors.edge, colors.bright, colors.bright, colors.bright, true));
        writer.Write(out.memimg(), clip, x, y, glyph.View());
    }

    // The glyph drawn with records twice (the second draw finds the first's
    // steps) and without, each compared with the rules.
    void Check(const Image& background, const Glyph& glyph, const Colors& colors, const Rect& clip, int x, int y) {
        const bool own = GetParam();
        Image recorded(kImageWidth, kImageHeight, own, 0), gathered(kImageWidth, kImageHeight, own, 0);
        Draw(background, recorded, glyph, colors, clip, x, y, true);
        Draw(background, recorded, glyph, colors, clip, x, y, true);
        Draw(background, gathered, glyph, colors, clip, x, y, false);
        const auto bright = [&](uint32_t c) {
            uint32_t out = 0;
            for (int shift = 0; shift < 24; shift += 8)
                out |= (((c >> shift) & 255) * colors.bright / 255) << shift;
            return out;
        };
        for (int py = 0; py < kImageHeight; ++py) {
            for (int px = 0; px < kImageWidth; ++px) {
                const int gx = px - x, gy = py - y;
                const bool inside = gx >= 0 && gx < glyph.width && gy >= 0 && gy < glyph.height && px >= clip.left &&
                                    px < clip.right && py >= clip.top && py < clip.bottom;
                const uint32_t old = background.At(px, py);
                const uint32_t want =
                    inside ? BlitOf(glyph.At(gx, gy), bright(colors.text), bright(colors.edge), old) : old;
                ASSERT_EQ(recorded.At(px, py), want)
                    << "width " << glyph.width << " height " << glyph.height << " value "
                    << (inside ? glyph.At(gx, gy) : -1) << " at " << px << "," << py << " clip " << clip.left << ","
                    << clip.top << "," << clip.right << "," << clip.bottom;
                ASSERT_EQ(gathered.At(px, py), want) << "gathered, width " << glyph.width << " at " << px << "," << py;
            }
        }
    }
};

// Every width 1 to 40 (one step a row, a last step of one, two or four rows,
// more steps than a glyph's records hold), whole and cut on each side and
// on all four.
TEST_P(GlyphEntryRecordsTest, EveryWidthAndClipDrawsAsTheAlphaBlit) {
    std::mt19937 random(11);
    const Image background(kImageWidth, kImageHeight, GetParam(), 5);
    const Colors colors{0x00D08040u, 0x00205070u};
    for (int width = 1; width <= 40; ++width) {
        const Glyph glyph = MakeGlyph(width, 19, random);
        const int x = 20, y = 9;
        const Rect clips[] = {{0, 0, kImageWidth, kImageHeight},
                              {x + width / 3, 0, kImageWidth, kImageHeight},
                              {0, 0, x + (2 * width) / 3 + 1, kImageHeight},
                              {0, y + 5, kImageWidth, kImageHeight},
                              {0, 0, kImageWidth, y + 13},
                              {x + 1, y + 2, x + width - 1, y + 17}};
        for (const Rect& clip : clips) {
            Check(background, glyph, colors, clip, x, y);
        }
    }
}

// Every cell value in one glyph of sixteen by sixteen, in inks of many
// colours over pixels of every channel value.
TEST_P(GlyphEntryRecordsTest, EveryCellValueInManyColoursDrawsAsTheAlphaBlit) {
    Glyph glyph{16, 16, 21, {}};
    glyph.cells.assign(static_cast<size_t>(21 * 16) + 8, 0xFF);
    for (int v = 0; v < 256; ++v)
        glyph.cells[static_cast<size_t>((v / 16) * 21 + v % 16)] = static_cast<uint8_t>(v);
    Image background(kImageWidth, kImageHeight, GetParam(), 0);
    for (int y = 0; y < kImageHeight; ++y) {
        for (int x = 0; x < kImageWidth; ++x) {
            const auto c = static_cast<uint32_t>((y * kImageWidth + x) * 37 % 256);
            background.Set(x, y, (c << 24) | ((255 - c) << 16) | (c << 8) | (c ^ 0x5A));
        }
    }
    for (uint32_t c = 0; c < 256; c += 15) {
        const Colors colors{(c << 16) | ((255 - c) << 8) | (7 * c % 256), ((c * 3) % 256) | (c << 8) | 0x00400000u};
        Check(background, glyph, colors, Rect{0, 0, kImageWidth, kImageHeight}, 3 + static_cast<int>(c % 40), 11);
    }
}

// One glyph's cells drawn in new colours or a new draw bright after each
// other, in colours back again, and rewritten in place with other glyphs:
// cells changed in one lane of a step, from nothing to ink and back, a
// whole other glyph, and glyphs of other sizes in the same memory.
TEST_P(GlyphEntryRecordsTest, ChangedColoursAndRewrittenCellsDrawTheirOwnPixels) {
    std::mt19937 random(23);
    const Image background(kImageWidth, kImageHeight, GetParam(), 9);
    const Rect all{0, 0, kImageWidth, kImageHeight};
    Glyph glyph = MakeGlyph(18, 18, random);
    const Colors a{0x00FFFFFFu, 0x00000000u}, b{0x00102030u, 0x00F0E0D0u}, dim{0x00FFFFFFu, 0x00000000u, 100};
    for (const Colors& colors : {a, b, a, dim, a, b, b}) {
        Check(background, glyph, colors, all, 7, 3);
    }
    const int changes[][2] = {{5, 2}, {12, 4}, {17, 17}, {16, 0}, {17, 2}, {0, 9}};
    for (const auto& [cx, cy] : changes) {
        uint8_t& cell = glyph.cells[static_cast<size_t>(cy * glyph.pitch + cx)];
        for (const int value : {(cell + 1) % 255 + 1, 0, 0x9C, 0x0F}) {
            cell = static_cast<uint8_t>(value);
            Check(background, glyph, a, all, 7, 3);
        }
    }
    // Another glyph in the same memory, then smaller and larger boxes.
    const Glyph other = MakeGlyph(18, 18, random);
    std::copy(other.cells.begin(), other.cells.end(), glyph.cells.begin());
    Check(background, glyph, a, all, 7, 3);
    for (const auto& [w, h] : {std::pair{14, 18}, std::pair{18, 7}, std::pair{30, 20}, std::pair{12, 50}}) {
        const Glyph resized = MakeGlyph(w, h, random);
        glyph.cells.resize(std::max(glyph.cells.size(), resized.cells.size()));
        std::copy(resized.cells.begin(), resized.cells.end(), glyph.cells.begin());
        glyph.width = w, glyph.height = h, glyph.pitch = resized.pitch;
        Check(background, glyph, a, all, 7, 3);
    }
}

// More glyphs than the records hold slots for, each drawn, then all drawn
// again: slots given up to other glyphs record them afresh. Every third
// glyph has more steps than a slot records (wide, or one step a row but
// tall), which leave the slots of the others as they were.
TEST_P(GlyphEntryRecordsTest, GlyphsBeyondTheSlotsDrawAsTheAlphaBlit) {
    std::mt19937 random(41);
    const Image background(kImageWidth, kImageHeight, GetParam(), 3);
    std::vector<Glyph> glyphs;
    for (int i = 0; i < GlyphEntryRecords::kSets * GlyphEntryRecords::kWays + 20; ++i) {
        glyphs.push_back(i % 3 != 2 ? MakeGlyph(18, 18, random)
                                    : (i % 2 == 0 ? MakeGlyph(33, 25, random) : MakeGlyph(12, 50, random)));
    }
    for (int round = 0; round < 2; ++round) {
        for (const Glyph& glyph : glyphs) {
            Check(background, glyph, Colors{0x00C0FFEEu, 0x00301000u}, Rect{0, 0, kImageWidth, kImageHeight}, 30, 3);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(PlainImages, GlyphEntryRecordsTest, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "OwnPixels" : "CallerPixelsWiderRows"; });

// The slots a thread's records hand out: one glyph keeps its slot while
// its making holds, another making or glyph finds it holding no step.
TEST(GlyphEntryRecords, ASlotTakenOverHoldsNoStep) {
    GlyphEntryRecords records;
    uint8_t cells[2][64] = {};
    GlyphEntryRecords::Slot* slot = records.SlotFor(cells[0], 7);
    ASSERT_NE(slot, nullptr);
    slot->cells[3][0] = 9;
    slot->cells[GlyphEntryRecords::kSteps - 1][15] = 4;
    EXPECT_EQ(records.SlotFor(cells[0], 7), slot);
    EXPECT_EQ(slot->cells[3][0], 9);
    EXPECT_EQ(records.SlotFor(cells[0], 8), slot);
    EXPECT_EQ(slot->cells[3][0], 0);
    EXPECT_EQ(slot->cells[GlyphEntryRecords::kSteps - 1][15], 0);
    GlyphEntryRecords::Slot* other = records.SlotFor(cells[1], 8);
    other->cells[0][0] = 1;
    EXPECT_EQ(records.SlotFor(cells[1], 8)->cells[0][0], 1);
    records.Clear();
    EXPECT_EQ(records.SlotFor(cells[1], 8)->cells[0][0], 0);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(slot) % 64, 0u);
}

}  // namespace
}  // namespace velk
