#include "lib/core/files/archive_decoder_wide.h"

#include <array>
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
// never gets here (the step's mask of takeable codes leaves it out).
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

// Where each of a copy's 64 bytes comes from, as indices into the loaded
// bytes (0 to 63) followed by the last 64 decoded (64 to 127): for a distance
// d up to 64 the pattern of the last d repeats; entry 0, for distances beyond
// 64, takes the loaded bytes as they are.
constexpr std::array<std::array<uint8_t, 64>, 65> MakeCopyIndices() {
    std::array<std::array<uint8_t, 64>, 65> indices{};
    for (size_t i = 0; i < 64; ++i) {
        indices[0][i] = static_cast<uint8_t>(i);
    }
    for (size_t d = 1; d <= 64; ++d) {
        for (size_t i = 0; i < 64; ++i) {
            indices[d][i] = static_cast<uint8_t>(128 - d + i % d);
        }
    }
    return indices;
}
alignas(64) constexpr std::array<std::array<uint8_t, 64>, 65> kCopyIndices = MakeCopyIndices();

// The last 64 decoded bytes after n more: indices into the 64 before
// followed by the n new.
constexpr std::array<std::array<uint8_t, 64>, 65> MakeShiftIndices() {
    std::array<std::array<uint8_t, 64>, 65> indices{};
    for (size_t n = 0; n <= 64; ++n) {
        for (size_t i = 0; i < 64; ++i) {
            indices[n][i] = static_cast<uint8_t>(n + i);
        }
    }
    return indices;
}
alignas(64) constexpr std::array<std::array<uint8_t, 64>, 65> kShiftIndices = MakeShiftIndices();

alignas(64) constexpr std::array<uint8_t, 64> kByteIndices = [] {
    std::array<uint8_t, 64> indices{};
    for (size_t i = 0; i < 64; ++i) {
        indices[i] = static_cast<uint8_t>(i);
    }
    return indices;
}();

VELK_WIDE void TakeBackReferencesAvx512(uint8_t marker, const uint8_t*& in_ref, const uint8_t* in_end,
                                        const uint8_t* begin, uint8_t*& out_ref, uint8_t* out_end) {
    const uint8_t* in = in_ref;
    uint8_t* out = out_ref;
    // The last 64 decoded bytes.
    __m512i recent = _mm512_loadu_si512(out - 64);
    const __m512i byte_indices = _mm512_load_si512(kByteIndices.data());
    const __m512i markers = _mm512_set1_epi8(static_cast<char>(marker));
    const __m512i ones = _mm512_set1_epi8(1);
    const __m512i threes = _mm512_set1_epi8(3);
    // A step covers the codes that start in 64 stream bytes (at most 21, each
    // writing at most 64 bytes).
    while (in_end - in >= static_cast<ptrdiff_t>(kWideRunStreamReach) &&
           out_end - out >= static_cast<ptrdiff_t>(kWideRunOutputReach)) {
        // For each byte taken as a marker: the code after it, its size and
        // so where the next code would start, and whether it is a
        // back-reference of a form that exists.
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
        const uint64_t takeable = at_marker & ~code_is_marker & ~no_form;
        // Each code's form is then one load, not a comparison with the
        // marker on the chain of every code.
        alignas(64) uint8_t adjusted_codes[64];
        _mm512_store_si512(adjusted_codes, adjusted);
        // The chain from one code to the next runs through a byte permute,
        // not through loads of the stream.
        __m512i start = _mm512_setzero_si512();
        for (;;) {
            const uint32_t at = static_cast<uint32_t>(_mm512_cvtsi512_si32(start)) & 0xFF;
            if (at >= 63) {
                in += at;
                break;
            }
            if (((takeable >> at) & 1) == 0) {
                in += at;
                goto done;
            }
            start = _mm512_maskz_permutexvar_epi8(~uint64_t{0}, start, next_starts);
            uint64_t bytes;
            std::memcpy(&bytes, in + at, 8);
            const CodeForm& form = kCodeForms[adjusted_codes[at]];
            const size_t distance = _pext_u64(bytes, form.distance_mask) + 1;
            const size_t length =
                ((static_cast<uint32_t>(bytes >> 16) & form.length_byte_mask) << 5) + form.length_base;
            if (distance > static_cast<size_t>(out - begin) || length > 64) {
                in += at;
                goto done;
            }
            // Within 64 bytes the copy comes from the last bytes decoded;
            // beyond, from memory. One permute forms either, without a branch:
            // near and far codes mix unpredictably. The load that is not
            // used reads `begin`.
            const uint64_t far = 0 - static_cast<uint64_t>(distance > 64);
            const size_t far_offset = static_cast<size_t>(out - begin) - distance;
            const __m512i loaded = _mm512_loadu_si512(begin + (far_offset & far));
            const size_t near_distance = distance & ~far;
            const __m512i copy =
                _mm512_permutex2var_epi8(loaded, _mm512_load_si512(kCopyIndices[near_distance].data()), recent);
            _mm512_storeu_si512(out, copy);
            recent = _mm512_permutex2var_epi8(recent, _mm512_load_si512(kShiftIndices[length].data()), copy);
            out += length;
        }
    }
done:
    in_ref = in;
    out_ref = out;
}

}  // namespace

bool WideArchiveRunAvailable() { return g_wide_allowed && MachineHasAvx512Vbmi(); }

void UseWideArchiveRun(bool allowed) { g_wide_allowed = allowed; }

void TakeBackReferencesWide(uint8_t marker, const uint8_t*& in, const uint8_t* in_end, const uint8_t* begin,
                            uint8_t*& out, uint8_t* out_end) {
    TakeBackReferencesAvx512(marker, in, in_end, begin, out, out_end);
}

#else

bool WideArchiveRunAvailable() { return false; }

void UseWideArchiveRun(bool) {}

void TakeBackReferencesWide(uint8_t, const uint8_t*&, const uint8_t*, const uint8_t*, uint8_t*&, uint8_t*) {}

#endif

}  // namespace velk
