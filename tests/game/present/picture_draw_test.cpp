// What a picture draws: its band, its box by anchor and zoom, its blend mode
// and brightness passes, rotation, shake, the map link on looping maps, and
// the draw state it leaves behind.

#include "tests/game/present/picture_fixture.h"

namespace velk::testing {
namespace {

class PictureDrawTest : public PictureTest {
protected:
    // Shows a settled 64 x 32 picture alone and returns what drawing its band calls.
    std::vector<std::string> DrawSettled(int32_t id, const PictureArguments& arguments) {
        pictures_.Clear(false);
        pictures_.Show(id, id, "pic.png", arguments, 0, false);
        Frames(1);
        drawing_.Take();
        pictures_.DrawBand(PictureBand(id));
        return drawing_.Take();
    }
    std::string Scaled(int x1, int y1, int x2, int y2, int32_t id) {
        return "scaled " + RecordingDrawing::Join({x1, y1, x2, y2, P(id).cells[0]});
    }
};

TEST_F(PictureDrawTest, EachBandDrawsOnlyItsIds) {
    EXPECT_EQ(PictureBand(-100000), -2);
    EXPECT_EQ(PictureBand(-99999), -1);
    EXPECT_EQ(PictureBand(-1), -1);
    EXPECT_EQ(PictureBand(0), 0);
    EXPECT_EQ(PictureBand(99999), 0);
    EXPECT_EQ(PictureBand(100000), 1);
    for (int32_t id : {-100000, -99999, 99999, 100000})
        pictures_.Show(id, id, "pic.png", At(id % 7, 0), 0, false);
    Frames(1);
    for (int band : {-2, -1, 0, 1}) {
        drawing_.Take();
        pictures_.DrawBand(band);
        const auto calls = drawing_.Take();
        ASSERT_EQ(
            std::count_if(calls.begin(), calls.end(), [](const std::string& c) { return c.rfind("scaled", 0) == 0; }),
            1)
            << band;
    }
}

TEST_F(PictureDrawTest, AnOpaqueNormalPictureDrawsPlainAndAnythingElseBlends) {
    const auto opaque = DrawSettled(1, At(100, 50));
    EXPECT_EQ(opaque, (std::vector<std::string>{"blend 0 255", "bright 255 255 255", Scaled(100, 50, 164, 82, 1),
                                                "blend 0 255", "bright 255 255 255"}));
    PictureArguments faint = At(100, 50);
    faint.opacity = 254;
    EXPECT_EQ(DrawSettled(2, faint)[0], "blend 1 254");
    const std::array<int, 5> modes = {1, 2, 3, 11, 10};
    // Only the normal kind turns plain at full opacity.
    for (int32_t opacity : {128, 255}) {
        for (int32_t kind = 0; kind < 5; ++kind) {
            PictureArguments blended = At(0, 0);
            blended.opacity = opacity;
            blended.blendWord = kind;
            const int mode = kind == 0 && opacity == 255 ? 0 : modes[static_cast<size_t>(kind)];
            EXPECT_EQ(DrawSettled(3, blended)[0], "blend " + RecordingDrawing::Join({mode, opacity})) << kind;
        }
    }
}

TEST_F(PictureDrawTest, ALighteningColourDrawsASecondAdditivePassAndADarkeningOneDimsTheFirst) {
    PictureArguments red = At(0, 0);
    red.color = 200 * 65536 + 100 * 256 + 100;
    const auto calls = DrawSettled(1, red);
    ASSERT_EQ(calls.size(), 8u);
    EXPECT_EQ(calls[1], "bright 255 255 255");
    EXPECT_EQ(calls[3], "blend 2 255");
    EXPECT_EQ(calls[4], "bright 255 0 0");
    EXPECT_EQ(calls[5], calls[2]);
    EXPECT_EQ(calls[6], "blend 0 255");
    EXPECT_EQ(calls[7], "bright 255 255 255");

    PictureArguments dark = At(0, 0);
    dark.color = 50 * 65536 + 100 * 256 + 100;
    const auto dim = DrawSettled(2, dark);
    ASSERT_EQ(dim.size(), 5u);
    EXPECT_EQ(dim[1], "bright 128 255 255");
}

TEST_F(PictureDrawTest, ToneAndFlashAddToTheColour) {
    pictures_.Show(1, 1, "pic.png", At(0, 0), 0, false);
    Frames(1);
    pictures_.SetEffectRange(1, 1, 1, -100, 0, 0, 0);
    drawing_.Take();
    pictures_.DrawBand(0);
    EXPECT_EQ(drawing_.Take()[1], "bright 0 255 255");
    // A tone that starts runs from the one shown, without a jump.
    pictures_.SetEffectRange(1, 1, 1, 0, 0, 0, 10);
    pictures_.DrawBand(0);
    EXPECT_EQ(drawing_.Take()[1], "bright 0 255 255");
    Frames(5);
    pictures_.DrawBand(0);
    EXPECT_EQ(drawing_.Take()[1], "bright 128 255 255");
    Frames(5);
    pictures_.SetEffectRange(1, 1, 0, 0, 100, 0, 4);
    pictures_.DrawBand(0);
    const auto flash = drawing_.Take();
    ASSERT_EQ(flash.size(), 8u);
    EXPECT_EQ(flash[4], "bright 0 255 0");
}

TEST_F(PictureDrawTest, TheAnchorAndTheZoomPlaceTheBox) {
    const std::array<std::array<int, 4>, 5> boxes = {
        {{300, 100, 428, 164}, {236, 68, 364, 132}, {300, 36, 428, 100}, {172, 100, 300, 164}, {172, 36, 300, 100}}};
    for (int32_t anchor = 0; anchor < 5; ++anchor) {
        PictureArguments a = At(300, 100);
        a.anchor = anchor;
        a.zoomX = a.zoomY = 200;
        const auto calls = DrawSettled(anchor + 1, a);
        ASSERT_EQ(calls.size(), 5u);
        const auto& b = boxes[static_cast<size_t>(anchor)];
        EXPECT_EQ(calls[2], Scaled(b[0], b[1], b[2], b[3], anchor + 1)) << anchor;
        EXPECT_EQ(P(anchor + 1).drawnLeft, b[0]);
    }
}

TEST_F(PictureDrawTest, AWholeTurnDrawsUnrotatedAndAnyOtherAngleRotated) {
    PictureArguments turn = At(100, 50);
    turn.angle = 3600;
    EXPECT_EQ(DrawSettled(1, turn)[2].rfind("scaled", 0), 0u);
    PictureArguments almost = At(100, 50);
    almost.angle = 3599;
    almost.zoomX = 150;
    almost.anchor = 1;
    const auto rotated = DrawSettled(2, almost);
    char expected[96];
    std::snprintf(expected, sizeof expected, "rotated 100 50 1.500 %.4f %d", 3599 * 3.1415926535 / 1800, P(2).cells[0]);
    EXPECT_EQ(rotated[2], expected);
}

TEST_F(PictureDrawTest, AShakeSwingsToOneSideAndThenTheOther) {
    pictures_.Show(1, 1, "pic.png", At(100, 50), 0, false);
    Frames(1);
    pictures_.SetEffectRange(1, 1, 3, 10, 0, 2, 5);
    std::vector<int> lefts;
    for (int frame = 0; frame <= 20; ++frame) {
        pictures_.DrawBand(0);
        lefts.push_back(P(1).drawnLeft - 100);
        Frames(1);
    }
    EXPECT_EQ(lefts, (std::vector<int>{0, -2, -4, -6, -8, -10, -8, -6, -4, -2, 0, 2, 4, 6, 8, 10, 8, 6, 4, 2, 0}));
}

TEST_F(PictureDrawTest, ALinkedPictureFollowsTheMapAndWrapsOnALoopingMap) {
    owners_.map.width = 50;
    owners_.map.loopsX = true;
    PictureArguments linked = At(10, 0);
    linked.blendWord = kMapLinkBit;
    pictures_.Show(1, 1, "pic.png", linked, 0, false);
    EXPECT_TRUE(P(1).mapLinked);
    Frames(1);
    owners_.map.scrollX = 40 * 4;
    owners_.map.scrollY = 12 * 4;
    pictures_.DrawBand(0);
    EXPECT_EQ(P(1).drawnLeft, 10 - 40 + 50 * 32);
    EXPECT_EQ(P(1).drawnTop, -12);
    EXPECT_EQ(pictures_.GetProperty(1, 0), 10 - 40 + 50 * 32);
    EXPECT_EQ(pictures_.GetProperty(1, 1), -12);
    owners_.map.loopsX = false;
    pictures_.DrawBand(0);
    EXPECT_EQ(P(1).drawnLeft, -30);
    EXPECT_EQ(pictures_.GetProperty(1, 0), -30);
    // Shown while the map is scrolled: placed in map coordinates.
    pictures_.Show(2, 2, "pic.png", linked, 0, false);
    EXPECT_EQ(P(2).xTarget, 50);
    EXPECT_EQ(P(2).yTarget, 12);
}

TEST_F(PictureDrawTest, AFadingPictureLeavesNoBlendOrBrightnessBehind) {
    PictureArguments tinted = At(0, 0);
    tinted.color = 30 * 65536 + 100 * 256 + 100;
    pictures_.Show(1, 1, "pic.png", tinted, 0, false);
    Frames(1);
    pictures_.EraseRange(1, 1, 10, 0, kNeutralPackedColor);
    Frames(5);
    drawing_.Take();
    pictures_.DrawBand(0);
    const auto calls = drawing_.Take();
    EXPECT_EQ(calls.front(), "blend 1 127");
    EXPECT_EQ(calls[calls.size() - 2], "blend 0 255");
    EXPECT_EQ(calls.back(), "bright 255 255 255");
}

TEST_F(PictureDrawTest, AnErasedPictureDrawsNothing) {
    PictureArguments a = At(0, 0);
    pictures_.Show(1, 1, "pic.png", a, 0, false);
    Frames(1);
    pictures_.EraseRange(1, 1, 0, 0, kNeutralPackedColor);
    Frames(1);
    drawing_.Take();
    pictures_.DrawBand(0);
    EXPECT_TRUE(drawing_.Take().empty());
}

TEST_F(PictureDrawTest, AWindowPictureStretchesItsEdgesAndCentreBetweenItsCorners) {
    PictureArguments frame = At(10, 20);
    frame.divisionsX = 64;
    frame.divisionsY = 40;
    pictures_.Show(1, 1, "frame.png", frame, 0, true);
    Frames(1);
    EXPECT_EQ(pictures_.GetProperty(1, 2), 64);
    EXPECT_EQ(P(1).cellWidth, 8);
    drawing_.Take();
    pictures_.DrawBand(0);
    const auto calls = drawing_.Take();
    ASSERT_EQ(calls.size(), 13u);
    const auto& cells = P(1).cells;
    EXPECT_EQ(calls[2], "scaled " + RecordingDrawing::Join({10, 20, 18, 28, cells[0]}));
    EXPECT_EQ(calls[6], "scaled " + RecordingDrawing::Join({18, 28, 66, 52, cells[4]}));
    EXPECT_EQ(calls[10], "scaled " + RecordingDrawing::Join({66, 52, 74, 60, cells[8]}));
}

TEST_F(PictureDrawTest, AStringPictureDrawsItsTextAtTheBoxWithItsZoom) {
    PictureArguments a = At(30, 40);
    a.zoomX = 200;
    pictures_.ShowString(1, 1, "ab", a, 0);
    P(1);
    Frames(200);
    library_.textDraws.clear();
    pictures_.DrawBand(0);
    ASSERT_FALSE(library_.textDraws.empty());
    EXPECT_EQ(library_.textDraws[0].x, 30);
    EXPECT_DOUBLE_EQ(library_.textDraws[0].scaleX, 2.0);
    EXPECT_EQ(DrawnText(), "ab");
}

}  // namespace
}  // namespace velk::testing
