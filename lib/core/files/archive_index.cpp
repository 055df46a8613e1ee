#include "lib/core/files/archive_index.h"

#include <algorithm>
#include <cstring>
#include <unordered_set>

#include "lib/core/byte_cursor.h"
#include "platform/base/text_encoding.h"

namespace velk {

namespace {


struct DirectoryRecord {
    uint32_t parent = 0;
    uint32_t entry_count = 0;
    uint32_t first_entry = 0;
};

std::optional<DirectoryRecord> ReadDirectoryRecord(std::span<const uint8_t> table, uint32_t offset) {
    ByteCursor cursor(table);
    if (!cursor.Seek(offset) || !cursor.U32()) {  // the first field is not used
        return std::nullopt;
    }
    auto parent = cursor.U32();
    auto count = cursor.U32();
    auto first = cursor.U32();
    if (!first) {
        return std::nullopt;
    }
    return DirectoryRecord{*parent, *count, *first};
}

// Fills the name fields of an entry from the name record at `offset`.
bool ReadNameRecord(std::span<const uint8_t> block, uint32_t offset, ArchiveEntry* entry) {
    ByteCursor cursor(block);
    if (!cursor.Seek(offset)) {
        return false;
    }
    auto word_count = cursor.U16();
    auto check = cursor.U16();
    if (!check) {
        return false;
    }
    auto folded = cursor.Take(static_cast<uint64_t>(*word_count) * 4);
    if (!folded) {
        return false;
    }
    auto stored = cursor.ZeroTerminated();
    if (!stored) {
        return false;
    }
    entry->folded_name.assign(folded->begin(), folded->end());
    entry->check = *check;
    entry->name.assign(stored->begin(), stored->end());
    return true;
}

std::optional<ArchiveEntry> ReadEntry(std::span<const uint8_t> block, std::span<const uint8_t> file_table,
                                      uint64_t offset, uint16_t version) {
    ByteCursor cursor(file_table);
    if (!cursor.Seek(offset)) {
        return std::nullopt;
    }
    ArchiveEntry entry;
    auto name = cursor.U32();
    auto attributes = cursor.U32();
    auto creation = cursor.U64();
    auto access = cursor.U64();
    auto write = cursor.U64();
    auto position = cursor.U32();
    auto size = cursor.U32();
    if (!size) {
        return std::nullopt;
    }
    if (version >= 2) {
        auto compressed = cursor.U32();
        if (!compressed) {
            return std::nullopt;
        }
        entry.compressed_size = *compressed;
    }
    entry.attributes = *attributes;
    entry.creation_time = *creation;
    entry.access_time = *access;
    entry.write_time = *write;
    entry.data_position = *position;
    entry.data_size = *size;
    if (entry.is_directory()) {
        entry.compressed_size = kArchiveNotCompressed;
    }
    if (!ReadNameRecord(block, *name, &entry)) {
        return std::nullopt;
    }
    return entry;
}

bool SameName(const ArchiveEntry& entry, const FoldedArchiveName& name) {
    return entry.check == name.check && entry.folded_name == name.bytes;
}

// The entry of `directory` with this folded name that is (or is not) a folder.
const ArchiveEntry* FindInDirectory(const ArchiveIndex& index, int32_t directory, std::string_view component,
                                    bool want_directory) {
    const FoldedArchiveName name = FoldArchiveName(component);
    for (const ArchiveEntry& entry : index.directories[static_cast<size_t>(directory)].entries) {
        if (entry.is_directory() == want_directory && SameName(entry, name)) {
            return &entry;
        }
    }
    return nullptr;
}

// Splits a path inside an archive at '\' and '/', keeping Shift-JIS pairs.
std::vector<std::string_view> SplitArchivePath(std::string_view path) {
    std::vector<std::string_view> parts;
    size_t start = 0;
    for (size_t i = 0; i < path.size(); ++i) {
        if (platform::IsShiftJisLeadByte(static_cast<uint8_t>(path[i])) && i + 1 < path.size()) {
            ++i;
        } else if (path[i] == '\\' || path[i] == '/') {
            parts.push_back(path.substr(start, i - start));
            start = i + 1;
        }
    }
    parts.push_back(path.substr(start));
    return parts;
}

std::optional<int32_t> Step(const ArchiveIndex& index, int32_t directory, std::string_view component) {
    if (component == ".") {
        return directory;
    }
    if (component == "..") {
        const int32_t parent = index.directories[static_cast<size_t>(directory)].parent;
        return parent < 0 ? std::nullopt : std::optional<int32_t>(parent);
    }
    const ArchiveEntry* entry = FindInDirectory(index, directory, component, true);
    return entry != nullptr ? std::optional<int32_t>(entry->directory) : std::nullopt;
}

}  // namespace

std::string_view ArchiveEntry::folded_text() const {
    const auto* text = reinterpret_cast<const char*>(folded_name.data());
    const auto zero = std::find(folded_name.begin(), folded_name.end(), 0);
    return std::string_view(text, static_cast<size_t>(zero - folded_name.begin()));
}

std::optional<ArchiveHeader> ParseArchiveHeader(std::span<const uint8_t> bytes) {
    ByteCursor cursor(bytes);
    ArchiveHeader header;
    auto magic = cursor.U16();
    auto version = cursor.U16();
    auto block_size = cursor.U32();
    auto data_start = cursor.U32();
    auto block_offset = cursor.U32();
    auto file_table = cursor.U32();
    auto directory_table = cursor.U32();
    if (!directory_table || *magic != kArchiveMagic || *version > kArchiveNewestVersion) {
        return std::nullopt;
    }
    header.magic = *magic;
    header.version = *version;
    header.block_size = *block_size;
    header.data_start = *data_start;
    header.block_offset = *block_offset;
    header.file_table_offset = *file_table;
    header.directory_table_offset = *directory_table;
    return header;
}

std::optional<ArchiveIndex> ParseArchiveIndex(const ArchiveHeader& header, std::span<const uint8_t> block,
                                              uint64_t file_size) {
    if (block.size() != header.block_size ||
        static_cast<uint64_t>(header.block_offset) + header.block_size > file_size ||
        header.file_table_offset > block.size() || header.directory_table_offset > block.size()) {
        return std::nullopt;
    }
    const auto file_table = block.subspan(header.file_table_offset);
    const auto directory_table = block.subspan(header.directory_table_offset);
    const uint64_t entry_size = header.version >= 2 ? kArchiveEntrySizeV2 : kArchiveEntrySizeV1;
    // A well-formed archive lists each entry once, so the entries of all folders
    // together fit the file table; more means folders share entries, which
    // could multiply the work without end.
    uint64_t entries_left = file_table.size() / entry_size;

    ArchiveIndex index;
    index.header = header;
    std::unordered_set<uint32_t> seen_records;
    // Folders waiting to be read: record offset and the index they get.
    std::vector<std::pair<uint32_t, int32_t>> pending;
    index.directories.emplace_back();
    pending.emplace_back(0, 0);
    seen_records.insert(0);
    while (!pending.empty()) {
        const auto [record_offset, directory] = pending.back();
        pending.pop_back();
        const auto record = ReadDirectoryRecord(directory_table, record_offset);
        if (!record || record->entry_count > entries_left) {
            return std::nullopt;
        }
        entries_left -= record->entry_count;
        std::vector<ArchiveEntry> entries;
        entries.reserve(record->entry_count);
        for (uint32_t i = 0; i < record->entry_count; ++i) {
            auto entry = ReadEntry(block, file_table, record->first_entry + i * entry_size, header.version);
            if (!entry) {
                return std::nullopt;
            }
            if (entry->is_directory()) {
                // Each folder record is read once: a record met again would
                // make the tree a cycle.
                if (!seen_records.insert(entry->data_position).second) {
                    return std::nullopt;
                }
                entry->directory = static_cast<int32_t>(index.directories.size());
                index.directories.emplace_back();
                index.directories.back().parent = directory;
                pending.emplace_back(entry->data_position, entry->directory);
            }
            entries.push_back(std::move(*entry));
        }
        index.directories[static_cast<size_t>(directory)].entries = std::move(entries);
    }
    return index;
}

std::optional<int32_t> FindArchiveDirectory(const ArchiveIndex& index, std::string_view path, int32_t from) {
    const auto parts = SplitArchivePath(path);
    int32_t directory = from;
    for (size_t i = 0; i < parts.size(); ++i) {
        if (parts[i].empty()) {
            if (i == 0) {
                directory = 0;  // a leading separator starts at the root
                continue;
            }
            if (i + 1 == parts.size()) {
                break;  // a trailing separator
            }
            return std::nullopt;
        }
        auto next = Step(index, directory, parts[i]);
        if (!next) {
            return std::nullopt;
        }
        directory = *next;
    }
    return directory;
}

const ArchiveEntry* FindArchiveEntry(const ArchiveIndex& index, std::string_view path) {
    const auto parts = SplitArchivePath(path);
    const size_t folder_length = path.size() - parts.back().size();
    int32_t directory = 0;
    if (folder_length > 0) {
        auto found = FindArchiveDirectory(index, path.substr(0, folder_length - 1));
        if (!found) {
            return nullptr;
        }
        directory = *found;
    }
    if (parts.back().empty()) {
        return nullptr;
    }
    return FindInDirectory(index, directory, parts.back(), false);
}

}  // namespace velk
