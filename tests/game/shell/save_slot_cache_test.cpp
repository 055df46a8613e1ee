// The slot cache: reads of other slots' variables from memory after one file
// read, missing files remembered, a load emptying the cache, writes creating
// and refreshing files; and the three save commands.

#include <new>

#include <gtest/gtest.h>

#include "game/data/game_file_source.h"
#include "game/event/event_interpreter.h"
#include "game/event/event_links.h"
#include "game/event/event_records.h"
#include "game/shell/save_commands.h"
#include "game/shell/save_installation.h"
#include "tests/game/data/store_fakes.h"
#include "tests/game/shell/save_test_support.h"

namespace velk::testing {
namespace {

constexpr char kPrefix[] = "Save\\SaveData";

class SlotCacheTest : public SaveTest {};

TEST_F(SlotCacheTest, ASlotFileIsReadOnceUntilALoadEmptiesTheCache) {
    variables_.SetInt(2000003, 77);
    ASSERT_TRUE(Cache().Save(3, true, kPrefix));
    cache_.reset();  // a new run: nothing cached
    EXPECT_EQ(Cache().GetSlotInt(3, 2000003, kPrefix), 77);
    EXPECT_EQ(Cache().GetSlotInt(3, 2000003, kPrefix), 77);
    EXPECT_EQ(reads_["Save\\SaveData03.sav"], 1);
    // Deleted behind the program's back, the slot still answers from memory.
    std::filesystem::remove(scratch_.path() / "Save" / "SaveData03.sav");
    EXPECT_EQ(Cache().GetSlotInt(3, 2000003, kPrefix), 77);
    // Missing files are remembered too.
    EXPECT_EQ(Cache().GetSlotInt(8, 2000003, kPrefix), 0);
    EXPECT_EQ(Cache().GetSlotInt(8, 2000003, kPrefix), 0);
    EXPECT_EQ(reads_["Save\\SaveData08.sav"], 1);

    ASSERT_TRUE(Cache().Save(4, true, kPrefix));
    ASSERT_TRUE(Cache().Load(4, true, false, kPrefix));
    EXPECT_EQ(Cache().GetSlotInt(4, 2000003, kPrefix), 77);
    EXPECT_EQ(reads_["Save\\SaveData04.sav"], 2);
    EXPECT_EQ(Cache().GetSlotInt(8, 2000003, kPrefix), 0);
    EXPECT_EQ(reads_["Save\\SaveData08.sav"], 2);
}

TEST_F(SlotCacheTest, SlotsAndIdsThatNameNothingAnswerWithoutTheFile) {
    EXPECT_EQ(Cache().GetSlotInt(-1, 2000003, kPrefix), 0);
    EXPECT_EQ(Cache().GetSlotString(-1, kStringBase, 0, kPrefix), Sjis("ERROR -1番目以下のデータを読みに行っています"));
    EXPECT_EQ(Cache().GetSlotInt(3, 1100001, kPrefix), 0);
    EXPECT_EQ(Cache().GetSlotInt(3, 1600001, kPrefix), 0);
    EXPECT_EQ(Cache().GetSlotString(3, 1600005, 0, kPrefix), "");
    Cache().SetSlotInt(3, 1100001, 5, kPrefix);
    Cache().SetSlotInt(3, 1600001, 5, kPrefix);
    Cache().SetSlotInt(-1, 2000003, 5, kPrefix);
    EXPECT_TRUE(reads_.empty());
    EXPECT_FALSE(std::filesystem::exists(scratch_.path() / "Save"));
}

TEST_F(SlotCacheTest, AWriteToAMissingSlotMakesAFreshSaveWithThatVariable) {
    variables_.SetInt(2000003, 1);
    Cache().SetSlotInt(9, 2000003, 123, kPrefix);
    Cache().SetSlotString(9, kStringBase + 2, "slot text", kPrefix);
    ASSERT_TRUE(std::filesystem::exists(scratch_.path() / "Save" / "SaveData09.sav"));
    EXPECT_EQ(variables_.GetSystemVariable(kSystemVariableLastSlot), 9);
    EXPECT_EQ(variables_.GetInt(2000003), 1);

    cache_.reset();
    EXPECT_EQ(Cache().GetSlotInt(9, 2000003, kPrefix), 123);
    EXPECT_EQ(Cache().GetSlotString(9, kStringBase + 2, 0, kPrefix), "slot text");
    EXPECT_TRUE(reporter_.boxes.empty());
}

TEST_F(SlotCacheTest, AWriteKeepsTheRestOfTheSlotsSave) {
    variables_.SetInt(2000003, 77);
    variables_.SetInt(2000004, 44);
    hero_.values = {6, 7};
    ASSERT_TRUE(Cache().Save(3, true, kPrefix));
    cache_.reset();
    Cache().SetSlotInt(3, 2000004, 45, kPrefix);
    hero_.values.clear();
    ASSERT_TRUE(Cache().Load(3, true, false, kPrefix));
    EXPECT_EQ(variables_.GetInt(2000003), 77);
    EXPECT_EQ(variables_.GetInt(2000004), 45);
    EXPECT_EQ(hero_.values, (std::vector<int32_t>{6, 7}));
}

TEST_F(SlotCacheTest, ADamagedSlotIsReportedOnEveryReadAndAnswersZero) {
    PutFile("SaveData05.sav", std::vector<uint8_t>(40, 0));
    EXPECT_EQ(Cache().GetSlotInt(5, 2000003, kPrefix), 0);
    EXPECT_EQ(Cache().GetSlotInt(5, 2000003, kPrefix), 0);
    EXPECT_EQ(reads_["Save\\SaveData05.sav"], 2);
    ASSERT_EQ(reporter_.boxes.size(), 2u);
    EXPECT_EQ(reporter_.boxes[1].line1, Sjis("セーブデータ05が破損しています 0秒"));
    // Nor is it written over by a slot write.
    Cache().SetSlotInt(5, 2000003, 9, kPrefix);
    Cache().SetSlotString(5, kStringBase, "x", kPrefix);
    EXPECT_EQ(FileBytes("SaveData05.sav"), std::vector<uint8_t>(40, 0));
}

TEST_F(SlotCacheTest, TheDamagedMessageShowsSystemVariable12OfTheSlotsSaveWithoutPrefix) {
    // System variable 12 (whether the message window is open) as the store
    // answers it; it is read only when slot 5 under no prefix, the file
    // 05.sav in the game folder, is a save.
    FakeScene scene;
    scene.messageWindowOpen = 42;
    SceneOwner* before = ActiveGameOwners().scene;
    ActiveGameOwners().scene = &scene;
    PutFile("SaveData05.sav", std::vector<uint8_t>(40, 0));
    EXPECT_EQ(Cache().GetSlotInt(5, 2000003, kPrefix), 0);
    EXPECT_EQ(reads_["05.sav"], 1);
    ASSERT_EQ(reporter_.boxes.size(), 1u);
    EXPECT_EQ(reporter_.boxes[0].line1, Sjis("セーブデータ05が破損しています 0秒"));

    ASSERT_TRUE(Cache().Save(5, true, ""));
    ASSERT_TRUE(std::filesystem::exists(scratch_.path() / "05.sav"));
    cache_.reset();
    EXPECT_EQ(Cache().GetSlotInt(5, 2000003, kPrefix), 0);
    ASSERT_EQ(reporter_.boxes.size(), 2u);
    EXPECT_EQ(reporter_.boxes[1].line1, Sjis("セーブデータ05が破損しています 42秒"));

    // That file damaged too: its own message does not ask again.
    cache_.reset();
    scratch_.WriteFile("05.sav", std::string(40, '\0'));
    EXPECT_EQ(Cache().GetSlotInt(5, 2000003, kPrefix), 0);
    ASSERT_EQ(reporter_.boxes.size(), 4u);
    EXPECT_EQ(reporter_.boxes[2].line1, Sjis("セーブデータ05が破損しています 0秒"));
    EXPECT_EQ(reporter_.boxes[3].line1, Sjis("セーブデータ05が破損しています 0秒"));
    ActiveGameOwners().scene = before;
}

TEST_F(SlotCacheTest, TheFullDiskBoxOnlyWhenTheDiskHasTooLittleRoom) {
    variables_.SetInt(2000003, 5);
    ASSERT_TRUE(Cache().Save(3, true, kPrefix));
    const std::vector<uint8_t> first = FileBytes("SaveData03.sav");
    const uint64_t size = first.size();
    ASSERT_GT(size, 400u);
    variables_.SetInt(2000003, 6);

    // A save needs its size less 200 bytes free.
    uint64_t available = size - 201;
    hooks_.availableDiskBytes = [&available] { return std::optional<uint64_t>(available); };
    cache_.reset();
    ASSERT_EQ(Cache().GetSlotInt(3, 2000003, kPrefix), 5);
    EXPECT_FALSE(Cache().Save(3, true, kPrefix));
    ASSERT_EQ(reporter_.boxes.size(), 1u);
    EXPECT_EQ(reporter_.boxes[0].line1, Sjis("セーブ処理エラー：ハードディスク容量が足りませんでした"));
    EXPECT_EQ(reporter_.boxes[0].line2, Sjis("不要なデータを削除して、ファイル容量を増やしてください"));
    EXPECT_EQ(FileBytes("SaveData03.sav"), first) << "the old save is kept";
    EXPECT_EQ(Cache().GetSlotInt(3, 2000003, kPrefix), 5) << "the slot tells what the disk holds";
    available = size - 200;
    EXPECT_TRUE(Cache().Save(3, true, kPrefix));
    EXPECT_NE(FileBytes("SaveData03.sav"), first);
    EXPECT_EQ(reporter_.boxes.size(), 1u);

    // A disk that cannot be asked: the write is tried.
    hooks_.availableDiskBytes = [] { return std::optional<uint64_t>(); };
    cache_.reset();
    EXPECT_TRUE(Cache().Save(4, true, kPrefix));

    // A file that cannot be made (a folder stands in its place): false, and
    // the box says the file could not be written.
    hooks_.availableDiskBytes = nullptr;
    std::filesystem::create_directories(scratch_.path() / "Save" / "SaveData05.sav");
    cache_.reset();
    EXPECT_FALSE(Cache().Save(5, true, kPrefix));
    ASSERT_EQ(reporter_.boxes.size(), 2u);
    EXPECT_EQ(reporter_.boxes[1].line1, Sjis("セーブ処理エラー：セーブデータを書き込めませんでした"));
    EXPECT_TRUE(std::filesystem::is_directory(scratch_.path() / "Save" / "SaveData05.sav"));
}

// Memory that runs out somewhere in a save or a load, each time standing in
// for the allocation that fails at that point.
struct OutOfMemoryCase {
    const char* name;
    std::function<void(SaveHooks&, FakeHeroPart&)> fail;
    // Slot reads and writes run into it too, not only saves and loads of the
    // live game.
    bool slotAccessFails;
};

[[noreturn]] void RunOutOfMemory() { throw std::bad_alloc(); }

TEST_F(SlotCacheTest, MemoryThatRunsOutInASaveShowsTheFullDiskBoxAndKeepsTheOldSave) {
    const OutOfMemoryCase cases[] = {
        {"before the copy", [](SaveHooks& h, FakeHeroPart&) { h.beforeCopy = [] { RunOutOfMemory(); }; }, false},
        {"copying a part", [](SaveHooks&, FakeHeroPart& hero) { hero.outOfMemory = true; }, false},
        {"drawing the file's seeds",
         [](SaveHooks& h, FakeHeroPart&) { h.drawSeeds = []() -> ContainerSeeds { RunOutOfMemory(); }; }, true},
        {"asking the disk's room",
         [](SaveHooks& h, FakeHeroPart&) {
             h.availableDiskBytes = []() -> std::optional<uint64_t> { RunOutOfMemory(); };
         },
         true},
        {"writing the file",
         [](SaveHooks& h, FakeHeroPart&) {
             h.writeFile = [](const std::string&, std::span<const uint8_t>) -> bool { RunOutOfMemory(); };
         },
         true},
    };
    variables_.SetInt(2000003, 77);
    ASSERT_TRUE(Cache().Save(3, true, kPrefix));
    const std::vector<uint8_t> old = FileBytes("SaveData03.sav");
    const SaveHooks working = hooks_;
    for (const OutOfMemoryCase& c : cases) {
        SCOPED_TRACE(c.name);
        hooks_ = working;
        c.fail(hooks_, hero_);
        cache_.reset();
        ASSERT_EQ(Cache().GetSlotInt(3, 2000003, kPrefix), 77);  // the slot's snapshot is cached
        variables_.SetInt(2000003, 78);
        variables_.SetSystemVariable(kSystemVariableLastSlot, 0);
        reporter_.boxes.clear();
        EXPECT_FALSE(Cache().Save(3, true, kPrefix));
        ASSERT_EQ(reporter_.boxes.size(), 1u);
        EXPECT_EQ(reporter_.boxes[0].line1, Sjis("セーブ処理エラー：ハードディスク容量が足りませんでした"));
        EXPECT_EQ(reporter_.boxes[0].line2, Sjis("不要なデータを削除して、ファイル容量を増やしてください"));
        EXPECT_EQ(FileBytes("SaveData03.sav"), old);
        EXPECT_EQ(variables_.GetSystemVariable(kSystemVariableLastSlot), 0);
        // The snapshot is the old save's still, answered without a read.
        const int reads = reads_["Save\\SaveData03.sav"];
        EXPECT_EQ(Cache().GetSlotInt(3, 2000003, kPrefix), 77);
        EXPECT_EQ(reads_["Save\\SaveData03.sav"], reads);
        if (c.slotAccessFails) {
            Cache().SetSlotInt(3, 2000003, 79, kPrefix);
            EXPECT_EQ(reporter_.boxes.size(), 2u);
            EXPECT_EQ(FileBytes("SaveData03.sav"), old);
        }

        // The game goes on: with the memory back, the same save is made.
        hero_.outOfMemory = false;
        hooks_ = working;
        cache_.reset();
        EXPECT_TRUE(Cache().Save(4, true, kPrefix));
        EXPECT_EQ(variables_.GetSystemVariable(kSystemVariableLastSlot), 4);
        cache_.reset();
        EXPECT_EQ(Cache().GetSlotInt(4, 2000003, kPrefix), 78);
        variables_.SetInt(2000003, 77);
    }
}

TEST_F(SlotCacheTest, MemoryThatRunsOutInALoadSaysSoAndKeepsTheSave) {
    variables_.SetInt(2000003, 77);
    hero_.values = {11, 22};
    ASSERT_TRUE(Cache().Save(4, true, kPrefix));
    const std::vector<uint8_t> saved = FileBytes("SaveData04.sav");
    const std::string damaged = Sjis("セーブデータ04が破損しています 0秒");
    const std::string noMemory = Sjis("ロード処理エラー：メモリが足りずセーブデータ04を読み込めませんでした");
    int restored = 0;
    hooks_.afterRestore = [&restored] { ++restored; };
    const SaveHooks working = hooks_;
    // Only the slot's own file: the damaged box reads 04.sav for its seconds.
    auto failing = [read = hooks_.readFile](bool hold) {
        return [read, hold](const std::string& path) -> std::optional<std::vector<uint8_t>> {
            if (path != "Save\\SaveData04.sav") return read(path);
            if (hold) RunOutOfMemory();
            return std::nullopt;
        };
    };
    // Failures before the live game is torn down leave it as it was. A file
    // that is there but cannot be read is no memory's fault.
    struct LoadCase {
        OutOfMemoryCase fault;
        const std::string& box;
    };
    const LoadCase cases[] = {
        {{"reading the file", [&failing](SaveHooks& h, FakeHeroPart&) { h.readFile = failing(true); }, true}, noMemory},
        {{"a file that is there but cannot be read",
          [&failing](SaveHooks& h, FakeHeroPart&) { h.readFile = failing(false); }, true},
         damaged},
        {{"before the restore", [](SaveHooks& h, FakeHeroPart&) { h.beforeRestore = [] { RunOutOfMemory(); }; }, false},
         noMemory},
    };
    for (const auto& [c, box] : cases) {
        SCOPED_TRACE(c.name);
        hooks_ = working;
        c.fail(hooks_, hero_);
        cache_.reset();
        // The slot's snapshot is cached where reading it does not fail.
        if (!c.slotAccessFails) {
            ASSERT_EQ(Cache().GetSlotInt(4, 2000003, kPrefix), 77);
        }
        const int reads = reads_["Save\\SaveData04.sav"];
        variables_.SetInt(2000003, 5);
        reporter_.boxes.clear();
        EXPECT_FALSE(Cache().Load(4, true, false, kPrefix));
        ASSERT_EQ(reporter_.boxes.size(), 1u);
        EXPECT_EQ(reporter_.boxes[0].line1, box);
        if (box == noMemory) {
            EXPECT_EQ(reporter_.boxes[0].line2,
                      Sjis("セーブデータはそのままです。ほかのソフトを終了してからもう一度お試しください"));
        }
        EXPECT_EQ(variables_.GetInt(2000003), 5);
        EXPECT_EQ(hero_.values, (std::vector<int32_t>{11, 22}));
        EXPECT_EQ(restored, 0);
        EXPECT_EQ(FileBytes("SaveData04.sav"), saved);
        if (!c.slotAccessFails) {
            EXPECT_EQ(Cache().GetSlotInt(4, 2000003, kPrefix), 77);
            EXPECT_EQ(reads_["Save\\SaveData04.sav"], reads + 1) << "only the load read the file";
            continue;
        }
        EXPECT_FALSE(Cache().Load(4, false, true, kPrefix));
        EXPECT_EQ(Cache().GetSlotInt(4, 2000003, kPrefix), 0);
        EXPECT_EQ(Cache().GetSlotString(4, kStringBase, 0, kPrefix), "");
        EXPECT_EQ(reporter_.boxes.size(), 4u);
        // Nor is the file taken for a missing one and replaced by a slot write.
        Cache().SetSlotInt(4, 2000003, 9, kPrefix);
        Cache().SetSlotString(4, kStringBase, "x", kPrefix);
        EXPECT_EQ(FileBytes("SaveData04.sav"), saved);
    }

    // Once the old game is torn down it cannot come back: the restore ends
    // as one whose part does not read, without a map, and the player is told
    // that memory ran out.
    hooks_ = working;
    cache_.reset();
    hero_.outOfMemory = true;
    reporter_.boxes.clear();
    EXPECT_FALSE(Cache().Load(4, true, false, kPrefix));
    hero_.outOfMemory = false;
    ASSERT_EQ(reporter_.boxes.size(), 1u);
    EXPECT_EQ(reporter_.boxes[0].line1, noMemory);
    EXPECT_EQ(restored, 1);
    EXPECT_EQ(map_.mapId, -1);
    EXPECT_EQ(map_.map.layers[0].size(), static_cast<size_t>(map_.map.header.width * map_.map.header.height));
    EXPECT_EQ(variables_.GetInt(2000003), 77) << "the parts before the hero were read";
    EXPECT_EQ(FileBytes("SaveData04.sav"), saved);
    Cache().DropReplaced();
    // The game goes on and loads the same save whole.
    ASSERT_TRUE(Cache().Load(4, true, false, kPrefix));
    EXPECT_EQ(hero_.values, (std::vector<int32_t>{11, 22}));
    EXPECT_EQ(restored, 2);
    Cache().DropReplaced();
}

// The commands, run by an interpreter over the fixture's store.
class SaveCommandTest : public SaveTest {
protected:
    SaveCommandTest() {
        links_ = ActiveEventLinks();
        ActiveEventLinks().variables = &variables_;
        ActiveEventLinks().databases = &databases_;
    }
    ~SaveCommandTest() override { ActiveEventLinks() = links_; }

