// Archives damaged in every field the reader trusts: none may crash or read
// out of bounds, and each is refused as the damage dictates.
#include <functional>

#include <gtest/gtest.h>

#include "lib/core/files/archive_decoder.h"
#include "lib/core/files/archive_index.h"
#include "lib/core/files/file_operations.h"
#include "tests/lib/core/files/files_fixture.h"

namespace velk {
namespace {

using testing::GameFolderTest;
using testing::PutU32;
using testing::ReadU32;
using testing::Unscrambled;
using tools::ArchiveBuilder;
using tools::ArchiveCompression;
using tools::ArchiveWriterOptions;

constexpr size_t kFileTableField = 16;
constexpr size_t kDirectoryTableField = 20;

class DamagedArchiveTest : public GameFolderTest {
protected:
    void SetUp() override {
        GameFolderTest::SetUp();
        SetArchiveExtension("velk");
        ArchiveBuilder builder;
        builder.AddFile("Sub\\a.txt", std::string(3000, 'a') + "tail");
        builder.AddFile("b.txt", "bbbb");
        ArchiveWriterOptions options;
        options.compression = ArchiveCompression::kAlways;
        plain_ = Unscrambled(builder.Build(options), DefaultArchiveKey());
        Write("Data/Sub/a.txt", "plain a");
        Write("Data/b.txt", "plain b");
    }

    struct Damage {
        const char* what;
        std::function<void(std::vector<uint8_t>&)> damage;
        // Damage in the tables or the data's head refuses the open; damage
        // in the codes, found as they decode, refuses the first read.
        const char* refused = "<none>";
    };

    // Writes the (changed) plain form scrambled as Data.velk.
    void WriteDamaged(std::vector<uint8_t> plain) {
        Write("Data.velk", Unscrambled(std::move(plain), DefaultArchiveKey()));
    }
    // Each damage alone, written over a fresh archive state.
    void ForEachDamage(const std::vector<Damage>& damages, const std::function<void()>& check) {
        for (const Damage& d : damages) {
            SCOPED_TRACE(d.what);
            ClearArchiveState();
            SetArchiveExtension("velk");
            auto damaged = plain_;
            d.damage(damaged);
            WriteDamaged(damaged);
            check();
        }
    }
    std::string Read(const std::string& path) {
        const FileAccessHandle file = OpenFileForRead(path);
        if (file == 0) {
            return "<none>";
        }
        std::string bytes(static_cast<size_t>(GetFileLength(path)), '\0');
        const int whole = ReadFromFile(bytes.data(), bytes.size(), file);
        CloseFile(file);
        return whole == 1 ? bytes : "<short>";
    }
    uint32_t Block() const { return ReadU32(plain_, 12); }
    uint32_t FileTable() const { return Block() + ReadU32(plain_, kFileTableField); }
    uint32_t DirectoryTable() const { return Block() + ReadU32(plain_, kDirectoryTableField); }
    // The file-table entry of b.txt: the root lists the folder Sub, then b.txt.
    uint32_t EntryOfB() const { return FileTable() + 44; }

