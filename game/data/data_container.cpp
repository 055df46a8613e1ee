#include "game/data/data_container.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string>

#include <immintrin.h>

#include "game/data/data_texts.h"
#include "game/data/error_reporter.h"
#include "game/data/text_format.h"
#include "lib/core/cpu_features.h"
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
// generator state. 32 generator positions run side by side, each jumping 32
// steps at a time, in independent chains of vector registers, so the stream
// is not one long chain of dependent multiplications.
//
// The three passes touch no byte's value but by XOR, so they are laid over
// each other: a chunk of the body takes the first pass's key bytes, the
// second's on its even bytes and the third's on every fifth, and is then
// XORed with that combined key once. A chunk is a multiple of 2 and 5 bytes,
// so every chunk starts where each pass has a key byte.
constexpr int kLanes = 32;
constexpr size_t kChunk = 5120;
static_assert(kChunk % (2 * 5 * kLanes) == 0);
constexpr GeneratorJump kLaneJump = StepsOf(kLanes);

struct PassState {
    alignas(32) uint32_t lanes[kLanes];  // the next kLanes generator states of the pass
    uint32_t seed = 0;
    size_t count = 0;  // key bytes of the pass over the whole body
};

void StartPass(PassState& pass, uint8_t seed, size_t count) {
    pass.seed = seed;
    pass.count = count;
    uint32_t state = seed;
    for (uint32_t& lane : pass.lanes) {
        state = state * kGeneratorMultiplier + kGeneratorIncrement;
        lane = state;
    }
}

// SSE2 has no 32-bit low multiply: the even and the odd lanes are multiplied
// apart and put back together.
inline __m128i MultiplyLow32(__m128i a, __m128i b) {
    const __m128i even = _mm_mul_epu32(a, b);
    const __m128i odd = _mm_mul_epu32(_mm_srli_epi64(a, 32), _mm_srli_epi64(b, 32));
    return _mm_unpacklo_epi32(_mm_shuffle_epi32(even, _MM_SHUFFLE(0, 0, 2, 0)),
                              _mm_shuffle_epi32(odd, _MM_SHUFFLE(0, 0, 2, 0)));
}

// The next `count` (a multiple of kLanes) key bytes of a pass.
void NextKeyBytesSse2(PassState& pass, uint8_t* key, size_t count) {
    const __m128i multiplier = _mm_set1_epi32(static_cast<int>(kLaneJump.multiplier));
    const __m128i increment = _mm_set1_epi32(static_cast<int>(kLaneJump.increment));
    __m128i state[8];
    for (int r = 0; r < 8; ++r) state[r] = _mm_load_si128(reinterpret_cast<const __m128i*>(pass.lanes) + r);
    for (size_t k = 0; k < count; k += kLanes) {
        __m128i top[8];
        for (int r = 0; r < 8; ++r) {
            top[r] = _mm_srli_epi32(_mm_slli_epi32(state[r], 1), 29);
            state[r] = _mm_add_epi32(MultiplyLow32(state[r], multiplier), increment);
        }
        for (int half = 0; half < 2; ++half) {
            const __m128i* t = top + 4 * half;
            const __m128i bytes = _mm_packus_epi16(_mm_packs_epi32(t[0], t[1]), _mm_packs_epi32(t[2], t[3]));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(key + k + 16 * half), bytes);
        }
    }
    for (int r = 0; r < 8; ++r) _mm_store_si128(reinterpret_cast<__m128i*>(pass.lanes) + r, state[r]);
}

__attribute__((target("avx2"))) void NextKeyBytesAvx2(PassState& pass, uint8_t* key, size_t count) {
    const __m256i multiplier = _mm256_set1_epi32(static_cast<int>(kLaneJump.multiplier));
    const __m256i increment = _mm256_set1_epi32(static_cast<int>(kLaneJump.increment));
    // The packs work within 128-bit halves; this puts the dwords back in order.
    const __m256i order = _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7);
    __m256i state[4];
    for (int r = 0; r < 4; ++r) state[r] = _mm256_load_si256(reinterpret_cast<const __m256i*>(pass.lanes) + r);
    for (size_t k = 0; k < count; k += kLanes) {
        __m256i top[4];
        for (int r = 0; r < 4; ++r) {
            top[r] = _mm256_srli_epi32(_mm256_slli_epi32(state[r], 1), 29);
            state[r] = _mm256_add_epi32(_mm256_mullo_epi32(state[r], multiplier), increment);
        }
        const __m256i bytes =
            _mm256_packus_epi16(_mm256_packs_epi32(top[0], top[1]), _mm256_packs_epi32(top[2], top[3]));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(key + k), _mm256_permutevar8x32_epi32(bytes, order));
    }
    for (int r = 0; r < 4; ++r) _mm256_store_si256(reinterpret_cast<__m256i*>(pass.lanes) + r, state[r]);
}

