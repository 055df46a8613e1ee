// Save files: names, the bytes of a written file worked out by hand, a file
// laid out by hand read back, round trips of every part through the live
// game, and files that are short, damaged, of another game or that cannot be
// written.

#include <gtest/gtest.h>

#include "game/data/data_container.h"
#include "game/data/game_file_source.h"
#include "game/data/random_source.h"
#include "game/map/hero.h"
#include "tests/game/shell/save_test_support.h"

namespace velk::testing {
namespace {

// Little-endian fields laid out by hand.
struct Layout {
    std::vector<uint8_t> bytes;
    Layout& U8(uint32_t value) {
        bytes.push_back(static_cast<uint8_t>(value));
        return *this;
    }
    Layout& U16(uint32_t value) { return U8(value).U8(value >> 8); }
    Layout& U32(uint32_t value) { return U16(value).U16(value >> 16); }
    Layout& Text(const std::string& text) {
        U32(static_cast<uint32_t>(text.size() + 1));
        bytes.insert(bytes.end(), text.begin(), text.end());
        return U8(0);
    }
    Layout& Add(const std::vector<uint8_t>& more) {
        bytes.insert(bytes.end(), more.begin(), more.end());
        return *this;
    }
};

// The map part of a game without a map: id -1, no scroll, no cells, eight
// empty image names, no flags, events or kept values.
std::vector<uint8_t> NoMapPart() {
    Layout part;
    part.U32(0xFFFFFFFF).U32(0).U32(0).U32(0).U32(0);
    for (int i = 0; i < 8; ++i) part.Text("");
    part.U32(0).U32(0).U32(0);
    return part.bytes;
}

// The changeable database of the fixture: kinds 1000, 2000, 1001, 3000 give
// two numbers and one string per row.
std::vector<uint8_t> DatabasePart() {
    Layout part;
    part.U8(111).U32(1);
    part.U32(static_cast<uint32_t>(-2)).U32(1).U32(4).U32(1000).U32(2000).U32(1001).U32(3000);
    part.U32(2).U32(5).U32(6).Text("five").U32(7).U32(8).Text("seven");
    return part.bytes;
}

class SaveFileTest : public SaveTest {
protected:
    std::vector<uint8_t> InterpreterPart() {
        SaveStream stream;
        main_.WriteSave(stream, databases_.system.GetDataCount(1), databases_.system.GetDataCount(2));
        return stream.Bytes();
    }
    std::vector<uint8_t> VariablePart() {
        SaveStream stream;
        variables_.WriteSave(stream);
        return stream.Bytes();
    }
    // A whole plain file (all seeds 0) with this body after the identity.
    std::vector<uint8_t> PlainFile(const std::string& title, const std::vector<uint8_t>& parts) {
        Layout file;
        file.bytes.assign(20, 0);
        file.U8(25).U16(static_cast<uint32_t>(title.size() + 1));
        file.bytes.insert(file.bytes.end(), title.begin(), title.end());
        file.U8(0).U16(111).Add(parts);
        return file.bytes;
    }
    std::vector<uint8_t> GoodParts() {
        Layout parts;
        parts.Add(NoMapPart()).Add(InterpreterPart()).Add(VariablePart());
        parts.U32(2).U32(11).U32(22);  // the hero: two values
        parts.U16(0);                  // no pictures
        parts.Add(DatabasePart()).U8(0).U8(25);
        return parts.bytes;
    }

