#include "game/present/sound_commands.h"

#include <map>

#include <gtest/gtest.h>

#include "game/data/game_owners.h"
#include "game/data/variable_store.h"
#include "game/event/command_table.h"
#include "game/event/event_interpreter.h"
#include "game/event/event_links.h"
#include "game/event/event_records.h"
#include "game/present/sound_state.h"
#include "tests/game/present/sound_test_support.h"

namespace velk::testing {
namespace {

// Arguments whose values are the stored numbers, except the ones a test
// names as variables.
class ListArguments final : public SoundCommandArguments {
public:
    ListArguments(std::vector<int32_t> values, std::string name = {})
        : values_(std::move(values)), name_(std::move(name)) {}
    int32_t Count() const override { return static_cast<int32_t>(values_.size()); }
    int32_t Raw(int32_t index) const override { return values_[static_cast<size_t>(index)]; }
    int32_t Value(int32_t index) override {
        reads.push_back(index);
        auto variable = variables.find(values_[static_cast<size_t>(index)]);
        return variable != variables.end() ? variable->second : values_[static_cast<size_t>(index)];
    }
    std::string FileName() override { return name_; }
    std::string SpeechText() override { return name_; }

    std::map<int32_t, int32_t> variables;
    std::vector<int32_t> reads;

private:
    std::vector<int32_t> values_;
    std::string name_;
};

constexpr int32_t kCode = 140;

int32_t Option(int32_t operation, int32_t kind, int32_t number, int32_t source) {
    return operation | (kind << 4) | (number << 8) | (source << 24);
}

class SoundCommandsTest : public GameSoundTest {
protected:
    void SetUp() override {
        GameSoundTest::SetUp();
        WriteDataFile("a.wav", SteadyWave(4000, 0));
        WriteDataFile("run.wav", SteadyWave(4000, 0));
        MakeState({{"a.wav", 0, 0, 0}, {"a.wav", 0, 0, 0}}, {}, {{"a.wav", 0, 0, 0}});
        commands_ = std::make_unique<SoundCommands>(*state_);
    }

    bool Run(ListArguments&& arguments) { return commands_->Sound(arguments); }
    bool Run(ListArguments& arguments) { return commands_->Sound(arguments); }

