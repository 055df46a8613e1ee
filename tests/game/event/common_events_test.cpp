#include "game/event/common_events.h"

#include <filesystem>
#include <functional>
#include <map>
#include <vector>

#include <gtest/gtest.h>

#include "game/data/variable_store.h"
#include "game/event/common_event_texts.h"
#include "game/event/parallel_common_event_runner.h"
#include "tests/game/event/event_test_support.h"
#include "tests/support/scratch_dir.h"
#include "tools/gamedata/common_event_writer.h"
#include "tools/gamedata/game_folder_writer.h"

namespace velk {
namespace {

using gamedata::CommonEventDescription;

// A short record: lead 7, stored id 5, trigger 0x62, condition variable
// 2000005 against 3, options 10 and 11, name "ab", two commands (140 with
// argument 9 at indent 1, then a command of code 0 that loading turns into
// the end), the byte list "xy" and the note "n", version 142.
const std::vector<uint8_t> kShortRecord = {
    0x07, 0x05, 0x00, 0x00, 0x00, 0x62, 0x85, 0x84, 0x1E, 0x00, 0x03, 0x00, 0x00, 0x00, 0x0A, 0x0B,  //
    0x03, 0x00, 0x00, 0x00, 'a',  'b',  0x00,                                                        // name
    0x02, 0x00, 0x00, 0x00,                                                                          // commands
    0x02, 0x8C, 0x00, 0x00, 0x00, 0x09, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00,                          //
    0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,                                                  //
    0x02, 0x00, 0x00, 0x00, 'x',  'y',  0x02, 0x00, 0x00, 0x00, 'n',  0x00,                          // bytes, note
    0x8E,
};

// An extended record: trigger 3, an empty name, no commands, no byte list; three
// strings "p", "", "q"; the bytes 5 6; one string list "r" "s"; two int
// lists [-1] and []; six ints 1-6; end byte 143.
const std::vector<uint8_t> kExtendedRecord = {
    0x00, 0x00, 0x00, 0x00, 0x00, 0x03, 0x80, 0x84, 0x1E, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  //
    0x01, 0x00, 0x00, 0x00, 0x00,                                                                    // name
    0x00, 0x00, 0x00, 0x00,                                                                          // commands
    0x00, 0x00, 0x00, 0x00,                                                                          // bytes
    0x8F,                                                                                            //
    0x03, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 'p',  0x00, 0x01, 0x00, 0x00, 0x00, 0x00,        //
    0x02, 0x00, 0x00, 0x00, 'q',  0x00,                                                              //
    0x02, 0x00, 0x00, 0x00, 0x05, 0x06,                                                              //
    0x01, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 'r',  0x00,              //
    0x02, 0x00, 0x00, 0x00, 's',  0x00,                                                              //
    0x02, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x00,  //
    0x06, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00,  //
    0x04, 0x00, 0x00, 0x00, 0x05, 0x00, 0x00, 0x00, 0x06, 0x00, 0x00, 0x00,                          //
    0x8F,
};

std::vector<uint8_t> Concat(std::initializer_list<std::vector<uint8_t>> parts) {
    std::vector<uint8_t> all;
    for (const auto& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

// The data file with zero seeds: nothing scrambled, no sum checked.
std::vector<uint8_t> HandDataFile() {
    return Concat({std::vector<uint8_t>(10, 0), {0x8F, 0x02, 0x00, 0x00, 0x00}, kShortRecord, kExtendedRecord, {0x8F}});
}

CommonEventDescription ShortDescription() {
    CommonEventDescription event;
    event.lead = 7;
    event.storedId = 5;
    event.name = "ab";
    event.trigger = 0x62;
    event.conditionVariable = 2000005;
    event.conditionValue = 3;
    event.option0 = 10;
    event.option1 = 11;
    event.commands = {testing::RawCmd(140, {9}, 1), testing::RawCmd(0)};
    event.appendEnd = false;
    event.extraBytes = {'x', 'y'};
    event.note = "n";
    event.version = 142;
    return event;
}

CommonEventDescription ExtendedDescription() {
    CommonEventDescription event;
    event.storedId = 0;
    event.trigger = 3;
    event.appendEnd = false;
    event.extraBytes = {};
    event.argStrings = {"p", "", "q"};
    event.argBytes = {5, 6};
    event.argStringLists = {{"r", "s"}};
    event.argIntLists = {{-1}, {}};
    event.argInts = {1, 2, 3, 4, 5, 6};
    return event;
}

void ExpectShortRecord(const CommonEvent& event) {
    EXPECT_EQ(event.name, "ab");
    EXPECT_EQ(event.trigger, 0x62);
    EXPECT_EQ(event.conditionVariable, 2000005);
    EXPECT_EQ(event.conditionValue, 3);
    EXPECT_EQ(event.option0, 10);
    EXPECT_EQ(event.option1, 11);
    ASSERT_EQ(event.commands->Size(), 2u);
    EXPECT_EQ((*event.commands)[0], testing::RawCmd(140, {9}, 1));
    EXPECT_EQ((*event.commands)[1].arguments, std::vector<int32_t>{-1});
    EXPECT_EQ(event.extraBytes, (std::vector<uint8_t>{'x', 'y'}));
    EXPECT_EQ(event.note, "n");
    // Version 142: every extended list keeps its defaults.
    EXPECT_EQ(event.argStrings, std::vector<std::string>(10));
    EXPECT_EQ(event.argBytes, std::vector<uint8_t>(10, 0));
    EXPECT_EQ(event.argStringLists, std::vector<std::vector<std::string>>(10));
    EXPECT_EQ(event.argIntLists, std::vector<std::vector<int32_t>>(10));
    EXPECT_EQ(event.argInts, std::vector<int32_t>(5, 0));
}

void ExpectExtendedRecord(const CommonEvent& event) {
    EXPECT_EQ(event.trigger, 3);
    EXPECT_TRUE(event.name.empty());
    // No commands: the list still ends.
    ASSERT_EQ(event.commands->Size(), 1u);
    EXPECT_EQ((*event.commands)[0].Code(), -1);
    // An empty byte list keeps the default byte and has no note.
    EXPECT_EQ(event.extraBytes, std::vector<uint8_t>{0});
    std::vector<std::string> strings(10);
    strings[0] = "p";
    strings[2] = "q";
    EXPECT_EQ(event.argStrings, strings);
    EXPECT_EQ(event.argBytes, (std::vector<uint8_t>{5, 6}));
    std::vector<std::vector<std::string>> stringLists(10);
    stringLists[0] = {"r", "s"};
    EXPECT_EQ(event.argStringLists, stringLists);
    std::vector<std::vector<int32_t>> intLists(10);
    intLists[0] = {-1};
    EXPECT_EQ(event.argIntLists, intLists);
    EXPECT_EQ(event.argInts, (std::vector<int32_t>{1, 2, 3, 4, 5, 6}));
}

TEST(CommonEventFiles, ReadBytesWorkedOutByHand) {
    testing::RecordingReporter reporter;
    std::vector<uint8_t> file = HandDataFile();
    CommonEventList list;
    ASSERT_TRUE(list.LoadFromBytes(file, "CommonEvent.dat"));
    ASSERT_EQ(list.Size(), 2);
    ExpectShortRecord(list.Events()[0]);
    ExpectExtendedRecord(list.Events()[1]);
    // The loader numbers the records, whatever the file stored.
    EXPECT_EQ(list.Events()[0].id, 0);
    EXPECT_EQ(list.Events()[1].id, 1);
    EXPECT_TRUE(reporter.messages.empty());

    // The ".common" form: magic, count, the records.
    std::vector<uint8_t> common = Concat({{0x6C, 0x38, 0x0C, 0x03, 0x01, 0x00, 0x00, 0x00}, kShortRecord});
    CommonEventList appended;
    EXPECT_EQ(appended.AppendBytes(common, 3, true), 1);
    ASSERT_EQ(appended.Size(), 10);
    ExpectShortRecord(appended.Events()[3]);
    EXPECT_EQ(appended.Events()[3].id, 3);
}

TEST(CommonEventFiles, WriterGivesTheBytesWorkedOutByHand) {
    gamedata::CommonEventsDescription description;
    description.events = {ShortDescription(), ExtendedDescription()};
    std::vector<uint8_t> written = gamedata::WriteCommonEventData(description);
    std::vector<uint8_t> hand = HandDataFile();
    ASSERT_EQ(written.size(), hand.size());
    EXPECT_EQ(std::vector<uint8_t>(written.begin() + 10, written.end()),
              std::vector<uint8_t>(hand.begin() + 10, hand.end()));

    gamedata::CommonFileDescription file;
    file.events = {ShortDescription()};
    EXPECT_EQ(gamedata::WriteCommonEventFile(file),
              Concat({{0x6C, 0x38, 0x0C, 0x03, 0x01, 0x00, 0x00, 0x00}, kShortRecord}));
}

TEST(CommonEventFiles, RoundTripThroughTheScrambledContainer) {
    testing::RecordingReporter reporter;
    gamedata::CommonEventsDescription description;
    description.seeds = {11, 22, 33};
    description.events = {ShortDescription(), ExtendedDescription()};
    CommonEventDescription called;
    called.name = "called";
    called.commands = {testing::Cmd(CommandCode::kCallCommonEventByName, {0, 0x21, 4, 3000001}, 0, {"x.common"})};
    description.events.push_back(called);
    std::vector<uint8_t> file = gamedata::WriteCommonEventData(description);
    CommonEventList list;
    ASSERT_TRUE(list.LoadFromBytes(file, "CommonEvent.dat"));
    ASSERT_EQ(list.Size(), 3);
    ExpectShortRecord(list.Events()[0]);
    ExpectExtendedRecord(list.Events()[1]);
    ASSERT_EQ(list.Events()[2].commands->Size(), 2u);
    EXPECT_EQ((*list.Events()[2].commands)[0].strings, std::vector<std::string>{"x.common"});
    EXPECT_EQ(list.FindByName("called"), 2);
    EXPECT_TRUE(reporter.exitCodes.empty());
}

TEST(CommonEventFiles, FailuresOfTheDataFile) {
    struct Case {
        const char* what;
        std::function<void(gamedata::CommonEventsDescription&)> change;
        bool loaded;
        int messages;
        int exits;
    };
    const Case cases[] = {
        {"wrong version byte", [](auto& d) { d.version = 142; }, false, 0, 0},
        {"wrong end marker", [](auto& d) { d.endMarker = 0; }, false, 0, 0},
        {"unknown record version", [](auto& d) { d.events[0].version = 144; }, true, 1, 0},
        {"unknown record end", [](auto& d) { d.events[0].endByte = 1; }, true, 1, 0},
    };
    for (const Case& c : cases) {
        testing::RecordingReporter reporter;
        gamedata::CommonEventsDescription description;
        description.seeds = {1, 2, 3};
        description.events = {ExtendedDescription()};
        c.change(description);
        std::vector<uint8_t> file = gamedata::WriteCommonEventData(description);
        CommonEventList list;
        EXPECT_EQ(list.LoadFromBytes(file, "CommonEvent.dat"), c.loaded) << c.what;
        EXPECT_EQ(reporter.messages.size(), static_cast<size_t>(c.messages)) << c.what;
        if (c.messages > 0) {
            EXPECT_EQ(reporter.messages[0].line1, texts::kCommonEventVersionMismatch) << c.what;
        }
        EXPECT_EQ(reporter.exitCodes.size(), static_cast<size_t>(c.exits)) << c.what;
    }

    // A changed byte fails the sum: the program ends.
    testing::RecordingReporter reporter;
    gamedata::CommonEventsDescription description;
    description.seeds = {1, 2, 3};
    description.events = {ShortDescription()};
    std::vector<uint8_t> file = gamedata::WriteCommonEventData(description);
    file[30] ^= 0x10;
    CommonEventList list;
    EXPECT_FALSE(list.LoadFromBytes(file, "CommonEvent.dat"));
    EXPECT_EQ(reporter.exitCodes, std::vector<int>{1});
}

TEST(CommonEventFiles, EveryCutIsDamagedAndChangesNothing) {
    const std::vector<uint8_t> whole = HandDataFile();
    for (size_t size = 0; size < whole.size(); ++size) {
        testing::RecordingReporter reporter;
        std::vector<uint8_t> cut(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(size));
        CommonEventList list;
        EXPECT_FALSE(list.LoadFromBytes(cut, "CommonEvent.dat")) << size;
        EXPECT_EQ(list.Size(), 10) << size;
        // The player is told the data could not be read.
        ASSERT_EQ(reporter.messages.size(), 1u) << size;
        EXPECT_EQ(reporter.messages[0].line1, texts::kCommonEventsLoadFailed) << size;
    }
    // A count no file could hold is refused before anything is sized.
    std::vector<uint8_t> huge = {0x6C, 0x38, 0x0C, 0x03, 0xFF, 0xFF, 0xFF, 0xFF};
    CommonEventList list;
    EXPECT_EQ(list.AppendBytes(huge, 0, true), -1);
    EXPECT_EQ(list.Size(), 10);
}

TEST(CommonEventFiles, CommonFileGrowsTheList) {
    testing::RecordingReporter reporter;
    gamedata::CommonFileDescription file;
    file.events.resize(2);
    file.events[0].name = "first";
    file.events[1].name = "second";
    std::vector<uint8_t> bytes = gamedata::WriteCommonEventFile(file);

    CommonEventList list;
    list.Resize(20);
    EXPECT_EQ(list.AppendBytes(bytes, 50, true), 2);
    ASSERT_EQ(list.Size(), 52);
    for (int32_t i = 20; i < 50; ++i) {
        EXPECT_EQ(list.Events()[static_cast<size_t>(i)].id, i);
        EXPECT_TRUE(list.Events()[static_cast<size_t>(i)].name.empty());
        EXPECT_EQ(list.Events()[static_cast<size_t>(i)].trigger, 0x20);
    }
    EXPECT_EQ(list.Events()[50].name, "first");
    EXPECT_EQ(list.Events()[51].name, "second");
    EXPECT_EQ(list.Events()[51].id, 51);

    // Without reading, only the list grows.
    CommonEventList grown;
    EXPECT_EQ(grown.AppendBytes(bytes, 10, false), 2);
    EXPECT_EQ(grown.Size(), 12);
    EXPECT_TRUE(grown.Events()[10].name.empty());

    // Not such a file, or damaged: -1 and the list unchanged.
    std::vector<uint8_t> wrongMagic = bytes;
    wrongMagic[0] ^= 1;
    std::vector<uint8_t> cut(bytes.begin(), bytes.end() - 1);
    for (const auto& bad : {wrongMagic, cut}) {
        CommonEventList unchanged;
        EXPECT_EQ(unchanged.AppendBytes(bad, 10, true), -1);
        EXPECT_EQ(unchanged.Size(), 10);
    }
    EXPECT_EQ(list.AppendFile("missing.common", 0, true), -1);
}

TEST(CommonEventFiles, LoadReadsTheDataFolderAndRebuildsTheTables) {
    testing::ScratchDir scratch;
    testing::InFolder inside(scratch.path());
    testing::RecordingReporter reporter;
    CommonEventList list;
    // Missing: the load error box.
    EXPECT_FALSE(list.Load("BasicData\\CommonEvent.dat"));
    ASSERT_EQ(reporter.messages.size(), 1u);
    EXPECT_EQ(reporter.messages[0].line1, texts::kCommonEventsLoadFailed);
    EXPECT_EQ(reporter.messages[0].line2, texts::kReadErrorCaption);

    gamedata::GameDescription game;
    game.commonEvents.seeds = {5, 6, 7};
    for (const char* name : {"", "same", "other", "same"})
        game.commonEvents.events.emplace_back().name = name;
    ASSERT_TRUE(gamedata::WriteCommonEventFiles(game, scratch.path(), nullptr));
    list.RecordLoadedFile("x.common", 20);
    list.SetName("gone", 40);
    ASSERT_TRUE(list.Load("BasicData\\CommonEvent.dat"));
    EXPECT_EQ(list.Size(), 4);
    // Equal names: the lowest index; empty names are not entered; entries
    // made for the list before are gone.
    EXPECT_EQ(list.NameMap(), (std::map<std::string, int32_t>{{"other", 2}, {"same", 1}}));
    EXPECT_FALSE(list.LoadedFileIndex("x.common"));
}

TEST(CommonEventFiles, InsertEmptyCommandLeavesRunningListsAlone) {
    CommonEvent event;
    SharedCommandList running = event.commands;
    EXPECT_TRUE(event.InsertEmptyCommand(5));
    EXPECT_TRUE(event.InsertEmptyCommand(-3));
    EXPECT_EQ(running->Size(), 1u);
    EXPECT_EQ(event.commands->Size(), 3u);
}

// Parallel runners against a real list of common events.
class ParallelRunnerTest : public testing::EventTest {
protected:
    ParallelRunnerTest() {
        ActiveEventLinks().commonEvents = &commonEvents;
        table.Register(CommandCode::kSound, 2, 0, [this](EventInterpreter& in, const EventCommand& command) {
            ++counts[command.arguments[1]];
            lastEvent = in.eventId;
            return CommandResult::kNext;
        });
        table.Register(CommandCode::kWait, 1, 0, [](EventInterpreter& in, const EventCommand&) {
            ++in.line;
            return CommandResult::kStopFrame;
        });
    }
    // Common event 0 with this trigger and condition (normal variable 1
    // against 6): counts 1, waits a frame, counts 2, ends.
    void Define(uint8_t trigger) {
        gamedata::CommonEventsDescription description;
        CommonEventDescription& event = description.events.emplace_back();
        event.trigger = trigger;
        event.conditionVariable = kVariableBase + 1;
        event.conditionValue = 6;
        event.commands = {testing::RawCmd(140, {1}), testing::RawCmd(180), testing::RawCmd(140, {2})};
        std::vector<uint8_t> file = gamedata::WriteCommonEventData(description);
        ASSERT_TRUE(commonEvents.LoadFromBytes(file, "CommonEvent.dat"));
        commonEvents.Prepare(table, store, databases);
    }

    CommonEventList commonEvents;
    std::map<int32_t, int> counts;
    int32_t lastEvent = -5;
};

TEST_F(ParallelRunnerTest, StartsAndStopsAtRefresh) {
    struct Case {
        uint8_t trigger;
        int32_t value;
        bool runs;
    };
    const Case cases[] = {
        {0x03, 0, true},    // parallel always
        {0x02, 0, false},   // v > 6
        {0x02, 7, true},    //
        {0x22, 6, true},    // v == 6
        {0x42, 6, false},   // v < 6
        {0x62, 14, true},   // (v & 6) == 6
        {0x62, 12, false},  //
        {0x72, 6, false},   // no such comparison
        {0x01, 6, false},   // auto start: the main interpreter's
    };
    for (const Case& c : cases) {
        Define(c.trigger);
        SetVar(1, c.value);
        ParallelCommonEventRunner runner(0);
        EXPECT_EQ(runner.IsRunning(), c.runs) << int(c.trigger) << " " << c.value;
    }
}

TEST_F(ParallelRunnerTest, RunsEveryFrameAndStopsMidListWhenTheConditionTurns) {
    Define(0x22);
    SetVar(1, 6);
    ParallelCommonEventRunner runner(0);
    runner.Run();
    EXPECT_EQ(counts[1], 1);
    EXPECT_EQ(lastEvent, 0);
    runner.Run();  // counts 2, ends; starts over the next frame
    runner.Run();
    EXPECT_EQ(counts[2], 1);
    EXPECT_EQ(counts[1], 2);
    // The condition no longer holds: nothing changes until the refresh,
    // which stops it in the middle of its list.
    SetVar(1, 5);
    runner.Run();
    EXPECT_EQ(counts[2], 2);
    runner.Run();
    runner.Refresh();
    EXPECT_FALSE(runner.IsRunning());
    runner.Run();
    EXPECT_EQ(counts[1], 3);
    EXPECT_EQ(counts[2], 2);
    // Back on: it starts from the top.
    SetVar(1, 6);
    runner.Refresh();
    runner.Run();
    EXPECT_EQ(counts[1], 4);
    // A runner of a common event the list does not hold never runs.
    ParallelCommonEventRunner beyond(5);
    EXPECT_FALSE(beyond.IsRunning());
}

TEST_F(ParallelRunnerTest, ARefreshFromItsOwnCommandWaitsForTheFrameToEnd) {
    Define(0x03);
    std::vector<ParallelCommonEventRunner> runners;
    runners.emplace_back(0);
    table.Register(CommandCode::kSound, 2, 0, [&](EventInterpreter&, const EventCommand&) {
        Define(0x00);
        runners[0].Refresh();
        return CommandResult::kNext;
    });
    runners[0].Run();
    EXPECT_FALSE(runners[0].IsRunning());
}

}  // namespace
}  // namespace velk
