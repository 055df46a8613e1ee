#pragma once
// Decides whether a path lies inside an archive (inside this module). The
// path is made absolute (from the current folder), then each leading folder
// is tried as an archive of its name plus the archive extension, from the
// root down; the first that opens holds the rest of the path. The archive
// found last is remembered, so files of the same folder skip the trials.

#include <optional>
#include <string>

namespace velk {

struct ArchiveRoute {
    int archive = -1;         // counted as one more user of the archive
    std::string inner_path;  // the rest of the path, '\' separated
};

std::optional<ArchiveRoute> FindArchiveForPath(const std::string& path);
void ForgetRememberedArchive();

}  // namespace velk
