#pragma once
// The screen's colour tone and flash that the main interpreter keeps: their
// per-frame step, and their drawing around the map scene (the tone darkens
// every draw between its two passes for negative components and adds a
// box for positive ones) and over the pictures (the flash).

#include <cstdint>

namespace velk {

struct ScreenFlash;
struct ScreenTone;

// Moves the tone linearly from its start to its target; the frames left of
// the tone and of the flash fall by the frame step.
void UpdateTint(ScreenTone& tone, ScreenFlash& flash, int32_t frameStep);
// `reset`: brightness back to normal. Else the first pass (not
// `additive`) sets the darkening brightness, the additive pass draws the
// box of the positive components.
void DrawTint(const ScreenTone& tone, bool additive, bool reset);
void DrawFlash(const ScreenFlash& flash);

}  // namespace velk
