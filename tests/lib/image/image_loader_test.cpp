// Each decoder against ImageMagick's decode of the same file, made here at
// test time; damaged files are refused without harm.

#include <gtest/gtest.h>

#include <array>
#include <cstring>

#include "lib/image/image_decoders.h"
#include "lib/image/image_loader.h"
#include "tests/lib/image/image_test_support.h"
#include "tests/support/scratch_dir.h"

namespace velk {
namespace {

using testing::CompareImage;
using testing::DecodeWithImageMagick;
using testing::ReadBytes;
using testing::RunConvert;

struct Variant {
    const char* name;
    const char* file;        // written by ImageMagick from source.png (or source_alpha.png)
    const char* arguments;   // between the source and the output
    bool alpha_source;
    int tolerance;
    bool compare_alpha;
    int expect_bytes_per_pixel;  // 0: any
};

void PrintTo(const Variant& v, std::ostream* out) { *out << v.name; }

class ImageMagickFiles : public ::testing::TestWithParam<Variant> {
protected:
    void SetUp() override {
        if (testing::ImageMagickConvert().empty()) {
            GTEST_SKIP() << "ImageMagick is not installed (scripts/install-deps)";
        }
        // Odd sizes so partial DXT blocks, row padding and odd RLE runs all occur.
        ASSERT_TRUE(RunConvert("-size 13x7 gradient:red-blue -fill '#0f08' -draw 'rectangle 2,2 8,5' -alpha off '" +
                               (dir.path() / "source.png").string() + "'"));
        ASSERT_TRUE(RunConvert("-size 13x7 gradient:'#ff000040'-'#00ffffd0' -fill '#0f08' -draw 'rectangle 2,2 8,5' '" +
                               (dir.path() / "source_alpha.png").string() + "'"));
    }
    testing::ScratchDir dir;
};

TEST_P(ImageMagickFiles, DecodesLikeImageMagick) {
    const Variant& v = GetParam();
    const auto source = dir.path() / (v.alpha_source ? "source_alpha.png" : "source.png");
    const auto file = dir.path() / v.file;
    // A format prefix ("BMP3:") sticks to the output name.
    const std::string arguments = v.arguments;
    const std::string separator = !arguments.empty() && arguments.back() == ':' ? "" : " ";
    ASSERT_TRUE(RunConvert("'" + source.string() + "' " + arguments + separator + "'" + file.string() + "'"))
        << v.name;
    const testing::RgbaImage reference = DecodeWithImageMagick(file);
    ASSERT_GT(reference.width, 0) << v.name;

    GraphImage image;
    ASSERT_EQ(OpenGraphImage(file.c_str(), &image), 0) << v.name;
    if (v.expect_bytes_per_pixel != 0) {
        EXPECT_EQ(image.color_data.pixel_byte, v.expect_bytes_per_pixel) << v.name;
    }
    EXPECT_EQ(CompareImage(image, reference, v.tolerance, v.compare_alpha), "") << v.name;
    ReleaseGraphImage(&image);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, ImageMagickFiles,
    ::testing::Values(
        Variant{"bmp_1bit", "b1.bmp", "-colors 2 -type Bilevel BMP3:", false, 0, false, 3},
        Variant{"bmp_4bit", "u4.bmp", "-colors 16 -compress none BMP3:", false, 0, false, 1},
        Variant{"bmp_8bit", "u8.bmp", "-type Palette -compress none BMP3:", false, 0, false, 1},
        Variant{"bmp_rle8", "r8.bmp", "-type Palette -compress RLE BMP3:", false, 0, false, 1},
        Variant{"bmp_os2_8bit", "o8.bmp", "-type Palette -compress none BMP2:", false, 0, false, 1},
        Variant{"bmp_565", "b565.bmp", "-define bmp:subtype=RGB565", false, 0, false, 3},
        Variant{"bmp_555", "b555.bmp", "-define bmp:subtype=RGB555", false, 0, false, 3},
        Variant{"bmp_24bit", "b24.bmp", "-type TrueColor BMP3:", false, 0, false, 3},
        Variant{"bmp_32bit_fields", "b32.bmp", "-alpha on -define bmp:format=bmp4", true, 0, false, 3},
        Variant{"png_rgb", "rgb.png", "PNG24:", false, 0, false, 3},
        Variant{"png_rgba", "rgba.png", "PNG32:", true, 0, true, 4},
        Variant{"png_rgb16", "rgb16.png", "PNG48:", false, 1, false, 3},
        Variant{"png_rgba16", "rgba16.png", "PNG64:", true, 1, true, 4},
        Variant{"png_palette", "pal.png", "-type Palette PNG8:", false, 0, false, 1},
        Variant{"png_palette_trns", "paltrns.png", "-channel A -threshold 50% +channel PNG8:", true, 0, true, 4},
        Variant{"png_grey2", "grey2.png",
                "-colorspace Gray -depth 2 -define png:bit-depth=2 -define png:color-type=0", false, 0, false, 1},
        Variant{"png_grey8", "grey8.png", "-colorspace Gray -depth 8 -define png:color-type=0", false, 0, false, 1},
        Variant{"png_grey16", "grey16.png", "-colorspace Gray -depth 16 -define png:color-type=0", false, 1, false,
                1},
        Variant{"png_grey_alpha", "greya.png", "-colorspace Gray -depth 8 -define png:color-type=4", true, 0, true, 4},
        Variant{"png_interlaced", "inter.png", "-interlace PNG PNG32:", true, 0, true, 4},
        Variant{"jpeg_baseline", "base.jpg", "-quality 90", false, 2, false, 3},
        Variant{"jpeg_progressive", "prog.jpg", "-quality 90 -interlace JPEG", false, 2, false, 3},
        Variant{"jpeg_grey", "grey.jpg", "-colorspace Gray -quality 90", false, 2, false, 1},
        Variant{"tga_24bit", "t24.tga", "-compress none", false, 0, false, 3},
        Variant{"tga_rle24", "r24.tga", "-compress RLE", false, 0, false, 3},
        Variant{"tga_rle32", "r32.tga", "-compress RLE", true, 0, true, 4},
        Variant{"tga_palette_rle", "pal.tga", "-type Palette -compress RLE", false, 0, false, 3},
        Variant{"dds_dxt1", "d1.dds", "-define dds:compression=dxt1 -define dds:mipmaps=0", false, 2, true, 4},
        Variant{"dds_dxt3", "d3.dds", "-define dds:compression=dxt3 -define dds:mipmaps=0", true, 2, true, 4},
        Variant{"dds_dxt5", "d5.dds", "-define dds:compression=dxt5 -define dds:mipmaps=0", true, 2, true, 4},
        Variant{"dds_uncompressed", "u.dds", "-define dds:compression=none -define dds:mipmaps=0", true, 0, true,
                4}),
    [](const ::testing::TestParamInfo<Variant>& info) { return std::string(info.param.name); });

// The decoders the ImageMagick files do not reach: top-down BMP, RLE4 with
// deltas, 16-bit TGA from the top, raw BGRA.
TEST(ImageDecoders, TopDownBmpMatchesBottomUp) {
    GraphImage bottom_up;
    ASSERT_EQ(CreateRGB24GraphImage(5, 3, &bottom_up), 0);
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 15; ++x) {
            bottom_up.pixels[y * bottom_up.pitch + x] = static_cast<uint8_t>(y * 50 + x);
        }
    }
    // Rows of 15 bytes padded to 16, bottom row first; then the same flipped.
    std::vector<uint8_t> file = {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0, 40, 0, 0, 0, 5, 0, 0, 0,
                                 0xFD, 0xFF, 0xFF, 0xFF, 1, 0, 24, 0};
    file.resize(54, 0);
    for (int y = 0; y < 3; ++y) {
        file.insert(file.end(), bottom_up.pixels + y * bottom_up.pitch, bottom_up.pixels + y * bottom_up.pitch + 15);
        file.push_back(0);
    }
    GraphImage top_down;
    ASSERT_EQ(LoadGraphImageFromBytes(file, &top_down), 0);
    ASSERT_EQ(top_down.height, 3);
    for (int y = 0; y < 3; ++y) {
        EXPECT_EQ(std::memcmp(top_down.pixels + y * top_down.pitch, bottom_up.pixels + y * bottom_up.pitch, 15), 0);
    }
    ReleaseGraphImage(&top_down);
    ReleaseGraphImage(&bottom_up);
}

