#pragma once
// What the library's start-up and shut-down ask of the graphics side, as one
// set of steps. The screen's own steps are put in by RegisterLibraryParts();
// until then, and in tests that record or fail them, stand-ins answer: no
// software-rendering request, a 16-bit screen asked for, and a start that
// sets nothing up.

#include <functional>

#include "lib/api/start_options.h"

namespace velk {

struct GraphicsStartSteps {
    // 1 when the graphics side asks for software rendering.
    std::function<int()> soft_render_requested = [] { return 0; };
    std::function<int(int flag)> set_use_hardware_render = [](int) { return 0; };
    // The colour depth the program asked for (16 when it asked for none).
    std::function<int()> requested_color_bits = [] { return 16; };
    std::function<int(int flag)> set_temp_primary = [](int) { return 0; };
    // Hands the program's start options on before the graphics start.
    std::function<void(const LibraryStartOptions& options)> apply_start_options = [](const LibraryStartOptions&) {};
    // Graphics start-up with the main window (fonts included): 0, below 0
    // when the graphics cannot be used.
    std::function<int()> start = [] { return 0; };
    // Graphics shut-down; also right for graphics that failed to start.
    std::function<int()> end = [] { return 0; };
};

void SetGraphicsStartSteps(GraphicsStartSteps steps);
const GraphicsStartSteps& GraphicsSteps();

}  // namespace velk
