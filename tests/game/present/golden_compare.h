#pragma once
// Golden pictures of the presentation: where they live beside the sources,
// and an exact comparison of two image files.

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "lib/image/image_loader.h"
#include "tests/support/source_dir.h"

namespace velk::testing {

inline std::filesystem::path GoldenPath(const std::string& name, const std::string& folder = "present") {
    return SourceDir() / "tests" / "golden" / folder / name;
}

inline std::vector<uint8_t> ReadBytes(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// Empty when both image files hold the same pixels.
inline std::string ComparePictures(const std::filesystem::path& actual, const std::filesystem::path& expected) {
    GraphImage a, b;
    if (LoadGraphImageFromBytes(ReadBytes(actual), &a) != 0) return "unreadable " + actual.string();
    if (LoadGraphImageFromBytes(ReadBytes(expected), &b) != 0) {
        ReleaseGraphImage(&a);
        return "missing golden " + expected.string();
    }
    std::string difference;
    if (a.width != b.width || a.height != b.height || a.color_data.pixel_byte != b.color_data.pixel_byte) {
        difference = "sizes differ";
    } else {
        const size_t row = static_cast<size_t>(a.width) * a.color_data.pixel_byte;
        for (int y = 0; y < a.height && difference.empty(); ++y) {
            if (std::memcmp(a.pixels + y * a.pitch, b.pixels + y * b.pitch, row) != 0) {
                difference = "row " + std::to_string(y) + " differs";
            }
        }
    }
    ReleaseGraphImage(&a);
    ReleaseGraphImage(&b);
    return difference;
}

// Compares a saved picture with its golden; VELK_UPDATE_GOLDEN=1 writes the
// golden from it first.
inline std::string CompareWithGolden(const std::filesystem::path& saved, const std::string& name,
                                     const std::string& folder = "present") {
    const std::filesystem::path golden = GoldenPath(name, folder);
    if (std::getenv("VELK_UPDATE_GOLDEN") != nullptr) {
        std::filesystem::create_directories(golden.parent_path());
        std::filesystem::copy_file(saved, golden, std::filesystem::copy_options::overwrite_existing);
    }
    return ComparePictures(saved, golden);
}

}  // namespace velk::testing
