#include "platform/file/path_resolver.h"

#include <cerrno>
#include <dirent.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>

#include "platform/base/text_encoding.h"
#include "platform/file/game_name.h"

namespace velk::platform {

namespace {

// A listing taken less than this long after its folder last changed may miss
// a file created in the same clock tick; such a listing is read again on a
// miss even when the folder's stamp looks unchanged.
constexpr int64_t kRacyListingNs = 2'000'000'000;
// Listings kept at most; beyond it the cache starts afresh.
constexpr size_t kMaxListings = 4096;

int64_t Nanoseconds(const timespec& time) { return static_cast<int64_t>(time.tv_sec) * 1'000'000'000 + time.tv_nsec; }

int64_t WallClockNs() {
    timespec now {};
    clock_gettime(CLOCK_REALTIME, &now);
    return Nanoseconds(now);
}

std::string FoldAscii(std::string_view text) {
    std::string folded(text);
    for (char& c : folded) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return folded;
}

std::string Join(const std::string& folder, const std::string& name) {
    return folder == "/" ? "/" + name : folder + "/" + name;
}

std::string Parent(const std::string& folder) {
    const size_t slash = folder.rfind('/');
    return slash == 0 || slash == std::string::npos ? "/" : folder.substr(0, slash);
}

std::optional<std::string> CurrentFolder() {
    std::string buffer(256, '\0');
    while (::getcwd(buffer.data(), buffer.size()) == nullptr) {
        if (errno != ERANGE || buffer.size() > kMaxPathLength * 2) {
            return std::nullopt;
        }
        buffer.resize(buffer.size() * 2);
    }
    buffer.resize(std::char_traits<char>::length(buffer.c_str()));
    return buffer;
}

bool StartsWithDrive(std::string_view game_path) {
    return game_path.size() >= 2 && game_path[1] == ':' &&
           ((game_path[0] >= 'A' && game_path[0] <= 'Z') || (game_path[0] >= 'a' && game_path[0] <= 'z'));
}

}  // namespace

std::string PathResolver::Walked::Joined() const {
    std::string path = start;
    for (const auto& name : names) {
        path = Join(path, name);
    }
    return path;
}

std::optional<std::string> PathResolver::Resolve(std::string_view game_path) {
    auto walked = Walk(game_path, false);
    return walked ? std::optional<std::string>(walked->Joined()) : std::nullopt;
}

std::optional<std::string> PathResolver::ResolveForCreate(std::string_view game_path) {
    auto walked = Walk(game_path, true);
    return walked ? std::optional<std::string>(walked->Joined()) : std::nullopt;
}

std::optional<PathResolver::Walked> PathResolver::Walk(std::string_view game_path, bool keep_last_unresolved) {
    if (game_path.empty() || game_path.size() > kMaxPathLength || StartsWithDrive(game_path) ||
        game_path.find('\0') != std::string_view::npos) {
        return std::nullopt;
    }
    const auto components = SplitGamePath(game_path);
    std::string start;
    if (components.front().empty()) {
        start = "/";
    } else {
        auto current = CurrentFolder();
        if (!current) {
            return std::nullopt;
        }
        start = std::move(*current);
    }
    // "." and ".." are taken away by name, as Windows does, so a ".." may
    // follow a folder that does not exist.
    std::vector<std::string> names;
    for (const auto& component : components) {
        if (component.empty() || component == ".") {
            continue;
        }
        if (component != "..") {
            names.push_back(component);
        } else if (!names.empty()) {
            names.pop_back();
        } else {
            start = Parent(start);
        }
    }

    // Most paths name the file exactly as it lies on disk: one stat decides.
    Walked direct{start, {}};
    for (const auto& name : names) {
        direct.names.push_back(GameNameToNativeName(name));
    }
    const std::string direct_path = direct.Joined();
    struct stat info {};
    if (direct_path.size() <= kMaxPathLength && ::stat(direct_path.c_str(), &info) == 0) {
        return direct;
    }

    // A cached listing may still hold a name that was removed since: when the
    // walk ends somewhere that does not exist, the folders on the way are
    // read again once.
    for (int attempt = 0; attempt < 2; ++attempt) {
        std::vector<std::string> visited;
        Walked walked{start, {}};
        std::string folder = start;
        bool found = true;
        for (size_t i = 0; i < names.size() && found; ++i) {
            visited.push_back(folder);
            auto name = LookUp(folder, names[i]);
            if (!name && keep_last_unresolved && i + 1 == names.size()) {
                name = GameNameToNativeName(names[i]);
            }
            if (!name) {
                found = false;
                break;
            }
            folder = Join(folder, *name);
            walked.names.push_back(std::move(*name));
            if (folder.size() > kMaxPathLength) {
                return std::nullopt;
            }
        }
        if (!found) {
            return std::nullopt;
        }
        const std::string& must_exist = keep_last_unresolved && !names.empty() ? Parent(folder) : folder;
        if (::stat(must_exist.c_str(), &info) == 0) {
            return walked;
        }
        for (const auto& stale : visited) {
            ForgetFolder(stale);
        }
    }
    return std::nullopt;
}

std::optional<std::string> PathResolver::LookUp(const std::string& folder, const std::string& game_name) {
    const auto utf8 = IsAscii(game_name) ? std::optional<std::string>(game_name) : ShiftJisToUtf8Exact(game_name);
    std::lock_guard lock(mutex_);
    if (const Listing* listing = ListingFor(folder, false)) {
        if (auto name = Match(*listing, game_name, utf8)) {
            return name;
        }
    }
    if (const Listing* listing = ListingFor(folder, true)) {
        return Match(*listing, game_name, utf8);
    }
    return std::nullopt;
}

PathResolver::Listing* PathResolver::ListingFor(const std::string& folder, bool after_miss) {
    auto found = listings_.find(folder);
    if (found != listings_.end() && after_miss) {
        struct stat info {};
        if (::stat(folder.c_str(), &info) != 0) {
            listings_.erase(found);
            return nullptr;
        }
        const FolderStamp stamp{info.st_dev, info.st_ino, Nanoseconds(info.st_mtim), Nanoseconds(info.st_ctim)};
        const bool racy = found->second.listed_at_ns - stamp.modified_ns < kRacyListingNs;
        if (stamp == found->second.stamp && !racy) {
            return nullptr;  // nothing changed: the miss stands
        }
        listings_.erase(found);
        found = listings_.end();
    }
    if (found != listings_.end()) {
        return &found->second;
    }
    auto listing = ReadListing(folder);
    if (!listing) {
        return nullptr;
    }
    if (listings_.size() >= kMaxListings) {
        listings_.clear();
    }
    return &listings_.emplace(folder, std::move(*listing)).first->second;
}

std::optional<PathResolver::Listing> PathResolver::ReadListing(const std::string& folder) {
    Listing listing;
    // The stamp is taken before reading, so a change during the read shows
    // as a changed stamp at the next miss.
    struct stat info {};
    if (::stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        return std::nullopt;
    }
    listing.stamp = {info.st_dev, info.st_ino, Nanoseconds(info.st_mtim), Nanoseconds(info.st_ctim)};
    listing.listed_at_ns = WallClockNs();
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) {
        return std::nullopt;
    }
    std::vector<std::string> names;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name(entry->d_name);
        if (name != "." && name != "..") {
            names.emplace_back(name);
        }
    }
    ::closedir(dir);
    // Sorted, so that when several names fold alike the same one always wins.
    std::sort(names.begin(), names.end());
    for (const auto& name : names) {
        listing.exact.emplace(name, name);
        listing.folded_utf8.emplace(FoldAscii(name), name);
        listing.folded_sjis.emplace(FoldGameNameCase(name), name);
    }
    return listing;
}

