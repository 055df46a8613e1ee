#include "tests/lib/softrender/transform/reference_fill.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "lib/softrender/blend_tables.h"
#include "lib/softrender/draw_settings.h"

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

int64_t Floor(int64_t a, int64_t b) { return static_cast<int64_t>(FloorDivide(a, b)); }

uint32_t ReadBytes(const uint8_t* p, int count) {
    uint32_t value = 0;
    for (int i = 0; i < count; ++i) value |= static_cast<uint32_t>(p[i]) << (8 * i);
    return value;
}

void WriteBytes(uint8_t* p, uint32_t value, int count) {
    for (int i = 0; i < count; ++i) p[i] = static_cast<uint8_t>(value >> (8 * i));
}

// ---- what a draw is ---------------------------------------------------------

struct Draw {
    int mode = -1;  // the mode whose arithmetic applies, -1: nothing is drawn
    int p = 0;
    int bright[3] = {255, 255, 255};  // red, green, blue
    bool bright_white = true;
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
    draw.p = s.blend_param;
    draw.bright[0] = s.bright_red;
    draw.bright[1] = s.bright_green;
    draw.bright[2] = s.bright_blue;
    draw.bright_white = s.bright_red == 255 && s.bright_green == 255 && s.bright_blue == 255;
    switch (s.blend_mode) {
        case 0: case 4: case 10: case 11: draw.mode = s.blend_mode; break;
        case 1: draw.mode = s.blend_param == 0 ? -1 : (s.blend_param == 255 ? 0 : 1); break;
        case 2: case 3: draw.mode = s.blend_param == 0 ? -1 : s.blend_mode; break;
        default: draw.mode = -1;
    }
    draw.clip_left = std::max(0, s.draw_area.left);
    draw.clip_top = std::max(0, s.draw_area.top);
    draw.clip_right = std::min(dest->width, s.draw_area.right);
    draw.clip_bottom = std::min(dest->height, s.draw_area.bottom);
    return draw;
}

// ---- pixels ---------------------------------------------------------------------

struct Texel {
    uint32_t raw = 0;     // what the transparent colour is compared with
    uint32_t color = 0;   // the colour word
    bool has_alpha = false;
    int alpha = 255;
};

int BytesPerPixel(const MemImgBase& b) {
    if (b.use_palette != 0) return 1;
    if (b.format == 1) return 4;
    return b.use_alpha != 0 ? 4 : 2;
}

Texel ReadTexel(const MEMIMG& src, int64_t column, int64_t row) {
    const MemImgBase& b = *src.base;
    const uint8_t* p = src.pixels + row * b.pitch + column * BytesPerPixel(b);
    Texel t;
    if (b.use_palette != 0) {
        t.raw = p[0];
        t.color = b.palette[t.raw] & (b.format == 0 ? 0xFFFFu : 0xFFFFFFFFu);
    } else if (b.format == 1) {
        t.raw = t.color = ReadBytes(p, 4);
        if (b.use_alpha == 1) {
            t.has_alpha = true;
            t.alpha = p[3];
        }
    } else {
        t.raw = t.color = ReadBytes(p, 2);
        if (b.use_alpha == 1) {
            t.has_alpha = true;
            t.alpha = p[2];
        }
    }
    return t;
}

// Channels red, green, blue of a colour word and their widths.
void Split(uint32_t word, int format, int (&c)[3]) {
    if (format == 1) {
        c[0] = (word >> 16) & 255;
        c[1] = (word >> 8) & 255;
        c[2] = word & 255;
    } else {
        c[0] = (word >> 11) & 31;
        c[1] = (word >> 5) & 63;
        c[2] = word & 31;
    }
}

uint32_t Join(const int (&c)[3], int format) {
    if (format == 1) return static_cast<uint32_t>(c[0] << 16 | c[1] << 8 | c[2]);
    return static_cast<uint32_t>(c[0] << 11 | c[1] << 5 | c[2]);
}

int Bits(int format, int channel) { return format == 1 ? 8 : (channel == 1 ? 6 : 5); }

