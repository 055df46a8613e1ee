#pragma once
// The system's message box, for texts that must reach the player outside the
// game's own screen: before the window exists, or as the program ends.

#include <optional>
#include <string>

namespace velk {

enum class SystemMessageBoxButtons { kOk, kOkCancel };

// Shows the Shift-JIS text and caption, owned by the main window when there
// is one, and waits for a button: 1 OK, 2 Cancel. Where the desktop cannot
// show the box, the text goes to standard error and the log, and OK counts
// as pressed.
int ShowSystemMessageBox(const std::string& text, const std::string& caption, SystemMessageBoxButtons buttons);
// The same without the log: nullopt when the desktop could not show the box.
// Once one could not be shown, none is tried again for the rest of the run.
std::optional<int> TryShowSystemMessageBox(const std::string& text, const std::string& caption,
                                           SystemMessageBoxButtons buttons);

}  // namespace velk