std::vector<uint8_t> Rle4Bmp(const std::vector<uint8_t>& data, int width, int height) {
    std::vector<uint8_t> file = {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 118, 0, 0, 0, 40, 0, 0, 0,
                                 static_cast<uint8_t>(width), 0, 0, 0, static_cast<uint8_t>(height), 0, 0, 0,
                                 1, 0, 4, 0, 2, 0, 0, 0};
    file.resize(54, 0);
    for (int i = 0; i < 16; ++i) {
        file.insert(file.end(), {static_cast<uint8_t>(i * 16), static_cast<uint8_t>(i), 0, 0});
    }
    file.insert(file.end(), data.begin(), data.end());
    return file;
}

TEST(ImageDecoders, Rle4ExpandsRunsAbsoluteRunsAndDeltas) {
    // Bottom row: run of 3 alternating 1,2; absolute 3 pixels 4,5,6; end of line.
    // Next row: delta right 2, run 2 of 7; end of bitmap.
    const std::vector<uint8_t> data = {3, 0x12, 0, 3, 0x45, 0x60, 0, 0, 0, 2, 2, 0, 2, 0x77, 0, 1};
    GraphImage image;
    ASSERT_EQ(LoadGraphImageFromBytes(Rle4Bmp(data, 6, 2), &image), 0);
    ASSERT_EQ(image.color_data.pixel_byte, 1);
    const uint8_t top[6] = {0, 0, 7, 7, 0, 0};
    const uint8_t bottom[6] = {1, 2, 1, 4, 5, 6};
    EXPECT_EQ(std::memcmp(image.pixels, top, 6), 0);
    EXPECT_EQ(std::memcmp(image.pixels + image.pitch, bottom, 6), 0);
    EXPECT_EQ(image.color_data.palette[5].red, 0);
    EXPECT_EQ(image.color_data.palette[5].blue, 80);
    ReleaseGraphImage(&image);

    // Runs past the row's end (writers encode row padding as pixels) and
    // deltas past the image are clipped; absolute data cut short is damage.
    ASSERT_EQ(LoadGraphImageFromBytes(Rle4Bmp({9, 0x12, 0, 0, 0, 2, 1, 5, 2, 0x33, 0, 1}, 6, 2), &image), 0);
    const uint8_t clipped[6] = {1, 2, 1, 2, 1, 2};
    EXPECT_EQ(std::memcmp(image.pixels + image.pitch, clipped, 6), 0);
    EXPECT_EQ(image.pixels[0], 0);
    ReleaseGraphImage(&image);
    GraphImage refused;
    EXPECT_EQ(LoadGraphImageFromBytes(Rle4Bmp({0, 5, 0x12}, 6, 2), &refused), -1);
    EXPECT_EQ(refused.pixels, nullptr);
}

