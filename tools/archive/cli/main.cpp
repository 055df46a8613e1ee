// velk-archive: packs a folder into an archive the game can read in its place.
//   velk-archive [--key TEXT] [--second-key] [--store] [--version N] FOLDER ARCHIVE
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "tools/archive/archive_writer.h"

namespace {

int Usage() {
    std::fprintf(stderr,
                 "usage: velk-archive [--key TEXT] [--second-key] [--store] [--version 1-3] FOLDER ARCHIVE\n"
                 "  --key TEXT     the game's archive key string (default: none)\n"
                 "  --second-key   scramble with the fixed second key instead\n"
                 "  --store        store files without compressing them\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    velk::tools::ArchiveWriterOptions options;
    std::string folder;
    std::string archive;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--key" && i + 1 < argc) {
            options.key_string = argv[++i];
        } else if (arg == "--second-key") {
            options.use_second_key = true;
        } else if (arg == "--store") {
            options.compression = velk::tools::ArchiveCompression::kNever;
        } else if (arg == "--version" && i + 1 < argc) {
            const int version = std::atoi(argv[++i]);
            if (version < 1 || version > 3) {
                return Usage();
            }
            options.version = static_cast<uint16_t>(version);
        } else if (!arg.empty() && arg[0] == '-') {
            return Usage();
        } else if (folder.empty()) {
            folder = arg;
        } else if (archive.empty()) {
            archive = arg;
        } else {
            return Usage();
        }
    }
    if (folder.empty() || archive.empty()) {
        return Usage();
    }
    std::string error;
    if (!velk::tools::PackFolder(folder, archive, options, &error)) {
        std::fprintf(stderr, "velk-archive: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
