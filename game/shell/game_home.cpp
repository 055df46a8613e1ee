#include "game/shell/game_home.h"

#include <algorithm>
#include <cassert>
#include <cmath>

#include "game/data/game_objects.h"
#include "game/event/command_table.h"
#include "game/event/event_links.h"
#include "game/event/game_key_input.h"
#include "game/event/value_commands.h"
#include "game/map/character.h"
#include "game/map/map_event_link.h"
#include "game/map/map_state_owner.h"
#include "game/present/event_text_link.h"
#include "game/shell/frame_pacing.h"
#include "lib/api/library_api.h"
#include "lib/core/window/message_processing.h"

namespace velk {
namespace {

GameHome* live_home = nullptr;

constexpr char kCommonEventFileName[] = "BasicData\\CommonEvent.dat";

}  // namespace

// The game system's part in running events.
class GameHome::SystemLinkImpl final : public EventSystemLink {
public:
    explicit SystemLinkImpl(GameHome& home) : home_(home) {}
    int32_t SceneState() override { return home_.gameSystem.sceneState; }
    bool WindowCloseRequested() override { return MainWindowClosePending(); }
    bool GameLoadedThisFrame() override { return home_.wideValues.gameLoadedThisFrame != 0; }
    bool StateReplaced() override { return home_.gameSystem.SceneRestartFlag != 0; }
    bool TransitionWaiting() override {
        return home_.gameSystem.transitionRunning != 0 && home_.gameSystem.transitionWaits != 0;
    }
    int32_t ReservedCommonEvent() override { return home_.gameSystem.reservedCommonEvent; }
    void SetReservedCommonEvent(int32_t index) override { home_.gameSystem.reservedCommonEvent = index; }
    int32_t FrameStep() override { return home_.wideValues.frameStep; }
    void RequestMessage(const std::string& text) override { home_.gameSystem.messageRequest = text; }

private:
    GameHome& home_;
};

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
        const KeyConfig& config = home_.mainInterpreter.keyConfig;
        if (!keyboard) return GetPadKeyConfigName(config, static_cast<int>(button));
        return GetKeyCodeName(velk::GetKeyConfig(config, static_cast<int>(button), true) - kFirstKeyboardCode);
    }
    int32_t MouseX() override { return home_.inputState.MouseX(); }
    int32_t MouseY() override { return home_.inputState.MouseY(); }
    // The game reads the new coordinate back at once, before the next input
    // update has seen the cursor move.
    void MoveMouseX(int32_t value) override {
        MoveTo(value, home_.inputState.MouseY());
        home_.inputState.PlaceMouseX(value);
    }
    void MoveMouseY(int32_t value) override {
        MoveTo(home_.inputState.MouseX(), value);
        home_.inputState.PlaceMouseY(value);
    }
    bool MouseCursorShown() override { return GetMouseCursorShowFlag() != 0; }
    void ShowMouseCursor(bool shown) override { SetMouseCursorShowFlag(shown ? 1 : 0); }

private:
    // Game pixels to window pixels: doubled with 16-pixel chips, and grown
    // with the window (after F4).
    void MoveTo(int32_t x, int32_t y) {
        const double scale = GetWindowSizeExtendRate() * home_.wideValues.chipScale;
        SetMousePosition(ToWindow(x, scale), ToWindow(y, scale));
    }
    static int32_t ToWindow(int32_t value, double scale) {
        return static_cast<int32_t>(std::clamp(std::trunc(value * scale), -2147483648.0, 2147483647.0));
    }
    GameHome& home_;
};

void GameHome::SceneOwnerImpl::SetFrameSkipLevel(int32_t level) {
    velk::SetFrameSkipLevel(home_.wideValues, level, home_.playerSettings.frameSkip);
}