// Sixteen generator positions a register and four registers a step, so
// that four chains of multiplications, each 64 positions long, overlap: the
// stream comes out about twice as fast as from the AVX2 form's chain of 32.
// `count` is a multiple of 2 kLanes.
constexpr GeneratorJump kDoubleLaneJump = StepsOf(2 * kLanes);
static_assert(kChunk % (2 * kLanes) == 0 && kChunk / 2 % (2 * kLanes) == 0 && kChunk / 5 % (2 * kLanes) == 0);

// The zero-masked forms spare GCC 12 a false warning about the plain forms'
// undefined pass-through register.
__attribute__((target("avx512f,avx512bw"))) inline __m128i KeyBytesOf(__m512i state) {
    const __mmask16 all = 0xFFFF;
    return _mm512_maskz_cvtepi32_epi8(all, _mm512_maskz_srli_epi32(all, _mm512_maskz_slli_epi32(all, state, 1), 29));
}

__attribute__((target("avx512f,avx512bw"))) void NextKeyBytesAvx512(PassState& pass, uint8_t* key, size_t count) {
    const __m512i lane_multiplier = _mm512_set1_epi32(static_cast<int>(kLaneJump.multiplier));
    const __m512i lane_increment = _mm512_set1_epi32(static_cast<int>(kLaneJump.increment));
    const __m512i multiplier = _mm512_set1_epi32(static_cast<int>(kDoubleLaneJump.multiplier));
    const __m512i increment = _mm512_set1_epi32(static_cast<int>(kDoubleLaneJump.increment));
    // state[0], state[1]: the positions of key[k .. k + 31]; state[2],
    // state[3]: those of key[k + 32 .. k + 63].
    __m512i state[4];
    state[0] = _mm512_loadu_si512(pass.lanes);
    state[1] = _mm512_loadu_si512(pass.lanes + 16);
    state[2] = _mm512_add_epi32(_mm512_mullo_epi32(state[0], lane_multiplier), lane_increment);
    state[3] = _mm512_add_epi32(_mm512_mullo_epi32(state[1], lane_multiplier), lane_increment);
    for (size_t k = 0; k < count; k += 2 * kLanes) {
        for (int r = 0; r < 4; ++r) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(key + k + 16 * r), KeyBytesOf(state[r]));
            state[r] = _mm512_add_epi32(_mm512_mullo_epi32(state[r], multiplier), increment);
        }
    }
    _mm512_storeu_si512(pass.lanes, state[0]);
    _mm512_storeu_si512(pass.lanes + 16, state[1]);
}

// key[5 k] ^= fifths[k] for k < count (a multiple of 16).
void XorEveryFifthPlain(uint8_t* key, const uint8_t* fifths, size_t count) {
    for (size_t k = 0; k < count; ++k) key[5 * k] ^= fifths[k];
}

// Sixteen key bytes spread over 80 bytes by five byte shuffles.
__attribute__((target("avx2"))) void XorEveryFifthShuffled(uint8_t* key, const uint8_t* fifths, size_t count) {
    alignas(16) static constexpr auto kSpread = [] {
        std::array<std::array<uint8_t, 16>, 5> spread{};
        for (int i = 0; i < 80; ++i) spread[i / 16][i % 16] = i % 5 == 0 ? static_cast<uint8_t>(i / 5) : 0x80;
        return spread;
    }();
    __m128i spread[5];
    for (int b = 0; b < 5; ++b) spread[b] = _mm_load_si128(reinterpret_cast<const __m128i*>(kSpread[b].data()));
    for (size_t k = 0; k < count; k += 16, key += 80) {
        const __m128i source = _mm_loadu_si128(reinterpret_cast<const __m128i*>(fifths + k));
        for (int b = 0; b < 5; ++b) {
            __m128i* at = reinterpret_cast<__m128i*>(key + 16 * b);
            _mm_storeu_si128(at, _mm_xor_si128(_mm_loadu_si128(at), _mm_shuffle_epi8(source, spread[b])));
        }
    }
}

