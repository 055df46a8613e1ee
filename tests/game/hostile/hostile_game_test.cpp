// Games made to hurt the player: event commands with extreme parameters,
// strings and maps far larger than any game needs, loops of file writes,
// paths that leave the game folder. Whatever a game folder holds, the player
// goes on frame by frame, answers a close within a second of game time and
// keeps its memory bounded (the whole set is measured at the end).
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "game/data/error_reporter.h"
#include "game/data/input_state.h"
#include "game/data/variable_id.h"
#include "game/data/variable_store.h"
#include "game/event/command_codes.h"
#include "game/event/event_interpreter.h"
#include "game/shell/game_home.h"
#include "game/shell/game_program.h"
#include "lib/core/window/window_state.h"
#include "lib/graphics/graph_table.h"
#include "lib/image/graph_image.h"
#include "lib/image/image_writer.h"
#include "platform/file/whole_file.h"
#include "platform/window/message_box.h"
#include "platform/window/single_instance.h"
#include "tests/support/game/basic_game.h"
#include "tests/support/game/game_harness.h"

namespace velk::testing {
namespace {

// A game whose only common event starts by itself while normal variable 99
// is 0 and runs `commands`; `map` replaces the 20 x 15 map.
std::string GameWithAutoStart(const std::string& commands, const std::string& map = BasicMap()) {
    return R"(
game
  title "悪意"
)" + BasicSystemDatabase() +
           R"(
database user
database changeable
)" + map + R"(
common-events
  event "はじまり"
    trigger 0x21
    condition 2000099 0
)" + commands;
}

int64_t NowMs(GameHarness& game) { return game.Clock().Microseconds() / 1000; }

// Closes the window and expects the player to end at its next pass, within
// a second of game time.
void ExpectCloseAnswered(GameHarness& game) {
    const int64_t closedAt = NowMs(game);
    game.CloseWindow();
    game.StepFrames(2);
    EXPECT_TRUE(game.Ended());
    EXPECT_LE(NowMs(game) - closedAt, 1000);
}

// No file of the game folder is a write's temporary left behind.
void ExpectNothingHalfWritten(GameHarness& game) {
    for (const auto& entry : std::filesystem::recursive_directory_iterator(game.Folder())) {
        EXPECT_NE(entry.path().filename().string().rfind(platform::kTemporaryFilePrefix, 0), 0u) << entry.path();
    }
}

// Closes the window 100 ms into the frame that comes next, which its events
// would hold far longer, and expects the player to end within a second of
// game time after the close as at a close between frames: Game.ini written
// anew, nothing half-written.
void ExpectCloseAnsweredInsideTheFrame(GameHarness& game) {
    std::filesystem::remove(game.Folder() / "Game.ini");
    game.At(100, [&] { game.CloseWindow(); });
    const int64_t closedAt = NowMs(game) + 100;
    game.StepFrames(3);
    EXPECT_TRUE(game.Ended());
    EXPECT_LE(NowMs(game) - closedAt, 1000);
    EXPECT_NE(game.ReadFile("Game.ini"), "");
    ExpectNothingHalfWritten(game);
}

constexpr char kStopAutoStart[] = "    command 121 2000099 1 0 0xC\n";

