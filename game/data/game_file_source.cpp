#include "game/data/game_file_source.h"

#include <algorithm>
#include <new>

#include "game/data/random_source.h"
#include "lib/core/files/file_operations.h"
#include "lib/core/files/plain_file.h"
#include "platform/file/path_resolver.h"
#include "platform/file/whole_file.h"

namespace velk {
namespace {

// No data file of a game comes near this; the formats count in 32 bits.
constexpr int64_t kLargestGameFile = int64_t{1} << 31;

char FoldAscii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool FoldedLess(const std::string& a, const std::string& b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return static_cast<unsigned char>(FoldAscii(x)) < static_cast<unsigned char>(FoldAscii(y));
    });
}

}  // namespace

std::optional<std::vector<uint8_t>> ReadGameFile(const std::string& path) {
    try {
        return ReadGameFileOrThrow(path);
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
}

std::optional<std::vector<uint8_t>> ReadGameFileOrThrow(const std::string& path) {
    int64_t length = GetFileLength(path);
    if (length < 0 || length > kLargestGameFile) return std::nullopt;
    std::vector<uint8_t> bytes(static_cast<size_t>(length));
    FileAccessHandle file = OpenFileForRead(path);
    if (file == 0) return std::nullopt;
    bool whole = ReadFromFile(bytes.data(), bytes.size(), file) == 1;
    CloseFile(file);
    if (!whole) return std::nullopt;
    return bytes;
}

int64_t GameFileLength(const std::string& path) { return GetFileLength(path); }

std::optional<std::string> GameFileIdentity(const std::string& path) { return GetFileIdentity(path); }

LocalFile ReadLocalFileStart(const std::string& path, size_t limit) {
    LocalFile file;
    auto native = platform::ResolveGamePath(path);
    if (!native) {
        file.missing = true;
        return file;
    }
    file.bytes = platform::ReadFileStart(*native, limit, &file.missing);
    return file;
}

bool WriteLocalFileAtomically(const std::string& path, std::span<const uint8_t> bytes) {
    return platform::WriteGameFileAtomically(path, bytes);
}

std::vector<std::string> ListGameFolder(const std::string& path) {
    std::vector<std::string> names;
    FileInfo info;
    std::string pattern = path;
    // A separator at the end is not added twice; a last 0x5C byte that ends a
    // two-byte character is no separator.
    if (!pattern.empty() &&
        (pattern.back() != '\\' || GetSjisByteClass(pattern, static_cast<int>(pattern.size()) - 1) != 0)) {
        pattern += '\\';
    }
    const int32_t find = PlainFindFirst(pattern + "*", &info);
    if (find < 0) return names;
    do {
        if (info.name != "." && info.name != "..") names.push_back(info.name);
    } while (PlainFindNext(find, &info) == 0);
    PlainFindClose(find);
    std::stable_sort(names.begin(), names.end(), FoldedLess);
    return names;
}

}  // namespace velk
