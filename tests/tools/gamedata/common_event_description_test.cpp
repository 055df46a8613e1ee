#include <gtest/gtest.h>

#include "game/event/common_events.h"
#include "platform/base/text_encoding.h"
#include "tests/game/data/data_test_support.h"
#include "tests/support/scratch_dir.h"
#include "tools/gamedata/description_parser.h"
#include "tools/gamedata/game_folder_writer.h"

namespace velk::gamedata {
namespace {

std::string ErrorOf(const std::string& text) {
    std::string error;
    EXPECT_FALSE(ParseGameDescription(text, &error));
    return error;
}

TEST(CommonEventDescription, WritesFilesTheGameReads) {
    std::string error;
    auto game = ParseGameDescription(R"(
common-events
  seeds 9 8 7
  event "歩く"
    trigger 0x62
    condition 2000001 6
    options 1 2
    command 210 500001 0x21 3 3000001
    command 300 0 0x100 indent 1 text "名前" text "b"
    bytes 4 5
    note "memo"
    arg-strings "a"
    arg-string-list "x" "y"
    arg-int-list -1 0xFFFFFFFF
    arg-ints 1 2 3 4 5 6
  event ""
    record-version 142
    no-end
common-file "Data\\more.common"
  event "more"
    command 213 text "top"
)",
                                     &error);
    ASSERT_TRUE(game) << error;
    testing::ScratchDir scratch;
    ASSERT_TRUE(WriteGameFolder(*game, scratch.path(), &error)) << error;
    testing::InFolder inside(scratch.path());
    testing::RecordingReporter reporter;

    CommonEventList list;
    ASSERT_TRUE(list.Load("BasicData\\CommonEvent.dat"));
    ASSERT_EQ(list.Size(), 2);
    const CommonEvent& walk = list.Events()[0];
    EXPECT_EQ(walk.name, platform::Utf8ToShiftJis("歩く"));
    EXPECT_EQ(walk.trigger, 0x62);
    EXPECT_EQ(walk.conditionVariable, 2000001);
    EXPECT_EQ(walk.conditionValue, 6);
    EXPECT_EQ(walk.option1, 2);
    ASSERT_EQ(walk.commands->Size(), 3u);
    EXPECT_EQ((*walk.commands)[0].arguments, (std::vector<int32_t>{210, 500001, 0x21, 3, 3000001}));
    EXPECT_EQ((*walk.commands)[1].indent, 1);
    EXPECT_EQ((*walk.commands)[1].strings, (std::vector<std::string>{platform::Utf8ToShiftJis("名前"), "b"}));
    EXPECT_EQ((*walk.commands)[2].Code(), -1);
    EXPECT_EQ(walk.extraBytes, (std::vector<uint8_t>{4, 5}));
    EXPECT_EQ(walk.note, "memo");
    EXPECT_EQ(walk.argStrings[0], "a");
    EXPECT_EQ(walk.argStrings.size(), 10u);
    EXPECT_EQ(walk.argStringLists[0], (std::vector<std::string>{"x", "y"}));
    EXPECT_EQ(walk.argIntLists[0], (std::vector<int32_t>{-1, -1}));
    EXPECT_EQ(walk.argInts.size(), 6u);
    // No commands at all: the list still ends.
    EXPECT_EQ(list.Events()[1].commands->Size(), 1u);

    EXPECT_EQ(list.AppendFile("Data\\more.common", 2, true), 1);
    EXPECT_EQ(list.Events()[2].name, "more");
    EXPECT_TRUE(reporter.messages.empty());
}

TEST(CommonEventDescription, NamesTheLineOfEveryMistake) {
    EXPECT_EQ(ErrorOf("common-events\ntrigger 1"), "line 2: 'event' must come first");
    EXPECT_EQ(ErrorOf("common-events\nevent a\ncommand"), "line 3: a command needs its code");
    EXPECT_EQ(ErrorOf("common-events\nevent a\ncommand 101 \"t\""), "line 3: not a number: t");
    // A map section after common events is a map section.
    EXPECT_EQ(ErrorOf("common-events\nmap x\nbogus"), "line 3: unknown map statement 'bogus'");
    EXPECT_EQ(ErrorOf("common-events\nevent a\ntrigger 256"), "line 3: number out of range: 256");
    EXPECT_EQ(ErrorOf("common-file x\nevent a\nseeds 1 2 3"), "line 3: unknown common-event statement 'seeds'");
    EXPECT_EQ(ErrorOf("common-events\nevent a\nbogus"), "line 3: unknown common-event statement 'bogus'");
}

}  // namespace
}  // namespace velk::gamedata
