// Fills and copies of display surfaces at every pixel size, on rows wide
// enough for the loops that take many pixels a step and with widths that
// leave a remainder, checked pixel by pixel against the rule itself: a keyed
// pixel is one whose colour bits lie within the key's range.

#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

#include "platform/display/surface_pixel_loops.h"
#include "tests/platform/display/display_fixture.h"

namespace velk::platform::testing {
namespace {

class SurfaceCopyTest : public DisplayTest {
protected:
    static uint32_t Get(DdSurface& surface, int bits, int x, int y) {
        uint32_t value = 0;
        std::memcpy(&value, surface.row(y) + x * (bits / 8), static_cast<size_t>(bits / 8));
        return value;
    }
    static void Set(DdSurface& surface, int bits, int x, int y, uint32_t value) {
        std::memcpy(surface.row(y) + x * (bits / 8), &value, static_cast<size_t>(bits / 8));
    }
    void FillWhole(DdSurface& surface, uint32_t value) {
        DdBltFx fx;
        fx.fill_color = value;
        ASSERT_EQ(surface.Blt(nullptr, nullptr, nullptr, kDdBltColorFill, &fx), kDdOk);
    }
};

struct KeyCase {
    int bits;
    uint32_t low, high;           // the key as set
    uint32_t colour_bits;         // what the format compares
    std::vector<uint32_t> keyed;  // values inside the range
    std::vector<uint32_t> shown;  // values just outside it
};

// Ranges that straddle the middle of each pixel size (where a signed compare
// would go wrong), single values, and for 32 bits the unused top byte.
std::vector<KeyCase> KeyCases() {
    return {
        {8, 0x7F, 0x81, 0xFF, {0x7F, 0x80, 0x81}, {0x7E, 0x82, 0x00, 0xFF}},
        {8, 0x00, 0x00, 0xFF, {0x00}, {0x01, 0x80, 0xFF}},
        {16, 0x7FFF, 0x8001, 0xFFFF, {0x7FFF, 0x8000, 0x8001}, {0x7FFE, 0x8002, 0x0000, 0xFFFF}},
        {16, 0xF81F, 0xF81F, 0xFFFF, {0xF81F}, {0xF81E, 0xF83F, 0x0000}},
        {32, 0x7FFFFF, 0x800001, 0xFFFFFF, {0x7FFFFF, 0x800000, 0xFF800001}, {0x7FFFFE, 0x800002, 0xFFFFFF}},
        {32, 0xFF00FF, 0xFF00FF, 0xFFFFFF, {0xFF00FF, 0xFFFF00FF, 0x01FF00FF}, {0xFF00FE, 0xFF01FF, 0}},
        {32, 0xFFFFFE, 0xFFFFFF, 0xFFFFFF, {0xFFFFFE, 0xFFFFFFFF}, {0xFFFFFD, 0x00FFFFFD}},
    };
}

// The source's value at (x, y): every third pixel keyed, the others just
// outside the range, so that each step of sixteen bytes mixes both.
uint32_t PatternValue(const KeyCase& c, int x, int y) {
    const int i = x + y * 7;
    if (i % 3 == 0) return c.keyed[static_cast<size_t>(i / 3) % c.keyed.size()];
    return c.shown[static_cast<size_t>(i) % c.shown.size()];
}

TEST_F(SurfaceCopyTest, KeyedCopiesSkipExactlyTheKeyedPixelsAtEveryPixelSize) {
    constexpr int kWidth = 37;
    constexpr int kHeight = 3;
    for (const KeyCase& c : KeyCases()) {
        SCOPED_TRACE(c.bits);
        auto source = MakeSurface(kWidth + 2, kHeight + 1, c.bits);
        auto dest = MakeSurface(kWidth + 5, kHeight + 3, c.bits);
        for (int y = 0; y < kHeight + 1; ++y)
            for (int x = 0; x < kWidth + 2; ++x)
                Set(*source, c.bits, x, y, PatternValue(c, x, y));
        DdColorKey key{c.low, c.high};
        ASSERT_EQ(source->SetColorKey(kDdCkeySrcBlt, &key), kDdOk);
        const uint32_t background = c.bits == 8 ? 0x5A : 0x5A5A;
        FillWhole(*dest, background);
        // From (1, 1) of the source to (3, 2): rows start off any alignment.
        const Rect from{1, 1, 1 + kWidth, 1 + kHeight};
        ASSERT_EQ(dest->BltFast(3, 2, source.get(), &from, kDdBltFastSrcColorKey), kDdOk);
        for (int y = 0; y < kHeight + 3; ++y) {
            for (int x = 0; x < kWidth + 5; ++x) {
                uint32_t want = background;
                if (x >= 3 && x < 3 + kWidth && y >= 2 && y < 2 + kHeight) {
                    const uint32_t value = PatternValue(c, x - 3 + 1, y - 2 + 1);
                    const uint32_t bits = value & c.colour_bits;
                    const bool keyed = bits >= (c.low & c.colour_bits) && bits <= (c.high & c.colour_bits);
                    if (!keyed) want = value;
                }
                ASSERT_EQ(Get(*dest, c.bits, x, y), want) << x << "," << y;
            }
        }
    }
}

TEST_F(SurfaceCopyTest, AKeyWhoseRangeIsEmptyKeysNothingAndPlainCopiesIgnoreTheKey) {
    for (const int bits : {8, 16, 32}) {
        SCOPED_TRACE(bits);
        auto source = MakeSurface(40, 1, bits);
        for (int x = 0; x < 40; ++x)
            Set(*source, bits, x, 0, static_cast<uint32_t>(x % 8));
        DdColorKey backwards{5, 3};
        ASSERT_EQ(source->SetColorKey(kDdCkeySrcBlt, &backwards), kDdOk);
        auto dest = MakeSurface(40, 2, bits);
        FillWhole(*dest, 0x77);
        ASSERT_EQ(dest->BltFast(0, 0, source.get(), nullptr, kDdBltFastSrcColorKey), kDdOk);
        DdColorKey four{4, 4};
        ASSERT_EQ(source->SetColorKey(kDdCkeySrcBlt, &four), kDdOk);
        ASSERT_EQ(dest->BltFast(0, 1, source.get(), nullptr, 0), kDdOk);
        for (int x = 0; x < 40; ++x) {
            ASSERT_EQ(Get(*dest, bits, x, 0), static_cast<uint32_t>(x % 8)) << x;
            ASSERT_EQ(Get(*dest, bits, x, 1), static_cast<uint32_t>(x % 8)) << x;
        }
    }
}

TEST_F(SurfaceCopyTest, ScaledKeyedCopiesTakeTheSourcePixelUnderEachCentre) {
    for (const int bits : {8, 16, 32}) {
        SCOPED_TRACE(bits);
        auto source = MakeSurface(21, 3, bits);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 21; ++x)
                Set(*source, bits, x, y, x % 4 == 1 ? 0x11 : static_cast<uint32_t>(0x20 + x + y));
        DdColorKey key{0x11, 0x11};
        ASSERT_EQ(source->SetColorKey(kDdCkeySrcBlt, &key), kDdOk);
        auto dest = MakeSurface(50, 7, bits);
        FillWhole(*dest, 0x66);
        // 21 x 3 onto 42 x 6 at (4, 1): every source pixel twice each way.
        Rect to{4, 1, 46, 7};
        ASSERT_EQ(dest->Blt(&to, source.get(), nullptr, kDdBltKeySrc, nullptr), kDdOk);
        for (int y = 0; y < 7; ++y) {
            for (int x = 0; x < 50; ++x) {
                uint32_t want = 0x66;
                if (x >= 4 && x < 46 && y >= 1) {
                    const int sx = (x - 4) / 2, sy = (y - 1) / 2;
                    if (sx % 4 != 1) want = static_cast<uint32_t>(0x20 + sx + sy);
                }
                ASSERT_EQ(Get(*dest, bits, x, y), want) << x << "," << y;
            }
        }
    }
}

TEST_F(SurfaceCopyTest, CopiesWithinOneSurfaceReadEveryPixelBeforeItIsWritten) {
    // Down and right by one, then up and left by one: whichever way the rows
    // run, a pixel read after its neighbour was written would show.
    auto surface = MakeSurface(40, 4, 32);
    const auto original = [](int x, int y) { return static_cast<uint32_t>(0x100 * y + x + 1); };
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 40; ++x)
            Put32(*surface, x, y, original(x, y));
    const Rect top_left{0, 0, 39, 3};
    ASSERT_EQ(surface->BltFast(1, 1, surface.get(), &top_left, 0), kDdOk);
    for (int y = 1; y < 4; ++y)
        for (int x = 1; x < 40; ++x)
            ASSERT_EQ(Pixel32(*surface, x, y), original(x - 1, y - 1)) << x << "," << y;

    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 40; ++x)
            Put32(*surface, x, y, original(x, y));
    DdColorKey none{0xFFFFFF, 0xFFFFFF};
    surface->SetColorKey(kDdCkeySrcBlt, &none);
    const Rect bottom_right{1, 1, 40, 4};
    ASSERT_EQ(surface->BltFast(0, 0, surface.get(), &bottom_right, kDdBltFastSrcColorKey), kDdOk);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 39; ++x)
            ASSERT_EQ(Pixel32(*surface, x, y), original(x + 1, y + 1)) << x << "," << y;
    // Apart, the two rectangles of one surface copy as any two would.
    const Rect left{0, 0, 10, 1};
    ASSERT_EQ(surface->BltFast(20, 3, surface.get(), &left, 0), kDdOk);
    for (int x = 0; x < 10; ++x)
        ASSERT_EQ(Pixel32(*surface, 20 + x, 3), original(x + 1, 1)) << x;
}

