// The sample game's art must be what the game's own readers take: images the
// image loader decodes at the sizes the map and sprites cut them into, with
// the transparent colour where nothing is drawn, and sounds Ogg Vorbis opens.

#include <gtest/gtest.h>
#include <vorbis/vorbisfile.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "lib/image/graph_image.h"
#include "lib/image/image_loader.h"
#include "tests/support/scratch_dir.h"
#include "tools/sampleart/sample_art.h"

namespace velk::sampleart {
namespace {

std::vector<uint8_t> ReadAll(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

uint32_t PixelAt(const GraphImage& image, int x, int y) {
    const uint8_t* p = image.pixels + y * image.pitch + x * image.color_data.pixel_byte;
    uint32_t value = 0;
    for (int i = 0; i < image.color_data.pixel_byte; ++i) value |= uint32_t{p[i]} << (8 * i);
    return value & 0xFFFFFF;
}

TEST(SampleArt, ImagesAndSoundsLoadThroughTheGamesReaders) {
    testing::ScratchDir scratch;
    std::string error;
    ASSERT_TRUE(WriteSampleArt(scratch.path().string(), &error)) << error;
    const auto data = scratch.path() / "Data";

    struct Expected {
        const char* path;
        int width, height;
    };
    for (const Expected& e : {Expected{"MapChip/village.png", 256, 128}, Expected{"MapChip/water.png", 96, 160},
                              Expected{"CharaChip/hero.png", 96, 192}, Expected{"Picture/title.png", 640, 480},
                              Expected{"SystemFile/wait_cursor.png", 16, 64},
                              Expected{"SystemFile/choice_frame.png", 48, 48}}) {
        SCOPED_TRACE(e.path);
        const auto bytes = ReadAll(data / e.path);
        GraphImage image;
        ASSERT_EQ(LoadGraphImageFromBytes(bytes, &image), 0);
        EXPECT_EQ(image.width, e.width);
        EXPECT_EQ(image.height, e.height);
        if (std::string(e.path) == "CharaChip/hero.png") {
            // A cell's top corner is background: the transparent colour.
            EXPECT_EQ(PixelAt(image, 0, 0), 0xFE00FEu);
        }
        if (std::string(e.path) == "MapChip/water.png") {
            // The open-water band (digit 4) is water in every frame, edge to
            // edge: no shore of the band above reaches into it.
            for (int x = 0; x < e.width; ++x) {
                for (int y = 128; y < 160; ++y) {
                    const uint32_t pixel = PixelAt(image, x, y);
                    ASSERT_TRUE(pixel == 0x3878C8u || pixel == 0x78B4ECu) << x << "," << y;
                }
            }
        }
        ReleaseGraphImage(&image);
    }

    for (const char* sound : {"BGM/village.ogg", "BGM/forest.ogg", "BGS/wind.ogg"}) {
        SCOPED_TRACE(sound);
        OggVorbis_File file;
        ASSERT_EQ(ov_fopen((data / sound).c_str(), &file), 0);
        EXPECT_GT(ov_time_total(&file, -1), 5.0);
        ov_clear(&file);
    }
    for (const char* sound : {"SE/decide.wav", "SE/cursor.wav", "SE/cancel.wav"}) {
        const auto bytes = ReadAll(data / sound);
        ASSERT_GT(bytes.size(), 44u) << sound;
        EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "RIFF");
    }
}

}  // namespace
}  // namespace velk::sampleart
