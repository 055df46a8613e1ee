#include "lib/core/files/archive_decoder.h"

#include <algorithm>
#include <bit>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

}  // namespace

bool ArchiveDecodedSizeAllowed(uint64_t decoded_size, uint64_t coded_size) {
    if (decoded_size > kArchiveLargestDecodedSize) {
        return false;
    }
    return decoded_size <= kArchiveFreeDecodedSize || decoded_size / kArchiveMaxExpansion <= coded_size;
}

std::optional<ArchiveDataHead> ReadArchiveDataHead(std::span<const uint8_t> source) {
    if (source.size() < kArchiveDataHeadSize) {
        return std::nullopt;
    }
    auto u32 = [&](size_t at) {
        return static_cast<uint32_t>(source[at]) | (static_cast<uint32_t>(source[at + 1]) << 8) |
               (static_cast<uint32_t>(source[at + 2]) << 16) | (static_cast<uint32_t>(source[at + 3]) << 24);
    };
    ArchiveDataHead head{u32(0), u32(4), source[8]};
    if (head.total_size < kArchiveDataHeadSize || head.total_size > source.size()) {
        return std::nullopt;
    }
    return head;
}

std::optional<uint64_t> MeasureArchiveData(std::span<const uint8_t> source) {
    const auto head = ReadArchiveDataHead(source);
    if (!head) {
        return std::nullopt;
    }
    const uint8_t marker = head->marker;
    const uint8_t* in = source.data() + kArchiveDataHeadSize;
    const uint8_t* end = source.data() + head->total_size;
    uint64_t size = 0;
    while (in < end) {
        const uint8_t* next = NextMarker(in, end, marker);
        size += static_cast<uint64_t>(next - in);
        in = next;
        if (in == end) {
            break;
        }
        if (++in == end) {
            return std::nullopt;
        }
        const uint8_t code = *in++;
        if (code == marker) {
            ++size;
            continue;
        }
        Match match;
        if (!ReadMatch(code, marker, in, end, &match) || match.distance > size) {
            return std::nullopt;
        }
        size += match.length;
    }
    return size;
}

bool DecodeArchiveData(std::span<const uint8_t> source, std::span<uint8_t> destination) {
    const auto head = ReadArchiveDataHead(source);
    if (!head || destination.size() != head->decoded_size) {
        return false;
    }
    const uint8_t marker = head->marker;
    const uint8_t* in = source.data() + kArchiveDataHeadSize;
    const uint8_t* const end = source.data() + head->total_size;
    uint8_t* const begin = destination.data();
    uint8_t* out = begin;
    uint8_t* const out_end = begin + destination.size();
    while (in < end) {
        if (*in != marker) {
            // A run of literal bytes up to the next marker.
            const uint8_t* next = NextMarker(in, end, marker);
            const size_t run = static_cast<size_t>(next - in);
            if (run > static_cast<size_t>(out_end - out)) {
                return false;
            }
            if (run <= 16 && end - in >= 16 && out_end - out >= 16) {
                // Short runs as one 16-byte piece; what it writes past the
                // run, later codes overwrite.
                std::memcpy(out, in, 16);
            } else {
                std::memcpy(out, in, run);
            }
            out += run;
            in = next;
            if (in == end) {
                break;
            }
        }
        if (++in == end) {
            return false;
        }
        const uint8_t code = *in++;
        if (code == marker) {
            if (out == out_end) {
                return false;
            }
            *out++ = marker;
            continue;
        }
        Match match;
        if (!ReadMatch(code, marker, in, end, &match) || match.distance > static_cast<size_t>(out - begin) ||
            match.length > static_cast<size_t>(out_end - out)) {
            return false;
        }
        const uint8_t* from = out - match.distance;
        if (match.distance >= 16 && static_cast<size_t>(out_end - out) >= match.length + 16) {
            // Whole 16-byte pieces, the last one running past the match into
            // space that later codes overwrite: each piece reads only bytes
            // written before it, as the distance is at least 16.
            for (size_t i = 0; i < match.length; i += 16) {
                std::memcpy(out + i, from + i, 16);
            }
            out += match.length;
        } else if (match.distance >= match.length) {
            std::memcpy(out, from, match.length);
            out += match.length;
        } else if (match.distance == 1) {
            std::memset(out, *from, match.length);  // a run of one byte
            out += match.length;
        } else {
            // The copy overlaps what it writes: the pattern of `distance`
            // bytes repeats. Copying from the same start with a window that
            // doubles each time gives the byte-by-byte result.
            size_t left = match.length;
            while (left > 0) {
                const size_t chunk = std::min(left, static_cast<size_t>(out - from));
                std::memcpy(out, from, chunk);
                out += chunk;
                left -= chunk;
            }
        }
    }
    return out == out_end;
}

}  // namespace velk
