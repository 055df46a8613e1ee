#pragma once
// The run's objects that lower game modules reach by name (GlobalDatabases()
// and the like). The shell's home owns every one of them, builds them in one
// order and installs them here for its life. Without a home installed (a
// test of one module) each accessor gives a detached instance of its own.

namespace velk {

class GameInfo;
class GameSystem;
class InputState;
class VariableStore;
struct DatabaseSet;
struct GameWideValues;
struct KeyConfig;
struct PlayerSettings;

struct GameObjects {
    GameWideValues* wideValues = nullptr;
    GameInfo* gameInfo = nullptr;
    PlayerSettings* playerSettings = nullptr;
    DatabaseSet* databases = nullptr;
    GameSystem* gameSystem = nullptr;
    VariableStore* variableStore = nullptr;
    InputState* inputState = nullptr;
    KeyConfig* keyConfig = nullptr;
};

// What is installed (members are null where nothing is).
const GameObjects& InstalledGameObjects();
void InstallGameObjects(const GameObjects& objects);
void UninstallGameObjects();

GameSystem& GlobalGameSystem();
InputState& GlobalInputState();
// The key configuration in use (the main interpreter's).
KeyConfig& GlobalKeyConfig();

}  // namespace velk