std::vector<uint8_t> Tga16(bool top_origin, bool run_length) {
    std::vector<uint8_t> file = {3, 0, static_cast<uint8_t>(run_length ? 10 : 2), 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                 2, 0, 2, 0, 16, static_cast<uint8_t>(top_origin ? 0x20 : 0)};
    file.insert(file.end(), {'i', 'd', '!'});  // the image ID field is skipped
    const uint16_t first_row[2] = {0x7C00, 0x03E0};  // red, green
    const uint16_t second_row[2] = {0x001F, 0x001F};  // blue, blue
    const uint16_t* rows[2] = {top_origin ? first_row : second_row, top_origin ? second_row : first_row};
    for (auto* row : rows) {
        if (run_length && row == second_row) {
            file.insert(file.end(), {0x81, uint8_t(row[0]), uint8_t(row[0] >> 8)});  // a run of two
            continue;
        }
        if (run_length) {
            file.push_back(0x01);  // two raw pixels
        }
        for (int i = 0; i < 2; ++i) file.insert(file.end(), {uint8_t(row[i]), uint8_t(row[i] >> 8)});
    }
    return file;
}

TEST(ImageDecoders, Tga16BitEitherOriginPlainOrRunLengthAndTheSizeLimit) {
    for (bool top : {false, true}) {
        for (bool rle : {false, true}) {
            GraphImage image;
            ASSERT_EQ(LoadGraphImageFromBytes(Tga16(top, rle), &image), 0) << top << rle;
            int r, g, b, a;
            GetGraphImagePixel(&image, 0, 0, &r, &g, &b, &a);
            EXPECT_EQ(r, 255) << top << rle;
            GetGraphImagePixel(&image, 1, 0, &r, &g, &b, &a);
            EXPECT_EQ(g, 255) << top << rle;
            GetGraphImagePixel(&image, 1, 1, &r, &g, &b, &a);
            EXPECT_EQ(b, 255) << top << rle;
            EXPECT_EQ(image.color_data.alpha_width, 0);
            ReleaseGraphImage(&image);
        }
    }
    // With every pixel present, only the width limit decides: 8192 loads,
    // 8193 is refused.
    for (int width : {8192, 8193}) {
        std::vector<uint8_t> wide = Tga16(true, false);
        wide[12] = static_cast<uint8_t>(width & 0xFF);
        wide[13] = static_cast<uint8_t>(width >> 8);
        wide.resize(wide.size() + static_cast<size_t>(width) * 2 * 2);
        GraphImage image;
        EXPECT_EQ(LoadGraphImageFromBytes(wide, &image), width <= 8192 ? 0 : -1) << width;
        ReleaseGraphImage(&image);
    }
}

