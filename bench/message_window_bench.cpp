// One frame of the message window (its update and its drawing) while it
// shows a long message that has not begun to appear (display speed 0), at
// 4, 8 and 16 MiB, against the same frame with a message of 64 bytes in the
// same run (ratio = long / short). A frame whose cost followed the length of
// the text would double its ratio with each size.
//
// Runs headless on SDL's dummy drivers unless the environment chooses others.

#include <filesystem>
#include <string>

#include <benchmark/benchmark.h>

#include "bench/bench_setup.h"
#include "bench/bench_timing.h"
#include "bench/library_start.h"
#include "bench/quiet_reporter.h"
#include "bench/scratch_folder.h"
#include "game/data/databases.h"
#include "game/data/error_reporter.h"
#include "game/data/game_system.h"
#include "game/data/variable_store.h"
#include "game/event/event_interpreter.h"
#include "game/present/game_windows.h"
#include "game/present/graphic_cache.h"
#include "game/present/present_library.h"
#include "game/present/system_resources.h"
#include "game/present/text_renderer.h"
#include "lib/api/library_api.h"

namespace {

const bool g_headless = velk::bench::UseHeadlessDrivers();

// Japanese prose with letters among it, repeated to `bytes`.
std::string Prose(size_t bytes) {
    // "表示ソフトの文字" and letters.
    const std::string piece = "\x95\x5C\x8E\xA6\x83\x5C\x83\x74\x83\x67\x82\xCC\x95\xB6\x8E\x9A Velk text ";
    std::string text;
    while (text.size() < bytes)
        text += piece;
    text.resize(bytes);
    return text;
}

void BM_MessageWindowFrameOfALongMessage(benchmark::State& state) {
    const std::filesystem::path folder = velk::bench::ScratchFolder("velk_message_window_bench");
    if (!velk::bench::StartLibrary(state, folder)) return;
    {
        velk::bench::QuietReporter quiet;
        velk::ScopedErrorReporter reporter(quiet);
        velk::DatabaseSet databases;
        for (int32_t type = 0; type <= velk::kTextColorType; ++type) {
            databases.system.types.emplace_back().rows.resize(1);
            databases.system.typeDefs.emplace_back();
        }
        velk::VariableStore store(nullptr, &databases);
        velk::PresentLibrary& library = velk::GameLibrary();
        velk::GraphicCache cache(library);
        velk::SystemResources resources(library, cache);
        resources.SetupFonts({"", "", "", ""}, false);
        velk::TextSettings settings;
        velk::TextRenderer renderer(library, resources, cache, store, databases.system, settings);
        velk::GameSystem system;
        velk::WindowContext context{
            library, cache, renderer, settings, store, databases.system, system, velk::ActiveWindowWaiters(), nullptr};
        velk::MessageWindow window(context);
        velk::SetDrawScreen(velk::kBackScreen);

        // The seconds of one frame with `text` open.
        const auto frameOf = [&](const std::string& text) {
            system.messageRequest = text;
            window.Update({});
            const double seconds = velk::bench::SecondsPerCall([&] {
                window.Update({});
                window.Draw();
            });
            window.Reset();
            window.Update({});
            return seconds;
        };
        for (auto _ : state) {
            const double reference = frameOf(Prose(64));
            double previous = 0.0;
            for (const int mib : {4, 8, 16}) {
                const double ratio = frameOf(Prose(static_cast<size_t>(mib) << 20)) / reference;
                state.counters["ratio_" + std::to_string(mib) + "MiB"] = ratio;
                if (previous > 0.0) state.counters["growth_to_" + std::to_string(mib) + "MiB"] = ratio / previous;
                previous = ratio;
            }
            state.counters["short_frame_us"] = reference * 1e6;
        }
    }
    velk::EndLibrary();
    std::filesystem::remove_all(folder);
}
BENCHMARK(BM_MessageWindowFrameOfALongMessage)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
