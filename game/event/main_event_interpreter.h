#pragma once
// The main interpreter: the one interpreter that runs the game's triggered
// events one at a time (map events started by the hero or by their own
// pages, reserved and auto-start common events), and the game-wide values
// event commands reach as system variables, the screen tone and flash, the
// key configuration and the layout numbers that follow from the chip size.
// The title/reset block replaces it by a fresh object; saves carry its part.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "game/data/game_owners.h"
#include "game/data/input_state.h"
#include "game/data/system_variable_block.h"
#include "game/event/event_interpreter.h"
#include "game/event/event_links.h"

namespace velk {

class SaveStream;

struct ScreenTone {
    std::array<int16_t, 3> current{};
    std::array<int16_t, 3> target{};
    std::array<int16_t, 3> start{};
    int16_t remaining = -1;
    int16_t total = -1;
};

struct ScreenFlash {
    std::array<int16_t, 3> color{};
    int16_t remaining = -1;
    int16_t total = -1;
};

class MainEventInterpreter final : public EventInterpreter, public MainInterpreterLink {
public:
    // The chip size of the game (16 or 32) sets the layout numbers; the
    // auto-start common events are taken from the common events installed
    // in the event links at this moment.
    explicit MainEventInterpreter(int chipSize);
    MainEventInterpreter();

    void SetTileSizeDefaults(int chipSize);
    // Copies the auto-start common events anew from the installed common
    // events: after their lists were prepared, the copies must be the
    // prepared ones.
    void CollectAutoStartCommons();
    void StartTone(int16_t c0, int16_t c1, int16_t c2, int32_t frames);
    void StartFlash(int16_t c0, int16_t c1, int16_t c2, int32_t frames);
    // Once per frame: the tone moves toward its target and the flash fades,
    // each by `frameStep` frames.
    void UpdateTint(int frameStep);

    // The interpreter's part of a save. `musicRows` and `soundRows` are the
    // data counts of the system database's music and background-sound
    // types: a number at or beyond the last ten (the spare rows) is saved
    // as -3.
    void WriteSave(SaveStream& stream, int32_t musicRows, int32_t soundRows) const;
    // Reads it back as the stream's version has it; false (with the
    // stream's error flag set) at the first value the stream does not hold.
    // The values read before it keep their new values.
    bool ReadSave(SaveStream& stream);

    SystemVariableBlock& SystemVariables() override { return systemVariables; }
    bool IsRunningEvent() override { return HasCommandList(); }

    uint8_t gameFlag0 = 0, gameFlag1 = 0, gameFlag2 = 0;
    int32_t savedInt0 = 0;
    int32_t currentBgm = -1, currentBgs = -1;
    float floatValue = 1.0f;
    int32_t sysVar33 = 0;
    ScreenTone tone;
    ScreenFlash flash;
    uint8_t savedFlag0 = 0;
    int16_t unsavedShort = 1;
    int32_t savedInt1 = 0;
    int32_t transitionGraphic = -1, transitionFrames = 20;
    uint8_t transitionWait = 0;
    std::vector<std::string> nameList;
    int32_t savedInt6 = 0, savedInt7 = 0;
    // Which keyboard key and pad buttons act as confirm, cancel and sub.
    KeyConfig keyConfig;
    std::string savedText0, savedText1, savedText2, savedText3, savedText4, savedText5;
    int32_t savedInt8 = 0, savedInt9 = 0, savedInt10 = 0, savedInt11 = 0, savedInt12 = 0, savedInt13 = 0;
    uint8_t savedFlag2 = 1, savedFlag3 = 1;
    SystemVariableBlock systemVariables;
    // Not saved: 1 while the frame draws the live map (the freeze-screen
    // command clears it), and the frame counter (modulo 10000000).
    uint8_t mapVisible = 1;
    int32_t frameCounter = 0;
    // Copies of the auto-start common events, in list order.
    std::vector<CommonEventStart> autoStartCommons;
    // The list this interpreter started by itself.
    SharedCommandList ownList;

protected:
    void StartNextEvent() override;
};

}  // namespace velk
