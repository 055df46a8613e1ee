#pragma once
// The busy frame the screen benchmarks draw: 20 full-screen 640 x 480 alpha
// layers and 300 alpha sprites of 32 x 32 at fixed random places, on a
// cleared back screen, then presented. Graphs are made on whichever path
// the graphics started with; `texture` asks for texture graphs where the
// Direct3D path is on.

#include <cstdint>
#include <random>
#include <utility>
#include <vector>

#include "lib/graphics/graph_draw.h"
#include "lib/graphics/graph_table.h"
#include "lib/graphics/screen/screen_present.h"
#include "lib/image/graph_image.h"

namespace velk::bench {

inline constexpr int kFrameWidth = 640;
inline constexpr int kFrameHeight = 480;

// An ARGB image with a colour ramp and an alpha that varies over it.
inline int MakeAlphaGraph(int width, int height, int seed, int texture) {
    GraphImage image;
    CreateARGB32GraphImage(width, height, &image);
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<uint32_t*>(image.pixels + static_cast<size_t>(y) * image.pitch);
        for (int x = 0; x < width; ++x) {
            const uint32_t alpha = static_cast<uint32_t>((x * 7 + y * 3 + seed) % 256);
            row[x] = (alpha << 24) | (static_cast<uint32_t>(x * 255 / width) << 16) |
                     (static_cast<uint32_t>(y * 255 / height) << 8) | static_cast<uint32_t>(seed * 40 % 256);
        }
    }
    const int graph = CreateGraphFromGraphImage(&image, nullptr, texture, 0, 0);
    ReleaseGraphImage(&image);
    return graph;
}

struct FrameScene {
    int sprite = -1;
    std::vector<int> layers;
    std::vector<std::pair<int, int>> positions;
};

inline FrameScene MakeFrameScene(int texture) {
    FrameScene scene;
    scene.sprite = MakeAlphaGraph(32, 32, 1, texture);
    for (int i = 0; i < 20; ++i)
        scene.layers.push_back(MakeAlphaGraph(kFrameWidth, kFrameHeight, i + 2, texture));
    std::mt19937 random(7);
    for (int i = 0; i < 300; ++i)
        scene.positions.emplace_back(static_cast<int>(random() % (kFrameWidth - 32)),
                                     static_cast<int>(random() % (kFrameHeight - 32)));
    return scene;
}

inline void DrawFrame(const FrameScene& scene) {
    ClearDrawScreen();
    for (const int layer : scene.layers)
        DrawGraph(0, 0, layer, 1);
    for (const auto& [x, y] : scene.positions)
        DrawGraph(x, y, scene.sprite, 1);
    FlipScreenBody();
}

}  // namespace velk::bench
