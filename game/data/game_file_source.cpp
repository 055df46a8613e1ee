// Until the library's file access (archive routing, case-insensitive names)
// is in place, game files are read straight from the game folder.
#include "game/data/game_file_source.h"

#include <filesystem>
#include <fstream>
#include <system_error>

#include "platform/base/text_encoding.h"

namespace velk {
namespace {

std::optional<std::vector<uint8_t>> ReadHostFile(const std::filesystem::path& path, size_t limit) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    in.seekg(0, std::ios::end);
    std::streamoff length = in.tellg();
    if (length < 0) return std::nullopt;
    in.seekg(0, std::ios::beg);
    size_t size = std::min(static_cast<size_t>(length), limit);
    std::vector<uint8_t> bytes(size);
    if (size > 0 && !in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(size))) {
        return std::nullopt;
    }
    return bytes;
}

}  // namespace

std::string HostPathOf(const std::string& gamePath) {
    std::string path;
    path.reserve(gamePath.size());
    bool trailNext = false;
    for (char c : gamePath) {
        uint8_t byte = static_cast<uint8_t>(c);
        if (trailNext) {
            path.push_back(c);
            trailNext = false;
        } else if (platform::IsShiftJisLeadByte(byte)) {
            path.push_back(c);
            trailNext = true;
        } else {
            path.push_back(c == '\\' ? '/' : c);
        }
    }
    return platform::ShiftJisToUtf8(path);
}

std::optional<std::vector<uint8_t>> ReadGameFile(const std::string& path) {
    return ReadHostFile(HostPathOf(path), SIZE_MAX);
}

std::optional<std::vector<uint8_t>> ReadLocalFile(const std::string& path, size_t limit) {
    return ReadHostFile(HostPathOf(path), limit);
}

bool WriteLocalFileAtomically(const std::string& path, std::span<const uint8_t> bytes) {
    std::filesystem::path target = HostPathOf(path);
    std::filesystem::path temporary = target;
    temporary += ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!out) return false;
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        out.close();
        if (out.fail()) {
            std::error_code ignored;
            std::filesystem::remove(temporary, ignored);
            return false;
        }
    }
    std::error_code error;
    std::filesystem::rename(temporary, target, error);
    if (error) {
        std::filesystem::remove(temporary, error);
        return false;
    }
    return true;
}

}  // namespace velk
