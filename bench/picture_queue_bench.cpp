// Work a game can pile into one frame, each at three sizes that double, timed
// against a reference of the same count measured in the same run (`ratio` =
// the work / the reference). Work that costs in proportion to its count keeps
// its ratio from size to size, its `ms` growing about x2 per doubling; work
// that walks what is left for every element shows a ratio that doubles.
//   PicturesShownInFront: a show of ids 1..n in front of n pictures already
//     shown (ids n+1..2n), against making 2n picture records.
//   DelayedPictureMovesDue: n moves queued on one picture with a delay,
//     falling due in one update, against the same n moves made at once.
//   PicturesErasedTogether: n pictures of one file whose erases fall due in
//     one update, against an update of the same n pictures erasing none.
//   SoundEffectsDue: n sound effects queued with a delay, falling due in one
//     update, against n plays of the same sound straight through the library.
//
// Runs headless on SDL's dummy drivers unless the environment chooses others.

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include <benchmark/benchmark.h>

#include "bench/bench_setup.h"
#include "bench/bench_timing.h"
#include "bench/scratch_folder.h"
#include "game/data/database.h"
#include "game/data/databases.h"
#include "game/data/variable_store.h"
#include "game/present/graphic_cache.h"
#include "game/present/midi_output.h"
#include "game/present/picture_drawing.h"
#include "game/present/picture_images.h"
#include "game/present/picture_list.h"
#include "game/present/present_library.h"
#include "game/present/sound_state.h"
#include "game/present/system_resources.h"
#include "game/present/text_renderer.h"
#include "lib/api/library_api.h"

namespace {

const bool g_headless = velk::bench::UseHeadlessDrivers();

// Work timed once per repetition after a setup that is not timed; the best
// of a few, fewer when one call already lasts long.
double BestOfSetUpCalls(const std::function<void()>& setUp, const std::function<void()>& work) {
    double best = 1e9;
    for (int round = 0; round < 5 && (round < 2 || best < 0.5); ++round) {
        setUp();
        best = std::min(best, velk::bench::OneCallSeconds(work));
    }
    return best;
}

void Report(benchmark::State& state, double seconds, double reference) {
    state.counters["ms"] = seconds * 1e3;
    state.counters["reference_ms"] = reference * 1e3;
    state.counters["ratio"] = seconds / reference;
}

// The library in software mode on a scratch game folder holding a 32 x 32
// picture and a short sound effect, and the picture list's services over it.
class Stage {
public:
    explicit Stage(benchmark::State& state) : folder_(velk::bench::ScratchFolder("velk_picture_queue_bench")) {
        std::filesystem::create_directories(folder_ / "Data");
        std::filesystem::current_path(folder_);
        WriteWave(folder_ / "Data" / "se.wav");
        velk::RegisterLibraryParts();
        velk::SetLogOutputFlag(0);
        velk::SetScreenMode(640, 480, velk::bench::BenchScreenBits(), 60);
        velk::ChangeWindowMode(1);
        velk::SetUseHardwareRenderFlag(0);
        if (velk::InitLibrary() != 0) {
            state.SkipWithError("the library did not start");
            return;
        }
        started_ = true;
        velk::SetDrawScreen(velk::kBackScreen);
        velk::DrawBox(0, 0, 32, 32, velk::GetColorValue(40, 90, 200), 1);
        velk::SaveDrawScreenToPNG(0, 0, 32, 32, "Data\\tile.png", -1);
        parts_ = std::make_unique<Parts>();
    }
    ~Stage() {
        parts_.reset();
        if (started_) velk::EndLibrary();
        std::filesystem::current_path(folder_.parent_path());
        std::filesystem::remove_all(folder_);
    }
    bool Started() const { return started_; }