    // What a load must leave alone when it refuses a file.
    struct Live {
        int32_t variable, cell, lastSlot;
        std::vector<int32_t> hero;
        size_t pictures;
        bool operator==(const Live&) const = default;
    };
    Live Observe() {
        return {variables_.GetInt(2000003), databases_.changeable.GetInt(0, 1, 0),
                variables_.GetSystemVariable(kSystemVariableLastSlot), hero_.values, pictures_.Pictures().size()};
    }
};

TEST(SaveFilePathTest, SlotsAndPrefixes) {
    EXPECT_EQ(SaveFilePath(7, "Save\\SaveData"), "Save\\SaveData07.sav");
    EXPECT_EQ(SaveFilePath(123, "Save\\SaveData"), "Save\\SaveData123.sav");
    EXPECT_EQ(SaveFilePath(0, "Save\\Quick.sav"), "Save\\Quick.sav");
    EXPECT_EQ(SaveFilePath(3, "Save\\SaveData"), "Save\\SaveData03.sav");
}

TEST_F(SaveFileTest, APlainFileHasTheLayoutWorkedOutByHand) {
    seeds_ = {0, 0, 0};
    variables_.SetInt(2000003, 77);
    variables_.SetSystemVariable(kSystemVariableLastSlot, 3);
    hero_.values = {11, 22};
    ASSERT_TRUE(Cache().Save(3, true, "Save\\SaveData"));
    std::vector<uint8_t> file = FileBytes("SaveData03.sav");
    const std::vector<uint8_t> expected = PlainFile(kTitle, GoodParts());
    ASSERT_EQ(file.size(), expected.size());
    // Seeds and the sum are 0 in a plain file, and so are bytes 6 and 8; the
    // rest of the header is filler.
    for (size_t i : {0, 2, 3, 6, 8, 9}) EXPECT_EQ(file[i], 0) << i;
    EXPECT_TRUE(std::equal(file.begin() + 20, file.end(), expected.begin() + 20));
    // The identity of a 10-byte title.
    EXPECT_EQ(std::vector<uint8_t>(file.begin() + 20, file.begin() + 36),
              (std::vector<uint8_t>{25, 11, 0, 'T', 'e', 'n', ' ', 'B', 'y', 't', 'e', 's', '!', 0, 111, 0}));
    EXPECT_EQ(variables_.GetSystemVariable(kSystemVariableLastSlot), 3);
}

TEST_F(SaveFileTest, AScrambledFileCarriesItsSeedsAndTheSumOfThePlainBody) {
    variables_.SetInt(2000003, 77);
    variables_.SetSystemVariable(kSystemVariableLastSlot, 3);
    hero_.values = {11, 22};
    ASSERT_TRUE(Cache().Save(3, true, "Save\\SaveData"));
    std::vector<uint8_t> file = FileBytes("SaveData03.sav");
    EXPECT_EQ(file[0], 0x12);
    EXPECT_EQ(file[3], 0x34);
    EXPECT_EQ(file[9], 0x56);
    const std::vector<uint8_t> plain = PlainFile(kTitle, GoodParts());
    EXPECT_EQ(file[2], SumBytes(plain, 20, plain.size()));
    ASSERT_TRUE(UnscrambleContainer(file, kMapFileLayout));
    EXPECT_TRUE(std::equal(file.begin() + 20, file.end(), plain.begin() + 20));
}

TEST_F(SaveFileTest, AFileLaidOutByHandIsReadIntoTheCacheOnly) {
    variables_.SetInt(2000003, 77);
    variables_.SetSystemVariable(10, 4);
    PutFile("SaveData05.sav", PlainFile(kTitle, GoodParts()));
    variables_.SetInt(2000003, 1);
    EXPECT_EQ(Cache().GetSlotInt(5, 2000003, "Save\\SaveData"), 77);
    EXPECT_EQ(Cache().GetSlotInt(5, kSystemVariableBase + 10, "Save\\SaveData"), 4);
    EXPECT_EQ(Cache().GetSlotInt(5, kSystemVariableBase + kSystemVariableSaved, "Save\\SaveData"), 1);
    EXPECT_EQ(Cache().GetSlotString(5, DatabaseCellId(kChangeableDatabaseBase, 0, 1, 1), 0, "Save\\SaveData"),
              "seven");
    EXPECT_EQ(Cache().GetSlotInt(5, DatabaseCellId(kChangeableDatabaseBase, 0, 0, 2), "Save\\SaveData"), 6);
    // The live game is as it was.
    EXPECT_EQ(variables_.GetInt(2000003), 1);
    EXPECT_TRUE(reporter_.boxes.empty());
}

TEST_F(SaveFileTest, EveryPartRoundTripsThroughTheLiveGame) {
    variables_.SetInt(2000003, 77);
    variables_.SetString(kStringBase + 1, "kept text");
    variables_.SetSystemVariable(10, 4);
    main_.transitionFrames = 45;
    hero_.values = {1, 2, 3};
    pictures_.Show(4, 4, "pic.png", At(10, 20), 0, false);
    databases_.changeable.SetInt(0, 1, 0, 99);
    // Rows of a type without items take no bytes, however many there are.
    DbTypeData& itemless = databases_.changeable.types.emplace_back();
    itemless.itemKinds.clear();
    itemless.rows.assign(70000, DbRow{{}, {}});
    map_.savedIntegers = {8, 9};
    variables_.SetSystemVariable(kSystemVariableLastSlot, 3);
    ASSERT_TRUE(Cache().Save(3, true, "Save\\SaveData"));
    const std::vector<uint8_t> first = FileBytes("SaveData03.sav");

    variables_.SetInt(2000003, 1);
    variables_.SetString(kStringBase + 1, "changed");
    variables_.SetSystemVariable(10, 0);
    main_.transitionFrames = 1;
    hero_.values.clear();
    pictures_.Clear(false);
    databases_.changeable.SetInt(0, 1, 0, 0);
    databases_.changeable.types.back().rows.clear();
    map_.savedIntegers.clear();

    ASSERT_TRUE(Cache().Load(3, true, false, "Save\\SaveData"));
    EXPECT_TRUE(reporter_.boxes.empty());
    EXPECT_EQ(variables_.GetInt(2000003), 77);
    EXPECT_EQ(variables_.GetString(kStringBase + 1), "kept text");
    EXPECT_EQ(variables_.GetSystemVariable(10), 4);
    EXPECT_EQ(variables_.GetSystemVariable(kSystemVariableLastSlot), 3);
    EXPECT_EQ(main_.transitionFrames, 45);
    EXPECT_EQ(hero_.values, (std::vector<int32_t>{1, 2, 3}));
    ASSERT_EQ(pictures_.Pictures().size(), 1u);
    EXPECT_EQ(pictures_.Pictures()[0].xTarget, 10);
    EXPECT_EQ(databases_.changeable.GetInt(0, 1, 0), 99);
    EXPECT_EQ(databases_.changeable.types.back().rows.size(), 70000u);
    EXPECT_EQ(map_.mapId, -1);
    EXPECT_EQ(map_.savedIntegers, (std::vector<int32_t>{8, 9}));
    EXPECT_EQ(map_.refreshPagesFlag, 1);

    // Saved again, the restored game gives the same body.
    seeds_ = {0x12, 0x34, 0x56};
    ASSERT_TRUE(Cache().Save(3, true, "Save\\SaveData"));
    std::vector<uint8_t> second = FileBytes("SaveData03.sav");
    EXPECT_TRUE(std::equal(first.begin() + 20, first.end(), second.begin() + 20, second.end()));
}

// Refused files, each in load mode over a game that must not change.
struct RefusedCase {
    const char* name;
    std::function<std::vector<uint8_t>(std::vector<uint8_t> good)> damage;
    // The first line of the box, empty for none.
    const char* box;
};

TEST_F(SaveFileTest, ARefusedFileLeavesTheLiveGameAsItWas) {
    seeds_ = {0, 0, 0};
    variables_.SetInt(2000003, 77);
    hero_.values = {11, 22};
    ASSERT_TRUE(Cache().Save(4, true, "Save\\SaveData"));
    const std::vector<uint8_t> good = FileBytes("SaveData04.sav");
    const std::string damaged = Sjis("セーブデータ04が破損しています 0秒");
    const std::string foreign = Sjis("セーブエラー");
    auto otherTitle = [this](std::vector<uint8_t>) { return PlainFile("Ten Bytes?", GoodParts()); };
    const RefusedCase cases[] = {
        {"header only", [](std::vector<uint8_t> f) { f.resize(20); return f; }, ""},
        {"opening marker 26", [](std::vector<uint8_t> f) { f[20] = 26; return f; }, damaged.c_str()},
        {"closing marker 24", [](std::vector<uint8_t> f) { f.back() = 24; return f; }, damaged.c_str()},
        {"no closing marker", [](std::vector<uint8_t> f) { f.pop_back(); return f; }, ""},
        {"cut in the parts", [](std::vector<uint8_t> f) { f.resize(f.size() / 2); return f; }, damaged.c_str()},
        {"201 bytes left over",
         [](std::vector<uint8_t> f) {
             f.insert(f.end(), 200, 0);
             return f;
         },
         damaged.c_str()},
        {"a cut replay record", [](std::vector<uint8_t> f) { f[f.size() - 2] = 1; return f; }, damaged.c_str()},
        {"another game", otherTitle, foreign.c_str()},
        {"title length 0", [](std::vector<uint8_t> f) { f[21] = 0; f[22] = 0; return f; }, damaged.c_str()},
        {"title length 600", [](std::vector<uint8_t> f) { f[21] = 0x58; f[22] = 2; return f; }, damaged.c_str()},
        {"picture count beyond the data",
         [this](std::vector<uint8_t> f) {
             // The picture count follows the hero's three words.
             const size_t at = 20 + 16 + NoMapPart().size() + InterpreterPart().size() + VariablePart().size() + 12;
             f[at] = 0xFF;
             f[at + 1] = 0x7F;
             return f;
         },
         damaged.c_str()},
    };
    for (const RefusedCase& c : cases) {
        SCOPED_TRACE(c.name);
        variables_.SetInt(2000003, 5);
        hero_.values = {9};
        const Live before = Observe();
        reporter_.boxes.clear();
        PutFile("SaveData04.sav", c.damage(good));
        EXPECT_FALSE(Cache().Load(4, true, false, "Save\\SaveData"));
        EXPECT_EQ(Observe(), before);
        if (*c.box) {
            ASSERT_EQ(reporter_.boxes.size(), 1u);
            EXPECT_EQ(reporter_.boxes[0].line1, c.box);
        } else {
            EXPECT_TRUE(reporter_.boxes.empty());
        }
        // A slot read after it answers 0 (and, for damage, says so again).
        EXPECT_EQ(Cache().GetSlotInt(4, 2000003, "Save\\SaveData"), 0);
    }
    // 200 bytes left after the parts, the closing marker among them, are
    // accepted.
    std::vector<uint8_t> slack = good;
    slack.insert(slack.end(), 199, 0);
    PutFile("SaveData04.sav", slack);
    EXPECT_TRUE(Cache().Load(4, true, false, "Save\\SaveData"));
    EXPECT_EQ(variables_.GetInt(2000003), 77);
}

TEST_F(SaveFileTest, AFileWhoseSumDoesNotMatchIsDamagedAndTheGameGoesOn) {
    variables_.SetInt(2000003, 77);
    ASSERT_TRUE(Cache().Save(2, true, "Save\\SaveData"));
    std::vector<uint8_t> file = FileBytes("SaveData02.sav");
    file[2] ^= 0x01;
    PutFile("SaveData02.sav", file);
    variables_.SetInt(2000003, 5);
    EXPECT_FALSE(Cache().Load(2, true, false, "Save\\SaveData"));
    EXPECT_EQ(variables_.GetInt(2000003), 5);
    EXPECT_TRUE(reporter_.exitCodes.empty());
    ASSERT_EQ(reporter_.boxes.size(), 1u);
    EXPECT_EQ(reporter_.boxes[0].line1, Sjis("セーブデータ02が破損しています 0秒"));
}

TEST_F(SaveFileTest, ASaveWithoutChangeableDatabaseTypesIsNotLoaded) {
    databases_.changeable.types.clear();
    ASSERT_TRUE(Cache().Save(6, true, "Save\\SaveData"));
    databases_.changeable.types.emplace_back();
    variables_.SetInt(2000003, 5);
    EXPECT_FALSE(Cache().Load(6, true, false, "Save\\SaveData"));
    EXPECT_EQ(variables_.GetInt(2000003), 5);
    EXPECT_EQ(databases_.changeable.types.size(), 1u);
    ASSERT_EQ(reporter_.boxes.size(), 1u);
    EXPECT_EQ(reporter_.boxes[0].line1, Sjis("可変DB情報が保存されていないセーブデータを読み込みました、ロード処理中断"));
}

TEST_F(SaveFileTest, AFailedWriteKeepsTheOldFileWithoutTheFullDiskBox) {
    variables_.SetInt(2000003, 77);
    ASSERT_TRUE(Cache().Save(3, true, "Save\\SaveData"));
    const std::string old = SavedText("SaveData03.sav");
    variables_.SetSystemVariable(kSystemVariableLastSlot, 0);

    // A file that cannot be written while the disk has room: the writer
    // fails and leaves the old file in place, and the box blames the file,
    // not the disk.
    hooks_.writeFile = [](const std::string&, std::span<const uint8_t>) { return false; };
    cache_.reset();
    ASSERT_EQ(Cache().GetSlotInt(3, 2000003, "Save\\SaveData"), 77);
    variables_.SetInt(2000003, 1);
    EXPECT_FALSE(Cache().Save(3, true, "Save\\SaveData"));
    EXPECT_EQ(SavedText("SaveData03.sav"), old);
    EXPECT_EQ(variables_.GetSystemVariable(kSystemVariableLastSlot), 0);
    ASSERT_EQ(reporter_.boxes.size(), 1u);
    EXPECT_EQ(reporter_.boxes[0].line1, Sjis("セーブ処理エラー：セーブデータを書き込めませんでした"));
    // The slot's values and a load tell what the file holds.
    EXPECT_EQ(Cache().GetSlotInt(3, 2000003, "Save\\SaveData"), 77);
    ASSERT_TRUE(Cache().Load(3, true, false, "Save\\SaveData"));
    EXPECT_EQ(variables_.GetInt(2000003), 77);
}

TEST_F(SaveFileTest, ALinkOutOfTheGameFolderIsNotWrittenThrough) {
    std::filesystem::create_directory(scratch_.path() / "outside");
    std::filesystem::create_directory_symlink(scratch_.path() / "outside", scratch_.path() / "Save");
    EXPECT_FALSE(Cache().Save(3, true, "Save\\SaveData"));
    EXPECT_TRUE(std::filesystem::is_empty(scratch_.path() / "outside"));
}

TEST_F(SaveFileTest, ObjectsReplacedByALoadLiveUntilTheyAreDropped) {
    ASSERT_TRUE(Cache().Save(3, true, "Save\\SaveData"));
    map_.events.emplace_back(-1, MapEventData(5));
    const MapEvent* running = &map_.events[0];
    ASSERT_TRUE(Cache().Load(3, true, false, "Save\\SaveData"));
    EXPECT_TRUE(map_.events.empty());
    // Still readable (the sanitizers would catch a freed event).
    EXPECT_EQ(running->data.id, 5);
    Cache().DropReplaced();
}

TEST_F(SaveFileTest, TheGamesHeroAndPartyRoundTrip) {
    Hero hero;
    HeroSavePart part(hero);
    SaveSlotCache cache({map_, main_, variables_, part, pictures_, databases_, title_, 32}, hooks_);
    hero.graphicFileName = "hero.png";
    hero.followers[1].graphicFileName = "second.png";
    ASSERT_TRUE(cache.Save(3, true, "Save\\SaveData"));
    hero.graphicFileName.clear();
    hero.followers[1].graphicFileName.clear();
    ASSERT_TRUE(cache.Load(3, true, false, "Save\\SaveData"));
    EXPECT_EQ(hero.graphicFileName, "hero.png");
    EXPECT_EQ(hero.followers[1].graphicFileName, "second.png");
    EXPECT_TRUE(reporter_.boxes.empty());
}

// The live replay record of the fixture's game: the seed marker of
// 0x12345678, three frames of confirm and a pending frame of up.
class ReplaySaveTest : public SaveFileTest {
protected:
    ReplaySaveTest() {
        seeds_ = {0, 0, 0};
        RecordUntilTheSave();
        hooks_.replay = &live_;
        hooks_.startReplay = [this] { ++replaysStarted_; };
    }
    void RecordUntilTheSave() {
        UpdateRandomSeed(2, 0x12345678);
        live_ = ReplayRecorder();
        for (int i = 0; i < 3; ++i)
            live_.Record({0, 0, 0, 0, 1, 0, 0, 0});
        live_.Record({1, 0, 0, 0, 0, 0, 0, 0});
    }
    // Buttons that are recorded after the save.
    void RecordMore() {
        for (int i = 0; i < 5; ++i)
            live_.Record({0, 1, 0, 0, 0, 0, 0, 0});
        live_.Record({});
    }
    std::vector<uint8_t> SavedCodes() const { return {250, 3, 1}; }
    std::vector<int32_t> SavedValues() const { return {0x12345678, 0x10, 0x01}; }

