// Drawing: colours, shadows, alignment, ruby, icons and images; the game's
// fonts and icons behind them.

#include "game/present/text_code.h"
#include "tests/game/present/text_fixture.h"

namespace velk {
namespace {

using testing::Sjis;
using testing::TextTest;

class TextDrawTest : public TextTest {
protected:
    void LoadIconFiles(const std::vector<std::pair<std::string, std::string>>& files) {
        for (const auto& [name, bytes] : files) {
            library_.files["Data\\BasicData\\" + name] = bytes;
            library_.foundFiles.push_back(name);
        }
        resources_.LoadIcons();
    }
};

TEST_F(TextDrawTest, ColourRowsAreHeldInsideTheTable) {
    const struct {
        int32_t rows;
        const char* text;
        uint32_t color;
    } cases[] = {
        {16, "\\c[13]a", testing::RowColor(13)},
        {16, "\\c[200]a", testing::RowColor(15)},
        {3, "\\c[5]a", testing::RowColor(2)},
        {0, "\\c[1]a", 0xFFFFFF},
    };
    for (const auto& c : cases) {
        SetColorRows(c.rows);
        library_.textDraws.clear();
        TextBox box = Ready(c.text, 100);
        box.Draw(renderer_, true);
        ASSERT_EQ(library_.textDraws.size(), 1u) << c.text;
        EXPECT_EQ(library_.textDraws[0].color, c.color) << c.text;
    }
}

TEST_F(TextDrawTest, TheShadowSwitchDrawsEveryCharacterTwice) {
    interpreter_.block.sysVar19 = 1;
    TextBox box = Ready("a", 100, 40, 50);
    box.Draw(renderer_, true);
    ASSERT_EQ(library_.textDraws.size(), 2u);
    EXPECT_EQ(library_.textDraws[0].x, 41);
    EXPECT_EQ(library_.textDraws[0].y, 51);
    EXPECT_EQ(library_.textDraws[0].color, 0u);
    EXPECT_EQ(library_.textDraws[1].x, 40);
    EXPECT_EQ(library_.textDraws[1].color, testing::RowColor(0));
}

TEST_F(TextDrawTest, CentredAndRightLinesAlignOnTheWidestMeasuredLine) {
    for (const auto& [code, shift] : {std::pair{"<C>", 12}, std::pair{"<R>", 24}, std::pair{"<L>", 0}}) {
        library_.textDraws.clear();
        TextBox box = Ready(std::string("abcd\n") + code + "ef", 100);
        box.Draw(renderer_, false);
        box.Draw(renderer_, true);
        ASSERT_EQ(library_.textDraws.size(), 6u);
        EXPECT_EQ(library_.textDraws[4].x, shift) << code;
        EXPECT_EQ(library_.textDraws[0].x, 0) << code;
    }
}

TEST_F(TextDrawTest, ScaledBoxesUseTheScaledDraws) {
    TextBox box = Ready("ab", 100, 10, 20);
    box.Draw(renderer_, true, 2.0, 1.5);
    ASSERT_EQ(library_.textDraws.size(), 2u);
    EXPECT_EQ(library_.textDraws[1].x, 10 + 24);
    EXPECT_EQ(library_.textDraws[1].scaleX, 2.0);
    EXPECT_EQ(library_.textDraws[1].scaleY, 1.5);
}

TEST_F(TextDrawTest, ANarrowRubyIsSpreadAndAWideOneCentredAboveItsBase) {
    TextBox spread = Ready("\\r[ab,xy]", 1, 100, 100);
    spread.Draw(renderer_, true);
    // The base in the text's font, then each ruby letter (10 pixels: 5 wide)
    // centred in its half of the 24-pixel base, 10 pixels above the letters.
    ASSERT_EQ(library_.textDraws.size(), 4u);
    EXPECT_EQ(library_.textDraws[2].text, "x");
    EXPECT_EQ(library_.textDraws[2].x, 103);
    EXPECT_EQ(library_.textDraws[3].x, 115);
    EXPECT_EQ(library_.textDraws[3].y, 90);
    EXPECT_EQ(library_.textDraws[3].color, testing::RowColor(13));
    EXPECT_EQ(library_.FontSize(library_.textDraws[3].font), 10);
    EXPECT_EQ(spread.progress, static_cast<double>(spread.workingText.size()));

    library_.textDraws.clear();
    SetColorRows(4);
    TextBox centred = Ready("\\r[a,xyz]", 100, 100, 100);
    centred.Draw(renderer_, true);
    ASSERT_EQ(library_.textDraws.size(), 2u);
    EXPECT_EQ(library_.textDraws[1].text, "xyz");
    EXPECT_EQ(library_.textDraws[1].x, 100 + 6 - 7);
    EXPECT_EQ(library_.textDraws[1].color, testing::RowColor(3));
}

TEST_F(TextDrawTest, IconsSitOnTheLineAndCountAsTwoShownBytes) {
    LoadIconFiles({{"icon003.png", testing::ImageBytes(20, 30)}});
    TextBox box = Box("a\\i[3]b", 5, 7);
    int32_t width = 0, height = 0;
    box.Measure(renderer_, width, height);
    EXPECT_EQ(width, 44);
    EXPECT_EQ(height, 30);
    box.imageYOffset = 2;
    // The letter and the icon are three shown bytes.
    box.progress = 3;
    box.Draw(renderer_, true);
    ASSERT_EQ(library_.graphDraws.size(), 1u);
    const testing::GraphDraw& icon = library_.graphDraws[0];
    EXPECT_EQ(icon.x1, 5 + 12);
    EXPECT_EQ(icon.y1, 7 + 30 - 30 + 2);
    EXPECT_EQ(icon.x2 - icon.x1, 20);
    EXPECT_EQ(icon.y2 - icon.y1, 30);
    EXPECT_EQ(library_.graphDraws[0].graph, resources_.IconHandles()[3]);
    EXPECT_EQ(DrawnText(), "a");
    box.progress = 4;
    box.Draw(renderer_, true);
    EXPECT_EQ(DrawnText(), "aab");
    // Numbers without an icon draw nothing and leave the pen.
    TextBox none = Box("\\i[4]\\i[-1]\\i[9999]a");
    none.Measure(renderer_, width, height);
    EXPECT_EQ(width, 12);
}

TEST_F(TextDrawTest, IconNumbersBeyondTheOldParameterBytesReachTheirIcons) {
    LoadIconFiles({{"icon242.png", testing::ImageBytes(9, 9)}, {"icon255.png", testing::ImageBytes(11, 11)}});
    for (const auto& [text, width] : {std::pair{"\\i[242]", 9}, std::pair{"\\i[255]", 11}}) {
        TextBox box = Box(text);
        int32_t w = 0, h = 0;
        box.Measure(renderer_, w, h);
        EXPECT_EQ(w, width) << text;
    }
}

TEST_F(TextDrawTest, ImagesComeFromTheCacheAndAMissingOneIsReportedOnce) {
    library_.files["Data\\pic\\face.png"] = testing::ImageBytes(40, 48);
    TextBox box = Box("\\img[pic\\face.png]z");
    int32_t width = 0, height = 0;
    box.Measure(renderer_, width, height);
    EXPECT_EQ(width, 52);
    EXPECT_EQ(height, 48);
    ASSERT_NE(cache_.Cells("pic\\face.png"), nullptr);
    TextBox missing = Box("\\img[gone.png]z");
    for (int frame = 0; frame < 3; ++frame)
        missing.Draw(renderer_, true);
    missing.Measure(renderer_, width, height);
    EXPECT_EQ(width, 12);
    EXPECT_EQ(reporter_.messages.size(), 1u);
}

TEST_F(TextDrawTest, FontSlotsEdgesAndSizesPickTheirFonts) {
    resources_.SetupFonts({"FaceA", "FaceB", "", ""}, true);
    TextBox box = Ready("a\\font[1]\\E\\f[30]b", 100);
    box.Draw(renderer_, true);
    ASSERT_EQ(library_.textDraws.size(), 2u);
    const testing::FakeFont& first = library_.fonts[library_.textDraws[0].font];
    const testing::FakeFont& second = library_.fonts[library_.textDraws[1].font];
    EXPECT_EQ(first.face, "FaceA");
    EXPECT_EQ(first.type, 0);
    EXPECT_EQ(first.thickness, 5);
    EXPECT_EQ(second.face, "FaceB");
    EXPECT_EQ(second.type, 1);
    EXPECT_EQ(second.size, 30);
    EXPECT_EQ(library_.defaultFace, "FaceA");
}

TEST_F(TextDrawTest, SetupFontsFallsBackToTheDefaultFaceAndFlagsInstalledFacesExactly) {
    library_.installedFaces = {Sjis("ＭＳ ゴシック"), "Velk Gothic"};
    resources_.SetupFonts({"", "velk gothic", "Velk Gothic", ""}, false);
    EXPECT_EQ(resources_.FontNames()[0], Sjis("ＭＳ ゴシック"));
    EXPECT_EQ(resources_.FontCharset(0), -1);
    EXPECT_EQ(resources_.FontCharset(1), 0);
    EXPECT_EQ(resources_.FontCharset(2), -1);
    EXPECT_EQ(resources_.FontType(0), 2);
    EXPECT_EQ(resources_.FontType(1), 3);
    EXPECT_GE(library_.fontResets, 2);
}

TEST_F(TextDrawTest, AFaceThatCannotBeMadeIsReportedOnceAndReplaced) {
    library_.refusedFaces = {"Missing"};
    resources_.SetupFonts({"Missing", "", "", ""}, false);
    const int font = resources_.GetFont(0, 24, 5, 0);
    EXPECT_NE(font, -1);
    EXPECT_EQ(library_.fonts[font].face, Sjis("ＭＳ ゴシック"));
    ASSERT_EQ(reporter_.boxes.size(), 1u);
    EXPECT_EQ(reporter_.boxes[0].line1, "Missing");
    EXPECT_EQ(reporter_.boxes[0].line2, Sjis("のフォントがありせんでした"));
    EXPECT_EQ(resources_.GetFont(0, 24, 5, 0), font);
}

TEST_F(TextDrawTest, ManySizesNeverRunTheFontTableOut) {
    for (int round = 0; round < 2; ++round) {
        for (int size = 10; size < 130; ++size) {
            for (int edge = 0; edge < 2; ++edge)
                ASSERT_NE(resources_.GetFont(size % 4, size, 5, edge), -1) << size;
        }
    }
    EXPECT_TRUE(reporter_.boxes.empty());
    EXPECT_EQ(library_.tableFull, 0);
}

TEST_F(TextDrawTest, IconsLoadFromTheListFileUpToItsFirstEmptyLine) {
    library_.lineFiles["Data\\BasicData\\EncodedIconList.xxxxx"] = {"icon001.png", "icon5.png", "", "icon009.png"};
    for (const char* name : {"icon001.png", "icon5.png", "icon009.png"}) {
        library_.files[std::string("Data\\BasicData\\") + name] = testing::ImageBytes(12, 14);
    }
    resources_.LoadIcons();
    ASSERT_EQ(resources_.IconHandles().size(), 6u);
    EXPECT_GT(resources_.IconHandles()[1], 0);
    EXPECT_GT(resources_.IconHandles()[5], 0);
    EXPECT_EQ(resources_.IconWidth(5), 12);
    EXPECT_EQ(resources_.IconHeight(1), 14);
    EXPECT_TRUE(library_.patterns.empty());
}

TEST_F(TextDrawTest, WithoutAListTheIconFilesAreFoundAndLoadingAgainFreesTheOldOnes) {
    LoadIconFiles({{"icon005.png", testing::ImageBytes(8, 8)},
                   {"icon123.png", testing::ImageBytes(9, 9)},
                   {"icon-12.png", testing::ImageBytes(9, 9)},
                   {"icon123.PNG", testing::ImageBytes(10, 10)}});
    EXPECT_EQ(library_.patterns.back(), "Data\\BasicData\\icon???.png");
    ASSERT_EQ(resources_.IconHandles().size(), 124u);
    EXPECT_EQ(resources_.IconWidth(123), 10);
    EXPECT_EQ(library_.live.size(), 2u);
    resources_.LoadIcons();
    EXPECT_EQ(library_.live.size(), 2u);
}

// Texts pieced together from code fragments, broken ones included: the
// conversion ends, its TextCodes are whole and carry no control byte as a
// parameter, and laying out and drawing them reads nothing outside the text.
TEST_F(TextDrawTest, TextsOfCodeFragmentsConvertAndDrawSafely) {
    LoadIconFiles({{"icon001.png", testing::ImageBytes(8, 8)}});
    store_.SetString(3000001, "\\c[2]s");
    const char* const fragments[] = {"\\c[",   "]",    "\\",       "\\i[",   "12",    "-3",  "\\r[",    ",",
                                     "\\img[", "\x83", "\\\\",     "<C>",    "\n",    "\r",  "a",       "\\sp[",
                                     "0",      "\\-[", "\\space[", "\\s[1]", "\\f[",  "999", "\\font[", "\\E",
                                     "\\!",    "\\.",  "\\^",      "\\m[",   "\\mx[", "300", "\\v[",    "\x01"};
    uint32_t seed = 12345;
    auto next = [&seed] { return seed = seed * 1103515245u + 12345u, seed >> 16; };
    for (int round = 0; round < 500; ++round) {
        std::string text;
        const uint32_t pieces = next() % 24;
        for (uint32_t i = 0; i < pieces; ++i)
            text += fragments[next() % std::size(fragments)];
        const std::string converted = ConvertEscapeCodes(store_, text, EscapeCodeOptions{});
        for (size_t i = 0; i < converted.size();) {
            const size_t length = TextUnitLength(converted, i);
            ASSERT_GT(length, 0u);
            if (converted[i] == kTextCodeStart && length > 2) {
                for (size_t p = i + 2; p < i + length; ++p) {
                    if (converted[i + 1] == kCodeWide && p == i + 2) continue;
                    // The spacing code's byte is its value itself, never 0 or 13.
                    if (converted[i + 1] == kCodeSpacing) {
                        ASSERT_NE(converted[p], 0) << text;
                        ASSERT_NE(converted[p], 13) << text;
                        continue;
                    }
                    ASSERT_GE(static_cast<uint8_t>(converted[p]), 14) << text;
                }
            }
            i += length;
        }
        TextBox box;
        box.shownText = converted;
        box.instant = true;
        int32_t width = 0, height = 0;
        box.Measure(renderer_, width, height);
        box.Draw(renderer_, true);
        box.Draw(renderer_, true, 1.5, 0.5);
    }
}

}  // namespace
}  // namespace velk
