#pragma once
// Lists the entries of a folder that match a pattern, the way the game's
// finds expect: the folder part of the pattern is a game path, the name part
// is matched with MatchFileNamePattern, "." and ".." come first, and names
// are given back in the game's form (Shift-JIS).

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velk::platform {

struct FoundFile {
    std::string name;
    bool is_directory = false;
    uint64_t size = 0;
    int64_t creation_time = 0;  // seconds since 1970, UTC; the change time where birth is unknown
    int64_t write_time = 0;
};

class FileFind {
public:
    // Starts a find; nullopt when the folder does not exist or nothing matches.
    static std::optional<FileFind> Start(std::string_view game_pattern);

    // The next match, nullptr when none is left.
    const FoundFile* Next();

private:
    std::vector<FoundFile> matches_;
    size_t next_ = 0;
};

}  // namespace velk::platform