// A colour-mapped TGA of two pixels with a map of three colours (blue,
// green, red), plain or run-length coded.
std::vector<uint8_t> MappedTga(uint8_t first_index, uint8_t second_index, bool run_length) {
    std::vector<uint8_t> file = {0, 1, static_cast<uint8_t>(run_length ? 9 : 1), 0, 0, 3, 0, 24, 0, 0, 0, 0,
                                 2, 0, 1, 0, 8, 0x20};
    file.insert(file.end(), {255, 0, 0, 0, 255, 0, 0, 0, 255});  // BGR entries
    if (run_length) file.push_back(0x01);  // two raw pixels
    file.insert(file.end(), {first_index, second_index});
    return file;
}

TEST(ImageDecoders, ColourMappedTgaIndexesMustLieInsideTheMap) {
    for (bool rle : {false, true}) {
        GraphImage image;
        ASSERT_EQ(LoadGraphImageFromBytes(MappedTga(2, 0, rle), &image), 0) << rle;
        int r, g, b, a;
        GetGraphImagePixel(&image, 0, 0, &r, &g, &b, &a);
        EXPECT_EQ((std::array<int, 3>{r, g, b}), (std::array<int, 3>{255, 0, 0})) << "the map's last entry";
        GetGraphImagePixel(&image, 1, 0, &r, &g, &b, &a);
        EXPECT_EQ((std::array<int, 3>{r, g, b}), (std::array<int, 3>{0, 0, 255}));
        ReleaseGraphImage(&image);
        // An index equal to the map's length is one past its end.
        GraphImage refused;
        EXPECT_EQ(LoadGraphImageFromBytes(MappedTga(0, 3, rle), &refused), -1) << rle;
        EXPECT_EQ(refused.pixels, nullptr);
    }
}

