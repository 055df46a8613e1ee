#include "game/present/screen_effects.h"

#include <algorithm>

#include "game/data/game_system.h"
#include "game/event/main_event_interpreter.h"
#include "game/present/scene_drawing.h"

namespace velk {
namespace {

constexpr int kScreenWidth = 640;
constexpr int kScreenHeight = 480;
// How many blend values the wipe's edge spreads over.
constexpr int kTransitionBorderRange = 64;

}  // namespace

void DrawTint(SceneDrawing& drawing, const ScreenTone& tone, bool additive, bool reset) {
    const int r = tone.current[0], g = tone.current[1], b = tone.current[2];
    if (reset) {
        drawing.SetDrawBrightness(255, 255, 255);
        return;
    }
    if (additive) {
        drawing.SetDrawBlendMode(2, 255);
        drawing.SetDrawBrightness(255, 255, 255);
        if (r < 1 && g < 1 && b < 1) return;
        drawing.DrawFilledBox(0, 0, kScreenWidth, kScreenHeight, std::clamp(r, 0, 255), std::clamp(g, 0, 255),
                              std::clamp(b, 0, 255));
        drawing.SetDrawBlendMode(0, 255);
        return;
    }
    if (r > 0 && g > 0 && b > 0) return;
    const auto lowered = [](int c) { return std::max(255 + std::min(c, 0), 0); };
    drawing.SetDrawBrightness(lowered(r), lowered(g), lowered(b));
}

void DrawFlash(SceneDrawing& drawing, const ScreenFlash& flash) {
    if (flash.remaining <= 0 || flash.total <= 0) return;
    drawing.SetDrawBlendMode(1, std::min(255 * flash.remaining / flash.total, 255));
    drawing.SetDrawBrightness(255, 255, 255);
    drawing.DrawFilledBox(0, 0, kScreenWidth, kScreenHeight, std::clamp<int>(flash.color[0], 0, 255),
                          std::clamp<int>(flash.color[1], 0, 255), std::clamp<int>(flash.color[2], 0, 255));
    drawing.SetDrawBlendMode(0, 255);
}

void DrawTransition(SceneDrawing& drawing, GameSystem& system) {
    if (!system.transitionRunning) return;
    drawing.SetDrawBrightness(255, 255, 255);
    if (system.transitionLeft >= 0 && system.transitionLength >= 1) {
        const int part = 255 * system.transitionLeft / system.transitionLength;
        if (system.plainFade) {
            drawing.SetDrawBlendMode(1, part);
            drawing.DrawGraph(0, 0, system.transitionStartScreen, false);
        } else {
            drawing.SetDrawBlendMode(1, 255);
            drawing.DrawBlendGraph(0, 0, system.transitionStartScreen, true, system.transitionImage, 255 - part,
                                   kTransitionBorderRange);
        }
        drawing.SetDrawBlendMode(0, 255);
    }
    // A transition of no frames still runs until its count falls below 0,
    // so an event waiting for it gets its frame as for any other.
    if (system.transitionLeft < 0) {
        system.transitionRunning = 0;
        system.transitionWaits = 0;
    }
}

}  // namespace velk
