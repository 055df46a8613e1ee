#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "lib/softrender/flat_color.h"
#include "lib/softrender/memimg_draw.h"

namespace velk {

namespace {

// The clip coordinates are recomputed from the line's equation and truncated
// toward zero; the value is bounded first so that no conversion can overflow
// (the endpoints are clamped into the clip area right after).
int64_t TruncateCoordinate(double value) {
    constexpr double kLimit = 1e15;
    if (!(value > -kLimit)) {
        return static_cast<int64_t>(-kLimit);
    }
    if (!(value < kLimit)) {
        return static_cast<int64_t>(kLimit);
    }
    return static_cast<int64_t>(value);
}

struct LineEnds {
    int64_t x1, y1, x2, y2;
};

// Moves the endpoints onto the clip area: the first inside it, the second at
// most one pixel outside, so the drawn pixels, which stop one step before the
// second, stay inside.
LineEnds ClipLine(LineEnds e, const Rect& clip) {
    const double dx = static_cast<double>(e.x2 - e.x1);
    const double dy = static_cast<double>(e.y2 - e.y1);
    const double kx = e.y1 != e.y2 ? dx / dy : 0.0;
    const double ky = e.x1 != e.x2 ? dy / dx : 0.0;
    const double cx = static_cast<double>(e.x1) - kx * static_cast<double>(e.y1);
    const double cy = static_cast<double>(e.y1) - ky * static_cast<double>(e.x1);
    auto x_of = [&](int64_t y) { return TruncateCoordinate(static_cast<double>(y) * kx + cx); };
    auto y_of = [&](int64_t x) { return TruncateCoordinate(static_cast<double>(x) * ky + cy); };
    const int64_t l = clip.left, t = clip.top, r = clip.right, b = clip.bottom;

    // Along one axis: the first end onto [lo, hi), the second at most one
    // outside; the other coordinate follows from the line's equation.
    auto clip_axis = [](int64_t& a1, int64_t& o1, int64_t& a2, int64_t& o2, int64_t lo, int64_t hi, auto other_of) {
        if (a1 < lo) {
            a1 = lo;
            o1 = other_of(lo);
        } else if (a1 >= hi) {
            a1 = hi - 1;
            o1 = other_of(hi - 1);
        }
        if (a2 < lo) {
            a2 = lo - 1;
            o2 = other_of(lo - 1);
        } else if (a2 >= hi) {
            a2 = hi;
            o2 = other_of(hi);
        }
    };
    clip_axis(e.x1, e.y1, e.x2, e.y2, l, r, y_of);
    clip_axis(e.y1, e.x1, e.y2, e.x2, t, b, x_of);
    e.x1 = std::clamp(e.x1, l, r - 1);
    e.x2 = std::clamp(e.x2, l - 1, r);
    e.y1 = std::clamp(e.y1, t, b - 1);
    e.y2 = std::clamp(e.y2, t - 1, b);
    return e;
}

template <class Format>
void StepLine(MEMIMG* dest, const LineEnds& e, uint32_t color) {
    const int64_t dx = e.x2 - e.x1;
    const int64_t dy = e.y2 - e.y1;
    const int sx = dx < 0 ? -1 : 1;
    const int sy = dy < 0 ? -1 : 1;
    const bool x_major = std::llabs(dx) >= std::llabs(dy);
    const int64_t major = x_major ? std::llabs(dx) : std::llabs(dy);
    const int64_t minor = x_major ? std::llabs(dy) : std::llabs(dx);
    WithFlatColorOp<Format>(color, [&](const auto& op) {
        int x = static_cast<int>(e.x1);
        int y = static_cast<int>(e.y1);
        int64_t error = 0;
        for (int64_t i = 0; i < major; ++i) {
            op(MemImgPixelAddress(*dest, x, y));
            error += minor;
            if (x_major) {
                x += sx;
            } else {
                y += sy;
            }
            if (error >= major) {
                error -= major;
                if (x_major) {
                    y += sy;
                } else {
                    x += sx;
                }
            }
        }
    });
}

}  // namespace

void DrawMemImgLine(MEMIMG* dest, int x1, int y1, int x2, int y2, uint32_t color) {
    if (!AcceptsFlatColor(dest)) {
        return;
    }
    const Rect clip = MemImgDrawClip(*dest);
    if (clip.right <= clip.left || clip.bottom <= clip.top) {
        return;
    }
    if (std::min(y1, y2) >= clip.bottom || std::min(x1, x2) >= clip.right || std::max(y1, y2) < clip.top ||
        std::max(x1, x2) < clip.left) {
        return;
    }
    const LineEnds ends = ClipLine({x1, y1, x2, y2}, clip);
    if (ends.x1 == ends.x2 && ends.y1 == ends.y2) {
        return;
    }
    if (dest->base->format == kMemImgFormat32) {
        StepLine<Xrgb8888>(dest, ends, color);
    } else {
        StepLine<Rgb565>(dest, ends, color);
    }
}

void DrawMemImgLines(MEMIMG* dest, const LineRecord* lines, int count) {
    if (lines == nullptr) {
        return;
    }
    for (int i = 0; i < count; ++i) {
        DrawMemImgLine(dest, lines[i].x1, lines[i].y1, lines[i].x2, lines[i].y2, lines[i].color);
    }
}

}  // namespace velk
