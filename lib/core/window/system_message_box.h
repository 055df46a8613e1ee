#pragma once
// The system's message box, for texts that must reach the player outside the
// game's own screen: before the window exists, or as the program ends.

#include <string>

namespace velk {

enum class SystemMessageBoxButtons { kOk, kOkCancel };

// Shows the Shift-JIS text and caption, owned by the main window when there
// is one, and waits for a button: 1 OK, 2 Cancel.
int ShowSystemMessageBox(const std::string& text, const std::string& caption, SystemMessageBoxButtons buttons);

}  // namespace velk