    velk::PictureServices& Services() { return parts_->services; }

private:
    // A tenth of a second of 16-bit mono silence at 22 050 Hz.
    static void WriteWave(const std::filesystem::path& path) {
        const uint32_t samples = 2205, dataBytes = samples * 2;
        std::vector<uint8_t> bytes(44 + dataBytes, 0);
        const auto put32 = [&](size_t at, uint32_t value) { std::memcpy(&bytes[at], &value, 4); };
        const auto put16 = [&](size_t at, uint16_t value) { std::memcpy(&bytes[at], &value, 2); };
        std::memcpy(&bytes[0], "RIFF", 4);
        put32(4, 36 + dataBytes);
        std::memcpy(&bytes[8], "WAVEfmt ", 8);
        put32(16, 16);
        put16(20, 1);
        put16(22, 1);
        put32(24, 22050);
        put32(28, 22050 * 2);
        put16(32, 2);
        put16(34, 16);
        std::memcpy(&bytes[36], "data", 4);
        put32(40, dataBytes);
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }

    // Made once the library has started.
    struct Parts {
        velk::DatabaseSet databases;
        velk::VariableStore store{nullptr, &databases};
        velk::GraphicCache cache{velk::GameLibrary()};
        velk::SystemResources resources{velk::GameLibrary(), cache};
        velk::TextSettings textSettings;
        velk::TextRenderer renderer{velk::GameLibrary(), resources, cache, store, databases.system, textSettings};
        velk::PictureImageStore images{velk::GameLibrary()};
        velk::PictureSettings pictureSettings;
        velk::PictureServices services{velk::GamePictureDrawing(), images, renderer, pictureSettings};
    };

