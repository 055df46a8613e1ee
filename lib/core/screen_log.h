#pragma once
// The on-screen log: 80 lines of text that the present step can draw over
// each frame, one line height (16 pixels) apart, with a font of its own.
// Nothing in the program switches its display on or writes into its lines;
// tests do, through the setters below.

#include <functional>

namespace velk {

constexpr int kScreenLogLines = 80;
constexpr int kScreenLogLineBytes = 255;

// What the on-screen log needs of the window and the graphics side; library
// start-up puts the real ones in.
struct ScreenLogServices {
    // Whether the display is set up and the main window exists.
    std::function<bool()> display_ready = [] { return false; };
    std::function<bool()> window_exists = [] { return false; };
    // A font of the default face at this size and thickness, drawn with an
    // edge; -1 on failure.
    std::function<int(int size, int thickness)> create_font = [](int, int) { return -1; };
    std::function<int(int font)> delete_font = [](int) { return 0; };
    // The font's deletion writes 1 through the flag.
    std::function<int(int font, int* deleted)> set_font_delete_notify = [](int, int*) { return 0; };
    std::function<int()> screen_height = [] { return 480; };
    // Draws a line in white with a black edge.
    std::function<int(int x, int y, const char* text, int font)> draw_line = [](int, int, const char*, int) {
        return 0;
    };
};
void SetScreenLogServices(ScreenLogServices services);

// 0; -1 without the display or without a window. Makes the font (again when
// it was lost) and clears the lines.
int InitScreenLog();
// Draws min(screen height / line height, 80) lines, line i at (0, 16 i). 0.
int DrawScreenLog();
// Library shut-down: deletes the font; the log is no longer set up.
void EndScreenLog();

// Whether the on-screen log is drawn over each presented frame.
int GetOnScreenLogFlag();
int SetOnScreenLogFlag(int flag);
// Writes a line (cut to 254 bytes); -1 for a line outside 0..79.
int SetScreenLogLine(int line, const char* text);
// The font handle (-1 until made).
int GetScreenLogFontHandle();

}  // namespace velk
