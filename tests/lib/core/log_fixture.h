#pragma once
// A fixture whose log lives in a fresh folder and whose clock stands still
// until the test moves it.

#include <gtest/gtest.h>

#include <string>

#include "lib/core/log.h"
#include "platform/base/clock.h"
#include "platform/base/debug_output.h"
#include "tests/support/scratch_dir.h"

namespace velk::testing {

class LogInScratchDir : public ::testing::Test {
protected:
    static constexpr uint32_t kStartMilliseconds = 5000;

    void SetUp() override {
        platform::SetDebugOutputEnabled(false);
        clock_.SetMilliseconds(kStartMilliseconds);
        SetLogOutputFlag(1);
        SetLogStartDirectory(dir_.path().string());
        ASSERT_EQ(CreateLogFile(), 0);
    }

    void TearDown() override {
        SetLogStartDirectory("");
        SetLogOutputFlag(1);
        platform::SetDebugOutputEnabled(true);
    }

    std::string LogBytes() const { return dir_.ReadFile("Log.txt"); }

    ScratchDir dir_;
    platform::ManualClock clock_;
    platform::ScopedClock installed_{clock_};
};

}  // namespace velk::testing
