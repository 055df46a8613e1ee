#pragma once
// Failure injection for the display stand-in: the steps of the GDI side that
// the library checks one by one can be made to fail, so tests reach each of
// its failure paths.

namespace velk::platform {

enum class DisplayStep {
    kGetDC,
    kReleaseDC,
    kGdiCopy,
    // The fresh store a surface takes when a primary shows its own and it
    // is written (the memory for it runs out).
    kNewPixelStore,
    kCount,
};

// The calls of `step` after the next `after` ones fail, `times` of them.
void FailDisplayStep(DisplayStep step, int times = 1, int after = 0);
// Forgets every planned failure.
void ClearDisplayFaults();
// Consumes one call of `step`; true when that call is to fail.
bool DisplayStepFails(DisplayStep step);

}  // namespace velk::platform