GameHome::GameHome()
    : sound(databases.system, midiLibrary, speechLibrary, soundSettings),
      variableStore(&mainInterpreter, &databases),
      sceneOwner_(std::make_unique<SceneOwnerImpl>(*this)),
      inputOwner_(std::make_unique<InputOwnerImpl>(*this)),
      mapOwner_(std::make_unique<MapStateOwner>(mapState, &hero)),
      systemLink_(std::make_unique<SystemLinkImpl>(*this)),
      mapLink_(std::make_unique<MapEventLink>(mapState, hero, gameSystem)),
      keyInput_(std::make_unique<GameKeyInput>(inputState)),
      textLink_(std::make_unique<EscapeCodeTextLink>(variableStore)) {
    assert(live_home == nullptr);
    live_home = this;
    InstallGameObjects({&wideValues, &gameInfo, &playerSettings, &databases, &gameSystem, &variableStore, &inputState,
                        &mainInterpreter.keyConfig});
    InstallOwners();
}

GameHome::~GameHome() {
    // The table's handlers and the links point into this home.
    ActiveCommandTable() = CommandTable();
    ResetEventLinks();
    ActiveCharacterWorld() = CharacterWorld();
    ResetGameOwners();
    UninstallGameObjects();
    live_home = nullptr;
}

void GameHome::InstallOwners() {
    GameOwners& owners = ActiveGameOwners();
    owners.scene = sceneOwner_.get();
    owners.input = inputOwner_.get();
    owners.map = mapOwner_.get();
    owners.sound = &sound;
    owners.events = &commonEvents;
    EventLinks& links = ActiveEventLinks();
    links.system = systemLink_.get();
    links.map = mapLink_.get();
    links.commonEvents = &commonEvents;
    links.keyInput = keyInput_.get();
    links.systemVariables = &mainInterpreter.systemVariables;
    links.variables = &variableStore;
    links.databases = &databases;
    links.table = &ActiveCommandTable();
    CharacterWorld& world = ActiveCharacterWorld();
    world.map = &mapState;
    world.hero = &hero;
    world.mainInterpreter = &mainInterpreter;
    world.system = &gameSystem;
}

void GameHome::RebuildHero() {
    CharacterWorld& world = ActiveCharacterWorld();
    world.rules = MovementRules::FromGameInfo();
    world.values = PlayValues();
    hero = Hero();
    hero.graphicFileName = gameInfo.Text(GameInfo::kHeroGraphicText);
}

void GameHome::ApplyHeroSettings() { hero.ApplyGameSettings(ActiveCharacterWorld().rules); }

EventTextLink& GameHome::TextLink() { return *textLink_; }

void GameHome::RebuildCommonEvents() {
    commonEvents = CommonEventList();
    commonEvents.Load(kCommonEventFileName);
}

void GameHome::RebuildSoundState() {
    // Music, background sound and effects stop, and the stop takes effect,
    // before the library's sounds go.
    for (int32_t kind : {SoundState::kMusic, SoundState::kBackgroundSound, SoundState::kSoundEffect})
        sound.Play(kind, -1, 0, 0);
    for (int i = 0; i < 3; ++i)
        sound.Update();
    DeleteAllSounds();
    sound = SoundState(databases.system, midiLibrary, speechLibrary, soundSettings);
    sound.Update();
}

void GameHome::RebuildMapState() {
    mapState = MapState(MapSettings::FromGameInfo());
    mapState.links = mapLinks_;
}

void GameHome::SetMapLinks(const MapLinks& links) {
    mapLinks_ = links;
    mapState.links = links;
}

int32_t GameHome::MessageFontSize() const {
    return mainInterpreter.systemVariables.sysVar8 * wideValues.chipScale;
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
    mainInterpreter = MainEventInterpreter(wideValues.chipSize);
}

InputContext GameHome::MakeInputContext() {
    InputContext context;
    context.keyConfig = &mainInterpreter.keyConfig;
    context.repeatStart = mainInterpreter.systemVariables.sysVar15;
    context.repeatInterval = mainInterpreter.systemVariables.sysVar16;
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
