#include "lib/core/files/archive_decoder.h"

#include <algorithm>
#include <bit>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "lib/core/files/archive_decoder_wide.h"
#include "lib/core/files/archive_format.h"

namespace velk {

namespace {

// One back-reference code after the marker; false when the stream ends
// inside it or it uses the distance size that does not exist.
struct Match {
    size_t length = 0;
    size_t distance = 0;
};

inline bool ReadMatch(uint8_t code, uint8_t marker, const uint8_t*& in, const uint8_t* end, Match* match) {
    if (code > marker) {
        --code;
    }
    size_t length = code >> 3;
    if ((code & 4) != 0) {
        if (in == end) {
            return false;
        }
        length |= static_cast<size_t>(*in++) << 5;
    }
    const size_t distance_bytes = (code & 3) + 1;
    if (distance_bytes == 4 || static_cast<size_t>(end - in) < distance_bytes) {
        return false;
    }
    size_t distance = in[0];
    if (distance_bytes > 1) {
        distance |= static_cast<size_t>(in[1]) << 8;
    }
    if (distance_bytes > 2) {
        distance |= static_cast<size_t>(in[2]) << 16;
    }
    in += distance_bytes;
    match->length = length + 4;
    match->distance = distance + 1;
    return true;
}

// The first marker byte at or after `in`, or `end`. Literal runs between
// codes are short, so the search is inline rather than a call per run.
inline const uint8_t* NextMarker(const uint8_t* in, const uint8_t* end, uint8_t marker) {
#if defined(__SSE2__)
    const __m128i wanted = _mm_set1_epi8(static_cast<char>(marker));
    for (; end - in >= 16; in += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in));
        const unsigned hits = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, wanted)));
        if (hits != 0) {
            return in + std::countr_zero(hits);
        }
    }
#endif
    while (in < end && *in != marker) {
        ++in;
    }
    return in;
}

// Most of a stream is back-references one after another, so their reading
// decides the speed. While at least kCodeSlack bytes are left, a whole code
// (marker, code, length byte, three distance bytes) lies inside the stream
// and a back-reference is read without a branch on its form: the length
// byte and four distance bytes are loaded whatever the code says and masked.
constexpr ptrdiff_t kCodeSlack = kArchiveDecodeCarry;

inline uint32_t LoadU32(const uint8_t* at) {
    uint32_t value;
    std::memcpy(&value, at, 4);
    return value;  // little-endian machines only, as everywhere in the library
}

// The back-reference whose code byte (not the marker) is at `in[0]`, with at
// least kCodeSlack - 1 bytes readable from `in`. False for the distance size
// that does not exist; `in` then is left as it was.
inline bool ReadMatchInSlack(uint8_t marker, const uint8_t*& in, Match* match) {
    const uint32_t code = static_cast<uint32_t>(in[0]) - (in[0] > marker ? 1u : 0u);
    const uint32_t extended = (code >> 2) & 1;
    const uint32_t distance_bytes = (code & 3) + 1;
    if (distance_bytes == 4) {
        return false;
    }
    const uint32_t length = (code >> 3) | ((static_cast<uint32_t>(in[1]) << 5) & (0u - extended));
    const uint8_t* distance_at = in + 1 + extended;
    const uint32_t distance = LoadU32(distance_at) & (0xFFFFFFFFu >> (32 - 8 * distance_bytes));
    in = distance_at + distance_bytes;
    match->length = length + 4;
    match->distance = static_cast<size_t>(distance) + 1;
    return true;
}

inline void Copy16(uint8_t* to, const uint8_t* from) {
#if defined(__SSE2__)
    _mm_storeu_si128(reinterpret_cast<__m128i*>(to), _mm_loadu_si128(reinterpret_cast<const __m128i*>(from)));
#else
    std::memcpy(to, from, 16);
#endif
}

// Copies a back-reference with room for kCopySlack bytes past it in the
// output, which later codes overwrite (or which lie past what the caller
// reads, inside the destination).
constexpr size_t kCopySlack = 64;

inline void CopyMatchInSlack(uint8_t* out, size_t distance, size_t length) {
    const uint8_t* from = out - distance;
    if (distance >= 16) {
        // Whole 16-byte pieces in order: each reads only bytes written before
        // it, as the distance is at least 16. Three go unconditionally, which
        // covers most matches without a branch on their length.
        Copy16(out, from);
        Copy16(out + 16, from + 16);
        Copy16(out + 32, from + 32);
        for (size_t i = 48; i < length; i += 16) {
            Copy16(out + i, from + i);
        }
    } else if (distance == 1) {
#if defined(__SSE2__)
        const __m128i run = _mm_set1_epi8(static_cast<char>(*from));
        for (size_t i = 0; i < length; i += 16) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), run);
        }
#else
        std::memset(out, *from, length);
#endif
    } else if (distance >= length) {
        std::memcpy(out, from, length);
    } else {
        // The copy overlaps what it writes: the pattern of `distance` bytes
        // repeats. Copying from the same start with a window that doubles
        // each time gives the byte-by-byte result.
        size_t left = length;
        while (left > 0) {
            const size_t chunk = std::min(left, static_cast<size_t>(out - from));
            std::memcpy(out, from, chunk);
            out += chunk;
            left -= chunk;
        }
    }
}

}  // namespace