struct KeyKernels {
    void (*next_key_bytes)(PassState&, uint8_t*, size_t);
    void (*xor_every_fifth)(uint8_t*, const uint8_t*, size_t);
};

KeyKernels ChooseKeyKernels(bool allowAvx2, bool allowAvx512) {
    if (allowAvx2 && allowAvx512 && MachineHasAvx512Bw()) return {NextKeyBytesAvx512, XorEveryFifthShuffled};
    if (allowAvx2 && MachineHasAvx2()) return {NextKeyBytesAvx2, XorEveryFifthShuffled};
    return {NextKeyBytesSse2, XorEveryFifthPlain};
}
bool g_allowAvx2 = true;
bool g_allowAvx512 = true;
KeyKernels kKernels = ChooseKeyKernels(true, true);

// One chunk: `length` bytes (at most kChunk) XORed with the combined key of
// the passes (one to three).
void XorChunk(PassState* passes, int passCount, uint8_t* bytes, size_t length) {
    alignas(64) uint8_t key[kChunk];
    alignas(64) uint8_t keyOfPass[kChunk / 2];
    kKernels.next_key_bytes(passes[0], key, kChunk);
    if (passCount >= 2) {
        kKernels.next_key_bytes(passes[1], keyOfPass, kChunk / 2);
        const __m128i zero = _mm_setzero_si128();
        for (size_t k = 0; k < kChunk / 2; k += 16) {
            // Widened to little-endian words, each key byte lands on an even byte.
            const __m128i half = _mm_load_si128(reinterpret_cast<const __m128i*>(keyOfPass + k));
            __m128i* words = reinterpret_cast<__m128i*>(key + 2 * k);
            _mm_store_si128(words, _mm_xor_si128(_mm_load_si128(words), _mm_unpacklo_epi8(half, zero)));
            _mm_store_si128(words + 1, _mm_xor_si128(_mm_load_si128(words + 1), _mm_unpackhi_epi8(half, zero)));
        }
    }
    if (passCount >= 3) {
        kKernels.next_key_bytes(passes[2], keyOfPass, kChunk / 5);
        kKernels.xor_every_fifth(key, keyOfPass, kChunk / 5);
    }
    size_t i = 0;
    for (; i + 16 <= length; i += 16) {
        __m128i* at = reinterpret_cast<__m128i*>(bytes + i);
        const __m128i mask = _mm_load_si128(reinterpret_cast<const __m128i*>(key + i));
        _mm_storeu_si128(at, _mm_xor_si128(_mm_loadu_si128(at), mask));
    }
    for (; i < length; ++i) bytes[i] ^= key[i];
}

// The passes with strides 1, 2 and 5 (as many as keyCount) over
// buffer[start, end). The shared generator ends where the byte-by-byte
// routine would leave it: seeded by the last pass and stepped once per byte
// that pass touched.
void ApplyPasses(std::span<uint8_t> buffer, size_t start, size_t end, int keyCount, const uint8_t* keys) {
    constexpr size_t kStrides[3] = {1, 2, 5};
    const size_t length = start < end ? end - start : 0;
    const int passCount = std::clamp(keyCount, 0, 3);
    if (passCount == 0) return;
    PassState passes[3];
    for (int p = 0; p < passCount; ++p) StartPass(passes[p], keys[p], (length + kStrides[p] - 1) / kStrides[p]);
    uint8_t* bytes = buffer.data() + start;
    for (size_t done = 0; done < length; done += kChunk) {
        XorChunk(passes, passCount, bytes + done, std::min(kChunk, length - done));
    }
    for (int p = 0; p < passCount; ++p) platform::CrtSrand(JumpOf(passes[p].count).Apply(passes[p].seed));
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

void UseWideScrambleKernels(bool allowed) {
    g_allowAvx2 = allowed;
    kKernels = ChooseKeyKernels(g_allowAvx2, g_allowAvx512);
}

void UseAvx512ScrambleKernels(bool allowed) {
    g_allowAvx512 = allowed;
    kKernels = ChooseKeyKernels(g_allowAvx2, g_allowAvx512);
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
