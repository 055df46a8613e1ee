#include "lib/core/files/mem_stream.h"

#include <gtest/gtest.h>

#include <cstring>

#include "lib/core/files/stream_functions.h"
#include "tests/lib/core/files/files_fixture.h"

namespace velk {
namespace {

TEST(MemStream, ReadsWholeElementsThenTheRestOfOne) {
    const char data[] = "0123456789ABC";  // 13 bytes used
    MemStream* stream = OpenMemStream(data, 13);
    ASSERT_NE(stream, nullptr);
    char buffer[16];
    EXPECT_EQ(ReadMemStream(buffer, 4, 2, stream), 2u);
    EXPECT_EQ(TellMemStream(stream), 8);
    // 5 bytes left: one 4-byte element, the fifth byte stays.
    EXPECT_EQ(ReadMemStream(buffer, 4, 3, stream), 1u);
    EXPECT_EQ(std::string(buffer, 4), "89AB");
    // One byte left of an 8-byte element: it is read, the rest zeroed, 1.
    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(ReadMemStream(buffer, 8, 1, stream), 1u);
    EXPECT_EQ(std::string(buffer, 8), std::string("C\0\0\0\0\0\0\0", 8));
    EXPECT_EQ(EofMemStream(stream), 0);
    EXPECT_EQ(ReadMemStream(buffer, 1, 1, stream), 0u);
    EXPECT_EQ(EofMemStream(stream), 1);
    EXPECT_EQ(IdleMemStream(stream), 1);
    EXPECT_EQ(CloseMemStream(stream), 0);
}

TEST(MemStream, SeeksAreClamped) {
    const char data[] = "abcdef";
    MemStream* stream = OpenMemStream(data, 6);
    char all[10];
    EXPECT_EQ(ReadMemStream(all, 1, 10, stream), 6u);
    char c;
    EXPECT_EQ(SeekMemStream(stream, -10, kSeekSet), 0);
    EXPECT_EQ(TellMemStream(stream), 0);
    EXPECT_EQ(SeekMemStream(stream, 1, kSeekEnd), 0);
    EXPECT_EQ(TellMemStream(stream), 6);
    EXPECT_EQ(SeekMemStream(stream, -2, kSeekCurrent), 0);
    EXPECT_EQ(ReadMemStream(&c, 1, 1, stream), 1u);
    EXPECT_EQ(c, 'e');
    CloseMemStream(stream);
}

using StreamTest = testing::GameFolderTest;

TEST_F(StreamTest, StreamsReadFilesAndMemoryAlike) {
    Write("s.bin", "stream bytes");
    const FileAccessHandle file = FileAccessOpen("s.bin", 0, 1, 0);
    ASSERT_NE(file, 0u);
    const char memory[] = "stream bytes";
    for (StreamData stream : {MakeFileStreamData(file), MakeMemStreamData(OpenMemStream(memory, 12))}) {
        char buffer[6] = {};
        EXPECT_EQ(stream.functions.seek(stream.data, 7, kSeekSet), 0);
        EXPECT_EQ(stream.functions.read(buffer, 1, 6, stream.data), 5u);
        EXPECT_EQ(std::string(buffer, 5), "bytes");
        EXPECT_EQ(stream.functions.tell(stream.data), 12);
        EXPECT_EQ(stream.functions.idle(stream.data), 1);
        EXPECT_EQ(stream.functions.close(stream.data), 0);
    }
}

}  // namespace
}  // namespace velk