    void Run(std::vector<int32_t> arguments) {
        if (!commands_) {
            commands_ = std::make_unique<SaveCommands>(
                Cache(), SaveCommandHooks{[this] { ++loads_; }, [this] { ++replays_; }});
        }
        EventCommand command;
        command.arguments = std::move(arguments);
        switch (command.arguments[0]) {
            case 220: commands_->SaveLoad(interpreter_, command); break;
            case 221: commands_->ReadSaveValue(interpreter_, command); break;
            default: commands_->WriteSaveValue(interpreter_, command); break;
        }
    }

    EventLinks links_;
    EventInterpreter interpreter_;
    std::unique_ptr<SaveCommands> commands_;
    int loads_ = 0, replays_ = 0;
};

TEST_F(SaveCommandTest, SaveAndLoadBySlotOrByAStringVariablesText) {
    variables_.SetInt(2000003, 77);
    Run({220, 0, 3});
    EXPECT_TRUE(std::filesystem::exists(scratch_.path() / "Save" / "SaveData03.sav"));
    variables_.SetString(kStringBase + 1, "Save\\Quick.sav");
    Run({220, 0, kStringBase + 1});
    EXPECT_TRUE(std::filesystem::exists(scratch_.path() / "Save" / "Quick.sav"));

    variables_.SetInt(2000003, 1);
    Run({220, 1, 7});  // no such file: nothing happens
    EXPECT_EQ(variables_.GetInt(2000003), 1);
    EXPECT_EQ(loads_, 0);
    EXPECT_TRUE(reporter_.boxes.empty());

    variables_.SetInt(2000000, 3);
    Run({220, 1, 2000000});  // the slot from a variable
    EXPECT_EQ(variables_.GetInt(2000003), 77);
    EXPECT_EQ(loads_, 1);
    Run({220, 9, 3});  // unknown operation
    EXPECT_EQ(loads_, 1);
}

TEST_F(SaveCommandTest, WrittenValuesReadBackBeforeTheGameIsSavedAgain) {
    variables_.SetInt(2000005, 2000007);
    Run({222, 555, 4, 2000007});
    Run({221, 2000001, 4, 2000007});
    EXPECT_EQ(variables_.GetInt(2000001), 555);
    // The ID inside the save given indirectly.
    Run({221, 2000002, 4, 2000005, 1});
    EXPECT_EQ(variables_.GetInt(2000002), 555);
    // Without the option bit the raw ID is read.
    Run({221, 2000002, 4, 2000005, 0});
    EXPECT_EQ(variables_.GetInt(2000002), 0);
    // Strings follow the kind of argument 1.
    variables_.SetString(kStringBase + 1, "text for the slot");
    Run({222, kStringBase + 1, 4, kStringBase + 3});
    Run({221, kStringBase + 2, 4, kStringBase + 3});
    EXPECT_EQ(variables_.GetString(kStringBase + 2), "text for the slot");
    // A string variable as the file name.
    variables_.SetString(kStringBase + 4, "Save\\Named.sav");
    Run({222, 31, kStringBase + 4, 2000009});
    Run({221, 2000001, kStringBase + 4, 2000009});
    EXPECT_EQ(variables_.GetInt(2000001), 31);
    EXPECT_TRUE(std::filesystem::exists(scratch_.path() / "Save" / "Named.sav"));
}

TEST_F(SaveCommandTest, AFileThatCannotBeWrittenIsToldAndTheSlotKeepsWhatTheDiskHolds) {
    variables_.SetInt(2000003, 77);
    Run({220, 0, 3});
    const std::vector<uint8_t> saved = FileBytes("SaveData03.sav");
    // A read-only folder, as the writer finds it.
    hooks_.writeFile = [](const std::string&, std::span<const uint8_t>) { return false; };
    cache_.reset();
    commands_.reset();
    Run({221, 2000001, 3, 2000003});
    ASSERT_EQ(variables_.GetInt(2000001), 77);

    // Each save of the player's is told, and the game goes on.
    variables_.SetInt(2000003, 78);
    Run({220, 0, 3});
    Run({220, 0, 3});
    ASSERT_EQ(reporter_.boxes.size(), 2u);
    EXPECT_EQ(reporter_.boxes[1].line1, Sjis("セーブ処理エラー：セーブデータを書き込めませんでした"));
    EXPECT_EQ(reporter_.boxes[1].line2, Sjis("フォルダが読み取り専用か、アクセスが制限されている可能性があります"));
    EXPECT_EQ(reporter_.boxes[1].line3, "");
    EXPECT_EQ(FileBytes("SaveData03.sav"), saved);
    Run({221, 2000001, 3, 2000003});
    EXPECT_EQ(variables_.GetInt(2000001), 77) << "the slot tells what its file holds";

    // Slot writes every frame keep their values and are told once per file
    // in a run, a load between them or not.
    for (int frame = 0; frame < 3; ++frame) {
        Run({222, 100 + frame, 3, 2000004});
        Run({222, kStringBase + 1, 3, kStringBase + 2});
        Run({222, 200 + frame, 4, 2000004});
        if (frame == 1) Run({220, 1, 3});
    }
    EXPECT_EQ(reporter_.boxes.size(), 4u);
    Run({221, 2000001, 3, 2000004});
    EXPECT_EQ(variables_.GetInt(2000001), 102);
    // The load found what the disk holds.
    EXPECT_EQ(loads_, 1);
    EXPECT_EQ(variables_.GetInt(2000003), 77);
    EXPECT_EQ(FileBytes("SaveData03.sav"), saved);
    EXPECT_FALSE(std::filesystem::exists(scratch_.path() / "Save" / "SaveData04.sav"));
}

TEST_F(SaveCommandTest, InstalledTheCommandsRunFromTheTable) {
    CommandTable table;
    Saves saves = InstallSaves(State(), hooks_, {}, table);
    for (int32_t code : {220, 221, 222}) ASSERT_NE(table.Find(code), nullptr) << code;
    EXPECT_EQ(table.Find(220)->minimumArguments, 3);
    EventCommand save;
    save.arguments = {220, 0, 5};
    table.Find(220)->handler(interpreter_, save);
    EXPECT_TRUE(std::filesystem::exists(scratch_.path() / "Save" / "SaveData05.sav"));
}

}  // namespace
}  // namespace velk::testing
