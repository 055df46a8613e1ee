// The screen commands as the interpreter runs them: the picture command's
// words and arguments reaching the picture list, the screen's tone and
// flash, the transition commands, freezing, waiting and ending the game.

#include "game/present/picture_commands.h"

#include "game/data/game_system.h"
#include "game/event/event_interpreter.h"
#include "game/event/event_records.h"
#include "game/event/main_event_interpreter.h"
#include "tests/game/present/picture_fixture.h"

namespace velk::testing {
namespace {

class FakeScreen final : public ScreenStateLink {
public:
    void SetSceneState(int32_t state) override { sceneState = state; }
    bool WindowBusy() override { return windowBusy; }
    bool TransitionPrepared() override { return prepared; }
    void SetTransitionPrepared(bool value) override { prepared = value; }
    bool TransitionRunning() override { return running; }
    void StartTransition() override { running = true; }
    int32_t TransitionStartScreen() override { return 501; }
    int32_t FrozenScreen() override { return 502; }
    void SetMapVisible(bool visible) override { mapVisible = visible; }
    int32_t TransitionGraph() override { return graph; }
    void SetTransitionImage(const std::string& newPath, int32_t newGraph, bool fade, int32_t newFrames,
                            uint8_t newOption) override {
        path = newPath, graph = newGraph, plainFade = fade, frames = newFrames, option = newOption;
    }

    int32_t sceneState = 1;
    bool windowBusy = false, prepared = false, running = false, mapVisible = true, plainFade = false;
    std::string path;
    int32_t graph = -1, frames = 0;
    uint8_t option = 0;
};

class PictureCommandsTest : public PictureTest {
protected:
    PictureCommandsTest() {
        table_.Register(commands_);
        DbTypeData& transitions = databases_.system.types[11];
        transitions.itemKinds = {2000};
        transitions.rows = {DbRow{{}, {"fade0.png"}}, DbRow{{}, {"fade1.png"}}, DbRow{{}, {"fade2.png"}}};
    }

    CommandResult Run(std::vector<int32_t> arguments, std::vector<std::string> strings = {}) {
        EventCommand command;
        command.arguments = std::move(arguments);
        command.strings = std::move(strings);
        const CommandEntry* entry = table_.Find(command.Code());
        EXPECT_NE(entry, nullptr);
        if (command.arguments.size() < entry->minimumArguments) command.arguments.resize(entry->minimumArguments);
        return entry->handler(interpreter_, command);
    }

