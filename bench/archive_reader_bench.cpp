// Speed of the archive reader, reported as ratios measured in the same run:
//   ArchiveEntryRead: `vs_plain` is the time to open and read a 50 MB
//   compressed entry through the archive set divided by the time to read the
//   same 50 MB from a plain file through the same set (1 = as fast as a plain
//   read; the entry's unscrambling and decoding are what it adds), each the
//   best of alternating rounds.
//   ArchiveDecode: `vs_inflate` is the LZ decoder's output speed divided by
//   zlib's inflate on the same content (above 1: the decoder is faster).

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>
#include <zlib.h>

#include "bench/bench_timing.h"
#include "bench/scratch_folder.h"
#include "lib/core/files/archive_decoder.h"
#include "lib/core/files/archive_reader.h"
#include "lib/core/files/file_access.h"
#include "lib/core/files/file_operations.h"
#include "lib/core/log.h"
#include "platform/file/whole_file.h"
#include "tools/archive/archive_encoder.h"
#include "tools/archive/archive_writer.h"

namespace velk {
namespace {

constexpr size_t kContentSize = 50u << 20;

// Game-like content: text of a small vocabulary, picture rows with runs and
// gradients, and some noise, so both coders find something to do.
const std::vector<uint8_t>& Content() {
    static const std::vector<uint8_t> content = [] {
        std::vector<uint8_t> bytes;
        bytes.reserve(kContentSize);
        std::mt19937 random(5);
        const char* words[] = {"map",
                               "event",
                               "picture",
                               "sound",
                               "variable",
                               "common",
                               "switch",
                               "\x83\x7D\x83\x62\x83\x76",
                               "\x83\x43\x83\x78\x83\x93\x83\x67",
                               "0",
                               "1",
                               "\r\n"};
        while (bytes.size() < kContentSize) {
            const int kind = static_cast<int>(random() % 3);
            if (kind == 0) {
                for (int w = 0; w < 200; ++w) {
                    const char* word = words[random() % std::size(words)];
                    bytes.insert(bytes.end(), word, word + std::strlen(word));
                    bytes.push_back(' ');
                }
            } else if (kind == 1) {
                uint8_t value = static_cast<uint8_t>(random());
                for (int x = 0; x < 2048; ++x) {
                    if (random() % 16 == 0) {
                        value = static_cast<uint8_t>(value + random() % 5);
                    }
                    bytes.push_back(value);
                }
            } else {
                for (int x = 0; x < 256; ++x) {
                    bytes.push_back(static_cast<uint8_t>(random()));
                }
            }
        }
        bytes.resize(kContentSize);
        return bytes;
    }();
    return content;
}

// A game folder with the content both as Data\plain.bin and inside Pack.velk.
struct Folder {
    std::filesystem::path root;
    Folder() {
        root = velk::bench::ScratchFolder("velk-archive-bench");
        std::filesystem::create_directories(root / "Data");
        platform::WriteFileAtomically((root / "Data" / "plain.bin").string(), Content());
        tools::ArchiveBuilder builder;
        builder.AddFile("entry.bin", std::vector<uint8_t>(Content()));
        tools::ArchiveWriterOptions options;
        options.compression = tools::ArchiveCompression::kAlways;
        platform::WriteFileAtomically((root / "Pack.velk").string(), builder.Build(options));
        SetLogOutputFlag(0);
        ClearArchiveState();
        SetArchiveExtensionBody("velk");
    }
    ~Folder() {
        ClearArchiveState();
        std::filesystem::remove_all(root);
    }
};

Folder& BenchFolder() {
    static Folder folder;
    return folder;
}

void ReadWhole(const std::string& path, std::vector<uint8_t>& into) {
    const FileAccessHandle file = OpenFileForRead(path);
    if (file == 0 || ReadFromFile(into.data(), into.size(), file) != 1) {
        std::abort();
    }
    CloseFile(file);
}

void ArchiveEntryRead(benchmark::State& state) {
    const auto& root = BenchFolder().root;
    std::vector<uint8_t> into(kContentSize);
    double archive = 0;
    double plain = 0;
    for (auto _ : state) {
        // The best of alternating rounds: the steadiest figure on a shared
        // machine.
        const auto best = bench::BestSecondsPerCall({
            [&] { ReadWhole((root / "Pack" / "entry.bin").string(), into); },
            [&] { ReadWhole((root / "Data" / "plain.bin").string(), into); },
        });
        archive = best[0];
        plain = best[1];
        benchmark::DoNotOptimize(into.data());
    }
    ReadWhole((root / "Pack" / "entry.bin").string(), into);
    if (into != Content()) {
        state.SkipWithError("the entry read back differs");
    }
    state.counters["vs_plain"] = archive / plain;
    state.counters["entry_MBps"] = kContentSize / 1e6 / archive;
    state.counters["plain_MBps"] = kContentSize / 1e6 / plain;
}
BENCHMARK(ArchiveEntryRead)->Unit(benchmark::kMillisecond)->Iterations(1);

void ArchiveDecode(benchmark::State& state) {
    const auto& content = Content();
    const auto coded = tools::EncodeArchiveData(content);
    uLongf deflated_size = compressBound(content.size());
    std::vector<uint8_t> deflated(deflated_size);
    compress2(deflated.data(), &deflated_size, content.data(), content.size(), 6);
    deflated.resize(deflated_size);

    std::vector<uint8_t> out(content.size());
    double ours = 0;
    double zlib = 0;
    for (auto _ : state) {
        ours += bench::OneCallSeconds([&] {
            if (!DecodeArchiveData(coded, out)) {
                std::abort();
            }
        });
        zlib += bench::OneCallSeconds([&] {
            uLongf size = out.size();
            if (uncompress(out.data(), &size, deflated.data(), deflated.size()) != Z_OK) {
                std::abort();
            }
        });
        benchmark::DoNotOptimize(out.data());
    }
    state.counters["vs_inflate"] = zlib / ours;
    state.counters["lz_MBps"] = content.size() / 1e6 * static_cast<double>(state.iterations()) / ours;
    state.counters["lz_ratio"] = static_cast<double>(coded.size()) / content.size();
    state.counters["zlib_ratio"] = static_cast<double>(deflated.size()) / content.size();
}
BENCHMARK(ArchiveDecode)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace
}  // namespace velk
