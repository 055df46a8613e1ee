#include <gtest/gtest.h>

#include <tuple>

#include "lib/core/log.h"
#include "lib/graphics/font/font_handles.h"
#include "lib/graphics/font/font_log_texts.h"
#include "lib/graphics/font/font_table.h"
#include "lib/graphics/font/text_draw.h"
#include "lib/core/string_format.h"
#include "tests/lib/graphics/font/font_fixture.h"

namespace velk::testing {
namespace {

// "ＭＳ ゴシック"
const char kFallbackFace[] = "\x82\x6C\x82\x72\x20\x83\x53\x83\x56\x83\x62\x83\x4E";

using Requests = std::vector<std::pair<std::string, int>>;

int MakeFont(const char* face = nullptr, int size = -1, int type = -1, int edge = -1) {
    return CreateFontToHandle(face, size, -1, type, -1, edge, 0);
}

int FreeSlotCount() {
    int free = 0;
    for (int slot = 0; slot < kFontHandleSlots; ++slot) free += font_table::AtSlot(slot) == nullptr ? 1 : 0;
    return free;
}

TEST_F(FontTest, TheTableHoldsFortyFontsAndDeletingOneFreesItsSlot) {
    UseFakeFonts();
    std::vector<int> fonts;
    while (FreeSlotCount() > 0) {
        const int font = MakeFont();
        ASSERT_NE(font, -1);
        fonts.push_back(font);
    }
    EXPECT_EQ(MakeFont(), -1);
    EXPECT_TRUE(LogHas(FormatString(font_log::kLogFontLimit, 40)));
    // The game goes on making fonts after deleting one: the freed slot is
    // taken again, and the handle kept of the deleted font stays refused.
    const int deleted = fonts[5];
    ASSERT_EQ(DeleteFontToHandle(deleted), 0);
    const int reused = MakeFont();
    ASSERT_NE(reused, -1);
    EXPECT_EQ(reused & 0xFFFF, deleted & 0xFFFF);
    EXPECT_NE(reused, deleted);
    EXPECT_EQ(CheckFontHandleValid(deleted), 0);
    EXPECT_EQ(DeleteFontToHandle(deleted), -1);
    EXPECT_EQ(GetFontSizeToHandle(deleted), -1);
    EXPECT_EQ(CheckFontHandleValid(reused), 1);
}

TEST_F(FontTest, HandlesCarryKindCheckAndSlot) {
    UseFakeFonts();
    const int font = CreateFontToHandle(nullptr, 20, 3, 0, -1, -1, 0, 7, 2047);
    ASSERT_NE(font, -1);
    EXPECT_EQ(font, static_cast<int>(kFontHandleType | (2047u << 16) | 7u));
    EXPECT_EQ(CreateFontToHandle(nullptr, 20, 3, 0, -1, -1, 0, 7, -1), -1) << "slot 7 is taken";
    EXPECT_EQ(CreateFontToHandle(nullptr, 20, 3, 0, -1, -1, 0, 40, -1), -1);
    EXPECT_EQ(GetFontData(font | 0x08000000), nullptr) << "another kind";
    EXPECT_EQ(GetFontData(-1), nullptr);
    EXPECT_EQ(GetFontData(static_cast<int>(kFontHandleType | 45u)), nullptr);
    EXPECT_EQ(GetFontSizeToHandle(font), 20);
}

TEST_F(FontTest, DefaultsAndTheEdgeBit) {
    UseFakeFonts();
    const int plain = MakeFont(nullptr, -1, -1, 1);
    const FontData* p = GetFontData(plain);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->charset, kFontCharsetShiftJis);
    EXPECT_EQ(p->edge_size, 1);
    const FontData* edged = GetFontData(MakeFont(nullptr, -1, 0, 3));
    ASSERT_NE(edged, nullptr);
    EXPECT_EQ(edged->font_type, 1);
    EXPECT_EQ(edged->edge_size, 3);
    // A cell fits the widest character with a pixel on each side and the
    // edges, in eighths, and is at least the (even) cell height.
    EXPECT_EQ(p->cell_height, 16);
    EXPECT_EQ(p->cell_size, 24);  // 16 + 2 -> 24
    EXPECT_EQ(edged->cell_height, 22);
    EXPECT_EQ(edged->cell_size, 24);  // 16 + 2 + 6 -> 24
}

TEST_F(FontTest, CellsOfTheWidestCharacterAndTheHeight) {
    FakeFontSettings s;
    s.max_char_width = 28;
    s.height = 30;
    s.ascent = 25;
    UseFakeFonts(s);
    const FontData* font = GetFontData(MakeFont());
    ASSERT_NE(font, nullptr);
    EXPECT_EQ(font->cell_size, 32);
    EXPECT_EQ(font->cell_count, 327680 / (32 * 32));
    EXPECT_EQ(font->cache_height, font->cell_count * 32);
    FakeSettings().height = 41;  // odd heights become even, and win over the width
    const FontData* tall = GetFontData(MakeFont());
    ASSERT_NE(tall, nullptr);
    EXPECT_EQ(tall->cell_height, 42);
    EXPECT_EQ(tall->cell_size, 42);
}

TEST_F(FontTest, AnAbsurdSizeIsRefusedInsteadOfAllocated) {
    FakeFontSettings s;
    s.height = 5000;
    s.max_char_width = 5000;
    UseFakeFonts(s);
    EXPECT_EQ(MakeFont(nullptr, 5000), -1);
    EXPECT_TRUE(LogHas(font_log::kLogFontCacheMemoryFailed));
}

TEST_F(FontTest, NamedFacesFallBackThroughTheCharacterSets) {
    FakeFontSettings s;
    s.refused_charsets = {platform::kHangeulCharset, platform::kDefaultCharset};
    UseFakeFonts(s);
    FakeLog().requests.clear();
    const int font = CreateFontToHandle("Game Face", 16, 4, 0, kFontCharsetHangeul, -1, 0);
    ASSERT_NE(font, -1);
    EXPECT_EQ(FakeLog().requests, (Requests{{"Game Face", platform::kHangeulCharset},
                                            {"Game Face", platform::kDefaultCharset},
                                            {"Game Face", platform::kShiftJisCharset}}));
    std::string face;
    int size = 0, thickness = 0;
    ASSERT_EQ(GetFontStateToHandle(&face, &size, &thickness, font), 0);
    EXPECT_EQ(face, "Game Face");
    EXPECT_EQ(size, 16);
    EXPECT_EQ(thickness, 4);

    FakeSettings().refused_faces = {"Game Face"};
    EXPECT_EQ(CreateFontToHandle("Game Face", 16, 4, 0, kFontCharsetHangeul, -1, 0), -1);
    EXPECT_TRUE(LogHas(font_log::kLogNamedFontFailed));
}

TEST_F(FontTest, NoFaceAsksForTheSystemGothicThenForAnyFace) {
    FakeFontSettings s;
    s.refused_faces = {kFallbackFace};
    UseFakeFonts(s);
    FakeLog().requests.clear();
    const int font = MakeFont("");
    ASSERT_NE(font, -1);
    EXPECT_EQ(FakeLog().requests, (Requests{{kFallbackFace, platform::kShiftJisCharset},
                                            {kFallbackFace, platform::kDefaultCharset},
                                            {"", platform::kDefaultCharset}}));
    EXPECT_EQ(GetFontData(font)->face_name, "");

    FakeSettings().refused_faces = {kFallbackFace, ""};
    EXPECT_EQ(MakeFont(nullptr), -1);
    EXPECT_TRUE(LogHas(font_log::kLogFontFailed));
}

TEST_F(FontTest, DeletionNotifiesItsOwner) {
    UseFakeFonts();
    const int font = MakeFont();
    int flag = 7;
    ASSERT_EQ(SetFontDeleteNotifyFlag(font, &flag), 0);
    EXPECT_EQ(flag, 0);
    ASSERT_EQ(DeleteFontToHandle(font), 0);
    EXPECT_EQ(flag, 1);
    EXPECT_EQ(SetFontDeleteNotifyFlag(font, &flag), -1);
}

TEST_F(FontTest, TheDefaultFontIsMadeAgainOnlyWhenItsParametersChange) {
    UseFakeFonts();
    const int first = GetDefaultFontHandle();
    ASSERT_NE(first, -1);
    EXPECT_EQ(GetFontSizeToHandle(first), 16);
    FakeLog().requests.clear();
    EXPECT_EQ(SetDefaultFontSize(16), 0);
    EXPECT_EQ(SetDefaultFontSize(-1), 0);
    EXPECT_EQ(GetDefaultFontHandle(), first);
    EXPECT_TRUE(FakeLog().requests.empty());

    EXPECT_EQ(SetDefaultFontSize(24), 0);
    const int second = GetDefaultFontHandle();
    EXPECT_NE(second, first);
    EXPECT_EQ(CheckFontHandleValid(first), 0);
    EXPECT_EQ(GetFontSizeToHandle(second), 24);

    EXPECT_EQ(SetDefaultFontType(2), 0);
    EXPECT_EQ(GetFontData(GetDefaultFontHandle())->font_type, 2);
    EXPECT_EQ(SetDefaultFontSizeAndThickness(12, 3), 0);
    int size = 0, thickness = 0;
    GetFontStateToHandle(nullptr, &size, &thickness, GetDefaultFontHandle());
    EXPECT_EQ(size, 12);
    EXPECT_EQ(thickness, 3);
    EXPECT_EQ(SetDefaultFontFace("Another", -1), 0);
    EXPECT_EQ(GetFontData(GetDefaultFontHandle())->face_name, "Another");
    const int settled = GetDefaultFontHandle();
    FakeLog().requests.clear();
    GetStringWidth("abc", -1);
    EXPECT_EQ(GetDefaultFontHandle(), settled);
    EXPECT_TRUE(FakeLog().requests.empty());
}

TEST_F(FontTest, AnAntiAliasedDefaultOnAnEightBitScreenIsNotMadeEveryTime) {
    UseFakeFonts();
    SetScreenBits(8);
    SetDefaultFontType(2);
    const int font = GetDefaultFontHandle();
    EXPECT_EQ(GetFontData(font)->font_type, 0);
    GetStringWidth("abc", -1);
    EXPECT_EQ(GetDefaultFontHandle(), font);
}

TEST_F(FontTest, InitFontHandlesKeepsOnlyTheDefaultFont) {
    UseFakeFonts();
    SetDefaultFontSize(20);
    const int other = MakeFont();
    ASSERT_EQ(InitFontHandles(), 0);
    EXPECT_EQ(CheckFontHandleValid(other), 0);
    EXPECT_EQ(GetFontSizeToHandle(GetDefaultFontHandle()), 20);
    EXPECT_EQ(FreeSlotCount(), kFontHandleSlots - 1);
    EXPECT_TRUE(LogHas(font_log::kLogFontInitStart));
    EXPECT_TRUE(LogHas(font_log::kLogFontInitDone));
}

TEST_F(FontTest, RecreatingAllFontsKeepsEveryHandleAndItsSpacing) {
    UseFakeFonts();
    const int a = CreateFontToHandle("A", 12, 2, 3, kFontCharsetDefault, 2, 1, 9, 100);
    const int b = MakeFont(nullptr, 30);
    ASSERT_EQ(SetFontSpaceToHandle(3, a), 0);
    // Put a glyph in the cache: the re-made font starts empty.
    GetStringWidthToHandle("x", -1, a);
    ASSERT_EQ(RecreateAllFontHandles(), 0);
    const FontData* remade = GetFontData(a);
    ASSERT_NE(remade, nullptr);
    EXPECT_EQ(std::make_tuple(remade->face_name, remade->size, remade->thickness, remade->font_type, remade->charset,
                              remade->edge_size, remade->italic, remade->spacing),
              std::make_tuple(std::string("A"), 12, 2, 3, int{kFontCharsetDefault}, 2, 1, 3));
    EXPECT_EQ(remade->code_index[static_cast<unsigned char>('x')].in_cache, 0);
    EXPECT_EQ(GetFontSizeToHandle(b), 30);
    EXPECT_EQ(CheckFontHandleValid(GetDefaultFontHandle()), 1);
}

TEST_F(FontTest, TheCheckCounterWrapsAfter2047) {
    UseFakeFonts();
    int last = -1;
    for (int i = 0; i < 2100; ++i) {
        const int font = MakeFont();
        ASSERT_NE(font, -1);
        if (last != -1) {
            const int previous = (last >> 16) & 0x7FF;
            EXPECT_EQ((font >> 16) & 0x7FF, (previous + 1) % 2048);
        }
        last = font;
        DeleteFontToHandle(font);
    }
}

TEST_F(FontTest, EndingFontManagementLeavesNoFont) {
    UseFakeFonts();
    MakeFont();
    MakeFont();
    ASSERT_EQ(EndFontManagement(), 0);
    EXPECT_EQ(FreeSlotCount(), kFontHandleSlots);
    EXPECT_EQ(CheckFontHandleValid(GetDefaultFontHandle()), 0);
    ASSERT_EQ(InitFontManagement(), 0);
    EXPECT_EQ(CheckFontHandleValid(GetDefaultFontHandle()), 1);
}

TEST_F(FontTest, NothingIsMadeWhileTheDisplayDeviceIsMissing) {
    struct MissingDevice : SoftwareHost {
        bool DirectDrawExists() const override { return false; }
    } missing;
    SetGraphicsHost(&missing);
    EXPECT_EQ(MakeFont(), -1);
    EXPECT_EQ(InitFontHandles(), -1);
    EXPECT_EQ(SetDefaultFontSizeAndThickness(20, 2), -1);
    SetGraphicsHost(&host_);
}

TEST(FontFaceNames, CountsOnceAndFilters) {
    std::vector<std::string> all;
    const int count = ListFontFaceNames(&all, 0, 0);
    EXPECT_EQ(count, static_cast<int>(all.size()));
    EXPECT_EQ(ListFontFaceNames(nullptr, 0, 0), count);
    std::sort(all.begin(), all.end());
    EXPECT_EQ(std::adjacent_find(all.begin(), all.end()), all.end());
    for (const auto& name : all) EXPECT_NE(name[0], '@');

    std::vector<std::string> japanese;
    const int japanese_count = ListFontFaceNames(&japanese, 0, 1);
    EXPECT_GT(japanese_count, 0);
    EXPECT_LT(japanese_count, count);
    EXPECT_NE(std::find(japanese.begin(), japanese.end(), platform::Utf8ToShiftJis("IPAゴシック")), japanese.end());

    std::vector<std::string> two;
    EXPECT_EQ(ListFontFaceNames(&two, 2, 0), 2);
    EXPECT_EQ(two.size(), 2u);
}

}  // namespace
}  // namespace velk::testing
