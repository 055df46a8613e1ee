#pragma once
// The layout of the library's archive files, shared by the reader and the
// archive writer in tools/: the header fields, the table records, the key
// derivation with the program's own key constants, the scrambling and the
// folding of names.
//
// Every byte of an archive file, header included, is XORed with
// key[file offset % 12]. The header (24 bytes at offset 0) names a header
// block that holds the name table (at its start), the file table and the
// directory table; entry data lies at the header's data start plus each
// entry's data position, compressed or stored.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace velk {

inline constexpr uint16_t kArchiveMagic = 0x5844;
inline constexpr uint16_t kArchiveNewestVersion = 3;  // versions below 4 are read
inline constexpr size_t kArchiveHeaderSize = 24;
// File-table entries: 40 bytes up to version 1, 44 from version 2 (with the
// compressed size).
inline constexpr size_t kArchiveEntrySizeV1 = 40;
inline constexpr size_t kArchiveEntrySizeV2 = 44;
inline constexpr size_t kArchiveDirectoryRecordSize = 16;
inline constexpr uint32_t kArchiveNoParent = 0xFFFFFFFF;
inline constexpr uint32_t kArchiveNotCompressed = 0xFFFFFFFF;
inline constexpr uint32_t kArchiveDirectoryAttribute = 0x10;
// Compressed data begins with its decoded size (u32), its whole size with
// this head (u32) and the marker byte.
inline constexpr size_t kArchiveDataHeadSize = 9;

inline constexpr size_t kArchiveKeySize = 12;
inline constexpr size_t kArchiveMaxKeyStringLength = 12;
using ArchiveKey = std::array<uint8_t, kArchiveKeySize>;

// The program's own key constants: the fill byte of the key used when no key
// string is set, the five XOR bytes of the derivation, and the fill byte of
// the second key that is tried when the first does not show the magic.
inline constexpr uint8_t kArchiveDefaultKeyFill = 0x6B;
inline constexpr uint8_t kArchiveKeyXor2 = 0x3C;
inline constexpr uint8_t kArchiveKeyXor5 = 0xA5;
inline constexpr uint8_t kArchiveKeyXor9 = 0x1E;
inline constexpr uint8_t kArchiveKeyXor10 = 0xD2;
inline constexpr uint8_t kArchiveKeyXor11 = 0x87;
inline constexpr uint8_t kArchiveSecondKeyFill = 0xC5;

// The key of a key string: the string repeated to 12 bytes (or its first 12),
// then one fixed byte operation per position. An empty string gives the
// default key, as no string does.
ArchiveKey DeriveArchiveKey(std::string_view key_string);
ArchiveKey DefaultArchiveKey();
// Twelve fill bytes, taken as they are.
ArchiveKey SecondArchiveKey();

// XORs bytes that lie at `file_offset` in the archive file with the key:
// scrambles and unscrambles alike.
void ScrambleArchiveBytes(std::span<uint8_t> bytes, uint64_t file_offset, const ArchiveKey& key);

// A name as the tables compare it: up to the first '\' or '/', ASCII letters
// upper-cased (Shift-JIS pairs kept), padded with 1 to 4 zero bytes to whole
// 4-byte words, with a 16-bit check value (the sum of the bytes).
struct FoldedArchiveName {
    std::vector<uint8_t> bytes;  // word_count() * 4 bytes
    uint16_t check = 0;
    size_t consumed = 0;  // bytes of the input up to the separator
    size_t word_count() const { return bytes.size() / 4; }
};
FoldedArchiveName FoldArchiveName(std::string_view name);

// The archive finds' own pattern rule, over upper-cased names: '?' matches
// any one byte (so a Shift-JIS pair takes "??"), '*' (a run counts as one)
// matches up to the first place where the pattern's next character stands,
// or the rest of the name at the pattern's end, without trying further
// places; every other character must be equal, a pair of the pattern to the
// name's next two bytes, and both must end together. So "*.PNG" does not
// match "A.B.PNG" and "*.*" matches no name without a dot. The '*' steps
// over the name's pairs whole: a trail byte is never a place to stop.
bool MatchArchiveName(std::string_view pattern, std::string_view name);

}  // namespace velk
