// A map state saved before any map was read (a slot written by a slot-value
// command, or a save made on the title) reads back without a map file.

#include <gtest/gtest.h>

#include "game/data/byte_writer.h"
#include "game/data/save_stream.h"
#include "game/map/map_state.h"
#include "tests/game/data/data_test_support.h"
#include "tests/game/map/map_test_support.h"

namespace velk::testing {
namespace {

TEST(MapSaveWithoutMap, ReadsBackWithoutAMapFile) {
    RecordingReporter reporter;
    MapState fresh{MapSettings()};
    fresh.savedIntegers = {4};
    ByteWriter out;
    ASSERT_TRUE(fresh.WriteSave(out));
    // A fresh map is a 20 x 15 map of empty cells, kept as it is.
    Bytes expected;
    expected.U32(0xFFFFFFFF).U32(0).U32(0).U32(20).U32(15);
    for (int layer = 0; layer < 3; ++layer) {
        for (int cell = 0; cell < 300; ++cell) expected.U32(static_cast<uint32_t>(fresh.map.layers[layer][cell]));
    }
    for (int i = 0; i < 8; ++i) expected.Text("");
    expected.U32(static_cast<uint32_t>(fresh.tileFlags.size()));
    for (int32_t flags : fresh.tileFlags) expected.U32(static_cast<uint32_t>(flags));
    expected.U32(0).U32(1).U32(4);
    EXPECT_EQ(out.Bytes(), expected.data);

    for (bool live : {false, true}) {
        MapState loaded{MapSettings()};
        loaded.scrollX = 9;
        SaveStream in(out.Bytes());
        ASSERT_TRUE(loaded.ReadSave(in, live)) << live;
        EXPECT_EQ(in.Position(), out.Bytes().size());
        EXPECT_EQ(loaded.mapId, -1);
        EXPECT_EQ(loaded.scrollX, 0);
        EXPECT_EQ(loaded.savedIntegers, (std::vector<int32_t>{4}));
    }
    EXPECT_TRUE(reporter.boxes.empty());
    EXPECT_TRUE(reporter.messages.empty());

    // Sizes below zero are damage.
    Bytes sized;
    sized.U32(0xFFFFFFFF).U32(0).U32(0).U32(0xFFFFFFFF).U32(0);
    SaveStream negative(sized.data);
    MapState target{MapSettings()};
    EXPECT_FALSE(target.ReadSave(negative, false));
    EXPECT_TRUE(negative.errorFlag);
}

}  // namespace
}  // namespace velk::testing
