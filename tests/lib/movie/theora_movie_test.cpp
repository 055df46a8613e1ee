// The Theora decoder on movies encoded in the test: refusals of damaged
// files, the index, seeks, advances and wraps against libtheora's own
// front-to-back decode, and closing while the decode thread works.

#include "lib/movie/theora_movie.h"

#include <gtest/gtest.h>

#include "lib/movie/yuv_to_rgb.h"
#include "tests/lib/movie/movie_test_support.h"
#include "tests/lib/movie/theora_writer.h"

namespace velk::testing {
namespace {

class TheoraMovieTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        file_ = new std::vector<uint8_t>(MakeTheoraMovie(TheoraMovieShape{}));
        reference_ = new std::vector<std::vector<uint8_t>>(ReferenceFrames(*file_));
    }
    static void TearDownTestSuite() {
        delete file_;
        delete reference_;
    }
    static std::vector<uint8_t>* file_;
    static std::vector<std::vector<uint8_t>>* reference_;

    // The frame the decoder shows now, as a reference frame number.
    static int Shown(TheoraMovieData* m) {
        ConvertTheoraFrame(m, 1, 0);
        return WhichFrame(Pixels(*GetTheoraFrameImage(m)), *reference_);
    }
};
std::vector<uint8_t>* TheoraMovieTest::file_ = nullptr;
std::vector<std::vector<uint8_t>>* TheoraMovieTest::reference_ = nullptr;

TEST_F(TheoraMovieTest, ReferenceFramesAreAllDifferent) {
    ASSERT_EQ(reference_->size(), 30u);
    for (size_t i = 1; i < reference_->size(); ++i)
        EXPECT_NE((*reference_)[i], (*reference_)[i - 1]) << i;
}

TEST_F(TheoraMovieTest, OpenIndexesPagesAndKeyFramesAndShowsFrameZero) {
    MemoryTheora movie(*file_);
    ASSERT_NE(movie.get(), nullptr);
    TheoraMovieInfo info;
    GetTheoraMovieInfo(movie.get(), &info);
    EXPECT_EQ(info.frame_count, 30);
    EXPECT_EQ(info.width, 64);
    EXPECT_EQ(info.height, 48);
    EXPECT_DOUBLE_EQ(info.frames_per_second, 25.0);
    const TheoraIndexSummary index = GetTheoraIndexSummary(movie.get());
    EXPECT_GT(index.page_entries, 0);
    ASSERT_EQ(index.key_frames, 4);
    EXPECT_EQ(index.first_key_frames[0], 0);
    EXPECT_EQ(index.first_key_frames[1], 8);
    EXPECT_EQ(index.first_key_frames[2], 16);
    EXPECT_EQ(index.first_key_frames[3], 24);
    EXPECT_EQ(GetTheoraCurrentFrame(movie.get()), 0);
    // Frame 0 was converted by the open: nothing more to do.
    EXPECT_EQ(WhichFrame(Pixels(*GetTheoraFrameImage(movie.get())), *reference_), 0);
    EXPECT_EQ(ConvertTheoraFrame(movie.get(), 1, 0), 0);
}

TEST_F(TheoraMovieTest, SeekShowsExactlyTheFrameAskedFor) {
    MemoryTheora movie(*file_, 4);
    ASSERT_NE(movie.get(), nullptr);
    // Back and forth across key frames, onto key frames and between them.
    const int targets[] = {17, 3, 29, 8, 7, 0, 24, 23, 12, 1, 28, 16};
    for (int target : targets) {
        SeekTheoraFrame(movie.get(), target);
        EXPECT_EQ(GetTheoraCurrentFrame(movie.get()), target);
        EXPECT_EQ(Shown(movie.get()), target) << "after a seek to " << target;
    }
    // At or past the end: the last frame; below 0: the first.
    SeekTheoraFrame(movie.get(), 30);
    EXPECT_EQ(Shown(movie.get()), 29);
    SeekTheoraFrame(movie.get(), 5000);
    EXPECT_EQ(Shown(movie.get()), 29);
    SeekTheoraFrame(movie.get(), -3);
    EXPECT_EQ(Shown(movie.get()), 0);
}

