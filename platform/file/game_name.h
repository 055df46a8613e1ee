#pragma once
// Names as the game speaks them (Shift-JIS bytes, Windows separators, case
// ignored for ASCII letters) and as they lie on disk (UTF-8, or raw CP932
// bytes when the game folder was unpacked that way).

#include <string>
#include <string_view>
#include <vector>

namespace velk::platform {

// Splits a game path at every '\' and '/' that is not the trail byte of a
// Shift-JIS pair (0x5C is one, as in 0x95 0x5C). Empty components are kept,
// so a leading separator shows as a first empty component.
std::vector<std::string> SplitGamePath(std::string_view game_path);

// Upper-cases the ASCII letters of a Shift-JIS text, leaving both bytes of
// every pair alone (a trail byte may look like a letter).
std::string FoldGameNameCase(std::string_view sjis);

// Whether every byte is below 0x80 (such text reads the same as Shift-JIS
// and as UTF-8).
bool IsAscii(std::string_view text);

// The on-disk form of a game name: its UTF-8 form when the name converts
// exactly, else the bytes as they are.
std::string GameNameToNativeName(std::string_view sjis);
// The game's form of an on-disk name: CP932 when the name is UTF-8 that
// converts exactly, else the bytes as they are.
std::string NativeNameToGameName(std::string_view native);

// Whether the game may write to this path: relative, without a drive or any
// ':' and without a ".." that leaves the folder it starts in (the game's
// folder, the current directory), naming a file rather than a folder.
bool IsGameWritePathAllowed(std::string_view game_path);

}  // namespace velk::platform
