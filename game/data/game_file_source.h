#pragma once
// Where the data layer gets its bytes from disk, in one place so the readers
// above stay pure functions of memory. Paths are the game's Windows-style
// Shift-JIS paths relative to the game folder (the current directory).

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace velk {

// A whole game data file (Game.dat, the databases and the other data files),
// read through the library's file access, so an archive may supply it.
// nullopt when it cannot be opened or read whole, or when no memory is
// left to hold it.
std::optional<std::vector<uint8_t>> ReadGameFile(const std::string& path);
// The same, but memory that runs out is thrown (std::bad_alloc), for a caller
// that tells the player a file too big for the memory left from one that
// cannot be read.
std::optional<std::vector<uint8_t>> ReadGameFileOrThrow(const std::string& path);
// What names the file ReadGameFile reads under `path`, alike for every
// spelling of the path; nullopt when there is no such file.
std::optional<std::string> GameFileIdentity(const std::string& path);
// The length of such a file in bytes, -1 when there is none.
int64_t GameFileLength(const std::string& path);

// A plain file of the game folder that is never taken from an archive
// (Game.ini): its first `limit` bytes (all of a smaller file). Without bytes
// when it cannot be read; `missing` tells a file that is not there from one
// that is there but cannot be read.
struct LocalFile {
    std::optional<std::vector<uint8_t>> bytes;
    bool missing = false;
};
LocalFile ReadLocalFileStart(const std::string& path, size_t limit);

// Replaces a plain file of the game folder as a whole: the bytes go to a
// temporary file beside it, which then takes the file's place, so a failed
// write leaves the old file as it was. No symbolic link is followed on the
// way, and a file that could not be opened for writing (read-only) is left
// alone. False when anything failed.
bool WriteLocalFileAtomically(const std::string& path, std::span<const uint8_t> bytes);

// The names of the files and folders in a folder of the game folder (not in
// an archive), without "." and "..", sorted with ASCII letters folded so the
// order does not depend on the disk. Empty when the folder does not exist.
std::vector<std::string> ListGameFolder(const std::string& path);

}  // namespace velk