    std::vector<uint8_t> plain_;
};

TEST_F(DamagedArchiveTest, DamagedTablesRefuseTheArchiveSoPlainFilesAreRead) {
    const std::vector<Damage> damages = {
        {"cut inside the header", [](auto& b) { b.resize(20); }},
        {"cut inside the header block", [](auto& b) { b.resize(b.size() - 10); }},
        {"header block past the end", [&](auto& b) { PutU32(b, 12, static_cast<uint32_t>(b.size())); }},
        {"header block size huge", [](auto& b) { PutU32(b, 4, 0xFFFFFFF0); }},
        {"file table past the block", [](auto& b) { PutU32(b, kFileTableField, 0x7FFFFFFF); }},
        {"directory table past the block", [](auto& b) { PutU32(b, kDirectoryTableField, 0xFFFFFFFF); }},
        {"root entry count huge", [&](auto& b) { PutU32(b, DirectoryTable() + 8, 0x10000000); }},
        {"root first entry past the table", [&](auto& b) { PutU32(b, DirectoryTable() + 12, 0xFFFFFFF0); }},
        {"name offset past the block", [&](auto& b) { PutU32(b, EntryOfB(), 0xFFFFFF00); }},
        {"word count past the block",
         [&](auto& b) {
             const uint32_t name = Block() + ReadU32(b, EntryOfB());
             b[name] = 0xFF;
             b[name + 1] = 0xFF;
         }},
        {"folder that is its own parent", [&](auto& b) { PutU32(b, FileTable() + 32, 0); }},
        {"folder record past the table", [&](auto& b) { PutU32(b, FileTable() + 32, 0xFFFFFFF0); }},
        {"version 4", [](auto& b) { b[2] = 4; }},
    };
    ForEachDamage(damages, [&] {
        EXPECT_EQ(Read("Data\\b.txt"), "plain b");
        EXPECT_EQ(OpenArchiveCount(), 0u);
    });
}

TEST_F(DamagedArchiveTest, ADamagedArchiveIsLoggedOnce) {
    auto damaged = plain_;
    PutU32(damaged, kFileTableField, 0x7FFFFFFF);
    WriteDamaged(damaged);
    EXPECT_EQ(Read("Data\\b.txt"), "plain b");
    EXPECT_EQ(Read("Data\\Sub\\a.txt"), "plain a");
    const std::string log = LogText();
    const std::string archive = Native("Data.velk").string();
    const size_t first = log.find(archive);
    ASSERT_NE(first, std::string::npos);
    EXPECT_EQ(log.find(archive, first + 1), std::string::npos);
}

TEST_F(DamagedArchiveTest, DamagedEntriesAreRefused) {
    const uint32_t b = EntryOfB();
    const std::vector<Damage> damages = {
        {"data past the end", [&](auto& x) { PutU32(x, b + 32, 0x7FFFFFFF); }},
        {"compressed size past the end", [&](auto& x) { PutU32(x, b + 40, 0x7FFFFFFF); }},
        {"compressed size below the head", [&](auto& x) { PutU32(x, b + 40, 5); }},
        {"decoded size unlike the entry's", [&](auto& x) { PutU32(x, b + 36, 5); }},
        {"decoded size huge", [&](auto& x) { PutU32(x, b + 36, 0xFFFFFFF0); }},
        {"coded stream damaged",
         [&](auto& x) {
             // b.txt's data: head, marker, then "bbbb" coded; the head's
             // decoded size claims more than the codes give.
             const uint32_t data = ReadU32(x, 8) + ReadU32(x, b + 32);
             PutU32(x, data, 5);
             PutU32(x, b + 36, 5);
         },
         "<short>"},
    };
    const Damage* current = damages.data();
    ForEachDamage(damages, [&] {
        EXPECT_EQ(Read("Data\\b.txt"), current->refused) << "no plain file is tried";
        ++current;
        EXPECT_EQ(Read("Data\\Sub\\a.txt"), std::string(3000, 'a') + "tail") << "other entries still read";
    });
}

TEST_F(DamagedArchiveTest, ATableSizeBeyondTheDatasOwnHeadDecodesUpToTheHead) {
    auto plain = plain_;
    const uint32_t b = EntryOfB();
    const uint32_t stored = ReadU32(plain, b + 40);
    const uint32_t data = ReadU32(plain, 8) + ReadU32(plain, b + 32);
    ASSERT_EQ(ReadU32(plain, data + 4), stored) << "the head's whole size";
    ASSERT_LE(data + stored + 7, plain.size());
    PutU32(plain, b + 40, stored + 7);
    WriteDamaged(plain);
    EXPECT_EQ(Read("Data\\b.txt"), "bbbb");
}

TEST_F(DamagedArchiveTest, EntriesMayNotExpandWithoutBound) {
    // A run of one byte codes to about 1/2048 of its size. Within the free
    // size any ratio reads; past it only what stays within 256 to 1.
    std::vector<uint8_t> patterned(kArchiveFreeDecodedSize + 4096);
    for (size_t i = 0; i < patterned.size(); i += 32) {
        patterned[i] = static_cast<uint8_t>((i * 2654435761u) >> 24);
    }
    ArchiveBuilder builder;
    builder.AddFile("free.bin", std::vector<uint8_t>(kArchiveFreeDecodedSize, 0));
    builder.AddFile("bomb.bin", std::vector<uint8_t>(kArchiveFreeDecodedSize + 4096, 0));
    builder.AddFile("patterned.bin", patterned);
    ArchiveWriterOptions options;
    options.compression = ArchiveCompression::kAlways;
    Write("Data.velk", builder.Build(options));
    struct Case {
        const char* path;
        size_t size;  // 0: refused
    };
    const Case cases[] = {
        {"Data\\free.bin", kArchiveFreeDecodedSize},
        {"Data\\bomb.bin", 0},
        {"Data\\patterned.bin", patterned.size()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        const FileAccessHandle file = OpenFileForRead(c.path);
        EXPECT_EQ(file != 0, c.size != 0);
        if (file != 0) {
            EXPECT_EQ(GetFileLength(c.path), static_cast<int64_t>(c.size));
            CloseFile(file);
        }
    }
    EXPECT_NE(LogText().find("bomb.bin"), std::string::npos) << "logged as a damaged entry";
}

TEST(ArchiveDecoder, ExpansionLimits) {
    const uint64_t free = kArchiveFreeDecodedSize;
    EXPECT_TRUE(ArchiveDecodedSizeAllowed(free, 9));
    EXPECT_FALSE(ArchiveDecodedSizeAllowed(free + 256, 1));
    EXPECT_TRUE(ArchiveDecodedSizeAllowed(free * 16, free / 16));
    EXPECT_FALSE(ArchiveDecodedSizeAllowed(free * 16 + 256, free / 16));
    EXPECT_TRUE(ArchiveDecodedSizeAllowed(kArchiveLargestDecodedSize, kArchiveLargestDecodedSize));
    EXPECT_FALSE(ArchiveDecodedSizeAllowed(kArchiveLargestDecodedSize + 1, kArchiveLargestDecodedSize));
}

TEST_F(DamagedArchiveTest, DistanceBeforeTheStartIsRefused) {
    // a.txt's data starts with a long run: 'a' then a copy. Point the first
    // copy's distance far back.
    ArchiveBuilder builder;
    builder.AddFile("r.txt", std::string(100, 'r'));
    ArchiveWriterOptions options;
    options.compression = ArchiveCompression::kAlways;
    auto plain = Unscrambled(builder.Build(options), DefaultArchiveKey());
    const uint32_t entry = ReadU32(plain, 12) + ReadU32(plain, kFileTableField);
    const uint32_t data = ReadU32(plain, 8) + ReadU32(plain, entry + 32);
    const uint8_t marker = plain[data + 8];
    ASSERT_EQ(plain[data + 9], 'r');
    ASSERT_EQ(plain[data + 10], marker);
    const size_t code = plain[data + 11];
    const size_t length_bytes = ((code > marker ? code - 1 : code) & 4) != 0 ? 1 : 0;
    plain[data + 12 + length_bytes] = 0x7F;  // distance 128 with 1 byte written
    Write("Data.velk", Unscrambled(plain, DefaultArchiveKey()));
    EXPECT_EQ(Read("Data\\r.txt"), "<short>");
    // Read in parts, the entry gives nothing either.
    const FileAccessHandle file = OpenFileForRead("Data\\r.txt");
    ASSERT_NE(file, 0u);
    char part[10];
    EXPECT_EQ(FileAccessRead(part, 1, sizeof part, file), 0u);
    EXPECT_EQ(FileAccessSeek(file, 0, kSeekSet), 0);
    EXPECT_EQ(FileAccessRead(part, 1, sizeof part, file), 0u) << "nor after a seek";
    CloseFile(file);
    EXPECT_NE(LogText().find("r.txt"), std::string::npos) << "logged as a damaged entry";
}

TEST(ArchiveIndex, ParsesOnlyWhatFits) {
    ArchiveBuilder builder;
    builder.AddFile("a\\b\\c.txt", "x");
    auto plain = Unscrambled(builder.Build(), DefaultArchiveKey());
    const auto header = ParseArchiveHeader(std::span(plain).first(24));
    ASSERT_TRUE(header.has_value());
    const auto block = std::span(plain).subspan(header->block_offset, header->block_size);
    const auto index = ParseArchiveIndex(*header, block, plain.size());
    ASSERT_TRUE(index.has_value());
    ASSERT_EQ(index->directories.size(), 3u);
    EXPECT_NE(FindArchiveEntry(*index, "A\\B\\C.TXT"), nullptr);
    EXPECT_NE(FindArchiveEntry(*index, "a/b/./c.txt"), nullptr);
    EXPECT_NE(FindArchiveEntry(*index, "a\\b\\..\\b\\c.txt"), nullptr);
    EXPECT_EQ(FindArchiveEntry(*index, "a\\b"), nullptr) << "a folder is not a file";
    EXPECT_EQ(FindArchiveEntry(*index, "..\\a\\b\\c.txt"), nullptr);
    EXPECT_EQ(FindArchiveDirectory(*index, "a\\b\\.."), std::optional<int32_t>(1));
    // A header block cut anywhere is refused, never read past.
    for (size_t cut = 0; cut < block.size(); ++cut) {
        ArchiveHeader cut_header = *header;
        cut_header.block_size = static_cast<uint32_t>(cut);
        EXPECT_FALSE(ParseArchiveIndex(cut_header, block.first(cut), plain.size()).has_value()) << cut;
    }
    EXPECT_FALSE(ParseArchiveIndex(*header, block, header->block_offset + header->block_size - 1).has_value());
}

}  // namespace
}  // namespace velk
