#include "game/present/scene_drawing.h"

#include "lib/api/library_api.h"

namespace velk {
namespace {

class LibrarySceneDrawing final : public SceneDrawing {
public:
    void DrawGraph(int x, int y, int graph, bool transparent) override {
        velk::DrawGraph(x, y, graph, transparent ? 1 : 0);
    }
    void DrawGraphScaled(int x1, int y1, int x2, int y2, int graph, bool transparent) override {
        velk::DrawGraphScaled(x1, y1, x2, y2, graph, transparent ? 1 : 0);
    }
    void DrawRectGraph(int x, int y, int sourceX, int sourceY, int width, int height, int graph,
                       bool transparent) override {
        velk::DrawRectGraph(x, y, sourceX, sourceY, width, height, graph, transparent ? 1 : 0, 0);
    }
    void DrawBlendGraph(int x, int y, int graph, bool transparent, int blendGraph, int border,
                        int borderRange) override {
        velk::DrawBlendGraph(x, y, graph, transparent ? 1 : 0, blendGraph, border, borderRange);
    }
    void DrawFilledBox(int x1, int y1, int x2, int y2, int red, int green, int blue) override {
        velk::DrawBox(x1, y1, x2, y2, velk::GetColorValue(red, green, blue), 1);
    }
    int CreateDerivedGraph(int x, int y, int width, int height, int source) override {
        return velk::CreateDerivedGraph(x, y, width, height, source);
    }
    void DeleteGraph(int graph) override { velk::DeleteGraph(graph, 0); }
    bool GetGraphSize(int graph, int& width, int& height) override {
        return velk::GetGraphSize(graph, &width, &height) == 0;
    }
    void SetDrawBlendMode(int mode, int parameter) override { velk::SetDrawBlendMode(mode, parameter); }
    void SetDrawBrightness(int red, int green, int blue) override { velk::SetDrawBrightness(red, green, blue); }
    void SetDrawMode(int mode) override { velk::SetDrawMode(mode); }
};

}  // namespace

SceneDrawing& GameSceneDrawing() {
    static LibrarySceneDrawing drawing;
    return drawing;
}

}  // namespace velk
