#include "game/shell/subsystem_wiring.h"

#include "game/shell/game_program.h"
#include "game/shell/test_play_tools.h"

namespace velk {

// Each subsystem fills its slots here, for example the map:
//   program.GetScene().SetUpdateStep(UpdateStep::kMapUpdate, [&home] { home.mapState.Update(); });
//   program.GetScene().SetDrawLayer(DrawLayer::kMapScene, ...);
//   program.GetScene().Hooks().currentMap = [&home] { return home.mapState.CurrentMapId(); };
//   program.TitleHooks().rebuildInterpreterAndMap = ...;
// with its global objects as members of GameHome and its owner interface
// installed in GameHome::InstallOwners. Slots left empty do nothing.
void ConnectSubsystems(GameProgram& program) { ConnectTestPlayTools(program); }

// For example the MIDI library, a member of GameHome:
//   program.StartHooks().setMidiDevice = [&home](int32_t device) { return home.midiLibrary.SetDevice(device, 0); };
//   program.StartHooks().freeMidi = [&home] { home.midiLibrary.Free(); };
void ConnectStartUp(GameProgram& program) {}

}  // namespace velk
