// Theora frames written into the display's YUV surfaces: the first layout
// the display makes of YV12, YUY2 and UYVY, each laid out with the locked
// pitch as its rules say; a lost surface made again; frames that are not
// 4:2:0 left out; and no surface without a display.

#include <gtest/gtest.h>

#include "lib/movie/movie_screen.h"
#include "lib/movie/theora_movie.h"
#include "platform/display/display_device.h"
#include "platform/display/display_mode.h"
#include "platform/display/display_surface.h"
#include "tests/lib/movie/movie_test_support.h"
#include "tests/lib/movie/theora_writer.h"

namespace velk::testing {
namespace {

class TheoraYuvSurfaceTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::ResetDisplayForTests();
        ASSERT_EQ(platform::DdDevice::Create(&device_), platform::kDdOk);
        MovieScreen screen;
        screen.direct_draw = [this] { return device_.get(); };
        SetMovieScreen(screen);
    }
    void TearDown() override {
        SetMovieScreen(MovieScreen{});
        device_.reset();
        platform::ResetDisplayForTests();
    }

    // The surface's bytes as its layout uses them: for YV12 width bytes of
    // each luma row, then the V rows and the U rows at half the pitch; for
    // the packed layouts two bytes a pixel of each row.
    static std::vector<uint8_t> UsedBytes(platform::DdSurface& surface, uint32_t four_cc, int width, int height) {
        platform::DdSurfaceDesc desc;
        if (surface.Lock(nullptr, &desc, platform::kDdLockReadOnly) != platform::kDdOk) return {};
        const uint8_t* p = static_cast<const uint8_t*>(desc.surface);
        std::vector<uint8_t> out;
        if (four_cc == platform::kFourCcYv12) {
            for (int r = 0; r < height; ++r)
                out.insert(out.end(), p + r * desc.pitch, p + r * desc.pitch + width);
            const uint8_t* chroma = p + desc.pitch * height;
            for (int r = 0; r < height; ++r)  // V rows then U rows
                out.insert(out.end(), chroma + r * (desc.pitch / 2), chroma + r * (desc.pitch / 2) + width / 2);
        } else {
            for (int r = 0; r < height; ++r)
                out.insert(out.end(), p + r * desc.pitch, p + r * desc.pitch + width * 2);
        }
        surface.Unlock(nullptr);
        return out;
    }

    // The same bytes built by hand from a decoded frame's planes.
    static std::vector<uint8_t> Expected(const ReferenceYuvFrame& f, uint32_t four_cc) {
        std::vector<uint8_t> out;
        const int cw = f.chroma_width;
        if (four_cc == platform::kFourCcYv12) {
            out = f.y;
            out.insert(out.end(), f.v.begin(), f.v.end());
            out.insert(out.end(), f.u.begin(), f.u.end());
            return out;
        }
        for (int r = 0; r < f.height; ++r) {
            for (int c = 0; c < f.width; c += 2) {
                const uint8_t y0 = f.y[r * f.width + c], y1 = f.y[r * f.width + c + 1];
                const uint8_t u = f.u[(r / 2) * cw + c / 2], v = f.v[(r / 2) * cw + c / 2];
                if (four_cc == platform::kFourCcYuy2) {
                    out.insert(out.end(), {y0, u, y1, v});
                } else {
                    out.insert(out.end(), {u, y0, v, y1});
                }
            }
        }
        return out;
    }

    std::unique_ptr<platform::DdDevice> device_;
};

class TheoraYuvLayoutTest : public TheoraYuvSurfaceTest, public ::testing::WithParamInterface<uint32_t> {};

TEST_P(TheoraYuvLayoutTest, TheShownFrameIsWrittenInTheFirstLayoutTheDisplayMakes) {
    // The display refuses the layouts tried before this one.
    for (const uint32_t earlier : {platform::kFourCcYv12, platform::kFourCcYuy2}) {
        if (earlier == GetParam()) break;
        platform::SetFourCcRefused(earlier, true);
    }
    TheoraMovieShape shape;
    shape.frames = 12;
    const std::vector<uint8_t> file = MakeTheoraMovie(shape);
    const std::vector<ReferenceYuvFrame> reference = ReferenceYuvFrames(file);
    ASSERT_EQ(reference.size(), 12u);
    MemoryTheora movie(file);
    ASSERT_NE(movie.get(), nullptr);
    ASSERT_EQ(GetTheoraYuvFourCc(movie.get()), GetParam());
    platform::DdSurface* surface = GetTheoraYuvSurface(movie.get());
    ASSERT_NE(surface, nullptr);
    EXPECT_EQ(surface->width(), 64u);
    EXPECT_EQ(surface->height(), 48u);
    // Open leaves frame 0 in the surface.
    EXPECT_EQ(UsedBytes(*surface, GetParam(), 64, 48), Expected(reference[0], GetParam()));
    SeekTheoraFrame(movie.get(), 7);
    EXPECT_EQ(ConvertTheoraFrame(movie.get(), 0, 1), 1);
    EXPECT_EQ(ConvertTheoraFrame(movie.get(), 0, 1), 0) << "already up to date";
    EXPECT_EQ(UsedBytes(*surface, GetParam(), 64, 48), Expected(reference[7], GetParam()));
    // The image was not asked for and is converted only now.
    EXPECT_EQ(ConvertTheoraFrame(movie.get(), 1, 0), 1);
    // What the surface holds reads back as the frame's picture.
    const std::vector<std::vector<uint8_t>> pictures = ReferenceFrames(file);
    std::fill_n(GetTheoraFrameImage(movie.get())->pixels, 64 * 4, 0);
    ASSERT_EQ(ReadTheoraYuvSurface(movie.get()), 0);
    EXPECT_EQ(Pixels(*GetTheoraFrameImage(movie.get())), pictures[7]);
}

