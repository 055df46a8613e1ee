// Texture graphs drawn through the Direct3D path on OpenGL (Mesa's software
// rasterizer, headless through EGL) against the same calls drawn through the
// 2D path in the same run.
//
// Allowed per pixel, per 8-bit channel: 2 at 32 bits and 8 at 16 bits, as
// the golden scene allows (sampling and blending in floating point round a
// step apart from the software renderer's integer tables; at 16 bits one
// step of a 5-bit channel). Where the two paths differ by design:
// - Blend graphs: the hardware turns the mask into a weight with a slope of
//   4, 2 or 1 (ranges up to 64, up to 128, above) where the 2D path's table
//   uses 256 / (range + 1); the two meet at ranges 64, 128 and 255 within 6
//   levels of weight, so only those ranges are compared (allowed 6 more).
//   Ranges 0 and 1 are an alpha test on the hardware and a steep ramp in the
//   table: the columns beside the cut (mask within one of the border) are
//   left out. At 16 bits a transition mixes 5- and 6-bit channels on the 2D
//   path and quantises once on the hardware: two 5-bit steps, plus the 6.
// - The hardware lays the blend graph over the draw target from its top-left
//   corner, the 2D path reads it at the graph's own texel: blend-graph draws
//   are made at x 0 over a mask that does not change down its columns.
// - Scaled, rotated and four-corner draws: the hardware samples the texel
//   under each pixel's centre where the 2D path steps its own fixed-point
//   positions, so a pixel may show a neighbouring texel: there a pixel passes
//   when it matches the 2D path at its place or one pixel around, within two
//   texel steps of the pictures' steepest gradient (5) more. Four-corner
//   draws are parallelograms: a quad that is not is two affine triangles on
//   the 2D path and a bilinear grid on the hardware.
// - Sources with alpha or under a blend mode: the 2D path's weight is the
//   alpha times the parameter truncated once more (4 at 32 bits); at 16 bits
//   it mixes the 5- and 6-bit channels of both sides where the hardware
//   mixes 8-bit texels and quantises once (within four 5-bit steps, as the
//   golden scene allows its inverted box).

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <span>

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

// An opaque picture: a gradient with a darker frame.
void WritePicture(const std::string& path, int width, int height) {
    std::vector<uint8_t> rgba(static_cast<size_t>(width) * height * 4);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            uint8_t* p = &rgba[(static_cast<size_t>(y) * width + x) * 4];
            const bool frame = x < 2 || y < 2 || x >= width - 2 || y >= height - 2;
            p[0] = static_cast<uint8_t>(frame ? 40 : 60 + x * 180 / width);
            p[1] = static_cast<uint8_t>(frame ? 30 : 40 + y * 200 / height);
            p[2] = static_cast<uint8_t>(frame ? 90 : 200 - (x + y) % 64);
            p[3] = 255;
        }
    }
    WritePngRgba(path, width, height, rgba, false);
}

// A round sprite whose alpha falls off towards its rim.
void WriteSprite(const std::string& path) {
    constexpr int kSide = 32;
    std::vector<uint8_t> rgba(kSide * kSide * 4);
    for (int y = 0; y < kSide; ++y) {
        for (int x = 0; x < kSide; ++x) {
            uint8_t* p = &rgba[(y * kSide + x) * 4];
            const int dx = 2 * x - kSide + 1, dy = 2 * y - kSide + 1;
            const int d = dx * dx + dy * dy;  // up to about 2 * 31^2
            p[0] = static_cast<uint8_t>(230 - y * 3);
            p[1] = static_cast<uint8_t>(90 + x * 4);
            p[2] = 60;
            p[3] = static_cast<uint8_t>(d >= 900 ? 0 : 255 - d * 255 / 900);
        }
    }
    WritePngRgba(path, kSide, kSide, rgba, true);
}

