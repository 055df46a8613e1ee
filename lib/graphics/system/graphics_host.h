#pragma once
// What the graph front-end asks of the screen and the window, answered from
// the screen side's state and the main window.

#include "lib/core/math.h"

namespace velk {

class GraphicsHost;

GraphicsHost& ScreenGraphicsHost();
// The draw area the game asked for last (the window puts it back).
Rect RememberedDrawArea();

}  // namespace velk
