#include "game/data/game_objects.h"

#include "game/data/game_system.h"
#include "game/data/game_wide_values.h"
#include "game/data/input_state.h"

namespace velk {
namespace {

GameObjects& Installed() {
    static GameObjects objects;
    return objects;
}

template <typename T>
T& InstalledOr(T* installed) {
    if (installed) return *installed;
    static T detached;
    return detached;
}

}  // namespace

const GameObjects& InstalledGameObjects() { return Installed(); }
void InstallGameObjects(const GameObjects& objects) { Installed() = objects; }
void UninstallGameObjects() { Installed() = GameObjects{}; }

GameWideValues& GlobalGameWideValues() { return InstalledOr(Installed().wideValues); }
GameSystem& GlobalGameSystem() { return InstalledOr(Installed().gameSystem); }
InputState& GlobalInputState() { return InstalledOr(Installed().inputState); }
KeyConfig& GlobalKeyConfig() { return InstalledOr(Installed().keyConfig); }

}  // namespace velk
