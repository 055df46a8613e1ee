#pragma once
// Drawing tests that start and end on the default draw settings: mode 0 at
// full strength, no brightness and no draw area beyond the destination's, so
// that no test's settings reach the next.

#include <cstdint>

#include <gtest/gtest.h>

#include "lib/softrender/blend_tables.h"
#include "lib/softrender/draw_settings.h"

namespace velk::testing {

class DrawingTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { InitMemImgTables(); }
    void SetUp() override { Reset(); }
    void TearDown() override { Reset(); }
    static void Reset() {
        SetMemImgDrawBlendMode(0, 255);
        SetMemImgDrawBright(255, 255, 255);
        SetMemImgDrawArea({0, 0, INT32_MAX, INT32_MAX});
    }
};

}  // namespace velk::testing
