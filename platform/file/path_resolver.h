#pragma once
// Finds the file on disk that a game path names. The game speaks Windows
// paths ("Data\BasicData\CommonEvent.dat") in Shift-JIS and expects names to
// match whatever their case; on disk the names may be UTF-8 or raw CP932.
// Each component is matched against its folder's entries, first exactly, then
// with ASCII case folded, in both forms. Folder listings are cached; a lookup
// that misses reads the folder again when it may have changed since.

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace velk::platform {

// Paths longer than this are refused outright.
constexpr size_t kMaxPathLength = 4095;

// Where a file is to be written: the folder the game path starts in, the
// on-disk names of the folders below it, and the file's on-disk name.
struct GameWriteTarget {
    std::string start;
    std::vector<std::string> folders;
    std::string name;
};

class PathResolver {
public:
    // The native path of the existing file or folder that the game path
    // names; nullopt when a component matches nothing. A path starting with
    // a separator starts at the root, any other at the current directory; a
    // drive letter names nothing here.
    std::optional<std::string> Resolve(std::string_view game_path);

    // The native path at which a file of this name is to be created: the
    // folders must exist; the last name is an existing entry of any case, or
    // else the name in its on-disk form.
    std::optional<std::string> ResolveForCreate(std::string_view game_path);
    // The same, split into the start folder, the folders and the name, so
    // that a writer can open each folder without following links.
    std::optional<GameWriteTarget> ResolveWriteTarget(std::string_view game_path);

    // Drops every cached listing (or one folder's).
    void Forget();
    void ForgetFolder(const std::string& native_folder);

private:
    struct FolderStamp {
        uint64_t device = 0;
        uint64_t inode = 0;
        int64_t modified_ns = 0;
        int64_t changed_ns = 0;
        bool operator==(const FolderStamp&) const = default;
    };
    struct Listing {
        FolderStamp stamp;
        int64_t listed_at_ns = 0;
        std::unordered_map<std::string, std::string> exact;          // name -> name
        std::unordered_map<std::string, std::string> folded_utf8;    // ASCII-folded -> name
        std::unordered_map<std::string, std::string> folded_sjis;    // Shift-JIS-folded -> name
    };

    struct Walked {
        std::string start;
        std::vector<std::string> names;  // on disk, below `start`
        std::string Joined() const;
    };
    std::optional<Walked> Walk(std::string_view game_path, bool keep_last_unresolved);
    std::optional<std::string> LookUp(const std::string& folder, const std::string& game_name);
    Listing* ListingFor(const std::string& folder, bool after_miss);
    static std::optional<Listing> ReadListing(const std::string& folder);
    static std::optional<std::string> Match(const Listing& listing, const std::string& raw,
                                            const std::optional<std::string>& utf8);

    std::mutex mutex_;
    std::unordered_map<std::string, Listing> listings_;
};

// The resolver the whole program shares.
PathResolver& GamePathResolver();

// Shorthands through the shared resolver.
std::optional<std::string> ResolveGamePath(std::string_view game_path);
// A key for the file (or folder) that the game path names, the same under
// every name that reaches it: other cases, "." and "..", links, other hard
// links. nullopt when the path names nothing.
std::optional<std::string> ResolveGameFileIdentity(std::string_view game_path);
// Resolves a path the game wants to write: nullopt when IsGameWritePathAllowed
// refuses it or its folder does not exist.
std::optional<std::string> ResolveGamePathForWrite(std::string_view game_path);
// The same, split for a writer that opens each folder in turn.
std::optional<GameWriteTarget> ResolveGameWriteTarget(std::string_view game_path);

}  // namespace velk::platform
