#pragma once
// The string command's text prompt on the library's key-input handles: one
// prompt at a time (the game system's flag), edited by the library as the
// player types, drawn every frame at the prompt position (system variables
// 40 and 41, doubled with 16-pixel chips) in the colours of the system
// database's colour rows 10-12.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "game/event/event_links.h"

namespace velk {

class Database;
class EventInterpreter;
class GameSystem;
class MapEvent;
class ParallelCommonEventRunner;
struct SystemVariableBlock;

class TextPrompt final : public TextPromptLink {
public:
    // `drawScale` is 2 with 16-pixel chips, else 1.
    TextPrompt(GameSystem& system, const SystemVariableBlock& values, Database& systemDatabase, int32_t drawScale);

    int32_t State(int32_t handle) override;
    std::string Text(int32_t handle) override;
    void Delete(int32_t handle) override;
    int32_t Open(int32_t maxLength, bool cancelAllowed, const std::string& startText) override;
    bool PromptOpen() override;
    void ClosePrompt() override;

    // The frame's prompt lines: the main interpreter's, each map event's in
    // map order, then each parallel common event's. A prompt that none of
    // them holds any more (its interpreter was stopped or replaced) is
    // closed, so later prompts do not wait for it forever.
    void DrawLines(const EventInterpreter& main, const std::vector<MapEvent>& events,
                   std::span<const ParallelCommonEventRunner> runners);
    // The handle of the open prompt, 0 none.
    int32_t OpenHandle() const { return open_; }

private:
    void Draw(int32_t handle);
    // A colour row's components, -1 (not given) when the row is missing.
    int64_t RowColour(int32_t row);

    GameSystem& system_;
    const SystemVariableBlock& values_;
    Database& database_;
    int32_t drawScale_;
    int32_t open_ = 0;
};

}  // namespace velk
