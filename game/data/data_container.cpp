#include "game/data/data_container.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "game/data/data_texts.h"
#include "game/data/error_reporter.h"
#include "game/data/text_format.h"
#include "platform/base/crt_random.h"

namespace velk {
namespace {

constexpr uint32_t kGeneratorMultiplier = 214013u;
constexpr uint32_t kGeneratorIncrement = 2531011u;

// n steps of the generator as one affine map: state -> multiplier * state + increment.
struct GeneratorJump {
    uint32_t multiplier = 1;
    uint32_t increment = 0;
    uint32_t Apply(uint32_t state) const { return multiplier * state + increment; }
    GeneratorJump Then(const GeneratorJump& next) const {
        return {next.multiplier * multiplier, next.multiplier * increment + next.increment};
    }
};

constexpr GeneratorJump StepsOf(int steps) {
    GeneratorJump jump;
    for (int i = 0; i < steps; ++i) jump = {jump.multiplier * kGeneratorMultiplier, jump.increment * kGeneratorMultiplier + kGeneratorIncrement};
    return jump;
}

GeneratorJump JumpOf(uint64_t steps) {
    GeneratorJump result;
    GeneratorJump power = StepsOf(1);
    while (steps != 0) {
        if (steps & 1) result = result.Then(power);
        power = power.Then(power);
        steps >>= 1;
    }
    return result;
}

// The byte a pass XORs in is (rand() & 0xFF000) >> 12: bits 28-30 of the
// generator state. Sixteen generator positions run side by side, each
// jumping sixteen steps at a time, so the stream is not one long chain of
// dependent multiplications and the compiler can keep the lanes in vector
// registers.
constexpr int kLanes = 16;
using LaneStates = uint32_t __attribute__((vector_size(kLanes * sizeof(uint32_t))));
constexpr size_t kChunk = 512;

// Fills `states` (a multiple of kLanes long) with the next generator states
// of the lanes, in stream order. Built for the vector units the machine has.
__attribute__((target_clones("avx2", "default"))) void FillStates(LaneStates& lanes, uint32_t* states, size_t count) {
    constexpr GeneratorJump kLaneJump = StepsOf(kLanes);
    const LaneStates multiplier = LaneStates{} + kLaneJump.multiplier;
    const LaneStates increment = LaneStates{} + kLaneJump.increment;
    LaneStates current = lanes;
    for (size_t k = 0; k < count; k += kLanes) {
        std::memcpy(states + k, &current, sizeof current);
        current = current * multiplier + increment;
    }
    lanes = current;
}

// One pass: srand(seed), then each byte at start, start + stride, ... below
// end XORed with the next rand(). The generator states are made a chunk at a
// time and then laid over the bytes. The shared generator ends where the
// byte-by-byte routine would leave it.
template <size_t kStride>
void XorPass(std::span<uint8_t> buffer, size_t start, size_t end, uint8_t seed) {
    size_t count = start < end ? (end - start + kStride - 1) / kStride : 0;
    LaneStates lanes;
    uint32_t state = seed;
    for (int lane = 0; lane < kLanes; ++lane) {
        state = state * kGeneratorMultiplier + kGeneratorIncrement;
        lanes[lane] = state;
    }
    uint8_t* at = buffer.data() + start;
    alignas(64) uint32_t states[kChunk];
    size_t done = 0;
    for (; count - done >= kChunk; done += kChunk, at += kChunk * kStride) {
        FillStates(lanes, states, kChunk);
        for (size_t k = 0; k < kChunk; ++k) at[k * kStride] ^= static_cast<uint8_t>((states[k] >> 28) & 7u);
    }
    if (done < count) {
        FillStates(lanes, states, kChunk);
        for (size_t k = 0; k < count - done; ++k) at[k * kStride] ^= static_cast<uint8_t>((states[k] >> 28) & 7u);
    }
    platform::CrtSrand(JumpOf(count).Apply(seed));
}

void ApplyPasses(std::span<uint8_t> buffer, size_t start, size_t end, int keyCount, const uint8_t* keys) {
    if (keyCount >= 1) XorPass<1>(buffer, start, end, keys[0]);
    if (keyCount >= 2) XorPass<2>(buffer, start, end, keys[1]);
    if (keyCount >= 3) XorPass<5>(buffer, start, end, keys[2]);
}

bool AllZero(const uint8_t* keys, int keyCount) {
    return std::all_of(keys, keys + keyCount, [](uint8_t key) { return key == 0; });
}

ContainerSeeds SeedsOf(std::span<const uint8_t> file, const ContainerLayout& layout) {
    return {file[layout.seedOffsets[0]], file[layout.seedOffsets[1]], file[layout.seedOffsets[2]]};
}

}  // namespace

// Eight bytes at a time: the even and the odd bytes of each word are added in
// four 16-bit lanes, two bytes per lane and word, and the lanes are folded
// before they can overflow: 128 words add at most 128 * 2 * 255 = 65280.
uint8_t SumBytes(std::span<const uint8_t> buffer, size_t start, size_t end) {
    constexpr uint64_t kLowBytes = 0x00FF00FF00FF00FFull;
    constexpr size_t kWordsBeforeFold = 0xFFFF / (2 * 0xFF);
    end = std::min(end, buffer.size());
    uint32_t sum = 0;
    size_t i = start;
    while (end > i && end - i >= 8) {
        uint64_t lanes = 0;
        for (size_t words = 0; words < kWordsBeforeFold && end - i >= 8; ++words, i += 8) {
            uint64_t word;
            std::memcpy(&word, buffer.data() + i, 8);
            lanes += (word & kLowBytes) + ((word >> 8) & kLowBytes);
        }
        for (int lane = 0; lane < 4; ++lane) sum += static_cast<uint32_t>(lanes >> (16 * lane)) & 0xFFFFu;
    }
    for (; i < end; ++i) sum += buffer[i];
    return static_cast<uint8_t>(sum);
}

void ReportTamperedFile(std::string_view fileName) {
    ErrorReporter& reporter = ActiveErrorReporter();
    reporter.ShowErrorBox(FormatText(texts::kTamperedFile, std::string(fileName).c_str()), "", "");
    reporter.EndProgram(1);
}

bool ScrambleDataBuffer(std::string_view fileName, std::span<uint8_t> buffer, int start, int end, int keyCount,
                        const uint8_t* keys, int mode, uint8_t* check) {
    keyCount = std::clamp(keyCount, 0, 3);
    if (keyCount > 0 && AllZero(keys, keyCount)) return true;
    size_t first = static_cast<size_t>(std::clamp<int64_t>(start, 0, static_cast<int64_t>(buffer.size())));
    size_t last = static_cast<size_t>(std::clamp<int64_t>(end, 0, static_cast<int64_t>(buffer.size())));
    if (mode < 0) check[0] = first < last ? SumBytes(buffer, first, last) : 0;
    ApplyPasses(buffer, first, last, keyCount, keys);
    if (mode >= 1) {
        uint8_t sum = first < last ? SumBytes(buffer, first, last) : 0;
        if (sum != check[0]) {
            ReportTamperedFile(fileName);
            return false;
        }
    }
    return true;
}

std::optional<OpenedContainer> UnscrambleContainer(std::span<uint8_t> file, const ContainerLayout& layout) {
    if (file.size() < layout.headerLength) return std::nullopt;
    OpenedContainer opened;
    opened.seeds = SeedsOf(file, layout);
    bool scrambled = !AllZero(opened.seeds.data(), 3);
    if (scrambled) ApplyPasses(file, layout.headerLength, file.size(), 3, opened.seeds.data());
    if (layout.checkOffset >= 0 && scrambled) {
        opened.checked = true;
        opened.check = file[static_cast<size_t>(layout.checkOffset)];
    }
    return opened;
}

bool ContainerSumMatches(std::span<const uint8_t> file, const ContainerLayout& layout, const OpenedContainer& opened,
                         size_t parsedEnd) {
    if (!opened.checked) return true;
    return SumBytes(file, layout.headerLength, parsedEnd) == opened.check;
}

void SealContainer(std::span<uint8_t> file, const ContainerLayout& layout, const ContainerSeeds& seeds) {
    if (file.size() < layout.headerLength) return;
    for (int key = 0; key < 3; ++key) file[layout.seedOffsets[key]] = seeds[key];
    if (AllZero(seeds.data(), 3)) {
        if (layout.checkOffset >= 0) file[static_cast<size_t>(layout.checkOffset)] = 0;
        return;
    }
    if (layout.checkOffset >= 0) {
        file[static_cast<size_t>(layout.checkOffset)] = SumBytes(file, layout.headerLength, file.size());
    }
    ApplyPasses(file, layout.headerLength, file.size(), 3, seeds.data());
}

}  // namespace velk