    std::filesystem::path folder_;
    bool started_ = false;
    std::unique_ptr<Parts> parts_;
};

velk::PictureArguments At(int32_t x, int32_t y) {
    velk::PictureArguments a;
    a.x = x;
    a.y = y;
    return a;
}

void PicturesShownInFront(benchmark::State& state) {
    Stage stage(state);
    if (!stage.Started()) return;
    const auto n = static_cast<int32_t>(state.range(0));
    velk::PictureList shown(stage.Services());
    shown.Show(n + 1, 2 * n, "tile.png", At(10, 10), 0, false);
    std::optional<velk::PictureList> pictures;
    std::vector<velk::Picture> records;
    for (auto _ : state) {
        const double seconds = BestOfSetUpCalls([&] { pictures = shown; },
                                                [&] { pictures->Show(1, n, "tile.png", At(20, 20), 0, false); });
        const double reference = BestOfSetUpCalls([&] { records = {}; },
                                                  [&] {
                                                      for (int32_t id = 1; id <= 2 * n; ++id)
                                                          records.emplace_back(id);
                                                      benchmark::DoNotOptimize(records.data());
                                                  });
        Report(state, seconds, reference);
    }
    if (pictures->Pictures().size() != static_cast<size_t>(2 * n)) state.SkipWithError("the show made too few");
}
BENCHMARK(PicturesShownInFront)->Unit(benchmark::kMillisecond)->Iterations(1)->Arg(4095)->Arg(8191)->Arg(16383);

void DelayedPictureMovesDue(benchmark::State& state) {
    Stage stage(state);
    if (!stage.Started()) return;
    const auto n = static_cast<int32_t>(state.range(0));
    velk::PictureList pictures(stage.Services());
    velk::PictureArguments move = At(0, 0);
    const auto queue = [&] {
        pictures.Show(1, 1, "tile.png", At(0, 0), 0, false);
        for (int32_t i = 0; i < n; ++i) {
            move.x = i % 640;
            pictures.Move(1, 1, move, 1);
        }
        // The delay of 1 counts down here; the next update runs them all.
        pictures.Update();
    };
    for (auto _ : state) {
        const double seconds = BestOfSetUpCalls(queue, [&] { pictures.Update(); });
        const double reference = BestOfSetUpCalls([&] { pictures.Show(1, 1, "tile.png", At(0, 0), 0, false); },
                                                  [&] {
                                                      for (int32_t i = 0; i < n; ++i) {
                                                          move.x = i % 640;
                                                          pictures.Move(1, 1, move, 0);
                                                      }
                                                  });
        Report(state, seconds, reference);
    }
    if (!pictures.Pictures()[0].delayedValues.empty()) state.SkipWithError("moves were left waiting");
}
BENCHMARK(DelayedPictureMovesDue)->Unit(benchmark::kMillisecond)->Iterations(1)->Arg(16384)->Arg(32768)->Arg(65536);

void PicturesErasedTogether(benchmark::State& state) {
    Stage stage(state);
    if (!stage.Started()) return;
    const auto n = static_cast<int32_t>(state.range(0));
    std::optional<velk::PictureList> pictures;
    const auto show = [&] {
        pictures.emplace(stage.Services());
        pictures->Show(1, n, "tile.png", At(10, 10), 0, false);
    };
    for (auto _ : state) {
        const double seconds = BestOfSetUpCalls(
            [&] {
                show();
                pictures->EraseRange(1, n, 0, 0, velk::kNeutralPackedColor);
            },
            [&] { pictures->Update(); });
        if (!pictures->Pictures().empty()) state.SkipWithError("pictures were left");
        const double reference = BestOfSetUpCalls(show, [&] { pictures->Update(); });
        Report(state, seconds, reference);
    }
    pictures.reset();
}
BENCHMARK(PicturesErasedTogether)->Unit(benchmark::kMillisecond)->Iterations(1)->Arg(8191)->Arg(16383)->Arg(32766);

class NoMidi final : public velk::MidiOutput {
public:
    bool Present() const override { return false; }
    int32_t ReadList(const void*, int32_t, int32_t, int32_t) override { return -1; }
    void DeleteList(int32_t) override {}
    int32_t Play(int32_t, int32_t, int32_t) override { return -1; }
    void Stop() override {}
    void MasterVolume(int32_t) override {}
    void TempoDepth(int32_t) override {}
};

class BenchSoundSettings final : public velk::SoundSettings {
public:
    int32_t Permission() const override { return 3; }
    int32_t MasterVolume(int32_t) const override { return 100; }
    int32_t FrameStep() const override { return 1; }
    std::optional<int32_t> NextSpareRow(int32_t) const override { return std::nullopt; }
    void TakeSpareRow(int32_t) override {}
};

// Sound lists 1-3 of one row each; the sound effect's row is se.wav.
velk::Database SoundLists() {
    velk::Database database;
    database.types.resize(4);
    database.typeDefs.resize(4);
    for (int32_t type = 1; type <= 3; ++type) {
        database.types[type].itemKinds = {2000, 1000, 1001, 1002};
        database.types[type].rows = {velk::DbRow{{0, 0, 0}, {type == 3 ? "se.wav" : ""}}};
        database.typeDefs[type].itemNames = {"", "", "", ""};
        database.typeDefs[type].itemDefaults = {0, 0, 0, 0};
        database.SetDataCount(type, 1);
    }
    return database;
}

void SoundEffectsDue(benchmark::State& state) {
    Stage stage(state);
    if (!stage.Started()) return;
    const auto n = static_cast<int32_t>(state.range(0));
    velk::Database database = SoundLists();
    NoMidi midi;
    BenchSoundSettings settings;
    std::optional<velk::SoundState> sound;
    const auto queue = [&] {
        sound.reset();
        sound.emplace(database, midi, settings);
        for (int32_t i = 0; i < n; ++i)
            sound->Play(velk::SoundState::kSoundEffect, 0, 1, 0);
        sound->Update();
    };
    for (auto _ : state) {
        const double seconds = BestOfSetUpCalls(queue, [&] { sound->Update(); });
        const int handle = sound->RowHandle(velk::SoundState::kSoundEffect, 0);
        const double reference = BestOfSetUpCalls([] {},
                                                  [&] {
                                                      for (int32_t i = 0; i < n; ++i)
                                                          velk::PlaySoundHandle(handle, 1, 1);
                                                  });
        Report(state, seconds, reference);
    }
    sound.reset();
}
BENCHMARK(SoundEffectsDue)->Unit(benchmark::kMillisecond)->Iterations(1)->Arg(50000)->Arg(100000)->Arg(200000);

}  // namespace
