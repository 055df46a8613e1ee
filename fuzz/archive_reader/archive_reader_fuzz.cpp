// Feeds one archive file (as it lies on disk, scrambled) to the archive
// reader: the file becomes Data.velk in a scratch game folder, and every
// folder and file the reader then finds in it is listed, opened and read,
// synchronously and asynchronously. Header, tables, entry data and the LZ
// coding are all reached. The reader must refuse damage cleanly.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "lib/core/files/archive_reader.h"
#include "lib/core/files/file_access.h"
#include "lib/core/log.h"
#include "platform/base/sync.h"

namespace {

// Some limits on the work one input may cause, so a run stays quick: how
// many files are read and how deep folders are walked.
constexpr int kMaxFiles = 64;
constexpr int kMaxDepth = 8;

// The scratch game folder of this process; the current folder is left alone
// (the replay driver reads its inputs by relative paths).
const std::string& ScratchFolder() {
    // Never freed: the clean-up at exit still needs it.
    static const std::string* folder = [] {
        const auto path = std::filesystem::temp_directory_path() / ("velk-fuzz-archive-" + std::to_string(getpid()));
        std::filesystem::create_directories(path);
        velk::SetLogOutputFlag(0);
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(ScratchFolder(), ignored);
        });
        return new std::string(path.string());
    }();
    return *folder;
}

void ReadWhole(const std::string& path, int async, int* files) {
    if (++*files > kMaxFiles) {
        return;
    }
    const velk::FileAccessHandle file = velk::FileAccessOpen(path, 0, 1, async);
    if (file == 0) {
        return;
    }
    std::vector<uint8_t> chunk(4096);
    for (int i = 0; i < 4096; ++i) {
        if (velk::FileAccessRead(chunk.data(), 1, chunk.size(), file) == 0) {
            break;
        }
        while (velk::FileAccessIdle(file) == 0) {
            velk::platform::SleepMilliseconds(0);
        }
    }
    velk::FileAccessSeek(file, -7, velk::kSeekEnd);
    velk::FileAccessRead(chunk.data(), 1, 3, file);
    velk::FileAccessTell(file);
    velk::FileAccessEof(file);
    velk::FileAccessClose(file);
}

void Walk(const std::string& folder, int depth, int* files) {
    const auto& set = velk::ActiveFileAccessFunctions();
    velk::FileInfo info;
    const int32_t find = set.find_first(folder + "\\*", &info);
    if (find == -1) {
        return;
    }
    std::vector<velk::FileInfo> found;
    do {
        found.push_back(info);
    } while (set.find_next(find, &info) == 0 && found.size() < 256);
    set.find_close(find);
    for (const auto& entry : found) {
        if (entry.name == "." || entry.name == ".." || entry.name.empty()) {
            continue;
        }
        const std::string path = folder + "\\" + entry.name;
        if (entry.is_directory != 0) {
            if (depth < kMaxDepth) {
                Walk(path, depth + 1, files);
            }
        } else {
            ReadWhole(path, 0, files);
            ReadWhole(path, 1, files);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string& folder = ScratchFolder();
    velk::ClearArchiveState();
    velk::SetArchiveExtensionBody("velk");
    FILE* out = std::fopen((folder + "/Data.velk").c_str(), "wb");
    if (out == nullptr) {
        return 0;
    }
    if (size > 0) {
        std::fwrite(data, 1, size, out);
    }
    std::fclose(out);
    int files = 0;
    Walk(folder + "\\Data", 0, &files);
    ReadWhole(folder + "\\Data\\A.TXT", 0, &files);
    velk::ClearArchiveState();
    return 0;
}