std::vector<uint8_t> Bgra(uint32_t marker, uint32_t width, uint32_t height, const std::vector<uint8_t>& pixels) {
    std::vector<uint8_t> file = {'B', 'G', 'R', 'A'};
    for (uint32_t v : {marker, width, height}) {
        for (int i = 0; i < 4; ++i) file.push_back(static_cast<uint8_t>(v >> (8 * i)));
    }
    file.insert(file.end(), pixels.begin(), pixels.end());
    return file;
}

TEST(ImageDecoders, BgraKeepsHighBytesOfSixteenBitChannels) {
    GraphImage image;
    ASSERT_EQ(LoadGraphImageFromBytes(Bgra(0x10101010, 1, 1, {0xAB, 0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xDE}),
                                      &image),
              0);
    int r, g, b, a;
    GetGraphImagePixel(&image, 0, 0, &r, &g, &b, &a);
    EXPECT_EQ(b, 0x12);
    EXPECT_EQ(g, 0x56);
    EXPECT_EQ(r, 0x9A);
    EXPECT_EQ(a, 0xDE);
    EXPECT_EQ(image.pitch, 4);
    ReleaseGraphImage(&image);
    ASSERT_EQ(LoadGraphImageFromBytes(Bgra(0x08080808, 2, 1, {1, 2, 3, 4, 5, 6, 7, 8}), &image), 0);
    EXPECT_EQ(ReadPixelValue(image.pixels, 1, 4), 0x08070605u);
    ReleaseGraphImage(&image);
    // Short pixel data and an absurd size are refused.
    EXPECT_EQ(LoadGraphImageFromBytes(Bgra(0x08080808, 2, 2, {1, 2, 3, 4}), &image), -1);
    EXPECT_EQ(LoadGraphImageFromBytes(Bgra(0x08080808, 0x7FFFFFFF, 0x7FFFFFFF, {}), &image), -1);
    EXPECT_EQ(image.pixels, nullptr);
}

std::vector<uint8_t> Dds(uint32_t flags, uint32_t four_cc, uint32_t bits, std::array<uint32_t, 4> masks, int width,
                         int height, const std::vector<uint8_t>& data) {
    std::vector<uint8_t> file(128, 0);
    std::memcpy(file.data(), "DDS ", 4);
    auto put = [&](size_t offset, uint32_t v) { std::memcpy(file.data() + offset, &v, 4); };
    put(4, 124);
    put(12, static_cast<uint32_t>(height));
    put(16, static_cast<uint32_t>(width));
    put(76, 32);
    put(80, flags);
    put(84, four_cc);
    put(88, bits);
    for (int i = 0; i < 4; ++i) put(92 + 4 * i, masks[i]);
    file.insert(file.end(), data.begin(), data.end());
    return file;
}

TEST(ImageDecoders, DdsMaskAndNumberedFormats) {
    GraphImage image;
    // R5G6B5 through its format number 23.
    ASSERT_EQ(LoadGraphImageFromBytes(Dds(4, 23, 0, {}, 1, 1, {0x00, 0xF8}), &image), 0);
    int r, g, b, a;
    GetGraphImagePixel(&image, 0, 0, &r, &g, &b, &a);
    EXPECT_EQ(r, 255);
    EXPECT_EQ(g, 0);
    ReleaseGraphImage(&image);
    // RGB masks without the alpha-pixels flag are read, the alpha mask ignored.
    ASSERT_EQ(LoadGraphImageFromBytes(Dds(0x40, 0, 16, {0x7C00, 0x3E0, 0x1F, 0x8000}, 1, 1, {0x1F, 0x00}), &image),
              0);
    EXPECT_EQ(image.color_data.alpha_width, 0);
    ReleaseGraphImage(&image);
    // A zero colour mask, a bit count of 12 or a short body is refused.
    EXPECT_EQ(LoadGraphImageFromBytes(Dds(0x41, 0, 16, {0x7C00, 0, 0x1F, 0x8000}, 1, 1, {0, 0}), &image), -1);
    EXPECT_EQ(LoadGraphImageFromBytes(Dds(0x41, 0, 12, {0xF00, 0xF0, 0xF, 0}, 1, 1, {0, 0}), &image), -1);
    EXPECT_EQ(LoadGraphImageFromBytes(Dds(4, 0x31545844, 0, {}, 8, 8, std::vector<uint8_t>(24)), &image), -1);
    EXPECT_EQ(image.pixels, nullptr);
}

