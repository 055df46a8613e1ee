#include "game/shell/scene.h"

#include "game/event/event_interpreter.h"
#include "game/shell/game_home.h"
#include "game/shell/shell_wait.h"
#include "lib/api/library_api.h"

namespace velk {
namespace {

constexpr int32_t kFrameCounterWrap = 10000000;

uint32_t Now() { return static_cast<uint32_t>(GetMillisecondCount()); }

int32_t Since(int32_t start, uint32_t now) {
    return static_cast<int32_t>((now - static_cast<uint32_t>(start)) & 0x7FFFFFFFu);
}

// The game system's side of the message and choice windows' reset: the
// requests, their waiters and the window flags.
void ResetWindowRequests(GameSystem& system) {
    system.closeMessageRequest = 0;
    system.messageRequest.clear();
    system.choiceRequest.clear();
    system.windowBusy = 0;
    system.closeChoicesRequest = 0;
    // The message window's reset comes first and clears the choices' link
    // to it, so the choice window's reset leaves no choice ended.
    system.choicesWithMessage = 0;
    system.choiceEnded = 0;
}

}  // namespace

Scene::Scene(GameHome& home) : home_(home) {
    pacer_.Begin(Now(), home_.wideValues.frameStep, home_.wideValues.drawRate);
}

void Scene::RunUpdate(UpdateStep step) {
    const auto& run = hooks_.update[static_cast<size_t>(step)];
    if (run) run();
}

void Scene::RunDraw(DrawLayer layer) {
    const auto& draw = hooks_.draw[static_cast<size_t>(layer)];
    if (draw) draw();
}

void Scene::RunMainLoop() {
    BeginMainLoop();
    while (RunPass()) {
    }
}

void Scene::BeginMainLoop() {
    pacer_.Begin(Now(), home_.wideValues.frameStep, home_.wideValues.drawRate);
    if (hooks_.resetScene) hooks_.resetScene();
}

bool Scene::RunPass() {
    GameSystem& system = home_.gameSystem;
    if (ProcessMessages() != 0) return false;
    home_.UpdateInput();
    ReplayRecorder& replay = home_.replayRecorder;
    // A playback that ran out in this update, or that the player cancelled
    // in the last pass, ends before another frame of it runs.
    if (replay.playbackFlag && replay.endedFlag) {
        replay.playbackFlag = 0;
        replay.endedFlag = 0;
        system.sceneState = kSceneTitle;
        LeaveMainLoop();
        return false;
    }
    std::array<int32_t, 5>& history = system.frameHistory;
    for (size_t i = history.size() - 1; i > 0; --i) history[i] = history[i - 1];
    history[0] = static_cast<int32_t>(Now());
    RunFrame();
    if (hooks_.hotkeys) hooks_.hotkeys();
    counter_.Count(Now(), true, home_.wideValues);
    ++passes_;
    if (system.sceneState != kSceneRun) {
        LeaveMainLoop();
        return false;
    }
    if (replay.playbackFlag && home_.inputState.DeviceHeld(kButtonCancel)) replay.EndPlayback();
    int32_t wait = pacer_.EndPass(Now(), FastForwardFrameTime(pacer_.NormalFrameTime(), FastForward()));
    if (wait > 0) ShellWait(wait);
    pacer_.Finish(Now());
    return true;
}

void Scene::LeaveMainLoop() {
    ResetWindowRequests(home_.gameSystem);
    if (hooks_.resetWindows) hooks_.resetWindows();
}

FastForwardKeys Scene::FastForward() const {
    if (!home_.replayRecorder.playbackFlag) return {};
    const InputState& input = home_.inputState;
    return {input.DeviceHeld(kButtonConfirm), input.DeviceHeld(kButtonSub)};
}

void Scene::RunFrame() {
    // Every interpreter of the frame shares its file writes and its looks
    // for the window's close.
    EventFrame events;
    GameSystem& system = home_.gameSystem;
    GameWideValues& values = home_.wideValues;
    auto transfer = [&] {
        if (hooks_.mapTransfer) {
            hooks_.mapTransfer();
        } else {
            system.transferPending = 0;
        }
    };
    int32_t currentMap = hooks_.currentMap ? hooks_.currentMap() : -1;
    if (currentMap == -1) transfer();
    if (system.sceneState == kSceneQuit) return;
    if (system.SceneRestartFlag) {
        if (hooks_.restartScene) hooks_.restartScene();
        system.SceneRestartFlag = 0;
        values.gameLoadedThisFrame = 0;
    }
    int32_t& counter = home_.mainInterpreter.frameCounter;
    counter = (counter + 1) % kFrameCounterWrap;
    if (system.tileFlagsChanged) {
        system.tileFlagsChanged = 0;
        if (hooks_.refreshTileFlags) hooks_.refreshTileFlags();
    }
    RunUpdate(UpdateStep::kMapUpdate);
    RunUpdate(UpdateStep::kMainInterpreter);
    // A load during the event processing ends the frame here.
    if (values.gameLoadedThisFrame || system.SceneRestartFlag) return;
    RunUpdate(UpdateStep::kHero);
    if (system.transferPending) transfer();
    RunUpdate(UpdateStep::kChoiceWindow);
    RunUpdate(UpdateStep::kMessageWindow);
    RunUpdate(UpdateStep::kPictures);
    RunUpdate(UpdateStep::kSound);
    system.StepTransition(values.frameStep);
    RunUpdate(UpdateStep::kTint);
    RunUpdate(UpdateStep::kPanoramaScroll);
    RunUpdate(UpdateStep::kFogScroll);
    system.frameHistory[0] = Since(system.frameHistory[0], Now());
    pacer_.AddCredit(FastForwardDrawStep(values.drawRate, FastForward()));
    if (pacer_.MayDraw(system.transitionPrepared != 0)) Draw();
}

void Scene::Draw() {
    GameSystem& system = home_.gameSystem;
    uint32_t start = Now();
    ClearDrawScreen();
    pacer_.TakeDraw();
    SetDrawMode(0);
    RunDraw(DrawLayer::kTintBrightness);
    if (home_.mainInterpreter.mapVisible) {
        RunDraw(DrawLayer::kMapScene);
    } else {
        DrawFrozenScreen();
    }
    RunDraw(DrawLayer::kTintOverlay);
    RunDraw(DrawLayer::kTintReset);
    SetDrawMode(0);
    RunDraw(DrawLayer::kPicturesBand0);
    RunDraw(DrawLayer::kMessageWindow);
    RunDraw(DrawLayer::kChoiceWindow);
    RunDraw(DrawLayer::kPicturesBand1);
    SetDrawMode(0);
    RunDraw(DrawLayer::kFlash);
    RunDraw(DrawLayer::kTransition);
    RunDraw(DrawLayer::kInputLines);
    RunDraw(DrawLayer::kTestPlayOverlay);
    system.drawingTime = Since(static_cast<int32_t>(start), Now());
    FlipScreen();
    system.tilesetChanged = 0;
    ++drawnFrames_;
}

void Scene::DrawFrozenScreen() {
    SetDrawBlendMode(0, 255);
    DrawGraph(0, 0, home_.gameSystem.frozenScreen, 0);
}

}  // namespace velk