    MainEventInterpreter main_{32};
    FakeScreen screen_;
    CommandTable table_;
    PictureCommands commands_{pictures_, main_, screen_, drawing_, databases_.system, settings_};
    EventInterpreter interpreter_;
};

// The operation word of the picture command.
constexpr int32_t kBlend(int32_t kind) { return kind << 8; }
constexpr int32_t kAnchor(int32_t anchor) { return anchor << 12; }
constexpr int32_t kRelative = 1 << 16;
constexpr int32_t kZoomAxis(int32_t axis) { return axis << 20; }
constexpr int32_t kRange = 1 << 24;
constexpr int32_t kLinked = 1 << 25;

TEST_F(PictureCommandsTest, AShowPassesEveryArgumentToTheRangeOfPictures) {
    // code, word, id, frames, divisions x, y, pattern, opacity, x, y, zoom,
    // angle, string variable, colour, delay, second id.
    const int32_t word = 0x00 | kBlend(1) | kAnchor(1) | kZoomAxis(2) | kRange;
    EXPECT_EQ(
        Run({150, word, 5, 12, 4, 1, 2, 200, 300, 100, 150, 450, 0, 150 * 65536 + 100 * 256 + 100, 0, 3}, {"pic.png"}),
        CommandResult::kAdvance);
    EXPECT_EQ(Ids(), (std::vector<int32_t>{3, 4, 5}));
    const Picture& p = P(4);
    EXPECT_EQ(p.fileName, "pic.png");
    EXPECT_EQ(p.cells.size(), 4u);
    EXPECT_EQ(p.pattern, 2);
    EXPECT_EQ(p.opacityTarget, 200);
    EXPECT_EQ(p.xTarget, 300);
    EXPECT_EQ(p.yTarget, 100);
    EXPECT_EQ(p.zoomXTarget, 150);
    EXPECT_EQ(p.zoomYTarget, 100);
    EXPECT_EQ(p.angleTarget, 450);
    EXPECT_EQ(p.anchor, 1);
    EXPECT_EQ(p.blendKind, 1);
    EXPECT_EQ(p.total, 12);
    EXPECT_EQ(p.colorTarget[0], 127);
    EXPECT_FALSE(p.mapLinked);
    EXPECT_FALSE(p.windowPicture);

    // The map-link bit, a delay, and without a range bit the second id is
    // not read.
    Run({150, kLinked, 8, 0, 1, 1, 1, 255, 0, 0, 100, 0, 0, kNeutralPackedColor, 3, 20}, {"pic.png"});
    EXPECT_EQ(P(8).delayedValues.size(), 1u);
    EXPECT_EQ(pictures_.Find(9), nullptr);
    Frames(4);
    EXPECT_TRUE(P(8).mapLinked);
}

TEST_F(PictureCommandsTest, SourcesPickAnImageAWindowFrameOrAText) {
    Run({150, 0x30, 1, 0, 48, 40, 1, 255, 0, 0, 100, 0, 0}, {"frame.png"});
    EXPECT_TRUE(P(1).windowPicture);
    EXPECT_EQ(P(1).divisionsX, 48);
    EXPECT_EQ(P(1).cells.size(), 9u);
    Run({150, 0x20 | kBlend(2) | kLinked, 2, 0, 1, 1, 1, 255, 7, 8, 100, 0, 0}, {"ab\\\\c"});
    EXPECT_TRUE(P(2).stringPicture);
    EXPECT_EQ(P(2).textBox.shownText.back(), 'c');
    EXPECT_EQ(P(2).blendKind, 2);
    // The text's map link is not taken.
    EXPECT_FALSE(P(2).mapLinked);
    Run({150, 0x50, 3, 0, 1, 1, 1, 255, 0, 0, 100, 0, 0}, {"pic.png"});
    EXPECT_EQ(pictures_.Find(3), nullptr);
}

TEST_F(PictureCommandsTest, MoveEraseAndCancelReachTheirPictures) {
    Run({150, 0, 1, 0, 1, 1, 1, 255, 10, 20, 100, 0, 0}, {"pic.png"});
    Run({150, 0, 2, 0, 1, 1, 1, 255, 10, 20, 100, 0, 0}, {"pic.png"});
    Frames(1);
    Run({150, 1 | kRelative | kRange | kZoomAxis(1), 1, 8, 0, 0, kKeepValue, 100, 5, -5, 200, 0, 0, kNeutralPackedColor,
         0, 2});
    EXPECT_EQ(P(1).xTarget, 15);
    EXPECT_EQ(P(2).yTarget, 15);
    EXPECT_EQ(P(2).zoomYTarget, 200);
    EXPECT_EQ(P(2).zoomXTarget, 100);
    EXPECT_EQ(P(2).opacityTarget, 100);
    EXPECT_EQ(P(2).total, 8);

    // Erase: frames, delay, colour, second id.
    Run({150, 2 | kRange, 2, 6, 4, kNeutralPackedColor, 1});
    EXPECT_EQ(P(1).delayedValues.size(), 1u);
    Run({150, 3 | kRange, 1, 2});
    EXPECT_TRUE(P(1).delayedValues.empty());
    // A short erase command: no delay, the neutral colour.
    Run({150, 2, 2, 6});
    EXPECT_TRUE(P(2).erasing);
    EXPECT_EQ(P(2).remaining, 6);
    EXPECT_EQ(P(2).colorTarget, (std::array<int32_t, 3>{0, 0, 0}));
    Run({150, 7, 2, 6});
    EXPECT_EQ(Ids(), (std::vector<int32_t>{1, 2}));
}

TEST_F(PictureCommandsTest, TheScreenColourStartsATintOrAFlash) {
    Run({151, 200 | 100 << 8 | 0 << 16, 30});
    EXPECT_EQ(main_.tone.target, (std::array<int16_t, 3>{255, 0, -255}));
    EXPECT_EQ(main_.tone.remaining, 31);
    Run({151, 150 | 100 << 8 | 100 << 16 | kKeepColorBit, 5});
    EXPECT_EQ(main_.flash.color, (std::array<int16_t, 3>{127, 0, 0}));
    EXPECT_EQ(main_.tone.target[0], 255);
}

TEST_F(PictureCommandsTest, TheTransitionImageIsLoadedFromItsRowOrDroppedForAPlainFade) {
    Run({160, 2, 30 | 1 << 16});
    EXPECT_EQ(main_.transitionGraphic, 2);
    EXPECT_EQ(main_.transitionFrames, 30);
    EXPECT_EQ(main_.transitionWait, 1);
    EXPECT_EQ(screen_.path, "Data\\fade2.png");
    EXPECT_EQ(screen_.graph, 77);
    EXPECT_FALSE(screen_.plainFade);
    EXPECT_EQ(screen_.option, 1);
    drawing_.Take();
    Run({160, -1, 12});
    EXPECT_EQ(drawing_.Take(), (std::vector<std::string>{"delete 77"}));
    EXPECT_TRUE(screen_.plainFade);
    EXPECT_EQ(screen_.graph, -1);
    EXPECT_EQ(screen_.frames, 12);
    EXPECT_EQ(screen_.option, 0);
}

TEST_F(PictureCommandsTest, ATransitionWaitsForWindowsAndARunningTransition) {
    screen_.windowBusy = true;
    EXPECT_EQ(Run({161}), CommandResult::kStopFrame);
    EXPECT_FALSE(screen_.prepared);
    screen_.windowBusy = false;
    drawing_.Take();
    EXPECT_EQ(Run({161}), CommandResult::kAdvance);
    EXPECT_TRUE(screen_.prepared);
    EXPECT_EQ(drawing_.Take(), (std::vector<std::string>{"capture 0 0 640 480 501"}));
    EXPECT_EQ(Run({162}), CommandResult::kAdvance);
    EXPECT_TRUE(screen_.running);
    EXPECT_FALSE(screen_.prepared);
    EXPECT_EQ(Run({161}), CommandResult::kStopFrame);
    // Executed without a prepare: the screen is captured first.
    screen_.running = false;
    EXPECT_EQ(Run({162}), CommandResult::kAdvance);
    EXPECT_EQ(drawing_.Take(), (std::vector<std::string>{"capture 0 0 640 480 501"}));
    EXPECT_EQ(Run({162}), CommandResult::kStopFrame);
}

TEST_F(PictureCommandsTest, FreezeWaitAndTheEndOfTheGame) {
    drawing_.Take();
    Run({177});
    EXPECT_FALSE(screen_.mapVisible);
    EXPECT_EQ(drawing_.Take(), (std::vector<std::string>{"capture 0 0 640 480 502"}));
    Run({178});
    EXPECT_TRUE(screen_.mapVisible);
    Run({180, 25});
    EXPECT_EQ(interpreter_.waitFrames, 25);
    Run({180, -5});
    EXPECT_EQ(interpreter_.waitFrames, 0);
    Run({174});
    EXPECT_EQ(screen_.sceneState, 0);
    Run({175});
    EXPECT_EQ(screen_.sceneState, -1);
}

TEST(GameSystemScreenTest, TheCommandsReachTheGameSystemsTransitionAndRunState) {
    GameSystem system;
    uint8_t mapVisible = 1;
    GameSystemScreen screen(system, mapVisible);
    screen.SetTransitionImage("Data\\t.png", 1234, false, 45, 1);
    EXPECT_EQ(system.transitionImagePath, "Data\\t.png");
    EXPECT_EQ(screen.TransitionGraph(), 1234);
    EXPECT_EQ(system.plainFade, 0);
    EXPECT_EQ(system.transitionLength, 45);
    EXPECT_EQ(system.transitionWaits, 1);
    screen.SetTransitionPrepared(true);
    EXPECT_TRUE(screen.TransitionPrepared());
    screen.StartTransition();
    EXPECT_TRUE(screen.TransitionRunning());
    EXPECT_EQ(system.transitionLeft, 45);
    system.windowBusy = 1;
    EXPECT_TRUE(screen.WindowBusy());
    screen.SetMapVisible(false);
    EXPECT_EQ(mapVisible, 0);
    screen.SetSceneState(-1);
    EXPECT_EQ(system.sceneState, -1);
}

}  // namespace
}  // namespace velk::testing