bool ArchiveDecodedSizeAllowed(uint64_t decoded_size, uint64_t coded_size) {
    if (decoded_size > kArchiveLargestDecodedSize) {
        return false;
    }
    return decoded_size <= kArchiveFreeDecodedSize || decoded_size / kArchiveMaxExpansion <= coded_size;
}

std::optional<ArchiveDataHead> ReadArchiveDataHead(std::span<const uint8_t> source) {
    return ReadArchiveDataHead(source, source.size());
}

std::optional<ArchiveDataHead> ReadArchiveDataHead(std::span<const uint8_t> head_bytes, uint64_t source_size) {
    if (head_bytes.size() < kArchiveDataHeadSize || source_size < kArchiveDataHeadSize) {
        return std::nullopt;
    }
    auto u32 = [&](size_t at) {
        return static_cast<uint32_t>(head_bytes[at]) | (static_cast<uint32_t>(head_bytes[at + 1]) << 8) |
               (static_cast<uint32_t>(head_bytes[at + 2]) << 16) | (static_cast<uint32_t>(head_bytes[at + 3]) << 24);
    };
    ArchiveDataHead head{u32(0), u32(4), head_bytes[8]};
    if (head.total_size < kArchiveDataHeadSize || head.total_size > source_size) {
        return std::nullopt;
    }
    return head;
}

ArchiveDataDecoder::ArchiveDataDecoder(uint8_t marker, std::span<uint8_t> destination)
    : marker_(marker),
      begin_(destination.data()),
      out_(destination.data()),
      out_end_(destination.data() + destination.size()) {}

std::optional<size_t> ArchiveDataDecoder::Decode(std::span<const uint8_t> piece, bool last) {
    const uint8_t marker = marker_;
    const uint8_t* const first = piece.data();
    const uint8_t* in = first;
    const uint8_t* const end = first + piece.size();
    uint8_t* const begin = begin_;
    uint8_t* out = out_;
    uint8_t* const out_end = out_end_;
    const bool wide = WideArchiveRunAvailable();
    // The fast loop: whole codes in the piece, room for wide copies in the
    // output. What does not fit goes to the careful loop below, which checks
    // every byte it takes and every byte it writes.
    while (end - in >= kCodeSlack) {
        if (wide && out - begin >= static_cast<ptrdiff_t>(kWideRunHistory)) {
            TakeCodesWide(marker, in, end, begin, out, out_end);
            if (end - in < kCodeSlack) {
                break;
            }
        }
        if (*in != marker) {
            const uint8_t* next = NextMarker(in, end, marker);
            const size_t run = static_cast<size_t>(next - in);
            if (run > static_cast<size_t>(out_end - out)) {
                return std::nullopt;
            }
            if (run <= 16 && end - in >= 16 && out_end - out >= 16) {
                // Short runs as one 16-byte piece; what it writes past the
                // run, later codes overwrite.
                Copy16(out, in);
            } else {
                std::memcpy(out, in, run);
            }
            out += run;
            in = next;
            continue;
        }
        if (in[1] == marker) {
            if (out == out_end) {
                return std::nullopt;
            }
            in += 2;
            *out++ = marker;
            continue;
        }
        const uint8_t* code = in + 1;
        Match match;
        if (!ReadMatchInSlack(marker, code, &match) || match.distance > static_cast<size_t>(out - begin)) {
            return std::nullopt;
        }
        if (static_cast<size_t>(out_end - out) < match.length + kCopySlack) {
            break;  // near the end of the output: the careful loop takes it, from its marker on
        }
        CopyMatchInSlack(out, match.distance, match.length);
        out += match.length;
        in = code;
    }
    while (in < end) {
        if (*in != marker) {
            const uint8_t* next = NextMarker(in, end, marker);
            const size_t run = static_cast<size_t>(next - in);
            if (run > static_cast<size_t>(out_end - out)) {
                return std::nullopt;
            }
            std::memcpy(out, in, run);
            out += run;
            in = next;
            continue;
        }
        if (!last && end - in < kCodeSlack) {
            break;  // the code may go on in the next piece
        }
        if (++in == end) {
            return std::nullopt;
        }
        const uint8_t code = *in++;
        if (code == marker) {
            if (out == out_end) {
                return std::nullopt;
            }
            *out++ = marker;
            continue;
        }
        Match match;
        if (!ReadMatch(code, marker, in, end, &match) || match.distance > static_cast<size_t>(out - begin) ||
            match.length > static_cast<size_t>(out_end - out)) {
            return std::nullopt;
        }
        const uint8_t* from = out - match.distance;
        if (match.distance >= match.length) {
            std::memcpy(out, from, match.length);
        } else {
            for (size_t i = 0; i < match.length; ++i) {
                out[i] = from[i];
            }
        }
        out += match.length;
    }
    out_ = out;
    return static_cast<size_t>(in - first);
}

bool DecodeArchiveData(std::span<const uint8_t> source, std::span<uint8_t> destination) {
    const auto head = ReadArchiveDataHead(source);
    if (!head || destination.size() != head->decoded_size) {
        return false;
    }
    ArchiveDataDecoder decoder(head->marker, destination);
    return decoder.Decode(source.subspan(kArchiveDataHeadSize, head->total_size - kArchiveDataHeadSize), true) &&
           decoder.full();
}

}  // namespace velk