// Frames larger than a page: seeks start on pages that continue a packet
// begun on the page before.
TEST_F(TheoraMovieTest, SeeksCountFramesRightWherePacketsSpanPages) {
    TheoraMovieShape shape;
    shape.width = 320;
    shape.height = 240;
    shape.frames = 16;
    shape.key_interval = 4;
    shape.noise = true;
    const std::vector<uint8_t> bytes = MakeTheoraMovie(shape);
    const auto reference = ReferenceFrames(bytes);
    ASSERT_EQ(reference.size(), 16u);
    MemoryTheora movie(bytes, 2);
    ASSERT_NE(movie.get(), nullptr);
    for (int target : {13, 6, 9, 2, 15, 5, 10, 1}) {
        SeekTheoraFrame(movie.get(), target);
        ConvertTheoraFrame(movie.get(), 1, 0);
        EXPECT_EQ(WhichFrame(Pixels(*GetTheoraFrameImage(movie.get())), reference), target);
    }
}

TEST_F(TheoraMovieTest, AdvanceStepsAndWrapsThroughEveryFrame) {
    for (int stock : {1, 3, 10}) {
        MemoryTheora movie(*file_, stock);
        ASSERT_NE(movie.get(), nullptr);
        int expected = 0;
        // Steps of 1, then larger jumps, over the end more than once.
        const int steps[] = {1, 1, 1, 2, 5, 1, 9, 13, 1, 1, 29, 30, 31, 4, 1, 1};
        for (int step : steps) {
            AdvanceTheoraFrame(movie.get(), step);
            expected = (expected + step) % 30;
            ASSERT_EQ(GetTheoraCurrentFrame(movie.get()), expected);
            ASSERT_EQ(Shown(movie.get()), expected) << "stock " << stock << " step " << step;
        }
        // Advancing by nothing, or backwards, changes nothing.
        AdvanceTheoraFrame(movie.get(), 0);
        AdvanceTheoraFrame(movie.get(), -4);
        EXPECT_EQ(GetTheoraCurrentFrame(movie.get()), expected);
        EXPECT_EQ(ConvertTheoraFrame(movie.get(), 1, 0), 0) << "still up to date";
    }
}

TEST_F(TheoraMovieTest, EveryFrameInTurnMatchesTheReference) {
    MemoryTheora movie(*file_);
    ASSERT_NE(movie.get(), nullptr);
    for (int lap = 0; lap < 2; ++lap) {
        for (int f = 0; f < 30; ++f) {
            if (lap + f > 0) AdvanceTheoraFrame(movie.get(), 1);
            ASSERT_EQ(Shown(movie.get()), f) << "lap " << lap;
        }
    }
}

TEST_F(TheoraMovieTest, WithoutTheImageAskedForNothingIsConverted) {
    MemoryTheora movie(*file_);
    AdvanceTheoraFrame(movie.get(), 3);
    // No YUV surface exists here.
    EXPECT_EQ(ConvertTheoraFrame(movie.get(), 0, 1), 0);
    EXPECT_EQ(ConvertTheoraFrame(movie.get(), 1, 1), 1);
}

TEST_F(TheoraMovieTest, ClosingWhileTheThreadWorksReturns) {
    for (int i = 0; i < 20; ++i) {
        MemoryTheora movie(*file_, 10);
        ASSERT_NE(movie.get(), nullptr);
        if (i % 2) SeekTheoraFrame(movie.get(), 20);  // close mid-seek
        if (i % 3 == 0) AdvanceTheoraFrame(movie.get(), 7);
    }
}

TEST_F(TheoraMovieTest, OtherChromaLayoutsConvertWithTheirOwnPlaneRatios) {
    for (int chroma : {422, 444}) {
        TheoraMovieShape shape;
        shape.chroma = chroma;
        shape.frames = 6;
        const std::vector<uint8_t> bytes = MakeTheoraMovie(shape);
        const auto reference = ReferenceFrames(bytes);
        ASSERT_EQ(reference.size(), 6u) << chroma;
        MemoryTheora movie(bytes);
        ASSERT_NE(movie.get(), nullptr) << chroma;
        SeekTheoraFrame(movie.get(), 4);
        ConvertTheoraFrame(movie.get(), 1, 0);
        EXPECT_EQ(Pixels(*GetTheoraFrameImage(movie.get())), reference[4]) << chroma;
    }
}

