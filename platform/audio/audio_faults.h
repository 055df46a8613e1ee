#pragma once
// Failure injection for the sound-device stand-in: every step whose failure
// the library handles can be made to fail, so tests reach each failure path.

namespace velk::platform {

enum class AudioStep {
    kCreateDevice,
    kInitializeDevice,
    kSetCooperativeLevel,
    kGetCaps,
    kCreatePrimaryBuffer,
    kSetPrimaryFormat,
    kCreateBuffer,
    kDuplicateBuffer,
    kLock,
    kUnlock,
    kGetStatus,
    kGetCurrentPosition,
    kLoadDriverModule,
    kFindEnumerateFunction,
    kAcmSuggestFormat,
    kAcmOpenStream,
    kAcmPrepareHeader,
    kCount,
};

// The calls of `step` after the next `after` ones fail, `times` of them.
void FailAudioStep(AudioStep step, int times = 1, int after = 0);
// Forgets every planned failure.
void ClearAudioFaults();
// Consumes one call of `step`; true when that call is to fail.
bool AudioStepFails(AudioStep step);

}  // namespace velk::platform
