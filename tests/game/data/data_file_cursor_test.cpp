#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "game/data/byte_writer.h"
#include "game/data/data_file_cursor.h"

namespace velk {
namespace {

TEST(DataFileCursor, ReadsWhatTheWriterWrites) {
    ByteWriter writer;
    writer.WriteU8(7);
    writer.WriteU16(0xBEEF);
    writer.WriteU32(0xDEADBEEF);
    writer.WriteI32(-5);
    writer.WriteString("abc");
    writer.WriteShortString("");
    DataFileCursor cursor(writer.Bytes());
    EXPECT_EQ(cursor.U8(), 7);
    EXPECT_EQ(cursor.U16(), 0xBEEF);
    EXPECT_EQ(cursor.U32(), 0xDEADBEEFu);
    EXPECT_EQ(cursor.I32(), -5);
    EXPECT_EQ(cursor.ReadString(), "abc");
    EXPECT_EQ(cursor.ReadShortString(), "");
    EXPECT_EQ(cursor.remaining(), 0u);
}

TEST(DataFileCursor, AValueThatDoesNotFitIsDamagedAndDoesNotMove) {
    const std::vector<uint8_t> bytes = {1, 2, 3};
    DataFileCursor cursor(bytes);
    EXPECT_FALSE(cursor.U32());
    EXPECT_EQ(cursor.position(), 0u);
    EXPECT_EQ(cursor.U16(), 0x0201);
    EXPECT_FALSE(cursor.U16());
    EXPECT_EQ(cursor.U8(), 3);
    EXPECT_FALSE(cursor.U8());
    EXPECT_FALSE(cursor.Take(1));
}

TEST(DataFileCursor, StringsEndAtTheirFirstZeroAndMayNotOverrun) {
    const std::vector<uint8_t> cut = {5, 0, 0, 0, 'a', 0, 'b', 0, 0};
    DataFileCursor cursor(cut);
    EXPECT_EQ(cursor.ReadString(), "a");
    EXPECT_EQ(cursor.position(), 9u);
    const std::vector<uint8_t> empty = {0, 0, 0, 0};
    EXPECT_EQ(DataFileCursor(empty).ReadString(), "");
    const std::vector<uint8_t> tooLong = {0xFF, 0xFF, 0xFF, 0xFF, 'a'};
    EXPECT_FALSE(DataFileCursor(tooLong).ReadString());
    const std::vector<uint8_t> noZero = {2, 0, 0, 0, 'x', 'y'};
    EXPECT_EQ(DataFileCursor(noZero).ReadString(), "xy");
}

TEST(DataFileCursor, TextsInsideALongFileEndAtTheirFirstZeroOrTheirLength) {
    // Texts of every length up to past sixteen bytes, with more file after
    // them: the byte after a text is zero, so a text without its own zero
    // must stop at its length, not there; one with a zero stops at it.
    for (size_t length = 1; length <= 18; ++length) {
        for (size_t zeroAt = 0; zeroAt <= length; ++zeroAt) {
            std::vector<uint8_t> bytes = {static_cast<uint8_t>(length), 0, 0, 0};
            std::string expected;
            for (size_t i = 0; i < length; ++i) {
                const uint8_t byte = i == zeroAt ? 0 : static_cast<uint8_t>('a' + i);
                bytes.push_back(byte);
                if (i < zeroAt) expected.push_back(static_cast<char>(byte));
            }
            bytes.insert(bytes.end(), 20, 0);
            DataFileCursor cursor(bytes);
            std::string text = "left over";
            ASSERT_TRUE(cursor.ReadStringInto(text));
            EXPECT_EQ(text, expected) << "length " << length << " zero at " << zeroAt;
            EXPECT_EQ(cursor.position(), 4 + length);
        }
    }
}

TEST(DataFileCursor, CountsAreCheckedAgainstTheBytesLeft) {
    std::vector<uint8_t> bytes(40);
    DataFileCursor cursor(bytes, 8);
    EXPECT_TRUE(cursor.CanHold(8, 4));
    EXPECT_FALSE(cursor.CanHold(9, 4));
    EXPECT_FALSE(cursor.CanHold(UINT64_MAX, 1));
    EXPECT_TRUE(cursor.CanHold(UINT64_MAX, 0));
    EXPECT_TRUE(cursor.Seek(40));
    EXPECT_FALSE(cursor.Seek(41));
    EXPECT_EQ(cursor.position(), 40u);
}

}  // namespace
}  // namespace velk