TEST_F(SurfaceCopyTest, FillsCoverTheRectangleAndNothingBeside) {
    for (const int bits : {8, 16, 32}) {
        SCOPED_TRACE(bits);
        auto surface = MakeSurface(45, 4, bits);
        FillWhole(*surface, 0);
        const uint32_t value = bits == 8 ? 0xC3 : bits == 16 ? 0xBEEF : 0x12345678;
        DdBltFx fx;
        fx.fill_color = value | (bits < 32 ? 0xAB000000u : 0);  // bits above the pixel are dropped
        Rect area{2, 1, 41, 3};                                 // 39 pixels: a remainder after every step size
        ASSERT_EQ(surface->Blt(&area, nullptr, nullptr, kDdBltColorFill, &fx), kDdOk);
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 45; ++x) {
                const bool inside = x >= 2 && x < 41 && y >= 1 && y < 3;
                ASSERT_EQ(Get(*surface, bits, x, y), inside ? value : 0u) << x << "," << y;
            }
    }
}

// Values whose bytes are all alike take the C library's fill: over a part of
// each row, and over whole surfaces whose rows follow each other (48 pixels
// of 8, 16 and 32 bits leave no padding) as one block.
TEST_F(SurfaceCopyTest, FillsOfOneRepeatedByteCoverTheRectangleAndNothingBeside) {
    for (const int bits : {8, 16, 32}) {
        SCOPED_TRACE(bits);
        auto surface = MakeSurface(48, 4, bits);
        const uint32_t whole = bits == 8 ? 0x3C : bits == 16 ? 0x3C3C : 0x3C3C3C3C;
        FillWhole(*surface, whole);
        DdBltFx fx;
        fx.fill_color = bits == 32 ? 0xFFFFFFFFu : 0xABFFFFFFu;  // bits above the pixel are dropped
        const uint32_t value = bits == 8 ? 0xFF : bits == 16 ? 0xFFFF : 0xFFFFFFFF;
        Rect area{3, 1, 44, 3};
        ASSERT_EQ(surface->Blt(&area, nullptr, nullptr, kDdBltColorFill, &fx), kDdOk);
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 48; ++x) {
                const bool inside = x >= 3 && x < 44 && y >= 1 && y < 3;
                ASSERT_EQ(Get(*surface, bits, x, y), inside ? value : whole) << x << "," << y;
            }
    }
    // Only the low byte repeated is not a byte fill.
    auto surface = MakeSurface(48, 2, 32);
    FillWhole(*surface, 0x000000FF);
    for (int x = 0; x < 48; ++x)
        ASSERT_EQ(Get(*surface, 32, x, 1), 0xFFu) << x;
}

