#include "lib/movie/yuv_to_rgb.h"

#include <algorithm>
#include <mutex>

namespace velk {

namespace {

YuvTables g_tables;
std::once_flag g_tables_built;

void BuildTables() {
    for (int i = 0; i < 256; ++i) {
        g_tables.v_red[i] = 26148 * (i - 128);
        g_tables.u_green[i] = 6406 * (128 - i);
        g_tables.v_green[i] = 13320 * (128 - i);
        g_tables.u_blue[i] = 33062 * (i - 128);
        g_tables.y[i] = 19070 * (i - 16);
    }
    for (int i = -512; i < 768; ++i) {
        g_tables.clamp[i + 512] = static_cast<uint8_t>(std::clamp(i, 0, 255));
    }
}

// Every sum of 8-bit inputs divides to -277..534, well inside the clamp
// table's -512..767.
inline uint8_t Clamp(int32_t sum) { return g_tables.clamp[sum / 16384 + 512]; }

inline uint8_t ClampFloat(double value) {
    const int32_t truncated = static_cast<int32_t>(value);
    return static_cast<uint8_t>(std::clamp(truncated, 0, 255));
}

}  // namespace

int InitYuvToRgbTables() {
    std::call_once(g_tables_built, BuildTables);
    return 0;
}

const YuvTables& GetYuvTables() {
    InitYuvToRgbTables();
    return g_tables;
}

bool IsYuv420(const YuvPicture& p) {
    return p.y.width == 2 * p.u.width && p.y.height == 2 * p.u.height && p.u.width == p.v.width &&
           p.u.height == p.v.height;
}

void ConvertYuvToXrgb(const YuvPicture& p, uint8_t* dest, int32_t dest_pitch, int32_t width, int32_t height) {
    InitYuvToRgbTables();
    width = std::min(width, p.y.width);
    height = std::min(height, p.y.height);
    if (width <= 0 || height <= 0 || p.u.width <= 0 || p.u.height <= 0 || p.v.width <= 0 || p.v.height <= 0) {
        return;
    }
    const YuvTables& t = g_tables;
    if (IsYuv420(p)) {
        for (int32_t row = 0; row < height; ++row) {
            const uint8_t* ys = p.y.data + static_cast<ptrdiff_t>(row) * p.y.stride;
            const uint8_t* us = p.u.data + static_cast<ptrdiff_t>(row / 2) * p.u.stride;
            const uint8_t* vs = p.v.data + static_cast<ptrdiff_t>(row / 2) * p.v.stride;
            uint8_t* out = dest + static_cast<ptrdiff_t>(row) * dest_pitch;
            for (int32_t col = 0; col < width; col += 2) {
                const int32_t vr = t.v_red[vs[col / 2]];
                const int32_t uvg = t.u_green[us[col / 2]] + t.v_green[vs[col / 2]];
                const int32_t ub = t.u_blue[us[col / 2]];
                const int32_t pair = std::min<int32_t>(2, width - col);
                for (int32_t k = 0; k < pair; ++k) {
                    const int32_t y = t.y[ys[col + k]];
                    uint8_t* px = out + static_cast<ptrdiff_t>(col + k) * 4;
                    px[0] = Clamp(y + ub);
                    px[1] = Clamp(y + uvg);
                    px[2] = Clamp(y + vr);
                    px[3] = 255;
                }
            }
        }
        return;
    }
    // Other layouts: the chroma sample under each pixel by the planes' own
    // ratios, so 4:2:2 and 4:4:4 pictures keep their colours.
    for (int32_t row = 0; row < height; ++row) {
        const int32_t urow = static_cast<int32_t>(static_cast<int64_t>(row) * p.u.height / p.y.height);
        const int32_t vrow = static_cast<int32_t>(static_cast<int64_t>(row) * p.v.height / p.y.height);
        const uint8_t* ys = p.y.data + static_cast<ptrdiff_t>(row) * p.y.stride;
        const uint8_t* us = p.u.data + static_cast<ptrdiff_t>(urow) * p.u.stride;
        const uint8_t* vs = p.v.data + static_cast<ptrdiff_t>(vrow) * p.v.stride;
        uint8_t* out = dest + static_cast<ptrdiff_t>(row) * dest_pitch;
        for (int32_t col = 0; col < width; ++col) {
            const int32_t ucol = static_cast<int32_t>(static_cast<int64_t>(col) * p.u.width / p.y.width);
            const int32_t vcol = static_cast<int32_t>(static_cast<int64_t>(col) * p.v.width / p.y.width);
            const double y = (ys[col] - 16) * 1.164;
            const double u = us[ucol] - 128.0;
            const double v = vs[vcol] - 128.0;
            uint8_t* px = out + static_cast<ptrdiff_t>(col) * 4;
            px[0] = ClampFloat(y + u * 2.018);
            px[1] = ClampFloat(y - u * 0.391 - v * 0.813);
            px[2] = ClampFloat(y + v * 1.596);
            px[3] = 255;
        }
    }
}

}  // namespace velk