INSTANTIATE_TEST_SUITE_P(Layouts, TheoraYuvLayoutTest,
                         ::testing::Values(platform::kFourCcYv12, platform::kFourCcYuy2, platform::kFourCcUyvy));

TEST_F(TheoraYuvSurfaceTest, ALostSurfaceIsMadeAgainAndWritten) {
    TheoraMovieShape shape;
    shape.frames = 12;
    const std::vector<uint8_t> file = MakeTheoraMovie(shape);
    const std::vector<ReferenceYuvFrame> reference = ReferenceYuvFrames(file);
    MemoryTheora movie(file);
    ASSERT_NE(GetTheoraYuvSurface(movie.get()), nullptr);
    GetTheoraYuvSurface(movie.get())->MarkLost();
    AdvanceTheoraFrame(movie.get(), 3);
    EXPECT_EQ(ConvertTheoraFrame(movie.get(), 0, 1), 1);
    platform::DdSurface* again = GetTheoraYuvSurface(movie.get());
    ASSERT_NE(again, nullptr);
    EXPECT_FALSE(again->is_lost());
    EXPECT_EQ(UsedBytes(*again, platform::kFourCcYv12, 64, 48), Expected(reference[3], platform::kFourCcYv12));
    // Lost again on a display that no longer makes YUV surfaces: the frame
    // image still converts.
    again->MarkLost();
    platform::SetOverlaysOffered(false);
    AdvanceTheoraFrame(movie.get(), 1);
    EXPECT_EQ(ConvertTheoraFrame(movie.get(), 0, 1), 0);
    EXPECT_EQ(GetTheoraYuvSurface(movie.get()), nullptr);
    EXPECT_EQ(ConvertTheoraFrame(movie.get(), 1, 1), 1);
    EXPECT_EQ(Pixels(*GetTheoraFrameImage(movie.get())), ReferenceFrames(file)[4]);
}

TEST_F(TheoraYuvSurfaceTest, AFrameThatIsNot420LeavesTheSurfaceUnwrittenButUpToDate) {
    TheoraMovieShape shape;
    shape.frames = 4;
    shape.chroma = 422;
    MemoryTheora movie(MakeTheoraMovie(shape));
    platform::DdSurface* surface = GetTheoraYuvSurface(movie.get());
    ASSERT_NE(surface, nullptr);
    const std::vector<uint8_t> untouched(64 * 48 + 2 * 48 * 32 / 2, 0);
    EXPECT_EQ(UsedBytes(*surface, platform::kFourCcYv12, 64, 48), untouched);
    AdvanceTheoraFrame(movie.get(), 2);
    EXPECT_EQ(ConvertTheoraFrame(movie.get(), 0, 1), 1);
    EXPECT_EQ(ConvertTheoraFrame(movie.get(), 0, 1), 0);
    EXPECT_EQ(UsedBytes(*surface, platform::kFourCcYv12, 64, 48), untouched);
}

TEST_F(TheoraYuvSurfaceTest, WithoutADisplayThereIsNoSurfaceAndNothingToWrite) {
    SetMovieScreen(MovieScreen{});
    TheoraMovieShape shape;
    shape.frames = 4;
    MemoryTheora movie(MakeTheoraMovie(shape));
    EXPECT_EQ(GetTheoraYuvSurface(movie.get()), nullptr);
    EXPECT_EQ(GetTheoraYuvFourCc(movie.get()), 0u);
    AdvanceTheoraFrame(movie.get(), 1);
    EXPECT_EQ(ConvertTheoraFrame(movie.get(), 0, 1), 0);
    EXPECT_EQ(ReadTheoraYuvSurface(movie.get()), -1);
}

}  // namespace
}  // namespace velk::testing
