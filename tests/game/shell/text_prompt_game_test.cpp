// The string command's text prompt in a running game: the player types into
// the window, the text lands in the string variable when confirmed, a
// cancel keeps the old text where the event allows it, and the prompt is
// drawn while it is open.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string>

#include "game/data/database.h"
#include "game/data/variable_id.h"
#include "game/shell/game_home.h"
#include "lib/core/window/main_window.h"
#include "platform/window/window_messages.h"
#include "tests/support/game/basic_game.h"
#include "tests/support/game/game_harness.h"

namespace velk::testing {
namespace {

constexpr VariableId kPromptState = kSystemVariableBase + 39;
constexpr VariableId kEnded = kVariableBase + 1;
// 前
constexpr char kOld[] = "\x91\x4f";
// 前名
constexpr char kOldAndName[] = "\x91\x4f\x96\xbc";

// A game on the basic map with these common events.
std::string GameWithEvents(const std::string& commonEvents) {
    return R"(
game
  title "入力"
settings-file
  Start 0
)" + BasicSystemDatabase() + R"(
database user
database changeable
)" + BasicMap() + "common-events\n" + commonEvents;
}

// An event that puts 前 into string variable 0, opens a prompt with
// `flags` (source 3, the operation, cancel and start-text bits) for at most
// 8 bytes, and then marks variable 1.
std::string PromptGame(int flags) {
    return GameWithEvents(R"(  event "名前"
    trigger 0x21
    condition 2000099 0
    command 121 2000099 1 0 0xC
    command 122 3000000 0 0 text "前"
    command 122 3000000 )" + std::to_string(flags) + R"( 8
    command 121 2000001 1 0 0xC
)");
}

void Type(GameHarness& game, const std::string& utf8) {
    platform::WindowEvent typed;
    typed.kind = platform::WindowEvent::Kind::kText;
    typed.window = GetMainWindowHWND();
    typed.text = utf8;
    game.Window().Inject(typed);
}

void Press(GameHarness& game, uint32_t key) {
    platform::WindowEvent down;
    down.kind = platform::WindowEvent::Kind::kKeyDown;
    down.window = GetMainWindowHWND();
    down.key = key;
    game.Window().Inject(down);
    platform::WindowEvent up = down;
    up.kind = platform::WindowEvent::Kind::kKeyUp;
    game.Window().Inject(up);
}

TEST(TextPromptGame, TypedTextConfirmedOrCancelledReachesTheVariable) {
    const struct {
        const char* name;
        int flags;
        const char* typed;
        uint32_t key;
        std::string text;
        int32_t state;
    } cases[] = {
        // Appended to the old text, a backslash doubled.
        {"confirm", 0x1103, "a\\b", platform::vk::kReturn, std::string(kOld) + "a\\\\b", 0},
        {"cancel", 0x1103, "ab", platform::vk::kEscape, kOld, -1},
        // Typing past the limit replaces the last character.
        {"limit", 0x0003, "abcdefghij", platform::vk::kReturn, "abcdefgj", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        GameHarness game(PromptGame(c.flags));
        ASSERT_EQ(game.Start(), std::nullopt);
        ASSERT_TRUE(game.StepFrames(2));
        ASSERT_EQ(game.Variable(kPromptState), 1);
        EXPECT_EQ(game.Home().gameSystem.textPromptOpen, 1);
        Type(game, c.typed);
        ASSERT_TRUE(game.StepFrames(2));
        EXPECT_EQ(game.Variable(kEnded), 0) << "the event waits for the prompt";
        Press(game, c.key);
        ASSERT_TRUE(game.StepFrames(2));
        EXPECT_EQ(game.Variable(kEnded), 1);
        EXPECT_EQ(game.StringVariable(kStringBase), c.text);
        EXPECT_EQ(game.Variable(kPromptState), c.state);
        EXPECT_EQ(game.Home().gameSystem.textPromptOpen, 0);
    }
}

// The box around the pixels of the prompt's text colour (green here):
// left, top, right, bottom; left is -1 when there are none.
std::array<int, 4> GreenBox(GameHarness& game) {
    const platform::PresentedFrame frame = game.Shown();
    std::array<int, 4> box = {-1, -1, -1, -1};
    for (int y = 0; y < frame.height; ++y) {
        for (int x = 0; x < frame.width; ++x) {
            const uint32_t p = frame.at(x, y);
            if (((p >> 8) & 0xFF) < 0x80 || ((p >> 16) & 0xFF) > 0x40 || (p & 0xFF) > 0x40) continue;
            box = box[0] < 0 ? std::array<int, 4>{x, y, x, y}
                             : std::array<int, 4>{std::min(box[0], x), box[1], std::max(box[2], x), y};
        }
    }
    return box;
}

TEST(TextPromptGame, TheStartTextIsEditedWithoutCancelAndDrawnAtItsPlace) {
    GameHarness game(PromptGame(0x2003));
    ASSERT_EQ(game.Start(), std::nullopt);
    // Colour row 10 of the text colours is the prompt's text colour.
    Database& system = game.Home().databases.system;
    system.SetDataCount(12, 13);
    for (int32_t item = 0; item < 3; ++item)
        system.SetInt(12, 10, item, item == 1 ? 255 : 0);
    ASSERT_TRUE(game.StepFrames(2));
    ASSERT_EQ(game.Variable(kPromptState), 1);
    EXPECT_EQ(game.StringVariable(kStringBase), "") << "the target is emptied while the prompt is open";
    // The start text, one character of the prompt's font size (22) from
    // (150, 400) on.
    const std::array<int, 4> box = GreenBox(game);
    EXPECT_GE(box[0], 150);
    EXPECT_LT(box[0], 150 + 4);
    EXPECT_GE(box[1], 400);
    EXPECT_LT(box[1], 400 + 6);
    EXPECT_LT(box[2], 150 + 22);
    EXPECT_LT(box[3], 400 + 22);

    Press(game, platform::vk::kEscape);
    ASSERT_TRUE(game.StepFrames(3));
    EXPECT_EQ(game.Variable(kPromptState), 1) << "this prompt cannot be cancelled";
    Type(game, "名");
    Press(game, platform::vk::kReturn);
    ASSERT_TRUE(game.StepFrames(2));
    EXPECT_EQ(game.StringVariable(kStringBase), kOldAndName);
    EXPECT_EQ(GreenBox(game)[0], -1) << "a closed prompt is not drawn";
}

// A parallel event stopped while its prompt is open leaves no prompt behind
// that later ones would wait for.
TEST(TextPromptGame, APromptWhoseEventStoppedGivesWayToTheNext) {
    GameHarness game(GameWithEvents(R"(  event "並列"
    trigger 0x22
    condition 2000050 0
    command 122 3000000 3 8
  event "次"
    trigger 0x21
    condition 2000050 1
    command 121 2000050 2 0 0xC
    command 122 3000001 3 8
    command 121 2000002 1 0 0xC
)"));
    ASSERT_EQ(game.Start(), std::nullopt);
    ASSERT_TRUE(game.StepFrames(2));
    ASSERT_EQ(game.Home().gameSystem.textPromptOpen, 1);
    game.Home().variableStore.SetInt(kVariableBase + 50, 1);
    ASSERT_TRUE(game.StepFrames(4));
    ASSERT_EQ(game.Variable(kVariableBase + 50), 2);
    Type(game, "ok");
    Press(game, platform::vk::kReturn);
    ASSERT_TRUE(game.StepFrames(2));
    EXPECT_EQ(game.StringVariable(kStringBase + 1), "ok");
    EXPECT_EQ(game.Variable(kVariableBase + 2), 1);
    EXPECT_EQ(game.StringVariable(kStringBase), "") << "the stopped event's prompt took nothing";
}

}  // namespace
}  // namespace velk::testing
