#include "lib/graphics/graph_draw.h"

#include <algorithm>
#include <cmath>

#include "lib/graphics/draw_path.h"
#include "lib/graphics/draw_settings.h"
#include "lib/graphics/draw_settings_internal.h"
#include "lib/graphics/graph_table.h"

namespace velk {

namespace {

void WaitIfInactive() {
    if (!Host().WindowActive()) {
        Host().WaitWhileInactive();
    }
}

// The graph of a draw, or null when it is not live or does not fit the blend
// graph in use.
GraphData* DrawableGraph(int graph, const DrawSettings& s) {
    GraphData* g = GetGraphData(graph);
    if (g == nullptr) {
        return nullptr;
    }
    if (s.blend_graph != -1) {
        const GraphData* blend = GetGraphData(s.blend_graph);
        if (blend == nullptr || blend->width < g->width || blend->height < g->height) {
            return nullptr;
        }
    }
    return g;
}

bool SoftwareFrontScreen(const GraphicsHost& host, const DrawSettings& s) {
    return host.SoftwareRendering() && s.draw_screen == kFrontScreen && host.ScreenColorBits() != 8;
}

bool SoftwareFrontScreen() { return SoftwareFrontScreen(Host(), GetDrawSettings()); }

// Brings a movie graph's frame up to date. With zoom > 0 a movie shown
// through the platform's movie service goes to its overlay instead: true.
bool ShownAsOverlay(const GraphData& g, int x, int y, int zoom) {
    if (g.movie == -1) {
        return false;
    }
    Host().UpdateMovieFrame(g.movie);
    if (zoom > 0 && Host().MoviePlaysThroughService(g.movie)) {
        Host().ShowMovieOverlay(x, y, zoom, g.movie);
        return true;
    }
    return false;
}

Rect Ordered(int x1, int y1, int x2, int y2) {
    return Rect{std::min(x1, x2), std::min(y1, y2), std::max(x1, x2), std::max(y1, y2)};
}

// Subtract on a texture graph: invert the destination with a white fill,
// add the graph weighted by alpha, invert again.
template <typename Draw>
int DrawSubtractInThreePasses(const Rect& covered, Draw draw) {
    const DrawSettings& s = GetDrawSettings();
    const int param = s.blend_param;
    const uint32_t white = GetColorValue(255, 255, 255);
    auto invert = [&]() {
        const uint8_t r = s.bright_red, g = s.bright_green, b = s.bright_blue;
        SetDrawBrightness(255, 255, 255);
        SetDrawBlendMode(3, 255);
        Direct3DPath().DrawBox(covered.left, covered.top, covered.right, covered.bottom, white, 1);
        SetDrawBrightness(r, g, b);
    };
    invert();
    SetDrawBlendMode(5, param);
    const int result = draw(Direct3DPath());
    invert();
    SetDrawBlendMode(3, param);
    return result;
}

// Everything around the path's draw: masks, the software front screen, and
// the three-pass subtract of texture graphs.
template <typename Draw>
int DrawFramed(GraphData& g, const Rect& covered, Draw draw) {
    GraphicsHost& host = Host();
    const DrawSettings& s = GetDrawSettings();
    const bool masks = host.MasksInUse();
    if (masks) {
        host.MaskBeforeDraw(covered);
    }
    const bool software_front = SoftwareFrontScreen(host, s);
    if (software_front && host.WindowReadFlag()) {
        host.ReadWindowToFrontMemImg();
    }
    int result;
    if (g.texture != 0 && s.blend_mode == 3) {
        result = DrawSubtractInThreePasses(covered, draw);
    } else {
        result = draw(PathOfGraph(g));
    }
    if (masks) {
        host.MaskAfterDraw(covered);
    }
    if (software_front) {
        host.CopyFrontScreenToWindow(covered);
    }
    return result;
}

// The start every graph draw shares: an empty draw area draws nothing
// (result 0) and a bad handle fails (-1); otherwise the draw waits out an
// inactive window and goes on with the graph.
struct GraphDrawStart {
    GraphData* graph;
    int early_result;
};

GraphDrawStart StartGraphDraw(int graph) {
    const DrawSettings& s = GetDrawSettings();
    if (s.draw_area_empty != 0) {
        return {nullptr, 0};
    }
    GraphData* g = DrawableGraph(graph, s);
    if (g == nullptr) {
        return {nullptr, -1};
    }
    WaitIfInactive();
    return {g, 0};
}

Rect BoundingBox(const float* xs, const float* ys, int count, float widen) {
    float left = xs[0], right = xs[0], top = ys[0], bottom = ys[0];
    for (int i = 1; i < count; ++i) {
        left = std::min(left, xs[i]);
        right = std::max(right, xs[i]);
        top = std::min(top, ys[i]);
        bottom = std::max(bottom, ys[i]);
    }
    return Rect{static_cast<int>(left - widen), static_cast<int>(top - widen), static_cast<int>(right + widen),
                static_cast<int>(bottom + widen)};
}

}  // namespace

int DrawGraph(int x, int y, int graph, int transparent) {
    const GraphDrawStart start = StartGraphDraw(graph);
    GraphData* const g = start.graph;
    if (g == nullptr) {
        return start.early_result;
    }
    if (ShownAsOverlay(*g, x, y, 1)) {
        return -1;
    }
    const Rect covered{x, y, x + g->width, y + g->height};
    return DrawFramed(*g, covered, [&](GraphDrawPath& path) {
        return path.DrawGraph(x, y, static_cast<float>(x), static_cast<float>(y), *g, transparent);
    });
}

int DrawGraphScaled(int x1, int y1, int x2, int y2, int graph, int transparent) {
    const GraphDrawStart start = StartGraphDraw(graph);
    GraphData* const g = start.graph;
    if (g == nullptr) {
        return start.early_result;
    }
    const int zoom = g->width != 0 ? (x2 - x1) / g->width : 0;
    if (ShownAsOverlay(*g, x1, y1, zoom > 0 ? zoom : 1)) {
        return -1;
    }
    return DrawFramed(*g, Ordered(x1, y1, x2, y2), [&](GraphDrawPath& path) {
        return path.DrawGraphScaled(x1, y1, x2, y2, *g, transparent);
    });
}

int DrawGraphRotatedF(float x, float y, double scale, double angle, int graph, int transparent, int turn) {
    const GraphDrawStart start = StartGraphDraw(graph);
    GraphData* const g = start.graph;
    if (g == nullptr) {
        return start.early_result;
    }
    ShownAsOverlay(*g, 0, 0, 0);
    const int w = g->width, h = g->height;
    const double cx[4] = {-static_cast<double>(w / 2), static_cast<double>(w - w / 2), -static_cast<double>(w / 2),
                          static_cast<double>(w - w / 2)};
    const double cy[4] = {-static_cast<double>(h / 2), -static_cast<double>(h / 2), static_cast<double>(h - h / 2),
                          static_cast<double>(h - h / 2)};
    const double s = std::sin(angle), c = std::cos(angle);
    const double ix = static_cast<int>(x), iy = static_cast<int>(y);
    float xs[4], ys[4];
    for (int i = 0; i < 4; ++i) {
        xs[i] = static_cast<float>(ix + (cx[i] * c - cy[i] * s) * scale);
        ys[i] = static_cast<float>(iy + (cy[i] * c + cx[i] * s) * scale);
    }
    return DrawFramed(*g, BoundingBox(xs, ys, 4, 5.0f), [&](GraphDrawPath& path) {
        return path.DrawGraphRotated(x, y, scale, angle, *g, transparent, turn);
    });
}

int DrawGraphRotated(int x, int y, double scale, double angle, int graph, int transparent, int turn) {
    return DrawGraphRotatedF(static_cast<float>(x), static_cast<float>(y), scale, angle, graph, transparent, turn);
}

int DrawTurnGraph(int x, int y, int graph, int transparent) {
    int w = 0, h = 0;
    if (GetDrawSettings().draw_area_empty == 0 && GetGraphSize(graph, &w, &h) != 0) {
        return -1;
    }
    return DrawGraphScaled(x + w, y, x, y + h, graph, transparent);
}

int DrawModiGraphF(float x1, float y1, float x2, float y2, float x3, float y3, float x4, float y4, int graph,
                   int transparent) {
    const GraphDrawStart start = StartGraphDraw(graph);
    GraphData* const g = start.graph;
    if (g == nullptr) {
        return start.early_result;
    }
    ShownAsOverlay(*g, 0, 0, 0);
    const float corners[8] = {x1, y1, x2, y2, x3, y3, x4, y4};
    const float xs[4] = {x1, x2, x3, x4}, ys[4] = {y1, y2, y3, y4};
    Rect covered = BoundingBox(xs, ys, 4, 0.0f);
    auto hold = [](int v) { return std::clamp(v, 0, 0xFFFFFF); };
    covered = Rect{hold(covered.left), hold(covered.top), hold(covered.right), hold(covered.bottom)};
    return DrawFramed(*g, covered,
                      [&](GraphDrawPath& path) { return path.DrawGraphFourCorner(corners, *g, transparent); });
}

namespace {

// Runs a draw with the draw area cut to a rectangle, then puts the area back
// exactly. A cut that leaves nothing draws nothing.
template <typename Draw>
int DrawClipped(const Rect& clip, Draw draw) {
    const SavedDrawArea saved = SaveDrawArea();
    const Rect& a = saved.area;
    const Rect cut{std::max(a.left, clip.left), std::max(a.top, clip.top), std::min(a.right, clip.right),
                   std::min(a.bottom, clip.bottom)};
    if (saved.empty != 0 || cut.right <= cut.left || cut.bottom <= cut.top) {
        return 0;
    }
    SetDrawArea(cut.left, cut.top, cut.right, cut.bottom);
    const int result = draw();
    RestoreDrawArea(saved);
    return result;
}

}  // namespace

int DrawRectGraph(int x, int y, int source_x, int source_y, int width, int height, int graph, int transparent,
                  int turn) {
    if (GetGraphData(graph) == nullptr) {
        return GetDrawSettings().draw_area_empty != 0 ? 0 : -1;
    }
    return DrawClipped(Rect{x, y, x + width, y + height}, [&]() {
        if (turn == 0) {
            return DrawGraph(x - source_x, y - source_y, graph, transparent);
        }
        const int graph_width = GetGraphData(graph)->width;
        return DrawTurnGraph(x - graph_width + source_x + width, y - source_y, graph, transparent);
    });
}

int DrawRectExtendGraph(int dest_x1, int dest_y1, int dest_x2, int dest_y2, int source_x, int source_y,
                        int source_width, int source_height, int graph, int transparent) {
    const GraphData* g = GetGraphData(graph);
    if (g == nullptr || source_width <= 0 || source_height <= 0) {
        return GetDrawSettings().draw_area_empty != 0 ? 0 : -1;
    }
    const double fx = static_cast<double>(dest_x2 - dest_x1) / source_width;
    const double fy = static_cast<double>(dest_y2 - dest_y1) / source_height;
    const int x1 = static_cast<int>(std::lround(dest_x1 - source_x * fx));
    const int y1 = static_cast<int>(std::lround(dest_y1 - source_y * fy));
    const int x2 = static_cast<int>(std::lround(dest_x1 + (g->width - source_x) * fx));
    const int y2 = static_cast<int>(std::lround(dest_y1 + (g->height - source_y) * fy));
    return DrawClipped(Ordered(dest_x1, dest_y1, dest_x2, dest_y2),
                       [&]() { return DrawGraphScaled(x1, y1, x2, y2, graph, transparent); });
}

int DrawBlendGraph(int x, int y, int graph, int transparent, int blend_graph, int border_param, int border_range) {
    const DrawSettings& s = GetDrawSettings();
    const int saved_graph = s.blend_graph, saved_param = s.blend_border_param, saved_range = s.blend_border_range;
    if (SetBlendGraph(blend_graph, border_param, border_range) != 0) {
        return -1;
    }
    // The draw's own result: a bad graph or an unfit blend graph is a failure.
    const int result = DrawGraph(x, y, graph, transparent);
    SetBlendGraph(saved_graph, saved_param, saved_range);
    return result;
}

int DrawBox(int x1, int y1, int x2, int y2, uint32_t color, int fill) {
    if (GetDrawSettings().draw_area_empty != 0) {
        return 0;
    }
    WaitIfInactive();
    GraphicsHost& host = Host();
    const Rect covered = Ordered(x1, y1, x2, y2);
    const bool masks = host.MasksInUse();
    if (masks) {
        host.MaskBeforeDraw(covered);
    }
    const bool software_front = SoftwareFrontScreen();
    if (software_front && host.WindowReadFlag()) {
        host.ReadWindowToFrontMemImg();
    }
    GraphDrawPath& path = GetUse3DFlag() != 0 ? Direct3DPath() : TwoDPath();
    path.DrawBox(x1, y1, x2, y2, color, fill);
    if (masks) {
        host.MaskAfterDraw(covered);
    }
    if (software_front) {
        host.CopyFrontScreenToWindow(covered);
    }
    return 0;
}

int FillGraph(int graph, int red, int green, int blue, int alpha) {
    GraphData* g = GetGraphData(graph);
    if (g == nullptr) {
        return -1;
    }
    return PathOfGraph(*g).FillGraphColor(*g, red, green, blue, alpha);
}

int ClearDrawScreen() {
    WaitIfInactive();
    if (Host().Direct3DReady()) {
        Direct3DPath().ClearDrawScreen();
    }
    TwoDPath().ClearDrawScreen();
    if (SoftwareFrontScreen()) {
        int w = 0, h = 0;
        GetScreenModeInfo(&w, &h, nullptr);
        Host().CopyFrontScreenToWindow(Rect{0, 0, w, h});
    }
    return 0;
}

int GetDrawScreenGraph(int x1, int y1, int x2, int y2, int graph, int flag) {
    GraphData* g = GetGraphData(graph);
    if (g == nullptr) {
        return -1;
    }
    WaitIfInactive();
    Direct3DPath().EndScene();
    return PathOfGraph(*g).GetDrawScreenGraph(x1, y1, x2, y2, *g, flag);
}

namespace {

ColorData ScreenFormat() {
    if (const ColorData* data = Host().ScreenColorData()) {
        return *data;
    }
    int bits = 16;
    GetScreenModeInfo(nullptr, nullptr, &bits);
    ColorData c;
    if (bits == 8) {
        CreatePaletteColorData(&c);
    } else if (bits == 16) {
        CreateColorDataFromMasks(&c, 16, 0xF800, 0x7E0, 0x1F, 0);
    } else {
        CreateXRGB32ColorData(&c);
    }
    return c;
}

}  // namespace

uint32_t GetColorValue(int red, int green, int blue) {
    const ColorData c = ScreenFormat();
    return GetColorByColorData(&c, red, green, blue, 255);
}

int GetColorRGB(uint32_t color, int* red, int* green, int* blue) {
    const ColorData c = ScreenFormat();
    if (IsPaletteColorData(&c)) {
        if (color > 255) {
            return -1;
        }
        const PaletteEntry& e = c.palette[color];
        if (red != nullptr) *red = e.red;
        if (green != nullptr) *green = e.green;
        if (blue != nullptr) *blue = e.blue;
        return 0;
    }
    return GetColorRGBAByColorData(&c, color, red, green, blue, nullptr);
}

}  // namespace velk
