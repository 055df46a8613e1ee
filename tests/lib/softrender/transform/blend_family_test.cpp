// Every loop of every blend mode, source kind, format and variant, in each
// frame (triangle, four-corner, rotated, mirrored rotated), against the
// reference model, with guard borders around every image.
#include <gtest/gtest.h>

#include <map>
#include <tuple>

#include "lib/softrender/transform/transformed_fill.h"
#include "tests/lib/softrender/transform/fill_test_support.h"
#include "tests/lib/softrender/transform/reference_fill.h"

namespace velk::testing {
namespace {

constexpr int kModes[] = {0, 1, 2, 3, 4, 10, 11};
constexpr int kParams[] = {1, 64, 128, 200, 254, 255};

enum class Frame { kTriangle, kQuad, kRotated, kMirrored };

const char* FrameName(Frame frame) {
    switch (frame) {
        case Frame::kTriangle: return "triangle";
        case Frame::kQuad: return "quad";
        case Frame::kRotated: return "rotated";
        case Frame::kMirrored: return "mirrored";
    }
    return "";
}

class BlendFamilyTest : public ::testing::Test {
protected:
    void SetUp() override { ResetSoftwareDrawState(); }
    void TearDown() override { ResetSoftwareDrawState(); }
};

DrawState RandomState(std::mt19937& random, int mode, bool bright) {
    DrawState state;
    state.mode = mode;
    state.param = kParams[random() % std::size(kParams)];
    if (bright) {
        if (random() % 4 == 0) {
            state.red = 255, state.green = 255, state.blue = 254;
        } else {
            state.red = static_cast<int>(random() % 256), state.green = static_cast<int>(random() % 256),
            state.blue = static_cast<int>(random() % 256);
            if (state.red == 255 && state.green == 255) state.blue = 17;
        }
    }
    switch (random() % 3) {
        case 0: break;  // everything
        case 1: state.area = {static_cast<int32_t>(random() % 8), static_cast<int32_t>(random() % 8),
                              static_cast<int32_t>(14 + random() % 20), static_cast<int32_t>(12 + random() % 16)};
                break;
        default: state.area = {-5, -7, 23, 200}; break;
    }
    return state;
}

int RandomIn(std::mt19937& random, int low, int high) { return low + static_cast<int>(random() % (high - low + 1)); }

// Draws one random shape of the frame into both destinations.
std::string DrawBoth(std::mt19937& random, Frame frame, GuardedImage& ours, GuardedImage& expected,
                     const GuardedImage& source, const GuardedImage* blend, int trans) {
    const MEMIMG* blend_view = blend != nullptr ? blend->view() : nullptr;
    const int w = source.width(), h = source.height();
    std::ostringstream shape;
    switch (frame) {
        case Frame::kTriangle: {
            int32_t v[12];
            ReferenceVertex r[3];
            for (int i = 0; i < 3; ++i) {
                v[4 * i] = RandomIn(random, -6, ours.width() + 6);
                v[4 * i + 1] = RandomIn(random, -6, ours.height() + 6);
                v[4 * i + 2] = RandomIn(random, -3, w + 3);
                v[4 * i + 3] = RandomIn(random, -3, h + 3);
                r[i] = {int64_t{v[4 * i]} * 256, int64_t{v[4 * i + 1]} * 256, int64_t{v[4 * i + 2]} * 256,
                        int64_t{v[4 * i + 3]} * 256};
                shape << v[4 * i] << "," << v[4 * i + 1] << "/" << v[4 * i + 2] << "," << v[4 * i + 3] << " ";
            }
            DrawMemImgTriangle(ours.view(), source.view(), v, trans, blend_view, 0);
            ReferenceTriangle(expected.view(), source.view(), r, trans, blend_view, 0);
            break;
        }
        case Frame::kQuad: {
            const int x = RandomIn(random, -4, 8), y = RandomIn(random, -4, 8);
            const int qw = RandomIn(random, 3, 26), qh = RandomIn(random, 3, 22);
            int32_t c[8] = {x, y, x + qw, y, x, y + qh, x + qw, y + qh};
            for (int32_t& value : c) value += RandomIn(random, -3, 3);
            if (random() % 3 == 0) {  // mirrored: top-right, top-left, bottom-right, bottom-left
                std::swap(c[0], c[2]);
                std::swap(c[4], c[6]);
            }
            int64_t r[8];
            for (int i = 0; i < 8; ++i) {
                r[i] = int64_t{c[i]} * 256;
                shape << c[i] << " ";
            }
            DrawMemImgQuad(ours.view(), source.view(), c, trans, blend_view);
            ReferenceQuad(expected.view(), source.view(), r, trans, blend_view);
            break;
        }
        case Frame::kRotated:
        case Frame::kMirrored: {
            const int cx = RandomIn(random, -2, ours.width() + 2), cy = RandomIn(random, -2, ours.height() + 2);
            const float angle = static_cast<float>(RandomIn(random, -700, 700)) / 100.0f;
            const float scales[] = {1.0f, 0.6f, 1.7f, 2.5f, -1.3f};
            const float scale = random() % 2 ? scales[random() % 5] : RandomIn(random, 40, 300) / 100.0f;
            const int mirror = frame == Frame::kMirrored ? 1 : 0;
            shape << "centre " << cx << "," << cy << " angle " << angle << " scale " << scale;
            DrawMemImgRotated(ours.view(), source.view(), cx, cy, angle, scale, trans, mirror, blend_view);
            ReferenceRotated(expected.view(), source.view(), cx, cy, angle, scale, trans, mirror, blend_view);
            break;
        }
    }
    return shape.str();
}

TEST_F(BlendFamilyTest, EveryLoopMatchesTheReference) {
    std::mt19937 random(2024);
    // Pixels changed per cell (frame, format, source type, mode, blend,
    // bright, trans): every loop must have drawn something.
    std::map<std::tuple<int, int, int, int, int, int, int>, int> drawn;
    for (Frame frame : {Frame::kTriangle, Frame::kQuad, Frame::kRotated, Frame::kMirrored}) {
        for (int format : {kMemImgFormat16, kMemImgFormat32}) {
            for (SourceType type : {SourceType::kDirect, SourceType::kDirectAlpha, SourceType::kPaletted}) {
                for (int mode : kModes) {
                    for (int axes = 0; axes < 8; ++axes) {
                        const bool with_blend = axes & 4, bright = axes & 2;
                        const int trans = axes & 1 ? 1 + static_cast<int>(random() % 3) : 0;
                        const auto cell = std::make_tuple(static_cast<int>(frame), format, static_cast<int>(type),
                                                          mode, with_blend, bright, trans != 0);
                        // At least three draws, more until one of them changes a pixel.
                        for (int repeat = 0; repeat < 3 || (drawn[cell] == 0 && repeat < 30); ++repeat) {
                            const int w = RandomIn(random, 3, 17), h = RandomIn(random, 3, 15);
                            auto source = MakeRandomSource(random, format, type, w, h);
                            std::unique_ptr<GuardedImage> blend;
                            if (with_blend) {
                                // Sometimes smaller than the source.
                                const int bw = random() % 3 ? w + RandomIn(random, 0, 3) : RandomIn(random, 1, w);
                                const int bh = random() % 3 ? h + RandomIn(random, 0, 3) : RandomIn(random, 1, h);
                                blend = MakeRandomBlend(random, bw, bh);
                            }
                            GuardedImage ours(29, 23, format);
                            GuardedImage expected(29, 23, format);
                            ours.FillRandom(random);
                            expected.CopyFrom(ours);
                            GuardedImage before(29, 23, format);
                            before.CopyFrom(ours);
                            const DrawState state = RandomState(random, mode, bright);
                            state.Apply();
                            const std::string shape = DrawBoth(random, frame, ours, expected, *source, blend.get(), trans);
                            ASSERT_TRUE(ours.SameBytes(expected))
                                << FrameName(frame) << " format " << format << " source " << static_cast<int>(type)
                                << " blend " << with_blend << " trans " << trans << " " << state.Describe()
                                << " shape " << shape << ": " << ours.DescribeDifference(expected);
                            if (!ours.SameBytes(before)) ++drawn[cell];
                        }
                    }
                }
            }
        }
    }
    // 4 frames x 2 formats x 3 source types x 7 modes x 8 variants.
    EXPECT_EQ(drawn.size(), 4u * 2 * 3 * 7 * 8);
    for (const auto& [cell, count] : drawn) EXPECT_GT(count, 0);
}

TEST_F(BlendFamilyTest, FlatTrianglesMatchTheReferenceInEveryMode) {
    std::mt19937 random(5);
    for (int format : {kMemImgFormat16, kMemImgFormat32}) {
        for (int mode : {0, 1, 2, 3, 4, 5, 9, 10, 11, 12, -1}) {
            for (int repeat = 0; repeat < 12; ++repeat) {
                GuardedImage ours(21, 19, format);
                GuardedImage expected(21, 19, format);
                ours.FillRandom(random);
                expected.CopyFrom(ours);
                DrawState state = RandomState(random, mode, repeat % 2 == 1);
                if (repeat == 0) state.param = 0;
                state.Apply();
                int32_t v[12];
                ReferenceVertex r[3];
                for (int i = 0; i < 3; ++i) {
                    v[4 * i] = RandomIn(random, -5, 26);
                    v[4 * i + 1] = RandomIn(random, -5, 24);
                    v[4 * i + 2] = v[4 * i + 3] = 0;
                    r[i] = {int64_t{v[4 * i]} * 256, int64_t{v[4 * i + 1]} * 256, 0, 0};
                }
                const uint32_t color = random();
                // The transparency flag and a blend image play no part.
                auto blend = MakeRandomBlend(random, 4, 4);
                DrawMemImgTriangle(ours.view(), nullptr, v, 1, blend->view(), color);
                ReferenceTriangle(expected.view(), nullptr, r, 0, nullptr, color);
                ASSERT_TRUE(ours.SameBytes(expected)) << "format " << format << " " << state.Describe() << ": "
                                                      << ours.DescribeDifference(expected);
            }
        }
    }
}

}  // namespace
}  // namespace velk::testing
