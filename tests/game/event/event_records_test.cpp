#include "game/event/event_records.h"

#include <vector>

#include <gtest/gtest.h>

#include "game/data/byte_writer.h"
#include "game/data/data_file_cursor.h"
#include "game/data/save_stream.h"

namespace velk {
namespace {

// A command with two arguments (code 121, value -2), indent 3, one string
// "ab", and a route (stored options 1 2 3 0 4 5 = 07 08 09 06 0A 0B) of one
// move command: code 5, one argument 258, text "x".
const std::vector<uint8_t> kCommandBytes = {
    0x02, 0x79, 0x00, 0x00, 0x00, 0xFE, 0xFF, 0xFF, 0xFF,  // 2 arguments
    0x03,                                                  // indent
    0x01, 0x03, 0x00, 0x00, 0x00, 'a',  'b',  0x00,        // one string
    0x01,                                                  // route follows
    0x07, 0x08, 0x09, 0x06, 0x0A, 0x0B,                    // options
    0x01, 0x00, 0x00, 0x00,                                // one move command
    0x05, 0x01, 0x02, 0x01, 0x00, 0x00, 0x02, 'x',  0x00,
};

EventCommand WorkedCommand() {
    EventCommand command;
    command.arguments = {121, -2};
    command.indent = 3;
    command.strings = {"ab"};
    MoveRoute route;
    route.options = {6, 7, 8, 9, 10, 11};
    route.commands.push_back({5, {258}, "x"});
    command.routes.push_back(route);
    return command;
}

TEST(EventRecords, ReadsAndWritesTheWorkedCommand) {
    DataFileCursor cursor(kCommandBytes);
    auto command = ReadEventCommand(cursor);
    ASSERT_TRUE(command);
    EXPECT_EQ(*command, WorkedCommand());
    EXPECT_EQ(cursor.remaining(), 0u);

    ByteWriter out;
    WriteEventCommand(out, WorkedCommand());
    EXPECT_EQ(out.Bytes(), kCommandBytes);
}

TEST(EventRecords, EmptyListsAndDefaults) {
    // No arguments, no strings, no route: an empty argument list, not the
    // one-zero default of a new command.
    const std::vector<uint8_t> bytes = {0x00, 0x00, 0x00, 0x00};
    DataFileCursor cursor(bytes);
    auto command = ReadEventCommand(cursor);
    ASSERT_TRUE(command);
    EXPECT_TRUE(command->arguments.empty());
    EXPECT_TRUE(command->routes.empty());
    EXPECT_EQ(command->Code(), 0);

    // An empty move text is stored as one zero byte.
    ByteWriter out;
    WriteMoveCommand(out, MoveCommand{9, {}, ""});
    EXPECT_EQ(out.Bytes(), (std::vector<uint8_t>{0x09, 0x00, 0x01, 0x00}));
    // A route flag above 1 still means one route.
    std::vector<uint8_t> flagged = {0x00, 0x00, 0x00, 0x02, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    DataFileCursor flaggedCursor(flagged);
    auto routed = ReadEventCommand(flaggedCursor);
    ASSERT_TRUE(routed);
    ASSERT_EQ(routed->routes.size(), 1u);
    EXPECT_EQ(routed->routes[0].options, (std::array<uint8_t, 6>{0, 0, 0, 0, 0, 0}));
}

TEST(EventRecords, EveryCutOfTheWorkedCommandIsDamaged) {
    for (size_t size = 0; size < kCommandBytes.size(); ++size) {
        std::vector<uint8_t> cut(kCommandBytes.begin(), kCommandBytes.begin() + size);
        DataFileCursor cursor(cut);
        EXPECT_FALSE(ReadEventCommand(cursor)) << size;
    }
}

TEST(EventRecords, RouteCommandCountLimit) {
    // 65537 commands are refused before anything is read; 65536 are read.
    for (uint32_t count : {65536u, 65537u}) {
        ByteWriter out;
        for (int i = 0; i < 6; ++i)
            out.WriteU8(0);
        out.WriteU32(count);
        for (uint32_t i = 0; i < count; ++i)
            WriteMoveCommand(out, MoveCommand{1, {}, ""});
        DataFileCursor cursor(out.Bytes());
        auto route = ReadMoveRoute(cursor);
        EXPECT_EQ(route.has_value(), count == 65536u);
        if (route) {
            EXPECT_EQ(route->commands.size(), 65536u);
        }
    }
    // A count the bytes cannot hold is refused without sizing a list from it.
    std::vector<uint8_t> huge = {0, 0, 0, 0, 0, 0, 0x00, 0x00, 0x01, 0x00};
    DataFileCursor cursor(huge);
    EXPECT_FALSE(ReadMoveRoute(cursor));
}

TEST(EventRecords, RoutesInSavesSetTheErrorFlagWhenShort) {
    ByteWriter out;
    WriteMoveRoute(out, WorkedCommand().routes[0]);
    auto bytes = out.Bytes();
    {
        SaveStream save(bytes);
        auto route = ReadMoveRoute(save);
        ASSERT_TRUE(route);
        EXPECT_EQ(*route, WorkedCommand().routes[0]);
        EXPECT_FALSE(save.errorFlag);
    }
    bytes.pop_back();
    SaveStream save(bytes);
    EXPECT_FALSE(ReadMoveRoute(save));
    EXPECT_TRUE(save.errorFlag);
}

TEST(EventRecords, LongMoveTextIsCutToWhatOneByteCounts) {
    ByteWriter out;
    WriteMoveCommand(out, MoveCommand{2, {}, std::string(300, 'q')});
    ASSERT_EQ(out.Size(), 258u);  // code, count, length, 254 bytes, zero
    EXPECT_EQ(out.Bytes()[2], 255);
    DataFileCursor cursor(out.Bytes());
    auto command = ReadMoveCommand(cursor);
    ASSERT_TRUE(command);
    EXPECT_EQ(command->text, std::string(254, 'q'));
}

}  // namespace
}  // namespace velk
