// Fonts of the installed Japanese faces, through the platform's font stand-in.

#include <gtest/gtest.h>

#include <filesystem>

#include "lib/graphics/font/glyph_cache.h"
#include "lib/graphics/font/text_draw.h"
#include "platform/font/font_face_catalog.h"
#include "tests/lib/graphics/font/font_fixture.h"

namespace velk::testing {
namespace {

class InstalledFontTest : public FontTest {
protected:
    const std::string gothic_ = Sjis("ＭＳ ゴシック");

    // Ink of a character's cell: set bits (1-bit cells) or levels above 0,
    // and whether any level lies strictly between none and full.
    struct CellInk {
        int ink = 0;
        bool partial = false;
        bool full = false;
    };
    CellInk InkOf(int font, const std::string& character) {
        FontData* record = GetFontData(font);
        EXPECT_GT(GetStringWidthToHandle(character.c_str(), -1, font), 0);
        CharacterCodes codes;
        SplitCharacterCodes(character.c_str(), character.size(), record->charset, &codes);
        const GlyphEntry* entry = FindGlyph(*record, codes[0]);
        const uint8_t* cell = GlyphCellPixels(*record, *entry);
        CellInk result;
        for (int y = 0; y < entry->height; ++y) {
            for (int x = 0; x < entry->width; ++x) {
                int value = record->cache_bits == 1 ? (cell[y * record->cache_pitch + x / 8] >> (x % 8)) & 1
                                                    : cell[y * record->cache_pitch + x] & 0x0F;
                result.ink += value != 0 ? 1 : 0;
                result.partial |= value > 0 && value < 15;
                result.full |= value == 15 || (record->cache_bits == 1 && value == 1);
            }
        }
        return result;
    }
};

TEST_F(InstalledFontTest, APositiveSizeIsTheCellHeight) {
    for (int size : {12, 16, 22, 24, 32}) {
        const int font = CreateFontToHandle(gothic_.c_str(), size, 4, 0, -1, -1, 0);
        ASSERT_NE(font, -1) << size;
        const FontData* record = GetFontData(font);
        const platform::TextMetrics& metrics = record->gdi_font->Metrics();
        EXPECT_EQ(metrics.height, size);
        EXPECT_EQ(metrics.ascent + metrics.descent, size);
        EXPECT_EQ(record->cell_height, (size + 1) & ~1);
        EXPECT_GE(record->cell_size, record->cell_height);
        // A full-width character takes about the em square, a little less
        // than the cell; a half-width one half of it.
        const int wide = GetStringWidthToHandle(Sjis("漢").c_str(), -1, font);
        const int narrow = GetStringWidthToHandle("A", -1, font);
        EXPECT_LE(wide, size);
        EXPECT_GE(wide, size * 3 / 4);
        EXPECT_NEAR(narrow * 2, wide, 1);
        // Thickness 6 (the default) is drawn bold, one pixel wider a character.
        const int bold = CreateFontToHandle(gothic_.c_str(), size, 6, 0, -1, -1, 0);
        EXPECT_EQ(GetStringWidthToHandle("A", -1, bold), narrow + 1);
        DeleteFontToHandle(bold);
        DeleteFontToHandle(font);
    }
}

TEST_F(InstalledFontTest, AsciiKanaAndKanjiInBothForms) {
    const int bitmap = CreateFontToHandle(gothic_.c_str(), 24, -1, 0, -1, -1, 0);
    const int grey = CreateFontToHandle(gothic_.c_str(), 24, -1, 2, -1, -1, 0);
    for (const char* text : {"A", "g", "あ", "カ", "漢", "表"}) {
        const std::string character = Sjis(text);
        const CellInk bits = InkOf(bitmap, character);
        const CellInk levels = InkOf(grey, character);
        EXPECT_GT(bits.ink, 15) << text;
        EXPECT_TRUE(bits.full) << text;
        EXPECT_GT(levels.ink, 15) << text;
        EXPECT_TRUE(levels.partial) << text;
        EXPECT_TRUE(levels.full) << text;
    }
    // Descenders reach below the baseline.
    const FontData* record = GetFontData(bitmap);
    const GlyphEntry* g = FindGlyph(*GetFontData(bitmap), 'g');
    EXPECT_GT(g->top + g->height, record->ascent);
}

TEST_F(InstalledFontTest, AnUnknownFaceStillShowsKanji) {
    const int font = CreateFontToHandle("No Such Face", 16, -1, 0, -1, -1, 0);
    ASSERT_NE(font, -1);
    EXPECT_EQ(GetFontData(font)->face_name, "No Such Face");
    const std::string used = GetFontData(font)->gdi_font->FaceName();
    bool japanese = false;
    for (const auto& face : platform::FontFaceCatalog::Instance().List()) {
        japanese |= face.name == used && face.japanese;
    }
    EXPECT_TRUE(japanese) << platform::ShiftJisToUtf8(used);
    // Two different kanji: not the same missing-character box twice.
    const CellInk a = InkOf(font, Sjis("漢"));
    const CellInk b = InkOf(font, Sjis("字"));
    EXPECT_GT(a.ink, 20);
    EXPECT_NE(a.ink, b.ink);
}

TEST_F(InstalledFontTest, AFontAddedFromTheGameFolderIsFoundByItsName) {
    const std::filesystem::path installed = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
    if (!std::filesystem::exists(installed)) GTEST_SKIP() << "no font file to add";
    const auto copy = dir_.path() / "GameFont.ttf";
    std::filesystem::copy_file(installed, copy);
    auto& catalog = platform::FontFaceCatalog::Instance();
    ASSERT_GT(catalog.AddFontFile(copy.string()), 0);
    ASSERT_EQ(catalog.Find("DejaVu Sans")->file, copy.string());
    const int font = CreateFontToHandle("DejaVu Sans", 16, -1, 0, -1, -1, 0);
    const int fallback = CreateFontToHandle(nullptr, 16, -1, 0, -1, -1, 0);
    ASSERT_NE(font, -1);
    EXPECT_EQ(GetFontData(font)->gdi_font->FaceName(), "DejaVu Sans");
    EXPECT_NE(GetStringWidthToHandle("WWWW", -1, font), GetStringWidthToHandle("WWWW", -1, fallback));
    EXPECT_TRUE(catalog.RemoveFontFile(copy.string()));
}

}  // namespace
}  // namespace velk::testing
