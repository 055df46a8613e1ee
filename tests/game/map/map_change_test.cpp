#include <gtest/gtest.h>

#include "game/data/byte_writer.h"
#include "game/data/databases.h"
#include "game/data/save_stream.h"
#include "game/map/map_state.h"
#include "game/map/map_texts.h"
#include "tests/game/data/data_test_support.h"
#include "tests/game/map/map_test_support.h"
#include "tests/support/scratch_dir.h"

namespace velk {
namespace {

constexpr char kGame[] = R"(
database system
  type "Maps"
    item string "File"
    item number "BGM"
    item number "BGS"
    item number "Loop"
    item number "Panorama"
    item string "BGM file"
    item string "BGS file"
    item string "Panorama text"
    data "Town" "MapData\\Town.mps" 3 -3 1 5 "" "rain.ogg" ""
    data "Cave" "MapData\\Cave.mps" -2 -1 3 -3 "" "" "cave.png\n0\n0\n1"
    data "Lost" "MapData\\Lost.mps" 0 0 0 0 "" "" ""
    data "Odd" "MapData\\Cave.mps" -1 -1 2 -3 "" "" "x"
map "MapData\\Town.mps"
  tileset 1
  size 25 20
  tile 0 1 1 7
  event 3 "b" 1 1
    page
  event 1 "a" 2 4
    page
map "MapData\\Cave.mps"
  tileset 5
  size 5 5
tilesets
  tileset "Zero"
  tileset "One"
    images "base.png" "a1.png" "" "" "" "" "" "a7.png"
    terrain 0 1 2 3 4 5 6 7 9
    flags 0 0 0 0 0 0 0 0 15
)";

struct Call {
    MapSoundKind kind;
    int32_t number;
    std::string file;
    bool operator==(const Call&) const = default;
};

struct RecordingSound : MapSoundPlayer {
    void Play(MapSoundKind kind, int32_t number, int32_t fade, int32_t option) override {
        EXPECT_EQ(fade, 5);
        calls.push_back({kind, number, ""});
    }
    int32_t AddSoundFile(MapSoundKind kind, const std::string& file, int32_t fade, int32_t option, int32_t volume,
                         int32_t frequency) override {
        EXPECT_EQ(volume, 100);
        calls.push_back({kind, -100, file});
        return 7;
    }
    std::vector<Call> calls;
};

class MapChange : public ::testing::Test {
protected:
    void SetUp() override {
        testing::WriteDescribedGame(kGame, scratch_.path());
        GlobalDatabases().system = Database();
        ASSERT_TRUE(GlobalDatabases().system.Load(kSystemDatabaseName));
        GlobalPanoramaSelection() = PanoramaSelection();
    }

