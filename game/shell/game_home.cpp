#include "game/shell/game_home.h"

#include <cassert>

#include "game/data/game_objects.h"
#include "game/shell/frame_pacing.h"
#include "lib/api/library_api.h"

namespace velk {
namespace {

GameHome* live_home = nullptr;

}  // namespace

// The scene and the game system as the variable store sees them.
class GameHome::SceneOwnerImpl final : public SceneOwner {
public:
    explicit SceneOwnerImpl(GameHome& home) : home_(home) {}
    int32_t MessageWindowOpen() override { return home_.gameSystem.messageWindowOpen; }
    int32_t ChoiceItemValue() override { return home_.gameSystem.choiceItemValue; }
    int32_t FrameSkipLevel() override { return home_.wideValues.frameSkipLevel; }
    void SetFrameSkipLevel(int32_t level) override;
    std::string LastMessageText() override { return home_.gameSystem.lastMessageText; }
    std::string ChoiceText(int32_t index) override {
        if (index < 0 || index >= static_cast<int32_t>(home_.gameSystem.choiceTexts.size())) return {};
        return home_.gameSystem.choiceTexts[static_cast<size_t>(index)];
    }
    void MarkPanoramaChanged() override { home_.gameSystem.panoramaChanged = 1; }
    void MarkFogChanged() override { home_.gameSystem.fogChanged = 1; }

private:
    GameHome& home_;
};

// The key configuration and the mouse as the variable store sees them.
class GameHome::InputOwnerImpl final : public InputOwner {
public:
    explicit InputOwnerImpl(GameHome& home) : home_(home) {}
    int32_t GetKeyConfig(ActionButton button, bool keyboard) override {
        return velk::GetKeyConfig(home_.mainInterpreter.keyConfig, static_cast<int>(button), keyboard);
    }
    void SetKeyConfig(ActionButton button, bool keyboard, int32_t code) override {
        velk::SetKeyConfig(home_.mainInterpreter.keyConfig, code, static_cast<int>(button), keyboard);
    }
    std::string GetKeyConfigName(ActionButton button, bool keyboard) override {
        return keyboard ? std::string() : GetPadKeyConfigName(home_.mainInterpreter.keyConfig, static_cast<int>(button));
    }
    int32_t MouseX() override { return home_.inputState.MouseX(); }
    int32_t MouseY() override { return home_.inputState.MouseY(); }
    void MoveMouseX(int32_t value) override { MoveTo(value, home_.inputState.MouseY()); }
    void MoveMouseY(int32_t value) override { MoveTo(home_.inputState.MouseX(), value); }
    bool MouseCursorShown() override { return GetMouseCursorShowFlag() != 0; }
    void ShowMouseCursor(bool shown) override { SetMouseCursorShowFlag(shown ? 1 : 0); }

private:
    // Game pixels to screen pixels: doubled with 16-pixel chips.
    void MoveTo(int32_t x, int32_t y) {
        int32_t scale = home_.wideValues.chipScale;
        SetMousePosition(x * scale, y * scale);
    }
    GameHome& home_;
};

void GameHome::SceneOwnerImpl::SetFrameSkipLevel(int32_t level) {
    velk::SetFrameSkipLevel(home_.wideValues, level, home_.playerSettings.frameSkip);
}

GameHome::GameHome()
    : variableStore(&mainInterpreter, &databases),
      sceneOwner_(std::make_unique<SceneOwnerImpl>(*this)),
      inputOwner_(std::make_unique<InputOwnerImpl>(*this)) {
    assert(live_home == nullptr);
    live_home = this;
    InstallGameObjects({&wideValues, &gameInfo, &playerSettings, &databases, &gameSystem, &variableStore, &inputState,
                        &mainInterpreter.keyConfig});
    InstallOwners();
}

GameHome::~GameHome() {
    ResetGameOwners();
    UninstallGameObjects();
    live_home = nullptr;
}

void GameHome::InstallOwners() {
    GameOwners& owners = ActiveGameOwners();
    owners.scene = sceneOwner_.get();
    owners.input = inputOwner_.get();
}

void GameHome::RebuildGameSystem() {
    DeleteWorkGraphs(gameSystem);
    gameSystem = GameSystem();
    CreateWorkGraphs(gameSystem, wideValues);
    gameSystem.CountSoundSpares(databases);
}

void GameHome::RebuildChangeableDatabase() {
    databases.changeable = Database();
    databases.changeable.Load(kChangeableDatabaseName);
}

void GameHome::RebuildStoreAndInterpreter() {
    variableStore = VariableStore(&mainInterpreter, &databases);
    mainInterpreter = MainInterpreterState();
    mainInterpreter.systemVariables.SetTileSizeDefaults(wideValues.chipSize);
}

InputContext GameHome::MakeInputContext() {
    InputContext context;
    context.keyConfig = &mainInterpreter.keyConfig;
    context.repeatStart = mainInterpreter.repeatStart;
    context.repeatInterval = mainInterpreter.repeatInterval;
    context.frameStep = wideValues.frameStep;
    context.chipSize = wideValues.chipSize;
    context.replay = &replayRecorder;
    return context;
}

void GameHome::UpdateInput() {
    InputDeviceFrame devices;
    devices.windowActive = GetWindowActiveFlag() != 0;
    GetAllKeyStates(reinterpret_cast<char*>(devices.keys.data()));
    devices.padWithKeyboard = static_cast<uint32_t>(GetPadInputState(kPadWithKeyboard | 1));
    devices.pad = static_cast<uint32_t>(GetPadInputState(1));
    int x = 0, y = 0;
    GetMousePosition(&x, &y);
    devices.mouseX = x;
    devices.mouseY = y;
    devices.mouseButtons = static_cast<uint32_t>(GetMouseButtonState());
    devices.wheelTurns = GetMouseWheelTurns();
    devices.windowRate = GetWindowSizeExtendRate();
    inputState.Update(devices, MakeInputContext());
}

GameHome* LiveGameHome() { return live_home; }

void CreateWorkGraphs(GameSystem& system, const GameWideValues& values) {
    int width = values.chipSize * 20 * values.chipScale;
    int height = values.chipSize * 15 * values.chipScale;
    system.transitionStartScreen = CreateEmptyGraph(width, height, 0);
    system.frozenScreen = CreateEmptyGraph(width, height, 0);
}

void DeleteWorkGraphs(GameSystem& system) {
    if (system.transitionStartScreen > 0) DeleteGraph(system.transitionStartScreen);
    if (system.frozenScreen > 0) DeleteGraph(system.frozenScreen);
    system.transitionStartScreen = 0;
    system.frozenScreen = 0;
}

}  // namespace velk