// One channel's new value. s is the source channel after inversion and
// bright; k the product of the n weights other than P.
int NewChannel(const Draw& draw, int format, int bits, int d, int s, int64_t k, int n) {
    const int64_t max = (int64_t{1} << bits) - 1;
    const int64_t P = draw.p;
    auto alpha_mix = [&](int64_t target) -> int64_t {
        if (n == 0) {
            if (format == 1) return d + Floor((target - d) * P, 256);
            return d + (target - d) * P / 255;  // C++ division truncates toward zero
        }
        return d + Floor((target - d) * k * P, int64_t{1} << (8 * n + 8));
    };
    switch (draw.mode) {
        case 0:
            return static_cast<int>(n == 0 ? s : d + Floor((s - d) * k, int64_t{1} << (8 * n)));
        case 1:
        case 10:
            return static_cast<int>(alpha_mix(s));
        case 11:
            return static_cast<int>(alpha_mix(int64_t{d} * s >> bits));
        case 2:
        case 3: {
            int64_t amount;
            if (n == 0) {
                amount = s * P / 255;
            } else if (format == 1) {
                amount = s * k * P >> (8 * n + 8);
            } else {
                amount = (s * k >> (8 * n)) * P / 255;
            }
            if (draw.mode == 2) return static_cast<int>(std::min(max, d + amount));
            return static_cast<int>(std::max<int64_t>(0, d - amount));
        }
        case 4:
            return static_cast<int>(int64_t{d} * s * k >> (bits + 8 * n));
    }
    return d;
}

// The new value of one destination pixel for a texel (or nothing when the
// texel is skipped).
void DrawTexel(const Draw& draw, uint8_t* pixel, int format, const Texel& t, bool trans, uint32_t trans_color,
               bool with_blend, int graph_weight) {
    if (trans && !t.has_alpha && t.raw == trans_color) return;
    if (trans && t.has_alpha && t.alpha == 0) return;
    int64_t k = 1;
    int n = 0;
    if (with_blend) {
        k *= graph_weight;
        ++n;
    }
    if (t.has_alpha && !(trans && t.alpha == 255)) {
        k *= t.alpha;
        ++n;
    }
    const int bytes = format == 1 ? 4 : 2;
    if (draw.mode == 0 && n == 0 && draw.bright_white) {
        WriteBytes(pixel, t.color, bytes);
        return;
    }
    int s[3], d[3], r[3];
    Split(t.color, format, s);
    const uint32_t before = ReadBytes(pixel, bytes);
    Split(before, format, d);
    for (int c = 0; c < 3; ++c) {
        const int bits = Bits(format, c);
        if (draw.mode == 10) s[c] = (1 << bits) - 1 - s[c];
        if (!draw.bright_white) s[c] = s[c] * draw.bright[c] / 255;
        r[c] = NewChannel(draw, format, bits, d[c], s[c], k, n);
    }
    uint32_t after = Join(r, format);
    const bool whole_pixel = draw.mode == 2 || draw.mode == 3;
    if (format == 1 && !whole_pixel) after |= before & 0xFF000000u;
    WriteBytes(pixel, after, bytes);
}

void DrawFlat(const Draw& draw, uint8_t* pixel, int format, uint32_t color) {
    const int bytes = format == 1 ? 4 : 2;
    if (format == 0) color &= 0xFFFF;
    int c[3];
    Split(color, format, c);
    for (int i = 0; i < 3; ++i) {
        c[i] = c[i] * draw.bright[i] / 255;
        if (draw.mode == 10) c[i] = (1 << Bits(format, i)) - 1 - c[i];
    }
    const uint32_t prepared = Join(c, format) | (format == 1 ? color & 0xFF000000u : 0);
    if (draw.mode == 0) {
        WriteBytes(pixel, prepared, bytes);
        return;
    }
    int d[3], r[3];
    const uint32_t before = ReadBytes(pixel, bytes);
    Split(before, format, d);
    for (int i = 0; i < 3; ++i) r[i] = NewChannel(draw, format, Bits(format, i), d[i], c[i], 1, 0);
    uint32_t after = Join(r, format);
    if (format == 1 && draw.mode != 2 && draw.mode != 3) after |= before & 0xFF000000u;
    WriteBytes(pixel, after, bytes);
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
    uint8_t* pixel = dest->pixels + py * dest->base->pitch + px * (format == 1 ? 4 : 2);
    int graph_weight = 0;
    if (source.blend != nullptr) {
        graph_weight = BlendGraphTransitionTable[source.blend->pixels[row * source.blend->base->pitch + column]];
    }
    DrawTexel(draw, pixel, format, ReadTexel(*source.image, column, row), source.trans,
              source.image->base->trans_color, source.blend != nullptr, graph_weight);
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
    if (draw.mode < 0) return;
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
    if (draw.mode < 0) return;
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
