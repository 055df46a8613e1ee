#pragma once
// The library's one top-level window: created at start-up, ended at
// shut-down, and the small accessors other parts read its state through.

#include "lib/core/math.h"
#include "platform/window/window_messages.h"

namespace velk {

// 0, or -1 when the window cannot be made or another instance runs.
int CreateMainWindow();
// Whether the last CreateMainWindow failed because another player of the
// same game runs on this display.
bool SecondInstanceRefused();
int EndMainWindow();
// Resizes the window to the draw screen's size times the rate, keeping its
// position.
int FitWindowToDrawScreen();
int ForceForegroundWindow(platform::WindowHandle window, int topmost);
// The client rectangle on the screen.
int GetWindowClientRect(Rect* rect);
int FreeDroppedFileNames();

platform::WindowHandle GetMainWindowHWND();
int GetWindowModeFlag();
int GetWindowActiveFlag();
int GetWindowCloseFlag();
// 1.0 in full-screen mode; a rate not above 0 is stored back as 1.0.
double GetWindowSizeExtendRate();
// Each pointer may be null: the desktop found at creation once the library
// is started, else the current one.
int GetDesktopScreenMode(int* width, int* height, int* bits);
// The size of the part of the desktop a window may fill (without panels),
// asked anew on each call; each pointer may be null.
int GetDesktopWorkArea(int* width, int* height);
int GetMouseCursorShowFlag();
int SetMainWindowText(const char* title);
int SetWindowIconId(int id);
int SetAlwaysRunFlag(int flag);
// The wheel notches since the last call (up positive).
int GetMouseWheelTurns();
int GetCloseRequestFlag();
int GetUseMenuFlag();
int GetWindowRgnFlag();
int SetMouseCursorShowFlag(int flag);
// The cursor in draw-screen pixels.
int GetMousePosition(int* x, int* y);
int SetMousePosition(int x, int y);

}  // namespace velk
