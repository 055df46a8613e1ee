// The picture list and the effect of every picture operation on the records:
// creation in id order, glides, keep markers, delays, erasing, effects, the
// shared image store and the refusals of bad arguments.

#include <algorithm>
#include <climits>
#include <random>
#include <sstream>

#include "game/data/data_texts.h"
#include "game/data/text_format.h"
#include "game/data/variable_store.h"
#include "game/present/picture_texts.h"
#include "game/present/present_texts.h"
#include "tests/game/present/picture_fixture.h"

namespace velk::testing {
namespace {

using PictureListTest = PictureTest;

// The strings' bound, and with it the pictures' texts', lowered for one test.
struct LoweredStringLimit {
    explicit LoweredStringLimit(size_t bytes) { SetHeldStringLimit(bytes); }
    ~LoweredStringLimit() { SetHeldStringLimit(kMaxHeldStringBytes); }
};

constexpr size_t kMiB = size_t{1} << 20;

TEST_F(PictureListTest, AShowCreatesTheMissingIdsInOrderAndUpdatesTheOthersInPlace) {
    pictures_.Show(2, 2, "pic.png", At(5, 5), 0, false);
    const int32_t graph = P(2).graph;
    pictures_.Show(1, 3, "pic.png", At(7, 8), 0, false);
    EXPECT_EQ(Ids(), (std::vector<int32_t>{1, 2, 3}));
    // Picture 2 had an image, so this show is not its first.
    EXPECT_EQ(P(2).previousGraph, graph);
    EXPECT_EQ(P(1).previousGraph, 0);
    pictures_.Show(-5, -5, "pic.png", At(0, 0), 0, false);
    pictures_.Show(100000, 100000, "pic.png", At(0, 0), 0, false);
    EXPECT_EQ(Ids(), (std::vector<int32_t>{-5, 1, 2, 3, 100000}));
    for (int32_t id : Ids())
        EXPECT_EQ(pictures_.GetProperty(id, 0), id == 1 || id == 2 || id == 3 ? 7 : 0);
}

TEST_F(PictureListTest, AFreshPictureFadesInWhereItIsAndAReshowGlidesFromWhereItIsShown) {
    pictures_.Show(5, 5, "pic.png", At(100, 50, 30), 0, false);
    EXPECT_EQ(pictures_.GetProperty(5, 5), 0);
    EXPECT_EQ(pictures_.GetProperty(5, 0), 100);
    Frames(15);
    EXPECT_EQ(pictures_.GetProperty(5, 5), 128);
    Frames(20);
    EXPECT_EQ(pictures_.GetProperty(5, 5), 255);
    EXPECT_EQ(P(5).remaining, -1);

    pictures_.Show(5, 5, "pic.png", At(200, 50, 30), 0, false);
    EXPECT_EQ(pictures_.GetProperty(5, 0), 100);
    EXPECT_EQ(pictures_.GetProperty(5, 5), 255);
    Frames(15);
    EXPECT_EQ(pictures_.GetProperty(5, 0), 150);
    // A relative reshow moves by its offset from where the picture is.
    Frames(15);
    PictureArguments step = At(10, -20);
    step.relative = true;
    pictures_.Show(5, 5, "pic.png", step, 0, false);
    EXPECT_EQ(P(5).xTarget, 210);
    EXPECT_EQ(P(5).yTarget, 30);
}

TEST_F(PictureListTest, AReshowInTheMiddleOfAFadeGoesOnFromTheOpacityShown) {
    pictures_.Show(1, 1, "pic.png", At(0, 0, 10), 0, false);
    Frames(5);
    PictureArguments again = At(0, 0, 10);
    again.opacity = 0;
    pictures_.Show(1, 1, "pic.png", again, 0, false);
    // The fade in was shown at 153 (one frame counted first): no jump.
    EXPECT_EQ(P(1).opacityFrom, 153);
    EXPECT_EQ(pictures_.GetProperty(1, 5), 153);
}

TEST_F(PictureListTest, ARelativeMoveDuringAMoveStartsFromThePointShown) {
    pictures_.Show(1, 1, "pic.png", At(0, 0), 0, false);
    Frames(1);
    pictures_.Move(1, 1, At(100, 0, 20), 0);
    Frames(10);
    EXPECT_EQ(pictures_.GetProperty(1, 0), 50);
    PictureArguments step = At(10, 0, 20);
    step.relative = true;
    pictures_.Move(1, 1, step, 0);
    EXPECT_EQ(pictures_.GetProperty(1, 0), 55);
    EXPECT_EQ(P(1).xTarget, 65);
    Frames(20);
    EXPECT_EQ(pictures_.GetProperty(1, 0), 65);
}

TEST_F(PictureListTest, KeepMarkersAndTheZoomAxisChangeOnlyWhatTheyName) {
    PictureArguments show = At(0, 0);
    show.divisionsX = 4;
    show.pattern = 3;
    show.blendWord = 2;
    show.angle = 90;
    pictures_.Show(1, 1, "pic.png", show, 0, false);
    PictureArguments move = At(0, 0);
    move.pattern = move.opacity = move.angle = kKeepValue;
    move.blendWord = kKeepBlend;
    move.color = kKeepColorBit;
    PictureZoomPair(150, 1, move.zoomX, move.zoomY);
    pictures_.Move(1, 1, move, 0);
    EXPECT_EQ(P(1).pattern, 3);
    EXPECT_EQ(P(1).opacityTarget, 255);
    EXPECT_EQ(P(1).blendKind, 2);
    EXPECT_EQ(P(1).angleTarget, 90);
    EXPECT_EQ(P(1).zoomXTarget, 100);
    EXPECT_EQ(P(1).zoomYTarget, 150);
    EXPECT_EQ(pictures_.GetProperty(1, 7), 150);
    PictureZoomPair(120, 2, move.zoomX, move.zoomY);
    pictures_.Move(1, 1, move, 0);
    EXPECT_EQ(pictures_.GetProperty(1, 7), 120);
    // One zoom of the pair kept keeps both.
    move.zoomX = 300;
    move.zoomY = kKeepValue;
    pictures_.Move(1, 1, move, 0);
    EXPECT_EQ(P(1).zoomXTarget, 120);
    int32_t zx = 0, zy = 0;
    PictureZoomPair(kKeepValue, 1, zx, zy);
    EXPECT_EQ(zx, kKeepValue);
    EXPECT_EQ(zy, kKeepValue);
}

TEST_F(PictureListTest, ADelayedEraseWaitsItsFramesAndACancelKeepsThePicture) {
    pictures_.Show(1, 2, "pic.png", At(0, 0), 0, false);
    pictures_.EraseRange(1, 2, 10, 10, kNeutralPackedColor);
    EXPECT_FALSE(P(1).erasing);
    Frames(5);
    pictures_.CancelDelayedRange(2, 2);
    Frames(5);
    EXPECT_FALSE(P(1).erasing);
    EXPECT_EQ(pictures_.GetProperty(1, 5), 255);
    Frames(1);
    EXPECT_TRUE(P(1).erasing);
    Frames(10);
    EXPECT_EQ(pictures_.Find(1), nullptr);
    EXPECT_EQ(pictures_.GetProperty(1, 9), 0);
    EXPECT_EQ(pictures_.GetProperty(1, 0), -1);
    EXPECT_FALSE(P(2).erasing);
    EXPECT_TRUE(P(2).delayedValues.empty());
}

TEST_F(PictureListTest, AnEraseOfTenFramesLastsTenUpdatesToTheFrame) {
    // Frame step 1: still there after 9 updates, faintly drawn; gone after
    // the 10th. Frame step 2: 10 frames are 5 updates.
    for (int32_t step : {1, 2}) {
        settings_.frameStep = step;
        pictures_.Show(1, 1, "pic.png", At(0, 0), 0, false);
        pictures_.EraseRange(1, 1, 10, 0, kNeutralPackedColor);
        const int updates = 10 / step;
        Frames(updates - 1);
        ASSERT_NE(pictures_.Find(1), nullptr) << step;
        EXPECT_FALSE(P(1).removed) << step;
        drawing_.Take();
        pictures_.DrawBand(0);
        EXPECT_NE(drawing_.Take(), std::vector<std::string>()) << "drawn in its last frame, step " << step;
        Frames(1);
        EXPECT_EQ(pictures_.Find(1), nullptr) << step;
        drawing_.Take();
        pictures_.DrawBand(0);
        EXPECT_EQ(drawing_.Take(), std::vector<std::string>()) << step;
    }
}

TEST_F(PictureListTest, AnEraseDoesNotRestartAndStopsEveryGlideWhereItIsShown) {
    pictures_.Show(1, 1, "pic.png", At(0, 0), 0, false);
    Frames(1);
    pictures_.Move(1, 1, At(100, 0, 10), 0);
    Frames(5);
    pictures_.EraseRange(1, 1, 20, 0, kNeutralPackedColor);
    EXPECT_EQ(pictures_.GetProperty(1, 0), 50);
    EXPECT_EQ(P(1).xTarget, 50);
    Frames(5);
    EXPECT_EQ(P(1).remaining, 15);
    pictures_.EraseRange(1, 1, 20, 0, kNeutralPackedColor);
    EXPECT_EQ(P(1).remaining, 15);
    EXPECT_EQ(pictures_.GetProperty(1, 0), 50);
}

TEST_F(PictureListTest, EffectsStoreWhatTheyAreGiven) {
    pictures_.Show(1, 1, "pic.png", At(0, 0), 0, false);
    pictures_.SetEffectRange(1, 1, 0, 100, 0, -100, 7);
    EXPECT_EQ(P(1).flashColor, 200 * 65536 + 100 * 256 + 0);
    EXPECT_EQ(P(1).flashRemaining, 7);
    pictures_.SetEffectRange(1, 1, 0, 500, -500, 0, 7);
    EXPECT_EQ(P(1).flashColor, 200 * 65536 + 0 * 256 + 100);

    pictures_.SetEffectRange(1, 1, 1, 100, 100, 100, 10);
    EXPECT_EQ(P(1).toneFrom, kNeutralPackedColor);
    Frames(5);
    pictures_.SetEffectRange(1, 1, 1, 0, 0, 0, 10);
    // A tone set during another starts from the tone shown.
    EXPECT_EQ(P(1).toneFrom, 150 * 65536 + 150 * 256 + 150);
    EXPECT_EQ(P(1).toneTarget, kNeutralPackedColor);

    pictures_.SetEffectRange(1, 1, 2, 40, -20, 0, 4);
    Frames(2);
    pictures_.SetEffectRange(1, 1, 2, 0, 0, 0, 4);
    EXPECT_EQ(P(1).offsetXFrom, 20);
    EXPECT_EQ(P(1).offsetYFrom, -10);

    pictures_.SetEffectRange(1, 1, 3, 10, 5, 2, 5);
    EXPECT_EQ(P(1).shakePhase, 10);
    EXPECT_EQ(P(1).shakeCount, 2);

    pictures_.SetEffectRange(1, 1, 4, 320, 240, 200, 10);
    EXPECT_EQ(P(1).centerXFrom, 320);
    EXPECT_EQ(P(1).centerZoomFrom, 100);
    Frames(5);
    pictures_.SetEffectRange(1, 1, 4, 0, 0, 100, 10);
    EXPECT_EQ(P(1).centerZoomFrom, 150);
    EXPECT_EQ(P(1).centerXFrom, 320);

    const Picture before = P(1);
    pictures_.SetEffectRange(1, 1, 5, 1, 2, 3, 4);
    EXPECT_EQ(P(1).flashColor, before.flashColor);
}

TEST_F(PictureListTest, OneFileIsLoadedOncePerDivisionAndFreedWithItsLastPicture) {
    PictureArguments quarters = At(0, 0);
    quarters.divisionsX = 4;
    pictures_.Show(1, 2, "pic.png", quarters, 0, false);
    PictureArguments squares = At(0, 0);
    squares.divisionsX = squares.divisionsY = 2;
    pictures_.Show(3, 3, "pic.png", squares, 0, false);
    EXPECT_EQ(std::count(library_.reads.begin(), library_.reads.end(), "Data\\pic.png"), 2);
    ASSERT_EQ(images_.Entries().size(), 2u);
    EXPECT_EQ(P(1).cells, P(2).cells);
    EXPECT_EQ(P(1).cellWidth, 16);
    EXPECT_EQ(P(3).cellHeight, 16);
    EXPECT_EQ(library_.live.size(), 1u + 4u + 1u + 4u);

    pictures_.EraseRange(1, 1, 0, 0, kNeutralPackedColor);
    Frames(1);
    EXPECT_EQ(images_.Entries().size(), 2u);
    pictures_.EraseRange(2, 3, 0, 0, kNeutralPackedColor);
    Frames(1);
    EXPECT_TRUE(pictures_.Pictures().empty());
    EXPECT_TRUE(images_.Entries().empty());
    EXPECT_TRUE(library_.live.empty());
}

// Erases falling due in one frame free each image when the last picture
// showing it goes, as a release after every removal would, and a delayed show
// between them sees the images the removals before it let go.
TEST_F(PictureListTest, ErasesDueInOneFrameFreeEachImageWithItsLastPictureInTurn) {
    PictureArguments halves = At(0, 0);
    halves.divisionsX = 2;
    pictures_.Show(1, 1, "pic.png", At(0, 0), 0, false);
    pictures_.Show(2, 2, "wide.png", At(0, 0), 0, false);
    pictures_.Show(3, 3, "pic.png", At(0, 0), 0, false);
    pictures_.Show(4, 4, "frame.png", At(0, 0), 0, false);
    pictures_.Show(5, 5, "wide.png", halves, 0, false);
    const std::vector<PictureImageStore::Entry> entries = images_.Entries();
    ASSERT_EQ(entries.size(), 4u);
    // Both fall due in the second frame.
    pictures_.EraseRange(1, 5, 2, 0, kNeutralPackedColor);
    pictures_.Show(4, 4, "wide.png", At(0, 0), 1, false);
    Frames(1);
    library_.deleted.clear();
    Frames(1);
    std::vector<int> expected;
    for (size_t at : {1, 0, 2, 3}) {
        expected.push_back(entries[at].whole);
        expected.insert(expected.end(), entries[at].cells.begin(), entries[at].cells.end());
    }
    EXPECT_EQ(library_.deleted, expected);
    ASSERT_EQ(images_.Entries().size(), 1u);
    EXPECT_EQ(images_.Entries()[0].fileName, "wide.png");
    EXPECT_EQ(P(4).graph, images_.Entries()[0].whole);
}

// A run of removals released at once deletes what a release after each
// removal deletes, in that order, over pictures sharing images or not,
// already unshown, string pictures and removals of removed ones.
TEST_F(PictureListTest, ARunOfRemovalsReleasedAtOnceFreesAsAReleaseAfterEachWould) {
    std::mt19937 random(20260603);
    const char* files[] = {"pic.png", "wide.png", "frame.png"};
    for (int round = 0; round < 300; ++round) {
        images_.Clear();
        std::vector<Picture> pictures(random() % 12);
        for (Picture& p : pictures) {
            images_.PictureControl(p, files[random() % 3], static_cast<int32_t>(1 + random() % 2), 1);
            p.removed = random() % 6 == 0;
            p.stringPicture = random() % 8 == 0;
        }
        std::vector<PictureImageStore::Entry> model = images_.Entries();
        std::vector<int> expected;
        std::vector<int32_t> removedGraphs;
        for (int k = 0, removals = static_cast<int>(random() % 12); k < removals && !pictures.empty(); ++k) {
            Picture& p = pictures[random() % pictures.size()];
            removedGraphs.push_back(p.removed || p.stringPicture ? -1 : p.graph);
            p.removed = true;
            for (size_t at = 0; at < model.size();) {
                const bool shown = std::any_of(pictures.begin(), pictures.end(), [&](const Picture& q) {
                    return !q.removed && !q.stringPicture && q.graph == model[at].whole;
                });
                if (shown) {
                    ++at;
                    continue;
                }
                expected.push_back(model[at].whole);
                expected.insert(expected.end(), model[at].cells.begin(), model[at].cells.end());
                model.erase(model.begin() + static_cast<std::ptrdiff_t>(at));
            }
        }
        library_.deleted.clear();
        images_.ReleaseUnusedAfterRemovals(pictures, removedGraphs);
        ASSERT_EQ(library_.deleted, expected) << "round " << round;
        ASSERT_EQ(images_.Entries().size(), model.size()) << "round " << round;
        for (size_t at = 0; at < model.size(); ++at)
            EXPECT_EQ(images_.Entries()[at].whole, model[at].whole) << "round " << round;
    }
}

TEST_F(PictureListTest, ShowingAnotherFileFreesTheOldOneUnlessAnotherPictureShowsIt) {
    pictures_.Show(1, 2, "pic.png", At(0, 0), 0, false);
    pictures_.Show(1, 1, "wide.png", At(0, 0), 0, false);
    EXPECT_EQ(P(1).previousFileName, "pic.png");
    EXPECT_EQ(images_.Entries().size(), 2u);
    pictures_.Show(2, 2, "wide.png", At(0, 0), 0, false);
    ASSERT_EQ(images_.Entries().size(), 1u);
    EXPECT_EQ(images_.Entries()[0].fileName, "wide.png");
    // Another spelling of the file a picture shows is the same file: it is
    // neither loaded again nor freed under the picture.
    library_.sameFileAs["Data\\WIDE.png"] = "Data\\wide.png";
    pictures_.Show(1, 1, "pic.png", At(0, 0), 0, false);
    pictures_.Show(2, 2, "WIDE.png", At(0, 0), 0, false);
    EXPECT_EQ(images_.Entries().size(), 2u);
    EXPECT_TRUE(library_.live.count(P(2).graph));
    EXPECT_EQ(std::count(library_.reads.begin(), library_.reads.end(), "Data\\WIDE.png"), 0);
    // Where the file access cannot tell, the name it was loaded under finds it.
    library_.identityUnknown = true;
    pictures_.Show(3, 3, "pic.png", At(0, 0), 0, false);
    EXPECT_EQ(images_.Entries().size(), 2u);
}

TEST_F(PictureListTest, CellsAreCutFromTheImageAndTooFineADivisionIsRefused) {
    PictureArguments thirds = At(0, 0);
    thirds.divisionsX = 3;
    pictures_.Show(1, 1, "wide.png", thirds, 0, false);
    EXPECT_EQ(P(1).cellWidth, 33);
    EXPECT_EQ(P(1).cellHeight, 50);
    EXPECT_EQ(P(1).cells.size(), 3u);
    EXPECT_TRUE(reporter_.boxes.empty());

    PictureArguments fine = At(0, 0);
    fine.divisionsX = 200;
    pictures_.Show(2, 2, "wide.png", fine, 0, false);
    ASSERT_EQ(reporter_.boxes.size(), 1u);
    EXPECT_EQ(reporter_.boxes[0].line1, FormatText(texts::kPictureDivisionsTooLarge, 200, 1, 100, 50));
    EXPECT_EQ(P(2).cells.size(), 1u);
    EXPECT_EQ(P(2).cellWidth, 100);
    EXPECT_EQ(P(2).divisionsX, 200);

    // More cells than the graph table could hold are refused the same way.
    library_.files["Data\\big.png"] = ImageBytes(4000, 4000);
    PictureArguments huge = At(0, 0);
    huge.divisionsX = huge.divisionsY = 1000;
    pictures_.Show(3, 3, "big.png", huge, 0, false);
    EXPECT_EQ(reporter_.boxes.size(), 2u);
    EXPECT_EQ(P(3).cells.size(), 1u);

    // Divisions below 1 become 1; the box only in test play.
    PictureArguments none = At(0, 0);
    none.divisionsX = 0;
    pictures_.Show(4, 4, "pic.png", none, 0, false);
    EXPECT_EQ(P(4).divisionsX, 1);
    EXPECT_EQ(reporter_.boxes.size(), 2u);
    pictureSettings_.testPlay = true;
    pictures_.Show(5, 5, "pic.png", none, 0, false);
    ASSERT_EQ(reporter_.boxes.size(), 3u);
    EXPECT_EQ(reporter_.boxes[2].line1, FormatText(texts::kPictureDivisionsBelowOne, 5, 0, 1));
}

TEST_F(PictureListTest, AMissingFileRemovesThePictureAndAFailedLookupFailsQuietly) {
    library_.files["Data\\junk.png"] = "not an image";
    pictures_.Show(1, 1, "gone.png", At(0, 0), 0, false);
    ASSERT_EQ(reporter_.messages.size(), 1u);
    EXPECT_NE(reporter_.messages[0].line1.find("Data\\gone.png"), std::string::npos);
    EXPECT_EQ(reporter_.messages[0].line2, texts::kFileReadErrorCaption);
    EXPECT_TRUE(P(1).removed);
    pictures_.Show(2, 2, "<<ERROR>>", At(0, 0), 0, false);
    pictures_.Show(3, 3, "", At(0, 0), 0, false);
    pictures_.Show(4, 4, "junk.png", At(0, 0), 0, false);
    EXPECT_EQ(reporter_.messages.size(), 2u);
    EXPECT_TRUE(P(4).removed);
    EXPECT_TRUE(images_.Entries().empty());
    Frames(1);
    EXPECT_TRUE(pictures_.Pictures().empty());
}

TEST_F(PictureListTest, APatternOrBlendKindOutsideTheImageIsRefusedAndTheOldOneKept) {
    PictureArguments show = At(0, 0, 5);
    show.divisionsX = 4;
    show.pattern = 2;
    show.blendWord = 1;
    pictures_.Show(1, 1, "pic.png", show, 0, false);
    Frames(10);
    PictureArguments move = At(30, 0, 8);
    move.pattern = 5;
    move.blendWord = 7;
    pictures_.Move(1, 1, move, 0);
    ASSERT_EQ(reporter_.boxes.size(), 1u);
    EXPECT_EQ(reporter_.boxes[0].line1, FormatText(texts::kPicturePatternTooLarge, 1, 5, 4));
    EXPECT_EQ(P(1).pattern, 2);
    EXPECT_EQ(P(1).blendKind, 1);
    // The frames were not set: the move does not run.
    EXPECT_EQ(P(1).total, 5);
    move.pattern = 0;
    pictures_.Move(1, 1, move, 0);
    EXPECT_EQ(reporter_.boxes.size(), 2u);
    EXPECT_EQ(P(1).pattern, 2);
    move.pattern = 4;
    pictures_.Move(1, 1, move, 0);
    EXPECT_EQ(P(1).pattern, 4);
    EXPECT_EQ(P(1).total, 8);
}

TEST_F(PictureListTest, RangesReachingTheLargestIdsEndAndAHugeShowStopsAtTheSaveLimit) {
    pictures_.Show(INT_MAX - 1, INT_MAX, "pic.png", At(0, 0), 0, false);
    EXPECT_EQ(Ids(), (std::vector<int32_t>{INT_MAX - 1, INT_MAX}));
    pictures_.Move(INT_MIN, INT_MAX, At(3, 3), 0);
    EXPECT_EQ(P(INT_MAX).xTarget, 3);
    pictures_.Show(5, 4, "pic.png", At(0, 0), 0, false);
    EXPECT_EQ(pictures_.Pictures().size(), 2u);
    pictures_.Show(0, INT_MAX, "pic.png", At(0, 0), 0, false);
    EXPECT_EQ(pictures_.Pictures().size(), PictureList::kMaxPictures);
    pictures_.EraseRange(INT_MIN, INT_MAX, 0, 0, kNeutralPackedColor);
    Frames(1);
    EXPECT_TRUE(pictures_.Pictures().empty());
}

TEST_F(PictureListTest, AQueuedShowRevivesAnErasedPictureBeforeItIsDropped) {
    pictures_.Show(1, 1, "pic.png", At(0, 0), 0, false);
    pictures_.EraseRange(1, 1, 0, 0, kNeutralPackedColor);
    pictures_.Show(1, 1, "wide.png", At(9, 9), 3, false);
    Frames(1);
    ASSERT_NE(pictures_.Find(1), nullptr);
    EXPECT_TRUE(P(1).removed);
    Frames(3);
    EXPECT_FALSE(P(1).removed);
    EXPECT_EQ(P(1).fileName, "wide.png");
    EXPECT_EQ(pictures_.GetProperty(1, 0), 9);
}

TEST_F(PictureListTest, AStringPictureIsMeasuredAndSizedByItsText) {
    PictureArguments a = At(10, 20, 4);
    pictures_.ShowString(1, 1, "abcd", a, 0);
    EXPECT_TRUE(P(1).stringPicture);
    EXPECT_EQ(P(1).textBox.shownText, "abcd");
    EXPECT_EQ(pictures_.GetProperty(1, 2), 48);
    EXPECT_EQ(pictures_.GetProperty(1, 5), 0);
    pictures_.ShowString(1, 1, "abcdef", a, 0);
    EXPECT_EQ(pictures_.GetProperty(1, 2), 72);
    // An image shown before is let go.
    pictures_.Show(2, 2, "pic.png", At(0, 0), 0, false);
    pictures_.ShowString(2, 2, "x", a, 0);
    EXPECT_TRUE(images_.Entries().empty());
    EXPECT_TRUE(P(2).cells.empty());
}

TEST_F(PictureListTest, StringPicturesOfOneLongTextStopAtTheBoundAndGiveBackTheirRoom) {
    // A laid-out text of 64 KiB is held three times: five fit in 1 MiB.
    const LoweredStringLimit limit(kMiB);
    const std::string text(64 << 10, 'a');
    pictures_.Show(6, 6, "pic.png", At(0, 0), 0, false);
    pictures_.ShowString(1, INT_MAX, text, At(0, 0), 0);
    ASSERT_EQ(reporter_.boxes.size(), 1u);
    EXPECT_EQ(reporter_.boxes[0].line1, FormatText(texts::kStringTooLong, static_cast<int>(kMiB)));
    EXPECT_EQ(reporter_.boxes[0].line3, FormatText(texts::kStoreTarget, 6));
    EXPECT_EQ(Ids(), (std::vector<int32_t>{1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(P(5).textBox.laidOutText, text);
    // The picture at the refused id goes, as under a show of a missing file.
    EXPECT_TRUE(P(6).removed);
    EXPECT_TRUE(images_.Entries().empty());
    const size_t each = pictures_.HeldTextBytes() / 5;
    EXPECT_GE(each, 3 * text.size());
    EXPECT_LE(5 * each, kMiB);
    // Erased, replaced by a short text or an image, or cleared, a picture
    // gives its room back.
    pictures_.EraseRange(1, 1, 0, 0, kNeutralPackedColor);
    Frames(1);
    EXPECT_EQ(pictures_.HeldTextBytes(), 4 * each);
    pictures_.ShowString(2, 2, "short", At(0, 0), 0);
    pictures_.Show(3, 3, "pic.png", At(0, 0), 0, false);
    EXPECT_LE(pictures_.HeldTextBytes(), 2 * each + 64);
    pictures_.ShowString(6, 8, text, At(0, 0), 0);
    EXPECT_EQ(P(8).textBox.shownText, text);
    EXPECT_EQ(reporter_.boxes.size(), 1u);
    pictures_.Clear(false);
    EXPECT_EQ(pictures_.HeldTextBytes(), 0u);
}

TEST_F(PictureListTest, ATextOfManyLinesCountsItsLineMetricsToo) {
    // Its three copies take 192 KiB, the four lists of line metrics 512 KiB.
    std::string text;
    for (int line = 0; line < 32768; ++line)
        text += "a\n";
    const LoweredStringLimit limit(512 << 10);
    pictures_.ShowString(1, 1, text, At(0, 0), 0);
    EXPECT_EQ(reporter_.boxes.size(), 1u);
    EXPECT_TRUE(P(1).removed);
    EXPECT_EQ(pictures_.HeldTextBytes(), 0u);
}

TEST_F(PictureListTest, QueuedShowsKeepTheirTextsWithinTheBoundAndAFrameOfRefusalsAsksOnce) {
    // Queued, fifteen copies of 64 KiB fit in 1 MiB; run, most are refused
    // in one frame, with one box.
    const LoweredStringLimit limit(kMiB);
    const std::string text(64 << 10, 'a');
    pictures_.ShowString(1, INT_MAX, text, At(0, 0), 5);
    EXPECT_EQ(Ids().size(), 16u);
    EXPECT_TRUE(P(16).removed);
    EXPECT_GE(pictures_.HeldTextBytes(), 15 * text.size());
    Frames(10);
    EXPECT_EQ(reporter_.boxes.size(), 2u);
    EXPECT_LE(pictures_.HeldTextBytes(), kMiB);
    ASSERT_FALSE(pictures_.Pictures().empty());
    for (const Picture& picture : pictures_.Pictures())
        EXPECT_EQ(picture.textBox.shownText, text) << picture.id;
}

TEST_F(PictureListTest, RunningOutOfMemoryWhileMakingAStringPictureRefusesOnlyThatPicture) {
    const std::string text(100, 'a');
    pictures_.ShowString(1, 1, text, At(0, 0), 0);
    const size_t one = pictures_.HeldTextBytes();
    library_.widthsLeftBeforeNoMemory = 40;
    pictures_.ShowString(2, 4, text, At(0, 0), 0);
    ASSERT_EQ(reporter_.boxes.size(), 1u);
    EXPECT_EQ(reporter_.boxes[0].line1, FormatText(texts::kStringTooLong, static_cast<int>(kMaxHeldStringBytes)));
    EXPECT_EQ(Ids(), (std::vector<int32_t>{1, 2}));
    EXPECT_TRUE(P(2).removed);
    EXPECT_EQ(pictures_.HeldTextBytes(), one);
    pictures_.ShowString(3, 3, text, At(0, 0), 0);
    EXPECT_EQ(pictures_.GetProperty(3, 2), 1200);
    EXPECT_EQ(pictures_.HeldTextBytes(), 2 * one);
}

TEST_F(PictureListTest, DelayedOperationsKeepTheirWordsThroughTheQueue) {
    PictureArguments a;
    a.divisionsX = 2, a.divisionsY = 3, a.x = 4, a.y = 5, a.pattern = 6, a.opacity = 7, a.blendWord = 8;
    a.frames = 9, a.zoomX = 10, a.zoomY = 11, a.angle = 12, a.anchor = 3, a.color = 14, a.relative = true;
    for (auto kind : {PictureOperation::kShowImage, PictureOperation::kShowString, PictureOperation::kMove,
                      PictureOperation::kErase, PictureOperation::kShowWindow}) {
        std::vector<int32_t> values = {0, static_cast<int32_t>(kind)};
        const auto words = EncodeDelayedWords(kind, a);
        values.insert(values.end(), words.begin(), words.end());
        PictureArguments back;
        ASSERT_TRUE(DecodeDelayedWords(kind, values, back));
        EXPECT_EQ(back.frames, 9);
        EXPECT_EQ(back.color, 14);
        if (kind != PictureOperation::kErase) {
            EXPECT_EQ(back.x, 4);
            EXPECT_EQ(back.angle, 12);
            EXPECT_TRUE(back.relative);
        }
        values.pop_back();
        EXPECT_FALSE(DecodeDelayedWords(kind, values, back));
    }
}

}  // namespace
}  // namespace velk::testing

namespace velk::testing {
namespace {

TEST_F(PictureListTest, ARestoreRebuildsEveryImageAndAMissingFileKeepsItsOldGraphs) {
    PictureArguments halves = At(0, 0);
    halves.divisionsX = 2;
    pictures_.Show(1, 1, "pic.png", halves, 0, false);
    pictures_.Show(2, 2, "wide.png", At(0, 0), 0, false);
    PictureArguments frame = At(0, 0);
    frame.divisionsX = 50;
    frame.divisionsY = 30;
    pictures_.Show(3, 3, "frame.png", frame, 0, true);
    const auto oldPic = P(1).cells;
    const auto oldWide = P(2).cells;
    library_.files.erase("Data\\wide.png");
    pictures_.ReloadImages();
    ASSERT_EQ(reporter_.messages.size(), 1u);
    EXPECT_NE(P(1).cells, oldPic);
    EXPECT_EQ(P(1).cells.size(), 2u);
    EXPECT_EQ(P(2).cells, oldWide);
    EXPECT_EQ(P(3).cells.size(), 9u);
    EXPECT_EQ(P(3).divisionsX, 50);
    for (int32_t cell : P(1).cells)
        EXPECT_TRUE(library_.live.count(cell));
    for (int32_t cell : oldPic)
        EXPECT_FALSE(library_.live.count(cell));
}

// What the pictures keep of their texts, counted afresh: the text box's
// strings and line lists and the strings of the queued operations.
size_t CountedTextBytes(const Picture& p) {
    const TextBox& box = p.textBox;
    size_t bytes = StringHeapBytes(box.shownText.capacity()) + StringHeapBytes(box.workingText.capacity()) +
                   StringHeapBytes(box.laidOutText.capacity());
    for (const auto* lines : {&box.lineWidths, &box.lineTops, &box.lineHeights, &box.lineRawWidths})
        bytes += lines->capacity() * sizeof(int32_t);
    for (const std::string& name : p.delayedNames)
        bytes += StringHeapBytes(name.capacity());
    return bytes;
}

size_t CountedTextBytes(const PictureList& list) {
    size_t bytes = 0;
    for (const Picture& picture : list.Pictures())
        bytes += CountedTextBytes(picture);
    return bytes;
}

// A picture as two lists with stores of their own can be told apart: graphs
// are named by the store entry whose whole image they are.
std::string Describe(const Picture& p, const PictureImageStore& store, bool withQueue = true) {
    const auto graph = [&](int32_t handle) -> std::string {
        if (handle == 0) return "none";
        for (size_t at = 0; at < store.Entries().size(); ++at) {
            if (store.Entries()[at].whole == handle) return "entry" + std::to_string(at);
        }
        return "gone";
    };
    std::ostringstream out;
    out << "id " << p.id << " graph " << graph(p.graph) << "/" << graph(p.previousGraph) << " files " << p.fileName
        << "/" << p.previousFileName << " cells " << p.cells.size() << "/" << p.previousCells.size() << " xy "
        << p.xTarget << "," << p.xFrom << "," << p.yTarget << "," << p.yFrom << " pattern " << p.pattern << "/"
        << p.previousPattern << " opacity " << p.opacityTarget << "/" << p.opacityFrom << " blend " << p.blendKind
        << "/" << p.previousBlendKind << " frames " << p.remaining << "/" << p.total << " zoom " << p.zoomXTarget << ","
        << p.zoomXFrom << "," << p.zoomYTarget << "," << p.zoomYFrom << " angle " << p.angleTarget << "/" << p.angleFrom
        << " cell " << p.cellWidth << "x" << p.cellHeight << "/" << p.previousCellWidth << "x" << p.previousCellHeight
        << " color " << p.colorTarget[0] << "," << p.colorFrom[0] << " wrap " << p.wrapOffsetX << " kind "
        << p.stringPicture << p.windowPicture << p.mapLinked << " anchor " << p.anchor << "/" << p.previousAnchor
        << " divisions " << p.divisionsX << "x" << p.divisionsY << " state " << p.erasing << p.removed << p.hidden
        << " text " << p.textBox.shownText.size() << ":" << p.textBox.shownText.substr(0, 8) << "," << p.textBox.x
        << "," << p.textBox.speed;
    if (withQueue) {
        out << " queue";
        for (size_t at = 0; at < p.delayedValues.size(); ++at) {
            out << " [" << p.delayedNames[at] << ":";
            for (int32_t word : p.delayedValues[at])
                out << word << ",";
            out << "]";
        }
        out << " counted " << p.textBytesCounted;
    }
    return out.str();
}

std::string Describe(const PictureList& list, const PictureImageStore& store) {
    std::string text = "held " + std::to_string(list.HeldTextBytes()) + "\nstore";
    for (const PictureImageStore::Entry& entry : store.Entries())
        text += " " + entry.fileName + ":" + std::to_string(entry.divisionsX) + "x" + std::to_string(entry.divisionsY) +
                ":" + std::to_string(entry.cells.size());
    for (const Picture& picture : list.Pictures())
        text += "\n" + Describe(picture, store);
    return text;
}

// A second list beside the fixture's, over the same library and text side
// but with an image store of its own.
class PictureListPairTest : public PictureListTest {
protected:
    size_t Boxes() const { return reporter_.boxes.size() + reporter_.messages.size(); }

    PictureImageStore otherImages_{library_};
    PictureServices otherServices_{drawing_, otherImages_, renderer_, pictureSettings_};
    PictureList other_{otherServices_};
};

PictureArguments RandomArguments(std::mt19937& random) {
    PictureArguments a;
    a.divisionsX = static_cast<int32_t>(1 + random() % 2);
    a.divisionsY = random() % 8 == 0 ? 200 : 1;
    a.x = static_cast<int32_t>(random() % 50);
    a.y = static_cast<int32_t>(random() % 50);
    a.pattern = static_cast<int32_t>(random() % 5 == 0 ? 3 : 1);
    a.opacity = static_cast<int32_t>(random() % 256);
    a.frames = static_cast<int32_t>(random() % 4);
    a.anchor = static_cast<int32_t>(random() % 5);
    a.relative = random() % 4 == 0;
    return a;
}

std::string RandomFile(std::mt19937& random) {
    const char* files[] = {"pic.png", "pic.png", "wide.png", "frame.png", "", "<<ERROR>>", "missing.png"};
    return files[random() % (random() % 10 == 0 ? 7 : 6)];
}

// A text of a few KiB in one case of four, held on the heap; else a short one.
std::string RandomText(std::mt19937& random) {
    return random() % 4 == 0 ? std::string(1024 + random() % 4096, 'a') : std::string(1 + random() % 20, 'b');
}

// Shows over a range, in front of, among and behind pictures of every kind,
// leave the list as showing each id of the range in turn leaves it: the
// same pictures in the same order with the same records, the same images
// kept and let go, and the same boxes, also where the range stops at a box.
TEST_F(PictureListPairTest, AShowOverARangeLeavesWhatShowingEachIdInTurnLeaves) {
    // A few string pictures fill the bound, so a range of them stops midway.
    const LoweredStringLimit limit(64 << 10);
    std::mt19937 random(20260601);
    for (int round = 0; round < 300; ++round) {
        pictures_.Clear(true);
        other_.Clear(true);
        // The same history on both lists.
        for (int step = 0, steps = static_cast<int>(random() % 8); step < steps; ++step) {
            const auto a = static_cast<int32_t>(random() % 40) - 3;
            const auto b = a + static_cast<int32_t>(random() % 6);
            const PictureArguments arguments = RandomArguments(random);
            const std::string file = RandomFile(random);
            const std::string text = RandomText(random);
            const auto delay = static_cast<int32_t>(random() % 3 == 0 ? 2 : 0);
            const uint32_t kind = random() % 6;
            for (PictureList* list : {&pictures_, &other_}) {
                switch (kind) {
                    case 0:
                    case 1: list->Show(a, b, file, arguments, delay, false); break;
                    case 2: list->ShowString(a, b, text, arguments, delay); break;
                    case 3: list->EraseRange(a, b, arguments.frames, delay, kNeutralPackedColor); break;
                    case 4: list->Move(a, b, arguments, delay); break;
                    default: list->Update(); break;
                }
            }
        }
        ASSERT_EQ(Describe(pictures_, images_), Describe(other_, otherImages_)) << "round " << round;

        const auto first = static_cast<int32_t>(random() % 50) - 5;
        const auto last = first + static_cast<int32_t>(random() % 30) - 3;
        const PictureArguments arguments = RandomArguments(random);
        const std::string file = RandomFile(random);
        const std::string text = RandomText(random);
        const auto delay = static_cast<int32_t>(random() % 4 == 0 ? 1 : 0);
        const bool asString = random() % 4 == 0;
        const bool window = random() % 8 == 0;
        const auto show = [&](PictureList& list, int32_t from, int32_t to) {
            if (asString) {
                list.ShowString(from, to, text, arguments, delay);
            } else {
                list.Show(from, to, file, arguments, delay, window);
            }
        };
        const size_t boxesBefore = Boxes();
        show(pictures_, first, last);
        const size_t rangeBoxes = Boxes() - boxesBefore;
        for (int64_t id = first; id <= last && Boxes() == boxesBefore + rangeBoxes; ++id) {
            if (other_.Find(static_cast<int32_t>(id)) == nullptr &&
                other_.Pictures().size() >= PictureList::kMaxPictures)
                break;
            show(other_, static_cast<int32_t>(id), static_cast<int32_t>(id));
        }
        EXPECT_EQ(Boxes() - boxesBefore, 2 * rangeBoxes) << "round " << round;
        ASSERT_EQ(Describe(pictures_, images_), Describe(other_, otherImages_)) << "round " << round;
        EXPECT_EQ(pictures_.HeldTextBytes(), CountedTextBytes(pictures_)) << "round " << round;
        // And they go on alike.
        pictures_.Update();
        other_.Update();
        ASSERT_EQ(Describe(pictures_, images_), Describe(other_, otherImages_)) << "round " << round;
    }
}

// Many operations queued on one picture and falling due in the same frames
// run as the rule reads, each taken out of the queue on the spot: in queue
// order, each seeing what the ones before it left, while the ones that wait
// keep their order and count down. The second list runs the due operations
// at once before its update, which is what the first one's update runs
// first for the picture.
TEST_F(PictureListPairTest, DelayedOperationsDueTogetherRunInQueueOrderAndTheRestWaitInOrder) {
    std::mt19937 random(20260602);
    PictureArguments never = At(0, 0);
    for (int round = 0; round < 120; ++round) {
        pictures_.Clear(true);
        other_.Clear(true);
        settings_.frameStep = static_cast<int32_t>(1 + random() % 2);
        // Picture 1 waits on an entry that never falls due, so that neither
        // list drops it once it is removed.
        const auto wait = [&](PictureList& list) { list.Move(1, 1, never, INT_MAX); };
        for (PictureList* list : {&pictures_, &other_}) {
            list->Show(2, 2, "pic.png", At(0, 0), 0, false);
            list->Show(1, 1, "wide.png", At(5, 5), 0, false);
            wait(*list);
        }
        // What the first list's queue holds, by the rule.
        std::vector<std::string> names = P(1).delayedNames;
        std::vector<std::vector<int32_t>> queue = P(1).delayedValues;
        for (int frame = 0; frame < 24; ++frame) {
            for (int n = static_cast<int>(random() % (frame < 8 ? 16 : 3)); n > 0; --n) {
                if (random() % 40 == 0) {
                    pictures_.CancelDelayedRange(1, 1);
                    other_.CancelDelayedRange(1, 1);
                    wait(pictures_);
                    wait(other_);
                    names = P(1).delayedNames;
                    queue = P(1).delayedValues;
                    continue;
                }
                PictureArguments a = RandomArguments(random);
                a.divisionsY = 1;
                const auto delay = static_cast<int32_t>(1 + random() % 5);
                switch (random() % 5) {
                    case 0: pictures_.Show(1, 1, RandomFile(random), a, delay, random() % 6 == 0); break;
                    case 1: pictures_.ShowString(1, 1, RandomText(random), a, delay); break;
                    case 2:
                    case 3: pictures_.Move(1, 1, a, delay); break;
                    default: pictures_.EraseRange(1, 1, a.frames, delay, kNeutralPackedColor); break;
                }
                names.push_back(P(1).delayedNames.back());
                queue.push_back(P(1).delayedValues.back());
            }
            const size_t boxesBefore = Boxes();
            pictures_.Update();
            const size_t updateBoxes = Boxes() - boxesBefore;
            for (size_t at = 0; at < queue.size();) {
                if (!queue[at].empty() && queue[at][0] > 0) {
                    queue[at][0] -= settings_.frameStep;
                    ++at;
                    continue;
                }
                // Moved out, as a string left behind keeps its memory.
                const std::vector<int32_t> words = std::move(queue[at]);
                const std::string name = std::move(names[at]);
                queue.erase(queue.begin() + static_cast<std::ptrdiff_t>(at));
                names.erase(names.begin() + static_cast<std::ptrdiff_t>(at));
                const auto kind = static_cast<PictureOperation>(words[1]);
                PictureArguments a;
                ASSERT_TRUE(DecodeDelayedWords(kind, words, a));
                switch (kind) {
                    case PictureOperation::kShowImage:
                    case PictureOperation::kShowWindow:
                        other_.Show(1, 1, name, a, 0, kind == PictureOperation::kShowWindow);
                        break;
                    case PictureOperation::kShowString: other_.ShowString(1, 1, name, a, 0); break;
                    case PictureOperation::kMove: other_.Move(1, 1, a, 0); break;
                    case PictureOperation::kErase: other_.EraseRange(1, 1, a.frames, 0, a.color); break;
                }
            }
            other_.Update();
            const std::string where = "round " + std::to_string(round) + " frame " + std::to_string(frame);
            EXPECT_EQ(Boxes() - boxesBefore, 2 * updateBoxes) << where;
            ASSERT_EQ(P(1).delayedNames, names) << where;
            ASSERT_EQ(P(1).delayedValues, queue) << where;
            ASSERT_NE(other_.Find(1), nullptr) << where;
            ASSERT_EQ(Describe(P(1), images_, false), Describe(*other_.Find(1), otherImages_, false)) << where;
            ASSERT_EQ(Describe(P(2), images_), Describe(*other_.Find(2), otherImages_)) << where;
            size_t queued = 0;
            for (const std::string& name : names)
                queued += StringHeapBytes(name.capacity());
            EXPECT_EQ(pictures_.HeldTextBytes(), other_.HeldTextBytes() + queued) << where;
            EXPECT_EQ(pictures_.HeldTextBytes(), CountedTextBytes(pictures_)) << where;
        }
    }
}

}  // namespace
}  // namespace velk::testing
