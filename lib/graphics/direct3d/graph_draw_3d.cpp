#include "lib/graphics/direct3d/graph_draw_3d.h"

#include <algorithm>
#include <cmath>

#include "lib/graphics/direct3d/device_3d.h"
#include "lib/graphics/direct3d/render_state_3d.h"
#include "lib/graphics/direct3d/surface_3d.h"
#include "lib/graphics/draw_path.h"
#include "lib/graphics/draw_settings.h"
#include "lib/graphics/graph_table.h"
#include "lib/graphics/screen/screen_state.h"
#include "lib/graphics/screen/screen_surfaces.h"
#include "lib/graphics/screen/surface_2d.h"
#include "lib/graphics/screen/surface_data.h"

namespace velk {

namespace {

using platform::VertexOneTexture;
using platform::VertexTwoTextures;
using platform::VertexUntextured;

// A quad's corners in the order top-left, top-right, bottom-left,
// bottom-right, with texture coordinates.
struct Quad {
    float x[4], y[4], u[4], v[4];
};

// The six vertices of a quad: top-left, top-right, bottom-left, then
// bottom-right, bottom-left, top-right.
constexpr int kQuadOrder[6] = {0, 1, 2, 3, 2, 1};

float DrawZ() { return GetDrawSettings().d3d_float; }

void EmitQuad(Device3D& d, const Quad& q) {
    const uint32_t color = D3D().draw_color;
    const float z = DrawZ();
    if (d.vertex_type == 2) {
        const Direct3DContext& c = D3D();
        VertexTwoTextures* out = NextVertices2(d);
        for (int i = 0; i < 6; ++i) {
            const int k = kQuadOrder[i];
            // The blend graph lies over the target from its top-left pixel.
            out[i] = VertexTwoTextures{q.x[k], q.y[k], z, 1.0f, color, 0xFFFFFFFF, (q.x[k] + 0.5f) * c.blend_width_inv,
                                       (q.y[k] + 0.5f) * c.blend_height_inv, q.u[k], q.v[k]};
        }
    } else {
        VertexOneTexture* out = NextVertices1(d);
        for (int i = 0; i < 6; ++i) {
            const int k = kQuadOrder[i];
            out[i] = VertexOneTexture{q.x[k], q.y[k], z, 1.0f, color, q.u[k], q.v[k]};
        }
    }
    AdvanceVertices(d, 6);
}

// Moves the corners of an axis-aligned quad into the area, the texture
// coordinates with them, so the texels that stay visible do not shift.
void ClampQuad(Quad& q, float left, float top, float right, float bottom) {
    const float du = q.x[1] != q.x[0] ? (q.u[1] - q.u[0]) / (q.x[1] - q.x[0]) : 0.0f;
    const float dv = q.y[2] != q.y[0] ? (q.v[2] - q.v[0]) / (q.y[2] - q.y[0]) : 0.0f;
    for (int k = 0; k < 4; ++k) {
        const float x = std::clamp(q.x[k], left, right);
        const float y = std::clamp(q.y[k], top, bottom);
        q.u[k] += (x - q.x[k]) * du;
        q.v[k] += (y - q.y[k]) * dv;
        q.x[k] = x;
        q.y[k] = y;
    }
}

Quad PartQuad(const Surface3DData& part) {
    Quad q;
    for (int k = 0; k < 4; ++k) {
        q.x[k] = part.corners[k].x;
        q.y[k] = part.corners[k].y;
        q.u[k] = part.corners[k].u;
        q.v[k] = part.corners[k].v;
    }
    return q;
}

// The draws' common frame: begin the scene, set the state from the first
// part, then for every part bind its texture and emit its quad.
template <typename Place>
int DrawParts(GraphData& graph, int flags, Place place) {
    Device3D* device = CurrentDevice3D();
    if (device == nullptr) return -1;
    if (D3D().draws_disabled != 0) return 0;
    Device3D& d = *device;
    if (graph.part_count < 1) return 0;
    const Surface3DData* first = GetSurface3DData(graph.parts[0]);
    if (first == nullptr) return -1;
    BeginSceneD3D(D3D().current_device);
    SetDrawStateD3D(first, flags);
    for (int i = 0; i < graph.part_count; ++i) {
        const Surface3DData* part = GetSurface3DData(graph.parts[i]);
        const SurfaceData* store = part != nullptr ? GetSurfaceData(part->surface_data) : nullptr;
        if (store == nullptr) return -1;
        if (store->surface != d.pending_texture) SetTextureD3D(d, store->surface);
        if (d.program_dirty != 0 || d.texture_dirty != 0) ApplyTextureStagesD3D(d);
        ReserveVertices(d, 6);
        Quad q = PartQuad(*part);
        place(*part, q);
        EmitQuad(d, q);
    }
    if (D3D().end_scene_each_draw != 0) EndSceneDevice3D(D3D().current_device);
    return 0;
}

int ZFlag() { return 0; }  // the draw settings' Z-buffer use is never switched on

struct AreaF {
    float left, top, right, bottom;
};

AreaF DrawAreaWithOffset() {
    const DrawSettings& s = GetDrawSettings();
    const float ox = static_cast<float>(s.window_placement.left), oy = static_cast<float>(s.window_placement.top);
    return AreaF{s.draw_area_f[0] + ox, s.draw_area_f[1] + oy, s.draw_area_f[2] + ox, s.draw_area_f[3] + oy};
}

bool Inside(const Rect& r) {
    const Rect& a = GetDrawSettings().draw_area;
    return r.left >= a.left && r.top >= a.top && r.right <= a.right && r.bottom <= a.bottom;
}

// The colour of a box: the colour value's channels times the draw colour's.
uint32_t BoxColor(uint32_t color) {
    int r = 0, g = 0, b = 0;
    const ColorData* data = GetScreenColorData();
    if (data != nullptr) GetColorRGBAByColorData(data, color, &r, &g, &b, nullptr);
    const uint32_t draw = D3D().draw_color;
    r = r * static_cast<int>((draw >> 16) & 0xFF) / 255;
    g = g * static_cast<int>((draw >> 8) & 0xFF) / 255;
    b = b * static_cast<int>(draw & 0xFF) / 255;
    return (draw & 0xFF000000) | (static_cast<uint32_t>(r) << 16) | (static_cast<uint32_t>(g) << 8) |
           static_cast<uint32_t>(b);
}

// Writes an untextured rectangle; flat shading takes each triangle's
// colour from its first vertex.
void EmitBox(Device3D& d, float left, float top, float right, float bottom, uint32_t color) {
    const float z = DrawZ();
    const float xs[4] = {left, right, left, right}, ys[4] = {top, top, bottom, bottom};
    VertexUntextured* out = NextVertices0(d);
    for (int i = 0; i < 6; ++i) {
        const int k = kQuadOrder[i];
        out[i] = VertexUntextured{xs[k], ys[k], z, 1.0f, (i == 0 || i == 3) ? color : 0u};
    }
    AdvanceVertices(d, 6);
}

bool StartBox(Device3D** out) {
    Device3D* d = CurrentDevice3D();
    *out = d;
    if (d == nullptr) return false;
    FlushVertexBufferDevice3D(*d);
    return true;
}

Quad BilinearQuad(const float c[8], float s0, float t0, float s1, float t1) {
    auto at = [&](float s, float t, float* x, float* y) {
        const float top_x = c[0] + (c[2] - c[0]) * s, top_y = c[1] + (c[3] - c[1]) * s;
        const float bottom_x = c[4] + (c[6] - c[4]) * s, bottom_y = c[5] + (c[7] - c[5]) * s;
        *x = top_x + (bottom_x - top_x) * t;
        *y = top_y + (bottom_y - top_y) * t;
    };
    Quad q{};
    at(s0, t0, &q.x[0], &q.y[0]);
    at(s1, t0, &q.x[1], &q.y[1]);
    at(s0, t1, &q.x[2], &q.y[2]);
    at(s1, t1, &q.x[3], &q.y[3]);
    return q;
}

}  // namespace

int DrawGraphD3D(int x, int y, float fx, float fy, GraphData& graph, int transparent, int keep_alpha_test) {
    const DrawSettings& s = GetDrawSettings();
    // Texel centres fall on pixel centres.
    const float ox = fx - 0.5f + static_cast<float>(s.window_placement.left);
    const float oy = fy - 0.5f + static_cast<float>(s.window_placement.top);
    const bool clamp = !Inside(Rect{x, y, x + graph.width, y + graph.height});
    const AreaF area = DrawAreaWithOffset();
    const int flags = (transparent != 0 ? kDrawFlagTransparent : 0) |
                      (keep_alpha_test != 0 ? kDrawFlagKeepAlphaTest : 0) | ZFlag();
    return DrawParts(graph, flags, [&](const Surface3DData&, Quad& q) {
        for (int k = 0; k < 4; ++k) {
            q.x[k] += ox;
            q.y[k] += oy;
        }
        if (clamp) ClampQuad(q, area.left, area.top, area.right, area.bottom);
    });
}

int DrawGraphScaledD3D(int x1, int y1, int x2, int y2, float fx1, float fy1, float fx2, float fy2, GraphData& graph,
                       int transparent, int keep_alpha_test) {
    if (x1 == x2 || y1 == y2) return -1;
    const DrawSettings& s = GetDrawSettings();
    const float sx = (fx2 - fx1) / static_cast<float>(graph.width);
    const float sy = (fy2 - fy1) / static_cast<float>(graph.height);
    const float ox = fx1 - 0.5f + static_cast<float>(s.window_placement.left);
    const float oy = fy1 - 0.5f + static_cast<float>(s.window_placement.top);
    const bool clamp = !Inside(Rect{std::min(x1, x2), std::min(y1, y2), std::max(x1, x2), std::max(y1, y2)});
    const AreaF area = DrawAreaWithOffset();
    const int flags = (transparent != 0 ? kDrawFlagTransparent : 0) |
                      (keep_alpha_test != 0 && s.draw_mode != 1 ? kDrawFlagKeepAlphaTest : 0) | ZFlag();
    return DrawParts(graph, flags, [&](const Surface3DData&, Quad& q) {
        for (int k = 0; k < 4; ++k) {
            q.x[k] = q.x[k] * sx + ox;
            q.y[k] = q.y[k] * sy + oy;
        }
        if (clamp) ClampQuad(q, area.left, area.top, area.right, area.bottom);
    });
}

int DrawGraphRotatedD3D(float x, float y, double scale, double angle, GraphData& graph, int transparent,
                        int mirror) {
    if (scale == 0.0) return -1;
    double sine = 0.0, cosine = 1.0;
    if (angle != 0.0) {
        sine = std::sin(angle);
        cosine = std::cos(angle);
    }
    const float w = static_cast<float>(graph.width), h = static_cast<float>(graph.height);
    const bool whole = std::fabs(x - std::floor(x)) < 0.00001f && std::fabs(y - std::floor(y)) < 0.00001f;
    float cx = x, cy = y, hw = w / 2, hh = h / 2;
    if (whole) {
        const bool odd_w = (graph.width & 1) != 0, odd_h = (graph.height & 1) != 0;
        if (scale != 1.0) {
            cx = x - 0.5f, cy = y - 0.5f;
        } else if (odd_w != odd_h) {
            if (!odd_w) hw -= 0.5f;
            if (!odd_h) hh -= 0.5f;
        } else if (!odd_w && !odd_h) {
            hw = static_cast<float>(graph.width / 2);
            hh = static_cast<float>(graph.height / 2);
            cx = x - 0.5f, cy = y - 0.5f;
        }
    }
    // Near a right angle an edge that ends up upright is put on whole pixels.
    bool snap = false;
    if (whole && angle != 0.0 && ((graph.width & 1) != 0 || (graph.height & 1) != 0)) {
        constexpr double kBound = 0.06981317007977318;
        constexpr double kPi = 3.14159265358979323846;
        for (const double right_angle : {0.0, kPi / 2, kPi, kPi * 3 / 2, kPi * 2})
            if (std::fabs(angle - right_angle) <= kBound) snap = true;
    }
    const DrawSettings& s = GetDrawSettings();
    cx += static_cast<float>(s.window_placement.left);
    cy += static_cast<float>(s.window_placement.top);
    const float sx = static_cast<float>(mirror == 1 ? -scale : scale), sy = static_cast<float>(scale);
    const int flags = (transparent != 0 ? kDrawFlagTransparent : 0) | ZFlag();
    return DrawParts(graph, flags, [&](const Surface3DData&, Quad& q) {
        for (int k = 0; k < 4; ++k) {
            const double px = (q.x[k] - hw) * sx, py = (q.y[k] - hh) * sy;
            q.x[k] = static_cast<float>(px * cosine - py * sine) + cx;
            q.y[k] = static_cast<float>(px * sine + py * cosine) + cy;
        }
        if (!snap) return;
        for (float* axis : {q.x, q.y}) {
            for (int a = 0; a < 4; ++a)
                for (int b = a + 1; b < 4; ++b)
                    if (std::fabs(axis[a] - axis[b]) < 0.01f) {
                        const float placed = std::floor(axis[a] + 0.5f) - 0.5f;
                        const float placed_up = placed + 1.0f;
                        axis[a] = axis[b] = std::fabs(axis[a] - placed) < std::fabs(axis[a] - placed_up) ? placed
                                                                                                          : placed_up;
                    }
        }
    });
}

int DrawTexturePartQuadD3D(int handle, const float c[8]) {
    Device3D* device = CurrentDevice3D();
    if (device == nullptr) return -1;
    Device3D& d = *device;
    const Surface3DData* part = GetSurface3DData(handle);
    const SurfaceData* store = part != nullptr ? GetSurfaceData(part->surface_data) : nullptr;
    if (store == nullptr) return -1;
    if (store->surface != d.pending_texture) SetTextureD3D(d, store->surface);
    if (d.program_dirty != 0 || d.texture_dirty != 0) ApplyTextureStagesD3D(d);
    const float u0 = part->corners[0].u, v0 = part->corners[0].v, u1 = part->corners[3].u, v1 = part->corners[3].v;
    const bool parallelogram = std::fabs((c[2] - c[0]) - (c[6] - c[4])) < 1.0f &&
                               std::fabs((c[3] - c[1]) - (c[7] - c[5])) < 1.0f &&
                               std::fabs((c[4] - c[0]) - (c[6] - c[2])) < 1.0f &&
                               std::fabs((c[5] - c[1]) - (c[7] - c[3])) < 1.0f;
    if (parallelogram || d.vertex_type != 1) {
        ReserveVertices(d, 6);
        Quad q{{c[0], c[2], c[4], c[6]}, {c[1], c[3], c[5], c[7]}, {u0, u1, u0, u1}, {v0, v0, v1, v1}};
        EmitQuad(d, q);
        return 0;
    }
    // A quad that is no parallelogram is drawn as an 8 x 8 grid so the
    // texture follows the bilinear mapping rather than two planes.
    FlushVertexBufferDevice3D(d);
    constexpr int kGrid = 8;
    VertexOneTexture grid[kGrid * kGrid];
    const uint32_t color = D3D().draw_color;
    for (int j = 0; j < kGrid; ++j) {
        for (int i = 0; i < kGrid; ++i) {
            const float s = static_cast<float>(i) / (kGrid - 1), t = static_cast<float>(j) / (kGrid - 1);
            const Quad at = BilinearQuad(c, s, t, s, t);
            grid[j * kGrid + i] =
                VertexOneTexture{at.x[0], at.y[0], DrawZ(), 1.0f, color, u0 + (u1 - u0) * s, v0 + (v1 - v0) * t};
        }
    }
    uint16_t indices[1000];
    int count = 0;
    for (int j = 0; j + 1 < kGrid; ++j) {
        if (j > 0) {
            indices[count] = indices[count - 1];  // a degenerate join to the next row
            ++count;
            indices[count++] = static_cast<uint16_t>(j * kGrid);
        }
        for (int i = 0; i < kGrid; ++i) {
            indices[count++] = static_cast<uint16_t>(j * kGrid + i);
            indices[count++] = static_cast<uint16_t>((j + 1) * kGrid + i);
        }
    }
    if (GetDrawSettings().draw_area_empty == 0)
        d.device->DrawIndexedPrimitive(platform::kPrimitiveTriangleStrip, platform::kFvfOneTexture, grid,
                                       kGrid * kGrid, indices, count, 0);
    return 0;
}

int DrawGraphQuadD3D(const float corners[8], GraphData& graph, int transparent) {
    Device3D* device = CurrentDevice3D();
    if (device == nullptr) return -1;
    if (D3D().draws_disabled != 0) return 0;
    if (device->blend_texture) {
        int rounded[8];
        for (int i = 0; i < 8; ++i) rounded[i] = static_cast<int>(std::lround(corners[i]));
        return DrawGraphQuadBlendD3D(rounded, graph, transparent);
    }
    const Surface3DData* first = graph.part_count > 0 ? GetSurface3DData(graph.parts[0]) : nullptr;
    if (first == nullptr) return -1;
    BeginSceneD3D(D3D().current_device);
    SetDrawStateD3D(first, (transparent != 0 ? kDrawFlagTransparent : 0) | ZFlag());
    const DrawSettings& s = GetDrawSettings();
    float placed[8];
    for (int i = 0; i < 8; ++i)
        placed[i] = corners[i] + static_cast<float>((i & 1) == 0 ? s.window_placement.left : s.window_placement.top);
    int result = 0;
    if (graph.part_count == 1) {
        result = DrawTexturePartQuadD3D(graph.parts[0], placed);
    } else {
        for (int i = 0; i < graph.part_count && result == 0; ++i) {
            const Surface3DData* part = GetSurface3DData(graph.parts[i]);
            if (part == nullptr) return -1;
            const float w = static_cast<float>(graph.width), h = static_cast<float>(graph.height);
            const Quad q = BilinearQuad(placed, part->x / w, part->y / h, (part->x + part->width) / w,
                                        (part->y + part->height) / h);
            const float part_corners[8] = {q.x[0], q.y[0], q.x[1], q.y[1], q.x[2], q.y[2], q.x[3], q.y[3]};
            result = DrawTexturePartQuadD3D(graph.parts[i], part_corners);
        }
    }
    if (D3D().end_scene_each_draw != 0) EndSceneDevice3D(D3D().current_device);
    return result;
}

int DrawGraphQuadBlendD3D(const int c[8], GraphData& graph, int transparent) {
    Device3D* device = CurrentDevice3D();
    if (device == nullptr) return -1;
    if (c[1] == c[3] && c[5] == c[7] && c[0] == c[4] && c[2] == c[6])
        return DrawGraphScaledD3D(c[0], c[1], c[6], c[7], static_cast<float>(c[0]), static_cast<float>(c[1]),
                                  static_cast<float>(c[6]), static_cast<float>(c[7]), graph, transparent, 1);
    float f[8];
    for (int i = 0; i < 8; ++i) f[i] = static_cast<float>(c[i]);
    if (!device->blend_texture) return DrawGraphQuadD3D(f, graph, transparent);
    const DrawSettings& s = GetDrawSettings();
    for (int i = 0; i < 8; ++i)
        f[i] += static_cast<float>((i & 1) == 0 ? s.window_placement.left : s.window_placement.top);
    const float w = static_cast<float>(graph.width), h = static_cast<float>(graph.height);
    const int flags = (transparent != 0 ? kDrawFlagTransparent : 0) | kDrawFlagKeepAlphaTest | ZFlag();
    return DrawParts(graph, flags, [&](const Surface3DData& part, Quad& q) {
        // The quad is split along the graph's rising diagonal into two
        // triangles, each an affine map of the graph; every corner of a part
        // follows the map of the triangle its corner flag puts it in, so
        // parts meet without seams and the two-texture vertices carry the
        // map exactly.
        for (int k = 0; k < 4; ++k) {
            const float s = q.x[k] / w, t = q.y[k] / h;
            if (part.corner_flags[k] != 0) {
                q.x[k] = f[0] + (f[2] - f[0]) * s + (f[4] - f[0]) * t;
                q.y[k] = f[1] + (f[3] - f[1]) * s + (f[5] - f[1]) * t;
            } else {
                q.x[k] = f[6] + (f[4] - f[6]) * (1.0f - s) + (f[2] - f[6]) * (1.0f - t);
                q.y[k] = f[7] + (f[5] - f[7]) * (1.0f - s) + (f[3] - f[7]) * (1.0f - t);
            }
        }
    });
}

int DrawFilledBoxD3D(int x1, int y1, int x2, int y2, uint32_t color) {
    Device3D* d = nullptr;
    if (!StartBox(&d)) return -1;
    if (D3D().draws_disabled != 0) return TwoDPath().DrawBox(x1, y1, x2, y2, color, 1);
    Rect r{std::min(x1, x2), std::min(y1, y2), std::max(x1, x2), std::max(y1, y2)};
    const Rect area = GetDrawSettings().draw_area;
    ClipRect(&r, &area);
    if (r.right <= r.left || r.bottom <= r.top) return 0;
    BeginSceneD3D(D3D().current_device);
    SetTextureD3D(*d, nullptr);
    SetDrawStateD3D(nullptr, kDrawFlagUntextured | ZFlag());
    ReserveVertices(*d, 6);
    const Rect& p = GetDrawSettings().window_placement;
    EmitBox(*d, static_cast<float>(r.left + p.left), static_cast<float>(r.top + p.top),
            static_cast<float>(r.right + p.left), static_cast<float>(r.bottom + p.top), BoxColor(color));
    if (D3D().end_scene_each_draw != 0) EndSceneDevice3D(D3D().current_device);
    return 0;
}

int DrawBoxD3D(int x1, int y1, int x2, int y2, uint32_t color) {
    Device3D* d = nullptr;
    if (!StartBox(&d)) return -1;
    if (D3D().draws_disabled != 0) return TwoDPath().DrawBox(x1, y1, x2, y2, color, 0);
    const int left = std::min(x1, x2), right = std::max(x1, x2), top = std::min(y1, y2), bottom = std::max(y1, y2);
    BeginSceneD3D(D3D().current_device);
    SetTextureD3D(*d, nullptr);
    SetDrawStateD3D(nullptr, kDrawFlagUntextured | ZFlag());
    ReserveVertices(*d, 24);
    const Rect& p = GetDrawSettings().window_placement;
    const float l = static_cast<float>(left + p.left), r = static_cast<float>(right + p.left);
    const float t = static_cast<float>(top + p.top), b = static_cast<float>(bottom + p.top);
    const uint32_t c = BoxColor(color);
    EmitBox(*d, l, t, r, t + 1, c);
    EmitBox(*d, l, b - 1, r, b, c);
    EmitBox(*d, l, t + 1, l + 1, b - 1, c);
    EmitBox(*d, r - 1, t + 1, r, b - 1, c);
    if (D3D().end_scene_each_draw != 0) EndSceneDevice3D(D3D().current_device);
    return 0;
}

int ClearDrawScreenD3D() {
    Device3D* d = CurrentDevice3D();
    if (d == nullptr) return -1;
    if (Screen().graphics_suspended != 0 || D3D().draws_disabled != 0) return 0;
    EndSceneD3D();
    const int screen = GetDrawSettings().draw_screen;
    if (screen == kFrontScreen || screen == kBackScreen || screen == -3) return 0;
    // A texture graph target: its one part is filled with the background
    // colour, alpha 0.
    const GraphData* graph = GetGraphData(screen);
    if (graph == nullptr || graph->texture == 0 || graph->part_count < 1) return 0;
    const Surface3DData* part = GetSurface3DData(graph->parts[0]);
    SurfaceData* store = part != nullptr ? GetSurfaceData(part->surface_data) : nullptr;
    if (store == nullptr || !store->surface) return -1;
    int r = 0, g = 0, b = 0;
    GetBackgroundColor(&r, &g, &b);
    platform::DdBltFx fx;
    fx.fill_color = GetColorByColorData(&store->surface_color, r, g, b, 0);
    store->surface->Blt(nullptr, nullptr, nullptr, platform::kDdBltColorFill | platform::kDdBltWait, &fx);
    return 0;
}

int SetDrawScreenD3D(int screen, GraphData* graph) {
    Device3D* device = CurrentDevice3D();
    if (device == nullptr) return -1;
    Device3D& d = *device;
    Direct3DContext& c = D3D();
    FlushVertexBufferDevice3D(d);
    EndSceneD3D();
    if (d.render_target != d.creation_surface) SetRenderTargetD3D(nullptr, c.current_device);
    if (d.pending_texture || d.force != 0) {
        d.texture_dirty = 1;
        if (d.pending_texture) d.program_dirty = 1;
        d.pending_texture.reset();
    }
    ScreenState& s = Screen();
    if (screen == kFrontScreen) {
        platform::DdSurface* main = GetMainDrawSurface();
        if (main != nullptr) SetRenderTargetD3D(main->shared_from_this(), c.current_device);
        c.end_scene_each_draw = 1;
    } else if (screen == kBackScreen) {
        if (s.back) SetRenderTargetD3D(s.back, c.current_device);
        c.end_scene_each_draw = 0;
    } else {
        if (graph == nullptr || graph->part_count != 1) return 0;
        std::shared_ptr<platform::DdSurface> surface;
        if (graph->texture == 0) {
            const Surface2DData* part = GetSurface2DData(graph->parts[0]);
            const SurfaceData* store = part != nullptr ? GetSurfaceData(part->store) : nullptr;
            if (store == nullptr || store->params.system_memory != 0 || !store->surface) {
                c.draws_disabled = 1;
                return -1;
            }
            surface = store->surface;
        } else {
            const Surface3DData* part = GetSurface3DData(graph->parts[0]);
            const SurfaceData* store = part != nullptr ? GetSurfaceData(part->surface_data) : nullptr;
            if (store == nullptr || store->params.draw_valid == 0 || !store->surface) return -1;
            surface = store->surface;
        }
        SetRenderTargetD3D(surface, c.current_device);
        c.end_scene_each_draw = 0;
    }
    c.draws_disabled = 0;
    return 0;
}

}  // namespace velk
