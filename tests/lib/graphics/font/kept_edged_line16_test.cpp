// Lines of anti-aliased edged glyphs kept for drawing again over a plain
// 16-bit image: each draw checked pixel by pixel against the alpha blit's
// rule worked out by hand from the inks, whether the line was kept, drawn
// from what was kept, or changed in any part of what it is kept under.
// (Each test on a thread of its own: a thread keeps its own lines.)

#include "lib/graphics/font/kept_edged_line16.h"

#include <algorithm>
#include <array>
#include <functional>
#include <random>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "lib/graphics/font/edged_glyph_writer16.h"
#include "lib/graphics/font/glyph_writer.h"
#include "tests/lib/graphics/font/edged16_rule.h"

namespace velk {
namespace {

using namespace edged16_rule;

constexpr int kPitch = 48, kCellHeight = 24, kCellBytes = kPitch * kCellHeight;

// A glyph cache of `count` cells of random values: a third 0, some whole
// text, the rest anything; now and then a row of nothing.
std::vector<uint8_t> RandomCache(int count, std::mt19937& random) {
    std::vector<uint8_t> cells(static_cast<size_t>(count * kCellBytes) + 8);
    for (size_t row = 0; row < cells.size() / kPitch; ++row) {
        const bool empty = random() % 7 == 0;
        for (int x = 0; x < kPitch; ++x) {
            const int kind = static_cast<int>(random() % 3);
            const int value = empty || kind == 0 ? 0 : kind == 1 ? (15 | (random() % 16) << 4) : random() % 256;
            cells[row * kPitch + static_cast<size_t>(x)] = static_cast<uint8_t>(value);
        }
    }
    return cells;
}

// Inks for the 256 cell values: none for 0, and for the others none, whole
// or part coverage at random, in random colours; and the writer's tables
// made from them, under their stamp.
struct RandomInks {
    std::array<GlyphWriter::Ink, 256> inks{};
    std::array<uint8_t, kEdgedOver16TableBytes> tables{};
    uint64_t stamp = 0;

    explicit RandomInks(std::mt19937& random) {
        for (int v = 1; v < 256; ++v) {
            const int kind = static_cast<int>(random() % 4);
            const auto alpha = static_cast<uint8_t>(kind == 0 ? 0 : kind == 1 ? 255 : 1 + random() % 254);
            inks[static_cast<size_t>(v)] = GlyphWriter::Ink{static_cast<uint32_t>(random() & 0xFFFF), alpha};
        }
        stamp = MakeEdgedOver16Tables(inks.data(), tables.data());
    }
};

// What a value's ink makes of a pixel, as the alpha blit writes it.
uint32_t ByInk(const GlyphWriter::Ink& ink, uint32_t old) {
    if (ink.alpha == 0) return old;
    if (ink.alpha == 255) return ink.pixel;
    const Rgb o = Split(old), s = Split(ink.pixel);
    auto mix = [a = ink.alpha](int dc, int sc) { return (dc * (256 - a) + sc * a) >> 8; };
    return Join({mix(o.r, s.r), mix(o.g, s.g), mix(o.b, s.b)});
}

// A line of glyphs of every width up to 40 and many heights, each from its
// own cell, at tops a little above and below the line; with `squeezed` some
// step back over the one before (boxes that overlap).
std::vector<PlacedGlyph> RandomGlyphs(int count, int cells, bool squeezed, std::mt19937& random) {
    std::vector<PlacedGlyph> glyphs;
    int along = static_cast<int>(random() % 5);
    for (int i = 0; i < count; ++i) {
        const auto width = static_cast<int16_t>(1 + random() % 40);
        const auto height = static_cast<int16_t>(1 + random() % kCellHeight);
        const auto top = static_cast<int16_t>(static_cast<int>(random() % 7) - 3);
        glyphs.push_back(PlacedGlyph{along, static_cast<int32_t>(random() % cells), top, width, height});
        along +=
            squeezed && random() % 3 == 0 ? -static_cast<int>(random() % 8) : width + static_cast<int>(random() % 3);
    }
    return glyphs;
}

class Picture {
public:
    Picture(int width, int height, int pitch = -1) {
        EXPECT_EQ(CreateMemImg(&image_, width, height, pitch, 0, kMemImgFormat16, 0, 0, nullptr), 0);
    }
    ~Picture() { ReleaseMemImg(&image_); }
    Picture(const Picture&) = delete;
    Picture& operator=(const Picture&) = delete;

