#include "lib/graphics/direct3d/direct3d_draw_path.h"

#include "lib/graphics/direct3d/device_3d.h"
#include "lib/graphics/direct3d/graph_draw_3d.h"
#include "lib/graphics/direct3d/render_state_3d.h"
#include "lib/graphics/direct3d/surface_3d.h"
#include "lib/graphics/draw_path.h"
#include "lib/graphics/draw_settings.h"
#include "lib/graphics/graph_table.h"

namespace velk {

namespace {

class Direct3DPathImpl final : public GraphDrawPath {
public:
    int MakeGraphParts(GraphData& graph) override { return MakeGraphTextures(graph); }

    int DeriveGraphParts(GraphData& derived, const GraphData& source, int x, int y) override {
        return DeriveGraphTextures(derived, x, y, derived.width, derived.height, source);
    }

    int DeleteGraphParts(GraphData& graph) override { return DeleteGraphTextures(graph); }

    int FillGraphParts(GraphData& graph, const GraphImage& image, const GraphImage* alpha, int dest_x, int dest_y,
                       int source_x, int source_y) override {
        return FillGraphTextures(graph, image, alpha, dest_x, dest_y, source_x, source_y);
    }

    int FillGraphColor(GraphData& graph, int red, int green, int blue, int alpha) override {
        return FillGraphTexturesColor(graph, red, green, blue, alpha);
    }

    int RefreshGraphParts(GraphData& graph) override {
        if (CheckGraphTexturesLost(graph) != 0) graph.needs_restore = 1;
        return 0;
    }

    int SetDrawTarget(int screen, GraphData* graph) override { return SetDrawScreenD3D(screen, graph); }
    int SetDrawArea(const Rect& area) override { return SetDrawAreaD3D(area); }
    void DrawColorStateChanged() override { UpdateDrawColorD3D(); }
    void DrawModeChanged() override { SetDrawModeD3D(GetDrawSettings().draw_mode); }

    void BlendGraphChanged() override {
        const DrawSettings& s = GetDrawSettings();
        const GraphData* blend = s.blend_graph != -1 ? GetGraphData(s.blend_graph) : nullptr;
        SetBlendGraphD3D(blend, s.blend_border_param, s.blend_border_range);
    }

    void MatrixChanged(int kind, const Matrix& matrix) override {
        if (platform::D3dDevice* device = GetDevice3DInterface()) {
            FlushVertexBufferD3D();
            device->SetTransform(static_cast<uint32_t>(kind + 1), matrix.m);
        }
    }

    void EndScene() override { EndSceneD3D(); }

    int DrawGraph(int x, int y, float fx, float fy, GraphData& graph, int transparent) override {
        return DrawGraphD3D(x, y, fx, fy, graph, transparent, 1);
    }

    int DrawGraphScaled(int x1, int y1, int x2, int y2, GraphData& graph, int transparent) override {
        return DrawGraphScaledD3D(x1, y1, x2, y2, static_cast<float>(x1), static_cast<float>(y1),
                                  static_cast<float>(x2), static_cast<float>(y2), graph, transparent, 0);
    }

    int DrawGraphRotated(float x, float y, double scale, double angle, GraphData& graph, int transparent,
                         int turn) override {
        return DrawGraphRotatedD3D(x, y, scale, angle, graph, transparent, turn);
    }

    int DrawGraphFourCorner(const float corners[8], GraphData& graph, int transparent) override {
        return DrawGraphQuadD3D(corners, graph, transparent);
    }

    int DrawBox(int x1, int y1, int x2, int y2, uint32_t color, int fill) override {
        return fill != 0 ? DrawFilledBoxD3D(x1, y1, x2, y2, color) : DrawBoxD3D(x1, y1, x2, y2, color);
    }

    int ClearDrawScreen() override { return ClearDrawScreenD3D(); }

    int GetDrawScreenGraph(int x1, int y1, int x2, int y2, GraphData& graph, int flag) override {
        return GetDrawScreenGraphD3D(x1, y1, x2, y2, graph, flag);
    }
};

}  // namespace

GraphDrawPath& Direct3DDrawPath() {
    static Direct3DPathImpl path;
    return path;
}

}  // namespace velk
