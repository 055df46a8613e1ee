#pragma once
// Builds archive files in the library's format from files given in memory or
// from a folder on disk.

#include <cstdint>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace velk::tools {

enum class ArchiveCompression {
    kNever,
    kWhenSmaller,  // each file is stored coded only when that makes it smaller
    kAlways,
};

struct ArchiveWriterOptions {
    // The key string the game will set ("" for none: the default key).
    std::string key_string;
    // Scramble with the second key (tried when the first does not fit).
    bool use_second_key = false;
    // 1 to 3. Version 1 has no compressed sizes, so it stores every file.
    uint16_t version = 3;
    ArchiveCompression compression = ArchiveCompression::kWhenSmaller;
};

class ArchiveBuilder {
public:
    ArchiveBuilder();
    ~ArchiveBuilder();
    ArchiveBuilder(ArchiveBuilder&&) noexcept;
    ArchiveBuilder& operator=(ArchiveBuilder&&) noexcept;

    // A file under a path inside the archive ('\' or '/' between Shift-JIS
    // names); the folders on the way are made. A file of the same name
    // replaces the earlier one. Times are Windows file times (0: none).
    void AddFile(std::string_view path, std::vector<uint8_t> bytes, uint64_t write_time = 0);
    void AddFile(std::string_view path, std::string_view bytes, uint64_t write_time = 0);
    // An (empty) folder.
    void AddFolder(std::string_view path, uint64_t write_time = 0);

    // The whole archive file.
    std::vector<uint8_t> Build(const ArchiveWriterOptions& options = {}) const;

    struct Folder;

private:
    Folder* FolderFor(std::string_view path, bool include_last, uint64_t write_time);
    std::unique_ptr<Folder> root_;
};

// Packs every file and folder below `native_folder` (names turned into the
// game's Shift-JIS form) into `native_archive`, written atomically. False
// with a reason in `error` when a file cannot be read or the archive written.
bool PackFolder(const std::string& native_folder, const std::string& native_archive,
                const ArchiveWriterOptions& options, std::string* error);

}  // namespace velk::tools
