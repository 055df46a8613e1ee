#include "lib/core/files/file_operations.h"

#include <cstring>
#include <filesystem>

#include <gtest/gtest.h>

#include "tests/lib/core/files/files_fixture.h"

namespace velk {
namespace {

using testing::GameFolderTest;
using tools::ArchiveBuilder;

// Runs each line test over a plain file and over the same bytes in an
// archive, so both read paths give the same lines.
class ReadFileLineTest : public GameFolderTest, public ::testing::WithParamInterface<bool> {
protected:
    FileAccessHandle OpenText(const std::string& bytes) {
        if (GetParam()) {
            ClearArchiveState();  // each test text is a new archive
            ArchiveBuilder builder;
            builder.AddFile("t.txt", bytes);
            Write("Text.velk", builder.Build());
            SetArchiveExtension("velk");
        } else {
            Write("Text/t.txt", bytes);
        }
        return OpenFileForRead("Text\\t.txt");
    }

    std::vector<std::string> Lines(const std::string& bytes, int buffer_size) {
        const FileAccessHandle file = OpenText(bytes);
        EXPECT_NE(file, 0u);
        std::vector<std::string> lines;
        std::vector<char> buffer(static_cast<size_t>(buffer_size));
        for (int guard = 0; guard < 100; ++guard) {
            const int length = ReadFileLine(buffer.data(), buffer_size, file);
            if (length < 0) {
                break;
            }
            EXPECT_EQ(static_cast<size_t>(length), std::strlen(buffer.data()));
            lines.emplace_back(buffer.data(), static_cast<size_t>(length));
        }
        CloseFile(file);
        return lines;
    }
};

TEST_P(ReadFileLineTest, LinesEndAtCrLf) {
    const FileAccessHandle file = OpenText("ab\r\ncd");
    char buffer[64];
    EXPECT_EQ(ReadFileLine(buffer, sizeof buffer, file), 2);
    EXPECT_STREQ(buffer, "ab");
    EXPECT_EQ(FileAccessTell(file), 4) << "the file is left at the third letter";
    EXPECT_EQ(ReadFileLine(buffer, sizeof buffer, file), 2);
    EXPECT_STREQ(buffer, "cd");
    EXPECT_EQ(ReadFileLine(buffer, sizeof buffer, file), -1);
    CloseFile(file);
    // Empty lines, a lone CR or LF stays in the text.
    EXPECT_EQ(Lines("\r\n\r\nx\ry\nz\r\n", 64), (std::vector<std::string>{"", "", "x\ry\nz"}));
}

TEST_P(ReadFileLineTest, LinesFollowTheBufferThePairsAndTheEndOfTheFile) {
    struct Case {
        std::string bytes;
        int buffer_size;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        // Long lines come in pieces.
        {"abcdefgh\r\nij", 4, {"abc", "def", "gh", "ij"}},
        // 表 (0x95 0x5C) would be cut by a read of 2 bytes: it waits for the next call.
        {"a\x95\x5C" "b", 3, {"a", "\x95\x5C", "b"}},
        {"a\x95\x5C" "b", 4, {"a\x95\x5C", "b"}},
        {"ab\x95\x5C", 3, {"ab", "\x95\x5C"}},
        // A lead byte whose pair the file never brings ends the last line.
        {"ab\r\ncd\x82", 64, {"ab", "cd\x82"}},
        {"cd\x82", 4, {"cd", "\x82"}},
        {"\x82", 64, {"\x82"}},
        // A buffer with room for one byte cannot wait for a pair: it takes the
        // bytes one by one, whether or not the next one is a lead byte too.
        {"\x82\xA0", 2, {"\x82", "\xA0"}},
        {"\x81\x81", 2, {"\x81", "\x81"}},
        {"a\x82\xA0", 2, {"a", "\x82", "\xA0"}},
        // The buffer's last byte is the CR; its LF is the first byte of the next read.
        {"abc\r\ndef", 5, {"abc", "def"}},
        {"abc\rdef", 5, {"abc\r", "def"}},
        {"abc\r", 5, {"abc\r"}},
        // Bytes after a zero byte are kept.
        {std::string("ab\0cd\r\nef", 9), 64, {"ab", "cd", "ef"}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Lines(c.bytes, c.buffer_size), c.lines) << c.bytes << " with a buffer of " << c.buffer_size;
    }
}

INSTANTIATE_TEST_SUITE_P(PlainAndArchived, ReadFileLineTest, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Archived" : "Plain"; });

TEST_F(GameFolderTest, ReadFromFileTellsWhetherEverythingArrived) {
    Write("Plain/p.bin", "12345");
    ArchiveBuilder builder;
    builder.AddFile("a.bin", "12345");
    Write("Arc.velk", builder.Build());
    SetArchiveExtension("velk");
    for (const char* path : {"Plain\\p.bin", "Arc\\a.bin"}) {
        SCOPED_TRACE(path);
        EXPECT_EQ(GetFileLength(path), 5);
        const FileAccessHandle file = OpenFileForRead(path);
        ASSERT_NE(file, 0u);
        char buffer[8] = {};
        EXPECT_EQ(ReadFromFile(buffer, 1, file), 1);
        EXPECT_EQ(ReadFromFile(buffer, 3, file), 1);
        EXPECT_EQ(std::string(buffer, 3), "234");
        EXPECT_EQ(ReadFromFile(buffer, 2, file), 0) << "one byte was left";
        EXPECT_EQ(ReadFromFile(buffer, 0, file), 1);
        EXPECT_EQ(CloseFile(file), 0);
    }
    EXPECT_EQ(GetFileLength("Plain\\missing.bin"), -1);
    EXPECT_EQ(OpenFileForRead("Plain\\missing.bin"), 0u);
}

TEST_F(GameFolderTest, EverySpellingOfANameGivesTheFilesIdentity) {
    Write("Plain/p.bin", "1");
    Write("Plain/q.bin", "1");
    ArchiveBuilder builder;
    builder.AddFile("a.bin", "1");
    builder.AddFile("b.bin", "12");
    Write("Arc.velk", builder.Build());
    SetArchiveExtension("velk");
    ASSERT_TRUE(GetFileIdentity("Plain\\p.bin"));
    ASSERT_TRUE(GetFileIdentity("Arc\\a.bin"));
    EXPECT_EQ(GetFileIdentity("PLAIN/x/../P.bin"), GetFileIdentity("Plain\\p.bin"));
    std::filesystem::create_hard_link("Plain/p.bin", "Plain/link.bin");
    EXPECT_EQ(GetFileIdentity("Plain\\link.bin"), GetFileIdentity("Plain\\p.bin"));
    EXPECT_EQ(GetFileIdentity("arc\\.\\A.BIN"), GetFileIdentity("Arc\\a.bin"));
    EXPECT_NE(GetFileIdentity("Plain\\q.bin"), GetFileIdentity("Plain\\p.bin"));
    EXPECT_NE(GetFileIdentity("Arc\\b.bin"), GetFileIdentity("Arc\\a.bin"));
    EXPECT_FALSE(GetFileIdentity("Plain\\missing.bin"));
    EXPECT_FALSE(GetFileIdentity("Arc\\missing.bin"));
}

TEST_F(GameFolderTest, PlainFilesOnlyWhenArchivesAreOff) {
    ArchiveBuilder builder;
    builder.AddFile("a.txt", "archived");
    Write("Data.arc", builder.Build());
    Write("Data/a.txt", "plain");
    SetUseArchiveFlag(0);
    char buffer[16] = {};
    FileAccessHandle file = OpenFileForRead("Data\\a.txt");
    EXPECT_EQ(ReadFileLine(buffer, sizeof buffer, file), 5);
    CloseFile(file);
    SetUseArchiveFlag(1);
    file = OpenFileForRead("Data\\a.txt");
    EXPECT_EQ(ReadFileLine(buffer, sizeof buffer, file), 8);
    CloseFile(file);
}

}  // namespace
}  // namespace velk