// 32-bit values of unlike bytes (the screen's black with its unused byte
// set) over whole rows: where the rows follow each other (48 pixels) the
// rows filled are one block, which must stop at the last row asked for;
// with bytes between the rows (45 pixels) the padding keeps its bytes.
TEST_F(SurfaceCopyTest, FillsOfWholeRowsStopAtTheirLastRowAndSkipThePadding) {
    for (const uint32_t width : {48u, 45u}) {
        SCOPED_TRACE(width);
        auto surface = MakeSurface(width, 6, 32);
        FillWhole(*surface, 0x11223344);
        DdSurfaceDesc desc;
        ASSERT_EQ(surface->GetSurfaceDesc(&desc), kDdOk);
        const int32_t pitch = desc.pitch;
        std::vector<uint8_t> padding(static_cast<size_t>(pitch) - width * 4, 0x5A);
        for (int y = 0; y < 6 && !padding.empty(); ++y)
            std::memcpy(surface->row(y) + width * 4, padding.data(), padding.size());
        DdBltFx fx;
        fx.fill_color = 0xFF000000u;
        Rect rows{0, 1, static_cast<int32_t>(width), 5};
        ASSERT_EQ(surface->Blt(&rows, nullptr, nullptr, kDdBltColorFill, &fx), kDdOk);
        for (int y = 0; y < 6; ++y) {
            for (uint32_t x = 0; x < width; ++x)
                ASSERT_EQ(Get(*surface, 32, static_cast<int>(x), y), y >= 1 && y < 5 ? 0xFF000000u : 0x11223344u)
                    << x << "," << y;
            if (!padding.empty()) {
                EXPECT_EQ(std::memcmp(surface->row(y) + width * 4, padding.data(), padding.size()), 0) << y;
            }
        }
    }
}

