#pragma once
// Whole files at once: the way saves, settings and written text files reach
// the disk. A write goes to a temporary file in the same folder and is renamed
// over the old file only after every byte was written and flushed, so a
// failure at any point leaves the old file whole.
//
// Temporary files have short names of their own (".velk-write-" and twelve
// random letters), so any name the file system takes can be written. A
// writer holds a lock on its temporary file; one left by a writer that was
// killed is removed by the next write into the same folder.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace velk::platform {

// Replaces (or creates) the file with exactly these bytes. Returns false and
// leaves any old file untouched when anything fails, and when the file in
// place is not one that could be opened for writing: a folder, a device, a
// symbolic link, or a file without write permission (read-only). A new file
// gets mode 0644; a replaced file keeps its permissions.
bool WriteFileAtomically(const std::string& native_path, std::span<const uint8_t> bytes);

// Writes a file of the game folder (a game path, relative to the current
// directory, that IsGameWritePathAllowed accepts) the same way. Every folder
// on the way is opened without following symbolic links, so a link inside the
// game folder can never take a write outside it: a path through a link is
// refused.
bool WriteGameFileAtomically(std::string_view game_path, std::span<const uint8_t> bytes);

// Makes a folder of the game folder (its parent must exist), walking the same
// way without following links. True when the folder exists afterwards.
bool CreateGameFolder(std::string_view game_path);

// The bytes the current directory's file system has free for this user;
// nullopt when it cannot be asked.
std::optional<uint64_t> AvailableDiskBytes();

// The prefix of the temporary files; nothing else may use it.
inline constexpr std::string_view kTemporaryFilePrefix = ".velk-write-";
// A temporary file this old whose writer holds no lock on it is stale.
inline constexpr int64_t kStaleTemporarySeconds = 60;

// Every byte of a regular file; nullopt when it cannot be opened or read
// whole, or when it is larger than `max_size`.
std::optional<std::vector<uint8_t>> ReadWholeFile(const std::string& native_path,
                                                  uint64_t max_size = 0xFFFFFFFFu);

// The first `max_size` bytes of a regular file (all of a smaller one).
// nullopt when it cannot be opened or read; `missing` (when given) tells
// whether that was because it does not exist.
std::optional<std::vector<uint8_t>> ReadFileStart(const std::string& native_path, uint64_t max_size,
                                                  bool* missing = nullptr);

}  // namespace velk::platform
