#include "game/event/call_commands.h"

#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "game/data/game_wide_values.h"
#include "game/data/text_format.h"
#include "game/event/common_event_texts.h"
#include "game/event/common_events.h"
#include "tests/game/event/event_test_support.h"
#include "tests/support/scratch_dir.h"
#include "tools/gamedata/common_event_writer.h"
#include "tools/gamedata/game_folder_writer.h"

namespace velk {
namespace {

using gamedata::CommonEventDescription;
using testing::Cmd;
using testing::RawCmd;

constexpr int32_t kStringVariable = 3000000;

int32_t SelfInt(int32_t common, int32_t slot) { return kCommonSelfBase + common * 100 + slot; }

// A command that records who ran it.
EventCommand Mark(int32_t tag, int32_t indent = 0) { return RawCmd(CodeValue(CommandCode::kSound), {tag}, indent); }
// A command that ends the frame and goes on at the next line next frame.
EventCommand Pause() { return RawCmd(CodeValue(CommandCode::kWait)); }
EventCommand Call(int32_t number, int32_t second = 0, std::vector<int32_t> more = {}) {
    std::vector<int32_t> arguments = {number, second};
    arguments.insert(arguments.end(), more.begin(), more.end());
    return Cmd(CommandCode::kCallEvent, arguments);
}
EventCommand CallByName(const std::string& name, int32_t bits = 0, std::vector<int32_t> more = {}) {
    std::vector<int32_t> arguments = {0, bits};
    arguments.insert(arguments.end(), more.begin(), more.end());
    return Cmd(CommandCode::kCallCommonEventByName, arguments, 0, {name});
}
EventCommand Reserve(int32_t number, int32_t page = 0) { return Cmd(CommandCode::kReserveEvent, {number, page}); }
EventCommand Label(const std::string& name, int32_t indent = 0) { return Cmd(CommandCode::kLabel, {}, indent, {name}); }
EventCommand JumpTo(const std::string& name, int32_t indent = 0) {
    return Cmd(CommandCode::kJumpToLabel, {}, indent, {name});
}

struct Ran {
    int32_t tag, commonId, eventId, depth;
    bool operator==(const Ran&) const = default;
};

class FakeMapEvents final : public EventMapLink {
public:
    int32_t EventPageCount(int32_t id) override {
        auto found = pages.find(id);
        return found == pages.end() ? -1 : static_cast<int32_t>(found->second.size());
    }
    SharedCommandList EventPageCommands(int32_t id, int32_t page) override {
        auto found = pages.find(id);
        if (found == pages.end()) return nullptr;
        if (page < 0) page = current[id];
        return static_cast<size_t>(page) < found->second.size() ? found->second[static_cast<size_t>(page)] : nullptr;
    }
    void RequestEventStart(int32_t id) override { requested.push_back(id); }

    std::map<int32_t, std::vector<SharedCommandList>> pages;
    std::map<int32_t, int32_t> current;
    std::vector<int32_t> requested;
};

// Names in the texts: "\n" expands to what `expansions` says.
class FakeText final : public EventTextLink {
public:
    std::string ConvertEscapeCodes(const std::string& text, const EventTextOptions& options) override {
        calls.push_back(options);
        auto found = expansions.find(text);
        return found == expansions.end() ? text : found->second;
    }
    std::map<std::string, std::string> expansions;
    std::vector<EventTextOptions> calls;
};

class CallTest : public testing::EventTest {
protected:
    CallTest() {
        ActiveEventLinks().commonEvents = &commonEvents;
        ActiveEventLinks().map = &mapEvents;
        ActiveGameOwners().events = &commonEvents;
        table.Register(calls);
        table.Register(CommandCode::kSound, 2, 0, [this](EventInterpreter& in, const EventCommand& command) {
            ran.push_back({command.arguments[1], in.commonId, in.eventId, in.depth});
            return CommandResult::kNext;
        });
        table.Register(CommandCode::kWait, 1, 0, [](EventInterpreter& in, const EventCommand&) {
            ++in.line;
            return CommandResult::kStopFrame;
        });
        Define({});
        GlobalGameWideValues().testPlayFlag = 1;
    }
    ~CallTest() override { GlobalGameWideValues().testPlayFlag = 0; }

