#pragma once
// The archive's LZ coding, reading side. Compressed data is a 9-byte head
// (decoded size, whole size with the head, marker byte) and a coded stream:
// a byte other than the marker stands for itself; the marker is followed by a
// code byte that either repeats the marker or gives a length (4 to 8195,
// with an optional extra byte) and a distance (1 to 3 bytes) back into what
// was decoded so far. Every step is checked: a damaged stream is refused,
// never decoded out of bounds.

#include <cstdint>
#include <optional>
#include <span>

namespace velk {

struct ArchiveDataHead {
    uint32_t decoded_size = 0;
    uint32_t total_size = 0;  // head included
    uint8_t marker = 0;
};

// The coding expands up to about 2048 times, so a small archive could make
// one open cost gigabytes. An entry may decode to 16 MiB whatever its coded
// size, beyond that to at most 256 times its coded size, and never past
// 1 GiB; the reader refuses entries that claim more, as damaged.
inline constexpr uint64_t kArchiveFreeDecodedSize = uint64_t{16} << 20;
inline constexpr uint64_t kArchiveMaxExpansion = 256;
inline constexpr uint64_t kArchiveLargestDecodedSize = uint64_t{1} << 30;
bool ArchiveDecodedSizeAllowed(uint64_t decoded_size, uint64_t coded_size);

// The head, when the source holds one whose whole size fits the source.
std::optional<ArchiveDataHead> ReadArchiveDataHead(std::span<const uint8_t> source);

// Walks the codes without writing anything and returns how many bytes they
// decode to; nullopt when the stream is cut or holds a code that cannot be
// (a distance reaching before the start included). A stream it measures at
// the head's decoded size always decodes: the reader checks an entry with it
// when it opens and decodes when it is read.
std::optional<uint64_t> MeasureArchiveData(std::span<const uint8_t> source);

// Decodes the data (head included) into `destination`, whose size must be the
// head's decoded size. False when any code reaches before the start of the
// output or past its end, the stream ends inside a code, or the output does
// not come out exactly full.
bool DecodeArchiveData(std::span<const uint8_t> source, std::span<uint8_t> destination);

}  // namespace velk
