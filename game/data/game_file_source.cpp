#include "game/data/game_file_source.h"

#include "lib/core/files/file_operations.h"
#include "platform/file/path_resolver.h"
#include "platform/file/whole_file.h"

namespace velk {
namespace {

// No data file of a game comes near this; the formats count in 32 bits.
constexpr int64_t kLargestGameFile = int64_t{1} << 31;

}  // namespace

std::optional<std::vector<uint8_t>> ReadGameFile(const std::string& path) {
    int64_t length = GetFileLength(path);
    if (length < 0 || length > kLargestGameFile) return std::nullopt;
    FileAccessHandle file = OpenFileForRead(path);
    if (file == 0) return std::nullopt;
    std::vector<uint8_t> bytes(static_cast<size_t>(length));
    bool whole = ReadFromFile(bytes.data(), bytes.size(), file) == 1;
    CloseFile(file);
    if (!whole) return std::nullopt;
    return bytes;
}

std::optional<std::vector<uint8_t>> ReadLocalFile(const std::string& path, size_t limit) {
    auto native = platform::ResolveGamePath(path);
    if (!native) return std::nullopt;
    return platform::ReadWholeFile(*native, limit);
}

bool WriteLocalFileAtomically(const std::string& path, std::span<const uint8_t> bytes) {
    auto native = platform::ResolveGamePathForWrite(path);
    return native && platform::WriteFileAtomically(*native, bytes);
}

}  // namespace velk
