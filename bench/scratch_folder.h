#pragma once
// A benchmark's scratch folder in the temporary folder, named after the
// benchmark and the process: runs started at once by different people (or by
// a script timing two builds side by side) must not write over each other's
// files.

#include <filesystem>
#include <string>

#include <unistd.h>

namespace velk::bench {

inline std::filesystem::path ScratchFolder(const std::string& name) {
    return std::filesystem::temp_directory_path() / (name + "-" + std::to_string(getpid()));
}

}  // namespace velk::bench
