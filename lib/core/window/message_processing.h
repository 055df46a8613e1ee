#pragma once
// The once-per-frame message processing with the library's per-frame pumps,
// the wait while the window is inactive, and the switch between window and
// full-screen mode.

namespace velk {

// 0 to go on, -1 when the program is to end (the window was closed).
int ProcessMessagesBody();
// Whether the window was closed, or a close of it (or the program's quit)
// waits to be read, without reading any message: work that runs long
// between two message processings ends early on it, and the message
// processing after it finds the close as it would have.
bool MainWindowClosePending();
// Registers ProcessMessagesBody as the body of the public ProcessMessages.
void RegisterMessageProcessingBody();
// Called before drawing and input reading: waits while the window is
// inactive, processing messages.
void WaitWhileInactive();
// 1 window mode, 0 full screen: 0 or the display-mode change's result.
int ChangeWindowMode(int flag);
int SetWindowModeFlag(int flag);
int ApplyWindowModeStyle();
int SetWindowSizeExtendRate(double rate);

// The longest the window-mode switch waits for the display to report its
// change.
constexpr int kDisplayChangeWaitMilliseconds = 2000;

}  // namespace velk
