#pragma once
// An AVX-512 form of the archive decoder's inner loop for runs of
// back-references, the bulk of a typical stream. It finds the codes of
// 64 stream bytes at once and builds each copy in a register, the last 64
// decoded bytes kept alongside, so that a copy from close behind never waits
// for the bytes just stored. It takes only what it can finish in one 64-byte
// step and leaves every other code, damaged ones included, to the general
// loop, which checks and refuses them.

#include <cstddef>
#include <cstdint>

namespace velk {

// Stream bytes the wide run reads from where it starts a step, and output
// bytes it may write past where it starts one (its 64-byte stores included).
inline constexpr size_t kWideRunStreamReach = 72;
inline constexpr size_t kWideRunOutputReach = 22 * 64;
// Decoded bytes before the output position that the run reads as history.
inline constexpr size_t kWideRunHistory = 64;

// Whether the wide run may be used: the machine has AVX-512 with byte
// permutes and BMI2, and tests have not switched it off.
bool WideArchiveRunAvailable();
// Tests decode both ways.
void UseWideArchiveRun(bool allowed);

// Takes the back-references from `in` (a marker) on, one after another,
// writing them at `out` and moving both on, and stops before the first code
// it does not take: a literal, a marker repeated, a length above 64, a
// distance beyond `begin`, an invalid form, or when fewer than the reaches
// above are left before `in_end` and `out_end`. Needs `out - begin` of at
// least kWideRunHistory.
void TakeBackReferencesWide(uint8_t marker, const uint8_t*& in, const uint8_t* in_end, const uint8_t* begin,
                            uint8_t*& out, uint8_t* out_end);

}  // namespace velk
