#pragma once
// What the game's maker set once for the whole game, from Game.dat: the title
// (also the identity saves carry), the setting bytes (chip size, frame-time
// divisor, MIDI switches, text spacing...), the font names, the start graphic
// of the hero and the key string the archive reader needs.

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace velk {

class GameInfo {
public:
    static constexpr size_t kSettingCount = 18;
    static constexpr size_t kTextCount = 8;

    // Setting indexes with a meaning the data layer knows.
    static constexpr size_t kChipSizeSetting = 0;
    static constexpr size_t kMidiSwitchSetting = 3;
    static constexpr size_t kFrameDivisorSetting = 4;
    // Text indexes.
    static constexpr size_t kTitleText = 0;
    static constexpr size_t kArchiveKeyText = 2;
    static constexpr size_t kHeroGraphicText = 7;

    // The defaults; number 0 is a fresh draw of the C runtime generator.
    GameInfo();

    // Loads Game.dat. A missing file shows its message box and gives false. A
    // file whose end byte is wrong is reported and its values kept (true). A
    // file too short for what it names is reported as damaged and gives false,
    // leaving the defaults.
    bool Load(const std::string& fileName);

    uint8_t Setting(size_t index) const { return settings[index]; }
    const std::string& Text(size_t index) const { return texts[index]; }
    // The map chip size in pixels: 16 when the game says so, else 32.
    int ChipSize() const { return settings[kChipSizeSetting] == 16 ? 16 : 32; }

    std::array<uint8_t, kSettingCount> settings;
    std::array<std::string, kTextCount> texts;
    std::vector<uint16_t> numbers;
};

enum class GameInfoStatus {
    kLoaded,
    // Everything was read but the end byte is not the one Game.dat ends with.
    kBadEndByte,
    // A count, length or offset does not fit the file; nothing was taken.
    kDamaged,
};

// Reads a whole Game.dat held in memory (still scrambled; it is unscrambled in
// place) into `info`, whose entries the file does not name keep their values.
// Settings and texts beyond those the game keeps are passed over.
GameInfoStatus ParseGameInfo(std::span<uint8_t> file, GameInfo& info);

// Frames counted per drawn frame for a frame-time divisor: 60 / divisor, at
// least 1, so a divisor of 0 or above 60 neither divides by zero nor stops time.
int ComputeFrameStep(uint8_t divisor);

// The game's information of this run.
GameInfo& GlobalGameInfo();

}  // namespace velk