    // Common events with these lists (each marks its own index first), then
    // 60 in all; the store sized for them and the lists prepared.
    void Define(std::map<int32_t, std::vector<EventCommand>> lists, std::map<int32_t, std::string> names = {}) {
        gamedata::CommonEventsDescription description;
        description.events.resize(60);
        for (auto& [index, commands] : lists) {
            auto& event = description.events[static_cast<size_t>(index)];
            event.commands = {Mark(index)};
            event.commands.insert(event.commands.end(), commands.begin(), commands.end());
        }
        for (auto& [index, name] : names)
            description.events[static_cast<size_t>(index)].name = name;
        std::vector<uint8_t> file = gamedata::WriteCommonEventData(description);
        ASSERT_TRUE(commonEvents.LoadFromBytes(file, "CommonEvent.dat"));
        store = VariableStore(&interpreter, &databases);
        commonEvents.Prepare(table, store, databases);
    }
    // Runs `commands` as common event `common` from the main interpreter's
    // place (no map event).
    void RunAsCommon(int32_t common, std::vector<EventCommand> commands, int frames = 1) {
        interpreter_.Setup(MakeList(std::move(commands), common), -1, common);
        RunFrames(frames);
    }
    std::vector<int32_t> Tags() const {
        std::vector<int32_t> tags;
        for (const Ran& r : ran)
            tags.push_back(r.tag);
        return tags;
    }