// Lowers the keyed copies to one width for a scope.
class ScopedPixelLoopWidth {
public:
    explicit ScopedPixelLoopWidth(PixelLoopWidth width) { LimitPixelLoopWidth(width); }
    ~ScopedPixelLoopWidth() { LimitPixelLoopWidth(PixelLoopWidth::kAvx512); }
};

// Random copies at every pixel size, with every form of the keyed copy the
// machine runs, against the rule pixel by pixel: widths from one pixel to
// past several wide steps, rows starting anywhere, keys of single values
// and of ranges (across the middle of the pixel's range too), pixels drawn
// near the key's bounds so that keyed and shown ones mix in every step.
TEST_F(SurfaceCopyTest, EveryFormOfTheKeyedCopyAgreesWithThePlainRule) {
    std::mt19937 random(46);
    const auto pick = [&](uint32_t below) { return static_cast<uint32_t>(random() % below); };
    std::vector<PixelLoopWidth> widths{PixelLoopWidth::kSse2};
    if (MachinePixelLoopWidth() >= PixelLoopWidth::kAvx2) widths.push_back(PixelLoopWidth::kAvx2);
    if (MachinePixelLoopWidth() >= PixelLoopWidth::kAvx512) widths.push_back(PixelLoopWidth::kAvx512);
    for (const PixelLoopWidth width : widths) {
        const ScopedPixelLoopWidth limit(width);
        for (const int bits : {8, 16, 32}) {
            SCOPED_TRACE(::testing::Message() << "width form " << static_cast<int>(width) << ", " << bits << " bits");
            const uint32_t colour_bits = bits == 8 ? 0xFF : bits == 16 ? 0xFFFF : 0xFFFFFF;
            auto source = MakeSurface(200, 6, bits);
            auto dest = MakeSurface(210, 8, bits);
            for (int round = 0; round < 60; ++round) {
                const uint32_t low = pick(colour_bits + 1);
                const uint32_t high = round % 3 == 0 ? low : std::min(colour_bits, low + pick(300));
                // Near the bounds, anywhere, and for 32 bits with any top byte.
                const auto value = [&] {
                    uint32_t v;
                    switch (pick(3)) {
                        case 0: v = low + pick(5) - 2; break;
                        case 1: v = high + pick(5) - 2; break;
                        default: v = static_cast<uint32_t>(random()); break;
                    }
                    v &= colour_bits;
                    if (bits == 32) v |= pick(256) << 24;
                    return v;
                };
                for (int y = 0; y < 6; ++y)
                    for (int x = 0; x < 200; ++x)
                        Set(*source, bits, x, y, value());
                for (int y = 0; y < 8; ++y)
                    for (int x = 0; x < 210; ++x)
                        Set(*dest, bits, x, y, static_cast<uint32_t>(random()) & (bits == 32 ? ~0u : colour_bits));
                DdColorKey key{low, high};
                ASSERT_EQ(source->SetColorKey(kDdCkeySrcBlt, &key), kDdOk);
                const int w = round < 20 ? round + 1 : 1 + static_cast<int>(pick(190));
                const int h = 1 + static_cast<int>(pick(6));
                const int sx = static_cast<int>(pick(static_cast<uint32_t>(200 - w + 1)));
                const int sy = static_cast<int>(pick(static_cast<uint32_t>(6 - h + 1)));
                const int dx = static_cast<int>(pick(static_cast<uint32_t>(210 - w + 1)));
                const int dy = static_cast<int>(pick(static_cast<uint32_t>(8 - h + 1)));
                std::vector<uint32_t> want(210 * 8);
                for (int y = 0; y < 8; ++y)
                    for (int x = 0; x < 210; ++x)
                        want[static_cast<size_t>(y * 210 + x)] = Get(*dest, bits, x, y);
                for (int y = 0; y < h; ++y)
                    for (int x = 0; x < w; ++x) {
                        const uint32_t v = Get(*source, bits, sx + x, sy + y);
                        const uint32_t c = v & colour_bits;
                        if (c < low || c > high) want[static_cast<size_t>((dy + y) * 210 + dx + x)] = v;
                    }
                const Rect from{sx, sy, sx + w, sy + h};
                ASSERT_EQ(dest->BltFast(dx, dy, source.get(), &from, kDdBltFastSrcColorKey), kDdOk);
                for (int y = 0; y < 8; ++y)
                    for (int x = 0; x < 210; ++x)
                        ASSERT_EQ(Get(*dest, bits, x, y), want[static_cast<size_t>(y * 210 + x)])
                            << "round " << round << " at " << x << "," << y << ": " << w << "x" << h << " from " << sx
                            << "," << sy << " to " << dx << "," << dy << ", key " << low << "-" << high;
            }
        }
    }
}

}  // namespace
}  // namespace velk::platform::testing
