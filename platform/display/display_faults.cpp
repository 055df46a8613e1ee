#include "platform/display/display_faults.h"

#include "platform/base/planned_failures.h"

namespace velk::platform {
namespace {

// The display is used from the main thread only.
PlannedFailures<DisplayStep> planned;

}  // namespace

void FailDisplayStep(DisplayStep step, int times, int after) { planned.Plan(step, times, after); }

void ClearDisplayFaults() { planned.Clear(); }

bool DisplayStepFails(DisplayStep step) { return planned.Consume(step); }

}  // namespace velk::platform
