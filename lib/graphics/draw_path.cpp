#include "lib/graphics/draw_path.h"

namespace velk {

namespace {

// Stands in for a path that is not built yet: graphs get no parts (so they
// keep no pixels) and draws draw nothing.
class NullDrawPath final : public GraphDrawPath {
public:
    int MakeGraphParts(GraphData&) override { return 0; }
    int DeriveGraphParts(GraphData&, const GraphData&, int, int) override { return 0; }
    int DeleteGraphParts(GraphData&) override { return 0; }
    int FillGraphParts(GraphData&, const GraphImage&, const GraphImage*, int, int, int, int) override { return 0; }
    int FillGraphColor(GraphData&, int, int, int, int) override { return 0; }
    int RefreshGraphParts(GraphData&) override { return 0; }
    int SetDrawTarget(int, GraphData*) override { return 0; }
    int SetDrawArea(const Rect&) override { return 0; }
    int DrawGraph(int, int, float, float, GraphData&, int) override { return 0; }
    int DrawGraphScaled(int, int, int, int, GraphData&, int) override { return 0; }
    int DrawGraphRotated(float, float, double, double, GraphData&, int, int) override { return 0; }
    int DrawGraphFourCorner(const float*, GraphData&, int) override { return 0; }
    int DrawBox(int, int, int, int, uint32_t, int) override { return 0; }
    int ClearDrawScreen() override { return 0; }
    int GetDrawScreenGraph(int, int, int, int, GraphData&, int) override { return 0; }
};

NullDrawPath g_null_direct3d;
NullDrawPath g_null_two_d;
constinit GraphicsHost g_default_host;

GraphDrawPath* g_direct3d = &g_null_direct3d;
GraphDrawPath* g_two_d = &g_null_two_d;

}  // namespace

constinit GraphicsHost* draw_path_detail::g_host = &g_default_host;

void SetGraphDrawPaths(GraphDrawPath* direct3d, GraphDrawPath* two_d) {
    g_direct3d = direct3d != nullptr ? direct3d : &g_null_direct3d;
    g_two_d = two_d != nullptr ? two_d : &g_null_two_d;
}

void SetGraphicsHost(GraphicsHost* host) { draw_path_detail::g_host = host != nullptr ? host : &g_default_host; }

GraphDrawPath& Direct3DPath() { return *g_direct3d; }
GraphDrawPath& TwoDPath() { return *g_two_d; }

GraphDrawPath& PathOfGraph(const GraphData& graph) { return graph.texture != 0 ? *g_direct3d : *g_two_d; }

}  // namespace velk
