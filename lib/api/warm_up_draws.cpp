#include "lib/api/warm_up_draws.h"

#include "lib/graphics/draw_settings.h"
#include "lib/graphics/graph_data.h"
#include "lib/graphics/graph_draw.h"
#include "lib/graphics/graph_table.h"
#include "lib/image/graph_image.h"

namespace velk {

namespace {

constexpr int kWarmUpSize = 256;
constexpr int kBlendSubtract = 3;
constexpr int kBlendNone = 0;

// A draw-valid graph as draw target, then the screens again.
void WarmUpDrawTarget() {
    SetCreateDrawValidGraph(1);
    const int graph = CreateEmptyGraph(kWarmUpSize, kWarmUpSize, 0);
    SetCreateDrawValidGraph(0);
    if (graph != -1) {
        SetDrawScreen(graph);
        SetDrawScreen(kFrontScreen);
        DeleteGraph(graph);
    }
    SetDrawScreen(kBackScreen);
}

// A black graph made from an image in memory; -1 when it cannot be made.
int MakeBlackGraph() {
    GraphImage image;
    if (CreateRGB24GraphImage(kWarmUpSize, kWarmUpSize, &image) != 0) return -1;
    FillGraphImage(&image, 0, 0, 0, 0);
    const int graph = CreateGraphFromOneGraphImage(&image);
    ReleaseGraphImage(&image);
    return graph;
}

void WarmUpPlainDraws() {
    const int graph = MakeBlackGraph();
    if (graph == -1) return;
    SetDrawBlendMode(kBlendSubtract, 128);
    DrawGraph(0, 0, graph, 1);
    SetDrawBlendMode(kBlendNone, 0);
    SetDrawScreen(kFrontScreen);
    DrawGraph(0, 0, graph, 1);
    DeleteGraph(graph);
}

void WarmUpScaledDraw() {
    const int graph = MakeBlackGraph();
    if (graph == -1) return;
    DrawGraphScaled(0, 0, 640, 480, graph, 1);
    DeleteGraph(graph);
}

}  // namespace

int RunWarmUpDraws() {
    WarmUpDrawTarget();
    WarmUpPlainDraws();
    WarmUpScaledDraw();
    return 0;
}

}  // namespace velk
