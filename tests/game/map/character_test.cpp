#include <gtest/gtest.h>

#include "game/map/map_texts.h"
#include "tests/game/map/character_test_support.h"

namespace velk {
namespace {

using testing::CharacterWorldTest;

class Movement : public CharacterWorldTest {};

TEST_F(Movement, StepTimingPerSpeedFrameStepAndStepSize) {
    struct Case {
        int32_t speed, frameStep, stepSize, factor;
        int frames;
    } cases[] = {
        {4, 1, 1, 4, 4},  // 16 quarter pixels a frame over a half tile of 64
        {3, 1, 1, 4, 8},   {5, 1, 1, 4, 2}, {4, 2, 1, 4, 2},
        {4, 1, 2, 4, 8},   {4, 1, 1, 8, 2}, {4, 3, 1, 4, 2},  // 48, then the last 16 without overshooting
        {-3, 1, 1, 4, 64},                                    // a negative speed still arrives, a quarter pixel a frame
        {40, 1, 1, 4, 1},                                     // an absurd speed does not overflow
    };
    for (const Case& c : cases) {
        map.settings.frameStep = c.frameStep;
        ActiveCharacterWorld().rules.eventSpeedFactor = c.factor;
        MapEvent& event = AddEvent(static_cast<int32_t>(map.events.size()) + 1, 2, 2, {testing::Page(0)});
        event.moveSpeed = static_cast<int16_t>(c.speed);
        event.stepSize = c.stepSize;
        ASSERT_TRUE(event.StepRight(true));
        EXPECT_EQ(event.gridX, 4 + c.stepSize);
        EXPECT_EQ(FramesToArrive(event), c.frames) << c.speed << " " << c.frameStep << " " << c.stepSize;
        EXPECT_EQ(event.pixelX, (4 + c.stepSize) * 64);
        map.events.clear();
    }
}

TEST_F(Movement, BlockingByMapAndCharacters) {
    Wall(5, 5);
    MapEvent& shown = AddEvent(1, 8, 8, {testing::Page(0)});
    MapEvent& invisible = AddEvent(2, 12, 8, {testing::Page(0, false)});
    invisible.passThrough = 0;
    MapEvent& through = AddEvent(3, 16, 8, {testing::Page(0)});
    through.passThrough = 1;
    MapEvent& walker = AddEvent(4, 18, 13, {testing::Page(0)});
    walker.passThrough = 0;
    shown.passThrough = 0;
    struct Case {
        const char* what;
        Character* mover;
        int32_t gridX, gridY, direction;
        bool moves;
    } cases[] = {
        {"open floor", hero.get(), 2, 2, 6, true},
        {"into a wall", hero.get(), 8, 10, 6, false},
        {"off the map's left edge", hero.get(), 0, 4, 4, false},
        {"off the bottom edge", hero.get(), 4, 28, 2, false},
        {"hero into an event with a graphic", hero.get(), 14, 16, 6, false},
        {"hero through an event without one", hero.get(), 22, 16, 6, true},
        {"event into an event without a graphic", &walker, 22, 16, 6, false},
        {"anyone through a pass-through event", &walker, 30, 16, 6, true},
        {"event into the half column beside an event", &walker, 14, 16, 6, false},
        {"hero into the half column beside an event, from the right", hero.get(), 18, 16, 4, false},
        {"hero keeping a half column from an event", hero.get(), 19, 16, 4, true},
    };
    for (const Case& c : cases) {
        Place(*hero, 38, 0);
        Place(*c.mover, c.gridX, c.gridY);
        EXPECT_EQ(c.mover->Step(c.direction, true), c.moves) << c.what;
    }
    // The hero blocks characters that show a graphic, not those that do not.
    Place(*hero, 4, 4);
    Place(walker, 2, 4);
    EXPECT_FALSE(walker.StepRight(true));
    Place(walker, 6, 4);
    EXPECT_FALSE(walker.StepLeft(true));
    walker.graphicFileName.clear();
    EXPECT_TRUE(walker.StepRight(true));
}

TEST_F(Movement, DiagonalsSlideOnlyWhereAllowed) {
    Wall(2, 2);  // right of the start: up-right is refused
    Place(*hero, 2, 4);
    EXPECT_TRUE(hero->Step(9, true));
    EXPECT_EQ(hero->gridX, 2);
    EXPECT_EQ(hero->gridY, 3);
    EXPECT_EQ(hero->facing, 9);
    MapEvent& walker = AddEvent(1, 0, 0, {testing::Page(0)});
    Place(*hero, 30, 20);
    Place(walker, 2, 4);
    EXPECT_FALSE(walker.Step(9, true));
    EXPECT_EQ(walker.gridX, 2);
    EXPECT_EQ(walker.gridY, 4);
    EXPECT_EQ(walker.facing, 9);
    // With the slide of a step toward the hero it goes straight up.
    walker.slideThisStep = 1;
    EXPECT_TRUE(walker.Step(9, true));
    EXPECT_EQ(walker.gridY, 3);
}

TEST_F(Movement, TallCharactersTestTheRowAbove) {
    // Feet on half row 6, the body's upper half on row 5 (tile row 2).
    Wall(4, 2);
    Place(*hero, 6, 5);
    hero->tall = 0;
    EXPECT_TRUE(hero->CanMoveTo(6, 5, 6));
    hero->tall = 1;
    EXPECT_FALSE(hero->CanMoveTo(6, 5, 6));
}

TEST_F(Movement, ATallHalfStepperAtTheTopEdgeMeetsTheBottomRowOnlyWhereTheMapLoopsVertically) {
    // Feet on half row 1: a step up puts the upper half on row -1, which is
    // the bottom row (29) only on a map that loops vertically.
    hero->tall = 1;
    hero->stepSize = 1;
    struct Case {
        const char* what;
        bool loopX, loopY;
        int32_t eventX, eventY;
        bool eventTall;
        int32_t direction;
        bool moves;
    } cases[] = {
        {"no loop, an event on the bottom row", false, false, 10, 29, false, 8, true},
        {"no loop, a tall event on the bottom row", false, false, 10, 29, true, 8, true},
        {"no loop, up-left past an event on the bottom row", false, false, 9, 29, false, 7, true},
        {"no loop, up-right past an event on the bottom row", false, false, 12, 29, false, 9, true},
        {"no loop, a tall event on row 0 reaches up", false, false, 10, 0, true, 8, false},
        {"looping across, an event on the bottom row", true, false, 10, 29, false, 8, true},
        {"looping across, up-left past an event on the bottom row", true, false, 8, 29, false, 7, true},
        {"looping down, an event on the bottom row", false, true, 10, 29, false, 8, false},
        {"looping down, up-right to an event on the bottom row", false, true, 12, 29, false, 9, false},
        {"looping both ways, an event on the bottom row", true, true, 11, 29, false, 8, false},
    };
    for (const Case& c : cases) {
        map.events.clear();
        map.loopX = c.loopX;
        map.loopY = c.loopY;
        MapEvent& event = AddEvent(1, 0, 0, {testing::Page(0)});
        event.passThrough = 0;
        event.tall = c.eventTall;
        Place(event, c.eventX, c.eventY);
        Place(*hero, 10, 1);
        EXPECT_EQ(hero->CanMoveTo(10, 1, c.direction), c.moves) << c.what;
    }
}

TEST_F(Movement, JumpsArcLandAndRefuseWalls) {
    Place(*hero, 4, 4);
    hero->Jump(0, 0);
    EXPECT_EQ(hero->jumpHalfLength, 5);
    EXPECT_EQ(FramesToArrive(*hero), 10);
    hero->Jump(0, 0);
    for (int i = 0; i < 5; ++i)
        static_cast<Character&>(*hero).Update();
    // Highest with five frames left: 3 x 25 / (160 / 32) = 15 pixels up.
    EXPECT_EQ(hero->GetDrawY(false), 4 * 16 + 32 - 15);
    FramesToArrive(*hero);
    // One half tile: (1 + 15 - 4) / 2.
    hero->Jump(1, 0);
    EXPECT_EQ(hero->jumpHalfLength, 6);
    FramesToArrive(*hero);
    Place(*hero, 4, 4);

    // Frame step 3 passes the landing frame: the jump lands on its cell.
    map.settings.frameStep = 3;
    ActiveCharacterWorld().rules.stepSetting = 1;
    hero->stepSize = 2;
    hero->Jump(2, 0);
    EXPECT_EQ(hero->jumpFramesLeft, 14);
    EXPECT_EQ(FramesToArrive(*hero), 5);
    EXPECT_EQ(hero->gridX, 8);
    EXPECT_EQ(hero->pixelX, 8 * 64);
    EXPECT_EQ(hero->facing, 6);

    hero->stepSize = 1;
    Wall(6, 2);
    Place(*hero, 8, 4);
    hero->Jump(4, 0);
    EXPECT_FALSE(hero->IsJumping());
    EXPECT_EQ(hero->gridX, 8);
}

TEST_F(Movement, WalkCyclesAndRestPattern) {
    struct Case {
        int32_t patterns;
        std::vector<int16_t> cycle;
    } cases[] = {{3, {2, 1, 0, 1, 2}}, {5, {3, 4, 3, 2, 1, 0, 1, 2, 3}}};
    for (const Case& c : cases) {
        ActiveCharacterWorld().rules.walkPatterns = c.patterns;
        MapEvent& event = AddEvent(1, 1, 1, {testing::Page(0)});
        event.ApplyGameSettings(ActiveCharacterWorld().rules);
        event.walkAnimation = 1;
        event.moveSpeed = 0;  // a quarter pixel a frame: a long glide
        event.animationSpeed = 2;
        ASSERT_TRUE(event.StepRight(true));
        std::vector<int16_t> seen;
        int16_t last = event.pattern;
        while (event.IsMoving() && seen.size() < c.cycle.size()) {
            event.Update();
            if (event.pattern != last) seen.push_back(last = event.pattern);
        }
        EXPECT_EQ(seen, c.cycle) << c.patterns;
        // Once standing, the pattern falls back to the rest pattern.
        FramesToArrive(event);
        for (int i = 0; i < 30; ++i)
            event.Update();
        EXPECT_EQ(event.pattern, event.restPattern);
        map.events.clear();
    }
}

TEST_F(Movement, AnimationSpeedsOutsideTheTableAreClamped) {
    MovementRules rules;
    EXPECT_EQ(rules.AnimationThreshold(-4), 0);
    EXPECT_EQ(rules.AnimationThreshold(99), 84);
    rules.walkPatterns = 5;
    const int32_t expected[7] = {0, 3, 5, 8, 12, 40, 63};
    for (int32_t i = 0; i < 7; ++i)
        EXPECT_EQ(rules.AnimationThreshold(i), expected[i]);
}

TEST_F(Movement, PlacementOutsideTheMapIsReportedAndPulledIn) {
    hero->SetPosition(25, 3, 0);
    ASSERT_EQ(reporter.boxes.size(), 1u);
    char first[256];
    std::snprintf(first, sizeof first, texts::kCharacterOutsideMap, 25, 3, 1);
    EXPECT_EQ(reporter.boxes[0].line1, first);
    char second[256];
    std::snprintf(second, sizeof second, texts::kCharacterPulledInside, 19, 14);
    EXPECT_EQ(reporter.boxes[0].line2, second);
    EXPECT_EQ(hero->gridX, 38);
    EXPECT_EQ(hero->gridY, 6);
    hero->SetPosition(7, 9, 1);
    EXPECT_EQ(hero->gridX, 7);
    EXPECT_EQ(hero->gridY, 9);
    EXPECT_EQ(hero->pixelX, 7 * 64);
    // Half-tile places beyond the map stop at the map's last half tile.
    hero->SetPosition(45, 3, 1);
    EXPECT_EQ(hero->gridX, 39);
}

TEST_F(Movement, TowardTheHeroTakesTheShorterWayOnLoopingMaps) {
    map.loopX = true;
    MapEvent& event = AddEvent(1, 0, 4, {testing::Page(0)});
    Place(*hero, 36, 8);
    Place(event, 0, 8);
    event.StepTowardHero();
    EXPECT_EQ(event.gridX, -1);
    EXPECT_EQ(event.facing, 4);
    // Arrived off the edge, the event is wrapped onto the map.
    FramesToArrive(event);
    event.stopCounter = 0;
    map.Update();
    EXPECT_EQ(event.gridX, 39);
    EXPECT_EQ(event.pixelX, 39 * 64);
}

TEST_F(Movement, TurnsAndFourWayFacings) {
    hero->eightDirectionGraphics = 1;
    std::vector<int32_t> seen;
    for (int i = 0; i < 8; ++i) {
        hero->TurnClockwise();
        seen.push_back(hero->facing);
    }
    EXPECT_EQ(seen, (std::vector<int32_t>{1, 4, 7, 8, 9, 6, 3, 2}));
    hero->eightDirectionGraphics = 0;
    hero->facing = 6;
    hero->Face(1);  // facing right, down-left turns left
    EXPECT_EQ(hero->facing, 4);
    hero->Face(9);  // facing left, up-right turns right
    EXPECT_EQ(hero->facing, 6);
    hero->Face(7);
    EXPECT_EQ(hero->facing, 4);
    hero->Face(1);
    EXPECT_EQ(hero->facing, 2);
    hero->fixedFacing = 1;
    hero->TurnCounterClockwise();
    EXPECT_EQ(hero->facing, 2);
}

TEST_F(Movement, ScreenPositionsFollowTheViewShakeAndLoop) {
    Place(*hero, 10, 6);
    hero->height = 8;
    map.scrollX = 64;
    map.scrollY = 128;
    EXPECT_EQ(hero->GetScreenX(false), (640 - 64) / 4 + 16);
    EXPECT_EQ(hero->GetScreenY(false), (384 - 128) / 4 + 32);
    EXPECT_EQ(hero->GetDrawY(false), (384 - 128) / 4 + 32 - 8);
    // One swing: a triangle up to the amplitude and back.
    hero->StartShake(4, 0, 1, 2);
    std::vector<int32_t> offsets;
    for (int i = 0; i < 5; ++i) {
        static_cast<Character&>(*hero).Update();
        offsets.push_back(hero->shakeOffsetX);
    }
    EXPECT_EQ(offsets, (std::vector<int32_t>{0, 2, 4, 2, 0}));
    // On a looping map a place left of the view wraps to its right.
    map.loopX = true;
    map.scrollX = 2000;
    hero->shakeSwings = 0;
    static_cast<Character&>(*hero).Update();
    EXPECT_EQ(hero->GetScreenX(true), (640 - 2000) / 4 + 16 + 20 * 32);
    // Followers may always step as far as the question goes.
    EXPECT_TRUE(hero->followers[0].CanStep(0, 0, 4));
    EXPECT_FALSE(hero->CanStep(0, 6, 8) && hero->CanStep(0, 0, 8));
}

}  // namespace
}  // namespace velk
