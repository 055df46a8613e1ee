#pragma once
// Whole files at once: the way saves, settings and written text files reach
// the disk. A write goes to a temporary file in the same folder and is renamed
// over the old file only after every byte was written and flushed, so a
// failure at any point leaves the old file whole.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace velk::platform {

// Replaces (or creates) the file with exactly these bytes. Returns false and
// leaves any old file untouched when anything fails. A new file gets mode
// 0644; a replaced file keeps its permissions.
bool WriteFileAtomically(const std::string& native_path, std::span<const uint8_t> bytes);

// Every byte of a regular file; nullopt when it cannot be opened or read
// whole, or when it is larger than `max_size`.
std::optional<std::vector<uint8_t>> ReadWholeFile(const std::string& native_path,
                                                  uint64_t max_size = 0xFFFFFFFFu);

}  // namespace velk::platform
