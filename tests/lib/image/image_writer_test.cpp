// Saved files read back through the loaders: BMP and PNG exact, JPEG within
// its quality.

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <random>

#include "lib/image/image_loader.h"
#include "lib/image/image_writer.h"
#include "tests/lib/image/image_test_support.h"

namespace velk {
namespace {

GraphImage RandomImage(void (*format)(ColorData*), int width, int height, uint32_t seed) {
    GraphImage image;
    format(&image.color_data);
    EXPECT_EQ(AllocateGraphImagePixels(&image, width, height), 0);
    std::mt19937 random(seed);
    for (int i = 0; i < image.pitch * height; ++i) image.pixels[i] = static_cast<uint8_t>(random());
    return image;
}

void ExpectSamePixels(const GraphImage& a, const GraphImage& b) {
    ASSERT_EQ(a.width, b.width);
    ASSERT_EQ(a.height, b.height);
    for (int y = 0; y < a.height; ++y) {
        for (int x = 0; x < a.width; ++x) {
            int ra, ga, ba, rb, gb, bb;
            GetGraphImagePixel(&a, x, y, &ra, &ga, &ba, nullptr);
            GetGraphImagePixel(&b, x, y, &rb, &gb, &bb, nullptr);
            ASSERT_EQ(ra, rb) << x << "," << y;
            ASSERT_EQ(ga, gb) << x << "," << y;
            ASSERT_EQ(ba, bb) << x << "," << y;
        }
    }
}

// The writers take game paths: relative to the game's folder (here the test's
// working folder), which they never leave.
class ImageWriter : public ::testing::Test {
protected:
    void TearDown() override {
        for (const char* name : {"shot.bmp", "shot.png", "shot.jpg"}) std::filesystem::remove(name);
    }
};

TEST_F(ImageWriter, BmpRoundTripsExactly) {
    const std::string path = "shot.bmp";
    // A longer old file is replaced, not overwritten in place.
    testing::WriteBytes(path, std::vector<uint8_t>(5000, 0x55));
    for (auto format : {CreateXRGB32ColorData, CreateARGB32ColorData, CreateRGB24ColorData, CreatePaletteColorData}) {
        GraphImage image = RandomImage(format, 5, 3, 7);
        for (int i = 0; i < 256; ++i) {
            image.color_data.palette[i] = PaletteEntry{uint8_t(i), uint8_t(255 - i), uint8_t(i * 7), 0};
        }
        ASSERT_EQ(SaveGraphImageToBmp(path.c_str(), &image), 0);
        GraphImage back;
        ASSERT_EQ(OpenGraphImage(path.c_str(), &back), 0);
        ExpectSamePixels(image, back);
        if (IsPaletteColorData(&image.color_data)) {
            // An 8-bit image of width 5 has rows of 8 bytes.
            EXPECT_EQ(testing::ReadBytes(path).size(), 54u + 1024u + 8u * 3u);
        }
        ReleaseGraphImage(&image);
        ReleaseGraphImage(&back);
    }
}

TEST_F(ImageWriter, BmpSixteenBitChannelsKeepTheirTopBits) {
    GraphImage image;
    CreateColorDataFromMasks(&image.color_data, 16, 0xF800, 0x7E0, 0x1F, 0);
    ASSERT_EQ(AllocateGraphImagePixels(&image, 1, 1), 0);
    WritePixelValue(image.pixels, 0, 2, 0xFFFF);
    std::vector<uint8_t> bytes;
    ASSERT_EQ(EncodeGraphImageToBmp(&image, &bytes), 0);
    ASSERT_EQ(bytes.size(), 54u + 4u);
    EXPECT_EQ(bytes[54], 0xF8);
    EXPECT_EQ(bytes[55], 0xFC);
    EXPECT_EQ(bytes[56], 0xF8);
    ReleaseGraphImage(&image);
}

TEST_F(ImageWriter, PngRoundTripsExactlyAtEveryLevel) {
    const std::string path = "shot.png";
    GraphImage image = RandomImage(CreateARGB32ColorData, 37, 11, 3);
    for (int level : {-1, 0, 1, 6, 9}) {
        ASSERT_EQ(SaveGraphImageToPng(path.c_str(), &image, level), 0);
        GraphImage back;
        ASSERT_EQ(OpenGraphImage(path.c_str(), &back), 0);
        // 8-bit RGB: the alpha is not written.
        EXPECT_EQ(back.color_data.pixel_byte, 3);
        ExpectSamePixels(image, back);
        ReleaseGraphImage(&back);
    }
    ReleaseGraphImage(&image);
}

TEST_F(ImageWriter, JpegStaysWithinItsQuality) {
    const std::string path = "shot.jpg";
    // Smooth gradients: JPEG's halved chroma resolution makes sharp colour
    // patterns lossy at any quality.
    GraphImage image;
    ASSERT_EQ(CreateXRGB32GraphImage(64, 48, &image), 0);
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x)
            WritePixelValue(image.pixels + y * image.pitch, x, 4, ((x * 4) << 16) | ((y * 5) << 8) | ((x + y) * 2));
    double previous_error = 1e9;
    for (int quality : {30, 70, 95}) {
        ASSERT_EQ(SaveGraphImageToJpeg(path.c_str(), &image, quality), 0);
        GraphImage back;
        ASSERT_EQ(OpenGraphImage(path.c_str(), &back), 0);
        double squared = 0;
        for (int y = 0; y < 48; ++y)
            for (int x = 0; x < 64; ++x) {
                int r, g, b;
                GetGraphImagePixel(&back, x, y, &r, &g, &b, nullptr);
                const int dr = r - x * 4, dg = g - y * 5, db = b - (x + y) * 2;
                squared += dr * dr + dg * dg + db * db;
            }
        const double mse = squared / (64 * 48 * 3);
        const double psnr = 10 * std::log10(255.0 * 255.0 / mse);
        EXPECT_GT(psnr, quality >= 90 ? 35.0 : 25.0) << quality;
        EXPECT_LT(mse, previous_error) << quality;
        previous_error = mse;
        ReleaseGraphImage(&back);
    }
    ReleaseGraphImage(&image);
}

TEST_F(ImageWriter, FailuresReturnMinusOne) {
    GraphImage empty;
    EXPECT_EQ(SaveGraphImageToPng("x.png", &empty, 6), -1);
    EXPECT_EQ(SaveGraphImageToJpeg("x.jpg", &empty, 90), -1);
    EXPECT_EQ(SaveGraphImageToBmp("x.bmp", &empty), -1);
    GraphImage image = RandomImage(CreateXRGB32ColorData, 2, 2, 1);
    EXPECT_EQ(SaveGraphImageToPng("no_such_folder/x.png", &image, 6), -1);
    EXPECT_EQ(SaveGraphImageToBmp("no_such_folder/x.bmp", &image), -1);
    // Paths that leave the game's folder are refused.
    EXPECT_EQ(SaveGraphImageToPng("../x.png", &image, 6), -1);
    EXPECT_EQ(SaveGraphImageToJpeg("/tmp/x.jpg", &image, 90), -1);
    ReleaseGraphImage(&image);
}

}  // namespace
}  // namespace velk
