#pragma once
// The player's settings in Game.ini: rendering and window mode, sound
// selection, frame skip, the proxy texts, the screenshot switch and the crash
// marker `start` (1 while a run is starting or running).

#include <string>
#include <string_view>

namespace velk {

struct PlayerSettings {
    int start = 0;
    int softModeFlag = 0;
    int windowModeFlag = 1;
    // 0 no sound effects and no music, 1 effects only, 2 music only, 3 both.
    int seAndBgm = 3;
    int frameSkip = 0;
    std::string proxy;
    std::string proxyPort;
    int screenShotFlag = 1;
};

// The settings of this run.
PlayerSettings& GlobalPlayerSettings();

// Takes the values from the text of a Game.ini the way the game always has:
// blanks are dropped, each key's first occurrence anywhere counts, the flags
// are the one character after '=', and a key that is missing gets its default.
void ParseGameIni(std::string_view text, PlayerSettings& settings);
// The file's text: eight lines separated by CR LF, no break after the last.
std::string FormatGameIni(const PlayerSettings& settings);

// Reads Game.ini of the game folder into the settings of this run (its first
// mebibyte: no settings file is longer). Without the file, or when it cannot
// be read, `start` becomes -1 and the flags their defaults, while the proxy
// texts and the screenshot switch keep the values they had.
void ReadGameIni(const std::string& path = "Game.ini");
// Rewrites Game.ini whole with these three values and the rest of the
// settings of this run. False when the file could not be written (the old
// file is then left as it was): a read-only file, or one that is there but
// could not be read, is never replaced.
bool WriteGameIni(int start, int softModeFlag, int frameSkip, const std::string& path = "Game.ini");

}  // namespace velk
