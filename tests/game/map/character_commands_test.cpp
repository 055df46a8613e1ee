#include "game/map/character_commands.h"

#include <gtest/gtest.h>

#include "game/data/databases.h"
#include "game/map/map_game_values.h"
#include "game/map/map_texts.h"
#include "tests/game/map/character_test_support.h"
#include "tests/game/map/map_test_support.h"
#include "tests/support/scratch_dir.h"

namespace velk {
namespace {

using testing::Move;
using testing::Route;

EventCommand Cmd(CommandCode code, std::vector<int32_t> arguments, std::vector<std::string> strings = {}) {
    EventCommand command;
    command.arguments = {CodeValue(code)};
    command.arguments.insert(command.arguments.end(), arguments.begin(), arguments.end());
    command.strings = std::move(strings);
    return command;
}

struct RecordingPictures : PictureEffectLink {
    void SetEffectRange(int32_t first, int32_t last, int32_t kind, int32_t a, int32_t b, int32_t c,
                        int32_t frames) override {
        calls.push_back({first, last, kind, a, b, c, frames});
    }
    std::vector<std::vector<int32_t>> calls;
};

class CharacterCommandsTest : public testing::CharacterWorldTest {
protected:
    CharacterCommandsTest() : CharacterWorldTest(40, 30) {
        commands.RegisterInto(table);
        marker = CodeValue(CommandCode::kWait);
        table.Register(CommandCode::kWait, 1, 0, [this](EventInterpreter&, const EventCommand&) {
            ++markers;
            return CommandResult::kNext;
        });
    }

    // Runs the commands as map event `eventId`'s, one frame.
    EventInterpreter& Run(std::vector<EventCommand> list, int32_t eventId = 5) {
        list.push_back(Cmd(CommandCode::kEndOfList, {}));
        auto shared = std::make_shared<CommandList>(std::move(list));
        PadCommands(*shared, table);
        runner.Setup(shared, eventId, -1);
        runner.Run();
        return runner;
    }
    EventCommand RouteCommand(int32_t who, MoveRoute route) {
        EventCommand command = Cmd(CommandCode::kSetMoveRoute, {who});
        command.routes.push_back(std::move(route));
        return command;
    }
    std::vector<std::string> Party() {
        std::vector<std::string> names = {hero->graphicFileName};
        for (const Character& follower : hero->followers)
            names.push_back(follower.graphicFileName);
        return names;
    }
    void SetParty(std::vector<std::string> names) {
        hero->graphicFileName = names[0];
        for (size_t i = 1; i < names.size(); ++i)
            hero->followers[i - 1].graphicFileName = names[i];
    }

