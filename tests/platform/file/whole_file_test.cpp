#include "platform/file/whole_file.h"

#include <cstdlib>
#include <filesystem>

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include "platform/file/native_file.h"
#include "tests/support/scratch_dir.h"

namespace velk::platform {
namespace {

std::span<const uint8_t> Bytes(const std::string& text) {
    return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

size_t FilesIn(const std::filesystem::path& folder) {
    size_t count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder)) {
        ++count;
    }
    return count;
}

TEST(WholeFile, AtomicWriteCreatesReplacesAndLeavesNoTemporaryFile) {
    testing::ScratchDir scratch;
    const std::string path = (scratch.path() / "Save01.sav").string();
    ASSERT_TRUE(WriteFileAtomically(path, Bytes("first")));
    EXPECT_EQ(scratch.ReadFile("Save01.sav"), "first");
    ::chmod(path.c_str(), 0600);
    ASSERT_TRUE(WriteFileAtomically(path, Bytes("second, longer")));
    EXPECT_EQ(scratch.ReadFile("Save01.sav"), "second, longer");
    EXPECT_EQ(FilesIn(scratch.path()), 1u);
    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u) << "a replaced file keeps its permissions";

    ASSERT_TRUE(WriteFileAtomically(path, {}));
    EXPECT_EQ(scratch.ReadFile("Save01.sav"), "");
}

TEST(WholeFile, FailedWriteKeepsTheOldFileWhole) {
    testing::ScratchDir scratch;
    scratch.WriteFile("Save/Save01.sav", "old save");
    const auto folder = scratch.path() / "Save";
    // A missing folder, a folder in the way and an unwritable folder all fail
    // without touching what is there.
    EXPECT_FALSE(WriteFileAtomically((scratch.path() / "Missing" / "x").string(), Bytes("new")));
    EXPECT_FALSE(WriteFileAtomically(folder.string(), Bytes("new")));
    if (::geteuid() != 0) {  // root writes anywhere
        ::chmod(folder.c_str(), 0500);
        EXPECT_FALSE(WriteFileAtomically((folder / "Save01.sav").string(), Bytes("new")));
        ::chmod(folder.c_str(), 0700);
    }
    EXPECT_EQ(scratch.ReadFile("Save/Save01.sav"), "old save");
    EXPECT_EQ(FilesIn(folder), 1u);
}

TEST(WholeFile, WriteToAFullDeviceFails) {
    // /dev/full refuses every write with ENOSPC, as a full disk would.
    if (!std::filesystem::exists("/dev/full")) {
        GTEST_SKIP() << "no /dev/full";
    }
    WritableFile file;
    ASSERT_TRUE(file.Create("/dev/full", CreateMode::kTruncate));
    EXPECT_FALSE(file.Write(Bytes("x")));
    EXPECT_FALSE(WriteFileAtomically("/dev/full", Bytes("x"))) << "a device is never replaced";
}

TEST(WholeFile, AvailableDiskBytesAreTheCurrentDirectorysDisk) {
    testing::ScratchDir scratch;
    const std::filesystem::path before = std::filesystem::current_path();
    std::filesystem::current_path(scratch.path());
    const std::optional<uint64_t> available = AvailableDiskBytes();
    std::filesystem::current_path(before);
    ASSERT_TRUE(available.has_value());
    const std::filesystem::space_info space = std::filesystem::space(scratch.path());
    // The same disk as the standard library sees it, give or take what others
    // write meanwhile.
    const uint64_t difference =
        *available > space.available ? *available - space.available : space.available - *available;
    EXPECT_LT(difference, space.capacity / 10 + 1);
    EXPECT_LE(*available, space.capacity);
}

TEST(WholeFile, AWriteBeyondTheFileSizeLimitFailsInsteadOfEndingTheProcess) {
    // Under a 4 KiB limit (ulimit -f) the 10 KiB replacement fails as a full
    // disk would; the process lives on and the old file is whole.
    testing::ScratchDir scratch;
    scratch.WriteFile("Save01.sav", "old save");
    const std::string path = (scratch.path() / "Save01.sav").string();
    const std::string big(10240, 'x');
    const auto writeUnderLimit = [&] {
        struct rlimit limit {};
        limit.rlim_cur = limit.rlim_max = 4096;
        ::setrlimit(RLIMIT_FSIZE, &limit);
        const bool written = WriteFileAtomically(path, Bytes(big));
        std::_Exit(!written && FilesIn(scratch.path()) == 1 ? 0 : 1);
    };
    EXPECT_EXIT(writeUnderLimit(), ::testing::ExitedWithCode(0), "");
    EXPECT_EQ(scratch.ReadFile("Save01.sav"), "old save");
}

TEST(WholeFile, ReadWholeFile) {
    testing::ScratchDir scratch;
    std::string big(300000, '\0');
    for (size_t i = 0; i < big.size(); ++i) {
        big[i] = static_cast<char>(i * 7);
    }
    scratch.WriteFile("big.bin", big);
    auto bytes = ReadWholeFile((scratch.path() / "big.bin").string());
    ASSERT_TRUE(bytes.has_value());
    EXPECT_EQ(std::string(bytes->begin(), bytes->end()), big);
    EXPECT_FALSE(ReadWholeFile((scratch.path() / "big.bin").string(), 1000).has_value());
    EXPECT_FALSE(ReadWholeFile((scratch.path() / "none").string()).has_value());
    EXPECT_FALSE(ReadWholeFile(scratch.path().string()).has_value()) << "a folder is not a file";
}

}  // namespace
}  // namespace velk::platform
