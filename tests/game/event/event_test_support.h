#pragma once
// Hand-built command lists run frame by frame against the real variable
// store, with fakes for the state above the interpreter.

#include <deque>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "game/data/databases.h"
#include "game/data/variable_store.h"
#include "game/event/command_preparation.h"
#include "game/event/command_table.h"
#include "game/event/event_interpreter.h"
#include "game/event/event_links.h"
#include "tests/game/data/data_test_support.h"
#include "tests/game/data/store_fakes.h"

namespace velk::testing {

// A command: its code, the arguments after it, indent and strings.
inline EventCommand Cmd(CommandCode code, std::vector<int32_t> arguments = {}, int32_t indent = 0,
                        std::vector<std::string> strings = {}) {
    EventCommand command;
    command.arguments = {CodeValue(code)};
    command.arguments.insert(command.arguments.end(), arguments.begin(), arguments.end());
    command.indent = indent;
    command.strings = std::move(strings);
    return command;
}

inline EventCommand RawCmd(int32_t code, std::vector<int32_t> arguments = {}, int32_t indent = 0) {
    EventCommand command = Cmd(CommandCode::kEndOfList, std::move(arguments), indent);
    command.arguments[0] = code;
    return command;
}

inline EventCommand End() { return Cmd(CommandCode::kEndOfList); }

// The variable operation's own ID flags: assignment and operation as the
// fast codes number them.
inline int32_t OperationFlags(int32_t assignment, int32_t operation) { return assignment << 8 | operation << 12; }

class FakeSystem final : public EventSystemLink {
public:
    int32_t SceneState() override { return sceneState; }
    bool GameLoadedThisFrame() override { return gameLoaded; }
    bool StateReplaced() override { return stateReplaced; }
    bool TransitionWaiting() override { return transitionWaiting; }
    int32_t ReservedCommonEvent() override { return reserved; }
    void SetReservedCommonEvent(int32_t index) override { reserved = index; }
    int32_t FrameStep() override { return 1; }
    void RequestMessage(const std::string& text) override { messages.push_back(text); }

    int32_t sceneState = 1;
    bool gameLoaded = false, stateReplaced = false, transitionWaiting = false;
    int32_t reserved = -1;
    std::vector<std::string> messages;
};

struct FakeMapEvent {
    bool startRequested = false;
    bool autoStart = false;
    SharedCommandList commands;
};

class FakeEventMap final : public EventMapLink {
public:
    void MarkPagesForRefresh() override { marked = true; }
    void RefreshPagesIfMarked() override {
        if (marked) ++refreshes;
        marked = false;
    }
    bool AnyForcedRouteRunning() override { return forcedRoute; }
    std::optional<StartingMapEvent> TakeStartingEvent() override {
        for (auto& [id, event] : events) {
            if (!event.startRequested) continue;
            if (!event.autoStart) event.startRequested = false;
            return StartingMapEvent{id, event.commands};
        }
        return std::nullopt;
    }
    bool HasEvent(int32_t id) override { return events.count(id) != 0; }
    void StartErase(int32_t id, int32_t frames) override { erased.emplace_back(id, frames); }
    void RestoreFacingAfterEvent(int32_t id) override { restoredFacing.push_back(id); }

    bool marked = false;
    int refreshes = 0;
    bool forcedRoute = false;
    std::map<int32_t, FakeMapEvent> events;
    std::vector<std::pair<int32_t, int32_t>> erased;
    std::vector<int32_t> restoredFacing;
};

class FakeCommons final : public CommonEventLink {
public:
    int32_t Count() override { return static_cast<int32_t>(events.size()); }
    std::optional<CommonEventStart> Get(int32_t index) override {
        if (index < 0 || index >= Count()) return std::nullopt;
        return events[static_cast<size_t>(index)];
    }
    std::vector<CommonEventStart> events;
};

class FakePrompt final : public TextPromptLink {
public:
    int32_t State(int32_t) override { return state; }
    std::string Text(int32_t) override { return text; }
    void Delete(int32_t handle) override { deleted.push_back(handle); }
    void ClosePrompt() override { ++closed; }

    int32_t state = 0;
    std::string text;
    std::vector<int32_t> deleted;
    int closed = 0;
};

// A system database whose type 14 gives 100 normal variables; five common
// events; map 3 current.
class EventTest : public ::testing::Test {
protected:
    EventTest() {
        for (int32_t type = 0; type < 16; ++type) {
            DbTypeData& data = databases.system.types.emplace_back();
            data.itemKinds = {1000};
            data.rows.assign(type == 14 ? 100 : 1, DbRow{{0}, {}});
            databases.system.typeDefs.emplace_back();
        }
        owners.events.count = 5;
        owners.map.mapId = 3;
        store = VariableStore(&interpreter, &databases);
        ActiveEventLinks() = {&system, &map,       &commons, &prompt, &keyInput, &interpreter.block,
                              &store,  &databases, &table};
    }
    ~EventTest() override { ResetEventLinks(); }

    // Variables as numbers 0-99.
    int32_t Var(int32_t n) { return store.GetInt(kVariableBase + n); }
    void SetVar(int32_t n, int32_t value) { store.SetInt(kVariableBase + n, value); }

    SharedCommandList MakeList(std::vector<EventCommand> commands, int32_t commonIndex = -1) {
        auto list = std::make_shared<CommandList>(std::move(commands));
        PadCommands(*list, table);
        if (commonIndex >= 0) PreResolveCommonEvent(*list, commonIndex, store, databases);
        return list;
    }

    // Runs `list` as a map event's interpreter (event 7).
    EventInterpreter& Start(std::vector<EventCommand> commands, int32_t commonIndex = -1) {
        interpreter_.Setup(MakeList(std::move(commands), commonIndex), commonIndex >= 0 ? -1 : 7, commonIndex);
        return interpreter_;
    }
    void RunFrames(int frames) {
        for (int i = 0; i < frames; ++i)
            interpreter_.Run();
    }

    RecordingReporter reporter;
    FakeOwners owners;
    FakeInterpreter interpreter;
    DatabaseSet databases;
    VariableStore store{nullptr, &databases};
    CommandTable table;
    FakeSystem system;
    FakeEventMap map;
    FakeCommons commons;
    FakePrompt prompt;
    KeyInputLink keyInput;
    EventInterpreter interpreter_;
};

}  // namespace velk::testing
