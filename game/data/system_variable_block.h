#pragma once
// The game-wide values the main interpreter keeps and event commands reach as
// system variables (9000000 + number) and two system strings. The main
// interpreter holds one block; the variable store maps the numbers onto it.

#include <cstdint>
#include <string>
#include <vector>

namespace velk {

struct SystemVariableBlock {
    int32_t sysVar0 = 0;
    // Message text position and choice position; -1 is the default place.
    int32_t sysVar1 = -1, sysVar2 = -1, sysVar3 = -1, sysVar4 = -1;
    int16_t sysVar5 = 0, sysVar6 = 0;  // chip-size layout values
    int32_t sysVar7 = 0;
    int32_t sysVar8 = 22;  // chip-size layout value
    int32_t sysVar9 = 120, sysVar10 = 1, sysVar11 = 1000000;
    uint8_t sysVar14 = 1;
    int32_t sysVar15 = 16, sysVar16 = 5;
    int32_t sysVar17 = -1, sysVar18 = -1, sysVar19 = -1;
    int32_t sysVar21 = 0, sysVar22 = 0;
    int32_t sysVar24 = 0, sysVar25 = -1;
    int32_t sysVar28 = 0, sysVar29 = 0, sysVar30 = 0, sysVar31 = 0, sysVar32 = 0;
    int16_t sysVar36 = 0, sysVar37 = 2;
    // 1 while the text prompt of the string command is open, 0 confirmed, -1 cancelled.
    int32_t textPromptState = 0;
    int16_t sysVar40 = 0, sysVar41 = 0;  // chip-size layout values
    int32_t sysVar59 = 0, sysVar60 = 0;
    int32_t sysVar61 = -1, sysVar62 = 0, sysVar63 = 0, sysVar64 = 0, sysVar65 = 255;
    int32_t sysVar66 = -1, sysVar67 = 0, sysVar68 = 0;
    int32_t sysVar73 = 0;
    uint8_t sysVar74 = 1;  // the mouse cursor's show flag as last set
    // System variables 87-91; a save may hold more, which are kept for the
    // next save.
    std::vector<int32_t> slotValues = std::vector<int32_t>(5, -1);
    int32_t sysVar100 = 100, sysVar101 = 100, sysVar102 = 100;
    // System strings 26 and 27: the text the message command puts before and
    // after every message.
    std::string sysString26;
    std::string sysString27;

    // The layout values that follow from the map chip size (16 or 32), and
    // the values that go with them.
    void SetTileSizeDefaults(int chipSize);
};

inline void SystemVariableBlock::SetTileSizeDefaults(int chipSize) {
    sysVar8 = chipSize == 32 ? 22 : 12;
    sysVar5 = static_cast<int16_t>(chipSize * 10);
    sysVar6 = static_cast<int16_t>(static_cast<double>(chipSize) * 4.3);
    sysVar40 = static_cast<int16_t>(static_cast<double>(chipSize) * 4.7);
    sysVar41 = static_cast<int16_t>(static_cast<double>(chipSize) * 12.5);
    sysVar28 = 0;
    sysVar100 = sysVar101 = sysVar102 = 100;
}

}  // namespace velk
