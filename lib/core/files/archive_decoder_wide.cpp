#include "lib/core/files/archive_decoder_wide.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

#include "lib/core/cpu_features.h"

#if defined(__x86_64__)
#include <immintrin.h>
#define VELK_WIDE_ARCHIVE_RUN 1
#endif

namespace velk {

#if defined(VELK_WIDE_ARCHIVE_RUN)

namespace {

bool g_wide_allowed = true;

#define VELK_WIDE __attribute__((target("avx512f,avx512bw,avx512vbmi,bmi2")))

// What a code byte (less one when above the marker) says: where its distance
// lies in the eight bytes from the marker on, whether the third byte extends
// the length, and the length's base. The distance size that does not exist
// never gets here (the step's masks send it back to the general loop).
struct CodeForm {
    uint64_t distance_mask = 0;
    uint32_t length_byte_mask = 0;
    uint32_t length_base = 0;
};

constexpr std::array<CodeForm, 256> MakeCodeForms() {
    std::array<CodeForm, 256> forms{};
    for (uint32_t code = 0; code < 256; ++code) {
        const uint32_t extended = (code >> 2) & 1;
        const uint32_t distance_bytes = (code & 3) + 1;
        if (distance_bytes == 4) {
            continue;
        }
        CodeForm& form = forms[code];
        form.distance_mask = ((uint64_t{1} << (8 * distance_bytes)) - 1) << (8 * (2 + extended));
        form.length_byte_mask = extended != 0 ? 0xFFu : 0u;
        form.length_base = (code >> 3) + 4;
    }
    return forms;
}

constexpr std::array<CodeForm, 256> kCodeForms = MakeCodeForms();

// The run keeps the last 64 decoded bytes in a register and appends each
// token to it with one two-source byte permute: indices 0 to 63 take the 64
// bytes loaded for the token, 64 to 127 the last 64 decoded. Appending n
// bytes takes the 64 indices from byte n of a row: first the last 64 bytes
// moved down by n, then the token's bytes. Row 0 takes the loaded bytes as
// they are (a literal run, or a back-reference beyond 64, loaded from where
// it points); row d, for a distance d up to 64, repeats the last d decoded
// bytes, so that a copy overlapping itself needs no load at all.
constexpr std::array<std::array<uint8_t, 128>, 65> MakeAppendIndices() {
    std::array<std::array<uint8_t, 128>, 65> indices{};
    for (size_t d = 0; d <= 64; ++d) {
        for (size_t i = 0; i < 64; ++i) {
            indices[d][i] = static_cast<uint8_t>(64 + i);
            indices[d][64 + i] = static_cast<uint8_t>(d == 0 ? i : 128 - d + i % d);
        }
    }
    return indices;
}
alignas(64) constexpr std::array<std::array<uint8_t, 128>, 65> kAppendIndices = MakeAppendIndices();

alignas(64) constexpr std::array<uint8_t, 64> kByteIndices = [] {
    std::array<uint8_t, 64> indices{};
    for (size_t i = 0; i < 64; ++i) {
        indices[i] = static_cast<uint8_t>(i);
    }
    return indices;
}();

// Byte indices that spread the distance bytes of 16 codes into 32-bit
// lanes: for lane k of quarter q, byte 0 from the first distance bytes (one
// source), byte 1 from the second (the other), byte 2 from the third.
alignas(64) constexpr std::array<std::array<uint8_t, 64>, 4> kDistanceLanes = [] {
    std::array<std::array<uint8_t, 64>, 4> indices{};
    for (size_t q = 0; q < 4; ++q) {
        for (size_t k = 0; k < 16; ++k) {
            indices[q][4 * k] = static_cast<uint8_t>(16 * q + k);
            indices[q][4 * k + 1] = static_cast<uint8_t>(64 + 16 * q + k);
            indices[q][4 * k + 2] = static_cast<uint8_t>(16 * q + k);
        }
    }
    return indices;
}();

// Byte indices that pair a low and a high byte of 32 codes into 16-bit lanes.
alignas(64) constexpr std::array<std::array<uint8_t, 64>, 2> kWordLanes = [] {
    std::array<std::array<uint8_t, 64>, 2> indices{};
    for (size_t h = 0; h < 2; ++h) {
        for (size_t k = 0; k < 32; ++k) {
            indices[h][2 * k] = static_cast<uint8_t>(32 * h + k);
            indices[h][2 * k + 1] = static_cast<uint8_t>(64 + 32 * h + k);
        }
    }
    return indices;
}();

// What a near code loads in place of its source, which it does not use:
// bytes ahead of the output, which no store waiting to be written covers
// (a load that overlaps one waits for it).
constexpr int32_t kNearBack = -65;

// Appends `count` bytes (1 to 64) by row `row` and stores the last 64
// decoded bytes where they end: every byte stored is final, and nothing is
// written past the output position.
VELK_WIDE __attribute__((always_inline)) inline void Append(__m512i& recent, uint8_t*& out, __m512i loaded, size_t row,
                                                            size_t count) {
    recent = _mm512_permutex2var_epi8(loaded, _mm512_loadu_si512(kAppendIndices[row].data() + count), recent);
    out += count;
    _mm512_storeu_si512(out - 64, recent);
}

VELK_WIDE void TakeCodesAvx512(uint8_t marker, const uint8_t*& in_ref, const uint8_t* in_end, const uint8_t* begin,
                               uint8_t*& out_ref, uint8_t* out_end) {
    const uint8_t* in = in_ref;
    uint8_t* out = out_ref;
    __m512i recent = _mm512_loadu_si512(out - 64);
    const __m512i byte_indices = _mm512_load_si512(kByteIndices.data());
    const __m512i markers = _mm512_set1_epi8(static_cast<char>(marker));
    const __m512i ones = _mm512_set1_epi8(1);
    const __m512i threes = _mm512_set1_epi8(3);
    // Steps are a fixed 64 stream bytes apart, so that finding the codes of
    // the next one need not wait for the walk through this one; `at` is
    // where the next token starts, from `in` (a code may reach past the
    // step's end: the next step then starts its walk a few bytes in).
    uint32_t at = 0;
    while (in_end - in >= static_cast<ptrdiff_t>(kWideRunStreamReach) &&
           out_end - out >= static_cast<ptrdiff_t>(kWideRunOutputReach)) {
        // The output's lines fetched ahead, about four steps ahead of the
        // stores in typical data (a step writes about four lines): a store
        // waiting for its line holds the stores behind it, and a load of
        // bytes just decoded then waits for them all.
        for (size_t line = 12; line < 16; ++line) {
            _mm_prefetch(reinterpret_cast<const char*>(out + 64 * line), _MM_HINT_T0);
        }
        // For each byte taken as a marker: the code after it, its size and
        // so where the next code would start, its length when it is at most
        // 64, and whether it is a back-reference the common path takes.
        const __m512i here = _mm512_loadu_si512(in);
        const __m512i codes = _mm512_loadu_si512(in + 1);
        const uint64_t at_marker = _mm512_cmpeq_epi8_mask(here, markers);
        const uint64_t code_is_marker = _mm512_cmpeq_epi8_mask(codes, markers);
        const __m512i adjusted = _mm512_mask_sub_epi8(codes, _mm512_cmpgt_epu8_mask(codes, markers), codes, ones);
        const __m512i distance_sizes = _mm512_and_si512(adjusted, threes);
        const uint64_t no_form = _mm512_cmpeq_epi8_mask(distance_sizes, threes);
        const __m512i sizes = _mm512_add_epi8(_mm512_add_epi8(distance_sizes, threes),
                                              _mm512_and_si512(_mm512_srli_epi16(adjusted, 2), ones));
        const __m512i next_starts = _mm512_add_epi8(byte_indices, sizes);
        // A length byte of 1 adds 32; one above 1 makes the length above 64.
        const __mmask64 extended = _mm512_test_epi8_mask(adjusted, _mm512_set1_epi8(4));
        const __m512i length_bytes = _mm512_maskz_mov_epi8(extended, _mm512_loadu_si512(in + 2));
        const __m512i bases = _mm512_add_epi8(_mm512_and_si512(_mm512_srli_epi16(adjusted, 3), _mm512_set1_epi8(31)),
                                              _mm512_set1_epi8(4));
        const __m512i lengths =
            _mm512_mask_add_epi8(bases, _mm512_cmpeq_epi8_mask(length_bytes, ones), bases, _mm512_set1_epi8(32));
        const uint64_t too_long =
            _mm512_cmpgt_epu8_mask(length_bytes, ones) | _mm512_cmpgt_epu8_mask(lengths, _mm512_set1_epi8(64));
        const uint64_t common = at_marker & ~code_is_marker & ~no_form & ~too_long;
        // Each common code's distance, where its source is loaded from and
        // which append indices it uses, found here for every byte at once:
        // the walk from code to code then has little left to do.
        const __m512i at2 = _mm512_loadu_si512(in + 2);
        const __m512i at3 = _mm512_loadu_si512(in + 3);
        const __m512i at4 = _mm512_loadu_si512(in + 4);
        const __m512i first = _mm512_mask_blend_epi8(extended, at2, at3);
        const __m512i second = _mm512_maskz_mov_epi8(_mm512_test_epi8_mask(distance_sizes, threes),
                                                     _mm512_mask_blend_epi8(extended, at3, at4));
        const __m512i third = _mm512_maskz_mov_epi8(_mm512_cmpgt_epu8_mask(distance_sizes, ones),
                                                    _mm512_mask_blend_epi8(extended, at4, _mm512_loadu_si512(in + 5)));
        // The distance less one, below 64: the copy repeats from the register.
        const uint64_t near = _mm512_testn_epi8_mask(_mm512_or_si512(second, third), _mm512_set1_epi8(-1)) &
                              _mm512_cmplt_epu8_mask(first, _mm512_set1_epi8(64));
        alignas(64) int32_t backs[64];
        for (size_t q = 0; q < 4; ++q) {
            const __m512i lanes = _mm512_load_si512(kDistanceLanes[q].data());
            __m512i back = _mm512_maskz_permutex2var_epi8(0x3333333333333333, first, lanes, second);
            back = _mm512_mask_permutexvar_epi8(back, 0x4444444444444444, lanes, third);
            back = _mm512_mask_mov_epi32(back, static_cast<__mmask16>(near >> (16 * q)), _mm512_set1_epi32(kNearBack));
            _mm512_store_si512(backs + 16 * q, back);
        }
        // Where in kAppendIndices each code's indices start: its row (the
        // distance when near, else 0) times 128, plus its length.
        const __m512i rows = _mm512_maskz_add_epi8(near, first, ones);
        const __m512i low = _mm512_mask_add_epi8(lengths, _mm512_test_epi8_mask(rows, ones), lengths,
                                                 _mm512_set1_epi8(static_cast<char>(0x80)));
        const __m512i high = _mm512_and_si512(_mm512_srli_epi16(rows, 1), _mm512_set1_epi8(0x7F));
        alignas(64) uint16_t index_starts[64];
        _mm512_store_si512(index_starts, _mm512_permutex2var_epi8(low, _mm512_load_si512(kWordLanes[0].data()), high));
        _mm512_store_si512(index_starts + 32,
                           _mm512_permutex2var_epi8(low, _mm512_load_si512(kWordLanes[1].data()), high));
        alignas(64) uint8_t adjusted_codes[64];
        _mm512_store_si512(adjusted_codes, adjusted);
        alignas(64) uint8_t code_lengths[64];
        _mm512_store_si512(code_lengths, lengths);
        // From one code to the next is then a single load, off the stream.
        alignas(64) uint8_t next_starts_at[64];
        _mm512_store_si512(next_starts_at, next_starts);
        for (;;) {
            if (at >= 64) {
                break;
            }
            if (__builtin_expect(((common >> at) & 1) != 0, 1)) {
                const ptrdiff_t back = backs[at];
                if (back >= out - begin) {
                    in += at;
                    goto done;
                }
                const __m512i loaded = _mm512_loadu_si512(out - back - 1);
                recent = _mm512_permutex2var_epi8(
                    loaded, _mm512_loadu_si512(kAppendIndices[0].data() + index_starts[at]), recent);
                out += code_lengths[at];
                _mm512_storeu_si512(out - 64, recent);
                at = next_starts_at[at];
                continue;
            }
            // The rarer tokens, in runs of their own: a literal run (to the
            // next marker or the end of the step), a repeated marker, a
            // back-reference longer than 64.
            if (((at_marker >> at) & 1) == 0) {
                const uint32_t run =
                    std::min<uint32_t>(static_cast<uint32_t>(std::countr_zero(at_marker >> at)), 64 - at);
                Append(recent, out, _mm512_loadu_si512(in + at), 0, run);
                at += run;
                continue;
            }
            if (((code_is_marker >> at) & 1) != 0) {
                Append(recent, out, markers, 0, 1);
                at += 2;
                continue;
            }
            if (((no_form >> at) & 1) != 0) {
                in += at;
                goto done;
            }
            uint64_t bytes;
            std::memcpy(&bytes, in + at, 8);
            const CodeForm& form = kCodeForms[adjusted_codes[at]];
            const size_t distance = _pext_u64(bytes, form.distance_mask) + 1;
            const size_t length =
                ((static_cast<uint32_t>(bytes >> 16) & form.length_byte_mask) << 5) + form.length_base;
            // Past the long copy, the rest of the step must still fit.
            if (distance > static_cast<size_t>(out - begin) ||
                static_cast<size_t>(out_end - out) < length + kWideRunOutputReach) {
                in += at;
                goto done;
            }
            const size_t near_distance = distance <= 64 ? distance : 0;
            for (size_t left = length; left > 0;) {
                const size_t count = std::min<size_t>(left, 64);
                Append(recent, out, _mm512_loadu_si512(near_distance != 0 ? begin : out - distance), near_distance,
                       count);
                left -= count;
            }
            at = next_starts_at[at];
        }
        in += 64;
        at -= 64;
    }
    in += at;
done:
    in_ref = in;
    out_ref = out;
}

}  // namespace

bool WideArchiveRunAvailable() { return g_wide_allowed && MachineHasAvx512Vbmi(); }

void UseWideArchiveRun(bool allowed) { g_wide_allowed = allowed; }

void TakeCodesWide(uint8_t marker, const uint8_t*& in, const uint8_t* in_end, const uint8_t* begin, uint8_t*& out,
                   uint8_t* out_end) {
    TakeCodesAvx512(marker, in, in_end, begin, out, out_end);
}

#else

bool WideArchiveRunAvailable() { return false; }

void UseWideArchiveRun(bool) {}

void TakeCodesWide(uint8_t, const uint8_t*&, const uint8_t*, const uint8_t*, uint8_t*&, uint8_t*) {}

#endif

}  // namespace velk