TEST(ImageDecoders, DxtOfOddSizeSetsEveryPixel) {
    // One DXT1 block, all indices 0 (colour 0 = white), for a 3 x 2 image:
    // the partial block still covers every pixel.
    GraphImage image;
    ASSERT_EQ(LoadGraphImageFromBytes(Dds(4, 0x31545844, 0, {}, 3, 2, {0xFF, 0xFF, 0, 0, 0, 0, 0, 0}), &image), 0);
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 3; ++x) {
            EXPECT_EQ(ReadPixelValue(image.pixels + y * image.pitch, x, 4), 0xFFFFFFFFu);
        }
    }
    ReleaseGraphImage(&image);
    // DXT1 with colour 0 <= colour 1: index 3 is transparent black.
    ASSERT_EQ(LoadGraphImageFromBytes(Dds(4, 0x31545844, 0, {}, 1, 1, {0, 0, 0xFF, 0xFF, 3, 0, 0, 0}), &image), 0);
    EXPECT_EQ(ReadPixelValue(image.pixels, 0, 4), 0u);
    ReleaseGraphImage(&image);
}

// The files' own bytes, not their names, tell their formats.
TEST(ImageLoader, AlphaImageFoundByName) {
    testing::ScratchDir dir;
    const std::vector<uint8_t> picture = Bgra(0x08080808, 1, 1, {1, 2, 3, 4});
    testing::WriteBytes(dir.path() / "face.png", picture);
    GraphImage image, alpha;
    EXPECT_EQ(OpenGraphImage((dir.path() / "missing.png").c_str(), &image), -1);
    EXPECT_EQ(OpenGraphImageWithAlpha((dir.path() / "face.png").c_str(), nullptr, 0, nullptr, 0, 0, &image, &alpha),
              1);
    ReleaseGraphImage(&image);
    testing::WriteBytes(dir.path() / "face_a.png", picture);
    EXPECT_EQ(OpenGraphImageWithAlpha((dir.path() / "face.png").c_str(), nullptr, 0, nullptr, 0, 0, &image, &alpha),
              0);
    ReleaseGraphImage(&image);
    ReleaseGraphImage(&alpha);
    // From memory: the alpha block is optional.
    EXPECT_EQ(OpenGraphImageWithAlpha(nullptr, picture.data(), picture.size(), nullptr, 0, 1, &image, &alpha), 1);
    ReleaseGraphImage(&image);
    EXPECT_EQ(OpenGraphImageWithAlpha(nullptr, picture.data(), picture.size(), picture.data(), picture.size(), 1,
                                      &image, &alpha),
              0);
    ReleaseGraphImage(&image);
    ReleaseGraphImage(&alpha);
    EXPECT_EQ(OpenGraphImageWithAlpha(nullptr, picture.data(), 3, nullptr, 0, 1, &image, &alpha), -1);
}

TEST(ImageLoader, ReadsAnyStreamFromItsStart) {
    const std::vector<uint8_t> picture = Bgra(0x08080808, 1, 1, {1, 2, 3, 4});
    MemStream* stream = OpenMemStream(picture.data(), static_cast<uint32_t>(picture.size()));
    ASSERT_NE(stream, nullptr);
    const StreamData data = MakeMemStreamData(stream);
    data.functions.seek(data.data, 7, 0);
    GraphImage image;
    ASSERT_EQ(LoadGraphImageStream(data, &image), 0);
    EXPECT_EQ(ReadPixelValue(image.pixels, 0, 4), 0x04030201u);
    ReleaseGraphImage(&image);
    CloseMemStream(stream);
}

