#pragma once
// The one home of the game's global objects. They are members here, built in
// one order (the order below), installed for the lower modules (their
// GlobalX() accessors and the owner interfaces of the variable store), rebuilt
// in place by the title/reset block, and destroyed in reverse order when the
// home ends. Because every rebuild assigns a fresh object to the same member,
// references that handler sets and owners keep stay valid.
//
// A subsystem that brings a global object adds it as a member at its place in
// the order, rebuilds it in Rebuild(), and installs its owner interface in
// InstallOwners().

#include <cstdint>
#include <memory>

#include "game/data/databases.h"
#include "game/data/game_info.h"
#include "game/data/game_owners.h"
#include "game/data/game_system.h"
#include "game/data/game_wide_values.h"
#include "game/data/input_state.h"
#include "game/data/player_settings.h"
#include "game/data/replay_recorder.h"
#include "game/data/system_variable_block.h"
#include "game/data/variable_store.h"

namespace velk {

// What the main interpreter holds that the data layer reads: its system
// variables and the key configuration. Stands in the home until the
// interpreter itself is a member.
class MainInterpreterState final : public MainInterpreterLink {
public:
    SystemVariableBlock& SystemVariables() override { return systemVariables; }
    SystemVariableBlock systemVariables;
    KeyConfig keyConfig;
    // Frames a key must be held before it repeats, and between repeats.
    int32_t repeatStart = 16;
    int32_t repeatInterval = 5;
    // 1 while the map is drawn (the freeze-screen command clears it).
    uint8_t mapVisible = 1;
    // The message font size the error box puts back.
    int32_t messageFontSize = 16;
    // Counts frames modulo 10000000.
    int32_t frameCounter = 0;
};

class GameHome {
public:
    // Builds every object in order and installs them; a second home while
    // one lives is a programming error.
    GameHome();
    ~GameHome();
    GameHome(const GameHome&) = delete;
    GameHome& operator=(const GameHome&) = delete;

    // The title/reset block's replacement of the rebuilt objects, in order:
    // the game system (its two work graphs deleted and made anew), the
    // changeable database (loaded again), the variable store, the main
    // interpreter. The caller runs the steps around it.
    void RebuildGameSystem();
    void RebuildChangeableDatabase();
    void RebuildStoreAndInterpreter();

    // The per-frame input update from the library's devices.
    void UpdateInput();
    InputContext MakeInputContext();

    // Program-wide, built once.
    GameWideValues wideValues;
    GameInfo gameInfo;
    PlayerSettings playerSettings;
    DatabaseSet databases;
    InputState inputState;
    // Rebuilt by the title/reset block, in this order.
    ReplayRecorder replayRecorder;
    GameSystem gameSystem;
    VariableStore variableStore;
    MainInterpreterState mainInterpreter;

private:
    void InstallOwners();

    class SceneOwnerImpl;
    class InputOwnerImpl;
    std::unique_ptr<SceneOwnerImpl> sceneOwner_;
    std::unique_ptr<InputOwnerImpl> inputOwner_;
};

// The home that lives now (null before and after).
GameHome* LiveGameHome();

// Makes or deletes the game system's two screen-sized work graphs.
void CreateWorkGraphs(GameSystem& system, const GameWideValues& values);
void DeleteWorkGraphs(GameSystem& system);

}  // namespace velk
