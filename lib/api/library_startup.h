#pragma once
// The library's start-up and shut-down bodies, which InitLibrary and
// EndLibrary run under the library lock, and COM's start and end.

#include <string>

namespace velk {

// Brings the library up in its fixed order: file access, the log and the
// system report, COM, the window, input, sound, graphics, the character
// buffer, then the warm-up draws. 0 at once when already started. -1 on a
// 24-bit desktop in window mode or a 24-bit screen asked for (nothing was
// started yet), and -1 when COM, the window or the graphics cannot start:
// whatever had been started is taken down again first.
int InitLibraryBody();
// Takes the library down in its fixed order and ends with the leak list in
// the log. Not started: 0 at once, but a start-up still in progress (a fatal
// error inside it) is undone.
int EndLibraryBody();

// -1 when COM is already started.
int InitCom();
int EndCom();

// The current folder at start-up, in the game's form.
const std::string& LibraryStartDirectory();

}  // namespace velk
