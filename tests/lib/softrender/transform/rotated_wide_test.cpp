// The rotated draw's eight-pixel loops against the reference model, on 32-
// and 16-bit destinations wide enough for long runs, with the wide loops chosen and
// with the generic loops alone.
#include <gtest/gtest.h>

#include "lib/softrender/transform/rotated_wide_loops.h"
#include "lib/softrender/transform/transformed_fill.h"
#include "tests/lib/softrender/transform/fill_test_support.h"
#include "tests/lib/softrender/transform/reference_fill.h"

namespace velk::testing {
namespace {

class RotatedWideTest : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        ResetSoftwareDrawState();
        UseWideRotatedLoops(GetParam());
    }
    void TearDown() override {
        UseWideRotatedLoops(true);
        ResetSoftwareDrawState();
    }
};

TEST_P(RotatedWideTest, LongRunsMatchTheReference) {
    std::mt19937 random(35);
    for (const int format : {kMemImgFormat32, kMemImgFormat16}) {
        for (SourceType type : {SourceType::kDirect, SourceType::kDirectAlpha, SourceType::kPaletted}) {
            for (int mode : {0, 1, 2, 10, 11}) {
                for (int trans = 0; trans < 2; ++trans) {
                    for (int repeat = 0; repeat < 6; ++repeat) {
                        const int w = 5 + static_cast<int>(random() % 60), h = 5 + static_cast<int>(random() % 60);
                        auto source = MakeRandomSource(random, format, type, w, h);
                        GuardedImage ours(97, 83, format);
                        GuardedImage expected(97, 83, format);
                        ours.FillRandom(random);
                        expected.CopyFrom(ours);
                        DrawState state;
                        state.mode = mode;
                        state.param = repeat == 0 ? 0 : static_cast<int>(random() % 256);
                        if (repeat == 5) state.area = {3, 2, 90, 80};
                        state.Apply();
                        const int cx = static_cast<int>(random() % 97), cy = static_cast<int>(random() % 83);
                        const float angle = static_cast<float>(random() % 1400) / 100.0f - 7.0f;
                        const float scale =
                            static_cast<float>(40 + random() % 260) / 100.0f * (repeat == 3 ? -1.0f : 1.0f);
                        // A view one pixel in: its texels start at the other 16-bit
                        // alignment.
                        MEMIMG part{};
                        const MEMIMG* from = source->view();
                        if (repeat == 4) {
                            DeriveMemImg(&part, from, 1, 1, w - 1, h - 1);
                            from = &part;
                        }
                        DrawMemImgRotated(ours.view(), from, cx, cy, angle, scale, trans, 0, nullptr);
                        ReferenceRotated(expected.view(), from, cx, cy, angle, scale, trans, 0, nullptr);
                        ReleaseMemImg(&part);
                        ASSERT_TRUE(ours.SameBytes(expected))
                            << "format " << format << " source " << static_cast<int>(type) << " trans " << trans << " "
                            << state.Describe() << " centre " << cx << "," << cy << " angle " << angle << " scale "
                            << scale << ": " << ours.DescribeDifference(expected);
                    }
                }
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(WideAndGeneric, RotatedWideTest, ::testing::Bool());

}  // namespace
}  // namespace velk::testing