TEST(HostileGame, AVariableRangeStopsAtTheLastVariableWithOneBox) {
    // Normal variables are 0-99. The first range sets 95-99 and reports 100
    // once; the second starts past the end and reports its first id only.
    // The third names self variables of a common event that does not
    // exist, which take writes silently, as do the unused ids after them: it
    // ends with the last common-event id, not 2^31 ids on.
    GameHarness game(GameWithAutoStart(R"(
    command 121 2000095 7 0 0x1000C 100
    command 121 2000150 7 0 0x1000C 100
    command 121 15999990 7 0 0x1000C 2147483647
    command 121 2000001 3 0 0xC
)"));
    game.SetKey(game_key::kEnter, true);  // closes each box after a short hold
    const uint64_t boxes = ErrorBoxesAskedFor();
    ASSERT_EQ(game.Start(), std::nullopt);
    EXPECT_EQ(ErrorBoxesAskedFor() - boxes, 2u);
    for (int id = 95; id <= 99; ++id)
        EXPECT_EQ(game.Variable(kVariableBase + id), 7) << id;
    EXPECT_EQ(game.Variable(kVariableBase + 94), 0);
    EXPECT_EQ(game.Variable(kVariableBase + 1), 3) << "the event goes on after the ranges";
    ExpectCloseAnswered(game);
}

TEST(HostileGame, ARangeOverEveryIdEndsWithTheCloseOfItsFirstBox) {
    // 2^31 ids past the last variable; nobody answers the box, the window is
    // closed instead. Nothing after the close runs or waits: not the rest of
    // the range, not the commands after it, not their boxes.
    GameHarness game(GameWithAutoStart(R"(
    command 180 2
    command 121 2000100 1 0 0x1000C 2147483647
    command 121 2000001 5 0 0xC
    command 121 2000200 1 0 0xC
)"));
    ASSERT_EQ(game.Start(), std::nullopt);
    // The box comes a few frames on and waits until the close.
    game.At(500, [&] { game.CloseWindow(); });
    const int64_t start = NowMs(game);
    const uint64_t boxes = ErrorBoxesAskedFor();
    game.StepFrames(10);
    EXPECT_TRUE(game.Ended());
    EXPECT_EQ(ErrorBoxesAskedFor() - boxes, 1u);
    EXPECT_EQ(game.Variable(kVariableBase + 1), 0) << "the close ended the frame";
    EXPECT_LE(NowMs(game) - start, 500 + 1000);
}

TEST(HostileGame, PicturesOverEveryIdWithAMissingFileRaiseOneBox) {
    GameHarness game(GameWithAutoStart(std::string(R"(
    command 150 0x1000000 -2147483648 0 1 1 1 255 0 0 100 0 0 0x646464 0 2147483647 text "Picture/missing.png"
)") + kStopAutoStart));
    ASSERT_EQ(game.Start(), std::nullopt);
    EXPECT_EQ(game.MessageBoxes().size(), 1u);
    ExpectCloseAnswered(game);
}

TEST(HostileGame, ALoopOfMissingPicturesEndsWithTheCloseOfTheWindow) {
    // Every pass raises a message box. A desktop that shows them has the
    // window's messages read after each; on one that shows none each try
    // would start a helper program, so it is tried once and the game's own
    // box takes over, which reads them as it waits.
    for (const bool desktopBoxes : {true, false}) {
        GameHarness game(GameWithAutoStart(R"(
    command 180 2
    command 170
    command 150 0 1 0 1 1 1 255 0 0 100 0 0 0x646464 0 indent 1 text "Picture/missing.png"
    command 498
)"));
        int answered = 0;
        struct HookRemoval {
            ~HookRemoval() { platform::SetMessageBoxHook(nullptr); }
        } hookRemoval;
        if (desktopBoxes) {
            platform::SetMessageBoxHook([&](const platform::MessageBoxRequest&) {
                if (++answered == 3) game.CloseWindow();
                return platform::kMessageBoxResultOk;
            });
        } else {
            game.Window().SetMessageBoxAnswer(std::nullopt);
        }
        // Held confirm closes each of the game's boxes after a short hold:
        // several pass before the close.
        game.SetKey(game_key::kEnter, true);
        ASSERT_EQ(game.Start(), std::nullopt);
        game.At(500, [&] { game.CloseWindow(); });
        const int64_t start = NowMs(game);
        const uint64_t boxes = ErrorBoxesAskedFor();
        game.StepFrames(10);
        EXPECT_TRUE(game.Ended()) << desktopBoxes;
        EXPECT_LE(NowMs(game) - start, 500 + 1000) << desktopBoxes;
        EXPECT_EQ(answered, desktopBoxes ? 3 : 0);
        EXPECT_EQ(game.MessageBoxes().size(), desktopBoxes ? 0u : 1u);
        if (!desktopBoxes) {
            EXPECT_GE(ErrorBoxesAskedFor() - boxes, 3u);
        }
    }
}

TEST(HostileGame, AStringStopsGrowingAtItsLimitAndTheFrameGoesOn) {
    // 1000 bytes doubled 40 times: 14 doublings fit in 16 MiB, the other 26
    // are refused with a box each and leave the string as it was.
    std::string commands = "    command 122 3000001 0 0 text \"" + std::string(1000, 'x') + "\"\n";
    for (int i = 0; i < 40; ++i)
        commands += "    command 122 3000001 0x101 3000001\n";
    commands += "    command 121 2000001 1 0 0xC\n";
    commands += kStopAutoStart;
    GameHarness game(GameWithAutoStart(commands));
    game.SetKey(game_key::kEnter, true);
    const uint64_t boxes = ErrorBoxesAskedFor();
    ASSERT_EQ(game.Start(), std::nullopt);
    EXPECT_EQ(game.StringVariable(kStringBase + 1).size(), size_t{1000} << 14);
    EXPECT_EQ(ErrorBoxesAskedFor() - boxes, 26u);
    EXPECT_EQ(game.Variable(kVariableBase + 1), 1);
    ExpectCloseAnswered(game);
}

TEST(HostileGame, StringsStopGrowingWhenTogetherTheyReachTheirBound) {
    // 1000 bytes doubled ten times (1,024,000), then copied into eight more
    // variables: under a bound of 3.5 MiB two copies fit, six are refused.
    // What counts is what is held, not what was ever written.
    SetHeldStringLimit(size_t{7} << 19);
    std::string commands = "    command 122 3000001 0 0 text \"" + std::string(1000, 'x') + "\"\n";
    for (int i = 0; i < 10; ++i)
        commands += "    command 122 3000001 0x101 3000001\n";
    for (int id = 3000002; id <= 3000009; ++id)
        commands += "    command 122 " + std::to_string(id) + " 0x1 3000001\n";
    commands += "    command 121 2000001 1 0 0xC\n";
    commands += kStopAutoStart;
    GameHarness game(GameWithAutoStart(commands));
    game.SetKey(game_key::kEnter, true);
    const uint64_t boxes = ErrorBoxesAskedFor();
    const std::optional<int> started = game.Start();
    SetHeldStringLimit(kMaxHeldStringBytes);
    ASSERT_EQ(started, std::nullopt);
    EXPECT_EQ(game.StringVariable(kStringBase + 3).size(), size_t{1000} << 10);
    EXPECT_EQ(game.StringVariable(kStringBase + 4), "");
    EXPECT_EQ(ErrorBoxesAskedFor() - boxes, 6u);
    EXPECT_EQ(game.Variable(kVariableBase + 1), 1);
    ExpectCloseAnswered(game);
}

TEST(HostileGame, StringPicturesOfOneLongTextStopAtTheirBoundAndErasingMakesRoom) {
    // 1000 bytes doubled six times (64,000) shown as a text over pictures
    // 1-500. Laid out, each keeps it three times: under a bound of 2 MiB ten
    // are made and the eleventh is refused with one box; the range stops
    // there. Once they are erased a new one is made.
    SetHeldStringLimit(size_t{2} << 20);
    std::string commands = "    command 122 3000001 0 0 text \"" + std::string(1000, 'x') + "\"\n";
    for (int i = 0; i < 6; ++i)
        commands += "    command 122 3000001 0x101 3000001\n";
    const std::string show = " 0 1 1 1 255 0 0 100 0 0 0x646464 0";
    commands += "    command 150 0x1000020 1" + show + " 500 text \"\\\\s[1]\"\n";
    commands += "    command 124 2000001 0x4000 10 9\n";
    commands += "    command 124 2000002 0x4000 11 9\n";
    commands += "    command 124 2000003 0x4000 12 9\n";
    commands += "    command 150 0x1000002 1 0 0 0x646464 500\n";
    commands += "    command 180 2\n";
    commands += "    command 150 0x20 600" + show + " text \"\\\\s[1]\"\n";
    commands += "    command 124 2000004 0x4000 600 9\n";
    commands += "    command 124 2000005 0x4000 600 2\n";
    commands += "    command 124 2000006 0x4000 1 9\n";
    commands += kStopAutoStart;
    GameHarness game(GameWithAutoStart(commands));
    game.SetKey(game_key::kEnter, true);
    const uint64_t boxes = ErrorBoxesAskedFor();
    const std::optional<int> started = game.Start();
    const bool stepped = game.StepFrames(3);
    SetHeldStringLimit(kMaxHeldStringBytes);
    ASSERT_EQ(started, std::nullopt);
    ASSERT_TRUE(stepped);
    EXPECT_EQ(game.StringVariable(kStringBase + 1).size(), size_t{1000} << 6);
    EXPECT_EQ(ErrorBoxesAskedFor() - boxes, 1u);
    EXPECT_EQ(game.Variable(kVariableBase + 1), 1) << "the tenth picture is made";
    EXPECT_EQ(game.Variable(kVariableBase + 2), 0) << "the eleventh is refused";
    EXPECT_EQ(game.Variable(kVariableBase + 3), 0) << "the range stops at the refusal";
    EXPECT_EQ(game.Variable(kVariableBase + 4), 1) << "erasing made room";
    EXPECT_GT(game.Variable(kVariableBase + 5), 64000);
    EXPECT_EQ(game.Variable(kVariableBase + 6), 0);
    ExpectCloseAnswered(game);
}

TEST(HostileGame, OneImageShownUnderManySpellingsOfItsNameIsLoadedOnce) {
    std::string commands = "    command 150 0 1 0 1 1 1 255 0 0 100 0 0 0x646464 0 text \"Picture/big.png\"\n";
    commands += kStopAutoStart;
    commands += "  event \"綴り\"\n    trigger 0x21\n    condition 2000099 2\n";
    const std::string spellings[] = {"PICTURE/Big.PNG", "Picture\\\\\\\\big.png", "./Picture/./big.png",
                                     "Picture/d1/../big.png", "Picture\\\\d2\\\\..\\\\BIG.png"};
    int id = 2;
    for (const std::string& spelling : spellings)
        commands += "    command 150 0 " + std::to_string(id++) + " 0 1 1 1 255 0 0 100 0 0 0x646464 0 text \"" +
                    spelling + "\"\n";
    commands += "    command 121 2000099 3 0 0xC\n";
    GameHarness game(GameWithAutoStart(commands));
    GraphImage image{};
    ASSERT_EQ(CreateXRGB32GraphImage(512, 512, &image), 0);
    std::vector<uint8_t> png;
    ASSERT_EQ(EncodeGraphImageToPng(&image, 9, &png), 0);
    ReleaseGraphImage(&image);
    std::filesystem::create_directories(game.Folder() / "Data" / "Picture");
    std::ofstream(game.Folder() / "Data" / "Picture" / "big.png", std::ios::binary)
        .write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
    ASSERT_EQ(game.Start(), std::nullopt);
    const int graphs = GetGraphCount();
    game.Home().variableStore.SetInt(kVariableBase + 99, 2);
    ASSERT_TRUE(game.StepFrames(2));
    EXPECT_EQ(game.Variable(kVariableBase + 99), 3);
    EXPECT_EQ(GetGraphCount(), graphs);
    EXPECT_TRUE(game.MessageBoxes().empty());
    ExpectCloseAnswered(game);
}

TEST(HostileGame, ACommonEventFileCalledUnderManySpellingsOfItsNameIsLoadedOnce) {
    // Each pass names the file another way ("Data/d7/../extra.common"); its
    // one event adds 1 to variable 2.
    GameHarness game(GameWithAutoStart(std::string(R"(
    command 179 3000
    command 121 2000001 1 0 0x10C indent 1
    command 300 0 0x100 indent 1 text "Data/d\\v[1]/../EXTRA.common"
    command 498
)") + kStopAutoStart + R"(
common-file "Data\\extra.common"
  event "extra"
    command 121 2000002 1 0 0x10C
)"));
    ASSERT_EQ(game.Start(), std::nullopt);
    EXPECT_EQ(game.Variable(kVariableBase + 2), 3000);
    EXPECT_EQ(game.Home().commonEvents.Size(), 2);
    ExpectCloseAnswered(game);
}

TEST(HostileGame, ATextFileLongerThanAStringIsRefusedUnread) {
    GameHarness game(GameWithAutoStart(std::string(R"(
    command 122 3000002 0 0 text "before"
    command 122 3000002 0x500 0 text "big.txt"
    command 122 3000003 0x500 0 text "small.txt"
)") + kStopAutoStart));
    std::filesystem::resize_file(
        [&] {
            std::ofstream(game.Folder() / "big.txt");
            return game.Folder() / "big.txt";
        }(),
        kMaxStringLength + 1);
    std::ofstream(game.Folder() / "small.txt") << "ok";
    game.SetKey(game_key::kEnter, true);
    const uint64_t boxes = ErrorBoxesAskedFor();
    ASSERT_EQ(game.Start(), std::nullopt);
    EXPECT_EQ(game.StringVariable(kStringBase + 2), "before");
    EXPECT_EQ(game.StringVariable(kStringBase + 3), "ok");
    EXPECT_EQ(ErrorBoxesAskedFor() - boxes, 1u);
    ExpectCloseAnswered(game);
}

TEST(HostileGame, AMapAMillionRowsTallIsPlayedInBoundedMemory) {
    // Drawn every frame; the memory of the whole set is checked at its end.
    GameHarness game(GameWithAutoStart(kStopAutoStart, R"(
map "MapData/Map000.mps"
  name "tall"
  tileset 0
  size 1 1000000
)"));
    ASSERT_EQ(game.Start(), std::nullopt);
    EXPECT_TRUE(game.StepFrames(3));
    ExpectCloseAnswered(game);
}

TEST(HostileGame, ExtremePositionsAndFadeLengthsStayInRange) {
    // The hero to tile (INT_MIN, INT_MIN): held to 32 bits as half tiles,
    // then wrapped into the 20 x 15 map: -2^31 mod 40 = 32, mod 30 = 22.
    // A tone over 2^31 - 1 frames runs as long as its 16-bit counter can.
    GameHarness game(GameWithAutoStart(std::string(R"(
    command 130 -1 -2147483648 -2147483648 -1
    command 151 0x646464 2147483647
)") + kStopAutoStart));
    ASSERT_EQ(game.Start(), std::nullopt);
    ASSERT_TRUE(game.StepFrames(3));
    EXPECT_EQ(game.Variable(kPartyDataBase + kFieldHalfTileX), 32);
    EXPECT_EQ(game.Variable(kPartyDataBase + kFieldHalfTileY), 22);
    EXPECT_EQ(game.Home().mainInterpreter.tone.total, 32767);
    EXPECT_GT(game.Home().mainInterpreter.tone.remaining, 32000);
    ExpectCloseAnswered(game);
}

TEST(HostileGame, EventsThatWriteFilesInLoopsWriteEveryFileAndAnswerACloseInsideTheFrame) {
    // Each pass adds 1 to variable 0 and writes a file, itself or in an
    // event it calls; the loop runs in one event or in a thousand parallel
    // ones, the first of which holds the frame. A write takes 10 ms of game
    // time: the frame ends at the close, with every write done when its
    // command ran and none after the close.
    const std::string started = "  event \"書く\"\n    trigger 0x21\n    condition 2000099 2\n";
    const std::string writeLoop = R"(
    command 170
    command 121 2000000 1 0 0x10C indent 1
    command 122 3000000 0x600 0 indent 1 text "out.txt"
    command 498
)";
    std::string parallel;
    for (int i = 0; i < 1000; ++i)
        parallel +=
            "  event \"並び" + std::to_string(i) + "\"\n    trigger 0x22\n    condition 2000099 2\n" + writeLoop;
    const std::string waitEveryFrame = "    command 170\n    command 180 1 indent 1\n    command 498\n";
    const std::string games[] = {
        kStopAutoStart + started + writeLoop,
        kStopAutoStart + started + R"(
    command 170
    command 210 500002 0 indent 1
    command 498
  event "書き手"
    command 121 2000000 1 0 0x10C
    command 122 3000000 0x600 0 text "out.txt"
)",
        waitEveryFrame + parallel,
    };
    for (const std::string& events : games) {
        GameHarness game(GameWithAutoStart("    command 122 3000000 0 0 text \"saved\"\n" + events));
        ASSERT_EQ(game.Start(), std::nullopt);
        game.MakeCommandsDear(CommandCode::kStringOperation, 10);
        game.Home().variableStore.SetInt(kVariableBase + 99, 2);
        ExpectCloseAnsweredInsideTheFrame(game);
        const int32_t writes = game.Variable(kVariableBase);
        EXPECT_GT(writes, 8);
        EXPECT_LE(writes, 200);
        EXPECT_EQ(game.ReadFile("out.txt"), "saved");
    }
}

TEST(HostileGame, ALoopOfDearCommandsAnswersACloseInsideItsFrame) {
    // Each string copy takes 4 ms of game time, as one of 16 MiB does: the
    // limit of commands would hold the frame for over half an hour. The
    // copies loop in one event, in a common event that calls itself twice,
    // or in sixty parallel common events, the first of which holds the
    // frame: the others are not to run after the close either. Quick
    // commands before the copies in the same frame do not hide them.
    const std::string loop = R"(
    command 170
    command 122 3000001 0x1 3000002 indent 1
    command 498
)";
    const std::string started = "  event \"写す\"\n    trigger 0x21\n    condition 2000099 2\n";
    std::string parallel;
    for (int i = 0; i < 60; ++i)
        parallel += "  event \"並び" + std::to_string(i) + "\"\n    trigger 0x22\n    condition 2000099 2\n" + loop;
    // Parallel events start when the map re-selects its pages, which a
    // command run in an earlier frame asks for: here one that waits.
    const std::string waitEveryFrame = "    command 170\n    command 180 1 indent 1\n    command 498\n";
    const std::string games[] = {
        kStopAutoStart + started + loop,
        kStopAutoStart + started +
            "    command 122 3000001 0x1 3000002\n    command 210 600100 0\n"
            "    command 210 600100 0\n",
        waitEveryFrame + parallel,
        kStopAutoStart + started + "    command 179 5000\n    command 498\n" + loop,
    };
    for (const std::string& events : games) {
        GameHarness game(GameWithAutoStart(events));
        ASSERT_EQ(game.Start(), std::nullopt);
        game.MakeCommandsDear(CommandCode::kStringOperation, 4);
        game.Home().variableStore.SetInt(kVariableBase + 99, 2);
        ExpectCloseAnsweredInsideTheFrame(game);
    }
}

TEST(HostileGame, CallsThatBranchOrRepeatEndTheFrameAtTheLimitAndAnswerAClose) {
    // An event that calls itself twice, or twice from a counted loop, makes
    // 2^100 calls; one that starts over as soon as it ends never runs out.
    // The first frame ends at the limit of commands with one box.
    for (const char* commands : {
             "    command 210 600100 0\n    command 210 600100 0\n",
             "    command 179 2\n    command 210 600100 0 indent 1\n    command 498\n",
             "    command 121 2000001 1 0 0x10C\n",
         }) {
        GameHarness game(GameWithAutoStart(commands));
        game.SetKey(game_key::kEnter, true);
        const uint64_t boxes = ErrorBoxesAskedFor();
        ASSERT_EQ(game.Start(), std::nullopt) << commands;
        EXPECT_EQ(ErrorBoxesAskedFor() - boxes, 1u) << commands;
        ExpectCloseAnswered(game);
    }
}

TEST(HostileGame, AFolderListingStaysInsideTheGameFolder) {
    GameHarness game(GameWithAutoStart(std::string(R"(
    command 122 3000004 0x700 0 text "/"
    command 122 3000005 0x700 0 text ".."
    command 122 3000006 0x700 0 text "MapData\\.."
    command 122 3000007 0x700 0 text "C:\\"
    command 122 3000008 0x700 0 text "Data\\MapData"
)") + kStopAutoStart));
    ASSERT_EQ(game.Start(), std::nullopt);
    for (int id = 4; id <= 7; ++id)
        EXPECT_EQ(game.StringVariable(kStringBase + id), "") << id;
    EXPECT_EQ(game.StringVariable(kStringBase + 8), "Map000.mps");
    ExpectCloseAnswered(game);
}

TEST(HostileGame, ASecondPlayerOfTheSameGameOnTheSameDisplayIsRefusedAndSaysWhy) {
    const std::string description = GameWithAutoStart(kStopAutoStart);
    std::string className;
    {
        GameHarness first(description);
        first.Window().SetDisplayName("x11::7");
        ASSERT_EQ(first.Start(), std::nullopt);
        className = MainWindowState().class_name;
        EXPECT_FALSE(platform::SingleInstanceLock::Acquire(className, "x11::7").has_value());
        EXPECT_TRUE(platform::SingleInstanceLock::Acquire(className, "x11::8").has_value());
    }
    {
        GameHarness second(description);
        second.Window().SetDisplayName("x11::7");
        auto running = platform::SingleInstanceLock::Acquire(className, "x11::7");
        ASSERT_TRUE(running.has_value());
        EXPECT_EQ(second.Start(), -1);
        EXPECT_TRUE(AnotherPlayerOnThisDisplay());
    }
    {
        // Headless players never refuse each other.
        GameHarness headless(description);
        auto running = platform::SingleInstanceLock::Acquire(className, "x11::7");
        EXPECT_EQ(headless.Start(), std::nullopt);
        EXPECT_FALSE(AnotherPlayerOnThisDisplay());
    }
}

// The peak memory of the whole set, read from the kernel at the end. The
// sanitizers' own memory would swamp it, and so would the GL driver that the
// hardware path's probe loads: it is measured without either (the test's
// environment sets VELK_NO_3D).
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif

constexpr int64_t kPeakMemoryBoundKiB = 200 * 1024;

int64_t PeakResidentKiB() {
    std::ifstream status("/proc/self/status");
    std::string word;
    while (status >> word) {
        if (word == "VmHWM:") {
            int64_t kib = 0;
            status >> kib;
            return kib;
        }
    }
    return -1;
}

class PeakMemoryCheck : public ::testing::Environment {
public:
    void TearDown() override {
        if (kSanitized || std::getenv("VELK_NO_3D") == nullptr) return;
        const int64_t peak = PeakResidentKiB();
        if (peak < 0) return;
        EXPECT_LT(peak, kPeakMemoryBoundKiB) << "peak resident memory of the hostile games, KiB";
    }
};

const ::testing::Environment* const kPeakMemoryCheck = ::testing::AddGlobalTestEnvironment(new PeakMemoryCheck);

}  // namespace
}  // namespace velk::testing
