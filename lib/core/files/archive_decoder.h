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
// The head from its first bytes, when its whole size fits a source of
// `source_size` bytes.
std::optional<ArchiveDataHead> ReadArchiveDataHead(std::span<const uint8_t> head_bytes, uint64_t source_size);

// More than the longest code (marker, code byte, length byte, three distance
// bytes): what a piece may leave for the next one is always shorter.
inline constexpr size_t kArchiveDecodeCarry = 8;

// Decodes the coded stream after the head as it arrives, piece by piece,
// into a destination of the head's decoded size. Every code is checked as it
// is decoded, so a damaged stream is refused without a pass of its own and
// nothing is read or written out of bounds.
class ArchiveDataDecoder {
public:
    ArchiveDataDecoder(uint8_t marker, std::span<uint8_t> destination);

    // Decodes the codes at the start of `piece`, the stream's next bytes, and
    // returns how many bytes of it were taken: all of them when it is the
    // `last` piece, else all but a code that may go on past its end (fewer
    // than kArchiveDecodeCarry bytes), which the next piece must begin with.
    // nullopt when a code is damaged: it reaches before the start of the
    // output or past its end, uses the distance size that does not exist, or,
    // in the last piece, is cut. The destination's content is then undefined.
    std::optional<size_t> Decode(std::span<const uint8_t> piece, bool last);
    // Whether the output came out exactly full.
    bool full() const { return out_ == out_end_; }

private:
    uint8_t marker_;
    uint8_t* begin_;
    uint8_t* out_;
    uint8_t* out_end_;
};

// Decodes the data (head included) into `destination`, whose size must be the
// head's decoded size. False when any code reaches before the start of the
// output or past its end, the stream ends inside a code, or the output does
// not come out exactly full.
bool DecodeArchiveData(std::span<const uint8_t> source, std::span<uint8_t> destination);

}  // namespace velk
