#include "tools/archive/archive_writer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "lib/core/files/archive_decoder.h"
#include "lib/core/files/archive_format.h"
#include "lib/core/files/archive_index.h"
#include "platform/file/whole_file.h"
#include "tests/support/scratch_dir.h"
#include "tools/archive/archive_encoder.h"

namespace velk::tools {
namespace {

// The tables of an archive made under the default key.
ArchiveIndex IndexOf(std::vector<uint8_t> archive) {
    ScrambleArchiveBytes(archive, 0, DefaultArchiveKey());
    const auto header = ParseArchiveHeader(std::span(archive).first(kArchiveHeaderSize));
    EXPECT_TRUE(header.has_value());
    auto index = ParseArchiveIndex(*header, std::span(archive).subspan(header->block_offset, header->block_size),
                                   archive.size());
    EXPECT_TRUE(index.has_value());
    return *index;
}

TEST(ArchiveWriter, PacksAFolderWithItsNamesInTheGamesForm) {
    velk::testing::ScratchDir scratch;
    scratch.WriteFile("game/Picture/\xE8\xA1\xA8.png", "picture");
    scratch.WriteFile("game/a.txt", "text");
    std::filesystem::create_directories(scratch.path() / "game/Empty");
    const std::string archive = (scratch.path() / "Data.velk").string();
    std::string error;
    ASSERT_TRUE(PackFolder((scratch.path() / "game").string(), archive, {}, &error)) << error;

    const auto bytes = platform::ReadWholeFile(archive);
    ASSERT_TRUE(bytes.has_value());
    const ArchiveIndex index = IndexOf(*bytes);
    const ArchiveEntry* picture = FindArchiveEntry(index, "PICTURE\\\x95\x5C.PNG");
    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(picture->name, "\x95\x5C.png") << "stored as Shift-JIS";
    EXPECT_EQ(picture->data_size, 7u);
    EXPECT_GT(picture->write_time, 116444736000000000u);
    EXPECT_TRUE(FindArchiveDirectory(index, "Empty").has_value());
    EXPECT_NE(FindArchiveEntry(index, "a.txt"), nullptr);

    EXPECT_FALSE(PackFolder((scratch.path() / "missing").string(), archive, {}, &error));
    EXPECT_FALSE(error.empty());
}

TEST(ArchiveWriter, CompressesOnlyWhenItPays) {
    std::string noise(4000, '\0');
    std::mt19937 random(1);
    for (auto& c : noise) {
        c = static_cast<char>(random());
    }
    ArchiveBuilder builder;
    builder.AddFile("noise.bin", noise);
    builder.AddFile("runs.bin", std::string(4000, 'r'));
    builder.AddFile("RUNS.BIN", std::string(5000, 's'));  // the same name: replaces the first
    const ArchiveIndex index = IndexOf(builder.Build());
    ASSERT_EQ(index.directories[0].entries.size(), 2u);
    EXPECT_FALSE(FindArchiveEntry(index, "noise.bin")->is_compressed());
    const ArchiveEntry* runs = FindArchiveEntry(index, "runs.bin");
    EXPECT_TRUE(runs->is_compressed());
    EXPECT_EQ(runs->data_size, 5000u);
    EXPECT_LT(runs->compressed_size, 100u);

    ArchiveWriterOptions version1;
    version1.version = 1;
    const ArchiveIndex old = IndexOf(builder.Build(version1));
    EXPECT_EQ(old.header.version, 1);
    EXPECT_FALSE(FindArchiveEntry(old, "runs.bin")->is_compressed()) << "version 1 stores everything";
}

TEST(ArchiveEncoder, PicksTheRarestByteAsMarker) {
    std::vector<uint8_t> data;
    for (int i = 0; i < 1000; ++i) {
        data.push_back(static_cast<uint8_t>(i % 255));  // 0xFF never occurs
    }
    const auto coded = EncodeArchiveData(data);
    EXPECT_EQ(coded[8], 0xFF);
    EXPECT_LT(coded.size(), data.size() / 2);
}

// Random bytes that repeat from `distance` bytes back for 1000 bytes: the
// only matches lie exactly that far back.
std::vector<uint8_t> RepeatedFrom(size_t distance) {
    std::mt19937 random(static_cast<uint32_t>(distance));
    std::vector<uint8_t> data(distance + 1000);
    for (size_t i = 0; i < distance; ++i) data[i] = static_cast<uint8_t>(random());
    for (size_t i = distance; i < data.size(); ++i) data[i] = data[i - distance];
    return data;
}

std::vector<uint8_t> Decoded(const std::vector<uint8_t>& coded, size_t size) {
    std::vector<uint8_t> out(size);
    EXPECT_TRUE(DecodeArchiveData(coded, out));
    return out;
}

TEST(ArchiveEncoder, MatchesRoundTripAtEveryDistanceSizeBoundary) {
    // Distances are stored less one in 1, 2 or 3 bytes: 256 is the last of
    // one byte, 65536 the last of two.
    for (size_t distance : {1u, 4u, 255u, 256u, 257u, 258u, 65535u, 65536u, 65537u, 65538u, 70000u}) {
        const std::vector<uint8_t> data = RepeatedFrom(distance);
        const auto coded = EncodeArchiveData(data);
        EXPECT_LT(coded.size(), data.size() - 500) << "a match was used at " << distance;
        EXPECT_EQ(Decoded(coded, data.size()), data) << "distance " << distance;
    }
}

TEST(ArchiveEncoder, MatchesReachExactlyAsFarAsTheWindow) {
    ArchiveEncoderOptions options;
    options.window = 300;
    const std::vector<uint8_t> inside = RepeatedFrom(300);
    const auto near = EncodeArchiveData(inside, options);
    EXPECT_LT(near.size(), inside.size() - 900);
    EXPECT_EQ(Decoded(near, inside.size()), inside);
    const std::vector<uint8_t> beyond = RepeatedFrom(301);
    const auto far = EncodeArchiveData(beyond, options);
    EXPECT_GE(far.size(), beyond.size()) << "nothing lies within the window";
    EXPECT_EQ(Decoded(far, beyond.size()), beyond);
}

}  // namespace
}  // namespace velk::tools
