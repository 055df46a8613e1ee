#include "game/data/player_settings.h"

#include <algorithm>
#include <cstdint>
#include <span>

#include "game/data/data_texts.h"
#include "game/data/game_file_source.h"
#include "game/data/game_objects.h"
#include "game/data/text_format.h"
#include "platform/base/crt_parse.h"

namespace velk {
namespace {

// Far more than any settings file holds; a bigger file is read only this far.
constexpr size_t kGameIniReadLimit = 1 << 20;

// The settings file that is there but could not be read this run: writing it
// would replace the player's settings with defaults, so it is left alone.
std::string& UnreadableGameIni() {
    static std::string path;
    return path;
}

std::string_view ValueAfter(std::string_view text, std::string_view key) {
    size_t at = text.find(key);
    if (at == std::string_view::npos) return {};
    return text.substr(at + key.size());
}

bool HasKey(std::string_view text, std::string_view key) { return text.find(key) != std::string_view::npos; }

// The flags are read from their first character only ("12" reads as 1).
int ReadFlag(std::string_view text, std::string_view key, int missing) {
    if (!HasKey(text, key)) return missing;
    return platform::CrtAtoi(ValueAfter(text, key).substr(0, 1));
}

// A text value runs to the line's end. The CR of a CR LF line end goes; a
// value without one (the last line, or a file written with bare LFs) stays whole.
std::string ReadText(std::string_view text, std::string_view key) {
    std::string_view value = ValueAfter(text, key);
    value = value.substr(0, value.find('\n'));
    if (!value.empty() && value.back() == '\r') value.remove_suffix(1);
    return std::string(value);
}

}  // namespace

PlayerSettings& GlobalPlayerSettings() {
    if (PlayerSettings* installed = InstalledGameObjects().playerSettings) return *installed;
    static PlayerSettings settings;
    return settings;
}

void ParseGameIni(std::string_view text, PlayerSettings& settings) {
    text = text.substr(0, text.find('\0'));
    std::string compact;
    compact.reserve(text.size());
    std::copy_if(text.begin(), text.end(), std::back_inserter(compact), [](char c) { return c != ' '; });
    PlayerSettings defaults;
    settings.start = HasKey(compact, "Start=") ? platform::CrtAtoi(ValueAfter(compact, "Start=")) : defaults.start;
    settings.softModeFlag = ReadFlag(compact, "SoftModeFlag=", defaults.softModeFlag);
    settings.windowModeFlag = ReadFlag(compact, "WindowModeFlag=", defaults.windowModeFlag);
    settings.seAndBgm = ReadFlag(compact, "SEandBGM=", defaults.seAndBgm);
    settings.frameSkip = ReadFlag(compact, "FrameSkip=", defaults.frameSkip);
    settings.proxy = ReadText(compact, "Proxy=");
    settings.proxyPort = ReadText(compact, "ProxyPort=");
    settings.screenShotFlag = ReadFlag(compact, "ScreenShotFlag=", defaults.screenShotFlag);
}

std::string FormatGameIni(const PlayerSettings& settings) {
    return FormatText("Start=%d\r\nSoftModeFlag=%d\r\nWindowModeFlag=%d\r\nSEandBGM=%d%s\r\nFrameSkip=%d\r\n"
                      "Proxy=%s\r\nProxyPort=%s\r\nScreenShotFlag=%d",
                      settings.start, settings.softModeFlag, settings.windowModeFlag, settings.seAndBgm,
                      texts::kGameIniSoundComment, settings.frameSkip, settings.proxy.c_str(),
                      settings.proxyPort.c_str(), settings.screenShotFlag);
}

void ReadGameIni(const std::string& path) {
    PlayerSettings& settings = GlobalPlayerSettings();
    const LocalFile file = ReadLocalFileStart(path, kGameIniReadLimit);
    const auto& bytes = file.bytes;
    UnreadableGameIni() = bytes || file.missing ? std::string() : path;
    if (!bytes) {
        PlayerSettings defaults;
        settings.start = -1;
        settings.softModeFlag = defaults.softModeFlag;
        settings.windowModeFlag = defaults.windowModeFlag;
        settings.seAndBgm = defaults.seAndBgm;
        settings.frameSkip = defaults.frameSkip;
        return;
    }
    ParseGameIni(std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size()), settings);
}

bool WriteGameIni(int start, int softModeFlag, int frameSkip, const std::string& path) {
    if (!UnreadableGameIni().empty() && UnreadableGameIni() == path) return false;
    PlayerSettings written = GlobalPlayerSettings();
    written.start = start;
    written.softModeFlag = softModeFlag;
    written.frameSkip = frameSkip;
    std::string text = FormatGameIni(written);
    return WriteLocalFileAtomically(
        path, std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
}

}  // namespace velk
