// Drawing pictures in software mode: 200 pictures of 64 x 64 pixels, each
// zoomed and turned, drawn as one frame's bands, against the same count of
// plain draws of the same image in the same run (ratio = pictures / plain),
// once blended at opacity 200 and once opaque. 32 bits, or 16 with
// VELK_BENCH_BITS=16.
//
// Laying out the text of a string picture of 4 MiB, Japanese prose with
// letters among it, against the library measuring the same text as one
// string in the same run (ratio = layout / measure).
//
// Runs headless on SDL's dummy drivers unless the environment chooses others.

#include <filesystem>

#include <benchmark/benchmark.h>

#include "bench/bench_setup.h"
#include "bench/bench_timing.h"
#include "bench/library_start.h"
#include "bench/scratch_folder.h"
#include "game/data/databases.h"
#include "game/data/variable_store.h"
#include "game/present/graphic_cache.h"
#include "game/present/picture_drawing.h"
#include "game/present/picture_images.h"
#include "game/present/picture_list.h"
#include "game/present/present_library.h"
#include "game/present/system_resources.h"
#include "game/present/text_box.h"
#include "game/present/text_renderer.h"
#include "lib/api/library_api.h"

namespace {

constexpr int kPictures = 200;

const bool g_headless = velk::bench::UseHeadlessDrivers();

void BM_PicturesZoomedAndTurned(benchmark::State& state) {
    const std::filesystem::path folder = velk::bench::ScratchFolder("velk_picture_bench");
    if (!velk::bench::StartLibrary(state, folder)) return;
    velk::SetDrawScreen(velk::kBackScreen);
    velk::ClearDrawScreen();
    velk::DrawBox(0, 0, 64, 64, velk::GetColorValue(40, 90, 200), 1);
    velk::DrawBox(8, 8, 56, 56, velk::GetColorValue(230, 200, 60), 1);
    velk::SaveDrawScreenToPNG(0, 0, 64, 64, "Data\\tile.png", -1);

    velk::DatabaseSet databases;
    velk::VariableStore store(nullptr, &databases);
    velk::PresentLibrary& library = velk::GameLibrary();
    velk::GraphicCache cache(library);
    velk::SystemResources resources(library, cache);
    velk::TextSettings settings;
    velk::TextRenderer renderer(library, resources, cache, store, databases.system, settings);
    velk::PictureImageStore images(library);
    velk::PictureSettings pictureSettings;
    velk::PictureServices services{velk::GamePictureDrawing(), images, renderer, pictureSettings};
    velk::PictureList pictures(services);
    velk::PictureList opaque(services);
    for (int i = 0; i < kPictures; ++i) {
        velk::PictureArguments a;
        a.x = 40 + (i * 37) % 560;
        a.y = 40 + (i * 53) % 400;
        a.anchor = 1;
        a.opacity = 200;
        a.zoomX = a.zoomY = 80 + i % 60;
        a.angle = (i * 97) % 3600 + 1;
        pictures.Show(i, i, "tile.png", a, 0, false);
        a.opacity = 255;
        opaque.Show(i, i, "tile.png", a, 0, false);
    }
    pictures.Update();
    opaque.Update();
    const int graph = pictures.Pictures()[0].cells[0];

    const auto drawPictures = [&] {
        for (int band : {-2, -1, 0, 1})
            pictures.DrawBand(band);
    };
    const auto drawOpaque = [&] {
        for (int band : {-2, -1, 0, 1})
            opaque.DrawBand(band);
    };
    const auto drawPlain = [&] {
        for (int i = 0; i < kPictures; ++i)
            velk::DrawGraph(40 + (i * 37) % 560, 40 + (i * 53) % 400, graph, 1);
    };
    for (auto _ : state) {
        const std::vector<double> best = velk::bench::BestSecondsPerCall({drawPictures, drawOpaque, drawPlain});
        state.counters["pictures_ms"] = best[0] * 1e3;
        state.counters["opaque_pictures_ms"] = best[1] * 1e3;
        state.counters["plain_ms"] = best[2] * 1e3;
        state.counters["ratio"] = best[0] / best[2];
        state.counters["opaque_ratio"] = best[1] / best[2];
    }
    velk::EndLibrary();
    std::filesystem::remove_all(folder);
}
BENCHMARK(BM_PicturesZoomedAndTurned)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_LongStringPictureLayout(benchmark::State& state) {
    const std::filesystem::path folder = velk::bench::ScratchFolder("velk_text_layout_bench");
    if (!velk::bench::StartLibrary(state, folder)) return;
    velk::DatabaseSet databases;
    velk::VariableStore store(nullptr, &databases);
    velk::PresentLibrary& library = velk::GameLibrary();
    velk::GraphicCache cache(library);
    velk::SystemResources resources(library, cache);
    resources.SetupFonts({"", "", "", ""}, false);
    velk::TextSettings settings;
    velk::TextRenderer renderer(library, resources, cache, store, databases.system, settings);
    // "表示ソフトの文字" and letters.
    const std::string piece = "\x95\x5C\x8E\xA6\x83\x5C\x83\x74\x83\x67\x82\xCC\x95\xB6\x8E\x9A Velk text ";
    std::string text;
    while (text.size() < (size_t{4} << 20))
        text += piece;
    const int font = resources.GetFont(0, settings.defaultTextSize, velk::SystemResources::kTextThickness, 0);
    const auto layOut = [&] {
        velk::TextBox box;
        box.shownText = text;
        int32_t width = 0, height = 0;
        box.Measure(renderer, width, height);
        benchmark::DoNotOptimize(width);
    };
    const auto measure = [&] { benchmark::DoNotOptimize(library.StringWidth(text, font)); };
    for (auto _ : state) {
        const std::vector<double> best = velk::bench::BestSecondsPerCall({layOut, measure});
        state.counters["layout_ms"] = best[0] * 1e3;
        state.counters["measure_ms"] = best[1] * 1e3;
        state.counters["ratio"] = best[0] / best[1];
    }
    velk::EndLibrary();
    std::filesystem::remove_all(folder);
}
BENCHMARK(BM_LongStringPictureLayout)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
