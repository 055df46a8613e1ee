// The picture part of a save against bytes worked out by hand, its round
// trip, older versions without the effects or the map link, and damaged or
// short data.

#include <tuple>

#include "game/data/byte_writer.h"
#include "game/data/data_texts.h"
#include "game/data/save_stream.h"
#include "game/data/text_format.h"
#include "game/data/variable_store.h"
#include "game/present/text_code.h"
#include "tests/game/present/picture_fixture.h"

namespace velk::testing {
namespace {

class PictureSaveTest : public PictureTest {
protected:
    std::vector<uint8_t> Written() {
        ByteWriter out;
        EXPECT_TRUE(pictures_.WriteSave(out));
        return out.Bytes();
    }
    // Reads `bytes` of `version` into the list.
    bool Read(std::vector<uint8_t> bytes, uint16_t version = SaveStream::kCurrentVersion, bool load = true) {
        SaveStream in(std::move(bytes));
        in.version = version;
        const bool read = pictures_.ReadSave(in, load);
        EXPECT_EQ(read, !in.errorFlag);
        return read;
    }
};

// Little-endian words, for the hand-worked layouts.
void Put32(std::vector<uint8_t>& bytes, std::initializer_list<int32_t> values) {
    for (int32_t value : values) {
        const auto v = static_cast<uint32_t>(value);
        bytes.insert(bytes.end(), {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
                                   static_cast<uint8_t>(v >> 24)});
    }
}

TEST_F(PictureSaveTest, AnEmptyListIsTwoZeroBytes) {
    EXPECT_EQ(Written(), (std::vector<uint8_t>{0x00, 0x00}));
    pictures_.Show(1, 1, "pic.png", At(0, 0), 0, false);
    EXPECT_TRUE(Read({0x00, 0x00}));
    EXPECT_TRUE(pictures_.Pictures().empty());
}

TEST_F(PictureSaveTest, OneSettledPictureWritesTheBytesWorkedOutByHand) {
    library_.files["Data\\ab"] = ImageBytes(8, 8);
    PictureArguments a = At(10, -2);
    a.anchor = 3;
    a.color = 150 * 65536 + 100 * 256 + 0;
    pictures_.Show(7, 7, "ab", a, 0, false);
    Frames(1);
    std::vector<uint8_t> expected = {
        0x01, 0x00,                                            // one picture
        0x07, 0x00, 0x00, 0x00,                                // id 7
        0x00, 0x00,                                            // not erasing, not removed
        0x03, 0x00,                                            // anchor 3
        0x00, 0x00,                                            // an image, not a window
        0x03, 0x00, 'a',  'b',  0x00, 0x0A, 0x00, 0x00, 0x00,  // x 10
        0xFE, 0xFF, 0xFF, 0xFF,                                // y -2
        0x01, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00,        // 1 x 1 cells
        0x01, 0x00, 0x00, 0x00,                                // pattern 1
        0xFF, 0x00, 0x00, 0x00,                                // opacity 255
        0x00, 0x00, 0x00, 0x00,                                // blend kind 0
        0xFF, 0xFF, 0xFF, 0xFF,                                // remaining -1
        0x00, 0x00, 0x00, 0x00,                                // total 0
        0x64, 0x00, 0x00, 0x00, 0x64, 0x00, 0x00, 0x00,        // zoom 100, 100
        0x00, 0x00, 0x00, 0x00,                                // angle 0
    };
    // Colour 150, 100, 0 stores +127, 0, -255, to and from alike.
    Put32(expected, {127, 0, -255, 127, 0, -255});
    // Tone (100, 100, 100) packed, to and from; no tone, no offset, no zoom
    // about a point (its zoom 100 both ways).
    Put32(expected, {0x646464, 0x646464, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 100, 100});
    expected.push_back(0x00);  // not linked to the map
    EXPECT_EQ(Written(), expected);

    pictures_.Clear(true);
    ASSERT_TRUE(Read(expected));
    const Picture& p = P(7);
    EXPECT_EQ(p.fileName, "ab");
    EXPECT_FALSE(p.hidden);
    EXPECT_EQ(p.cells.size(), 1u);
    EXPECT_EQ(p.anchor, 3);
    EXPECT_EQ(p.yTarget, -2);
    EXPECT_EQ(p.colorTarget, (std::array<int32_t, 3>{127, 0, -255}));
    EXPECT_EQ(Written(), expected);
}

TEST_F(PictureSaveTest, EveryKindOfPictureComesBackAsItWasSaved) {
    PictureArguments image = At(40, 30, 20);
    image.divisionsX = 4;
    image.pattern = 3;
    image.blendWord = 2 | kMapLinkBit;
    image.zoomX = 150;
    image.angle = 450;
    pictures_.Show(-100000, -100000, "pic.png", image, 0, false);
    PictureArguments frame = At(5, 6);
    frame.divisionsX = 48;
    frame.divisionsY = 40;
    pictures_.Show(3, 3, "frame.png", frame, 0, true);
    pictures_.ShowString(200000, 200000, "abc", At(1, 2), 0);
    pictures_.SetEffectRange(-100000, -100000, 1, -50, 0, 50, 9);
    pictures_.SetEffectRange(-100000, -100000, 2, 7, 8, 0, 9);
    pictures_.SetEffectRange(-100000, -100000, 4, 320, 240, 150, 9);
    pictures_.EraseRange(3, 3, 30, 0, kNeutralPackedColor);
    Frames(4);
    const std::vector<uint8_t> saved = Written();
    const std::vector<Picture> before = pictures_.Pictures();

    pictures_.Clear(true);
    ASSERT_TRUE(Read(saved));
    ASSERT_EQ(Ids(), (std::vector<int32_t>{-100000, 3, 200000}));
    for (size_t i = 0; i < before.size(); ++i) {
        const Picture& a = before[i];
        const Picture& b = pictures_.Pictures()[i];
        EXPECT_EQ(a.fileName, b.fileName);
        EXPECT_EQ(a.textBox.shownText, b.textBox.shownText);
        EXPECT_EQ(a.erasing, b.erasing);
        EXPECT_EQ(a.windowPicture, b.windowPicture);
        EXPECT_EQ(a.mapLinked, b.mapLinked);
        EXPECT_EQ(a.divisionsX, b.divisionsX);
        EXPECT_EQ(a.divisionsY, b.divisionsY);
        EXPECT_EQ(a.cellWidth, b.cellWidth);
        EXPECT_EQ(a.cells.size(), b.cells.size());
        EXPECT_EQ(a.pattern, b.pattern);
        EXPECT_EQ(a.remaining, b.remaining);
        EXPECT_EQ(a.total, b.total);
        EXPECT_EQ(a.zoomXTarget, b.zoomXTarget);
        EXPECT_EQ(a.angleTarget, b.angleTarget);
        EXPECT_EQ(a.toneTarget, b.toneTarget);
        EXPECT_EQ(a.toneRemaining, b.toneRemaining);
        EXPECT_EQ(a.offsetXFrom, b.offsetXFrom);
        EXPECT_EQ(a.centerZoomTarget, b.centerZoomTarget);
        EXPECT_FALSE(b.hidden);
        // The start values are not saved: a loaded picture shows its targets.
        EXPECT_EQ(pictures_.GetProperty(b.id, 0), b.xTarget);
    }
    EXPECT_EQ(Written(), saved);
}

TEST_F(PictureSaveTest, OlderSavesLackTheEffectsAndTheMapLink) {
    pictures_.Show(1, 1, "pic.png", At(0, 0), 0, false);
    pictures_.SetEffectRange(1, 1, 1, -100, 0, 0, 5);
    std::vector<uint8_t> saved = Written();
    // The map link byte is the last; the 18 effect words stand before it.
    std::vector<uint8_t> before107(saved.begin(), saved.end() - 1);
    std::vector<uint8_t> before105(saved.begin(), saved.end() - 1 - 18 * 4);
    for (uint16_t version : {105, 106}) {
        ASSERT_TRUE(Read(before107, version));
        EXPECT_EQ(P(1).toneTarget, 0x006464) << version;
    }
    ASSERT_TRUE(Read(before105, 104));
    EXPECT_EQ(P(1).toneTarget, kNeutralPackedColor);
    EXPECT_FALSE(Read(before105, 107));

    // From 107 each picture's link byte stands before the next picture.
    PictureArguments linked = At(0, 0);
    linked.blendWord = kMapLinkBit;
    pictures_.Show(2, 2, "pic.png", linked, 0, false);
    const std::vector<uint8_t> both = Written();
    ASSERT_TRUE(Read(both, 107));
    EXPECT_EQ(Ids(), (std::vector<int32_t>{1, 2}));
    EXPECT_FALSE(P(1).mapLinked);
    EXPECT_TRUE(P(2).mapLinked);
    std::vector<uint8_t> unlinked = both;
    unlinked.pop_back();
    unlinked.erase(unlinked.begin() + static_cast<std::ptrdiff_t>(saved.size()) - 1);
    ASSERT_TRUE(Read(unlinked, 106));
    EXPECT_EQ(Ids(), (std::vector<int32_t>{1, 2}));
    EXPECT_FALSE(P(2).mapLinked);
}

TEST_F(PictureSaveTest, DataThatEndsEarlyIsRefusedAndTheShownPicturesStay) {
    pictures_.Show(1, 2, "pic.png", At(0, 0), 0, false);
    pictures_.ShowString(3, 3, "text", At(0, 0), 0);
    const std::vector<uint8_t> saved = Written();
    pictures_.Clear(false);
    pictures_.Show(9, 9, "wide.png", At(0, 0), 0, false);
    for (size_t length = 0; length < saved.size(); ++length) {
        EXPECT_FALSE(Read(std::vector<uint8_t>(saved.begin(), saved.begin() + static_cast<std::ptrdiff_t>(length))))
            << length;
        ASSERT_EQ(Ids(), (std::vector<int32_t>{9})) << length;
    }
    // A negative count, a count the data cannot hold, and a text without
    // its zero byte.
    EXPECT_FALSE(Read({0xFF, 0xFF}));
    std::vector<uint8_t> many = {0xFF, 0x7F};
    many.resize(2 + 84 * 100, 0);
    EXPECT_FALSE(Read(many, 104, false));
    ASSERT_EQ(Ids(), (std::vector<int32_t>{9}));
    std::vector<uint8_t> unended = {0x01, 0x00, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x04, 0x00, 'a', 'b', 'c', 'd'};
    unended.resize(unended.size() + 200, 0);
    ASSERT_TRUE(Read(unended, 111, false));
    EXPECT_EQ(P(1).fileName, "abcd");
}

TEST_F(PictureSaveTest, APictureWhoseFileIsGoneLoadsWithoutCellsAndIsNotDrawn) {
    library_.files["Data\\old.png"] = ImageBytes(8, 8);
    PictureArguments a = At(0, 0);
    pictures_.Show(1, 1, "old.png", a, 0, false);
    const std::vector<uint8_t> saved = Written();
    pictures_.Clear(true);
    library_.files.erase("Data\\old.png");
    ASSERT_TRUE(Read(saved));
    EXPECT_EQ(reporter_.messages.size(), 1u);
    EXPECT_TRUE(P(1).hidden);
    EXPECT_TRUE(P(1).cells.empty());
    drawing_.Take();
    pictures_.DrawBand(0);
    EXPECT_TRUE(drawing_.Take().empty());
    // Its record stays: it is saved again as it was.
    EXPECT_EQ(Written(), saved);
}

TEST_F(PictureSaveTest, StringPicturesFromASaveStayWithinTheBoundAndTheSaveLoads) {
    // Laid out, a text of 4000 bytes is held three times: two fit in 30000
    // bytes. Read without loading it is held once: two fit in 10000.
    const std::string text(4000, 'a');
    pictures_.ShowString(1, 3, text, At(0, 0), 0);
    const std::vector<uint8_t> saved = Written();
    for (const size_t limit : {30000, 10000}) {
        pictures_.Clear(true);
        SetHeldStringLimit(limit);
        const bool read = Read(saved, SaveStream::kCurrentVersion, limit == 30000);
        SetHeldStringLimit(kMaxHeldStringBytes);
        ASSERT_TRUE(read) << limit;
        EXPECT_EQ(P(2).textBox.shownText, text) << limit;
        // The picture past the bound keeps its record without its text and
        // is not drawn, as one whose file is gone.
        EXPECT_TRUE(P(3).stringPicture);
        EXPECT_TRUE(P(3).textBox.shownText.empty()) << limit;
        EXPECT_TRUE(P(3).hidden);
        EXPECT_LE(pictures_.HeldTextBytes(), limit);
        // Only a load asks the player.
        ASSERT_EQ(reporter_.boxes.size(), 1u) << limit;
    }
    EXPECT_EQ(reporter_.boxes[0].line1, FormatText(texts::kStringTooLong, 30000));
}

TEST_F(PictureSaveTest, AStringPicturesTextLongerThanItsFieldIsSavedCutAfterItsLastWholeCharacter) {
    // The field holds 65534 bytes and the zero byte. A character's lead byte
    // is not kept without its trail byte, nor a TextCode without its
    // parameter.
    const std::string pair = "\x82\xA0";
    struct Case {
        std::string text;
        size_t kept;
    };
    const Case cases[] = {
        {std::string(65534, 'a'), 65534},
        {std::string(70000, 'a'), 65534},
        {std::string(65533, 'a') + pair + "bb", 65533},
        {std::string(65532, 'a') + EncodeByteCode(kCodeColor, 2) + "bb", 65532},
        {std::string(65530, 'a') + pair + pair + "bb", 65534},
    };
    const auto idOf = [&cases](const Case& c) { return static_cast<int32_t>(&c - cases) + 1; };
    for (const Case& c : cases)
        pictures_.ShowString(idOf(c), idOf(c), c.text, At(0, 0), 0);
    const std::vector<uint8_t> saved = Written();
    pictures_.Clear(true);
    ASSERT_TRUE(Read(saved));
    for (const Case& c : cases) {
        SCOPED_TRACE(idOf(c));
        EXPECT_EQ(P(idOf(c)).textBox.shownText, c.text.substr(0, c.kept));
        EXPECT_FALSE(P(idOf(c)).hidden);
    }
    EXPECT_TRUE(reporter_.boxes.empty());
}

TEST_F(PictureSaveTest, APatternBeyondTheCellsFromASaveDrawsNothing) {
    pictures_.Show(1, 1, "pic.png", At(0, 0), 0, false);
    Frames(1);
    std::vector<uint8_t> saved = Written();
    // The pattern word follows the 2 + 4 + 6 + 2 + 8 + 16 bytes before it.
    saved[2 + 4 + 6 + 2 + 8 + 16] = 9;
    pictures_.Clear(true);
    ASSERT_TRUE(Read(saved));
    EXPECT_EQ(P(1).pattern, 9);
    drawing_.Take();
    pictures_.DrawBand(0);
    const auto calls = drawing_.Take();
    EXPECT_EQ(std::count_if(calls.begin(), calls.end(), [](const std::string& c) { return c.rfind("scaled", 0) == 0; }),
              0);
}

// A save may hold one id twice. A show over a range walks such a list as it
// walks any: an id that does not meet the picture in its place is made
// there, so the second picture of the id stays untouched behind the made ones.
TEST_F(PictureSaveTest, AShowOverARangeWalksIdsASaveHoldsTwiceInPlace) {
    const auto recordOf = [&](int32_t id) {
        pictures_.Clear(true);
        pictures_.Show(id, id, "pic.png", At(10, 10), 0, false);
        Frames(1);
        const std::vector<uint8_t> bytes = Written();
        return std::vector<uint8_t>(bytes.begin() + 2, bytes.end());
    };
    const std::vector<uint8_t> five = recordOf(5), nine = recordOf(9);
    std::vector<uint8_t> saved = {0x03, 0x00};
    for (const auto* record : {&five, &five, &nine})
        saved.insert(saved.end(), record->begin(), record->end());
    for (const auto& [first, last, ids, shown] :
         std::vector<std::tuple<int32_t, int32_t, std::vector<int32_t>, std::vector<int32_t>>>{
             {5, 7, {5, 6, 7, 5, 9}, {20, 20, 20, 10, 10}},
             {4, 6, {4, 5, 6, 5, 9}, {20, 20, 20, 10, 10}},
             {5, 5, {5, 5, 9}, {20, 10, 10}},
             {6, 9, {5, 5, 6, 7, 8, 9}, {10, 10, 20, 20, 20, 20}},
         }) {
        pictures_.Clear(true);
        ASSERT_TRUE(Read(saved));
        ASSERT_EQ(Ids(), (std::vector<int32_t>{5, 5, 9}));
        pictures_.Show(first, last, "pic.png", At(20, 20), 0, false);
        EXPECT_EQ(Ids(), ids) << first << ".." << last;
        std::vector<int32_t> xs;
        for (const Picture& picture : pictures_.Pictures())
            xs.push_back(picture.xTarget);
        EXPECT_EQ(xs, shown) << first << ".." << last;
    }
}

}  // namespace
}  // namespace velk::testing