    ReplayRecorder live_;
    int replaysStarted_ = 0;
};

TEST_F(ReplaySaveTest, ASaveCarriesTheLiveRecordWorkedOutByHand) {
    hero_.values = {11, 22};
    ASSERT_TRUE(Cache().Save(3, true, "Save\\SaveData"));
    const std::vector<uint8_t> file = FileBytes("SaveData03.sav");
    Layout tail;
    tail.Add(DatabasePart());
    tail.Add({0x01,                          // a record follows
              0x03, 0x00, 0x00, 0x00,        // three entries
              0xFA, 0x78, 0x56, 0x34, 0x12,  // the seed marker
              0x03, 0x10,                    // three frames of confirm
              0x01, 0x01,                    // the frame of up still counted
              25});
    ASSERT_GT(file.size(), tail.bytes.size());
    EXPECT_TRUE(
        std::equal(tail.bytes.begin(), tail.bytes.end(), file.end() - static_cast<ptrdiff_t>(tail.bytes.size())));
    // Writing left the live record as it was: the run of up goes on.
    EXPECT_EQ(live_.Codes(), (std::vector<uint8_t>{250, 3}));
}

TEST_F(ReplaySaveTest, ALoadedGameGoesOnFromTheSavesRecordUnlessItsFileHasNoneOrAReplayPlays) {
    struct Case {
        const char* name;
        bool fileWithoutRecord;
        bool playingBack;
        bool replaced;
    };
    for (Case c : {Case{"a record", false, false, true}, Case{"no record", true, false, false},
                   Case{"during playback", false, true, false}}) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(Cache().Save(3, true, "Save\\SaveData"));
        if (c.fileWithoutRecord) PutFile("SaveData03.sav", PlainFile(kTitle, GoodParts()));
        RecordMore();
        live_.playbackFlag = c.playingBack ? 1 : 0;
        const ReplayRecorder before = live_;
        ASSERT_TRUE(Cache().Load(3, true, false, "Save\\SaveData"));
        EXPECT_EQ(live_.Codes(), c.replaced ? SavedCodes() : before.Codes());
        EXPECT_EQ(live_.Values(), c.replaced ? SavedValues() : before.Values());
        EXPECT_EQ(live_.playbackFlag, c.playingBack ? 1 : 0);
        RecordUntilTheSave();
    }
    EXPECT_EQ(replaysStarted_, 0);
}

TEST_F(ReplaySaveTest, ASaveReadForItsReplayPlaysItsRecordFromTheStart) {
    ASSERT_TRUE(Cache().Save(3, true, "Save\\SaveData"));
    RecordMore();
    ASSERT_TRUE(Cache().Load(3, false, true, "Save\\SaveData"));
    EXPECT_EQ(replaysStarted_, 1);
    EXPECT_EQ(live_.playbackFlag, 1);
    EXPECT_EQ(live_.endedFlag, 0);
    EXPECT_EQ(live_.Codes(), SavedCodes());
    EXPECT_EQ(live_.Position(), 0);
    // The live game is not restored by a replay: it starts over from the
    // title.
    EXPECT_TRUE(reporter_.boxes.empty());
}

TEST_F(ReplaySaveTest, ASlotWriteKeepsTheRecordOfTheSlotsOwnSave) {
    ASSERT_TRUE(Cache().Save(3, true, "Save\\SaveData"));
    RecordMore();
    Cache().SetSlotInt(3, 2000003, 5, "Save\\SaveData");
    cache_.reset();
    ASSERT_TRUE(Cache().Load(3, false, true, "Save\\SaveData"));
    EXPECT_EQ(live_.Codes(), SavedCodes());
    EXPECT_EQ(live_.Values(), SavedValues());
}

}  // namespace
}  // namespace velk::testing
