#include "lib/api/graphics_start_steps.h"

#include <utility>

namespace velk {

namespace {

GraphicsStartSteps& Steps() {
    static GraphicsStartSteps steps;
    return steps;
}

}  // namespace

void SetGraphicsStartSteps(GraphicsStartSteps steps) { Steps() = std::move(steps); }

const GraphicsStartSteps& GraphicsSteps() { return Steps(); }

}  // namespace velk
