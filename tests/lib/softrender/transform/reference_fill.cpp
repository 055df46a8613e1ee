#include "tests/lib/softrender/transform/reference_fill.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "lib/softrender/blend_tables.h"
#include "lib/softrender/draw_settings.h"
#include "tests/lib/softrender/reference_model.h"

namespace velk::testing {
namespace {

using Wide = __int128;

Wide FloorDivide(Wide a, Wide b) {
    if (b < 0) {
        a = -a;
        b = -b;
    }
    Wide q = a / b;
    if (a % b != 0 && a < 0) --q;
    return q;
}

uint32_t ReadBytes(const uint8_t* p, int count) {
    uint32_t value = 0;
    for (int i = 0; i < count; ++i) value |= static_cast<uint32_t>(p[i]) << (8 * i);
    return value;
}

void WriteBytes(uint8_t* p, uint32_t value, int count) {
    for (int i = 0; i < count; ++i) p[i] = static_cast<uint8_t>(value >> (8 * i));
}

// ---- what a draw is, and one pixel by the shared one-pixel model ------------

struct Draw {
    reference::Settings settings;
    int clip_left = 0, clip_top = 0, clip_right = 0, clip_bottom = 0;
};

bool DestinationDrawable(const MEMIMG* dest) {
    if (dest == nullptr || CheckValidMemImg(dest) == 0) return false;
    const MemImgBase& b = *dest->base;
    return b.use_palette == 0 && b.use_alpha == 0 && (b.format == 0 || b.format == 1);
}

Draw ReadDraw(const MEMIMG* dest) {
    const MemImgDrawSettings& s = GetMemImgDrawSettings();
    Draw draw;
    draw.settings.mode = s.blend_mode;
    draw.settings.param = s.blend_param;
    draw.settings.bright_red = s.bright_red;
    draw.settings.bright_green = s.bright_green;
    draw.settings.bright_blue = s.bright_blue;
    draw.clip_left = std::max(0, s.draw_area.left);
    draw.clip_top = std::max(0, s.draw_area.top);
    draw.clip_right = std::min(dest->width, s.draw_area.right);
    draw.clip_bottom = std::min(dest->height, s.draw_area.bottom);
    return draw;
}

reference::SourcePixel ReadTexel(const MEMIMG& src, int64_t column, int64_t row) {
    const MemImgBase& b = *src.base;
    const int bytes = b.use_palette != 0 ? 1 : (b.format == 1 || b.use_alpha != 0 ? 4 : 2);
    const uint8_t* p = src.pixels + row * b.pitch + column * bytes;
    reference::SourcePixel t;
    if (b.use_palette != 0) {
        t.paletted = true;
        t.raw = p[0];
        t.color = b.palette[t.raw] & (b.format == 0 ? 0xFFFFu : 0xFFFFFFFFu);
        return t;
    }
    t.raw = t.color = ReadBytes(p, b.format == 1 ? 4 : 2);
    if (b.use_alpha == 1) t.alpha = p[b.format == 1 ? 3 : 2];
    return t;
}

void DrawFlat(const Draw& draw, uint8_t* pixel, int format, uint32_t color) {
    const int bytes = format == 1 ? 4 : 2;
    WriteBytes(pixel, reference::FlatPixel(format == 0, ReadBytes(pixel, bytes), color, draw.settings), bytes);
}

// ---- the source side shared by every textured draw ----------------------------

struct Source {
    const MEMIMG* image = nullptr;
    const MEMIMG* blend = nullptr;
    int64_t width = 0, height = 0;  // texel limits
    bool trans = false;
};

bool MakeSource(const MEMIMG* dest, const MEMIMG* src, const MEMIMG* blend, int trans_flag, Source* out) {
    if (src == nullptr || CheckValidMemImg(src) == 0 || src->base->format != dest->base->format) return false;
    if (src->width <= 0 || src->height <= 0) return false;
    out->image = src;
    out->width = src->width;
    out->height = src->height;
    out->trans = trans_flag != 0;
    if (blend != nullptr) {
        if (CheckValidMemImg(blend) == 0 || blend->base->format != 2) return false;
        out->blend = blend;
        out->width = std::min<int64_t>(out->width, blend->width);
        out->height = std::min<int64_t>(out->height, blend->height);
    }
    return true;
}

void DrawFromSource(const Draw& draw, MEMIMG* dest, const Source& source, int64_t px, int64_t py, int64_t column,
                    int64_t row) {
    if (column < 0 || row < 0 || column >= source.width || row >= source.height) return;
    const int format = dest->base->format;
    const int bytes = format == 1 ? 4 : 2;
    uint8_t* pixel = dest->pixels + py * dest->base->pitch + px * bytes;
    int weight = -1;
    if (source.blend != nullptr) {
        weight = BlendGraphTransitionTable[source.blend->pixels[row * source.blend->base->pitch + column]];
    }
    const reference::SourcePixel t = ReadTexel(*source.image, column, row);
    WriteBytes(pixel,
               reference::BlitPixel(reference::Family::kTransformedFill, format == 0, ReadBytes(pixel, bytes), t,
                                    weight, source.trans, source.image->base->trans_color, draw.settings),
               bytes);
}

// ---- triangles ------------------------------------------------------------------

// (b - a) x (p - a): which side of the line a-b the point p lies on.
Wide Side(const ReferenceVertex& a, const ReferenceVertex& b, int64_t px, int64_t py) {
    return Wide{b.x - a.x} * (py - a.y) - Wide{b.y - a.y} * (px - a.x);
}

// A flat edge with the triangle below it, or a slanted edge with the
// triangle to its right.
bool TopOrLeft(const ReferenceVertex& a, const ReferenceVertex& b, const ReferenceVertex& other) {
    if (a.y == b.y) return other.y > a.y;
    const ReferenceVertex& top = a.y < b.y ? a : b;
    const ReferenceVertex& bottom = a.y < b.y ? b : a;
    return Wide{bottom.x - top.x} * (other.y - top.y) - Wide{bottom.y - top.y} * (other.x - top.x) < 0;
}

bool InRange(const ReferenceVertex (&t)[3]) {
    const int64_t limit = int64_t{16384} * 256;
    for (const ReferenceVertex& v : t) {
        for (int64_t value : {v.x, v.y, v.u, v.v}) {
            if (value <= -limit || value >= limit) return false;
        }
    }
    return true;
}

}  // namespace

bool ReferenceCovers(const ReferenceVertex (&t)[3], int64_t px, int64_t py) {
    const int64_t sx = px * 256 + 128;
    const int64_t sy = py * 256 + 128;
    if (Side(t[0], t[1], t[2].x, t[2].y) == 0) return false;
    for (int i = 0; i < 3; ++i) {
        const ReferenceVertex& a = t[i];
        const ReferenceVertex& b = t[(i + 1) % 3];
        const ReferenceVertex& other = t[(i + 2) % 3];
        const Wide here = Side(a, b, sx, sy);
        const Wide inside = Side(a, b, other.x, other.y);
        if (here == 0) {
            if (!TopOrLeft(a, b, other)) return false;
        } else if ((here > 0) != (inside > 0)) {
            return false;
        }
    }
    return true;
}

void ReferenceTexel(const ReferenceVertex (&t)[3], int64_t px, int64_t py, int64_t* column, int64_t* row) {
    const int64_t sx = px * 256 + 128;
    const int64_t sy = py * 256 + 128;
    // Barycentric weights: each vertex weighs the area of the triangle that
    // the pixel centre forms with the opposite edge.
    const Wide w0 = Side(t[1], t[2], sx, sy);
    const Wide w1 = Side(t[2], t[0], sx, sy);
    const Wide w2 = Side(t[0], t[1], sx, sy);
    const Wide total = w0 + w1 + w2;
    *column = static_cast<int64_t>(FloorDivide(w0 * t[0].u + w1 * t[1].u + w2 * t[2].u, total * 256));
    *row = static_cast<int64_t>(FloorDivide(w0 * t[0].v + w1 * t[1].v + w2 * t[2].v, total * 256));
}

void ReferenceTriangle(MEMIMG* dest, const MEMIMG* src, const ReferenceVertex (&t)[3], int trans_flag,
                       const MEMIMG* blend, uint32_t flat_color) {
    if (!DestinationDrawable(dest) || !InRange(t)) return;
    const Draw draw = ReadDraw(dest);
    Source source;
    if (src != nullptr && !MakeSource(dest, src, blend, trans_flag, &source)) return;
    const int format = dest->base->format;
    for (int64_t py = draw.clip_top; py < draw.clip_bottom; ++py) {
        for (int64_t px = draw.clip_left; px < draw.clip_right; ++px) {
            if (!ReferenceCovers(t, px, py)) continue;
            if (src == nullptr) {
                DrawFlat(draw, dest->pixels + py * dest->base->pitch + px * (format == 1 ? 4 : 2), format, flat_color);
                continue;
            }
            int64_t column, row;
            ReferenceTexel(t, px, py, &column, &row);
            DrawFromSource(draw, dest, source, px, py, column, row);
        }
    }
}

void ReferenceQuad(MEMIMG* dest, const MEMIMG* src, const int64_t (&c)[8], int trans_flag, const MEMIMG* blend) {
    if (src == nullptr || CheckValidMemImg(src) == 0) return;
    const int64_t w = int64_t{src->width} * 256;
    const int64_t h = int64_t{src->height} * 256;
    const ReferenceVertex first[3] = {{c[0], c[1], 0, 0}, {c[2], c[3], w, 0}, {c[4], c[5], 0, h}};
    const ReferenceVertex second[3] = {{c[2], c[3], w, 0}, {c[4], c[5], 0, h}, {c[6], c[7], w, h}};
    ReferenceTriangle(dest, src, first, trans_flag, blend, 0);
    ReferenceTriangle(dest, src, second, trans_flag, blend, 0);
}

void ReferenceRotated(MEMIMG* dest, const MEMIMG* src, int cx, int cy, float angle, float scale, int trans_flag,
                      int mirror_flag, const MEMIMG* blend) {
    if (!DestinationDrawable(dest)) return;
    Source source;
    if (!MakeSource(dest, src, blend, trans_flag, &source)) return;
    if (!std::isfinite(angle) || !std::isfinite(scale) || scale == 0.0f) return;
    if (std::abs(int64_t{cx}) >= 16384 || std::abs(int64_t{cy}) >= 16384) return;
    const double inverse = 1.0 / static_cast<double>(scale);
    if (!(std::fabs(inverse) < 32768.0)) return;
    const double cosine = std::cos(static_cast<double>(angle));
    const double sine = std::sin(static_cast<double>(angle));
    const int64_t w = src->width, h = src->height;

    if (mirror_flag != 0) {
        // The source's left and right exchanged: texture column u shows where
        // the unmirrored draw shows width - u.
        int64_t corners[8];
        const int64_t texture[4][2] = {{0, 0}, {w, 0}, {0, h}, {w, h}};
        for (int i = 0; i < 4; ++i) {
            const double ox = static_cast<double>(w - texture[i][0] - w / 2) * scale;
            const double oy = static_cast<double>(texture[i][1] - h / 2) * scale;
            const double x = cx + ox * cosine - oy * sine;
            const double y = cy + ox * sine + oy * cosine;
            if (!(std::fabs(x) < 16384.0 && std::fabs(y) < 16384.0)) return;
            corners[2 * i] = std::llround(x * 256.0);
            corners[2 * i + 1] = std::llround(y * 256.0);
        }
        ReferenceQuad(dest, src, corners, trans_flag, blend);
        return;
    }

    const Draw draw = ReadDraw(dest);
    const int64_t a = std::llround(cosine * inverse * 4294967296.0);
    const int64_t b = std::llround(sine * inverse * 4294967296.0);
    for (int64_t py = draw.clip_top; py < draw.clip_bottom; ++py) {
        for (int64_t px = draw.clip_left; px < draw.clip_right; ++px) {
            // Offsets of the pixel centre from (cx, cy), doubled.
            const int64_t ox = 2 * (px - cx) + 1;
            const int64_t oy = 2 * (py - cy) + 1;
            const Wide u = (Wide{w / 2} << 32) + FloorDivide(Wide{a} * ox + Wide{b} * oy, 2);
            const Wide v = (Wide{h / 2} << 32) + FloorDivide(Wide{-b} * ox + Wide{a} * oy, 2);
            DrawFromSource(draw, dest, source, px, py, static_cast<int64_t>(FloorDivide(u, Wide{1} << 32)),
                           static_cast<int64_t>(FloorDivide(v, Wide{1} << 32)));
        }
    }
}

}  // namespace velk::testing