// A picture with the transparent colour (254, 0, 254) in its corners and a
// cross through it.
void WriteKeyed(const std::string& path) {
    constexpr int kSide = 24;
    std::vector<uint8_t> rgba(kSide * kSide * 4);
    for (int y = 0; y < kSide; ++y) {
        for (int x = 0; x < kSide; ++x) {
            uint8_t* p = &rgba[(y * kSide + x) * 4];
            const bool key = (x < 6 || x >= 18) && (y < 6 || y >= 18);
            p[0] = static_cast<uint8_t>(key ? 254 : 250 - x * 5);
            p[1] = static_cast<uint8_t>(key ? 0 : 200 - y * 4);
            p[2] = static_cast<uint8_t>(key ? 254 : 30 + x * 3);
            p[3] = 255;
        }
    }
    WritePngRgba(path, kSide, kSide, rgba, false);
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
        // A folder to keep the pictures in, for a look when a comparison fails.
        if (const char* keep = std::getenv("VELK_KEEP_TEXTURE_SCENE")) {
            const std::string test = ::testing::UnitTest::GetInstance()->current_test_info()->name();
            const std::string name = test.substr(0, test.find('/')) + "_" + std::to_string(bits) + "_" +
                                     (mode == RenderMode::kDirect3D ? "hardware.png" : "two_d.png");
            std::filesystem::copy_file(saved, std::filesystem::path(keep) / name,
                                       std::filesystem::copy_options::overwrite_existing);
        }
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

// Plain, alpha and keyed texture graphs, drawn whole, scaled (up, down,
// mirrored), rotated, through four corners, cut into several textures,
// blended, tinted and clipped.
TEST_P(Direct3DTextureSceneTest, TextureGraphsDrawAsOnTheTwoDPath) {
    const bool drawn = DrawBoth([&] {
        WritePicture(Path("picture.png"), 64, 48);
        WritePicture(Path("wide.png"), 700, 40);
        WriteSprite(Path("sprite.png"));
        WriteKeyed(Path("keyed.png"));
        SetTransparentColor(254, 0, 254);
        const int picture = LoadGraphFromFile(Path("picture.png").c_str(), 1, 0, 0);
        const int wide = LoadGraphFromFile(Path("wide.png").c_str(), 1, 0, 0);
        const int sprite = LoadGraphFromFile(Path("sprite.png").c_str(), 1, 0, 0);
        const int keyed = LoadGraphFromFile(Path("keyed.png").c_str(), 1, 0, 0);
        ASSERT_NE(picture, -1);
        ASSERT_NE(wide, -1);
        ASSERT_NE(sprite, -1);
        ASSERT_NE(keyed, -1);
        SetBackgroundColor(24, 40, 72);
        ASSERT_EQ(ClearDrawScreen(), 0);
        for (int i = 0; i < 6; ++i)
            DrawBox(0, 300 + i * 30, 640, 330 + i * 30, GetColorValue(i * 40, 220 - i * 30, 90 + i * 25), 1);

        EXPECT_EQ(DrawGraph(10, 10, picture, 0), 0);
        EXPECT_EQ(DrawGraph(80, 10, sprite, 1), 0);
        EXPECT_EQ(DrawGraph(120, 10, keyed, 1), 0);
        EXPECT_EQ(DrawGraph(150, 10, keyed, 0), 0);
        EXPECT_EQ(DrawGraphScaled(180, 10, 276, 82, picture, 0), 0);
        EXPECT_EQ(DrawGraphScaled(290, 10, 322, 34, picture, 0), 0);
        EXPECT_EQ(DrawGraphScaled(400, 10, 336, 58, picture, 0), 0);  // mirrored
        EXPECT_EQ(DrawGraphScaled(410, 10, 458, 58, keyed, 1), 0);
        EXPECT_EQ(DrawGraphRotated(520, 50, 1.0, 0.5, picture, 0, 0), 0);
        EXPECT_EQ(DrawGraphRotated(600, 50, 1.5, -0.8, sprite, 1, 0), 0);
        EXPECT_EQ(DrawGraphRotated(470, 140, 2.0, 1.2, keyed, 1, 1), 0);
        // Top-left, top-right, bottom-left, bottom-right; parallelograms.
        EXPECT_EQ(DrawModiGraphF(20.0f, 100.0f, 120.0f, 115.0f, 10.0f, 160.0f, 110.0f, 175.0f, picture, 0), 0);
        EXPECT_EQ(DrawModiGraphF(140.0f, 100.0f, 200.0f, 100.0f, 160.0f, 160.0f, 220.0f, 160.0f, sprite, 1), 0);
        EXPECT_EQ(DrawGraph(-30, 190, wide, 0), 0);
        EXPECT_EQ(DrawGraph(-200, 240, wide, 0), 0);

        const int modes[] = {1, 2};
        for (int i = 0; i < 2; ++i) {
            SetDrawBlendMode(modes[i], 150);
            DrawGraph(20 + i * 100, 310, picture, 0);
            DrawGraph(60 + i * 100, 330, sprite, 1);
            DrawGraph(90 + i * 100, 330, keyed, 1);
        }
        SetDrawBlendMode(0, 255);
        SetDrawBrightness(255, 140, 60);
        DrawGraph(300, 310, sprite, 1);
        DrawGraphScaled(340, 300, 420, 360, picture, 0);
        SetDrawBrightness(255, 255, 255);
        SetDrawArea(500, 300, 560, 360);
        DrawGraphScaled(480, 290, 580, 370, picture, 0);
        DrawGraphRotated(560, 360, 1.0, 0.3, sprite, 1, 0);
        SetDrawArea(0, 0, 640, 480);
    });
    if (!drawn) return;
    // Where a scaled, rotated or four-corner draw lands (with a pixel to
    // spare): there a pixel may show its neighbour's texel.
    const Rect transformed[] = {{179, 9, 277, 83}, {289, 9, 323, 35},   {335, 9, 459, 59},    {430, 0, 640, 200},
                                {8, 98, 122, 177}, {138, 98, 222, 162}, {339, 299, 421, 361}, {499, 299, 561, 361}};
    auto in = [](int x, int y, std::span<const Rect> boxes) {
        for (const Rect& box : boxes)
            if (x >= box.left && x < box.right && y >= box.top && y < box.bottom) return true;
        return false;
    };
    auto near = [&](int x, int y) { return in(x, y, transformed); };
    // Where sources with alpha or a blend mode mix with what is below.
    const Rect mixed[] = {{79, 9, 113, 43},   {138, 98, 222, 162},  {570, 20, 630, 80},
                          {0, 300, 260, 370}, {299, 309, 333, 343}, {540, 340, 562, 362}};
    int beyond = 0, first = -1, worst = 0;
    for (int y = 0; y < 480; ++y) {
        for (int x = 0; x < 640; ++x) {
            const int limit = in(x, y, mixed) ? (GetParam() == 16 ? 32 : 4) : near(x, y) ? Allowed() + 10 : Allowed();
            int difference = ChannelDifference(Hardware(x, y), TwoD(x, y));
            if (difference > limit && near(x, y)) {
                for (int dy = -1; dy <= 1; ++dy)
                    for (int dx = -1; dx <= 1; ++dx)
                        if (x + dx >= 0 && x + dx < 640 && y + dy >= 0 && y + dy < 480)
                            difference = std::min(difference, ChannelDifference(Hardware(x, y), TwoD(x + dx, y + dy)));
            }
            if (difference > limit && beyond++ == 0) first = y * 640 + x;
            worst = std::max(worst, difference - limit);
        }
    }
    EXPECT_EQ(beyond, 0) << "first at (" << first % 640 << ", " << first / 640 << "), worst by " << worst;
    if (const char* keep = std::getenv("VELK_KEEP_TEXTURE_SCENE")) {
        std::vector<uint8_t> rgba(640 * 480 * 4, 255);
        for (int i = 0; i < 640 * 480; ++i)
            for (int c = 0; c < 3; ++c)
                rgba[i * 4 + c] =
                    ChannelDifference(hardware[i], two_d[i]) > Allowed() ? (near(i % 640, i / 640) ? 128 : 255) : 0;
        WritePngRgba((std::filesystem::path(keep) / ("difference_" + std::to_string(GetParam()) + ".png")).string(),
                     640, 480, rgba, false);
    }
}

// The ramp laid over graphs at several borders and ranges; the ranges are
// those the hardware's weight slopes meet (see the top of the file).
TEST_P(Direct3DTextureSceneTest, BlendGraphsAtSeveralBordersAndRanges) {
    const int borders[] = {0, 1, 64, 128, 200, 254};
    const int ranges[] = {0, 1, 64, 128, 255};
    const bool drawn = DrawBoth([&] {
        // The mask is as tall as the screen: it is laid over the draw target
        // from its top-left corner.
        std::vector<uint8_t> grey(256 * 480);
        for (size_t i = 0; i < grey.size(); ++i)
            grey[i] = static_cast<uint8_t>(i % 256);
        WritePngGrey(Path("ramp.png"), 256, 480, grey);
        WriteFlat(Path("plate.png"), 256, 6, 200, 120, 40);
        WriteKeyed(Path("keyed.png"));
        SetTransparentColor(254, 0, 254);
        const int ramp = LoadGraphAsOneTexture(Path("ramp.png").c_str());
        const int plate = LoadGraphFromFile(Path("plate.png").c_str(), 1, 0, 0);
        const int keyed = LoadGraphFromFile(Path("keyed.png").c_str(), 1, 0, 0);
        ASSERT_NE(ramp, -1);
        ASSERT_NE(plate, -1);
        ASSERT_NE(keyed, -1);
        SetBackgroundColor(30, 60, 110);
        ASSERT_EQ(ClearDrawScreen(), 0);
        int y = 2;
        for (const int range : ranges) {
            for (const int border : borders) {
                EXPECT_EQ(DrawBlendGraph(0, y, plate, 0, ramp, border, range), 0);
                y += 8;
            }
        }
        // As the game draws its transitions: blend mode 1 at full strength,
        // with transparency.
        SetDrawBlendMode(1, 255);
        for (int i = 0; i < 8; ++i)
            DrawBlendGraph(0, 250 + i * 28, keyed, 1, ramp, 40 + i * 25, 64);
        SetDrawBlendMode(0, 255);
    });
    if (!drawn) return;
    int beyond = 0, first = -1;
    for (int y = 0; y < 480; ++y) {
        for (int x = 0; x < 256; ++x) {
            const int strip = (y - 2) / 8;
            if (y >= 2 && strip < 30) {
                const int range = ranges[strip / 6], border = borders[strip % 6];
                // Ranges 0 and 1: the columns beside the cut.
                if (range <= 1 && std::abs(x - border) <= 1) continue;
            }
            if (ChannelDifference(Hardware(x, y), TwoD(x, y)) > Allowed() + 6 && beyond++ == 0) first = y * 640 + x;
        }
    }
    EXPECT_EQ(beyond, 0) << "first at (" << first % 640 << ", " << first / 640 << ")";
    // At range 64 a border of 254 leaves the darkest columns out, a border
    // of 0 takes them.
    EXPECT_LE(ChannelDifference(Hardware(10, 2 + (2 * 6 + 5) * 8 + 3), 0x1E3C6E), Allowed());
    EXPECT_LE(ChannelDifference(Hardware(10, 2 + (2 * 6 + 0) * 8 + 3), 0xC87828), Allowed());
}

// A transition as the game runs it: the old screen captured into a graph,
// the new one drawn, and the old one laid over it through a diagonal mask
// at several frames.
TEST_P(Direct3DTextureSceneTest, ATransitionAsTheGameRunsIt) {
    const int frames[] = {27, 20, 12, 4};
    std::vector<std::vector<uint32_t>> shots[2];
    for (const RenderMode mode : {RenderMode::kDirectDraw, RenderMode::kDirect3D}) {
        if (mode == RenderMode::kDirectDraw)
            platform::SetDirect3DBackendFactory([] { return std::shared_ptr<platform::D3dBackend>(); });
        else
            Stop();
        StartGraphics(mode, GetParam(), GetParam() == 16 ? 0 : 1);
        ASSERT_FALSE(HasFatalFailure());
        std::vector<uint8_t> grey(640 * 480);
        for (int i = 0; i < 640 * 480; ++i)
            grey[i] = static_cast<uint8_t>((i % 640 + i / 640) * 255 / 1119);
        WritePngGrey(Path("diagonal.png"), 640, 480, grey);
        WritePicture(Path("old.png"), 200, 150);
        const int mask = LoadGraphAsOneTexture(Path("diagonal.png").c_str());
        const int old_picture = LoadGraphFromFile(Path("old.png").c_str(), 1, 0, 0);
        const int start_screen = CreateEmptyGraph(640, 480, 0);
        ASSERT_NE(mask, -1);
        ASSERT_NE(old_picture, -1);
        ASSERT_NE(start_screen, -1);
        SetBackgroundColor(120, 30, 40);
        ClearDrawScreen();
        DrawGraphScaled(100, 80, 500, 380, old_picture, 0);
        ASSERT_EQ(GetDrawScreenGraph(0, 0, 640, 480, start_screen, 0), 0);
        for (const int left : frames) {
            SetBackgroundColor(20, 90, 60);
            ClearDrawScreen();
            DrawBox(300, 200, 600, 450, GetColorValue(230, 220, 90), 1);
            const int part = 255 * left / 30;
            SetDrawBrightness(255, 255, 255);
            SetDrawBlendMode(1, 255);
            EXPECT_EQ(DrawBlendGraph(0, 0, start_screen, 1, mask, 255 - part, 64), 0);
            SetDrawBlendMode(0, 255);
            const std::string saved = Path("frame.png");
            EXPECT_EQ(SaveDrawScreenToFile(0, 0, 640, 480, saved.c_str(), 2, 0, 0, -1), 0);
            int width = 0, height = 0;
            shots[mode == RenderMode::kDirect3D ? 1 : 0].push_back(ReadImagePixels(saved, &width, &height));
        }
    }
    for (size_t f = 0; f < std::size(frames); ++f) {
        SCOPED_TRACE(frames[f]);
        int beyond = 0, first = -1;
        for (int i = 0; i < 640 * 480; ++i)
            if (ChannelDifference(shots[1][f][i], shots[0][f][i]) > (GetParam() == 16 ? 16 : Allowed()) + 6 &&
                beyond++ == 0)
                first = i;
        EXPECT_EQ(beyond, 0) << "first at (" << first % 640 << ", " << first / 640 << ") " << std::hex
                             << shots[1][f][std::max(first, 0)] << " " << shots[0][f][std::max(first, 0)];
    }
    // Early on the old screen still covers the lightest part of the mask;
    // late it is gone from all but that.
    EXPECT_LE(ChannelDifference(shots[1][0][470 * 640 + 630], 0x781E28), Allowed());
    EXPECT_LE(ChannelDifference(shots[1][3][5 * 640 + 5], 0x145A3C), Allowed());
    EXPECT_LE(ChannelDifference(shots[1][3][210 * 640 + 310], 0xE6DC5A), Allowed());
}

INSTANTIATE_TEST_SUITE_P(Depths, Direct3DTextureSceneTest, ::testing::Values(32, 16));

}  // namespace
}  // namespace velk::testing
