#include <gtest/gtest.h>

#include "game/data/byte_writer.h"
#include "game/data/input_state.h"
#include "game/data/save_stream.h"
#include "tests/game/map/character_test_support.h"

namespace velk {
namespace {

class HeroWalk : public testing::CharacterWorldTest {
protected:
    HeroWalk() : CharacterWorldTest(40, 30) {}

    static HeroInput Toward(int32_t direction) {
        HeroInput input;
        input.direction8 = direction;
        input.direction4 = direction % 2 == 0 ? direction : 0;
        return input;
    }
    // Walks `steps` steps in a direction, waiting for each to end.
    void Walk(int32_t direction, int steps) {
        for (int i = 0; i < steps; ++i) {
            Frames(1, Toward(direction));
            for (int guard = 0; hero->IsMoving() && guard < 100; ++guard)
                Frames(1);
        }
    }
};

TEST_F(HeroWalk, TheViewFollowsPastNineAndAHalfTiles) {
    hero->PlaceAndCenter(2, 14, 0);
    EXPECT_EQ(map.scrollX, 0);
    const HeroInput right = Toward(6);
    bool scrolled = false;
    for (int frame = 0; frame < 400; ++frame) {
        Frames(1, right);
        if (map.scrollX == 0) {
            EXPECT_LE(hero->pixelX, 38 * 32) << frame;
        } else if (map.scrollX < (40 - 20) * 32 * 4) {
            scrolled = true;
            EXPECT_EQ(hero->pixelX - map.scrollX, 38 * 32) << frame;
        }
    }
    EXPECT_TRUE(scrolled);
    // The view stops at the map's last screen while the hero walks on.
    Walk(6, 80);
    EXPECT_EQ(map.scrollX, (40 - 20) * 32 * 4);
    EXPECT_EQ(hero->gridX, 78);
}

TEST_F(HeroWalk, CenteringKeepsTheViewOnTheMap) {
    hero->CenterView(40, 30);
    EXPECT_EQ(map.scrollX, 64 * 40 - 38 * 32);
    EXPECT_EQ(map.scrollY, 64 * 30 - 28 * 32);
    BuildMap(15, 10);
    hero->CenterView(20, 18);
    EXPECT_EQ(map.scrollX, 0);
    EXPECT_EQ(map.scrollY, 0);
}

TEST_F(HeroWalk, InputWaitsForEventsRoutesAndBlocks) {
    hero->PlaceAndCenter(10, 10, 0);
    ActiveCharacterWorld().inputBlocked = true;
    Frames(1, Toward(2));
    EXPECT_EQ(hero->gridY, 20);
    ActiveCharacterWorld().inputBlocked = false;
    ActiveCharacterWorld().system = &system;
    system.windowBusy = 1;
    Frames(1, Toward(2));
    EXPECT_EQ(hero->gridY, 20);
    system.windowBusy = 0;
    system.transitionRunning = system.transitionWaits = 1;
    Frames(1, Toward(2));
    EXPECT_EQ(hero->gridY, 20);
    system.transitionWaits = 0;
    mainInterpreter.Setup(std::make_shared<CommandList>(std::vector<EventCommand>(1)), -1, -1);
    Frames(1, Toward(2));
    EXPECT_EQ(hero->gridY, 20);
    mainInterpreter.Reset();
    Frames(1, Toward(3));
    EXPECT_EQ(hero->gridY, 21);
    EXPECT_EQ(hero->gridX, 21);
    // Four move directions take only the straight input.
    ActiveCharacterWorld().rules.moveDirections = 4;
    Walk(3, 1);
    EXPECT_EQ(hero->gridY, 21);
}

TEST_F(HeroWalk, FollowersTrailTheHeroStepByStep) {
    ActiveCharacterWorld().values.followersWalk = 1;
    hero->PlaceAndCenter(4, 10, 0);
    hero->GatherFollowers();
    EXPECT_EQ(hero->followers[0].gridX, 8);
    Walk(6, 1);
    EXPECT_EQ(hero->gridX, 9);
    EXPECT_EQ(hero->followers[0].gridX, 8);
    Walk(6, 1);
    EXPECT_EQ(hero->followers[0].gridX, 9);
    EXPECT_EQ(hero->followers[1].gridX, 8);
    Walk(2, 3);
    EXPECT_EQ(hero->followers[0].gridX, 10);
    EXPECT_EQ(hero->followers[0].gridY, 22);
    EXPECT_EQ(hero->followers[1].gridX, 10);
    EXPECT_EQ(hero->followers[1].gridY, 21);
    // The last follower repeats the step made five steps ago: none yet.
    EXPECT_EQ(hero->followers[4].gridX, 8);
    EXPECT_EQ(hero->stepTrail.size(), 100u);

    // With spacing 2 every follower waits two steps per place in the line.
    ActiveCharacterWorld().values.followerSpacing = 2;
    hero->GatherFollowers();
    Walk(8, 3);
    EXPECT_EQ(hero->followers[0].gridY, 22);
    EXPECT_EQ(hero->followers[1].gridY, 23);
}

TEST_F(HeroWalk, LongSpacingsAndFormationKeepTheTrail) {
    ActiveCharacterWorld().values.followersWalk = 1;
    ActiveCharacterWorld().values.followerSpacing = 30000;
    hero->PlaceAndCenter(4, 4, 0);
    hero->GatherFollowers();
    Walk(6, 3);
    EXPECT_EQ(hero->followers[4].gridX, 8);
    ActiveCharacterWorld().values.followerSpacing = 1;
    hero->GatherFollowers();
    hero->formation = 1;
    Frames(1, Toward(2));
    for (const Character& follower : hero->followers) {
        EXPECT_EQ(follower.gridY, hero->gridY);
        EXPECT_EQ(follower.gridX, hero->gridX);
    }
    // Many formation steps never empty the trail.
    for (int i = 0; i < 150; ++i) {
        Walk(i % 2 ? 8 : 2, 1);
        ASSERT_GE(hero->stepTrail.size(), 7u);
    }
}

TEST_F(HeroWalk, LoopingMapCarriesTheViewWithoutAJump) {
    BuildMap(20, 15);
    map.loopX = true;
    hero->PlaceAndCenter(19, 7, 0);
    const int32_t scrollBefore = map.scrollX;
    const int32_t screenBefore = hero->GetScreenX(true);
    Walk(6, 2);
    EXPECT_EQ(hero->gridX, 0);
    EXPECT_EQ(hero->pixelX, 0);
    // The view followed the two steps and went back by a whole map width
    // with the hero: the hero stays where it was on the screen.
    EXPECT_EQ(map.scrollX, scrollBefore + 2 * 64 - 20 * 32 * 4);
    EXPECT_EQ(hero->GetScreenX(true), screenBefore);
}

TEST_F(HeroWalk, SaveRoundTripAndCuts) {
    hero->PlaceAndCenter(4, 4, 0);
    hero->GatherFollowers();
    hero->formation = 1;
    hero->followers[2].graphicFileName = "f.png";
    hero->graphicFileName = std::string(300, 'h');
    ByteWriter out;
    hero->WriteSave(out);
    const std::vector<uint8_t>& bytes = out.Bytes();
    for (size_t cut = 0; cut < bytes.size(); cut += 13) {
        SaveStream save(std::vector<uint8_t>(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(cut)));
        Hero copy;
        EXPECT_FALSE(copy.ReadSave(save)) << cut;
        EXPECT_TRUE(save.errorFlag) << cut;
    }
    SaveStream save(bytes);
    Hero copy;
    ASSERT_TRUE(copy.ReadSave(save));
    EXPECT_EQ(copy.graphicFileName, hero->graphicFileName);
    EXPECT_EQ(copy.followers.size(), 5u);
    EXPECT_EQ(copy.followers[2].graphicFileName, "f.png");
    EXPECT_EQ(copy.followers[2].id, -5);
    EXPECT_EQ(copy.formation, 1);
    EXPECT_EQ(copy.stepTrail, hero->stepTrail);

    // A position no map reaches is damage, not a drawn position that
    // overflows. (The grid x follows the id.)
    for (uint32_t grid : {0x01000001u, 0x98000000u}) {
        std::vector<uint8_t> far = bytes;
        for (int i = 0; i < 4; ++i) far[4 + i] = static_cast<uint8_t>(grid >> (8 * i));
        SaveStream damaged(far);
        Hero target;
        EXPECT_FALSE(target.ReadSave(damaged)) << grid;
        EXPECT_TRUE(damaged.errorFlag) << grid;
    }
}

}  // namespace
}  // namespace velk
