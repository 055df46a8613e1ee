#pragma once
// The draws the start-up makes once so that every drawing path (a draw-valid
// graph as draw target, a subtractive blend, a plain and a scaled draw on
// both screens) has run before the game's first frame. They leave the front
// screen black and selected as the draw screen; the program selects the back
// screen for its frames.

namespace velk {

int RunWarmUpDraws();

}  // namespace velk
