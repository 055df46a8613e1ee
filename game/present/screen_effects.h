#pragma once
// The whole-screen effects the frame draws around the map: the colour
// tone's two passes (a darkening of every later draw and an additive box),
// the flash box that fades out, the screen transition from the captured
// screen through a transition image or as a plain fade, and the frozen
// screen shown in place of the map.

namespace velk {

class GameSystem;
class SceneDrawing;
struct ScreenFlash;
struct ScreenTone;

// reset: brightness back to normal. additive: the tone's positive part as
// an additive box over the screen. Neither: the tone's negative part as
// the brightness of every later draw.
void DrawTint(SceneDrawing& drawing, const ScreenTone& tone, bool additive, bool reset);
void DrawFlash(SceneDrawing& drawing, const ScreenFlash& flash);
// While the transition runs; it ends (both flags cleared) once its frames
// are used up.
void DrawTransition(SceneDrawing& drawing, GameSystem& system);

}  // namespace velk
