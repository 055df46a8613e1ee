#include "lib/core/screen_log.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace velk {

namespace {

constexpr int kLineHeight = 16;
constexpr int kFontThickness = 4;

struct ScreenLogState {
    ScreenLogServices services;
    bool set_up = false;
    int display_flag = 0;
    int font = -1;
    // 1 until the font is made and again once it was deleted: the font
    // management writes it through the deletion flag.
    int remake_font = 1;
    std::array<std::array<char, kScreenLogLineBytes>, kScreenLogLines> lines{};
};

ScreenLogState& State() {
    static ScreenLogState state;
    return state;
}

void MakeFontIfLost(ScreenLogState& state) {
    if (state.remake_font == 0 && state.font != -1) return;
    state.font = state.services.create_font(kLineHeight, kFontThickness);
    if (state.font == -1) return;
    state.services.set_font_delete_notify(state.font, &state.remake_font);
}

}  // namespace

void SetScreenLogServices(ScreenLogServices services) { State().services = std::move(services); }

int InitScreenLog() {
    ScreenLogState& state = State();
    if (!state.services.display_ready() || !state.services.window_exists()) return -1;
    state.set_up = true;
    MakeFontIfLost(state);
    for (auto& line : state.lines)
        line.fill('\0');
    return 0;
}

int DrawScreenLog() {
    ScreenLogState& state = State();
    if (!state.set_up) return 0;
    MakeFontIfLost(state);
    if (state.font == -1) return 0;
    const int count = std::min(state.services.screen_height() / kLineHeight, kScreenLogLines);
    for (int i = 0; i < count; ++i) {
        if (state.lines[i][0] == '\0') continue;
        state.services.draw_line(0, kLineHeight * i, state.lines[i].data(), state.font);
    }
    return 0;
}

void EndScreenLog() {
    ScreenLogState& state = State();
    if (!state.set_up) return;
    if (state.font != -1 && state.remake_font == 0) state.services.delete_font(state.font);
    state.font = -1;
    state.remake_font = 1;
    state.set_up = false;
}

int GetOnScreenLogFlag() { return State().display_flag; }

int SetOnScreenLogFlag(int flag) {
    State().display_flag = flag;
    return 0;
}

int SetScreenLogLine(int line, const char* text) {
    if (line < 0 || line >= kScreenLogLines || text == nullptr) return -1;
    auto& bytes = State().lines[line];
    const size_t length = std::min(std::strlen(text), bytes.size() - 1);
    std::memcpy(bytes.data(), text, length);
    bytes[length] = '\0';
    return 0;
}

int GetScreenLogFontHandle() { return State().font; }

}  // namespace velk
