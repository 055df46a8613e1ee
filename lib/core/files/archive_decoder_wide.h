#pragma once
// An AVX-512 form of the archive decoder's inner loop. It finds the codes of
// 64 stream bytes at once and appends each token to the last 64 decoded
// bytes, kept in a register, so that a copy from close behind never waits
// for the bytes just stored. Literal runs, repeated markers and long
// back-references stay in the run too: leaving it for each of them, every
// few dozen codes in typical data, cost more than all the rest. It takes
// only what it can finish in one 64-byte step and leaves every other code,
// damaged ones included, to the general loop, which checks and refuses them.

#include <cstddef>
#include <cstdint>

namespace velk {

// Stream bytes the wide run reads from where it starts a step (a literal run
// that starts at its last byte loads 64 from there), and output bytes it may
// write or read past where it starts one: at most 22 codes of up to 64 bytes
// start in 64 stream bytes (at most 16 that write 64 each, as those take a
// length byte), and a code that copies from close behind loads the 64 bytes
// from 64 past its own start; a longer code is taken only with this much to
// spare past its end.
inline constexpr size_t kWideRunStreamReach = 128;
inline constexpr size_t kWideRunOutputReach = 22 * 64;
// Decoded bytes before the output position that the run reads as history.
inline constexpr size_t kWideRunHistory = 64;

// Whether the wide run may be used: the machine has AVX-512 with byte
// permutes and BMI2, and tests have not switched it off.
bool WideArchiveRunAvailable();
// Tests decode both ways.
void UseWideArchiveRun(bool allowed);

// Takes the tokens from `in` (the start of one) on, writing them at `out`
// and moving both on, and stops before the first code it does not take: a
// distance beyond `begin`, the form that does not exist, a long copy without
// room past it, or when fewer than the reaches above are left before
// `in_end` and `out_end`. Needs `out - begin` of at least kWideRunHistory.
void TakeCodesWide(uint8_t marker, const uint8_t*& in, const uint8_t* in_end, const uint8_t* begin, uint8_t*& out,
                   uint8_t* out_end);

}  // namespace velk
