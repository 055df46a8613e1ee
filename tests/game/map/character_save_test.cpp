// A character's part of a save: every field at its place in bytes worked out
// by hand, and every field read back into its own member.
#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

#include "game/data/byte_writer.h"
#include "game/data/save_stream.h"
#include "game/map/character.h"

namespace velk {
namespace {

void Put(std::vector<uint8_t>& bytes, uint32_t value, int size) {
    for (int i = 0; i < size; ++i)
        bytes.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

// Every saved field holds a value no other field holds.
Character Distinct() {
    Character c;
    c.id = 7;
    c.gridX = 11;
    c.gridY = 13;
    c.height = 17;
    c.erased = 5;
    c.graphicTileNumber = 19;
    c.graphicFileName = "walker.png";
    c.opacity = 23;
    c.blendMode = 3;
    c.facing = 8;
    c.pattern = 2;
    c.forcedRoute = 6;
    c.passThrough = 4;
    c.currentRoute.options = {1, 2, 5, 4, 0x11, 3};
    c.currentRoute.commands = {MoveCommand{3, {}, ""}};
    c.suspendedRoute.options = {9, 10, 12, 14, 0x20, 1};
    c.suspendedRoute.commands = {MoveCommand{40, {5, -6}, "ab"}};
    c.moveType = 29;
    c.moveSpeed = 31;
    c.moveFrequency = 37;
    c.animationSpeed = 41;
    c.routeIndex = 43;
    c.suspendedIndex = 47;
    c.fixedFacing = 15;
    c.drawAbove = 16;
    c.turnedForEvent = 18;
    c.extraInts = {-3, 1000000};
    return c;
}

TEST(CharacterSave, EveryFieldHasItsPlace) {
    std::vector<uint8_t> expected;
    for (uint32_t value : {7u, 11u, 13u, 17u})  // id, grid x and y, height
        Put(expected, value, 4);
    Put(expected, 5, 1);   // erased
    Put(expected, 19, 4);  // graphic tile
    Put(expected, 11, 2);  // the name's length with its terminator
    for (char ch : std::string("walker.png"))
        expected.push_back(static_cast<uint8_t>(ch));
    expected.push_back(0);
    for (uint32_t value : {23u, 3u, 8u, 2u})  // opacity, blend, facing, pattern
        Put(expected, value, 2);
    Put(expected, 6, 1);  // forced route
    Put(expected, 4, 1);  // pass-through
    // Each route's options in the order animation speed, move speed, move
    // frequency, move type, page bits, route bits; then its commands.
    for (uint8_t b : {2, 5, 4, 1, 0x11, 3})
        expected.push_back(static_cast<uint8_t>(b));
    Put(expected, 1, 4);
    for (uint8_t b : {3, 0, 1, 0})  // code, no arguments, an empty text
        expected.push_back(static_cast<uint8_t>(b));
    for (uint8_t b : {10, 12, 14, 9, 0x20, 1})
        expected.push_back(static_cast<uint8_t>(b));
    Put(expected, 1, 4);
    Put(expected, 40, 1);
    Put(expected, 2, 1);
    Put(expected, 5, 4);
    Put(expected, static_cast<uint32_t>(-6), 4);
    for (int b : {3, int{'a'}, int{'b'}, 0})
        expected.push_back(static_cast<uint8_t>(b));
    // Type, speed, frequency, animation speed; the route indexes.
    for (uint32_t value : {29u, 31u, 37u, 41u, 43u, 47u})
        Put(expected, value, 2);
    for (uint8_t b : {15, 16, 18})  // fixed facing, draw above, turned for an event
        expected.push_back(static_cast<uint8_t>(b));
    Put(expected, 2, 4);
    Put(expected, static_cast<uint32_t>(-3), 4);
    Put(expected, 1000000, 4);

    ByteWriter out;
    Distinct().WriteSave(out);
    EXPECT_EQ(out.Bytes(), expected);
}

TEST(CharacterSave, EveryFieldComesBackIntoItsOwnMember) {
    const Character saved = Distinct();
    ByteWriter out;
    saved.WriteSave(out);
    SaveStream in(out.Bytes());
    Character c;
    ASSERT_TRUE(c.ReadSave(in));
    EXPECT_FALSE(in.errorFlag);
    EXPECT_EQ(c.id, 7);
    EXPECT_EQ(c.gridX, 11);
    EXPECT_EQ(c.gridY, 13);
    EXPECT_EQ(c.height, 17);
    EXPECT_EQ(c.erased, 5);
    EXPECT_EQ(c.graphicTileNumber, 19);
    EXPECT_EQ(c.graphicFileName, "walker.png");
    EXPECT_EQ(c.opacity, 23);
    EXPECT_EQ(c.blendMode, 3);
    EXPECT_EQ(c.facing, 8);
    EXPECT_EQ(c.pattern, 2);
    EXPECT_EQ(c.forcedRoute, 6);
    EXPECT_EQ(c.passThrough, 4);
    EXPECT_EQ(c.currentRoute, saved.currentRoute);
    EXPECT_EQ(c.suspendedRoute, saved.suspendedRoute);
    EXPECT_EQ(c.moveType, 29);
    EXPECT_EQ(c.moveSpeed, 31);
    EXPECT_EQ(c.moveFrequency, 37);
    EXPECT_EQ(c.animationSpeed, 41);
    EXPECT_EQ(c.routeIndex, 43);
    EXPECT_EQ(c.suspendedIndex, 47);
    EXPECT_EQ(c.fixedFacing, 15);
    EXPECT_EQ(c.drawAbove, 16);
    EXPECT_EQ(c.turnedForEvent, 18);
    EXPECT_EQ(c.extraInts, (std::vector<int32_t>{-3, 1000000}));
    EXPECT_EQ(in.Position(), out.Bytes().size()) << "the reader took every byte";
}

}  // namespace
}  // namespace velk