std::optional<std::string> PathResolver::Match(const Listing& listing, const std::string& raw,
                                               const std::optional<std::string>& utf8) {
    if (utf8) {
        if (auto it = listing.exact.find(*utf8); it != listing.exact.end()) {
            return it->second;
        }
    }
    if (auto it = listing.exact.find(raw); it != listing.exact.end()) {
        return it->second;
    }
    if (utf8) {
        if (auto it = listing.folded_utf8.find(FoldAscii(*utf8)); it != listing.folded_utf8.end()) {
            return it->second;
        }
    }
    if (auto it = listing.folded_sjis.find(FoldGameNameCase(raw)); it != listing.folded_sjis.end()) {
        return it->second;
    }
    return std::nullopt;
}

std::optional<GameWriteTarget> PathResolver::ResolveWriteTarget(std::string_view game_path) {
    auto walked = Walk(game_path, true);
    if (!walked || walked->names.empty()) {
        return std::nullopt;
    }
    GameWriteTarget target;
    target.name = std::move(walked->names.back());
    walked->names.pop_back();
    target.start = std::move(walked->start);
    target.folders = std::move(walked->names);
    return target;
}

void PathResolver::Forget() {
    std::lock_guard lock(mutex_);
    listings_.clear();
}

void PathResolver::ForgetFolder(const std::string& native_folder) {
    std::lock_guard lock(mutex_);
    listings_.erase(native_folder);
}

PathResolver& GamePathResolver() {
    static PathResolver resolver;
    return resolver;
}

std::optional<std::string> ResolveGamePath(std::string_view game_path) {
    return GamePathResolver().Resolve(game_path);
}

std::optional<std::string> ResolveGameFileIdentity(std::string_view game_path) {
    const auto native = ResolveGamePath(game_path);
    struct stat info {};
    if (!native || ::stat(native->c_str(), &info) != 0) {
        return std::nullopt;
    }
    return std::to_string(info.st_dev) + ":" + std::to_string(info.st_ino);
}

std::optional<std::string> ResolveGamePathForWrite(std::string_view game_path) {
    if (!IsGameWritePathAllowed(game_path)) {
        return std::nullopt;
    }
    return GamePathResolver().ResolveForCreate(game_path);
}

std::optional<GameWriteTarget> ResolveGameWriteTarget(std::string_view game_path) {
    if (!IsGameWritePathAllowed(game_path)) {
        return std::nullopt;
    }
    return GamePathResolver().ResolveWriteTarget(game_path);
}

}  // namespace velk::platform
