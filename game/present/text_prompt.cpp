#include "game/present/text_prompt.h"

#include <algorithm>

#include "game/data/database.h"
#include "game/data/game_system.h"
#include "game/data/system_variable_block.h"
#include "game/event/event_interpreter.h"
#include "game/event/parallel_common_event_runner.h"
#include "game/map/map_event.h"
#include "game/present/text_renderer.h"
#include "lib/api/library_api.h"

namespace velk {
namespace {

// The key-input colour not given: the library keeps what it has.
constexpr int64_t kKeepColour = -1;
constexpr int32_t kTextRow = 10;
constexpr int32_t kCursorRow = 11;
constexpr int32_t kCompositionCursorRow = 12;

}  // namespace

TextPrompt::TextPrompt(GameSystem& system, const SystemVariableBlock& values, Database& systemDatabase,
                       int32_t drawScale)
    : system_(system), values_(values), database_(systemDatabase), drawScale_(drawScale) {}

int32_t TextPrompt::State(int32_t handle) { return GetKeyInputState(handle); }

std::string TextPrompt::Text(int32_t handle) {
    std::string text;
    GetKeyInputTextString(handle, &text);
    return text;
}

void TextPrompt::Delete(int32_t handle) {
    DeleteKeyInput(handle);
    if (handle == open_) open_ = 0;
}

int32_t TextPrompt::Open(int32_t maxLength, bool cancelAllowed, const std::string& startText) {
    // The flag was clear, so a handle still kept belongs to no prompt.
    if (open_ != 0) Delete(open_);
    system_.textPromptOpen = 1;
    SetDefaultFontSize(values_.sysVar8 * drawScale_);
    const int handle = CreateKeyInput(maxLength, cancelAllowed ? 1 : 0, 0, 0);
    if (handle < 0) return 0;
    SetActiveKeyInput(handle);
    if (!startText.empty()) SetKeyInputText(startText.c_str(), handle);
    open_ = handle;
    return handle;
}

bool TextPrompt::PromptOpen() { return system_.textPromptOpen != 0; }

void TextPrompt::ClosePrompt() { system_.textPromptOpen = 0; }

int64_t TextPrompt::RowColour(int32_t row) {
    int32_t rgb[3];
    for (int32_t item = 0; item < 3; ++item) {
        // A game with fewer colour rows keeps the library's colours rather
        // than reporting a missing row every frame.
        const int32_t* cell = database_.GetIntPtr(kTextColorType, row, item, true);
        if (!cell) return kKeepColour;
        rgb[item] = std::max(*cell, 0);
    }
    return GetColorValue(rgb[0], rgb[1], rgb[2]);
}

void TextPrompt::Draw(int32_t handle) {
    const int64_t text = RowColour(kTextRow);
    const int64_t cursor = RowColour(kCursorRow);
    const int64_t compositionCursor = RowColour(kCompositionCursorRow);
    SetKeyInputColors(text, cursor, text, compositionCursor, text, text, compositionCursor, kKeepColour, kKeepColour,
                      kKeepColour, kKeepColour, kKeepColour, kKeepColour, kKeepColour, kKeepColour);
    DrawKeyInputString(values_.sysVar40 * drawScale_, values_.sysVar41 * drawScale_, handle);
}

void TextPrompt::DrawLines(const EventInterpreter& main, const std::vector<MapEvent>& events,
                           std::span<const ParallelCommonEventRunner> runners) {
    bool held = false;
    auto line = [&](const EventInterpreter* owner) {
        if (!owner) return;
        Draw(owner->textInput);
        held = held || owner->textInput == open_;
    };
    line(main.PromptOwner());
    for (const MapEvent& event : events)
        line(event.interpreters.empty() ? nullptr : event.interpreters.front().PromptOwner());
    for (const ParallelCommonEventRunner& runner : runners)
        line(runner.PromptOwner());
    if (open_ != 0 && !held) {
        Delete(open_);
        ClosePrompt();
    }
}

}  // namespace velk