// Damaged files: each is refused or opens, and never crashes or hangs.
TEST_F(TheoraMovieTest, DamagedFilesAreRefused) {
    const std::vector<uint8_t>& good = *file_;
    struct Case {
        const char* name;
        std::vector<uint8_t> bytes;
    };
    std::vector<Case> refused;
    refused.push_back({"empty", {}});
    refused.push_back({"three bytes", {'O', 'g', 'g'}});
    refused.push_back({"not Ogg", std::vector<uint8_t>(good.begin() + 1, good.end())});
    refused.push_back({"first page only", std::vector<uint8_t>(good.begin(), good.begin() + 58 + 42)});
    std::vector<uint8_t> bad_header = good;
    bad_header[28 + 1] ^= 0xFF;  // the identification packet's "theora" signature
    refused.push_back({"identification signature", bad_header});
    for (const Case& c : refused) {
        MemoryTheora movie(c.bytes);
        EXPECT_EQ(movie.get(), nullptr) << c.name;
    }
    // Cut anywhere: refused or a movie of fewer frames whose every frame
    // can be asked for.
    for (size_t cut = 0; cut < good.size(); cut += 97) {
        MemoryTheora movie(std::vector<uint8_t>(good.begin(), good.begin() + static_cast<ptrdiff_t>(cut)));
        if (movie.get() == nullptr) continue;
        TheoraMovieInfo info;
        GetTheoraMovieInfo(movie.get(), &info);
        EXPECT_LE(info.frame_count, 30);
        SeekTheoraFrame(movie.get(), info.frame_count - 1);
        ConvertTheoraFrame(movie.get(), 1, 0);
        AdvanceTheoraFrame(movie.get(), 2);
        ConvertTheoraFrame(movie.get(), 1, 0);
    }
}

// The fixed-point 4:2:0 path against the formula it stands for.
TEST(YuvToRgbTest, FixedPointMatchesTheFormulaWithinOne) {
    const YuvTables& t = GetYuvTables();
    EXPECT_EQ(t.v_red[255], 26148 * 127);
    EXPECT_EQ(t.y[16], 0);
    EXPECT_EQ(t.clamp[0], 0);
    EXPECT_EQ(t.clamp[512 + 100], 100);
    EXPECT_EQ(t.clamp[1279], 255);
    uint8_t y[4], u = 0, v = 0;
    uint8_t out[2 * 2 * 4];
    for (int yv = 0; yv < 256; yv += 5) {
        for (int uv = 0; uv < 256; uv += 3) {
            for (int vv = 0; vv < 256; vv += 7) {
                y[0] = y[1] = y[2] = y[3] = static_cast<uint8_t>(yv);
                u = static_cast<uint8_t>(uv);
                v = static_cast<uint8_t>(vv);
                YuvPicture p{{y, 2, 2, 2}, {&u, 1, 1, 1}, {&v, 1, 1, 1}};
                ConvertYuvToXrgb(p, out, 8, 2, 2);
                const double yy = (yv - 16) * 1.164;
                const double r = yy + (vv - 128) * 1.596;
                const double g = yy - (uv - 128) * 0.391 - (vv - 128) * 0.813;
                const double b = yy + (uv - 128) * 2.018;
                // The formula truncated as the per-pixel path truncates.
                auto clamp = [](double x) {
                    return x < 0 ? 0.0 : x > 255 ? 255.0 : static_cast<double>(static_cast<int>(x));
                };
                ASSERT_NEAR(out[2], clamp(r), 1.0) << yv << " " << uv << " " << vv;
                ASSERT_NEAR(out[1], clamp(g), 1.0);
                ASSERT_NEAR(out[0], clamp(b), 1.0);
                ASSERT_EQ(out[3], 255);
            }
        }
    }
}

// Worked by hand: Y 100, U 90, V 200 gives (100-16) x 19070 = 1601880;
// red (1601880 + 26148 x 72) / 16384 = 212; green (1601880 + 6406 x 38 +
// 13320 x -72) / 16384 = 54; blue (1601880 + 33062 x -38) / 16384 = 21.
TEST(YuvToRgbTest, OneBlockWorkedByHand) {
    uint8_t y[4] = {100, 100, 100, 100}, u = 90, v = 200;
    uint8_t out[16];
    YuvPicture p{{y, 2, 2, 2}, {&u, 1, 1, 1}, {&v, 1, 1, 1}};
    ConvertYuvToXrgb(p, out, 8, 2, 2);
    EXPECT_EQ(out[0], 21);
    EXPECT_EQ(out[1], 54);
    EXPECT_EQ(out[2], 212);
    EXPECT_EQ(out[3], 255);
}

}  // namespace
}  // namespace velk::testing
