#pragma once
// The process's current folder, which relative game paths start from.

#include <string>
#include <string_view>
#include <vector>

namespace velk::platform {

// Changes to the folder the game path names. False when it names none.
bool SetCurrentGameDirectory(std::string_view game_path);

// The current folder in the game's form: Shift-JIS names, '/' separators,
// no trailing separator ("" when it cannot be taken).
std::string CurrentGameDirectory();
// The same as a list of names, root first ({} at the root).
std::vector<std::string> CurrentGameDirectoryComponents();

}  // namespace velk::platform
