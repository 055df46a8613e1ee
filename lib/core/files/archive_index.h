#pragma once
// The tables of an archive, read once when it opens: its header and the
// folders with their entries, checked against the header block and the file
// size so that every later lookup stays within what was checked.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "lib/core/files/archive_format.h"

namespace velk {

struct ArchiveHeader {
    uint16_t magic = 0;
    uint16_t version = 0;
    uint32_t block_size = 0;
    uint32_t data_start = 0;
    uint32_t block_offset = 0;
    uint32_t file_table_offset = 0;
    uint32_t directory_table_offset = 0;
};

struct ArchiveEntry {
    std::vector<uint8_t> folded_name;  // whole words, as stored
    uint16_t check = 0;
    std::string name;  // the stored name, for find results
    uint32_t attributes = 0;
    uint64_t creation_time = 0;  // Windows file times
    uint64_t access_time = 0;
    uint64_t write_time = 0;
    uint32_t data_position = 0;
    uint32_t data_size = 0;
    uint32_t compressed_size = kArchiveNotCompressed;
    int32_t directory = -1;  // for a folder, its index in ArchiveIndex::directories

    bool is_directory() const { return (attributes & kArchiveDirectoryAttribute) != 0; }
    bool is_compressed() const { return compressed_size != kArchiveNotCompressed; }
    // The folded name up to its padding, as finds match it.
    std::string_view folded_text() const;
};

struct ArchiveDirectory {
    int32_t parent = -1;  // -1 for the root
    std::vector<ArchiveEntry> entries;
};

struct ArchiveIndex {
    ArchiveHeader header;
    std::vector<ArchiveDirectory> directories;  // [0] is the root
};

// The header from its 24 unscrambled bytes; nullopt unless it shows the magic
// and a version below 4.
std::optional<ArchiveHeader> ParseArchiveHeader(std::span<const uint8_t> bytes);

// The folders and entries from the unscrambled header block. nullopt when any
// offset, count or name does not fit the block, when the header block does
// not fit the file, or when folders form a cycle.
std::optional<ArchiveIndex> ParseArchiveIndex(const ArchiveHeader& header, std::span<const uint8_t> block,
                                              uint64_t file_size);

// The folder that a path inside the archive names, starting at `from`:
// components separated by '\' or '/', "." stays, ".." goes up (not past the
// root), an empty first component starts at the root. nullopt when one does
// not name a folder.
std::optional<int32_t> FindArchiveDirectory(const ArchiveIndex& index, std::string_view path, int32_t from = 0);

// The file (not folder) that a path inside the archive names; nullptr when
// there is none.
const ArchiveEntry* FindArchiveEntry(const ArchiveIndex& index, std::string_view path);

}  // namespace velk
