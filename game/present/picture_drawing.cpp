#include "game/present/picture_drawing.h"

#include "lib/api/library_api.h"

namespace velk {
namespace {

class LibraryPictureDrawing final : public PictureDrawing {
public:
    void DrawGraphScaled(int x1, int y1, int x2, int y2, int graph, bool transparent) override {
        velk::DrawGraphScaled(x1, y1, x2, y2, graph, transparent ? 1 : 0);
    }
    void DrawGraphRotated(int x, int y, double scale, double angle, int graph, bool transparent) override {
        velk::DrawGraphRotated(x, y, scale, angle, graph, transparent ? 1 : 0, 0);
    }
    void SetDrawBlendMode(int mode, int parameter) override { velk::SetDrawBlendMode(mode, parameter); }
    void SetDrawBrightness(int red, int green, int blue) override { velk::SetDrawBrightness(red, green, blue); }
    int LoadGraphAsOneTexture(const std::string& path) override { return velk::LoadGraphAsOneTexture(path.c_str()); }
    void DeleteGraph(int graph) override { velk::DeleteGraph(graph, 0); }
    void CaptureScreen(int x1, int y1, int x2, int y2, int graph) override {
        velk::GetDrawScreenGraph(x1, y1, x2, y2, graph, 0);
    }
};

}  // namespace

PictureDrawing& GamePictureDrawing() {
    static LibraryPictureDrawing drawing;
    return drawing;
}

}  // namespace velk
