#include "platform/display/display_faults.h"

#include <array>
#include <cstddef>

namespace velk::platform {
namespace {

struct PlannedFailure {
    int skip = 0;
    int times = 0;
};

// The display is used from the main thread only.
std::array<PlannedFailure, static_cast<size_t>(DisplayStep::kCount)> planned;

}  // namespace

void FailDisplayStep(DisplayStep step, int times, int after) {
    planned[static_cast<size_t>(step)] = PlannedFailure{after, times};
}

void ClearDisplayFaults() { planned.fill(PlannedFailure{}); }

bool DisplayStepFails(DisplayStep step) {
    PlannedFailure& plan = planned[static_cast<size_t>(step)];
    if (plan.times <= 0) return false;
    if (plan.skip > 0) {
        --plan.skip;
        return false;
    }
    --plan.times;
    return true;
}

}  // namespace velk::platform
