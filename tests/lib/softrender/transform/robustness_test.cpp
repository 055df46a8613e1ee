// Inputs the fills cannot draw draw nothing, and no input writes outside the
// destination view or reads outside the source: randomized coordinates
// (huge, negative, degenerate), odd scales and angles, refused images.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "lib/softrender/transform/transformed_fill.h"
#include "tests/lib/softrender/transform/fill_test_support.h"
#include "tests/lib/softrender/transform/reference_fill.h"

namespace velk::testing {
namespace {

class RobustnessTest : public ::testing::Test {
protected:
    void SetUp() override { ResetSoftwareDrawState(); }
    void TearDown() override { ResetSoftwareDrawState(); }
};

int32_t WildCoordinate(std::mt19937& random) {
    switch (random() % 8) {
        case 0: return std::numeric_limits<int32_t>::min() + static_cast<int32_t>(random() % 3);
        case 1: return std::numeric_limits<int32_t>::max() - static_cast<int32_t>(random() % 3);
        case 2: return static_cast<int32_t>(random() % 40000) - 20000;
        case 3: return (random() % 2 ? 16383 : -16383) + static_cast<int32_t>(random() % 3) - 1;
        case 4: return 8191 + static_cast<int32_t>(random() % 3) - 1;
        default: return static_cast<int32_t>(random() % 60) - 15;
    }
}

float WildFloat(std::mt19937& random) {
    const float values[] = {0.0f, -0.0f, std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                            -std::numeric_limits<float>::infinity(), 1e-30f, 3e-5f, 1e30f, 5000.0f, -2.0f,
                            std::numeric_limits<float>::denorm_min(), 0.5f, 1.0f, 7.0f};
    if (random() % 3 == 0) return static_cast<float>(static_cast<int>(random() % 2000) - 1000) / 37.0f;
    return values[random() % std::size(values)];
}

// Random wild draws in every frame match the reference (which tests each
// pixel alone) and leave both guards intact.
TEST_F(RobustnessTest, WildCoordinatesStayInsideTheImages) {
    std::mt19937 random(31337);
    for (int i = 0; i < 1500; ++i) {
        const int format = random() % 2 ? kMemImgFormat32 : kMemImgFormat16;
        const auto type = static_cast<SourceType>(random() % 3);
        auto source = MakeRandomSource(random, format, type, 1 + static_cast<int>(random() % 9),
                                       1 + static_cast<int>(random() % 9));
        GuardedImage ours(17, 13, format);
        GuardedImage expected(17, 13, format);
        ours.FillRandom(random);
        expected.CopyFrom(ours);
        DrawState state;
        state.mode = static_cast<int>(random() % 12);
        state.param = static_cast<int>(random() % 256);
        state.Apply();
        switch (random() % 4) {
            case 0: {
                int32_t v[12];
                ReferenceVertex r[3];
                for (int k = 0; k < 12; ++k) v[k] = WildCoordinate(random);
                for (int k = 0; k < 3; ++k) {
                    r[k] = {int64_t{v[4 * k]} * 256, int64_t{v[4 * k + 1]} * 256, int64_t{v[4 * k + 2]} * 256,
                            int64_t{v[4 * k + 3]} * 256};
                }
                const MEMIMG* src = random() % 4 ? source->view() : nullptr;
                const uint32_t color = random();
                DrawMemImgTriangle(ours.view(), src, v, 1, nullptr, color);
                ReferenceTriangle(expected.view(), src, r, 1, nullptr, color);
                break;
            }
            case 1: {
                int32_t c[8];
                int64_t r[8];
                for (int k = 0; k < 8; ++k) {
                    c[k] = WildCoordinate(random);
                    r[k] = int64_t{c[k]} * 256;
                }
                DrawMemImgQuad(ours.view(), source->view(), c, 1, nullptr);
                ReferenceQuad(expected.view(), source->view(), r, 1, nullptr);
                break;
            }
            default: {
                const int cx = WildCoordinate(random), cy = WildCoordinate(random);
                const float angle = WildFloat(random), scale = WildFloat(random);
                const int mirror = static_cast<int>(random() % 2);
                DrawMemImgRotated(ours.view(), source->view(), cx, cy, angle, scale, 0, mirror, nullptr);
                ReferenceRotated(expected.view(), source->view(), cx, cy, angle, scale, 0, mirror, nullptr);
                break;
            }
        }
        ASSERT_TRUE(ours.SameBytes(expected)) << "case " << i << ": " << ours.DescribeDifference(expected);
    }
}

TEST_F(RobustnessTest, DrawsThatCannotBeMadeDrawNothing) {
    std::mt19937 random(8);
    auto source32 = MakeRandomSource(random, kMemImgFormat32, SourceType::kDirect, 6, 6);
    auto source16 = MakeRandomSource(random, kMemImgFormat16, SourceType::kDirect, 6, 6);
    auto blend = MakeRandomBlend(random, 6, 6);
    GuardedImage not_a_blend_image(6, 6, kMemImgFormat32);
    GuardedImage dest(12, 12, kMemImgFormat32);
    GuardedImage paletted_dest(12, 12, kMemImgFormat32, 1, 0);
    GuardedImage alpha_dest(12, 12, kMemImgFormat32, 0, 1);
    GuardedImage depth_dest(12, 12, kMemImgFormatDepth);
    for (GuardedImage* image : {&dest, &paletted_dest, &alpha_dest, &depth_dest}) image->FillRandom(random);
    GuardedImage dest_before(12, 12, kMemImgFormat32);
    dest_before.CopyFrom(dest);

    const int32_t triangle[12] = {0, 0, 0, 0, 11, 1, 6, 0, 2, 11, 0, 6};
    const int32_t corners[8] = {0, 0, 12, 0, 0, 12, 12, 12};
    auto draw_all = [&](MEMIMG* target, const MEMIMG* src, const MEMIMG* blend_image) {
        DrawMemImgTriangle(target, src, triangle, 0, blend_image, 0x123456);
        DrawMemImgQuad(target, src, corners, 0, blend_image);
        DrawMemImgRotated(target, src, 6, 6, 0.2f, 1.0f, 0, 0, blend_image);
        DrawMemImgRotated(target, src, 6, 6, 0.2f, 1.0f, 0, 1, blend_image);
    };
    auto expect_untouched = [&](const char* what) {
        EXPECT_TRUE(dest.SameBytes(dest_before)) << what;
    };

    draw_all(dest.view(), source16->view(), nullptr);
    expect_untouched("source of another format");
    draw_all(dest.view(), source32->view(), not_a_blend_image.view());
    expect_untouched("blend image that is not one byte per pixel");
    for (GuardedImage* refused : {&paletted_dest, &alpha_dest, &depth_dest}) {
        GuardedImage before(12, 12, refused->base().format, refused->base().use_palette, refused->base().use_alpha);
        before.CopyFrom(*refused);
        draw_all(refused->view(), source32->view(), nullptr);
        DrawMemImgTriangle(refused->view(), nullptr, triangle, 0, nullptr, 0x123456);
        EXPECT_TRUE(refused->SameBytes(before)) << "refused destination";
    }
    for (const auto& [mode, param] : {std::pair{5, 255}, {9, 255}, {12, 255}, {-1, 255}, {1, 0}, {2, 0}, {3, 0}}) {
        SetMemImgDrawBlendMode(mode, param);
        draw_all(dest.view(), source32->view(), blend->view());
        DrawMemImgTriangle(dest.view(), nullptr, triangle, 0, nullptr, 0x123456);
        expect_untouched("blend mode without loops or parameter 0");
    }
    SetMemImgDrawBlendMode(0, 255);
    SetMemImgDrawArea({5, 5, 5, 12});
    draw_all(dest.view(), source32->view(), nullptr);
    expect_untouched("empty draw area");
    SetMemImgDrawArea({40, 40, 60, 60});
    draw_all(dest.view(), source32->view(), nullptr);
    expect_untouched("draw area beside the destination");
    SetMemImgDrawArea({0, 0, INT32_MAX, INT32_MAX});

    const int32_t collinear[12] = {0, 0, 0, 0, 5, 5, 3, 3, 10, 10, 6, 6};
    DrawMemImgTriangle(dest.view(), source32->view(), collinear, 0, nullptr, 0);
    DrawMemImgTriangle(dest.view(), nullptr, collinear, 0, nullptr, 0x123456);
    DrawMemImgTriangle(dest.view(), source32->view(), nullptr, 0, nullptr, 0);
    DrawMemImgQuad(dest.view(), source32->view(), nullptr, 0, nullptr);
    const int32_t point[8] = {4, 4, 4, 4, 4, 4, 4, 4};
    DrawMemImgQuad(dest.view(), source32->view(), point, 0, nullptr);
    expect_untouched("shapes without area, missing coordinates");

    for (const float scale : {0.0f, std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                              1e-20f}) {
        DrawMemImgRotated(dest.view(), source32->view(), 6, 6, 0.0f, scale, 0, 0, nullptr);
        DrawMemImgRotated(dest.view(), source32->view(), 6, 6, 0.0f, scale, 0, 1, nullptr);
    }
    DrawMemImgRotated(dest.view(), source32->view(), 6, 6, std::numeric_limits<float>::quiet_NaN(), 1.0f, 0, 0, nullptr);
    DrawMemImgRotated(dest.view(), source32->view(), 60000, 6, 0.0f, 1.0f, 0, 0, nullptr);
    expect_untouched("scale 0, NaN, infinity or too small; centre out of range");

    MEMIMG released{};
    CreateMemImg(&released, 4, 4, -1, 0, kMemImgFormat32, 0, 0, nullptr);
    ReleaseMemImg(&released);
    draw_all(dest.view(), &released, nullptr);
    draw_all(&released, source32->view(), nullptr);
    draw_all(nullptr, source32->view(), nullptr);
    DrawMemImgQuad(dest.view(), nullptr, corners, 0, nullptr);
    DrawMemImgRotated(dest.view(), nullptr, 6, 6, 0.2f, 1.0f, 0, 0, nullptr);
    expect_untouched("released or missing images");
}

}  // namespace
}  // namespace velk::testing
