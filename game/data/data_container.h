#pragma once
// The container of every scrambled game data file: a short header holding
// three stream seeds (and, for most kinds, a one-byte sum of the plain body),
// then a body XORed with streams of the C runtime generator. The same passes
// scramble and unscramble.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace velk {

struct ContainerLayout {
    size_t headerLength;
    // Header bytes holding the seeds of keys 0, 1 and 2.
    std::array<size_t, 3> seedOffsets;
    // Header byte holding the sum of the plain body; -1 when the kind has none.
    int checkOffset;
};

// Common events, tilesets and the databases' data files.
inline constexpr ContainerLayout kDataFileLayout{10, {0, 3, 9}, 2};
// Game.dat: its own seed places and no sum.
inline constexpr ContainerLayout kGameInfoLayout{10, {0, 8, 6}, -1};
// Map files and save files.
inline constexpr ContainerLayout kMapFileLayout{20, {0, 3, 9}, 2};

using ContainerSeeds = std::array<uint8_t, 3>;

// The scramble routine as every caller uses it, over buffer[start, end):
// keyCount seeds (0-3) select the passes (strides 1, 2 and 5); all-zero seeds
// leave everything untouched. mode < 0 stores the sum of the plain bytes in
// check[0] before scrambling; mode >= 1 verifies check[0] after unscrambling.
// A failed verification shows the tampered-file message in the error box and
// ends the program; the result is then false (a test's reporter returns).
bool ScrambleDataBuffer(std::string_view fileName, std::span<uint8_t> buffer, int start, int end, int keyCount,
                        const uint8_t* keys, int mode, uint8_t* check);

// Reading without side effects on the screen.
struct OpenedContainer {
    ContainerSeeds seeds{};
    // The stored sum; meaningful only when `checked`.
    uint8_t check = 0;
    // True when the layout carries a sum and at least one seed is non-zero.
    bool checked = false;
};
// Unscrambles the body of a whole file in place. nullopt: the file is shorter
// than its header (damaged).
std::optional<OpenedContainer> UnscrambleContainer(std::span<uint8_t> file, const ContainerLayout& layout);
// Whether the plain body from the header up to parsedEnd sums to the stored
// check byte (always true for files that carry no verified sum).
bool ContainerSumMatches(std::span<const uint8_t> file, const ContainerLayout& layout, const OpenedContainer& opened,
                         size_t parsedEnd);

// Writing: stores the seeds and the sum of the plain body in the header and
// scrambles the body. The other header bytes are left as the caller set them.
void SealContainer(std::span<uint8_t> file, const ContainerLayout& layout, const ContainerSeeds& seeds);

// The tampered-file message in the error box, then the end of the program.
void ReportTamperedFile(std::string_view fileName);

// Whether the scrambling may use the AVX2 kernels where the machine has them
// (the default) or keeps to the SSE2 ones every x86-64 machine has. Both give
// the same bytes; tests run each.
void UseWideScrambleKernels(bool allowed);
// Whether, where the wide kernels may run, the AVX-512 one may (the default
// where the machine has it); false keeps to AVX2.
void UseAvx512ScrambleKernels(bool allowed);

// Sum modulo 256 of buffer[start, end).
uint8_t SumBytes(std::span<const uint8_t> buffer, size_t start, size_t end);

}  // namespace velk
