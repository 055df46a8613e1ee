#include "platform/file/file_find.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/file/current_directory.h"
#include "platform/file/file_time.h"
#include "platform/file/path_resolver.h"
#include "platform/file/temp_file.h"
#include "tests/support/scratch_dir.h"

namespace velk::platform {
namespace {

std::vector<std::string> Names(std::string_view pattern) {
    std::vector<std::string> names;
    auto find = FileFind::Start(pattern);
    if (!find) {
        return names;
    }
    while (const FoundFile* found = find->Next()) {
        names.push_back(found->name + (found->is_directory ? "/" : ""));
    }
    return names;
}

TEST(FileFind, MatchesInAFolderOfAnyCaseWithDotsFirst) {
    testing::ScratchDir scratch;
    scratch.WriteFile("Data/Picture/b.PNG", "12345");
    scratch.WriteFile("Data/Picture/a.b.png", "1");
    scratch.WriteFile("Data/Picture/c.txt", "1");
    scratch.WriteFile("Data/Picture/\xE8\xA1\xA8.png", "1");
    std::filesystem::create_directories(scratch.path() / "Data/Picture/Sub");
    GamePathResolver().Forget();
    const std::string root = scratch.path().string();

    EXPECT_EQ(Names(root + "\\data\\PICTURE\\*.png"),
              (std::vector<std::string>{"a.b.png", "b.PNG", "\x95\x5C.png"}));
    EXPECT_EQ(Names(root + "/Data/Picture/*"),
              (std::vector<std::string>{"./", "../", "a.b.png", "b.PNG", "c.txt", "Sub/", "\x95\x5C.png"}));
    EXPECT_TRUE(Names(root + "/Data/Picture/*.bmp").empty());
    EXPECT_TRUE(Names(root + "/Data/Missing/*").empty());

    auto find = FileFind::Start(root + "/Data/Picture/B.png");
    ASSERT_TRUE(find.has_value());
    const FoundFile* found = find->Next();
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(found->size, 5u);
    EXPECT_FALSE(found->is_directory);
    EXPECT_GT(found->write_time, 1600000000);
    EXPECT_EQ(find->Next(), nullptr);
}

TEST(FileTime, ConvertsBetweenTheEpochs) {
    EXPECT_EQ(UnixSecondsToFileTime(0), 116444736000000000u);
    EXPECT_EQ(FileTimeToUnixSeconds(UnixSecondsToFileTime(1700000000)), 1700000000);
    const auto date = ToLocalCalendarTime(1700000000);
    EXPECT_EQ(date.year, 2023);
    EXPECT_EQ(date.month, 11);
}

TEST(FileTime, EveryStoredValueConvertsWithoutOverflow) {
    // Stored times come from files: any 64-bit pattern. Worked by hand from
    // (time - 116444736000000000) / 10000000, cut toward 0.
    struct Case {
        uint64_t file_time;
        int64_t seconds;
    };
    const Case cases[] = {
        {0, -11644473600},
        {116444736000000000 - 50000003, -5},
        {116444736000000000 + 9999999, 0},
        {uint64_t{1} << 63, 910692730085},
        {~uint64_t{0}, 1833029933770},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FileTimeToUnixSeconds(c.file_time), c.seconds) << c.file_time;
    }
    EXPECT_EQ(UnixSecondsToFileTime(-11644473600), 0u);
    EXPECT_EQ(UnixSecondsToFileTime(INT64_MIN), 0u) << "before 1601";
    EXPECT_EQ(UnixSecondsToFileTime(INT64_MAX), ~uint64_t{0}) << "past the last file time";
    EXPECT_EQ(UnixSecondsToFileTime(1833029933770), 18446744073700000000u);
}

TEST(TempFile, IsFreshAndWritable) {
    WritableFile first;
    WritableFile second;
    std::string first_path;
    std::string second_path;
    ASSERT_TRUE(CreateTempFile(&first, &first_path));
    ASSERT_TRUE(CreateTempFile(&second, &second_path));
    EXPECT_NE(first_path, second_path);
    EXPECT_NE(first_path.find("/tmp"), std::string::npos);
    const uint8_t bytes[] = {1, 2, 3};
    EXPECT_TRUE(first.Write(bytes));
    EXPECT_TRUE(first.Close());
    EXPECT_EQ(std::filesystem::file_size(first_path), 3u);
    std::filesystem::remove(first_path);
    std::filesystem::remove(second_path);
}

TEST(CurrentDirectory, ChangesThroughGamePaths) {
    testing::ScratchDir scratch;
    scratch.WriteFile("Game/Data/x", "");
    const auto previous = std::filesystem::current_path();
    GamePathResolver().Forget();
    ASSERT_TRUE(SetCurrentGameDirectory(scratch.path().string() + "\\GAME"));
    EXPECT_EQ(CurrentGameDirectory(), (scratch.path() / "Game").string());
    EXPECT_TRUE(SetCurrentGameDirectory("data"));
    EXPECT_FALSE(SetCurrentGameDirectory("missing"));
    EXPECT_EQ(CurrentGameDirectory(), (scratch.path() / "Game/Data").string());
    std::filesystem::current_path(previous);
}

}  // namespace
}  // namespace velk::platform
