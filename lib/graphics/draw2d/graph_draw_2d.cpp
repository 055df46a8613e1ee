#include "lib/graphics/draw2d/graph_draw_2d.h"

#include <algorithm>
#include <cmath>

#include "lib/core/base_routines.h"
#include "lib/graphics/draw2d/draw_destination.h"
#include "lib/graphics/draw_path.h"
#include "lib/graphics/draw_settings.h"
#include "lib/graphics/screen/draw_target.h"
#include "lib/graphics/screen/screen_state.h"
#include "lib/graphics/screen/surface_2d.h"
#include "lib/softrender/memimg_draw.h"
#include "lib/softrender/transform/transformed_fill.h"
#include "platform/display/display_surface.h"

namespace velk {

namespace {

// Pending Direct3D work is finished before the software renderer touches
// pixels it may share.
void HandOverFromDirect3D() { Direct3DPath().EndScene(); }

const Surface2DData* FirstPart(const GraphData& graph) {
    return graph.part_count > 0 ? GetSurface2DData(graph.parts[0]) : nullptr;
}

bool IsEmpty(const Rect& r) { return r.right <= r.left || r.bottom <= r.top; }

// An unscaled draw of a part onto display surfaces, handed over from
// Direct3D: the display's own copy where it can make it, else through the lock.
int DrawPartOnSurfaces(int x, int y, const Surface2DData* part, int transparent, const MEMIMG* blend) {
    Rect clipped{x, y, x + part->width, y + part->height};
    ClipRect(&clipped, &GetDrawSettings().draw_area);
    if (IsEmpty(clipped)) return 0;
    const Rect source_rect{clipped.left - x, clipped.top - y, clipped.right - x, clipped.bottom - y};
    if (BlitPartByDisplay(*part, source_rect, clipped, transparent)) return 0;
    // The display's own copy was declined just now: the lock need not weigh it again.
    DrawDestination destination;
    if (destination.OpenLocked(part, 0, &source_rect, clipped, 0, nullptr) != 0) return -1;
    BltMemImg(destination.dest(), destination.source(), destination.x(x), destination.y(y), transparent, blend);
    return 0;
}

// DrawSurface2D; `hand_over` false when the graph's draw has handed over
// from Direct3D already.
int DrawPart2D(int x, int y, int surface, int transparent, bool hand_over) {
    if (!TwoDReady()) return -1;
    const Surface2DData* part = GetSurface2DData(surface);
    if (part == nullptr) return -1;
    const MEMIMG* blend = GetBlendGraphMemImg();
    if (DrawsInSoftwareMode()) {
        DrawDestination destination;
        if (!destination.OpenSoftware(part)) return -1;
        BltMemImg(destination.dest(), destination.source(), x, y, transparent, blend);
        return 0;
    }
    if (hand_over) HandOverFromDirect3D();
    return DrawPartOnSurfaces(x, y, part, transparent, blend);
}

}  // namespace

int DrawSurface2D(int x, int y, int surface, int transparent) { return DrawPart2D(x, y, surface, transparent, true); }

int DrawGraph2D(int x, int y, GraphData& graph, int transparent) {
    HandOverFromDirect3D();
    if (graph.part_count < 1) return -1;
    return DrawPart2D(x, y, graph.parts[0], transparent, false);
}

int DrawGraphScaled2D(int x1, int y1, int x2, int y2, GraphData* graph, int transparent, int surface) {
    if (!TwoDReady()) return -1;
    const Rect normal{std::min(x1, x2), std::min(y1, y2), std::max(x1, x2), std::max(y1, y2)};
    const bool mirror_x = x1 > x2;
    const bool mirror_y = y1 > y2;
    const int part_handle = surface != -1 ? surface : (graph != nullptr && graph->part_count > 0 ? graph->parts[0] : -1);
    const Surface2DData* part = GetSurface2DData(part_handle);
    if (part == nullptr) return -1;
    const int source_width = surface != -1 || graph == nullptr ? part->width : graph->width;
    const int source_height = surface != -1 || graph == nullptr ? part->height : graph->height;
    const MEMIMG* blend = GetBlendGraphMemImg();
    const Rect caller{x1, y1, x2, y2};
    DrawDestination destination;
    if (DrawsInSoftwareMode()) {
        if (!destination.OpenSoftware(part)) return -1;
        BltMemImgScaled(destination.dest(), destination.source(), &caller, transparent, blend);
        return 0;
    }
    HandOverFromDirect3D();
    const int width = normal.right - normal.left;
    const int height = normal.bottom - normal.top;
    if (width == 0 || height == 0) return -1;
    if (width == source_width && height == source_height && !mirror_x && !mirror_y)
        return DrawPartOnSurfaces(normal.left, normal.top, part, transparent, blend);
    // 16.16 steps, computed wide so large sizes cannot overflow.
    const int64_t step_x = (static_cast<int64_t>(width) << 16) / source_width;
    const int64_t step_y = (static_cast<int64_t>(height) << 16) / source_height;
    if (step_x <= 0 || step_y <= 0) return -1;
    Rect clipped = normal;
    ClipRect(&clipped, &GetDrawSettings().draw_area);
    if (IsEmpty(clipped)) return -1;
    int64_t source_left = clipped.left != normal.left ? (static_cast<int64_t>(clipped.left - normal.left) << 16) / step_x : 0;
    int64_t source_top = clipped.top != normal.top ? (static_cast<int64_t>(clipped.top - normal.top) << 16) / step_y : 0;
    int64_t source_right = source_left + ((static_cast<int64_t>(clipped.right - clipped.left) << 16) + step_x - 1) / step_x;
    int64_t source_bottom = source_top + ((static_cast<int64_t>(clipped.bottom - clipped.top) << 16) + step_y - 1) / step_y;
    source_right = std::min<int64_t>(source_right, source_width);
    source_bottom = std::min<int64_t>(source_bottom, source_height);
    if (mirror_x) {
        const int64_t left = source_width - source_right;
        source_right = source_width - source_left;
        source_left = left;
    }
    if (mirror_y) {
        const int64_t top = source_height - source_bottom;
        source_bottom = source_height - source_top;
        source_top = top;
    }
    const Rect source_rect{static_cast<int>(source_left), static_cast<int>(source_top), static_cast<int>(source_right),
                           static_cast<int>(source_bottom)};
    if (destination.OpenLocked(part, 0, &source_rect, clipped, 0, nullptr) != 0) return -1;
    const Rect shifted = destination.Shift(caller);
    BltMemImgScaled(destination.dest(), destination.source(), &shifted, transparent, blend);
    return 0;
}

int DrawGraphRotated2D(float centre_x, float centre_y, double scale, double angle, GraphData& graph,
                       int transparent, int turn) {
    const int x = FloatToInt(centre_x);
    const int y = FloatToInt(centre_y);
    if (!TwoDReady()) return -1;
    const Surface2DData* part = FirstPart(graph);
    if (part == nullptr) return -1;
    const MEMIMG* blend = GetBlendGraphMemImg();
    DrawDestination destination;
    if (DrawsInSoftwareMode()) {
        if (!destination.OpenSoftware(part)) return -1;
        DrawMemImgRotated(destination.dest(), destination.source(), x, y, static_cast<float>(angle),
                          static_cast<float>(scale), transparent, turn, blend);
        return 0;
    }
    HandOverFromDirect3D();
    // The lock box is the bounding box of the image as the renderer places
    // it: texel (w / 2, h / 2), halves rounded down, sits on the centre, so an
    // odd size reaches one half texel further right and down than left and
    // up. The renderer samples pixel centres with rounded steps; one pixel of
    // margin on every side keeps each pixel it may reach inside the box.
    float sine = 0.0f;
    float cosine = 0.0f;
    GetSinCos(static_cast<float>(angle), &sine, &cosine);
    const int w = part->width;
    const int h = part->height;
    const double left = -static_cast<double>(w / 2) * scale;
    const double right = static_cast<double>(w - w / 2) * scale;
    const double top = -static_cast<double>(h / 2) * scale;
    const double bottom = static_cast<double>(h - h / 2) * scale;
    const double cx[4] = {left, right, left, right};
    const double cy[4] = {top, top, bottom, bottom};
    double min_x = 1000000.0, min_y = 1000000.0, max_x = -1000000.0, max_y = -1000000.0;
    for (int i = 0; i < 4; ++i) {
        const double px = cosine * cx[i] - sine * cy[i] + x;
        const double py = sine * cx[i] + cosine * cy[i] + y;
        min_x = std::min(min_x, px);
        min_y = std::min(min_y, py);
        max_x = std::max(max_x, px);
        max_y = std::max(max_y, py);
    }
    // A scale or angle that is not a number places nothing. Otherwise held
    // within what a rectangle carries; the renderer refuses centres that far
    // out anyway.
    if (!std::isfinite(min_x + min_y + max_x + max_y)) return -1;
    const auto to_int = [](double v) { return static_cast<int>(std::clamp(v, -1.0e8, 1.0e8)); };
    const Rect dest_rect{to_int(std::floor(min_x)) - 1, to_int(std::floor(min_y)) - 1, to_int(std::ceil(max_x)) + 1,
                         to_int(std::ceil(max_y)) + 1};
    const Rect source_rect{0, 0, part->width, part->height};
    if (destination.OpenLocked(part, 0, &source_rect, dest_rect, 0, nullptr) != 0) return -1;
    DrawMemImgRotated(destination.dest(), destination.source(), destination.x(x), destination.y(y),
                      static_cast<float>(angle), static_cast<float>(scale), transparent, turn, blend);
    return 0;
}

int DrawGraphTriangle2D(const int32_t vertices[12], GraphData* graph, int transparent, uint32_t value) {
    if (!TwoDReady()) return -1;
    const Surface2DData* part = nullptr;
    const MEMIMG* blend = nullptr;
    if (graph != nullptr) {
        part = FirstPart(*graph);
        if (part == nullptr) return -1;
        blend = GetBlendGraphMemImg();
    }
    DrawDestination destination;
    if (DrawsInSoftwareMode()) {
        if (!destination.OpenSoftware(part)) return -1;
        DrawMemImgTriangle(destination.dest(), destination.source(), vertices, transparent, blend, value);
        return 0;
    }
    HandOverFromDirect3D();
    Rect dest_rect{1000000, 1000000, -1000000, -1000000};
    Rect source_rect{1000000, 1000000, -1000000, -1000000};
    for (int i = 0; i < 3; ++i) {
        const int32_t* v = vertices + i * 4;
        dest_rect = Rect{std::min(dest_rect.left, v[0]), std::min(dest_rect.top, v[1]), std::max(dest_rect.right, v[0] + 1),
                         std::max(dest_rect.bottom, v[1] + 1)};
        source_rect = Rect{std::min(source_rect.left, v[2]), std::min(source_rect.top, v[3]),
                           std::max(source_rect.right, v[2]), std::max(source_rect.bottom, v[3])};
    }
    if (destination.OpenLocked(part, 0, &source_rect, dest_rect, 0, nullptr) != 0) return -1;
    int32_t shifted[12];
    for (int i = 0; i < 3; ++i) {
        shifted[i * 4] = destination.x(vertices[i * 4]);
        shifted[i * 4 + 1] = destination.y(vertices[i * 4 + 1]);
        shifted[i * 4 + 2] = vertices[i * 4 + 2];
        shifted[i * 4 + 3] = vertices[i * 4 + 3];
    }
    DrawMemImgTriangle(destination.dest(), destination.source(), shifted, transparent, blend, value);
    return 0;
}

int DrawGraphFourCornerInt2D(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4, GraphData& graph,
                             int transparent) {
    // Drawn as one quad: the two triangles share their diagonal without
    // covering any pixel twice (a blend would otherwise show the seam).
    if (!TwoDReady()) return -1;
    const Surface2DData* part = FirstPart(graph);
    if (part == nullptr) return -1;
    const MEMIMG* blend = GetBlendGraphMemImg();
    const int32_t corners[8] = {x1, y1, x2, y2, x3, y3, x4, y4};
    DrawDestination destination;
    if (DrawsInSoftwareMode()) {
        if (!destination.OpenSoftware(part)) return -1;
        DrawMemImgQuad(destination.dest(), destination.source(), corners, transparent, blend);
        return 0;
    }
    HandOverFromDirect3D();
    const Rect dest_rect{std::min({x1, x2, x3, x4}), std::min({y1, y2, y3, y4}), std::max({x1, x2, x3, x4}) + 1,
                         std::max({y1, y2, y3, y4}) + 1};
    const Rect source_rect{0, 0, part->width, part->height};
    // Nothing visible is not a failure.
    if (destination.OpenLocked(part, 0, &source_rect, dest_rect, 0, nullptr) != 0) return 0;
    int32_t shifted[8];
    for (int i = 0; i < 4; ++i) {
        shifted[i * 2] = destination.x(corners[i * 2]);
        shifted[i * 2 + 1] = destination.y(corners[i * 2 + 1]);
    }
    DrawMemImgQuad(destination.dest(), destination.source(), shifted, transparent, blend);
    return 0;
}

int DrawGraphFourCorner2D(const float corners[8], GraphData& graph, int transparent) {
    int c[8];
    for (int i = 0; i < 8; ++i) c[i] = FloatToInt(corners[i]);
    return DrawGraphFourCornerInt2D(c[0], c[1], c[2], c[3], c[4], c[5], c[6], c[7], graph, transparent);
}

int DeleteGraphSurfaces2D(GraphData& graph) {
    if (!TwoDReady()) return -1;
    int result = 0;
    for (int i = 0; i < graph.part_count; ++i) result |= DeleteSurface2D(graph.parts[i]);
    graph.part_count = 0;
    return result;
}

int BltGraphImageToGraph2D(const GraphImage& image, const GraphImage* alpha, int dest_x, int dest_y, int source_x,
                           int source_y, GraphData& graph) {
    if (!TwoDReady()) return -1;
    if (graph.part_count < 1) return 0;
    return BltGraphImageRectToGraph2D(&image, alpha, dest_x, dest_y, source_x, source_y, graph);
}

}  // namespace velk
