#include "lib/core/files/archive_reader.h"

#include <filesystem>
#include <random>

#include <gtest/gtest.h>

#include "lib/core/files/file_log_texts.h"
#include "lib/core/files/file_operations.h"
#include "platform/base/sync.h"
#include "tests/lib/core/files/files_fixture.h"

namespace velk {
namespace {

using testing::GameFolderTest;
using tools::ArchiveBuilder;
using tools::ArchiveCompression;
using tools::ArchiveWriterOptions;

std::string ReadAll(FileAccessHandle file) {
    std::string bytes;
    char chunk[700];
    for (;;) {
        const size_t got = FileAccessRead(chunk, 1, sizeof chunk, file);
        if (got == 0) {
            break;
        }
        // An asynchronous read fills the buffer while we wait.
        while (FileAccessIdle(file) == 0) {
            platform::SleepMilliseconds(0);
        }
        bytes.append(chunk, got);
    }
    return bytes;
}

std::string ReadPath(const std::string& path, int async = 0) {
    const FileAccessHandle file = OpenFileForRead(path, async);
    if (file == 0) {
        return "<none>";
    }
    std::string bytes = ReadAll(file);
    CloseFile(file);
    return bytes;
}

// Picture data holding every byte value, so whatever byte the coder picks as
// its marker also occurs as data.
std::string PictureBytes(size_t size, int seed) {
    std::string bytes(size, '\0');
    std::mt19937 random(seed);
    for (size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<char>(i % 3 == 0 ? random() : i / 7);
    }
    return bytes;
}

class ArchiveReaderTest : public GameFolderTest {
protected:
    using Files = std::vector<std::pair<std::string, std::string>>;

