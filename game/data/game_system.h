#pragma once
// The game's run-wide state that the subsystems hand each other: the scene
// state that drives the main loop, the message and choice requests between
// the interpreter and the windows, the pending map transfer, the screen
// transition with its two captured screens, per-frame flags, and the spare
// sound rows that sounds started by file name are registered in. It draws
// nothing and holds no library resource of its own: the two work graphs are
// handles the shell creates and deletes. The title/reset block replaces it
// with a freshly built one, so every field returns to the value below.

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace velk {

struct DatabaseSet;

// sceneState values.
inline constexpr int32_t kSceneRun = 1;
inline constexpr int32_t kSceneTitle = 0;
inline constexpr int32_t kSceneQuit = -1;

// Sound kinds of the spare rows: music, background sound, sound effect
// (system-database types 1, 2 and 3).
inline constexpr int kSoundKindCount = 3;
inline constexpr int kSpareSoundRows = 10;

class GameSystem {
public:
    GameSystem() { ResetRequests(); }

    // Clears the pending message and choice requests and the window flags
    // that go with them. (The interpreters waiting for the windows are kept
    // by the event module's window waiters, which follow them when they move.)
    void ResetRequests();

    // Per sound kind, the first of the ten spare rows the system database
    // gave the kind's type (its row count minus ten), and the rotation of
    // spare rows used starts again. A type that has fewer than ten rows has
    // no spare rows.
    void CountSoundSpares(const DatabaseSet& databases);
    // The row the next sound of this kind started by file name goes into, or
    // nullopt when the kind has no spare rows. The ten rows are used in turn.
    std::optional<int32_t> TakeSpareSoundRow(int kind);
    // The row TakeSpareSoundRow would give, without taking it.
    std::optional<int32_t> NextSpareSoundRow(int kind) const;
    // The first spare row of the kind (what a restart re-registers into), or
    // nullopt when the kind has none.
    std::optional<int32_t> FirstSpareSoundRow(int kind) const;

    // Transition frames left fall by the frame step and rest at -10.
    void StepTransition(int frameStep);

    int32_t sceneState = kSceneTitle;
    std::string messageRequest;
    std::string transitionImagePath;
    std::string choiceRequest;
    int32_t choiceCount = 0;
    int32_t choiceCancelValue = 0;
    int32_t choiceOptions = 0;
    int32_t reservedCommonEvent = -1;
    uint8_t windowBusy = 0;
    uint8_t transferPending = 0;
    uint8_t transitionRunning = 0;
    int32_t transferMap = 0;
    int32_t transferX = 0;
    int32_t transferY = 0;
    int32_t transferDirection = 0;
    uint8_t choicesWithMessage = 0;
    uint8_t choiceEnded = 0;
    uint8_t transitionPrepared = 0;
    uint8_t transitionWaits = 0;
    uint8_t plainFade = 1;
    int32_t transitionLeft = 20;
    int32_t transitionLength = 20;
    int32_t transitionImage = 0;
    // The two screen-sized work graphs (0 until the shell creates them).
    int32_t transitionStartScreen = 0;
    uint8_t SceneRestartFlag = 0;
    int32_t frozenScreen = 0;
    int32_t messageWindowOpen = 0;
    uint8_t messageWindowSignal = 0;
    uint8_t closeMessageRequest = 0;
    int32_t informationMode = 0;
    int32_t choiceItemValue = -1;
    uint8_t scrollWaitFlag = 0;
    uint8_t closeChoicesRequest = 0;
    uint8_t tileFlagsChanged = 0;
    std::array<int32_t, 5> frameHistory{};
    int32_t drawingTime = 0;
    // The system's platform id: 2, a system of the NT family, where software
    // mode keeps the DirectDraw path.
    int32_t osPlatformId = 2;
    std::string lastMessageText;
    uint8_t tilesetChanged = 0;
    std::array<std::string, 10> choiceTexts;
    int32_t textPromptOpen = 0;
    std::array<int32_t, kSoundKindCount> spareSoundBase = {-1, -1, -1};
    std::array<int32_t, kSoundKindCount> spareSoundCount{};
    uint8_t panoramaChanged = 0;
    uint8_t fogChanged = 0;
};

}  // namespace velk
