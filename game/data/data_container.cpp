#include "game/data/data_container.h"

#include <algorithm>
#include <string>

#include "game/data/data_texts.h"
#include "game/data/error_reporter.h"
#include "game/data/text_format.h"
#include "platform/base/crt_random.h"

namespace velk {
namespace {

constexpr uint32_t kGeneratorMultiplier = 214013u;
constexpr uint32_t kGeneratorIncrement = 2531011u;
constexpr size_t kPassStrides[3] = {1, 2, 5};

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

// The byte a pass XORs in: (rand() & 0xFF000) >> 12, which is bits 28-30 of the state.
inline uint8_t StreamByte(uint32_t state) { return static_cast<uint8_t>((state >> 28) & 7u); }

// One pass: srand(seed), then each byte at start, start + stride, ... below end
// XORed with the next rand(). Eight generator positions run side by side (each
// jumping eight steps at a time) so the work is not one long dependency chain.
// The shared generator ends where the byte-by-byte routine would leave it.
void XorPass(std::span<uint8_t> buffer, size_t start, size_t end, size_t stride, uint8_t seed) {
    constexpr int kLanes = 8;
    constexpr GeneratorJump kLaneJump = StepsOf(kLanes);
    size_t count = start < end ? (end - start + stride - 1) / stride : 0;
    uint32_t lanes[kLanes];
    uint32_t state = seed;
    for (int lane = 0; lane < kLanes; ++lane) {
        state = state * kGeneratorMultiplier + kGeneratorIncrement;
        lanes[lane] = state;
    }
    uint8_t* at = buffer.data() + start;
    size_t left = count;
    while (left >= kLanes) {
        for (int lane = 0; lane < kLanes; ++lane) {
            at[lane * stride] ^= StreamByte(lanes[lane]);
            lanes[lane] = kLaneJump.Apply(lanes[lane]);
        }
        at += kLanes * stride;
        left -= kLanes;
    }
    for (size_t lane = 0; lane < left; ++lane) at[lane * stride] ^= StreamByte(lanes[lane]);
    platform::CrtSrand(JumpOf(count).Apply(seed));
}

void ApplyPasses(std::span<uint8_t> buffer, size_t start, size_t end, int keyCount, const uint8_t* keys) {
    for (int key = 0; key < keyCount && key < 3; ++key) XorPass(buffer, start, end, kPassStrides[key], keys[key]);
}

bool AllZero(const uint8_t* keys, int keyCount) {
    return std::all_of(keys, keys + keyCount, [](uint8_t key) { return key == 0; });
}

ContainerSeeds SeedsOf(std::span<const uint8_t> file, const ContainerLayout& layout) {
    return {file[layout.seedOffsets[0]], file[layout.seedOffsets[1]], file[layout.seedOffsets[2]]};
}

}  // namespace

uint8_t SumBytes(std::span<const uint8_t> buffer, size_t start, size_t end) {
    end = std::min(end, buffer.size());
    uint32_t sum = 0;
    for (size_t i = start; i < end; ++i) sum += buffer[i];
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
