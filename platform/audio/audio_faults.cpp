#include "platform/audio/audio_faults.h"

#include <mutex>

#include "platform/base/planned_failures.h"

namespace velk::platform {
namespace {

// The sound device is called from more than one thread.
std::mutex fault_mutex;
PlannedFailures<AudioStep> planned;

}  // namespace

void FailAudioStep(AudioStep step, int times, int after) {
    std::lock_guard lock(fault_mutex);
    planned.Plan(step, times, after);
}

void ClearAudioFaults() {
    std::lock_guard lock(fault_mutex);
    planned.Clear();
}

bool AudioStepFails(AudioStep step) {
    std::lock_guard lock(fault_mutex);
    return planned.Consume(step);
}

}  // namespace velk::platform