    CommonEventList commonEvents;
    FakeMapEvents mapEvents;
    FakeText text;
    CallCommands calls{commonEvents, store, text};
    std::vector<Ran> ran;
};

TEST_F(CallTest, CallsACommonEventByNumberWithItsArguments) {
    Define({{12, {Mark(100)}}});
    SetVar(3, 44);
    store.SetString(kStringVariable + 1, "one");
    store.SetString(kStringVariable + 2, "two");
    // One integer argument (read as a value) and two strings (named by
    // string variables); the caller goes on only once the child ended.
    Start({Call(500012, 0x21, {kVariableBase + 3, kStringVariable + 1, kStringVariable + 2}), Mark(1)});
    RunFrames(1);
    EXPECT_EQ(ran, (std::vector<Ran>{{12, 12, 7, 1}, {100, 12, 7, 1}, {1, -1, 7, 0}}));
    EXPECT_EQ(store.GetInt(SelfInt(12, 0)), 44);
    EXPECT_EQ(store.GetString(SelfInt(12, 5)), "one");
    EXPECT_EQ(store.GetString(SelfInt(12, 6)), "two");
    EXPECT_EQ(store.GetInt(SelfInt(12, 1)), 0);
}

TEST_F(CallTest, RelativeNumbersCountFromTheRunningCommonEvent) {
    struct Case {
        int32_t caller;
        int32_t number;
        int32_t called;
    };
    const Case cases[] = {
        {7, 600100, 7},   // itself
        {7, 600101, 8},   // the next
        {7, 600099, 6},   // the one before
        {50, 600000, 0},  // 50 - 100, kept at 0
        {7, 999999, 59},  // far above: the last
    };
    for (const Case& c : cases) {
        ran.clear();
        Define({{c.called, {}}});
        RunAsCommon(c.caller, {Call(c.number)});
        ASSERT_EQ(ran.size(), 1u) << c.number;
        EXPECT_EQ(ran[0].commonId, c.called) << c.number;
        // A common event called from a common event runs for no map event.
        EXPECT_EQ(ran[0].eventId, -1);
    }
}

TEST_F(CallTest, AMissingCommonEventIsReportedInTestPlayOnly) {
    Start({Call(500060), Mark(1)});
    RunFrames(1);
    EXPECT_EQ(Tags(), std::vector<int32_t>{1});
    ASSERT_EQ(reporter.boxes.size(), 1u);
    EXPECT_EQ(reporter.boxes[0].line1, texts::kTestPlayOnlyError);
    EXPECT_EQ(reporter.boxes[0].line2, FormatText(texts::kMissingCommonEvent, 60));

    GlobalGameWideValues().testPlayFlag = 0;
    Start({Call(500061)});
    RunFrames(1);
    EXPECT_EQ(reporter.boxes.size(), 1u);
}

TEST_F(CallTest, CallsAMapEventPage) {
    auto page = [&](int32_t tag) { return MakeList({Mark(tag)}); };
    mapEvents.pages[7] = {page(70), page(71)};
    mapEvents.current[7] = 1;
    mapEvents.pages[9] = {page(90)};
    // -1: the caller's own event, its current page; page 0 whatever page is
    // current; another event's page by number.
    Start({Call(-1, -1), Call(7, 0), Call(9, 0), Mark(1)});
    RunFrames(1);
    EXPECT_EQ(ran, (std::vector<Ran>{{71, -1, 7, 1}, {70, -1, 7, 1}, {90, -1, 9, 1}, {1, -1, 7, 0}}));
    EXPECT_TRUE(reporter.boxes.empty());

    // No such page or event: the place shows the number as read and the
    // page counted from 1. From a common event -1 finds no event.
    ran.clear();
    RunAsCommon(3, {Call(9, 1), Call(8, 0), Call(-1, 0)});
    EXPECT_EQ(Tags(), std::vector<int32_t>{});
    ASSERT_EQ(reporter.boxes.size(), 3u);
    EXPECT_EQ(reporter.boxes[0].line2, FormatText(texts::kMissingMapEvent, 9, 2));
    EXPECT_EQ(reporter.boxes[1].line2, FormatText(texts::kMissingMapEvent, 8, 1));
    EXPECT_EQ(reporter.boxes[2].line2, FormatText(texts::kMissingMapEvent, -1, 1));
}

TEST_F(CallTest, ReservesCommonEventsInTheListAndStartsMapEvents) {
    mapEvents.pages[4] = {MakeList({Mark(4)}), MakeList({Mark(5)})};
    RunAsCommon(10, {Reserve(500020), Reserve(500060), Reserve(4, 1), Reserve(4, 2), Reserve(6, 0), Reserve(-1, 0)});
    // A number beyond the list is refused and leaves the reservation there is.
    EXPECT_EQ(system.reserved, 20);
    EXPECT_EQ(mapEvents.requested, std::vector<int32_t>{4});
    RunAsCommon(10, {Reserve(600099)});
    EXPECT_EQ(system.reserved, 9);
    EXPECT_TRUE(reporter.boxes.empty());
}

TEST_F(CallTest, CallsByNameTheLowestIndexOfAName) {
    Define({{3, {}}, {4, {}}}, {{3, "walk"}, {4, "walk"}, {5, "\\x"}});
    store.SetString(kStringVariable + 1, "s");
    Start({CallByName("walk", 0x11, {5, kStringVariable + 1}), CallByName("nobody"), Mark(1)});
    RunFrames(1);
    EXPECT_EQ(Tags(), (std::vector<int32_t>{3, 1}));
    EXPECT_EQ(store.GetInt(SelfInt(3, 0)), 5);
    EXPECT_EQ(store.GetInt(SelfInt(3, 1)), 0);
    EXPECT_EQ(store.GetString(SelfInt(3, 5)), "s");
    EXPECT_TRUE(text.calls.empty());

    // With bit 8 the name's codes are expanded first, values only.
    text.expansions["\\v[1]"] = "walk";
    ran.clear();
    Start({CallByName("\\v[1]", 0x100)});
    RunFrames(1);
    EXPECT_EQ(Tags(), std::vector<int32_t>{3});
    ASSERT_EQ(text.calls.size(), 1u);
    EXPECT_TRUE(text.calls[0].valuesOnly);
    EXPECT_TRUE(text.calls[0].leadingAtSignLine);
    EXPECT_EQ(text.calls[0].mapEventId, 7);
}

class CommonFileCallTest : public CallTest {
protected:
    CommonFileCallTest() {
        gamedata::GameDescription game;
        gamedata::CommonFileDescription& file = game.commonFiles.emplace_back();
        file.path = "Data\\extra.common";
        file.events.resize(2);
        file.events[0].name = "extra first";
        file.events[0].commands = {Mark(600)};
        file.events[1].name = "walk";
        file.events[1].commands = {Mark(601)};
        EXPECT_TRUE(gamedata::WriteCommonEventFiles(game, scratch_.path(), nullptr));
    }

