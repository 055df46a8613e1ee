// Speed of loading a database, reported as a ratio measured in the same run:
//   DatabaseLoad: `vs_read` is the time to load a database of 10,000 rows by
//   100 items (70 numbers, 30 short texts; both files, the ".dat" scrambled
//   with three streams) divided by the time to read the same two files into
//   memory through the same file access (1 = no cost beyond the reading).

#include <cstdlib>
#include <filesystem>
#include <string>

#include <benchmark/benchmark.h>

#include "bench/bench_timing.h"
#include "bench/scratch_folder.h"
#include "game/data/database.h"
#include "game/data/game_file_source.h"
#include "tools/gamedata/database_writer.h"
#include "tools/gamedata/game_folder_writer.h"

namespace velk {
namespace {

constexpr int kRows = 10000;
constexpr int kNumberItems = 70;
constexpr int kStringItems = 30;

std::string Numbered(std::string prefix, int number) {
    prefix.append(std::to_string(number));
    return prefix;
}

gamedata::DatabaseDescription BenchDatabase() {
    gamedata::DatabaseDescription database;
    database.seeds = {91, 17, 230};
    gamedata::DatabaseTypeDescription& type = database.types.emplace_back();
    type.name = "bench";
    for (int i = 0; i < kNumberItems; ++i) gamedata::AddNumberItem(type, Numbered("n", i), i);
    for (int i = 0; i < kStringItems; ++i) gamedata::AddStringItem(type, Numbered("s", i));
    std::vector<int32_t> numbers(kNumberItems);
    std::vector<std::string> strings(kStringItems);
    for (int row = 0; row < kRows; ++row) {
        for (int i = 0; i < kNumberItems; ++i) numbers[i] = row * 131 + i;
        for (int i = 0; i < kStringItems; ++i) strings[i] = Numbered(Numbered("row", row) + "-", i);
        gamedata::AddRow(type, Numbered("data", row), numbers, strings);
    }
    return database;
}

// A game folder holding the database, made the current directory.
struct Folder {
    std::filesystem::path root;
    Folder() {
        root = velk::bench::ScratchFolder("velk-database-bench");
        gamedata::DatabaseDescription database = BenchDatabase();
        std::filesystem::path basicData = root / "Data" / "BasicData";
        if (!gamedata::WriteFileBytes(basicData / "Bench.dat", gamedata::WriteDatabaseData(database), nullptr) ||
            !gamedata::WriteFileBytes(basicData / "Bench.project", gamedata::WriteDatabaseProject(database), nullptr)) {
            std::abort();
        }
        std::filesystem::current_path(root);
    }
    ~Folder() { std::filesystem::remove_all(root); }
};

void DatabaseLoad(benchmark::State& state) {
    static Folder folder;
    double load = 0;
    double read = 0;
    size_t bytes = 0;
    for (auto _ : state) {
        Database database;
        load += bench::OneCallSeconds([&] {
            if (!database.Load("BasicData\\Bench")) std::abort();
        });
        read += bench::OneCallSeconds([&] {
            auto data = ReadGameFile("Data\\BasicData\\Bench.dat");
            auto project = ReadGameFile("Data\\BasicData\\Bench.project");
            if (!data || !project) std::abort();
            bytes = data->size() + project->size();
            benchmark::DoNotOptimize(data->data());
        });
        if (database.GetDataCount(0) != kRows || database.GetItemCount(0) != kNumberItems + kStringItems) std::abort();
    }
    state.counters["vs_read"] = load / read;
    state.counters["file_MB"] = static_cast<double>(bytes) / 1e6;
    state.counters["load_ms"] = load * 1e3 / static_cast<double>(state.iterations());
}
BENCHMARK(DatabaseLoad)->Unit(benchmark::kMillisecond)->Iterations(10);

}  // namespace
}  // namespace velk
