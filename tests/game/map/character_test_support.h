#pragma once
// A small world of characters for the movement, route, event and hero
// tests: a floor map built in memory (walls where a test puts them), the
// hero, map events added by hand, the real variable store and command table.

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "game/data/database.h"
#include "game/data/databases.h"
#include "game/data/game_system.h"
#include "game/data/random_source.h"
#include "game/data/variable_id.h"
#include "game/data/variable_store.h"
#include "game/event/command_preparation.h"
#include "game/event/command_table.h"
#include "game/event/event_interpreter.h"
#include "game/event/event_links.h"
#include "game/map/hero.h"
#include "game/map/map_event_link.h"
#include "game/map/map_state.h"
#include "tests/game/data/data_test_support.h"
#include "tests/game/data/store_fakes.h"

namespace velk::testing {

// Base tile values (tile index = value + 8).
inline constexpr int32_t kWallTile = 0;
inline constexpr int32_t kFloorTile = 2;
inline constexpr int32_t kCounterTile = 5;

inline MoveCommand Move(uint8_t code, std::vector<int32_t> arguments = {}) {
    MoveCommand command;
    command.code = code;
    command.arguments = std::move(arguments);
    return command;
}

inline MoveRoute Route(std::vector<MoveCommand> commands, uint8_t bits = 0) {
    MoveRoute route;
    route.commands = std::move(commands);
    route.options[5] = bits;
    return route;
}

// A page showing a graphic, with a trigger and one command before the end.
inline EventPage Page(int32_t trigger, bool graphic = true) {
    EventPage page;
    if (graphic) page.graphic.fileName = "e.png";
    page.conditions.trigger = static_cast<uint8_t>(trigger);
    EventCommand wait;
    wait.arguments = {CodeValue(CommandCode::kWait), 1};
    EventCommand end;
    end.arguments = {kEndOfListCode};
    page.commands = {wait, end};
    page.route.options = {0, 2, 4, 6, 0, 0};
    return page;
}

class CharacterWorldTest : public ::testing::Test {
protected:
    explicit CharacterWorldTest(int32_t width = 20, int32_t height = 15, MovementRules rules = {},
                                MapSettings settings = {})
        : map(settings) {
        for (int32_t type = 0; type < 16; ++type) {
            DbTypeData& data = databases.system.types.emplace_back();
            data.itemKinds = {1000};
            data.rows.assign(type == 14 ? 100 : 1, DbRow{{0}, {}});
            databases.system.typeDefs.emplace_back();
        }
        owners.map.mapId = 1;
        store = VariableStore(&interpreter, &databases);
        ActiveEventLinks() = {&eventSystem,       &mapLink, &commons,   &prompt, &keyInput,
                              &interpreter.block, &store,   &databases, &table};
        BuildMap(width, height);
        // Random movement the same in every run.
        UpdateRandomSeed(2, 20261206);
        CharacterWorld& world = ActiveCharacterWorld();
        world = CharacterWorld();
        world.rules = rules;
        world.map = &map;
        world.mainInterpreter = &mainInterpreter;
        hero = std::make_unique<Hero>();
        world.hero = hero.get();
        link = std::make_unique<MapEventLink>(map, *hero, system);
        ActiveEventLinks().map = link.get();
    }
    ~CharacterWorldTest() override {
        // A test that loads a game's databases or reads past them (a transfer
        // to a missing map does) must not hand either to the next test, whose
        // next command would report the read.
        GlobalDatabases() = DatabaseSet();
        DatabaseReadErrorFlag = 0;
        ActiveCharacterWorld() = CharacterWorld();
        ResetEventLinks();
        RestartRandomSource();
    }

    void BuildMap(int32_t width, int32_t height) {
        map.mapId = 1;
        map.map.header.width = width;
        map.map.header.height = height;
        map.map.Clear();
        for (int32_t x = 0; x < width; ++x) {
            for (int32_t y = 0; y < height; ++y)
                map.map.Tile(0, x, y) = kFloorTile;
        }
        map.tileFlags = {0, 0, 0, 0, 0, 0, 0, 0, 15, 0x10, 0, 0x04, 0x22, 0x80, 0x40, 0x01, 0x100};
        map.terrainTags.assign(map.tileFlags.size(), 0);
        map.loadedTileFlags = map.tileFlags;
        // Tests hold references to the events they add.
        map.events.reserve(32);
    }
    void Wall(int32_t x, int32_t y) { map.map.Tile(0, x, y) = kWallTile; }

    MapEvent& AddEvent(int32_t id, int32_t x, int32_t y, std::vector<EventPage> pages) {
        MapEventData data(id);
        data.x = x;
        data.y = y;
        data.pages = std::move(pages);
        data.pageCount = static_cast<int32_t>(data.pages.size());
        map.events.emplace_back(map.mapId, std::move(data));
        return map.events.back();
    }
    MapEvent& Event(size_t index) { return map.events[index]; }

    // Frames until the character stands again.
    static int FramesToArrive(Character& character, int limit = 10000) {
        int frames = 0;
        while ((character.IsMoving() || character.IsJumping()) && frames < limit) {
            character.Update();
            ++frames;
        }
        return frames;
    }
    void Frames(int count, const HeroInput& input = {}) {
        for (int i = 0; i < count; ++i) {
            map.Update();
            hero->Update(input);
        }
    }
    void Place(Character& character, int32_t gridX, int32_t gridY) {
        character.gridX = gridX;
        character.gridY = gridY;
        character.pixelX = character.GridTarget(gridX);
        character.pixelY = character.GridTarget(gridY);
    }

    RecordingReporter reporter;
    FakeOwners owners;
    FakeInterpreter interpreter;
    DatabaseSet databases;
    VariableStore store{nullptr, &databases};
    CommandTable table;
    EventSystemLink eventSystem;
    EventMapLink mapLink;
    CommonEventLink commons;
    TextPromptLink prompt;
    KeyInputLink keyInput;
    GameSystem system;
    EventInterpreter mainInterpreter;
    MapState map;
    std::unique_ptr<Hero> hero;
    std::unique_ptr<MapEventLink> link;
};

}  // namespace velk::testing