    testing::ScratchDir scratch_;
    testing::InFolder inside_{scratch_.path()};
};

TEST_F(CommonFileCallTest, LoadsACommonFileOnceAndCallsItsFirstEvent) {
    Define({{3, {}}}, {{3, "walk"}});
    Start({CallByName("Data\\extra.common", 0x01, {77}), CallByName("Data\\extra.common"), CallByName("walk"),
           CallByName("extra first")});
    RunFrames(1);
    // Both calls run the file's first event; the names of its events now
    // point at them, a name that was there before too.
    EXPECT_EQ(Tags(), (std::vector<int32_t>{600, 600, 601, 600}));
    EXPECT_EQ(commonEvents.Size(), 62);
    EXPECT_EQ(commonEvents.LoadedFileIndex("Data\\extra.common"), 60);
    // The new events have their self variables.
    EXPECT_EQ(store.GetInt(SelfInt(60, 0)), 77);
    store.SetInt(SelfInt(61, 99), 5);
    EXPECT_EQ(store.GetInt(SelfInt(61, 99)), 5);
    EXPECT_EQ(ran[0].commonId, 60);

    // Reloading the list forgets the file and its names: the next call
    // reads the file again and lands inside the reloaded list.
    Define({{3, {}}}, {{3, "walk"}});
    EXPECT_FALSE(commonEvents.LoadedFileIndex("Data\\extra.common"));
    ran.clear();
    Start({CallByName("walk"), CallByName("Data\\extra.common")});
    RunFrames(1);
    EXPECT_EQ(Tags(), (std::vector<int32_t>{3, 600}));
    EXPECT_EQ(commonEvents.Size(), 62);
}

TEST_F(CommonFileCallTest, AFileThatDoesNotLoadIsTriedAgain) {
    Start({CallByName("Data\\missing.common"), Mark(1)});
    RunFrames(1);
    EXPECT_EQ(Tags(), std::vector<int32_t>{1});
    EXPECT_FALSE(commonEvents.LoadedFileIndex("Data\\missing.common"));
    EXPECT_EQ(commonEvents.Size(), 60);
    EXPECT_TRUE(reporter.boxes.empty());
}

TEST_F(CallTest, CallsNestUpToTheLimit) {
    // Common event 0 calls itself on every run: one frame nests it as deep
    // as calls go, then every level ends.
    Define({{0, {Call(500000), Mark(1)}}});
    Start({Call(500000)});
    RunFrames(1);
    ASSERT_EQ(ran.size(), 2u * EventInterpreter::kMaxDepth);
    EXPECT_EQ(ran[EventInterpreter::kMaxDepth - 1].depth, EventInterpreter::kMaxDepth);
    EXPECT_EQ(ran.back().depth, 1);
    EXPECT_FALSE(interpreter_.HasCommandList());
    EXPECT_TRUE(interpreter_.children.empty());
    // The same by name.
    ran.clear();
    Define({{0, {CallByName("self"), Mark(1)}}}, {{0, "self"}});
    Start({CallByName("self")});
    RunFrames(1);
    EXPECT_EQ(ran.size(), 2u * EventInterpreter::kMaxDepth);
    // Calling itself twice would be 2^100 calls: they share the frame's
    // limit of commands, which ends the frame with one box and pauses.
    ran.clear();
    Define({{0, {Call(500000), Call(500000), Mark(1)}}});
    Start({Call(500000)});
    RunFrames(1);
    EXPECT_EQ(reporter.boxes.size(), 1u);
    const size_t firstFrame = ran.size();
    RunFrames(4);
    EXPECT_EQ(ran.size(), firstFrame);
    EXPECT_EQ(reporter.boxes.size(), 1u);
}

// The loop stacks and the next line after a jump, found at run time (a
// map event's list) and from the prepared jump data (a common event's).
struct JumpOutcome {
    std::vector<int32_t> tags;
    std::vector<int32_t> indents;
    std::vector<int32_t> counters;
    bool operator==(const JumpOutcome&) const = default;
};

class JumpTest : public CallTest {
protected:
    JumpOutcome Run(const std::vector<EventCommand>& commands, bool prepared, int frames) {
        ran.clear();
        if (prepared) {
            RunAsCommon(0, commands, frames);
        } else {
            Start(commands);
            RunFrames(frames);
        }
        return {Tags(), interpreter_.loopIndents, interpreter_.loopCounters};
    }
};

TEST_F(JumpTest, SearchedAndPreparedJumpsAgree) {
    struct Case {
        const char* what;
        std::vector<EventCommand> commands;
        int frames;
        JumpOutcome expected;
    };
    const Case cases[] = {
        {"back out of a loop opened after the label",
         {Label("A"), Mark(1), Pause(), Cmd(CommandCode::kLoopStart), JumpTo("A", 1), Cmd(CommandCode::kLoopEnd)},
         2,
         {{1, 1}, {}, {}}},
        {"forward into a counted loop",
         {JumpTo("B"), Cmd(CommandCode::kLoopCount, {3}), Label("B", 1), Mark(2, 1), Pause(),
          Cmd(CommandCode::kLoopEnd)},
         1,
         {{2}, {0}, {0}}},
        {"forward into an endless loop",
         {JumpTo("C"), Cmd(CommandCode::kLoopStart), Label("C", 1), Mark(3), Pause(), Cmd(CommandCode::kLoopEnd)},
         1,
         {{3}, {0}, {EventInterpreter::kEndlessLoopCount}}},
        {"above wins over below",
         {Label("D"), Mark(1), Pause(), JumpTo("D"), Label("D"), Mark(2), Pause()},
         2,
         {{1, 1}, {}, {}}},
        {"the nearer of two below", {JumpTo("E"), Label("E"), Mark(1), Pause(), Label("E"), Mark(2)}, 1, {{1}, {}, {}}},
        {"no such label", {JumpTo("Z"), Mark(7), Pause()}, 1, {{7}, {}, {}}},
        {"back into a loop left before the jump",
         {Cmd(CommandCode::kLoopCount, {2}), Label("F", 1), Mark(4), Pause(), Cmd(CommandCode::kBreakLoop, {}, 1),
          Cmd(CommandCode::kLoopEnd), JumpTo("F")},
         2,
         {{4, 4}, {0}, {0}}},
    };
    for (const Case& c : cases) {
        const JumpOutcome searched = Run(c.commands, false, c.frames);
        EXPECT_EQ(searched, c.expected) << c.what;
        const JumpOutcome prepared = Run(c.commands, true, c.frames);
        EXPECT_EQ(prepared, c.expected) << c.what;
    }
}

TEST_F(JumpTest, NamesWithCodesAreSearchedAtRunTime) {
    text.expansions["\\s[1]"] = "here";
    const std::vector<EventCommand> commands = {JumpTo("\\s[1]"), Mark(1), Label("here"), Mark(2)};
    Run(commands, true, 1);
    EXPECT_EQ(Tags(), std::vector<int32_t>{2});
    ASSERT_FALSE(text.calls.empty());
    EXPECT_FALSE(text.calls[0].valuesOnly);
    EXPECT_EQ(text.calls[0].mapId, 3);
    EXPECT_EQ(text.calls[0].commonEventId, 0);
}

}  // namespace
}  // namespace velk
