#pragma once
// Fakes of the two draw paths and the host: each path call is written as one
// line ("2d DrawGraph 10 20 ...") into a shared list, so tests can check which
// path got which draw with which arguments, in which order.

#include <sstream>
#include <string>
#include <vector>

#include "lib/graphics/draw_path.h"
#include "lib/graphics/draw_settings.h"
#include "lib/graphics/graph_table.h"

namespace velk::testing {

class RecordingPath : public GraphDrawPath {
public:
    RecordingPath(std::string name, std::vector<std::string>* calls) : name_(std::move(name)), calls_(calls) {}

    int make_result = 0;
    int target_result = 0;
    int viewport_result = 0;
    bool record_state = false;  // also write blend, bright and area changes

    int MakeGraphParts(GraphData& g) override { Log("MakeGraphParts", g.width, g.height); return make_result; }
    int DeriveGraphParts(GraphData& d, const GraphData& s, int x, int y) override {
        Log("DeriveGraphParts", x, y, d.width, d.height, s.handle == 0 ? 0 : 1); return make_result;
    }
    int DeleteGraphParts(GraphData& g) override { Log("DeleteGraphParts", g.width, g.height); return 0; }
    int FillGraphParts(GraphData& g, const GraphImage& image, const GraphImage* alpha, int dx, int dy, int sx,
                       int sy) override {
        Log("FillGraphParts", image.width, image.height, alpha != nullptr ? 1 : 0, dx, dy, sx, sy); return 0;
    }
    int FillGraphColor(GraphData&, int r, int g, int b, int a) override {
        Log("FillGraphColor", r, g, b, a); return 0;
    }
    int RefreshGraphParts(GraphData&) override { Log("RefreshGraphParts"); return 0; }
    int SetDrawTarget(int screen, GraphData* graph) override {
        Log("SetDrawTarget", screen == kBackScreen || screen == kFrontScreen ? screen : 1); return target_result;
    }
    int SetDrawArea(const Rect& a) override {
        if (record_state) Log("SetDrawArea", a.left, a.top, a.right, a.bottom);
        return viewport_result;
    }
    void DrawColorStateChanged() override {
        if (!record_state) return;
        const DrawSettings& s = GetDrawSettings();
        Log("ColorState", s.blend_mode, s.blend_param, int{s.bright_red}, int{s.bright_green}, int{s.bright_blue});
    }
    void EndScene() override { if (record_state) Log("EndScene"); }
    int DrawGraph(int x, int y, float fx, float fy, GraphData& g, int t) override {
        Log("DrawGraph", x, y, static_cast<int>(fx), static_cast<int>(fy), g.width, t); return draw_result;
    }
    int DrawGraphScaled(int x1, int y1, int x2, int y2, GraphData& g, int t) override {
        Log("DrawGraphScaled", x1, y1, x2, y2, g.width, t); return draw_result;
    }
    int DrawGraphRotated(float x, float y, double scale, double angle, GraphData& g, int t, int turn) override {
        Log("DrawGraphRotated", static_cast<int>(x), static_cast<int>(y), static_cast<int>(scale * 100),
            static_cast<int>(angle * 100), t, turn);
        return draw_result;
    }
    int DrawGraphFourCorner(const float c[8], GraphData&, int t) override {
        Log("DrawGraphFourCorner", static_cast<int>(c[0]), static_cast<int>(c[1]), static_cast<int>(c[2]),
            static_cast<int>(c[3]), static_cast<int>(c[4]), static_cast<int>(c[5]), static_cast<int>(c[6]),
            static_cast<int>(c[7]), t);
        return draw_result;
    }
    int DrawBox(int x1, int y1, int x2, int y2, uint32_t color, int fill) override {
        const DrawSettings& s = GetDrawSettings();
        Log("DrawBox", x1, y1, x2, y2, static_cast<int>(color & 0xFFFF), fill, s.blend_mode, s.blend_param,
            int{s.bright_red});
        return 0;
    }
    int ClearDrawScreen() override { Log("ClearDrawScreen"); return 0; }
    int GetDrawScreenGraph(int x1, int y1, int x2, int y2, GraphData&, int flag) override {
        Log("GetDrawScreenGraph", x1, y1, x2, y2, flag); return 0;
    }

