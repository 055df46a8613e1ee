// One software-mode map frame as the game draws it: a panorama, three
// layers of 32-pixel chips over the whole 640 x 480 screen (ground, auto
// tiles of four quarters each, a transparent top layer drawn among the
// characters), 100 map events with their sprites in draw order, and an
// alpha-blended fog. Reported per frame in milliseconds and as a ratio to
// one plain full-screen blit of a 640 x 480 graph measured in the same run
// (`x_blit`: how many such blits one map frame costs). 32 bits, or 16 with
// VELK_BENCH_BITS=16.

#include <cstdlib>
#include <filesystem>
#include <string>

#include <benchmark/benchmark.h>

#include "bench/bench_timing.h"
#include "bench/scratch_folder.h"
#include "game/data/databases.h"
#include "game/event/main_event_interpreter.h"
#include "game/map/character.h"
#include "game/map/hero.h"
#include "game/map/map_state.h"
#include "game/present/graphic_cache.h"
#include "game/present/map_scene.h"
#include "game/present/present_library.h"
#include "game/present/scene_drawing.h"
#include "lib/core/log.h"
#include "lib/core/window/main_window.h"
#include "lib/core/window/window_state.h"
#include "lib/graphics/draw_settings.h"
#include "lib/graphics/graph_draw.h"
#include "lib/graphics/graph_table.h"
#include "lib/graphics/screen/display_system.h"
#include "lib/graphics/system/graphics_system.h"
#include "lib/image/graph_image.h"
#include "lib/image/image_writer.h"
#include "platform/base/debug_output.h"
#include "platform/window/single_instance.h"

namespace velk {
namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 480;

// An XRGB image whose colours follow (x, y); every `hole`-th 4 x 4 block
// is the transparent colour (none when hole is 0).
void SaveImage(const char* name, int width, int height, int seed, int hole) {
    GraphImage image;
    CreateXRGB32GraphImage(width, height, &image);
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<uint32_t*>(image.pixels + static_cast<size_t>(y) * image.pitch);
        for (int x = 0; x < width; ++x) {
            const bool clear = hole != 0 && ((x / 4 + y / 4 * 3 + seed) % hole) == 0;
            row[x] = clear ? 0xFE00FEu
                           : (static_cast<uint32_t>((x * 3 + seed * 40) % 250) << 16) |
                                 (static_cast<uint32_t>((y * 5 + seed * 20) % 250) << 8) |
                                 static_cast<uint32_t>(seed * 60 % 250);
        }
    }
    SaveGraphImageToPng(name, &image, 1);
    ReleaseGraphImage(&image);
}

struct Bench {
    DatabaseSet databases;
    MapState map{MapSettings{}};
    Hero* hero = nullptr;
    GraphicCache* cache = nullptr;
    ScreenTone tone;
    MapScene* scene = nullptr;
    int screenGraph = -1;
};

Bench& SetUpOnce() {
    static Bench bench;
    static bool ready = false;
    if (ready) return bench;
    ready = true;
    setenv("SDL_VIDEODRIVER", "dummy", 0);
    SetLogOutputFlag(0);
    platform::SetDebugOutputEnabled(false);
    platform::SetInstanceLockFolder("/tmp");
    const std::filesystem::path folder = velk::bench::ScratchFolder("velk_map_scene_bench");
    std::filesystem::create_directories(folder / "Data");
    std::filesystem::current_path(folder);
    MainWindowState().window_mode = 1;
    CreateMainWindow();
    SetScreenModeBody(kWidth, kHeight, bench::BenchScreenBits(), -1);
    SetSoftRenderRequest(1);
    InitGraphicsSystem();
    SetDrawScreen(kBackScreen);
    SetTransparentColor(254, 0, 254);

    SaveImage("Data\\base.png", 256, 256, 1, 5);
    SaveImage("Data\\auto.png", 96, 160, 2, 7);
    SaveImage("Data\\chara.png", 96, 192, 3, 3);
    SaveImage("Data\\sky.png", kWidth, kHeight, 4, 0);
    SaveImage("Data\\mist.png", kWidth, kHeight, 5, 0);
    SaveImage("Data\\screen.png", kWidth, kHeight, 6, 0);

    for (int32_t type = 0; type <= 13; ++type) {
        DbTypeData& data = bench.databases.system.types.emplace_back();
        data.itemKinds = {2000, 1000, 1001, 1002};
        data.rows.clear();
        bench.databases.system.typeDefs.emplace_back();
    }
    bench.databases.system.types[13].rows = {DbRow{{0, 0, 0}, {""}}, DbRow{{8, 0, 2}, {"sky.png"}},
                                             DbRow{{-8, 4, 1}, {"mist.png"}}};

    MapState& map = bench.map;
    ActiveCharacterWorld().map = &map;
    map.mapId = 1;
    map.map.header.width = 40;
    map.map.header.height = 30;
    map.map.Clear();
    map.tileFlags.assign(kFirstBaseTileIndex + 64, 0);
    map.tileFlags[kFirstBaseTileIndex + 9] = kTileAmongCharacters;
    map.baseImageName = "base.png";
    map.autoTileImageNames[0] = "auto.png";
    for (int32_t x = 0; x < 40; ++x) {
        for (int32_t y = 0; y < 30; ++y) {
            map.map.Tile(0, x, y) = (x + y) % 8;
            map.map.Tile(1, x, y) = 200000 + ((x * 7 + y) % 5) * 1111;
            map.map.Tile(2, x, y) = 9;
        }
    }
    map.scrollX = 10 * 32 * 4 + 40;
    map.scrollY = 7 * 32 * 4 + 24;
    for (int i = 0; i < 100; ++i) {
        MapEventData data(i);
        data.x = 10 + i % 20;
        data.y = 7 + i / 20 * 3;
        MapEvent& event = map.events.emplace_back(1, data);
        event.graphicFileName = "chara.png";
        event.graphicTileNumber = -1;
        event.passThrough = i % 10 == 0 ? 1 : 0;
        event.facing = static_cast<int16_t>(2 + 2 * (i % 4));
        if (event.facing == 10) event.facing = 8;
    }
    bench.hero = new Hero();
    bench.hero->SetPosition(20, 15, 0);
    bench.hero->graphicFileName = "chara.png";
    GlobalPanoramaSelection().number = 1;
    FogSelection& fog = GlobalFogSelection();
    fog.number = 2;
    fog.blendKind = 0;
    fog.opacity = 128;

    bench.cache = new GraphicCache(GameLibrary());
    MapSceneSettings settings;
    bench.scene =
        new MapScene(*bench.cache, GameSceneDrawing(), bench.databases.system, map, *bench.hero, bench.tone, settings);
    bench.cache->LoadGraphic("screen.png", 1, 1, 0);
    bench.screenGraph = bench.cache->Cells("screen.png")->front();
    return bench;
}

void BM_MapFrame(benchmark::State& state) {
    Bench& bench = SetUpOnce();
    const auto frame = [&] {
        bench.scene->StepPanorama();
        bench.scene->StepFog();
        bench.scene->DrawMap(nullptr);
    };
    const auto blit = [&] {
        SetDrawBlendMode(0, 255);
        DrawGraph(0, 0, bench.screenGraph, 0);
    };
    std::vector<double> best;
    for (auto _ : state)
        best = bench::BestSecondsPerCall({frame, blit});
    state.counters["frame_ms"] = best[0] * 1000.0;
    state.counters["blit_ms"] = best[1] * 1000.0;
    state.counters["x_blit"] = best[0] / best[1];
}
BENCHMARK(BM_MapFrame)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
}  // namespace velk
