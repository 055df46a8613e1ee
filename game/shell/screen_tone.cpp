#include "game/shell/screen_tone.h"

#include <algorithm>

#include "game/event/main_event_interpreter.h"
#include "lib/api/library_api.h"

namespace velk {
namespace {

constexpr int kScreenWidth = 640;
constexpr int kScreenHeight = 480;

int16_t Between(int16_t start, int16_t target, int32_t remaining, int32_t total) {
    if (total <= 0) return target;
    return static_cast<int16_t>(target - (target - start) * remaining / total);
}

}  // namespace

void UpdateTint(ScreenTone& tone, ScreenFlash& flash, int32_t frameStep) {
    const int32_t step = std::max(frameStep, 1);
    if (tone.remaining > 0) {
        tone.remaining = static_cast<int16_t>(std::max(0, tone.remaining - step));
        for (size_t i = 0; i < tone.current.size(); ++i)
            tone.current[i] = Between(tone.start[i], tone.target[i], tone.remaining, tone.total);
    }
    if (flash.remaining > 0) flash.remaining = static_cast<int16_t>(std::max(0, flash.remaining - step));
}

void DrawTint(const ScreenTone& tone, bool additive, bool reset) {
    const auto& c = tone.current;
    if (reset) {
        SetDrawBrightness(255, 255, 255);
        return;
    }
    if (additive) {
        SetDrawBlendMode(2, 255);
        SetDrawBrightness(255, 255, 255);
        if (c[0] >= 1 || c[1] >= 1 || c[2] >= 1) {
            DrawBox(0, 0, kScreenWidth, kScreenHeight,
                    GetColorValue(std::max<int>(c[0], 0), std::max<int>(c[1], 0), std::max<int>(c[2], 0)), 1);
        }
        SetDrawBlendMode(0, 255);
        return;
    }
    if (c[0] > 0 && c[1] > 0 && c[2] > 0) return;
    SetDrawBrightness(255 + std::min<int>(c[0], 0), 255 + std::min<int>(c[1], 0), 255 + std::min<int>(c[2], 0));
}

void DrawFlash(const ScreenFlash& flash) {
    if (flash.remaining <= 0 || flash.total <= 0) return;
    const auto channel = [](int16_t value) { return std::clamp<int>(value, 0, 255); };
    SetDrawBlendMode(1, 255 * flash.remaining / flash.total);
    DrawBox(0, 0, kScreenWidth, kScreenHeight,
            GetColorValue(channel(flash.color[0]), channel(flash.color[1]), channel(flash.color[2])), 1);
    SetDrawBlendMode(0, 255);
}

}  // namespace velk
