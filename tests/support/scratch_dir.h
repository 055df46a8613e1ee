#pragma once
// A fresh, empty folder for one test, removed again when the test ends.

#include <filesystem>
#include <string>

namespace velk::testing {

class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // Writes a file below the folder (creating folders on the way).
    std::filesystem::path WriteFile(const std::string& relative, const std::string& bytes) const;
    std::string ReadFile(const std::string& relative) const;

private:
    std::filesystem::path path_;
};

}  // namespace velk::testing
