#include "lib/graphics/draw2d/two_d_draw_path.h"

#include "lib/graphics/draw2d/box_line_2d.h"
#include "lib/graphics/draw2d/graph_draw_2d.h"
#include "lib/graphics/draw_path.h"
#include "lib/graphics/draw_settings.h"
#include "lib/graphics/screen/draw_target.h"
#include "lib/graphics/screen/surface_2d.h"
#include "lib/softrender/draw_settings.h"

namespace velk {

namespace {

class TwoDPathImpl final : public GraphDrawPath {
public:
    int MakeGraphParts(GraphData& graph) override { return MakeGraphSurface2D(graph); }

    int DeriveGraphParts(GraphData& derived, const GraphData& source, int x, int y) override {
        return MakeDerivedGraphSurface2D(derived, x, y, derived.width, derived.height, source);
    }

    int DeleteGraphParts(GraphData& graph) override { return DeleteGraphSurfaces2D(graph); }

    int FillGraphParts(GraphData& graph, const GraphImage& image, const GraphImage* alpha, int dest_x, int dest_y,
                       int source_x, int source_y) override {
        return BltGraphImageToGraph2D(image, alpha, dest_x, dest_y, source_x, source_y, graph);
    }

    int FillGraphColor(GraphData& graph, int red, int green, int blue, int alpha) override {
        return FillGraphSurface2D(graph, red, green, blue, alpha);
    }

    int RefreshGraphParts(GraphData& graph) override {
        if (CheckGraphSurface2DLost(graph) != 0) graph.needs_restore = 1;
        return 0;
    }

    int SetDrawTarget(int screen, GraphData*) override {
        const int previous = GetDrawSettings().draw_screen;
        return SetDrawTarget2D(screen, previous);
    }

    int SetDrawArea(const Rect& area) override {
        SetMemImgDrawArea(area);
        return SetViewport2D();
    }

    void DrawColorStateChanged() override {
        const DrawSettings& s = GetDrawSettings();
        SetMemImgDrawBlendMode(s.blend_mode, s.blend_param);
        SetMemImgDrawBright(s.bright_red, s.bright_green, s.bright_blue);
    }

    void BlendGraphChanged() override { BuildBlendTable2D(); }

    int DrawGraph(int x, int y, float, float, GraphData& graph, int transparent) override {
        return DrawGraph2D(x, y, graph, transparent);
    }

    int DrawGraphScaled(int x1, int y1, int x2, int y2, GraphData& graph, int transparent) override {
        return DrawGraphScaled2D(x1, y1, x2, y2, &graph, transparent, -1);
    }

    int DrawGraphRotated(float x, float y, double scale, double angle, GraphData& graph, int transparent,
                         int turn) override {
        return DrawGraphRotated2D(x, y, scale, angle, graph, transparent, turn);
    }

    int DrawGraphFourCorner(const float corners[8], GraphData& graph, int transparent) override {
        return DrawGraphFourCorner2D(corners, graph, transparent);
    }

    int DrawBox(int x1, int y1, int x2, int y2, uint32_t color, int fill) override {
        return fill != 0 ? DrawFilledBox2D(x1, y1, x2, y2, color) : DrawBox2D(x1, y1, x2, y2, color);
    }

    int ClearDrawScreen() override { return ClearDrawScreen2D(); }

    int GetDrawScreenGraph(int x1, int y1, int x2, int y2, GraphData& graph, int flag) override {
        return GetDrawScreenGraph2D(x1, y1, x2, y2, graph, flag);
    }
};

}  // namespace

GraphDrawPath& TwoDDrawPath() {
    static TwoDPathImpl path;
    return path;
}

}  // namespace velk
