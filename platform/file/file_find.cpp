#include "platform/file/file_find.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>

#include "platform/file/game_name.h"
#include "platform/file/name_pattern.h"
#include "platform/file/path_resolver.h"

namespace velk::platform {

namespace {

// Splits at the last separator that is not a Shift-JIS trail byte.
void SplitFolderAndPattern(std::string_view game_pattern, std::string* folder, std::string* pattern) {
    const auto components = SplitGamePath(game_pattern);
    *pattern = components.back();
    const size_t folder_length = game_pattern.size() - pattern->size();
    folder->assign(folder_length == 0 ? std::string_view(".") : game_pattern.substr(0, folder_length));
}

std::optional<FoundFile> Describe(const std::string& folder, const std::string& native_name) {
    const std::string path = folder == "/" ? "/" + native_name : folder + "/" + native_name;
    struct statx info {};
    if (::statx(AT_FDCWD, path.c_str(), 0, STATX_BASIC_STATS | STATX_BTIME, &info) != 0) {
        return std::nullopt;  // vanished while we looked, or a dangling link
    }
    FoundFile found;
    found.name = NativeNameToGameName(native_name);
    found.is_directory = S_ISDIR(info.stx_mode);
    found.size = found.is_directory ? 0 : info.stx_size;
    found.write_time = info.stx_mtime.tv_sec;
    found.creation_time = (info.stx_mask & STATX_BTIME) != 0 ? info.stx_btime.tv_sec : info.stx_ctime.tv_sec;
    return found;
}

}  // namespace

std::optional<FileFind> FileFind::Start(std::string_view game_pattern) {
    std::string folder_path;
    std::string pattern;
    SplitFolderAndPattern(game_pattern, &folder_path, &pattern);
    if (pattern.empty()) {
        return std::nullopt;
    }
    const auto folder = ResolveGamePath(folder_path);
    if (!folder) {
        return std::nullopt;
    }
    DIR* dir = ::opendir(folder->c_str());
    if (dir == nullptr) {
        return std::nullopt;
    }
    std::vector<std::string> names;
    while (const dirent* entry = ::readdir(dir)) {
        names.emplace_back(entry->d_name);
    }
    ::closedir(dir);

    FileFind find;
    for (const auto& native_name : names) {
        if (!MatchFileNamePattern(pattern, NativeNameToGameName(native_name))) {
            continue;
        }
        if (auto found = Describe(*folder, native_name)) {
            find.matches_.push_back(std::move(*found));
        }
    }
    if (find.matches_.empty()) {
        return std::nullopt;
    }
    std::sort(find.matches_.begin(), find.matches_.end(), [](const FoundFile& a, const FoundFile& b) {
        const bool a_dots = a.name == "." || a.name == "..";
        const bool b_dots = b.name == "." || b.name == "..";
        if (a_dots != b_dots) {
            return a_dots;
        }
        return FoldGameNameCase(a.name) < FoldGameNameCase(b.name);
    });
    return find;
}

const FoundFile* FileFind::Next() {
    return next_ < matches_.size() ? &matches_[next_++] : nullptr;
}

}  // namespace velk::platform
