#pragma once
// Typed text: the window procedure puts every typed character (Shift-JIS
// bytes) and the editing keys (as control codes) into one character ring;
// key-input handles are small line editors that take the ring's bytes once
// per frame and edit their text with selection, clipboard and Shift-JIS-aware
// cursor movement, and are drawn with a blinking cursor and the input
// method's composition.

#include <cstdint>
#include <functional>
#include <string>

#include "lib/core/math.h"

namespace velk {

// ---- The character ring ----

// 0, or -1 when the ring is full (the byte is lost).
int StockInputChar(unsigned char byte);
bool IsCharBufferFull();
// The size of the next character (0 when the ring is empty or a lead byte
// waits for its second byte, 1, or 2), copied to `out` (two bytes); taken
// out of the ring when `consume` is 1.
int GetInputChar(char* out, int consume);
int ClearInputCharBuf();
// Start-up: clears the ring, the input method's state and every handle and
// sets the colours and the cursor blink to their start values.
int InitCharBuffer();

// ---- Key-input handles ----

constexpr int kMaxKeyInputs = 256;

// -1 when all handles are in use or the maximum length is below 1.
int CreateKeyInputBody(int max_length, int cancel_allowed, int single_byte_only, int digits_only);
int DeleteKeyInputBody(int handle);
// -1 makes no handle active.
int SetActiveKeyInputBody(int handle);
// 2 cancelled, 1 finished, 0 editing, -1 bad handle.
int GetKeyInputStateBody(int handle);
int SetKeyInputTextBody(const char* text, int handle);
// Copies the text, cut to whole characters that fit with the terminator
// into `buffer_size` bytes; -1 for a bad handle.
int GetKeyInputTextBody(char* buffer, int buffer_size, int handle);
// The whole text; false for a bad handle.
bool GetKeyInputTextString(int handle, std::string* text);
// Fifteen colours, each a 64-bit value whose all-ones form means "not given".
int SetKeyInputColorsBody(const uint64_t colours[15]);
int DrawKeyInputStringBody(int x, int y, int handle);
// Library shut-down: deletes every handle.
void EndKeyInput();
// The per-frame editing step (message processing runs it).
int ProcessKeyInput();

// ---- Input method ----

int SetIMEEnable(int flag);
int64_t HandleIMEMessage(uint64_t wparam, int64_t lparam, uint32_t message, int32_t window);
// The window became active with the input method enabled and open.
void RequestImeReopen();
bool IsImeEnabled();

// ---- Public operations ----

int CreateKeyInput(int max_length, int cancel_allowed, int single_byte_only, int digits_only);
int DeleteKeyInput(int handle);
int SetActiveKeyInput(int handle);
int GetKeyInputState(int handle);
int DrawKeyInputString(int x, int y, int handle);
int SetKeyInputText(const char* text, int handle);
int GetKeyInputText(char* buffer, int buffer_size, int handle);
int SetKeyInputColors(int64_t text, int64_t cursor, int64_t ime_background, int64_t ime_cursor,
                      int64_t ime_underline, int64_t ime_selected, int64_t unused7, int64_t text_edge,
                      int64_t selected_candidate_edge, int64_t unused10, int64_t candidate_frame,
                      int64_t candidate_background, int64_t selected_text, int64_t selected_text_edge,
                      int64_t selection_background);

// ---- What drawing needs of the graphics side ----

struct KeyInputDrawServices {
    // A colour value in the screen's format.
    std::function<uint32_t(int r, int g, int b)> get_color_value = [](int r, int g, int b) {
        return static_cast<uint32_t>((r & 0xFF) << 16 | (g & 0xFF) << 8 | (b & 0xFF));
    };
    std::function<int()> get_default_font_handle = [] { return -1; };
    std::function<int(int font)> get_font_size = [](int) { return 16; };
    // Width in pixels of `length` bytes of the text.
    std::function<int(const char* text, int length, int font)> get_string_width = [](const char*, int length, int) {
        return length * 8;
    };
    std::function<int(int x, int y, const char* text, uint32_t colour, int font, uint32_t edge)> draw_string =
        [](int, int, const char*, uint32_t, int, uint32_t) { return 0; };
    std::function<int(int x1, int y1, int x2, int y2, uint32_t colour, int fill)> draw_box =
        [](int, int, int, int, uint32_t, int) { return 0; };
    std::function<Rect()> get_draw_area = [] { return Rect{0, 0, 640, 480}; };
    std::function<int()> get_use_3d = [] { return 0; };
    std::function<int(int flag)> set_use_3d = [](int) { return 0; };
};
void SetKeyInputDrawServices(KeyInputDrawServices services);

// Connects the character ring, the editing step and the input method to the
// window's procedure and message processing.
void RegisterTextInputWithWindow();

}  // namespace velk