    std::vector<std::string> nameList;
    DownloadState download;
    RecordingPictures pictures;
    CharacterCommands commands{map, *hero, ActiveCharacterWorld(), system, nameList, download, pictures};
    EventInterpreter runner;
    int32_t marker = 0;
    int markers = 0;
};

TEST_F(CharacterCommandsTest, RoutesAndTheWaitForThem) {
    MapEvent& event = AddEvent(5, 3, 3, {testing::Page(0)});
    Place(*hero, 30, 30);
    Run({RouteCommand(-1, Route({Move(0), Move(0)})), Cmd(CommandCode::kWaitForMoveRoutes, {}),
         Cmd(CommandCode::kWait, {1})});
    EXPECT_EQ(event.gridY, 7);
    int frames = 0;
    while (markers == 0 && frames < 50) {
        map.Update();
        runner.Run();
        ++frames;
    }
    EXPECT_EQ(event.gridY, 8);
    EXPECT_FALSE(event.forcedRoute);
    // Two steps of four frames; the route ends as the second arrives.
    EXPECT_EQ(frames, 8);
    // A route for a character that does not exist is passed over.
    markers = 0;
    Run({RouteCommand(77, Route({Move(0)})), Cmd(CommandCode::kWait, {1})});
    EXPECT_EQ(markers, 1);
}

TEST_F(CharacterCommandsTest, MoveLocationPlacesOrTransfers) {
    MapEvent& event = AddEvent(5, 3, 3, {testing::Page(0)});
    Run({Cmd(CommandCode::kMoveLocation, {-2, 7, 8, -1})});
    EXPECT_EQ(event.gridX, 14);
    EXPECT_EQ(event.gridY, 16);
    EXPECT_FALSE(system.transferPending);
    // A variable holding -1 names this event too.
    store.SetInt(kVariableBase + 4, -1);
    Run({Cmd(CommandCode::kMoveLocation, {kVariableBase + 4, 9, 9, -1, 0x1})});
    EXPECT_EQ(event.gridX, 9);
    // -1 transfers the hero, tiles doubled unless precise.
    hero->facing = 4;
    EventInterpreter& in = Run({Cmd(CommandCode::kMoveLocation, {-1, 3, 4, 2}), Cmd(CommandCode::kWait, {1})});
    EXPECT_TRUE(system.transferPending);
    EXPECT_EQ(system.transferMap, 2);
    EXPECT_EQ(system.transferX, 6);
    EXPECT_EQ(system.transferY, 8);
    EXPECT_EQ(system.transferDirection, 4);
    // The next command waits for the frame that carries the hero over.
    EXPECT_EQ(markers, 0);
    in.Run();
    EXPECT_EQ(markers, 1);
    // A pending transfer makes the next one wait.
    Run({Cmd(CommandCode::kMoveLocation, {-1, 5, 5, -1, 1})});
    EXPECT_EQ(system.transferX, 6);
    system.transferPending = 0;
    runner.Run();
    EXPECT_EQ(system.transferMap, 1);
    EXPECT_EQ(system.transferX, 5);
    // A registered location: map and tile from the system database.
    DbTypeData& locations = databases.system.types[7];
    locations.itemKinds = {1000, 1001, 1002};
    locations.rows = {DbRow{{0, 0, 0}, {""}}, DbRow{{3, 11, 12}, {""}}};
    system.transferPending = 0;
    Run({Cmd(CommandCode::kMoveLocation, {-10001, 1, 0, 0})});
    EXPECT_EQ(system.transferMap, 3);
    EXPECT_EQ(system.transferX, 22);
    EXPECT_EQ(system.transferY, 24);
}

TEST_F(CharacterCommandsTest, PartyOperations) {
    const std::vector<std::string> full = {"a", "b", "c", "d", "e", "f"};
    struct Case {
        const char* what;
        std::vector<std::string> before;
        int32_t word, slot;
        std::string name;
        std::vector<std::string> after;
    } cases[] = {
        {"insert at 1", full, 1, 1, "n", {"n", "a", "b", "c", "d", "e"}},
        {"remove", full, 0, 3, "", {"a", "b", "", "d", "e", "f"}},
        {"replace", full, 2, 6, "z", {"a", "b", "c", "d", "e", "z"}},
        {"remove by name", {"a", "x", "b", "x", "", ""}, 3, 0, "x", {"a", "", "b", "", "", ""}},
        {"close gaps", {"a", "", "b", "", "", ""}, 4, 0, "", {"a", "b", "", "", "", ""}},
        {"empty all", full, 0x14, 0, "", {"", "", "", "", "", ""}},
        {"names before any were kept", full, 0x84, 0, "", {"", "", "", "", "", ""}},
        {"slot 0 refused", full, 0, 0, "", full},
        {"slot 7 refused", full, 2, 7, "q", full},
    };
    for (const Case& c : cases) {
        SetParty(c.before);
        nameList.clear();
        reporter.boxes.clear();
        Run({Cmd(CommandCode::kPartyOperation, {c.word, c.slot, 0}, {c.name})});
        EXPECT_EQ(Party(), c.after) << c.what;
    }
    ASSERT_EQ(reporter.boxes.size(), 1u);
    EXPECT_EQ(reporter.boxes[0].line1, texts::kPartySlotTooHigh);
    // Names kept and given back; followers walking; opacity.
    SetParty(full);
    Run({Cmd(CommandCode::kPartyOperation, {0x74, 0, 0}), Cmd(CommandCode::kPartyOperation, {0x14, 0, 0}),
         Cmd(CommandCode::kPartyOperation, {0x84, 0, 0}), Cmd(CommandCode::kPartyOperation, {0x94, 0, 0}),
         Cmd(CommandCode::kPartyOperation, {0x54, 0, 0})});
    EXPECT_EQ(Party(), full);
    EXPECT_EQ(ActiveCharacterWorld().values.followersWalk, 1);
    EXPECT_EQ(hero->followers[4].opacity, 0);
    // The name from a string variable.
    store.SetString(kStringBase + 2, "from.png");
    Run({Cmd(CommandCode::kPartyOperation, {0x102, 2, kStringBase + 2})});
    EXPECT_EQ(hero->followers[0].graphicFileName, "from.png");
}

TEST_F(CharacterCommandsTest, ScrollShakeAndLock) {
    Run({Cmd(CommandCode::kScrollScreen, {0x40, 3, 0})});
    EXPECT_EQ(map.scrollRemainingX, 384);
    Run({Cmd(CommandCode::kScrollScreen, {0x240, 3, -2})});
    EXPECT_EQ(map.scrollRemainingX, 12);
    EXPECT_EQ(map.scrollRemainingY, 8);
    EXPECT_EQ(map.scrollDirectionY, 8);
    // Back to the hero: a map 20 tiles wide never scrolls across.
    BuildMap(20, 40);
    map.scrollX = 300;
    Place(*hero, 30, 40);
    Run({Cmd(CommandCode::kScrollScreen, {0x181, 0, 0}), Cmd(CommandCode::kWait, {1})});
    EXPECT_EQ(map.scrollRemainingX, 300);
    EXPECT_EQ(map.scrollDirectionX, 4);
    EXPECT_EQ(map.scrollRemainingY, 40 * 64 - 28 * 32);
    // The wait holds while the view scrolls.
    EXPECT_EQ(markers, 0);
    for (int i = 0; i < 400 && markers == 0; ++i) {
        map.Update();
        runner.Run();
    }
    EXPECT_EQ(markers, 1);
    EXPECT_FALSE(map.IsScrolling());
    Run({Cmd(CommandCode::kScrollScreen, {2, 0, 0})});
    EXPECT_EQ(ActiveCharacterWorld().values.viewLock, 1);
    Run({Cmd(CommandCode::kShakeScreen, {0x132, 10})});
    EXPECT_EQ(map.shakeX.amplitude, 4);
    EXPECT_EQ(map.shakeX.speed, 8);
    EXPECT_EQ(map.shakeX.remaining, 11);
    Run({Cmd(CommandCode::kShakeScreen, {0x200, 0})});
    EXPECT_EQ(map.shakeX.remaining, 0);
}

TEST_F(CharacterCommandsTest, EffectsAndDownload) {
    AddEvent(5, 3, 3, {testing::Page(0)});
    Run({Cmd(CommandCode::kEffect, {0x01, 20, -2, 0, 250, -7, -300})});
    EXPECT_EQ(hero->colorEffectTarget, static_cast<uint32_t>(200 * 65536 + 93 * 256 + 0));
    EXPECT_EQ(hero->colorEffectLeft, 20);
    Run({Cmd(CommandCode::kEffect, {0x11, 3, -1, 0, 4, 5, 6})});
    EXPECT_EQ(map.FindEvent(5)->shakeSwings, 6);
    EXPECT_EQ(map.FindEvent(5)->shakePeriod, 3);
    Run({Cmd(CommandCode::kEffect, {0x02, 30, 0, 0, 100, 200, 150})});
    EXPECT_EQ(map.zoom.targetZoom, 150);
    EXPECT_EQ(map.zoom.total, 30);
    Run({Cmd(CommandCode::kEffect, {0x30, 9, 2, 4, 1, 2, 3})});
    ASSERT_EQ(pictures.calls.size(), 1u);
    EXPECT_EQ(pictures.calls[0], (std::vector<int32_t>{2, 4, 3, 1, 2, 3, 9}));
    EXPECT_EQ(download.status, -1);
    Run({Cmd(CommandCode::kDownload, {1, 2}, {"http://x", "f"})});
    EXPECT_EQ(download.status, 0);
    EXPECT_TRUE(reporter.boxes.empty());
}

struct FixedPresentation : GameValueLink {
    int32_t SoundNumber(int channel) override { return 40 + channel; }
};

TEST_F(CharacterCommandsTest, GameValuesOfCharactersAndTheMap) {
    FixedPresentation presentation;
    MapGameValues values(map, *hero, system, commands, presentation);
    EventPage page = testing::Page(4);
    page.bytes = {0, 2, 3};
    AddEvent(5, 3, 4, {testing::Page(0), page});
    Place(*hero, 9, 12);
    runner.Setup(std::make_shared<CommandList>(std::vector<EventCommand>(1)), 5, -1);
    auto event = values.Character(runner, -1);
    ASSERT_TRUE(event);
    EXPECT_TRUE(event->isMapEvent);
    EXPECT_EQ(event->halfTileX, 6);
    EXPECT_EQ(event->page, 1);
    EXPECT_EQ(event->trigger, 4);
    EXPECT_EQ(event->pageOptions, (std::vector<uint8_t>{0, 2, 3}));
    auto heroValues = values.Character(runner, -2);
    ASSERT_TRUE(heroValues);
    EXPECT_FALSE(heroValues->isMapEvent);
    EXPECT_EQ(heroValues->halfTileY, 12);
    EXPECT_EQ(heroValues->screenX, 9 * 16 + 16);
    EXPECT_FALSE(values.Character(runner, 77));
    EXPECT_FALSE(values.Character(runner, -9));
    ASSERT_EQ(values.MapEvents().size(), 1u);
    EXPECT_EQ(values.MapEvents()[0].quarterY, 8 * 64);
    EXPECT_FALSE(values.PendingTransferMap());
    system.transferPending = 1;
    system.transferMap = 6;
    EXPECT_EQ(values.PendingTransferMap(), 6);
    Wall(1, 1);
    EXPECT_FALSE(values.IsPassable(2, 1));
    EXPECT_TRUE(values.IsPassable(6, 6));
    EXPECT_EQ(values.TileIndex(0, 2, 2), testing::kWallTile + 8);
    EXPECT_EQ(values.SoundNumber(1), 41);
}

constexpr char kTwoMaps[] = R"(
database system
  type "Maps"
    item string "File"
    item number "BGM"
    item number "BGS"
    item number "Loop"
    item number "Panorama"
    data "Town" "MapData\\Town.mps" -1 -1 0 -1
    data "Cave" "MapData\\Cave.mps" -1 -1 0 -1
map "MapData\\Town.mps"
  tileset 0
  size 25 20
  event 1 "a" 2 4
    page
map "MapData\\Cave.mps"
  tileset 0
  size 30 30
  event 2 "b" 6 6
    page
  event 4 "c" 7 7
    page
tilesets
  tileset "Zero"
)";

TEST_F(CharacterCommandsTest, TransfersBetweenMaps) {
    testing::ScratchDir scratch;
    testing::WriteDescribedGame(kTwoMaps, scratch.path());
    testing::InFolder inside(scratch.path());
    GlobalDatabases().system = Database();
    ASSERT_TRUE(GlobalDatabases().system.Load(kSystemDatabaseName));
    map.Reset();
    ASSERT_TRUE(map.LoadMap(0));
    map.events.reserve(32);
    hero->PlaceAndCenter(3, 3, 0);
    ActiveCharacterWorld().values.followersWalk = 1;
    Run({Cmd(CommandCode::kMoveLocation, {-1, 20, 25, 1})});
    ASSERT_TRUE(system.transferPending);
    ASSERT_TRUE(PerformMapTransfer(map, *hero, system));
    EXPECT_FALSE(system.transferPending);
    EXPECT_EQ(map.mapId, 1);
    ASSERT_EQ(map.events.size(), 2u);
    EXPECT_EQ(map.events[1].gridX, 14);
    EXPECT_EQ(hero->gridX, 40);
    EXPECT_EQ(hero->gridY, 50);
    EXPECT_EQ(hero->followers[3].gridY, 50);
    // Centred as far as the map allows: its last screen.
    EXPECT_EQ(map.scrollX, (30 - 20) * 128);
    EXPECT_EQ(map.scrollY, (30 - 15) * 128);
    // Within the same map the hero is only placed.
    system.transferMap = 1;
    system.transferX = 2;
    system.transferY = 3;
    map.events[0].gridX = 99;
    ASSERT_TRUE(PerformMapTransfer(map, *hero, system));
    EXPECT_EQ(map.events[0].gridX, 99);
    EXPECT_EQ(hero->gridY, 3);
    // A map that cannot be read ends the game.
    system.transferMap = 7;
    EXPECT_FALSE(PerformMapTransfer(map, *hero, system));
    EXPECT_EQ(system.sceneState, kSceneQuit);
}

}  // namespace
}  // namespace velk
