// The run solver against a scan of every index, on lines that cross the
// bounds at, just before and just after whole indices, with steps of every
// sign and size, in the 64-bit range and beyond it.
#include <gtest/gtest.h>

#include <random>

#include "lib/softrender/transform/exact_division.h"

namespace velk {
namespace {

IndexRange RunByScan(Int128 start, Int128 step, Int128 low, Int128 high, int64_t count) {
    IndexRange run{0, 0};
    bool seen = false;
    for (int64_t i = 0; i < count; ++i) {
        const Int128 x = start + Int128{i} * step;
        if (x >= low && x < high) {
            if (!seen) run.begin = i;
            seen = true;
            run.end = i + 1;
        }
    }
    return run;
}

TEST(ExactDivisionTest, RunsEqualAScanOfEveryIndex) {
    std::mt19937_64 random(35);
    const int64_t one = int64_t{1} << 32;
    for (int n = 0; n < 40000; ++n) {
        const int64_t count = 1 + static_cast<int64_t>(random() % 300);
        // Every fourth line lies far beyond 64-bit positions.
        const Int128 offset = n % 4 == 3 ? (Int128{1} << 70) : 0;
        const Int128 low = offset, high = offset + static_cast<int64_t>(random() % 100 + 1) * one;
        int64_t step;
        switch (n % 3) {
            case 0: step = static_cast<int64_t>(random() % (4 * one)) - 2 * one; break;
            case 1: step = static_cast<int64_t>(random() % 7) - 3; break;
            default: step = static_cast<int64_t>(random() % (int64_t{1} << 47)) - (int64_t{1} << 46); break;
        }
        Int128 start = offset + static_cast<int64_t>(random() % (300 * one)) - 100 * one;
        if (n % 2 == 0) {
            // Land exactly on (or one unit beside) a bound at some index.
            const int64_t at = static_cast<int64_t>(random() % count);
            start = (random() % 2 ? low : high) - Int128{at} * step + static_cast<int64_t>(random() % 3) - 1;
        }
        const IndexRange solved = SolveLinearRange(start, step, low, high, count);
        const IndexRange scanned = RunByScan(start, step, low, high, count);
        ASSERT_EQ(solved.begin, scanned.begin) << n;
        ASSERT_EQ(solved.end, scanned.end) << n;
    }
}

}  // namespace
}  // namespace velk