    void WriteArchive(const std::string& relative, const Files& files, const ArchiveWriterOptions& options = {}) {
        ArchiveBuilder builder;
        for (const auto& [name, bytes] : files)
            builder.AddFile(name, bytes);
        Write(relative, builder.Build(options));
    }
};

TEST_F(ArchiveReaderTest, RoutesIntoTheOutermostArchiveOfAFolder) {
    const std::string in_data = PictureBytes(5000, 1);
    WriteArchive("Data.velk", {{"Picture\\a.png", in_data}, {"BasicData\\CommonEvent.dat", "events"}});
    WriteArchive("Data/Picture.velk", {{"a.png", "from Picture.velk"}, {"b.png", "only in Picture.velk"}});
    Write("Data/Picture/a.png", "plain a");
    Write("Other/c.txt", "plain c");
    SetArchiveExtension("velk");

    EXPECT_EQ(ReadPath("Data\\Picture\\a.png"), in_data) << "Data.velk comes first";
    EXPECT_EQ(ReadPath("data\\basicdata\\commonevent.DAT"), "events");
    // Routed into Data.velk, a missing entry fails; Picture.velk and the
    // plain file are not tried.
    EXPECT_EQ(ReadPath("Data\\Picture\\b.png"), "<none>");
    EXPECT_EQ(ReadPath("Other\\c.txt"), "plain c");
    EXPECT_EQ(OpenArchiveCount(), 1u);
}

TEST_F(ArchiveReaderTest, FallsBackToInnerArchivesAndPlainFiles) {
    WriteArchive("Data/Picture.velk", {{"a.png", "from Picture.velk"}});
    Write("Data/Picture/a.png", "plain a");
    Write("Data/Sound/s.wav", "plain s");
    SetArchiveExtension("velk");
    EXPECT_EQ(ReadPath("Data\\Picture\\a.png"), "from Picture.velk");
    EXPECT_EQ(ReadPath("Data\\Sound\\s.wav"), "plain s");
    // An absolute path routes the same way.
    EXPECT_EQ(ReadPath(Native("Data/Picture/A.PNG").string()), "from Picture.velk");
}

TEST_F(ArchiveReaderTest, AnArchiveStandsInForAMissingFolder) {
    WriteArchive("Data.velk", {{"BasicData\\CommonEvent.dat", "events"}, {"Picture\\a.png", "png"}});
    SetArchiveExtension("velk");
    ASSERT_FALSE(std::filesystem::exists(Native("Data")));
    EXPECT_EQ(ReadPath("Data\\BasicData\\CommonEvent.dat"), "events");
    EXPECT_EQ(ReadPath(".\\data\\x\\..\\picture\\A.PNG"), "png");
    EXPECT_EQ(GetFileLength("Data\\Picture\\a.png"), 3);
    EXPECT_EQ(GetFileLength("Data\\Picture\\none.png"), -1);
    // The archive file itself is no folder of the path.
    EXPECT_EQ(ReadPath("Data.velk\\Picture\\a.png"), "<none>");
    // An empty extension is the default "arc" again.
    SetArchiveExtension("");
    EXPECT_EQ(ReadPath("Data\\Picture\\a.png"), "png") << "Data.velk is already open and remembered";
    ClearArchiveState();
    SetArchiveExtension("");
    EXPECT_EQ(ReadPath("Data\\Picture\\a.png"), "<none>");
}

TEST_F(ArchiveReaderTest, TheRememberedArchiveIsReused) {
    WriteArchive("Data.velk", {{"a.txt", "A"}, {"Sub\\b.txt", "B"}});
    SetArchiveExtension("velk");
    EXPECT_EQ(ReadPath("Data\\a.txt"), "A");
    // With the archive file gone from the folder, files of the same folder
    // still come from the open, remembered archive.
    std::filesystem::rename(Native("Data.velk"), Native("Moved.velk"));
    EXPECT_EQ(ReadPath("Data\\Sub\\b.txt"), "B");
    EXPECT_EQ(OpenArchiveCount(), 1u);
}

TEST_F(ArchiveReaderTest, DefaultExtensionAndKeys) {
    const Files data = {{"a.txt", "default key"}};
    WriteArchive("Data.arc", data);
    // No extension set, or one of 64 characters: "arc".
    EXPECT_EQ(ReadPath("Data\\a.txt"), "default key");
    ClearArchiveState();
    SetArchiveExtension(std::string(64, 'x').c_str());
    EXPECT_EQ(ReadPath("Data\\a.txt"), "default key");

    ClearArchiveState();
    SetArchiveExtension("velk");
    SetArchiveKeyString("abcde");
    ArchiveWriterOptions keyed;
    keyed.key_string = "abcdeabcdeab";  // the same key, spelt out
    WriteArchive("Keyed.velk", data, keyed);
    ArchiveWriterOptions second;
    second.use_second_key = true;
    WriteArchive("Second.velk", data, second);
    WriteArchive("Default.velk", data);
    EXPECT_EQ(ReadPath("Keyed\\a.txt"), "default key");
    EXPECT_EQ(ReadPath("Second\\a.txt"), "default key") << "the second key is tried";
    EXPECT_EQ(ReadPath("Default\\a.txt"), "<none>") << "the default key is not the set key";

    // An empty key string is no key string: the default key opens, and the
    // log says why.
    ClearArchiveState();
    SetArchiveExtension("velk");
    SetArchiveKeyString("");
    EXPECT_EQ(ReadPath("Default\\a.txt"), "default key");
    const std::string logged(log_text::kEmptyArchiveKey, sizeof log_text::kEmptyArchiveKey - 2);  // without "\n"
    EXPECT_NE(LogText().find(logged), std::string::npos);
}

TEST_F(ArchiveReaderTest, StoredAndCompressedEntriesReadAlike) {
    const std::string picture = PictureBytes(70000, 2);
    for (const auto compression : {ArchiveCompression::kNever, ArchiveCompression::kAlways}) {
        for (const uint16_t version : {uint16_t{1}, uint16_t{2}, uint16_t{3}}) {
            ClearArchiveState();
            SetArchiveExtension("velk");
            ArchiveWriterOptions options;
            options.compression = compression;
            options.version = version;
            WriteArchive("Data.velk", {{"p.png", picture}, {"empty.txt", ""}}, options);
            for (int async : {0, 1}) {
                SCOPED_TRACE(::testing::Message() << "version " << version << " async " << async);
                EXPECT_EQ(ReadPath("Data\\p.png", async), picture);
                EXPECT_EQ(ReadPath("Data\\empty.txt", async), "");
            }
        }
    }
}

TEST_F(ArchiveReaderTest, LargeCompressedEntriesStreamTheirCodes) {
    // Text of a few words codes to back-references one after another, so
    // its codes, several read pieces of them, are cut at every piece's edge.
    std::mt19937 random(3);
    const char* words[] = {"map ", "event ", "picture ", "sound ", "switch ", "common "};
    std::string text;
    while (text.size() < 8'000'000)
        text += words[random() % std::size(words)];
    SetArchiveExtension("velk");
    ArchiveWriterOptions options;
    options.compression = ArchiveCompression::kAlways;
    WriteArchive("Data.velk", {{"small.txt", "small"}, {"big.txt", text}}, options);
    ASSERT_GT(std::filesystem::file_size(Native("Data.velk")), 1'600'000u) << "codes of four pieces";
    const FileAccessHandle file = OpenFileForRead("Data\\big.txt");
    ASSERT_NE(file, 0u);
    for (int pass = 0; pass < 2; ++pass) {
        std::string whole(text.size(), '\0');
        EXPECT_EQ(FileAccessSeek(file, 0, kSeekSet), 0);
        ASSERT_EQ(ReadFromFile(whole.data(), whole.size(), file), 1) << "pass " << pass;
        EXPECT_TRUE(whole == text) << "pass " << pass;
    }
    CloseFile(file);
    EXPECT_TRUE(ReadPath("Data\\big.txt") == text) << "read in parts";
    EXPECT_TRUE(ReadPath("Data\\big.txt", 1) == text) << "asynchronously";

    // The archive file cut after the entry opened: the read is refused.
    const FileAccessHandle cut = OpenFileForRead("Data\\big.txt");
    ASSERT_NE(cut, 0u);
    std::filesystem::resize_file(Native("Data.velk"), std::filesystem::file_size(Native("Data.velk")) - 1000);
    std::string whole(text.size(), '\0');
    EXPECT_EQ(ReadFromFile(whole.data(), whole.size(), cut), 0);
    CloseFile(cut);
}

TEST_F(ArchiveReaderTest, SeekTellAndEndOfFile) {
    const std::string text = "0123456789";
    for (const auto compression : {ArchiveCompression::kNever, ArchiveCompression::kAlways}) {
        ClearArchiveState();
        SetArchiveExtension("velk");
        ArchiveWriterOptions options;
        options.compression = compression;
        WriteArchive("Data.velk", {{"t.txt", text}}, options);
        const FileAccessHandle file = OpenFileForRead("Data\\t.txt");
        ASSERT_NE(file, 0u);
        char buffer[16] = {};
        // Reads count bytes and stop at the end of the entry.
        EXPECT_EQ(FileAccessRead(buffer, 4, 1, file), 4u);
        EXPECT_EQ(FileAccessTell(file), 4);
        EXPECT_EQ(FileAccessSeek(file, -3, kSeekEnd), 0);
        EXPECT_EQ(FileAccessRead(buffer, 1, 16, file), 3u);
        EXPECT_EQ(std::string(buffer, 3), "789");
        EXPECT_EQ(FileAccessEof(file), 0);
        EXPECT_EQ(FileAccessRead(buffer, 1, 16, file), 0u);
        EXPECT_EQ(FileAccessEof(file), -1);
        // Seeks are clamped into the entry and clear the end.
        EXPECT_EQ(FileAccessSeek(file, 100, kSeekSet), 0);
        EXPECT_EQ(FileAccessTell(file), 10);
        EXPECT_EQ(FileAccessSeek(file, -100, kSeekCurrent), 0);
        EXPECT_EQ(FileAccessTell(file), 0);
        EXPECT_EQ(FileAccessEof(file), 0);
        EXPECT_EQ(ReadFromFile(buffer, 10, file), 1);
        EXPECT_EQ(FileAccessSeek(file, 5, kSeekSet), 0);
        EXPECT_EQ(ReadFromFile(buffer, 6, file), 0) << "only 5 bytes were left";
        EXPECT_EQ(GetFileLength("Data\\t.txt"), 10);
        EXPECT_EQ(CloseFile(file), 0);
        EXPECT_EQ(CloseFile(file), -1);
    }
}

TEST_F(ArchiveReaderTest, FindsInsideArchives) {
    ArchiveBuilder data;
    data.AddFile("Picture\\A.B.PNG", "1");
    data.AddFile("Picture\\c.png", "22");
    data.AddFile("Picture\\d.txt", "333");
    data.AddFolder("Picture\\Sub");
    data.AddFile("top.png", "4");
    Write("Data.velk", data.Build());
    SetArchiveExtension("velk");
    const auto& set = ActiveFileAccessFunctions();

    auto names = [&](const std::string& pattern) {
        std::vector<std::string> found;
        FileInfo info;
        const int32_t find = set.find_first(pattern, &info);
        if (find == -1) {
            return found;
        }
        do {
            found.push_back(info.name + (info.is_directory ? "/" : "") + ":" + std::to_string(info.size_low));
        } while (set.find_next(find, &info) == 0);
        EXPECT_EQ(set.find_close(find), 0);
        return found;
    };
    EXPECT_EQ(names("Data\\Picture\\*"),
              (std::vector<std::string>{"./:0", "../:0", "Sub/:0", "A.B.PNG:1", "c.png:2", "d.txt:3"}));
    // The archive's own pattern rule: the '*' stops at the first dot.
    EXPECT_EQ(names("data\\picture\\*.png"), (std::vector<std::string>{"c.png:2"}));
    EXPECT_EQ(names("Data\\Picture\\*.*"),
              (std::vector<std::string>{"./:0", "../:0", "A.B.PNG:1", "c.png:2", "d.txt:3"}));
    EXPECT_EQ(names("Data\\*.png"), (std::vector<std::string>{"top.png:1"}));
    EXPECT_TRUE(names("Data\\Picture\\*.bmp").empty());
    EXPECT_TRUE(names("Data\\Missing\\*").empty());
    // The archive stays open for reuse but nothing holds it.
    EXPECT_EQ(OpenArchiveCount(), 1u);
    CloseUnusedArchives();
    EXPECT_EQ(OpenArchiveCount(), 0u);

    // Outside archives the plain find answers.
    Write("Plain/x.png", "");
    EXPECT_EQ(names("Plain\\*.PNG"), (std::vector<std::string>{"x.png:0"}));
}

TEST_F(ArchiveReaderTest, OpenArchivesStayUntilUnused) {
    WriteArchive("Data.velk", {{"a.txt", "A"}});
    SetArchiveExtension("velk");
    const FileAccessHandle file = OpenFileForRead("Data\\a.txt");
    ASSERT_NE(file, 0u);
    EXPECT_TRUE(IsArchiveEntryHandle(file));
    CloseUnusedArchives();
    EXPECT_EQ(OpenArchiveCount(), 1u) << "a file still uses it";
    CloseFile(file);
    EndArchives();
    EXPECT_EQ(OpenArchiveCount(), 0u);
}

}  // namespace
}  // namespace velk
