#include "platform/audio/audio_faults.h"

#include <array>
#include <mutex>

namespace velk::platform {
namespace {

struct PlannedFailure {
    int skip = 0;
    int times = 0;
};

std::mutex fault_mutex;
std::array<PlannedFailure, static_cast<size_t>(AudioStep::kCount)> planned;

}  // namespace

void FailAudioStep(AudioStep step, int times, int after) {
    std::lock_guard lock(fault_mutex);
    planned[static_cast<size_t>(step)] = PlannedFailure{after, times};
}

void ClearAudioFaults() {
    std::lock_guard lock(fault_mutex);
    planned.fill(PlannedFailure{});
}

bool AudioStepFails(AudioStep step) {
    std::lock_guard lock(fault_mutex);
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
