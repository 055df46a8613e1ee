#pragma once
// The scene: the main loop that runs frames while the scene state is 1, the
// frame clock, and one frame's fixed order of updates and drawing. The parts
// of the frame that belong to the map, the interpreter, the windows,
// pictures and sound are slots of one ordered list each (UpdateStep,
// DrawLayer); a subsystem plugs in by filling its slot. The frame runs the
// slots in the order of the enums, so the order lives in one place.

#include <array>
#include <cstdint>
#include <functional>

#include "game/shell/frame_pacing.h"

namespace velk {

class GameHome;

// The frame's updates, in order. The first two are the event processing of
// every frame; the rest runs only when no game was loaded during them.
enum class UpdateStep {
    kMapUpdate,        // map events, pages, scroll, shake
    kMainInterpreter,  // the main interpreter's frame run
    kHero,
    // (a pending map transfer runs here)
    kChoiceWindow,
    kMessageWindow,
    kPictures,
    kSound,
    // (the game system's transition step runs here)
    kTint,
    kPanoramaScroll,
    kFogScroll,
    kCount,
};

// The frame's drawing, in order, between the clear and the flip.
enum class DrawLayer {
    kTintBrightness,   // the tone's darkening of every later draw
    kMapScene,         // the map scene; the frozen screen while the map is hidden
    kTintOverlay,      // the tone's additive box
    kTintReset,        // brightness back to normal
    kPicturesBand0,    // pictures 0-99999
    kMessageWindow,
    kChoiceWindow,
    kPicturesBand1,    // pictures 100000 and up
    kFlash,
    kTransition,       // the game system's screen transition
    kInputLines,       // text-input lines of the interpreters
    kTestPlayOverlay,
    kCount,
};

struct FrameHooks {
    std::array<std::function<void()>, static_cast<size_t>(UpdateStep::kCount)> update;
    std::array<std::function<void()>, static_cast<size_t>(DrawLayer::kCount)> draw;
    // The current map id, -1 before the first transfer.
    std::function<int32_t()> currentMap;
    // Performs a pending or first map transfer; without a map the request
    // is taken as done.
    std::function<void()> mapTransfer;
    // After a load: caches, sprites and windows reloaded, music and
    // background sound restarted, common events loaded again.
    std::function<void()> restartScene;
    // Rebuilds the sprites, layers, panorama and fog for the current map.
    std::function<void()> resetScene;
    // The message and choice windows' reset when the loop leaves.
    std::function<void()> resetWindows;
    // Refills the map's per-tile flags after the tile-passability command.
    std::function<void()> refreshTileFlags;
    // Test-play hotkeys and the screenshot key, after each frame.
    std::function<void()> hotkeys;
};

class Scene {
public:
    explicit Scene(GameHome& home);

    FrameHooks& Hooks() { return hooks_; }
    void SetUpdateStep(UpdateStep step, std::function<void()> run) {
        hooks_.update[static_cast<size_t>(step)] = std::move(run);
    }
    void SetDrawLayer(DrawLayer layer, std::function<void()> draw) {
        hooks_.draw[static_cast<size_t>(layer)] = std::move(draw);
    }

    // The main loop, whole: returns when the scene state is no longer 1,
    // message processing reports the end, or a replay's playback has ended
    // (the game then goes back to the title with the player's input). While
    // a replay plays back, the real confirm and sub keys fast-forward it and
    // the real cancel key ends it.
    void RunMainLoop();
    // The same in steps: BeginMainLoop, then RunPass until it returns false.
    void BeginMainLoop();
    bool RunPass();
    // One frame: updates in order and, when pacing allows, the drawing.
    void RunFrame();

    const FramePacer& Pacer() const { return pacer_; }
    // Frames drawn (flipped) since the scene was built.
    int64_t DrawnFrames() const { return drawnFrames_; }
    int64_t Passes() const { return passes_; }

private:
    // The message and choice windows reset as the loop leaves.
    void LeaveMainLoop();
    FastForwardKeys FastForward() const;
    void RunUpdate(UpdateStep step);
    void RunDraw(DrawLayer layer);
    void Draw();
    void DrawFrozenScreen();

    GameHome& home_;
    FrameHooks hooks_;
    FramePacer pacer_;
    FrameCounter counter_;
    int64_t drawnFrames_ = 0;
    int64_t passes_ = 0;
};

}  // namespace velk
