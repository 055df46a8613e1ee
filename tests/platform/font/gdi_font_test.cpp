#include "platform/font/gdi_font.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/base/text_encoding.h"
#include "platform/font/font_face_catalog.h"
#include "tests/support/scratch_dir.h"

namespace velk::platform {
namespace {

const std::string kGothicFace = Utf8ToShiftJis("ＭＳ ゴシック");
constexpr uint16_t kHiraganaA = 0x82A0;  // あ
constexpr uint16_t kKanjiHyou = 0x955C;  // 表: its trail byte is a backslash
constexpr uint16_t kFullWidthSpace = 0x8140;

std::unique_ptr<GdiFont> MakeFont(const std::string& face, int height, int weight = 400) {
    FontRequest request;
    request.face = face;
    request.height = height;
    request.weight = weight;
    request.charset = kShiftJisCharset;
    return CreateGdiFont(request);
}

int CountInk(const std::vector<uint8_t>& bits) {
    int ink = 0;
    for (uint8_t b : bits) ink += b != 0;
    return ink;
}

TEST(GdiFont, PositiveHeightIsTheCellHeight) {
    for (int height : {12, 16, 22, 24, 32}) {
        auto font = MakeFont(kGothicFace, height);
        ASSERT_NE(font, nullptr);
        const TextMetrics& m = font->Metrics();
        EXPECT_EQ(m.height, height) << height;
        EXPECT_EQ(m.ascent + m.descent, height) << height;
        EXPECT_GT(m.ascent, m.descent);
        EXPECT_GE(m.max_char_width, height / 2);
        // A full-width character advances by about the em size, which is a
        // little less than the cell height.
        GlyphMetrics glyph;
        ASSERT_TRUE(font->GetGlyphOutline(kHiraganaA, GlyphFormat::kMetrics, &glyph, nullptr));
        // Standing in for a system face whose em fills the cell, a
        // full-width character is exactly as wide as the cell is high.
        EXPECT_EQ(glyph.cell_inc_x, height);
    }
}

TEST(GdiFont, SystemJapaneseFacesAreServedByInstalledOnes) {
    auto gothic = MakeFont(kGothicFace, 16);
    auto mincho = MakeFont(Utf8ToShiftJis("ＭＳ 明朝"), 16);
    ASSERT_NE(gothic, nullptr);
    ASSERT_NE(mincho, nullptr);
    EXPECT_EQ(gothic->FaceName(), kGothicFace);
    EXPECT_NE(ShiftJisToUtf8(gothic->FaceName()).find("ゴシック"), std::string::npos);
}

TEST(GdiFont, UnknownFaceFallsBackToAFaceWithKanji) {
    auto font = MakeFont("No Such Face At All", 16);
    ASSERT_NE(font, nullptr);
    GlyphMetrics glyph;
    std::vector<uint8_t> bits;
    ASSERT_TRUE(font->GetGlyphOutline(kKanjiHyou, GlyphFormat::kBitmap, &glyph, &bits));
    EXPECT_GT(CountInk(bits), 10);
    // No face name of our own: the one in use.
    EXPECT_FALSE(font->FaceName().empty());
}

TEST(GdiFont, GlyphBitmapsInBothFormats) {
    auto font = MakeFont(kGothicFace, 24);
    ASSERT_NE(font, nullptr);
    for (uint16_t code : {uint16_t{'A'}, kHiraganaA, kKanjiHyou}) {
        GlyphMetrics mono_metrics, grey_metrics;
        std::vector<uint8_t> mono, grey;
        ASSERT_TRUE(font->GetGlyphOutline(code, GlyphFormat::kBitmap, &mono_metrics, &mono)) << code;
        ASSERT_TRUE(font->GetGlyphOutline(code, GlyphFormat::kGray4, &grey_metrics, &grey)) << code;
        EXPECT_EQ(mono.size(), GlyphRowPitch(GlyphFormat::kBitmap, mono_metrics.black_box_x) * mono_metrics.black_box_y);
        EXPECT_EQ(grey.size(), GlyphRowPitch(GlyphFormat::kGray4, grey_metrics.black_box_x) * grey_metrics.black_box_y);
        EXPECT_EQ(GlyphRowPitch(GlyphFormat::kGray4, grey_metrics.black_box_x) % 4, 0);
        EXPECT_GT(CountInk(mono), 10);
        uint8_t top_level = 0;
        for (uint8_t level : grey) {
            EXPECT_LE(level, 16);
            top_level = std::max(top_level, level);
        }
        EXPECT_EQ(top_level, 16);
        EXPECT_GT(mono_metrics.origin_y, 0);
        EXPECT_LE(mono_metrics.origin_y, font->Metrics().ascent + 1);
    }
}

TEST(GdiFont, SpacesAdvanceButShowNothing) {
    auto font = MakeFont(kGothicFace, 16);
    ASSERT_NE(font, nullptr);
    GlyphMetrics space;
    std::vector<uint8_t> bits;
    ASSERT_TRUE(font->GetGlyphOutline(kFullWidthSpace, GlyphFormat::kGray4, &space, &bits));
    EXPECT_EQ(CountInk(bits), 0);
    EXPECT_GT(space.cell_inc_x, 8);
    ASSERT_TRUE(font->GetGlyphOutline(' ', GlyphFormat::kBitmap, &space, &bits));
    EXPECT_GT(space.cell_inc_x, 0);
}

TEST(GdiFont, BoldIsWiderThanRegular) {
    auto regular = MakeFont(kGothicFace, 16, 400);
    auto bold = MakeFont(kGothicFace, 16, 700);
    GlyphMetrics a, b;
    ASSERT_TRUE(regular->GetGlyphOutline('W', GlyphFormat::kMetrics, &a, nullptr));
    ASSERT_TRUE(bold->GetGlyphOutline('W', GlyphFormat::kMetrics, &b, nullptr));
    EXPECT_EQ(b.cell_inc_x, a.cell_inc_x + 1);
}

TEST(FontFaceCatalog, AddedFontFileIsFoundByItsNameAndRemovedAgain) {
    velk::testing::ScratchDir dir;
    const std::filesystem::path installed = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
    if (!std::filesystem::exists(installed)) {
        GTEST_SKIP() << "no font file to add";
    }
    const auto copy = dir.path() / "GameFont.ttf";
    std::filesystem::copy_file(installed, copy);
    auto& catalog = FontFaceCatalog::Instance();
    ASSERT_GT(catalog.AddFontFile(copy.string()), 0);
    auto found = catalog.Find("dejavu sans");
    ASSERT_TRUE(found.has_value());
    EXPECT_EQ(found->file, copy.string());
    EXPECT_TRUE(catalog.RemoveFontFile(copy.string()));
    found = catalog.Find("DejaVu Sans");
    ASSERT_TRUE(found.has_value());
    EXPECT_NE(found->file, copy.string());
    EXPECT_FALSE(catalog.AddFontFile((dir.path() / "missing.ttf").string()) > 0);
}

TEST(FontFaceCatalog, ListsJapaneseFacesByBothNamesOnce) {
    const auto faces = FontFaceCatalog::Instance().List();
    int english = 0;
    int japanese = 0;
    for (const auto& face : faces) {
        const std::string name = ShiftJisToUtf8(face.name);
        english += name == "IPAGothic";
        japanese += name == "IPAゴシック";
        if (name == "IPAGothic") {
            EXPECT_TRUE(face.japanese);
            EXPECT_TRUE(face.truetype);
        }
    }
    EXPECT_EQ(english, 1);
    EXPECT_EQ(japanese, 1);
}

}  // namespace
}  // namespace velk::platform
