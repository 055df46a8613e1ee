#include <gtest/gtest.h>

#include "game/map/map_texts.h"
#include "tests/game/map/character_test_support.h"

namespace velk {
namespace {

using testing::CharacterWorldTest;
using testing::Move;
using testing::Route;

class MoveRoutes : public CharacterWorldTest {
protected:
    // A map event standing at grid (10, 10), away from the hero.
    MapEvent& Walker(int32_t id = 12) {
        MapEvent& event = AddEvent(id, 5, 5, {testing::Page(0)});
        event.passThrough = 0;
        Place(*hero, 30, 24);
        return event;
    }
    // Runs frames of a character until its forced route ends.
    int RunForced(Character& character, int limit = 2000) {
        int frames = 0;
        while (character.forcedRoute && frames < limit) {
            character.Update();
            ++frames;
        }
        return frames;
    }
};

struct RecordingEffects : MapSoundPlayer {
    void Play(MapSoundKind kind, int32_t number, int32_t fade, int32_t option) override {
        played.push_back({static_cast<int32_t>(kind), number, fade});
    }
    std::vector<std::array<int32_t, 3>> played;
};

TEST_F(MoveRoutes, BlockedStepRetriesOrIsSkipped) {
    MapEvent& event = Walker();
    Wall(5, 6);
    event.StartMoveRoute(Route({Move(0)}));
    for (int i = 0; i < 5; ++i)
        event.Update();
    EXPECT_EQ(event.routeIndex, 0);
    EXPECT_TRUE(event.forcedRoute);
    EXPECT_EQ(event.facing, 2);
    event.StartMoveRoute(Route({Move(0)}, kRouteSkipBlocked));
    event.Update();
    EXPECT_FALSE(event.forcedRoute);
}

TEST_F(MoveRoutes, SettingsRunTogetherWithOneMovement) {
    MapEvent& event = Walker();
    event.StartMoveRoute(Route({Move(29, {5}), Move(35), Move(0)}));
    EXPECT_EQ(event.moveSpeed, 5);
    EXPECT_EQ(event.walkAnimation, 0);
    EXPECT_EQ(event.gridY, 11);
    EXPECT_EQ(event.routeIndex, 3);
    EXPECT_EQ(FramesToArrive(event), 2);
}

TEST_F(MoveRoutes, RepeatingWaitAndStep) {
    MapEvent& event = Walker();
    event.StartMoveRoute(Route({Move(47, {30}), Move(3)}, kRouteRepeat));
    std::vector<int> stepFrames;
    int32_t lastY = event.gridY;
    for (int frame = 1; frame <= 80; ++frame) {
        event.Update();
        if (event.gridY != lastY) {
            stepFrames.push_back(frame);
            lastY = event.gridY;
        }
    }
    // The wait counts down 30 frames and the step comes in the frame after;
    // then 4 frames of walking, the frame that starts the route again, and
    // the next wait.
    ASSERT_GE(stepFrames.size(), 2u);
    EXPECT_EQ(stepFrames[0], 31);
    EXPECT_EQ(stepFrames[1] - stepFrames[0], 4 + 1 + 30);
}

TEST_F(MoveRoutes, ForcedRouteReplacesForcedRouteAndTheOriginalResumes) {
    MapEvent& event = Walker();
    event.currentRoute = Route({Move(8), Move(9), Move(10)}, kRouteRepeat);
    event.routeIndex = 2;
    event.StartMoveRoute(Route({Move(47, {100}), Move(0)}));
    event.StartMoveRoute(Route({Move(2)}));
    EXPECT_EQ(event.gridX, 11);
    RunForced(event);
    EXPECT_EQ(event.currentRoute.commands.size(), 3u);
    EXPECT_EQ(event.routeIndex, 2);
    EXPECT_TRUE(event.suspendedRoute.commands.empty());
    // The same for the hero, whose own route is empty.
    hero->StartMoveRoute(Route({Move(47, {100}), Move(0)}));
    hero->StartMoveRoute(Route({Move(11)}));
    hero->RunMoveRoute();
    EXPECT_FALSE(hero->forcedRoute);
    EXPECT_EQ(hero->facing, 8);
    EXPECT_TRUE(hero->currentRoute.commands.empty());
}

TEST_F(MoveRoutes, CommonSelfVariablesAreRefusedOncePerRun) {
    MapEvent& event = Walker();
    event.StartMoveRoute(Route({Move(45, {1600005})}));
    ASSERT_EQ(reporter.boxes.size(), 1u);
    EXPECT_EQ(reporter.boxes[0].line1, texts::kRouteCommonSelfVariable);
    EXPECT_EQ(event.opacity, 0);
}

TEST_F(MoveRoutes, VariableCommandsAddressTheirOwnCharacter) {
    MapEvent& event = Walker(12);
    event.StartMoveRoute(Route({Move(28, {1100003, 41}), Move(55, {1100003, 1})}));
    EXPECT_EQ(store.GetInt(1000000 + 12 * 10 + 3), 42);
    EXPECT_EQ(map.refreshPagesFlag, 1);
    // The hero has no self variables: nothing is written.
    store.SetInt(1000000 + 3, 5);
    hero->StartMoveRoute(Route({Move(28, {1100003, 41})}));
    EXPECT_EQ(store.GetInt(1000000 + 3), 5);
    EXPECT_TRUE(reporter.boxes.empty());
    // A follower's own data is its party member's.
    owners.map.party.resize(3);
    hero->followers[1].StartMoveRoute(Route({Move(28, {9190002, 7})}));
    EXPECT_EQ(owners.map.party[2].halfTileX, 7);
    EXPECT_EQ(owners.map.party[0].halfTileX, 0);
}

TEST_F(MoveRoutes, SettingCommands) {
    struct Case {
        std::vector<MoveCommand> route;
        int32_t Character::*intField;
        int16_t Character::*shortField;
        uint8_t Character::*byteField;
        int32_t expected;
    } cases[] = {
        {{Move(45, {300})}, nullptr, &Character::opacity, nullptr, 255},
        {{Move(45, {-5})}, nullptr, &Character::opacity, nullptr, 0},
        {{Move(30, {2})}, nullptr, &Character::moveFrequency, nullptr, 2},
        {{Move(31, {9})}, nullptr, &Character::animationSpeed, nullptr, 9},
        {{Move(32)}, nullptr, nullptr, &Character::stepAnimation, 1},
        {{Move(32), Move(33)}, nullptr, nullptr, &Character::stepAnimation, 0},
        {{Move(34)}, nullptr, nullptr, &Character::walkAnimation, 1},
        {{Move(36)}, nullptr, nullptr, &Character::fixedFacing, 1},
        {{Move(36), Move(37)}, nullptr, nullptr, &Character::fixedFacing, 0},
        {{Move(38)}, nullptr, nullptr, &Character::passThrough, 1},
        {{Move(38), Move(39)}, nullptr, nullptr, &Character::passThrough, 0},
        {{Move(40)}, nullptr, nullptr, &Character::drawAbove, 1},
        {{Move(40), Move(41)}, nullptr, nullptr, &Character::drawAbove, 0},
        {{Move(47, {3})}, &Character::routeWait, nullptr, nullptr, 3},
        {{Move(49)}, &Character::stepSize, nullptr, nullptr, 2},
        {{Move(49), Move(48)}, &Character::stepSize, nullptr, nullptr, 1},
        {{Move(52)}, nullptr, &Character::restPattern, nullptr, 2},
        {{Move(50)}, nullptr, &Character::restPattern, nullptr, 0},
        {{Move(50), Move(51)}, nullptr, &Character::restPattern, nullptr, 1},
        {{Move(8)}, nullptr, &Character::facing, nullptr, 2},
        {{Move(9)}, nullptr, &Character::facing, nullptr, 4},
        {{Move(10)}, nullptr, &Character::facing, nullptr, 6},
        {{Move(11)}, nullptr, &Character::facing, nullptr, 8},
        {{Move(12)}, nullptr, &Character::facing, nullptr, 1},
        {{Move(13)}, nullptr, &Character::facing, nullptr, 3},
        {{Move(14)}, nullptr, &Character::facing, nullptr, 7},
        {{Move(15)}, nullptr, &Character::facing, nullptr, 9},
        {{Move(22)}, nullptr, &Character::facing, nullptr, 1},
        {{Move(23)}, nullptr, &Character::facing, nullptr, 3},
        {{Move(26)}, nullptr, &Character::facing, nullptr, 6},
        {{Move(27)}, nullptr, &Character::facing, nullptr, 4},
        // No-operation codes are passed over within the same run.
        {{Move(42), Move(43), Move(99), Move(9)}, nullptr, &Character::facing, nullptr, 4},
        // One facing command a run: the second waits for the next run.
        {{Move(9), Move(10)}, nullptr, &Character::facing, nullptr, 4},
    };
    for (const Case& c : cases) {
        map.events.clear();
        MapEvent& event = Walker();
        Place(*hero, 30, 10);
        event.StartMoveRoute(Route(c.route));
        int32_t value = 0;
        if (c.intField) value = event.*c.intField;
        if (c.shortField) value = event.*c.shortField;
        if (c.byteField) value = event.*c.byteField;
        EXPECT_EQ(value, c.expected) << static_cast<int>(c.route.back().code);
    }
    // The graphic comes from the system database's character images.
    DbTypeData& images = databases.system.types[8];
    images.itemKinds = {2000};
    images.rows = {DbRow{{}, {"a.png"}}, DbRow{{}, {"b.png"}}};
    map.events.clear();
    MapEvent& event = Walker();
    event.StartMoveRoute(Route({Move(44, {1})}));
    EXPECT_EQ(event.graphicFileName, "b.png");
}

TEST_F(MoveRoutes, RandomCommandsStepOrTurnOnce) {
    for (int run = 0; run < 8; ++run) {
        map.events.clear();
        MapEvent& event = Walker();
        event.StartMoveRoute(Route({Move(16)}));
        EXPECT_EQ(std::max(std::abs(event.gridX - 10), std::abs(event.gridY - 10)), 1) << "one half-tile step";
        map.events.clear();
        MapEvent& turner = Walker();
        turner.StartMoveRoute(Route({Move(24)}));
        EXPECT_TRUE(turner.facing == 1 || turner.facing == 3) << turner.facing;
        turner.StartMoveRoute(Route({Move(25)}));
        EXPECT_TRUE(turner.facing >= 1 && turner.facing <= 9 && turner.facing != 5) << turner.facing;
    }
}

TEST_F(MoveRoutes, MovementCommands) {
    struct Case {
        MoveCommand command;
        int32_t heroX, heroY;
        int32_t x, y, facing;
    } cases[] = {
        {Move(0), 30, 24, 10, 11, 2},        {Move(1), 30, 24, 9, 10, 4},
        {Move(2), 30, 24, 11, 10, 6},        {Move(3), 30, 24, 10, 9, 8},
        {Move(4), 30, 24, 9, 11, 1},         {Move(5), 30, 24, 11, 11, 3},
        {Move(6), 30, 24, 9, 9, 7},          {Move(7), 30, 24, 11, 9, 9},
        {Move(17), 30, 10, 11, 10, 6},       {Move(17), 30, 24, 11, 11, 3},
        {Move(18), 30, 10, 9, 10, 4},        {Move(19), 30, 24, 10, 11, 2},
        {Move(20), 30, 24, 10, 9, 2},        {Move(21, {2, -1}), 30, 24, 12, 9, 6},
        {Move(53, {-2}), 10, 20, 10, 11, 2}, {Move(54, {2, 5}), 30, 24, 9, 10, 4},
        {Move(53, {77}), 30, 24, 10, 10, 2}, {Move(18), 0, 10, 11, 10, 6},
        {Move(18), 10, 0, 10, 11, 2},        {Move(18), 10, 24, 10, 9, 8},
    };
    for (const Case& c : cases) {
        map.events.clear();
        MapEvent& event = Walker();
        Place(*hero, c.heroX, c.heroY);
        event.StartMoveRoute(Route({c.command}));
        EXPECT_EQ(event.gridX, c.x) << static_cast<int>(c.command.code);
        EXPECT_EQ(event.gridY, c.y) << static_cast<int>(c.command.code);
        EXPECT_EQ(event.facing, c.facing) << static_cast<int>(c.command.code);
    }
}

TEST_F(MoveRoutes, SoundEffectsGoToTheSoundState) {
    RecordingEffects sound;
    map.links.sound = &sound;
    MapEvent& event = Walker();
    event.StartMoveRoute(Route({Move(46, {4})}));
    ASSERT_EQ(sound.played.size(), 1u);
    EXPECT_EQ(sound.played[0], (std::array<int32_t, 3>{2, 4, 1}));
    map.links.sound = nullptr;
}

TEST_F(MoveRoutes, CustomRouteRunsWhenTheFrequencyPeriodHasPassed) {
    testing::Page(0);
    EventPage page = testing::Page(0);
    page.route = Route({Move(2)}, kRouteRepeat);
    page.route.options[0] = 1;  // custom route
    page.route.options[2] = 4;
    page.route.options[3] = 0;  // frequency 0: every standing frame
    MapEvent& event = AddEvent(3, 2, 2, {page});
    Place(*hero, 30, 24);
    for (int i = 0; i < 2; ++i)
        map.Update();
    EXPECT_EQ(event.gridX, 5);
    page.route.options[3] = 2;  // a step after more than 80 standing frames
    map.events.clear();
    MapEvent& slow = AddEvent(3, 2, 2, {page});
    int frames = 0;
    while (slow.gridX == 4 && frames < 200) {
        map.Update();
        ++frames;
    }
    EXPECT_EQ(frames, 81);
}

}  // namespace
}  // namespace velk