    std::unique_ptr<SoundCommands> commands_;
};

TEST_F(SoundCommandsTest, NumberFromTheWordOrAnArgument) {
    EXPECT_TRUE(Run(ListArguments({kCode, Option(0, 0, 1, 0), 0})));
    EXPECT_EQ(state_->CurrentNumber(SoundState::kMusic), 1);
    // 65535 in the word stops the music.
    Run(ListArguments({kCode, Option(0, 0, 65535, 0), 0}));
    EXPECT_EQ(state_->CurrentNumber(SoundState::kMusic), -1);

    ListArguments fromVariable({kCode, Option(0, 0, 0, 1), 0, 2000005, 0});
    fromVariable.variables[2000005] = 0;
    Run(fromVariable);
    EXPECT_EQ(state_->CurrentNumber(SoundState::kMusic), 0);
    // With five or more arguments argument 4 is read as the start position.
    EXPECT_EQ(fromVariable.reads, (std::vector<int32_t>{3, 4, 2}));
}

TEST_F(SoundCommandsTest, PreloadReleaseAndTheNumbersThatDoNothing) {
    Run(ListArguments({kCode, Option(1, 2, 0, 0), 0}));
    EXPECT_NE(state_->RowHandle(SoundState::kSoundEffect, 0), 0);
    Run(ListArguments({kCode, Option(2, 2, 0, 0), 0}));
    EXPECT_EQ(state_->RowHandle(SoundState::kSoundEffect, 0), 0);

    // -2 plays and preloads nothing; a release of -1 from a variable ends at once.
    Run(ListArguments({kCode, Option(0, 0, 0, 1), 0, -2}));
    Run(ListArguments({kCode, Option(1, 0, 0, 1), 0, -2}));
    EXPECT_EQ(state_->CountLoadedSounds(), 0);
    EXPECT_EQ(state_->CurrentNumber(SoundState::kMusic), -1);
    ListArguments release({kCode, Option(2, 0, 0, 1), 0, -1});
    Run(release);
    EXPECT_EQ(release.reads, (std::vector<int32_t>{3}));
    // Operations 3-15 and sources beyond 2 do nothing harmful.
    Run(ListArguments({kCode, Option(7, 0, 1, 0), 0}));
    Run(ListArguments({kCode, Option(0, 0, 1, 9), 0}));
    EXPECT_EQ(state_->CurrentNumber(SoundState::kMusic), -1);
    // A list too short for its option word.
    Run(ListArguments({kCode}));
    Run(ListArguments({kCode, Option(0, 1, 0, 2)}, "a.wav"));
}

TEST_F(SoundCommandsTest, FileSourceRegistersThenPlays) {
    Run(ListArguments({kCode, Option(0, 0, 0, 2), 0, 0, 0, 70, 0, 500}, "run.wav"));
    const int32_t row = state_->CurrentNumber(SoundState::kMusic);
    EXPECT_EQ(row, 2);
    EXPECT_EQ(database_.GetString(1, row, 0), "run.wav");
    EXPECT_EQ(database_.GetInt(1, row, 1), 70);
    EXPECT_EQ(database_.GetInt(1, row, 3), 500);
    // A file that cannot be loaded ends the command: nothing else changes.
    Run(ListArguments({kCode, Option(0, 0, 0, 2), 0, 0, 0, 70, 0, 500}, "missing.wav"));
    EXPECT_EQ(state_->CurrentNumber(SoundState::kMusic), row);
    EXPECT_EQ(reporter_.boxes.size(), 1u);
    // An empty name gives -1: the music stops.
    Run(ListArguments({kCode, Option(0, 0, 0, 2), 0, 0, 0, 70, 0, 500}, ""));
    EXPECT_EQ(state_->CurrentNumber(SoundState::kMusic), -1);
}

TEST_F(SoundCommandsTest, TheTableRunsTheCommandThroughTheInterpreter) {
    SoundCommandSet set(*state_);
    CommandTable table;
    table.Register(set);
    const CommandEntry* entry = table.Find(static_cast<int32_t>(CommandCode::kSound));
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->minimumArguments, 2);
    EventInterpreter interpreter;
    EventCommand command;
    command.arguments = {kCode, Option(0, 0, 0, 2), 0, 0, 0, 90, 0, 0};
    command.strings = {"run.wav"};
    EXPECT_EQ(entry->handler(interpreter, command), CommandResult::kAdvance);
    EXPECT_EQ(state_->CurrentNumber(SoundState::kMusic), 2);
    EXPECT_EQ(database_.GetInt(1, 2, 1), 90);
    command.arguments = {kCode, Option(0, 0, 65535, 0)};
    command.strings.clear();
    entry->handler(interpreter, command);
    EXPECT_EQ(state_->CurrentNumber(SoundState::kMusic), -1);
}

class MapFive final : public MapOwner {
public:
    int32_t CurrentMapId() override { return 5; }
};

// A file name reads the self variables of map events on the map shown now
// (map 5), not on the map the event was set up on (map 3).
TEST_F(SoundCommandsTest, FileNamesExpandOnTheCurrentMap) {
    WriteDataFile("7.wav", SteadyWave(4000, 0));
    MapFive currentMap;
    MapOwner* const previousMap = ActiveGameOwners().map;
    ActiveGameOwners().map = &currentMap;
    SoundCommandSet set(*state_);
    CommandTable table;
    table.Register(set);
    VariableStore& store = *ActiveEventLinks().variables;
    const VariableId self0 = kMapSelfBase + 10;
    store.SetMapOverride(3);
    store.SetInt(self0, 9);
    store.SetInt(self0, 7);
    EventInterpreter interpreter;
    interpreter.eventId = 1;
    interpreter.mapId = 3;
    EventCommand command;
    command.arguments = {kCode, Option(0, 0, 0, 2), 0, 0, 0, 90, 0, 0};
    command.strings = {"\\self[0].wav"};
    table.Find(kCode)->handler(interpreter, command);
    EXPECT_EQ(state_->CurrentNumber(SoundState::kMusic), 2);
    EXPECT_EQ(database_.GetString(1, 2, 0), "7.wav");
    EXPECT_TRUE(reporter_.boxes.empty());
    store.SetMapOverride(3);
    store.SetInt(self0, 0);
    store.SetInt(self0, 0);
    ActiveGameOwners().map = previousMap;
}

}  // namespace
}  // namespace velk::testing