    int draw_result = 0;

private:
    template <typename... Args>
    void Log(const char* what, Args... args) {
        std::ostringstream line;
        line << name_ << " " << what;
        ((line << " " << args), ...);
        calls_->push_back(line.str());
    }

    std::string name_;
    std::vector<std::string>* calls_;
};

class FakeHost : public GraphicsHost {
public:
    explicit FakeHost(std::vector<std::string>* calls) : calls_(calls) {}
    bool direct3d = false;
    bool software = false;
    bool masks = false;
    int width = 0, height = 0, bits = 0;
    std::string directory = "game";
    bool movie_service = false;
    Rect client{0, 0, 640, 480};
    int desktop_width = 1920, desktop_height = 1080;

    Rect WindowClientRect() const override { return client; }
    int DesktopWidth() const override { return desktop_width; }
    int DesktopHeight() const override { return desktop_height; }
    int ScreenWidth() const override { return width; }
    int ScreenHeight() const override { return height; }
    int ScreenColorBits() const override { return bits; }
    bool Direct3DReady() const override { return direct3d; }
    bool SoftwareRendering() const override { return software; }
    bool MasksInUse() const override { return masks; }
    void MaskBeforeDraw(const Rect& a) override { Log("MaskBefore " + RectText(a)); }
    void MaskAfterDraw(const Rect& a) override { Log("MaskAfter " + RectText(a)); }
    void CopyFrontScreenToWindow(const Rect& a) override { Log("CopyToWindow " + RectText(a)); }
    void UpdateMovieFrame(int movie) override { Log("UpdateMovieFrame " + std::to_string(movie)); }
    bool MoviePlaysThroughService(int) const override { return movie_service; }
    void ShowMovieOverlay(int x, int y, int zoom, int movie) override {
        Log("ShowMovieOverlay " + std::to_string(x) + " " + std::to_string(y) + " " + std::to_string(zoom));
    }
    void CloseMovie(int movie) override { Log("CloseMovie " + std::to_string(movie)); }
    std::string CurrentDirectory() const override { return directory; }
    void SetCurrentDirectory(const std::string& d) override { directory = d; }
    void RestoreFontGlyphCaches() override { Log("RestoreFontGlyphCaches"); }

private:
    static std::string RectText(const Rect& a) {
        return std::to_string(a.left) + " " + std::to_string(a.top) + " " + std::to_string(a.right) + " " +
               std::to_string(a.bottom);
    }
    void Log(const std::string& line) { calls_->push_back("host " + line); }
    std::vector<std::string>* calls_;
};

// Installs the fakes and starts graph management; undoes both at the end.
class GraphicsFixture {
public:
    GraphicsFixture() : direct3d("3d", &calls), two_d("2d", &calls), host(&calls) {
        SetGraphDrawPaths(&direct3d, &two_d);
        SetGraphicsHost(&host);
    }
    ~GraphicsFixture() {
        EndGraphManagement();
        SetGraphDrawPaths(nullptr, nullptr);
        SetGraphicsHost(nullptr);
    }
    void Start() {
        InitGraphManagement();
        calls.clear();
    }

    std::vector<std::string> calls;
    RecordingPath direct3d;
    RecordingPath two_d;
    FakeHost host;
};

// A graph that can be drawn on.
inline int MakeDrawTarget(int width, int height) {
    SetCreateDrawValidGraph(1);
    const int g = CreateEmptyGraph(width, height, 1);
    SetCreateDrawValidGraph(0);
    return g;
}

}  // namespace velk::testing
