#include "lib/core/files/plain_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "lib/core/files/file_log_texts.h"
#include "platform/base/sync.h"
#include "tests/lib/core/files/files_fixture.h"

namespace velk {
namespace {

using testing::GameFolderTest;

struct Mode {
    int cache;
    int async;
};

class PlainFileTest : public GameFolderTest, public ::testing::WithParamInterface<Mode> {
protected:
    // Waits until an asynchronous read has landed.
    static void WaitIdle(FileAccessHandle file) {
        while (PlainFileIdle(file) == 0) {
            platform::SleepMilliseconds(0);
        }
    }
};

std::string Pattern(size_t size) {
    std::string bytes(size, '\0');
    std::mt19937 random(3);
    for (auto& b : bytes) {
        b = static_cast<char>(random());
    }
    return bytes;
}

TEST_P(PlainFileTest, ReadsWholeElementsAndStopsAtTheEnd) {
    Write("nine.bin", "123456789");
    const FileAccessHandle file = PlainFileOpen("NINE.BIN", GetParam().cache, 1, GetParam().async);
    ASSERT_NE(file, 0u);
    char buffer[64] = {};
    // 10 elements of 4 with 9 bytes left: 2 elements, the last byte stays.
    EXPECT_EQ(PlainFileRead(buffer, 4, 10, file), 2u);
    WaitIdle(file);
    EXPECT_EQ(std::string(buffer, 8), "12345678");
    EXPECT_EQ(PlainFileTell(file), 8);
    EXPECT_EQ(PlainFileEof(file), 0);
    EXPECT_EQ(PlainFileRead(buffer, 4, 1, file), 0u);
    EXPECT_EQ(PlainFileEof(file), -1);
    // Element size 0 reads nothing and leaves the end flag alone.
    EXPECT_EQ(PlainFileSeek(file, 0, kSeekSet), 0);
    EXPECT_EQ(PlainFileRead(buffer, 0, 5, file), 0u);
    EXPECT_EQ(PlainFileEof(file), 0);
    // A seek beyond the end is accepted; the read after it finds nothing.
    EXPECT_EQ(PlainFileSeek(file, 100, kSeekSet), 0);
    EXPECT_EQ(PlainFileRead(buffer, 1, 1, file), 0u);
    EXPECT_EQ(PlainFileEof(file), -1);
    EXPECT_EQ(PlainFileSeek(file, -2, kSeekEnd), 0);
    EXPECT_EQ(PlainFileRead(buffer, 1, 5, file), 2u);
    WaitIdle(file);
    EXPECT_EQ(std::string(buffer, 2), "89");
    // Targets that cannot be are refused and change nothing.
    EXPECT_EQ(PlainFileSeek(file, -1, kSeekSet), -1);
    EXPECT_EQ(PlainFileSeek(file, 0, 7), -1);
    EXPECT_EQ(PlainFileTell(file), 9);
    EXPECT_EQ(PlainFileClose(file), 0);
    EXPECT_EQ(PlainFileClose(file), -1) << "a closed handle is stale";
}

TEST_P(PlainFileTest, SequentialAndRandomReadsMatchTheFile) {
    const std::string content = Pattern(400000);  // larger than the cache
    Write("big.bin", content);
    const FileAccessHandle file = PlainFileOpen("big.bin", GetParam().cache, 1, GetParam().async);
    ASSERT_NE(file, 0u);
    std::string read(content.size(), '\0');
    size_t at = 0;
    size_t step = 1;
    while (at < content.size()) {
        const size_t n = std::min(step, content.size() - at);
        ASSERT_EQ(PlainFileRead(read.data() + at, 1, n, file), n);
        at += n;
        step = step * 3 + 1;
        if (step > 100000) {
            step = 7;
        }
    }
    WaitIdle(file);
    EXPECT_TRUE(read == content);
    // Jumps backwards and forwards, reading past the cache's window.
    for (const size_t position : {399990u, 5u, 131072u, 131071u, 200000u}) {
        char piece[10] = {};
        ASSERT_EQ(PlainFileSeek(file, position, kSeekSet), 0);
        const size_t n = std::min<size_t>(10, content.size() - position);
        ASSERT_EQ(PlainFileRead(piece, 1, n, file), n);
        WaitIdle(file);
        EXPECT_EQ(std::string(piece, n), content.substr(position, n)) << position;
    }
    EXPECT_EQ(PlainFileClose(file), 0);
}

TEST_P(PlainFileTest, AShortReadReportsWhatArrived) {
    // The file is cut after it was opened: the size taken at open promises
    // more than the disk has.
    Write("cut.bin", std::string(1000, 'c'));
    const FileAccessHandle file = PlainFileOpen("cut.bin", GetParam().cache, 1, GetParam().async);
    ASSERT_NE(file, 0u);
    std::filesystem::resize_file(Native("cut.bin"), 300);
    std::string buffer(1000, '\0');
    const size_t result = PlainFileRead(buffer.data(), 1, 1000, file);
    WaitIdle(file);
    if (GetParam().async == 0) {
        EXPECT_EQ(result, 300u);
    }
    EXPECT_EQ(PlainFileFinishRead(file), 300);
    EXPECT_EQ(PlainFileTell(file), 300) << "the position follows the data";
    EXPECT_EQ(PlainFileEof(file), -1);
    // One element of 1000 bytes: not whole, so 0 elements.
    ASSERT_EQ(PlainFileSeek(file, 0, kSeekSet), 0);
    EXPECT_EQ(PlainFileRead(buffer.data(), 1000, 1, file), GetParam().async ? 1u : 0u);
    WaitIdle(file);
    EXPECT_EQ(PlainFileTell(file), 300);
    EXPECT_EQ(PlainFileClose(file), 0);
}

INSTANTIATE_TEST_SUITE_P(Modes, PlainFileTest,
                         ::testing::Values(Mode{0, 0}, Mode{1, 0}, Mode{0, 1}, Mode{1, 1}),
                         [](const auto& info) {
                             return std::string(info.param.cache ? "Cache" : "NoCache") +
                                    (info.param.async ? "Async" : "Sync");
                         });

TEST_F(GameFolderTest, AsynchronousReadsAnswerAtOnce) {
    const std::string content = Pattern(3 << 20);
    Write("big.bin", content);
    const FileAccessHandle file = PlainFileOpen("big.bin", 0, 1, 1);
    ASSERT_NE(file, 0u);
    std::string read(content.size(), '\0');
    EXPECT_EQ(PlainFileRead(read.data(), content.size(), 1, file), 1u) << "the whole count, before the bytes";
    EXPECT_EQ(PlainFileTell(file), static_cast<int64_t>(content.size()));
    while (PlainFileIdle(file) == 0) {
        platform::SleepMilliseconds(1);
    }
    EXPECT_TRUE(read == content);
    EXPECT_EQ(PlainFileClose(file), 0);
}

TEST_F(GameFolderTest, MissingFilesAndFoldersDoNotOpen) {
    Write("Folder/x", "");
    for (int cache : {0, 1}) {
        for (int async : {0, 1}) {
            EXPECT_EQ(PlainFileOpen("missing.bin", cache, 1, async), 0u);
            EXPECT_EQ(PlainFileOpen("Folder", cache, 1, async), 0u);
        }
    }
    // A missing file is not worth a log line, even with the cache flag.
    EXPECT_EQ(LogText(), "");
    EXPECT_EQ(PlainFileTell(12345), -1);
    EXPECT_EQ(PlainFileRead(nullptr, 1, 1, 12345), 0u);
}

TEST_F(GameFolderTest, AClosedHandleIsRefusedAfterItsSlotIsReused) {
    Write("a.bin", "aaaa");
    Write("b.bin", "bbbb");
    for (int async : {0, 1}) {
        const FileAccessHandle old = PlainFileOpen("a.bin", 0, 1, async);
        ASSERT_NE(old, 0u);
        ASSERT_EQ(PlainFileClose(old), 0);
        const FileAccessHandle reused = PlainFileOpen("b.bin", 0, 1, async);
        ASSERT_NE(reused, 0u);
        EXPECT_EQ(reused & 0xFFFF, old & 0xFFFF) << "the same slot";
        EXPECT_NE(reused, old);
        char byte = 0;
        EXPECT_EQ(PlainFileRead(&byte, 1, 1, old), 0u);
        EXPECT_EQ(PlainFileTell(old), -1);
        EXPECT_EQ(PlainFileSeek(old, 2, kSeekSet), -1);
        EXPECT_EQ(PlainFileClose(old), -1);
        // The file that took the slot is untouched.
        EXPECT_EQ(PlainFileTell(reused), 0);
        EXPECT_EQ(PlainFileRead(&byte, 1, 1, reused), 1u);
        while (PlainFileIdle(reused) == 0) platform::SleepMilliseconds(0);
        EXPECT_EQ(byte, 'b');
        EXPECT_EQ(PlainFileClose(reused), 0);
    }
}

TEST_F(GameFolderTest, FileAccessSetsSwitch) {
    EXPECT_EQ(ActiveFileAccessFunctions().open, ArchiveFileAccessFunctions().open);
    SetUseArchiveFlagBody(0);
    EXPECT_EQ(ActiveFileAccessFunctions().open, PlainFileAccessFunctions().open);
    SetUseArchiveFlagBody(0);
    EXPECT_EQ(ActiveFileAccessFunctions().open, PlainFileAccessFunctions().open);
    // A table of the caller's own is left alone by the flag.
    FileAccessFunctions own = PlainFileAccessFunctions();
    own.open = [](const std::string&, int, int, int) -> FileAccessHandle { return 0; };
    InstallFileAccessFunctions(&own);
    SetUseArchiveFlagBody(1);
    EXPECT_EQ(ActiveFileAccessFunctions().open, own.open);
    InstallFileAccessFunctions(nullptr);
    EXPECT_EQ(ActiveFileAccessFunctions().open, ArchiveFileAccessFunctions().open);
}

}  // namespace
}  // namespace velk
