// The game system's spare sound rows.
#include <gtest/gtest.h>

#include "game/data/databases.h"
#include "game/data/game_system.h"

namespace velk {
namespace {

TEST(GameSystem, SpareSoundRowsAreTheLastTenAndRotateWhileShortTypesHaveNone) {
    DatabaseSet databases;
    databases.system.types.resize(4);
    databases.system.types[1].rows.resize(14);
    databases.system.types[2].rows.resize(9);
    GameSystem system;
    system.CountSoundSpares(databases);
    EXPECT_EQ(system.FirstSpareSoundRow(0), 4);
    EXPECT_EQ(system.FirstSpareSoundRow(1), std::nullopt);
    EXPECT_EQ(system.FirstSpareSoundRow(2), std::nullopt);
    std::vector<int32_t> rows;
    for (int i = 0; i < 12; ++i) rows.push_back(*system.TakeSpareSoundRow(0));
    EXPECT_EQ(rows, (std::vector<int32_t>{4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 4, 5}));
    EXPECT_EQ(system.TakeSpareSoundRow(1), std::nullopt);
    EXPECT_EQ(system.TakeSpareSoundRow(3), std::nullopt);
}

TEST(GameSystem, TheTransitionRestsAtMinusTen) {
    GameSystem system;
    for (int i = 0; i < 20; ++i) system.StepTransition(3);
    EXPECT_EQ(system.transitionLeft, -10);
}

}  // namespace
}  // namespace velk
