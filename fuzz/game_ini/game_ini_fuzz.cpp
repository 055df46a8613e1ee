// Game.ini: any text read as the player's settings, then written and read again.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "game/data/player_settings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    velk::PlayerSettings settings;
    velk::ParseGameIni(std::string_view(reinterpret_cast<const char*>(data), size), settings);
    velk::PlayerSettings again;
    velk::ParseGameIni(velk::FormatGameIni(settings), again);
    // What the program writes reads back the same (unless a proxy text holds
    // a key of its own, which the first-occurrence rule then finds first).
    bool plainTexts = settings.proxy.find('=') == std::string::npos && settings.proxyPort.find('=') == std::string::npos;
    if (plainTexts && (again.softModeFlag != settings.softModeFlag || again.windowModeFlag != settings.windowModeFlag ||
        again.seAndBgm != settings.seAndBgm || again.frameSkip != settings.frameSkip ||
        again.screenShotFlag != settings.screenShotFlag || again.proxy != settings.proxy)) {
        std::abort();
    }
    return 0;
}