    const MEMIMG& image() const { return image_; }
    int width() const { return image_.base->width; }
    int height() const { return image_.base->height; }

    std::vector<uint32_t> Fill(std::mt19937& random) {
        std::vector<uint32_t> all;
        for (int y = 0; y < height(); ++y) {
            for (int x = 0; x < width(); ++x) {
                all.push_back(random() & 0xFFFF);
                Store(image_, x, y, all.back());
            }
        }
        return all;
    }
    std::vector<uint32_t> Pixels() const {
        std::vector<uint32_t> all;
        for (int y = 0; y < height(); ++y) {
            for (int x = 0; x < width(); ++x)
                all.push_back(Load(image_, x, y));
        }
        return all;
    }

private:
    MEMIMG image_{};
};

// The line's glyphs over `before` in their order, cut to `clip`, each
// covered pixel made by its value's ink.
std::vector<uint32_t> ByTheRule(std::vector<uint32_t> pixels, int width, const GlyphLine& line, int x, int y,
                                const Rect& clip, const std::array<GlyphWriter::Ink, 256>& inks) {
    const int height = static_cast<int>(pixels.size()) / width;
    for (size_t i = 0; i < line.count; ++i) {
        const PlacedGlyph& g = line.glyphs[i];
        for (int gy = 0; gy < g.height; ++gy) {
            for (int gx = 0; gx < g.width; ++gx) {
                const int px = x + g.along + gx, py = y + g.top + gy;
                if (px < std::max(0, clip.left) || px >= std::min(width, clip.right) || py < std::max(0, clip.top) ||
                    py >= std::min(height, clip.bottom)) {
                    continue;
                }
                const uint8_t value = line.cells[g.cell * line.cell_bytes + gy * line.pitch + gx];
                uint32_t& pixel = pixels[static_cast<size_t>(py * width + px)];
                pixel = ByInk(inks[value], pixel);
            }
        }
    }
    return pixels;
}

void RunOnItsOwnThread(const std::function<void()>& test) { std::thread(test).join(); }

bool MachineRunsThem() { return MachineRunsKeptEdgedLines16() && MachineRunsEdgedOver16(); }

// Lines of every glyph width, with and without overlapping boxes, cut on
// each side and to nothing: the first draw of each (line, clip) is left to
// the caller, the second keeps the line, and every draw from then on is
// drawn from what was kept, exactly as the rule says.
TEST(KeptEdgedLine16Test, ALineIsKeptAtItsSecondDrawAndThenDrawnByTheRule) {
    if (!MachineRunsThem()) GTEST_SKIP() << "the machine has no 512-bit byte permutes";
    RunOnItsOwnThread([] {
        std::mt19937 random(31);
        const std::vector<uint8_t> cache = RandomCache(16, random);
        RandomInks ink(random);
        Picture picture(360, 40);
        for (const bool squeezed : {false, true}) {
            const std::vector<PlacedGlyph> glyphs = RandomGlyphs(14, 16, squeezed, random);
            const GlyphLine line{cache.data(), kCellBytes, kPitch, glyphs.data(), glyphs.size(), 7};
            const int x = 9, y = 6;
            const Rect clips[] = {Rect{0, 0, 360, 40},        Rect{x + 17, 0, 360, 40},
                                  Rect{0, y + 5, 360, 40},    Rect{0, 0, x + 150, 40},
                                  Rect{0, 0, 360, y + 9},     Rect{x + 40, y + 2, x + 41, y + 3},
                                  Rect{x + 60, 0, x + 60, 40}};
            for (const Rect& clip : clips) {
                for (int draw = 0; draw < 4; ++draw) {
                    const std::vector<uint32_t> before = picture.Fill(random);
                    const bool drawn =
                        DrawKeptEdgedLine16(picture.image(), clip, x, y, line, ink.tables.data(), ink.stamp);
                    ASSERT_EQ(drawn, draw > 0) << "squeezed " << squeezed << " draw " << draw;
                    const std::vector<uint32_t> want =
                        drawn ? ByTheRule(before, 360, line, x, y, clip, ink.inks) : before;
                    const std::vector<uint32_t> got = picture.Pixels();
                    for (size_t i = 0; i < got.size(); ++i) {
                        ASSERT_EQ(got[i], want[i])
                            << "squeezed " << squeezed << " clip " << clip.left << "," << clip.top << "," << clip.right
                            << "," << clip.bottom << " draw " << draw << " at " << i % 360 << "," << i / 360;
                    }
                }
            }
        }
    });
}

// A kept line, then each thing it is kept under changed in turn: a glyph
// of the same list (with and without the layout numbers the text engine
// gives its lines), the cache's cells under a new stamp, the inks under new
// tables. Each change is drawn as the line now is (from its second draw on,
// kept anew); the same line at another place, and into an image of another
// pitch, is drawn from what was kept.
TEST(KeptEdgedLine16Test, ALineChangedInWhatItIsKeptUnderIsDrawnAsItIsNow) {
    if (!MachineRunsThem()) GTEST_SKIP() << "the machine has no 512-bit byte permutes";
    RunOnItsOwnThread([] {
        std::mt19937 random(32);
        std::vector<uint8_t> cache = RandomCache(8, random);
        RandomInks ink(random);
        std::vector<PlacedGlyph> glyphs = RandomGlyphs(9, 8, false, random);
        GlyphLine line{cache.data(), kCellBytes, kPitch, glyphs.data(), glyphs.size(), 100};
        Picture picture(300, 36), other(310, 40, 700);
        // (The clip the same about the line's origin at both places.)
        auto draw_and_check = [&](Picture& into, int x, int y, bool kept, const char* what) {
            const Rect clip{x - 4, y - 5, x + 296, y + 31};
            const std::vector<uint32_t> before = into.Fill(random);
            ASSERT_EQ(DrawKeptEdgedLine16(into.image(), clip, x, y, line, ink.tables.data(), ink.stamp), kept) << what;
            const std::vector<uint32_t> want =
                kept ? ByTheRule(before, into.width(), line, x, y, clip, ink.inks) : before;
            ASSERT_EQ(into.Pixels(), want) << what;
        };
        draw_and_check(picture, 4, 5, false, "first");
        draw_and_check(picture, 4, 5, true, "kept");
        glyphs[4].cell = (glyphs[4].cell + 1) % 8;
        draw_and_check(picture, 4, 5, false, "a glyph changed");
        draw_and_check(picture, 4, 5, true, "a glyph changed, kept");
        // The same glyphs laid out again under a layout number: found by
        // comparing them; then another glyph under the next number.
        line.layout = 40;
        draw_and_check(picture, 4, 5, true, "laid out again");
        draw_and_check(picture, 4, 5, true, "laid out again, by its number");
        glyphs[2].top = static_cast<int16_t>(glyphs[2].top + 1);
        line.layout = 41;
        draw_and_check(picture, 4, 5, false, "a glyph changed under a new number");
        draw_and_check(picture, 4, 5, true, "a glyph changed under a new number, kept");
        // Back as they were, without a number: the line kept under 40,
        // found by its glyphs.
        line.layout = 0;
        glyphs[2].top = static_cast<int16_t>(glyphs[2].top - 1);
        draw_and_check(picture, 4, 5, true, "the glyph changed back, without a number");
        for (int i = 0; i < kCellBytes * 8; i += 3)
            cache[static_cast<size_t>(i)] = static_cast<uint8_t>(random());
        line.stamp = 101;
        draw_and_check(picture, 4, 5, false, "cells changed");
        draw_and_check(picture, 4, 5, true, "cells changed, kept");
        ink = RandomInks(random);
        draw_and_check(picture, 4, 5, false, "inks changed");
        draw_and_check(picture, 4, 5, true, "inks changed, kept");
        draw_and_check(other, 9, 7, true, "another place and pitch");
    });
}

// More lines than the memory keeps, each drawn twice in three rounds: lines
// kept, let go and kept again are each drawn by the rule, or left to the
// caller; none is drawn from another's words.
TEST(KeptEdgedLine16Test, MoreLinesThanKeptDrawnInTurnFollowTheRule) {
    if (!MachineRunsThem()) GTEST_SKIP() << "the machine has no 512-bit byte permutes";
    RunOnItsOwnThread([] {
        std::mt19937 random(33);
        const std::vector<uint8_t> cache = RandomCache(40, random);
        RandomInks ink(random);
        constexpr int kLines = 48;
        std::vector<std::vector<PlacedGlyph>> lines;
        for (int i = 0; i < kLines; ++i)
            lines.push_back(RandomGlyphs(40, 40, i % 5 == 0, random));
        Picture picture(900, 32);
        const Rect clip{0, 0, 900, 32};
        int kept = 0;
        for (int round = 0; round < 3; ++round) {
            for (int i = 0; i < kLines; ++i) {
                const GlyphLine line{cache.data(),    kCellBytes, kPitch, lines[static_cast<size_t>(i)].data(),
                                     lines[0].size(), 5};
                for (int draw = 0; draw < 2; ++draw) {
                    const std::vector<uint32_t> before = picture.Fill(random);
                    const bool drawn =
                        DrawKeptEdgedLine16(picture.image(), clip, 3, 4, line, ink.tables.data(), ink.stamp);
                    kept += drawn ? 1 : 0;
                    ASSERT_EQ(picture.Pixels(), drawn ? ByTheRule(before, 900, line, 3, 4, clip, ink.inks) : before)
                        << "round " << round << " line " << i << " draw " << draw;
                }
            }
        }
        EXPECT_GT(kept, kLines);
    });
}

// A line too wide to keep is left to the box writer at every draw.
// Every pixel value under each ink at the ends of what the mix takes: no
// coverage, the least, all but the least and whole coverage, in black,
// white and each channel at its brightest alone. A kept box of 64 columns
// has a row of each ink, and each draw puts 64 new values under every row.
TEST(KeptEdgedLine16Test, EveryPixelValueUnderTheExtremeInksMixesAsTheRule) {
    if (!MachineRunsThem()) GTEST_SKIP() << "the machine has no 512-bit byte permutes";
    RunOnItsOwnThread([] {
        std::array<GlyphWriter::Ink, 256> inks{};
        int rows = 0;
        for (const uint8_t alpha : {0, 1, 254, 255}) {
            for (const uint32_t colour : {0x0000u, 0xFFFFu, 0xF800u, 0x07E0u, 0x001Fu}) {
                inks[static_cast<size_t>(++rows)] = GlyphWriter::Ink{colour, alpha};
            }
        }
        std::array<uint8_t, kEdgedOver16TableBytes> tables{};
        const uint64_t stamp = MakeEdgedOver16Tables(inks.data(), tables.data());
        constexpr int kWidth = 64;
        std::vector<uint8_t> cells(static_cast<size_t>(kWidth * rows));
        for (int row = 0; row < rows; ++row) {
            std::fill_n(cells.begin() + row * kWidth, kWidth, static_cast<uint8_t>(row + 1));
        }
        const PlacedGlyph glyph{0, 0, 0, kWidth, static_cast<int16_t>(rows)};
        const GlyphLine line{cells.data(), static_cast<ptrdiff_t>(cells.size()), kWidth, &glyph, 1, 5};
        Picture picture(kWidth, rows);
        const Rect clip{0, 0, kWidth, rows};
        for (int draw = 0; draw <= 0x10000 / kWidth; ++draw) {
            const int first = (draw - 1) * kWidth;
            for (int y = 0; y < rows; ++y) {
                for (int x = 0; x < kWidth; ++x)
                    Store(picture.image(), x, y, static_cast<uint32_t>((first + x) & 0xFFFF));
            }
            ASSERT_EQ(DrawKeptEdgedLine16(picture.image(), clip, 0, 0, line, tables.data(), stamp), draw > 0);
            for (int y = 0; draw > 0 && y < rows; ++y) {
                for (int x = 0; x < kWidth; ++x) {
                    const auto old = static_cast<uint32_t>((first + x) & 0xFFFF);
                    ASSERT_EQ(Load(picture.image(), x, y), ByInk(inks[static_cast<size_t>(y + 1)], old))
                        << "pixel " << old << " under ink " << inks[static_cast<size_t>(y + 1)].pixel << " of alpha "
                        << int{inks[static_cast<size_t>(y + 1)].alpha};
                }
            }
        }
    });
}

TEST(KeptEdgedLine16Test, ALineTooWideToKeepIsLeftToTheBoxWriter) {
    if (!MachineRunsThem()) GTEST_SKIP() << "the machine has no 512-bit byte permutes";
    RunOnItsOwnThread([] {
        std::mt19937 random(34);
        const std::vector<uint8_t> cache = RandomCache(2, random);
        RandomInks ink(random);
        const std::vector<PlacedGlyph> glyphs{PlacedGlyph{0, 0, 0, 20, 10}, PlacedGlyph{9000, 1, 0, 20, 10}};
        const GlyphLine line{cache.data(), kCellBytes, kPitch, glyphs.data(), glyphs.size(), 9};
        Picture picture(9100, 12);
        const std::vector<uint32_t> before = picture.Fill(random);
        for (int draw = 0; draw < 3; ++draw) {
            EXPECT_FALSE(
                DrawKeptEdgedLine16(picture.image(), Rect{0, 0, 9100, 12}, 0, 1, line, ink.tables.data(), ink.stamp));
        }
        EXPECT_EQ(picture.Pixels(), before);
    });
}

// Strings as the text engine hands them to the writer, drawn frame after
// frame with the writer's own inks: every draw as the rule worked out from
// the text and edge colours says, and as the writer draws them with nothing
// kept.
TEST(KeptEdgedLine16Test, StampedLinesDrawnFrameAfterFrameMatchTheRuleAndTheUnkeptWriter) {
    if (!MachineRunsThem()) GTEST_SKIP() << "the machine has no 512-bit byte permutes";
    RunOnItsOwnThread([] {
        std::mt19937 random(35);
        const std::vector<uint8_t> cache = RandomCache(12, random);
        const std::vector<PlacedGlyph> glyphs = RandomGlyphs(16, 12, true, random);
        const GlyphLine line{cache.data(), kCellBytes, kPitch, glyphs.data(), glyphs.size(), 21};
        Picture picture(420, 40);
        GlyphWriter writer;
        const uint32_t text = 0xFFE0, edge = 0x0811;
        ASSERT_TRUE(writer.Begin(picture.image(), 3, text, edge, 255, 255, 255, true));
        const Rect clip{2, 3, 400, 37};
        for (int frame = 0; frame < 4; ++frame) {
            const std::vector<uint32_t> before = picture.Fill(random);
            KeepEdgedOver16Steps(false);
            writer.WriteLine(picture.image(), clip, 6, 8, line);
            const std::vector<uint32_t> unkept = picture.Pixels();
            for (int y = 0; y < 40; ++y) {
                for (int x = 0; x < 420; ++x)
                    Store(picture.image(), x, y, before[static_cast<size_t>(y * 420 + x)]);
            }
            KeepEdgedOver16Steps(true);
            writer.WriteLine(picture.image(), clip, 6, 8, line);
            ASSERT_EQ(picture.Pixels(), unkept) << "frame " << frame;
            std::vector<uint32_t> want = before;
            for (const PlacedGlyph& g : glyphs) {
                for (int gy = 0; gy < g.height; ++gy) {
                    for (int gx = 0; gx < g.width; ++gx) {
                        const int px = 6 + g.along + gx, py = 8 + g.top + gy;
                        if (px < clip.left || px >= clip.right || py < clip.top || py >= clip.bottom) continue;
                        uint32_t& pixel = want[static_cast<size_t>(py * 420 + px)];
                        pixel = Expected(cache[static_cast<size_t>(g.cell * kCellBytes + gy * kPitch + gx)], text, edge,
                                         pixel);
                    }
                }
            }
            ASSERT_EQ(unkept, want) << "frame " << frame;
        }
    });
}

}  // namespace
}  // namespace velk