    testing::ScratchDir scratch_;
    testing::InFolder inside_{scratch_.path()};
    testing::RecordingReporter reporter_;
};

TEST_F(MapChange, TakesTheMapItsTilesetEventsLoopAndPanorama) {
    MapState state{MapSettings()};
    ASSERT_EQ(state.tilesets.GetCount(), 2);
    ASSERT_TRUE(state.LoadMap(0));
    EXPECT_EQ(state.mapId, 0);
    EXPECT_EQ(state.GetWidth(), 25);
    EXPECT_EQ(state.map.Tile(0, 1, 1), 7);
    EXPECT_EQ(state.baseImageName, "base.png");
    EXPECT_EQ(state.autoTileImageNames[0], "a1.png");
    EXPECT_EQ(state.autoTileImageNames[6], "a7.png");
    EXPECT_EQ(state.tileFlags.back(), 15);
    EXPECT_EQ(state.loadedTileFlags, state.tileFlags);
    EXPECT_EQ(state.terrainTags.back(), 9);
    ASSERT_EQ(state.events.size(), 2u);
    EXPECT_EQ(state.events[0].data.id, 1);
    EXPECT_EQ(state.events[0].gridY, 8);
    EXPECT_EQ(state.events[1].data.id, 3);
    EXPECT_TRUE(state.loopX);
    EXPECT_FALSE(state.loopY);
    EXPECT_EQ(GlobalPanoramaSelection().number, 5);

    RecordingSound sound;
    state.links.sound = &sound;
    state.PlayMapSound();
    EXPECT_EQ(sound.calls, (std::vector<Call>{{MapSoundKind::kMusic, 3, ""},
                                              {MapSoundKind::kBackgroundSound, -100, "rain.ogg"},
                                              {MapSoundKind::kBackgroundSound, 7, ""}}));
    // The cave keeps the music (-2) and stops the background sound (-1).
    sound.calls.clear();
    ASSERT_TRUE(state.LoadMap(1));
    state.PlayMapSound();
    EXPECT_EQ(sound.calls, (std::vector<Call>{{MapSoundKind::kBackgroundSound, -1, ""}}));
    EXPECT_TRUE(reporter_.messages.empty());
    EXPECT_TRUE(reporter_.boxes.empty());
}

TEST_F(MapChange, ATilesetOutsideTheListLeavesAnEmptyOne) {
    MapState state{MapSettings()};
    ASSERT_TRUE(state.LoadMap(1));
    EXPECT_EQ(state.tileFlags, std::vector<int32_t>(8, 0));
    EXPECT_EQ(state.baseImageName, "");
    EXPECT_TRUE(state.loopX && state.loopY);
    EXPECT_TRUE(GlobalPanoramaSelection().fromText);
    EXPECT_EQ(GlobalPanoramaSelection().text, "cave.png\n0\n0\n1");

    ASSERT_TRUE(state.LoadMap(3));
    EXPECT_FALSE(GlobalPanoramaSelection().fromText);
    EXPECT_EQ(GlobalPanoramaSelection().number, -1);
    EXPECT_TRUE(state.loopY && !state.loopX);
}

TEST_F(MapChange, AMissingMapFailsWithAnEmptyMap) {
    MapState state{MapSettings()};
    ASSERT_TRUE(state.LoadMap(0));
    EXPECT_FALSE(state.LoadMap(2));
    ASSERT_EQ(reporter_.messages.size(), 1u);
    EXPECT_EQ(reporter_.messages[0].line2, texts::kReadErrorCaption);
    EXPECT_EQ(state.GetWidth(), 20);
    EXPECT_EQ(state.map.layers[0].size(), 300u);
    EXPECT_EQ(state.GetTileIndex(2, 2, 0), 0);
}

TEST_F(MapChange, SavePartRoundTripsWithoutTouchingTheGame) {
    MapState state{MapSettings()};
    ASSERT_TRUE(state.LoadMap(0));
    state.scrollX = 44;
    state.scrollY = -3;
    state.ChangeMapTiles(2, 3, 3, 2, 2, 4);
    state.SetTileFlag(8, 0x80);
    state.savedIntegers = {5, -6};
    state.events[1].graphicFileName = std::string(300, 'g');
    state.events[1].extraInts = {1, 2, 3};
    state.events[1].currentRoute.commands.resize(2);
    ByteWriter out;
    ASSERT_TRUE(state.WriteSave(out));
    const std::vector<uint8_t> bytes = out.Take();

    GlobalPanoramaSelection().number = 42;
    MapState copy{MapSettings()};
    SaveStream save(bytes);
    ASSERT_TRUE(copy.ReadSave(save, false));
    EXPECT_FALSE(save.errorFlag);
    EXPECT_EQ(save.Position(), bytes.size());
    EXPECT_EQ(GlobalPanoramaSelection().number, 42);
    EXPECT_EQ(copy.scrollX, 44);
    EXPECT_EQ(copy.scrollY, -3);
    EXPECT_EQ(copy.map.layers[2], state.map.layers[2]);
    EXPECT_EQ(copy.tileFlags, state.tileFlags);
    EXPECT_EQ(copy.baseImageName, "base.png");
    EXPECT_EQ(copy.savedIntegers, state.savedIntegers);
    ASSERT_EQ(copy.events.size(), 2u);
    EXPECT_EQ(copy.events[1].graphicFileName, state.events[1].graphicFileName);
    EXPECT_EQ(copy.events[1].extraInts, state.events[1].extraInts);
    EXPECT_EQ(copy.events[1].currentRoute, state.events[1].currentRoute);

    for (size_t length = 0; length < bytes.size(); length += (length < 64 ? 1 : 97)) {
        SaveStream cut(std::vector<uint8_t>(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(length)));
        MapState target{MapSettings()};
        EXPECT_FALSE(target.ReadSave(cut, false)) << length;
        EXPECT_TRUE(cut.errorFlag) << length;
    }
    EXPECT_TRUE(reporter_.messages.empty());
}

TEST_F(MapChange, SavedLayersKeepTheirOwnSize) {
    MapState state{MapSettings()};
    ASSERT_TRUE(state.LoadMap(1));
    // The map as it was when the game was saved: smaller than its file now.
    state.map.header.width = 3;
    state.map.header.height = 2;
    state.map.Clear();
    state.map.Tile(1, 2, 1) = 9;
    ByteWriter out;
    state.WriteSave(out);
    MapState loaded{MapSettings()};
    SaveStream save(out.Take());
    ASSERT_TRUE(loaded.ReadSave(save, true));
    EXPECT_EQ(loaded.GetWidth(), 3);
    EXPECT_EQ(loaded.GetHeight(), 2);
    EXPECT_EQ(loaded.map.layers[1].size(), 6u);
    EXPECT_EQ(loaded.map.Tile(1, 2, 1), 9);
    EXPECT_EQ(loaded.GetTileIndex(5, 3, 1), 17);

    // A save made on a map whose file is gone, or that the map list no
    // longer holds: refused quietly when not live.
    for (int32_t id : {2, 99, -1}) {
        ByteWriter lost;
        lost.WriteI32(id);
        SaveStream refused(lost.Take());
        EXPECT_FALSE(loaded.ReadSave(refused, false));
        EXPECT_TRUE(refused.errorFlag);
        EXPECT_EQ(loaded.map.layers[0].size(), 300u);
    }
    EXPECT_TRUE(reporter_.messages.empty());
    EXPECT_TRUE(reporter_.boxes.empty());
}

// Map parts of older saves, laid out field by field: the view values came
// with version 100 (one byte stood there before), the cells with their
// tileset names and flags with 105.
TEST_F(MapChange, ReadsTheMapPartOfOlderSaves) {
    MapState file{MapSettings()};
    ASSERT_TRUE(file.LoadMap(0));
    for (bool live : {true, false}) {
        for (uint16_t version : {99, 100, 104, 105}) {
            testing::Bytes part;
            part.U32(0);
            if (version <= 99) {
                part.U8(0xEE);
            } else {
                part.U32(12).U32(8).U32(2).U32(1);
            }
            if (version >= 105) {
                for (uint32_t tile : {3u, 4u, 5u, 6u, 100000u, 9u})
                    part.U32(tile);
                part.Text("old.png");
                for (int i = 0; i < 7; ++i)
                    part.Text(i == 2 ? "water.png" : "");
                part.U32(2).U32(0x10).U32(15);
            }
            part.U32(0).U32(2).U32(7).U32(0xFFFFFFFF);
            SaveStream save(part.data);
            save.version = version;
            MapState loaded{MapSettings()};
            loaded.scrollX = 99;
            ASSERT_TRUE(loaded.ReadSave(save, live)) << version;
            EXPECT_FALSE(save.errorFlag);
            EXPECT_EQ(save.Position(), part.data.size()) << version;
            EXPECT_EQ(loaded.mapId, 0);
            EXPECT_EQ(loaded.savedIntegers, (std::vector<int32_t>{7, -1})) << version;
            ASSERT_EQ(loaded.events.size(), 2u);
            if (version < 100) {
                EXPECT_EQ(loaded.scrollX, 0);
                EXPECT_EQ(loaded.scrollY, 0);
            } else {
                EXPECT_EQ(loaded.scrollX, 12) << version;
                EXPECT_EQ(loaded.scrollY, 8) << version;
            }
            if (version < 105) {
                // The cells, names and flags as the map file and its tileset give them.
                EXPECT_EQ(loaded.GetWidth(), 25) << version;
                EXPECT_EQ(loaded.GetHeight(), 20);
                for (int layer = 0; layer < 3; ++layer)
                    EXPECT_EQ(loaded.map.layers[layer], file.map.layers[layer]);
                EXPECT_EQ(loaded.baseImageName, "base.png");
                EXPECT_EQ(loaded.autoTileImageNames[0], "a1.png");
                EXPECT_EQ(loaded.tileFlags, file.tileFlags);
            } else {
                EXPECT_EQ(loaded.GetWidth(), 2);
                EXPECT_EQ(loaded.GetHeight(), 1);
                EXPECT_EQ(loaded.map.Tile(0, 1, 0), 4);
                EXPECT_EQ(loaded.map.Tile(2, 0, 0), 100000);
                EXPECT_EQ(loaded.map.Tile(2, 1, 0), 9);
                EXPECT_EQ(loaded.baseImageName, "old.png");
                EXPECT_EQ(loaded.autoTileImageNames[0], "");
                EXPECT_EQ(loaded.autoTileImageNames[2], "water.png");
                EXPECT_EQ(loaded.tileFlags, (std::vector<int32_t>{0x10, 15}));
            }

            // One byte short anywhere is damage, whatever the version.
            for (size_t length = 0; length < part.data.size(); ++length) {
                SaveStream cut(
                    std::vector<uint8_t>(part.data.begin(), part.data.begin() + static_cast<std::ptrdiff_t>(length)));
                cut.version = version;
                MapState target{MapSettings()};
                EXPECT_FALSE(target.ReadSave(cut, live)) << version << " " << length;
                EXPECT_TRUE(cut.errorFlag);
            }
        }
    }
}

}  // namespace
}  // namespace velk