TEST(ImageLoader, AlphaImageNames) {
    EXPECT_EQ(MakeAlphaImageFileName("face.png"), "face_a.png");
    EXPECT_EQ(MakeAlphaImageFileName("pic"), "pic_a");
    EXPECT_EQ(MakeAlphaImageFileName("a.b.png"), "a.b_a.png");
    // Only the last path component's dot counts.
    EXPECT_EQ(MakeAlphaImageFileName("dir.old/pic"), "dir.old/pic_a");
    EXPECT_EQ(MakeAlphaImageFileName("dir.old\\pic"), "dir.old\\pic_a");
    // 0x95 0x5C is one Shift-JIS character whose trail byte looks like '\'.
    EXPECT_EQ(MakeAlphaImageFileName("x.y\\\x95\\.png"), "x.y\\\x95\\_a.png");
    EXPECT_EQ(MakeAlphaImageFileName("\x95\\"), "\x95\\_a");
}

// Every prefix and a sweep of single-byte changes of one file per format:
// each load either succeeds or is refused, and a refused load leaves no pixels.
TEST(ImageLoader, DamagedFilesAreRefusedSafely) {
    if (testing::ImageMagickConvert().empty()) {
        GTEST_SKIP();
    }
    testing::ScratchDir dir;
    const auto source = dir.path() / "s.png";
    ASSERT_TRUE(RunConvert("-size 9x5 gradient:'#ff000080'-'#0000ffff' '" + source.string() + "'"));
    struct Output {
        const char* file;
        const char* arguments;
    };
    const Output outputs[] = {{"a.bmp", "-compress RLE -type Palette BMP3:"},
                              {"b.bmp", "-define bmp:subtype=RGB565 BMP:"},
                              {"c.jpg", "-interlace JPEG JPEG:"},
                              {"d.png", "PNG32:"},
                              {"e.tga", "-compress RLE TGA:"},
                              {"f.dds", "-define dds:compression=dxt5 DDS:"}};
    for (const Output& output : outputs) {
        const auto path = dir.path() / output.file;
        ASSERT_TRUE(RunConvert("'" + source.string() + "' " + output.arguments + "'" + path.string() + "'"));
        const std::vector<uint8_t> bytes = ReadBytes(path);
        ASSERT_FALSE(bytes.empty()) << output.file;
        for (size_t length = 0; length < bytes.size(); ++length) {
            GraphImage image;
            if (LoadGraphImageFromBytes(std::span(bytes.data(), length), &image) == 0) {
                ReleaseGraphImage(&image);
            } else {
                EXPECT_EQ(image.pixels, nullptr);
            }
        }
        std::vector<uint8_t> changed = bytes;
        for (size_t i = 0; i < changed.size(); ++i) {
            for (uint8_t value : {uint8_t{0}, uint8_t{0xFF}, static_cast<uint8_t>(bytes[i] ^ 0x80)}) {
                changed[i] = value;
                GraphImage image;
                if (LoadGraphImageFromBytes(changed, &image) == 0) {
                    ReleaseGraphImage(&image);
                }
            }
            changed[i] = bytes[i];
        }
    }
}

TEST(ImageLoader, HugeDeclaredSizesAreRefusedWithoutAllocating) {
    // A BMP claiming 100000 x 100000 pixels in a 60-byte file.
    std::vector<uint8_t> file = {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0, 40, 0, 0, 0,
                                 0xA0, 0x86, 0x01, 0, 0xA0, 0x86, 0x01, 0, 1, 0, 24, 0};
    file.resize(60, 0);
    GraphImage image;
    EXPECT_EQ(LoadGraphImageFromBytes(file, &image), -1);
    // INT_MIN height cannot be negated.
    file[22] = 0;
    file[23] = 0;
    file[24] = 0;
    file[25] = 0x80;
    EXPECT_EQ(LoadGraphImageFromBytes(file, &image), -1);
    EXPECT_EQ(image.pixels, nullptr);
}

}  // namespace
}  // namespace velk
