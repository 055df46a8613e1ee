#include "game/data/data_file_cursor.h"

#include <bit>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace velk {

bool DataFileCursor::ReadI32s(std::span<int32_t> values) {
    if (!CanHold(values.size(), 4)) return false;
    auto bytes = Take(values.size() * 4);
    if (!bytes || values.empty()) return bytes.has_value();
    const uint8_t* at = bytes->data();
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(values.data(), at, values.size() * 4);
    } else {
        for (size_t i = 0; i < values.size(); ++i, at += 4) {
            values[i] = static_cast<int32_t>(at[0] | (at[1] << 8) | (at[2] << 16) | (static_cast<uint32_t>(at[3]) << 24));
        }
    }
    return true;
}

// The text ends at its first zero byte or at its length.
std::optional<std::string> DataFileCursor::ReadText(size_t length) {
    std::string text;
    if (!ReadTextInto(length, text)) return std::nullopt;
    return text;
}

bool DataFileCursor::ReadTextInto(size_t length, std::string& text) {
    const size_t readable = remaining();
    auto bytes = Take(length);
    if (!bytes) return false;
    const char* start = reinterpret_cast<const char*>(bytes->data());
    size_t size = length;
#if defined(__SSE2__)
    // A database holds hundreds of thousands of short texts: where sixteen
    // bytes are readable, one compare finds the zero of a text that fits in
    // them, instead of a library call per text.
    if (length <= 16 && readable >= 16) {
        const __m128i sixteen = _mm_loadu_si128(reinterpret_cast<const __m128i*>(start));
        const uint32_t zeros = static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(sixteen, _mm_setzero_si128()))) &
                               ((uint32_t{1} << length) - 1);
        if (zeros != 0) size = static_cast<size_t>(std::countr_zero(zeros));
        text.assign(start, size);
        return true;
    }
#endif
    const void* zero = length != 0 ? std::memchr(start, 0, length) : nullptr;
    if (zero != nullptr) size = static_cast<size_t>(static_cast<const char*>(zero) - start);
    text.assign(start, size);
    return true;
}

}  // namespace velk
