#pragma once
// The start-up's graphics steps answered by the screen side.

#include "lib/api/graphics_start_steps.h"

namespace velk {

GraphicsStartSteps ScreenGraphicsStartSteps();

}  // namespace velk
