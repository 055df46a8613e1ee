// Texture graphs drawn through the Direct3D path on OpenGL (Mesa's software
// rasterizer, headless through EGL) against the same calls drawn through the
// 2D path in the same run.
//
// Allowed per pixel, per 8-bit channel: 2 at 32 bits and 8 at 16 bits, as
// the golden scene allows (sampling and blending in floating point round a
// step apart from the software renderer's integer tables; at 16 bits one
// step of a 5-bit channel). Where the two paths differ by design:
// - Blend graphs: the hardware turns the mask into a weight with a slope of
//   4, 2 or 1 (ranges up to 64, up to 128, above) where the software table
//   uses 256 / (range + 1); the two meet at ranges 64, 128 and 255 within 6
//   levels of weight, so only those ranges are compared (allowed 6 more).
//   Ranges 0 and 1 are an alpha test on the hardware, a steep ramp in the
//   table: the columns next to the cut (mask within one of the border) are
//   left out.
// - Rotated and four-corner draws: the two rasterizers take different
//   pixels along slanted edges; a one-pixel band around each drawn shape's
//   edges is left out (pixels whose 3 x 3 neighbourhood holds background on
//   either path).

#include <cstdlib>
#include <functional>

#include <png.h>

#include "lib/graphics/draw_path.h"
#include "tests/lib/graphics/system/graphics_fixture.h"

namespace velk::testing {
namespace {

int ChannelDifference(uint32_t a, uint32_t b) {
    int worst = 0;
    for (int shift = 0; shift < 24; shift += 8)
        worst =
            std::max(worst, std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF)));
    return worst;
}

// An 8-bit grey PNG (one channel, as transition images are usually kept).
void WritePngGrey(const std::string& path, int width, int height, const std::vector<uint8_t>& grey) {
    FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_init_io(png, file);
    png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < height; ++y)
        png_write_row(png, grey.data() + static_cast<size_t>(y) * width);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    std::fclose(file);
}

// A left-to-right ramp: column x holds grey x (256 columns).
void WriteRamp(const std::string& path, bool one_channel) {
    constexpr int kWidth = 256, kHeight = 8;
    if (one_channel) {
        std::vector<uint8_t> grey(kWidth * kHeight);
        for (int i = 0; i < kWidth * kHeight; ++i)
            grey[i] = static_cast<uint8_t>(i % kWidth);
        WritePngGrey(path, kWidth, kHeight, grey);
        return;
    }
    std::vector<uint8_t> rgba(kWidth * kHeight * 4);
    for (int i = 0; i < kWidth * kHeight; ++i)
        for (int c = 0; c < 3; ++c)
            rgba[i * 4 + c] = static_cast<uint8_t>(i % kWidth);
    WritePngRgba(path, kWidth, kHeight, rgba, false);
}

void WriteFlat(const std::string& path, int width, int height, uint8_t r, uint8_t g, uint8_t b) {
    std::vector<uint8_t> rgba(static_cast<size_t>(width) * height * 4);
    for (size_t i = 0; i < rgba.size(); i += 4) {
        rgba[i] = r;
        rgba[i + 1] = g;
        rgba[i + 2] = b;
        rgba[i + 3] = 255;
    }
    WritePngRgba(path, width, height, rgba, false);
}

class Direct3DTextureSceneTest : public GraphicsTest, public ::testing::WithParamInterface<int> {
protected:
    void SetUp() override {
        if (!platform::SharedGlBackend())
            GTEST_SKIP() << "no OpenGL context can be made here: " << platform::GlBackendProblem();
    }

    // The scene drawn once through the 2D path and once through Direct3D.
    bool DrawBoth(const std::function<void()>& scene) {
        const int bits = GetParam();
        platform::SetDirect3DBackendFactory([] { return std::shared_ptr<platform::D3dBackend>(); });
        two_d = Run(RenderMode::kDirectDraw, bits, scene);
        Stop();
        hardware = Run(RenderMode::kDirect3D, bits, scene);
        return !HasFatalFailure();
    }

    std::vector<uint32_t> Run(RenderMode mode, int bits, const std::function<void()>& scene) {
        StartGraphics(mode, bits, bits == 16 ? 0 : 1);
        if (HasFatalFailure()) return {};
        EXPECT_EQ(Host().Direct3DReady(), mode == RenderMode::kDirect3D);
        scene();
        const std::string saved = Path(mode == RenderMode::kDirect3D ? "hardware.png" : "two_d.png");
        EXPECT_EQ(SaveDrawScreenToFile(0, 0, 640, 480, saved.c_str(), 2, 0, 0, -1), 0);
        int width = 0, height = 0;
        return ReadImagePixels(saved, &width, &height);
    }

    void Stop() {
        TermGraphicsSystem();
        EndMainWindow();
        ResetWindowState();
        RegisterMessageProcessingBody();
        ResetScreenState();
        platform::ResetDisplayForTests();
    }

    int Allowed() const { return GetParam() == 32 ? 2 : 8; }
    uint32_t Hardware(int x, int y) const { return hardware[static_cast<size_t>(y) * 640 + x]; }
    uint32_t TwoD(int x, int y) const { return two_d[static_cast<size_t>(y) * 640 + x]; }

    std::vector<uint32_t> two_d, hardware;
};

// The game's transition: the old screen drawn through a grey mask loaded as
// one texture, at border 128 and range 64. Where the mask is dark the old
// screen is gone, where it is light it stays.
TEST_P(Direct3DTextureSceneTest, ABlendGraphTakesItsMaskFromTheGreyLevels) {
    for (const bool one_channel : {false, true}) {
        SCOPED_TRACE(one_channel ? "grey image" : "RGB image");
        const bool drawn = DrawBoth([&] {
            WriteRamp(Path("ramp.png"), one_channel);
            WriteFlat(Path("white.png"), 256, 8, 255, 255, 255);
            const int ramp = LoadGraphAsOneTexture(Path("ramp.png").c_str());
            const int white = LoadGraphFromFile(Path("white.png").c_str(), 1, 0, 0);
            ASSERT_NE(ramp, -1);
            ASSERT_NE(white, -1);
            SetBackgroundColor(0, 0, 0);
            ClearDrawScreen();
            ASSERT_EQ(DrawBlendGraph(0, 0, white, 0, ramp, 128, 64), 0);
        });
        if (!drawn) return;
        // The weight is (mask x 256 / 65) - 376: none up to mask 95, full
        // from mask 161.
        for (const int x : {0, 40, 95}) {
            EXPECT_EQ(TwoD(x, 4) & 0xFFFFFF, 0u) << x;
            EXPECT_LE(ChannelDifference(Hardware(x, 4), 0), Allowed()) << x;
        }
        for (const int x : {161, 200, 255}) {
            // (At 16 bits the 2D path's full weight leaves a 5-bit channel one step short.)
            EXPECT_GE(TwoD(x, 4) & 0xFF, 255u - 2 * Allowed()) << x;
            EXPECT_LE(ChannelDifference(Hardware(x, 4), 0xFFFFFF), Allowed()) << x;
        }
        for (int x = 0; x < 256; ++x)
            EXPECT_LE(ChannelDifference(Hardware(x, 4), TwoD(x, 4)), Allowed() + 6) << "column " << x;
        Stop();
    }
}

INSTANTIATE_TEST_SUITE_P(Depths, Direct3DTextureSceneTest, ::testing::Values(32, 16));

}  // namespace
}  // namespace velk::testing
