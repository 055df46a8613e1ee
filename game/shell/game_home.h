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
#include "game/event/common_events.h"
#include "game/event/main_event_interpreter.h"
#include "game/map/hero.h"
#include "game/map/map_state.h"
#include "game/present/midi_library.h"
#include "game/present/sound_state.h"
#include "game/present/speech_library.h"

namespace velk {

class GameHome {
public:
    // Builds every object in order and installs them; a second home while
    // one lives is a programming error.
    GameHome();
    ~GameHome();
    GameHome(const GameHome&) = delete;
    GameHome& operator=(const GameHome&) = delete;

    // The title/reset block's replacement of the rebuilt objects, in order:
    // the common events (loaded again), the sound state (silenced first),
    // the game system (its two work graphs deleted and made anew), the
    // changeable database (loaded again), the variable store, the main
    // interpreter, the map state. The caller runs the steps around it.
    void RebuildCommonEvents();
    void RebuildSoundState();
    void RebuildGameSystem();
    void RebuildChangeableDatabase();
    void RebuildStoreAndInterpreter();
    // The hero and its party, with the game's starting graphic, and the
    // movement settings the characters read.
    void RebuildHero();
    void ApplyHeroSettings();
    void RebuildMapState();
    // What the map state reaches above itself; installed again after every
    // rebuild of the map state.
    void SetMapLinks(const MapLinks& links);

    // Escape codes of the names commands look up, for the running event.
    EventTextLink& TextLink();

    // The message font size: system variable 8 at the game's pixel scale.
    int32_t MessageFontSize() const;

    // The per-frame input update from the library's devices.
    void UpdateInput();
    InputContext MakeInputContext();

    // Program-wide, built once.
    GameWideValues wideValues;
    GameInfo gameInfo;
    PlayerSettings playerSettings;
    DatabaseSet databases;
    InputState inputState;
    MidiLibrary midiLibrary;
    SpeechLibrary speechLibrary;
    SoundSettings soundSettings;
    // Rebuilt by the title/reset block, in this order. The picture list
    // (held with the presentation it draws through) and the save cache
    // follow the map state.
    CommonEventList commonEvents;
    SoundState sound;
    ReplayRecorder replayRecorder;
    GameSystem gameSystem;
    VariableStore variableStore;
    MainEventInterpreter mainInterpreter;
    Hero hero;
    MapState mapState;

private:
    void InstallOwners();
    MapLinks mapLinks_;

    class SceneOwnerImpl;
    class InputOwnerImpl;
    class SystemLinkImpl;
    std::unique_ptr<SceneOwnerImpl> sceneOwner_;
    std::unique_ptr<InputOwnerImpl> inputOwner_;
    std::unique_ptr<MapOwner> mapOwner_;
    std::unique_ptr<EventSystemLink> systemLink_;
    std::unique_ptr<EventMapLink> mapLink_;
    std::unique_ptr<KeyInputLink> keyInput_;
    std::unique_ptr<EventTextLink> textLink_;
};

// The home that lives now (null before and after).
GameHome* LiveGameHome();

// Makes or deletes the game system's two screen-sized work graphs.
void CreateWorkGraphs(GameSystem& system, const GameWideValues& values);
void DeleteWorkGraphs(GameSystem& system);

}  // namespace velk
