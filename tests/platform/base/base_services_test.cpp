#include <gtest/gtest.h>

#include <climits>
#include <thread>

#include "platform/base/clock.h"
#include "platform/base/crt_parse.h"
#include "platform/base/crt_random.h"
#include "platform/base/sync.h"

namespace velk::platform {
namespace {

TEST(CrtRandom, MatchesTheRuntimeSequence) {
    // The first values after srand(1) of the runtime the data formats were
    // made with.
    CrtRandom random(1);
    EXPECT_EQ(random.Next(), 41);
    EXPECT_EQ(random.Next(), 18467);
    EXPECT_EQ(random.Next(), 6334);
    random.Seed(0);
    EXPECT_EQ(random.Next(), 38);
    EXPECT_EQ(random.Next(), 7719);
}

TEST(CrtAtoi, FollowsTheRuntimeRules) {
    EXPECT_EQ(CrtAtoi("  -42abc"), -42);
    EXPECT_EQ(CrtAtoi("+7"), 7);
    EXPECT_EQ(CrtAtoi("x1"), 0);
    EXPECT_EQ(CrtAtoi(""), 0);
    EXPECT_EQ(CrtAtoi("-2147483648"), INT_MIN);
    EXPECT_EQ(CrtAtoi("2147483647"), INT_MAX);
    EXPECT_EQ(CrtAtoi("99999999999999999999"), INT_MAX);
    EXPECT_EQ(CrtAtoi("-99999999999999999999"), INT_MIN);
}

TEST(Clock, ElapsedSurvivesTheWrapOfTheMillisecondCount) {
    ManualClock clock;
    ScopedClock installed(clock);
    clock.SetMilliseconds(0x7FFFFFF0u);
    const int32_t start = Milliseconds31();
    clock.AdvanceMilliseconds(0x20);
    const int32_t now = Milliseconds31();
    EXPECT_LT(now, start);  // the count wrapped
    EXPECT_EQ(ElapsedMilliseconds31(start, now), 0x20);
}

TEST(ManualResetEvent, StaysSignalledUntilReset) {
    ManualResetEvent event;
    EXPECT_FALSE(event.Wait(0));
    std::thread setter([&] { event.Set(); });
    EXPECT_TRUE(event.Wait());
    setter.join();
    EXPECT_TRUE(event.Wait(0));
    event.Reset();
    EXPECT_FALSE(event.Wait(1));
}

TEST(ThreadId, DiffersBetweenThreadsAndIsNeverAMarker) {
    const uint32_t mine = CurrentThreadId();
    uint32_t other = 0;
    std::thread([&] { other = CurrentThreadId(); }).join();
    EXPECT_NE(mine, other);
    EXPECT_NE(mine, 0u);
    EXPECT_NE(mine, 0xFFFFFFFFu);
    EXPECT_EQ(mine, CurrentThreadId());
}

}  // namespace
}  // namespace velk::platform
