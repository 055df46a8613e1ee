#include "lib/core/files/archive_router.h"

#include <vector>

#include "lib/core/files/archive_state.h"
#include "platform/file/current_directory.h"
#include "platform/file/game_name.h"
#include "platform/file/path_resolver.h"

namespace velk {

namespace {

struct RememberedArchive {
    std::vector<std::string> folded_folder;  // the archive's folder path, case folded
    std::string native_path;
};

std::optional<RememberedArchive>& Remembered() {
    static std::optional<RememberedArchive> remembered;
    return remembered;
}

bool StartsWithDrive(const std::string& path) {
    return path.size() >= 2 && path[1] == ':' &&
           ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
}

// The absolute path as a list of names. "." goes, ".." takes the name before
// it away (never past the root); an empty name (a doubled separator) stays
// and keeps the path out of archives; the last name stays as it is.
std::optional<std::vector<std::string>> MakeFullArchivePath(const std::string& path) {
    if (path.empty() || StartsWithDrive(path)) {
        return std::nullopt;
    }
    const auto parts = platform::SplitGamePath(path);
    std::vector<std::string> full;
    size_t first = 0;
    if (parts.front().empty()) {
        first = 1;
        if (parts.size() > 1 && parts[1].empty()) {
            first = 2;  // a doubled leading separator also starts at the root
        }
    } else {
        full = platform::CurrentGameDirectoryComponents();
    }
    for (size_t i = first; i < parts.size(); ++i) {
        const auto& part = parts[i];
        if (i + 1 == parts.size()) {
            full.push_back(part);
        } else if (part == "..") {
            if (!full.empty()) {
                full.pop_back();
            }
        } else if (part != ".") {
            full.push_back(part);
        }
    }
    return full;
}

std::string JoinInner(const std::vector<std::string>& names, size_t from) {
    std::string inner;
    for (size_t i = from; i < names.size(); ++i) {
        if (i > from) {
            inner += '\\';
        }
        inner += names[i];
    }
    return inner;
}

}  // namespace

std::optional<ArchiveRoute> FindArchiveForPath(const std::string& path) {
    const auto full = MakeFullArchivePath(path);
    if (!full || full->empty()) {
        return std::nullopt;
    }
    std::vector<std::string> folded;
    folded.reserve(full->size());
    for (const auto& name : *full) {
        folded.push_back(platform::FoldGameNameCase(name));
    }

    if (auto& remembered = Remembered()) {
        const auto& folder = remembered->folded_folder;
        if (folded.size() > folder.size() && std::equal(folder.begin(), folder.end(), folded.begin())) {
            const int archive = OpenArchive(remembered->native_path);
            if (archive >= 0) {
                return ArchiveRoute{archive, JoinInner(*full, folder.size())};
            }
        }
    }

    const std::string extension = ArchiveExtension();
    std::string folder_path;
    for (size_t i = 0; i + 1 < full->size(); ++i) {
        if ((*full)[i].empty()) {
            return std::nullopt;
        }
        folder_path += '/';
        folder_path += (*full)[i];
        const auto native = platform::ResolveGamePath(folder_path + "." + extension);
        if (!native) {
            continue;
        }
        const int archive = OpenArchive(*native);
        if (archive < 0) {
            continue;
        }
        Remembered() = RememberedArchive{std::vector<std::string>(folded.begin(), folded.begin() + i + 1), *native};
        return ArchiveRoute{archive, JoinInner(*full, i + 1)};
    }
    return std::nullopt;
}

void ForgetRememberedArchive() { Remembered().reset(); }

}  // namespace velk
