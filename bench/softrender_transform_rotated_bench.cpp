// Speed of the software renderer's rotated draw: a full-screen 640 x 480
// image turned by 0.3 radians at scale 1.0 about the screen's centre, in
// copy and alpha modes. Ratios measured in the same run: `vs_pixman_*` is
// pixman's time for the same transformed composite (nearest filter) divided
// by ours (above 1: we are faster); `of_memcpy` is our destination bytes per
// second as a fraction of memcpy's on a buffer of the screen's size.
//
// The four-corner draw of the same turned picture is measured against the
// same pixman composites.
//
// pixman's SRC writes every destination pixel (zero outside the turned
// image); its OVER leaves the outside alone, as our draw does.

#include <benchmark/benchmark.h>
#include <pixman.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <functional>
#include <random>
#include <vector>

#include "bench/bench_timing.h"
#include "lib/softrender/blend_tables.h"
#include "lib/softrender/draw_settings.h"
#include "lib/softrender/memimg.h"
#include "lib/softrender/transform/transformed_fill.h"

namespace velk {
namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 480;
constexpr float kAngle = 0.3f;

using bench::SecondsPerCall;

double MemcpyBytesPerSecond() {
    static const double rate = bench::MemcpyBytesPerSecond(size_t{kWidth} * kHeight * 4);
    return rate;
}

struct Image {
    MEMIMG mem{};
    pixman_image_t* pix = nullptr;

    Image(int format, uint32_t seed) {
        CreateMemImg(&mem, kWidth, kHeight, -1, 0, format, 0, 0, nullptr);
        std::mt19937 random(seed);
        const int row_bytes = kWidth * MemImgBytesPerPixel(*mem.base);
        for (int y = 0; y < kHeight; ++y) {
            uint8_t* row = mem.pixels + static_cast<ptrdiff_t>(y) * mem.base->pitch;
            for (int i = 0; i < row_bytes; ++i) row[i] = static_cast<uint8_t>(random());
        }
        pix = pixman_image_create_bits(format == kMemImgFormat16 ? PIXMAN_r5g6b5 : PIXMAN_x8r8g8b8, kWidth, kHeight,
                                       reinterpret_cast<uint32_t*>(mem.pixels), mem.base->pitch);
    }
    ~Image() {
        pixman_image_unref(pix);
        ReleaseMemImg(&mem);
    }
};

// The same inverse mapping as the draw: destination pixel centres turned back
// by the angle about the screen's centre.
void SetRotation(pixman_image_t* image) {
    const double c = std::cos(static_cast<double>(kAngle));
    const double s = std::sin(static_cast<double>(kAngle));
    const double cx = kWidth / 2, cy = kHeight / 2;
    pixman_transform_t transform;
    pixman_transform_init_identity(&transform);
    transform.matrix[0][0] = pixman_double_to_fixed(c);
    transform.matrix[0][1] = pixman_double_to_fixed(s);
    transform.matrix[0][2] = pixman_double_to_fixed(cx - (c * cx + s * cy));
    transform.matrix[1][0] = pixman_double_to_fixed(-s);
    transform.matrix[1][1] = pixman_double_to_fixed(c);
    transform.matrix[1][2] = pixman_double_to_fixed(cy - (-s * cx + c * cy));
    pixman_image_set_transform(image, &transform);
    pixman_image_set_filter(image, PIXMAN_FILTER_NEAREST, nullptr, 0);
    pixman_image_set_repeat(image, PIXMAN_REPEAT_NONE);
}

void Composite(pixman_op_t op, pixman_image_t* src, pixman_image_t* mask, pixman_image_t* dst) {
    pixman_image_composite32(op, src, mask, dst, 0, 0, 0, 0, 0, 0, kWidth, kHeight);
}

// The four corners of the turned image, for the four-corner draw.
void TurnedCorners(int32_t (&corners)[8]) {
    const double c = std::cos(static_cast<double>(kAngle));
    const double s = std::sin(static_cast<double>(kAngle));
    const double offsets[4][2] = {{-kWidth / 2, -kHeight / 2}, {kWidth / 2, -kHeight / 2},
                                  {-kWidth / 2, kHeight / 2}, {kWidth / 2, kHeight / 2}};
    for (int i = 0; i < 4; ++i) {
        corners[2 * i] = static_cast<int32_t>(std::lround(kWidth / 2 + offsets[i][0] * c - offsets[i][1] * s));
        corners[2 * i + 1] = static_cast<int32_t>(std::lround(kHeight / 2 + offsets[i][0] * s + offsets[i][1] * c));
    }
}

void Run(benchmark::State& state, int mode, int param, bool four_corners = false) {
    const int format = static_cast<int>(state.range(0));
    InitMemImgTables();
    SetMemImgDrawBlendMode(mode, param);
    SetMemImgDrawBright(255, 255, 255);
    SetMemImgDrawArea({0, 0, kWidth, kHeight});
    Image src(format, 1), dst(format, 2);
    SetRotation(src.pix);
    int32_t corners[8];
    TurnedCorners(corners);
    auto ours = [&] {
        if (four_corners) {
            DrawMemImgQuad(&dst.mem, &src.mem, corners, 0, nullptr);
        } else {
            DrawMemImgRotated(&dst.mem, &src.mem, kWidth / 2, kHeight / 2, kAngle, 1.0f, 0, 0, nullptr);
        }
    };
    for (auto _ : state) {
        ours();
        benchmark::ClobberMemory();
    }
    const double our_seconds = SecondsPerCall(ours);
    pixman_color_t mask_color{0, 0, 0, static_cast<uint16_t>(param * 257)};
    pixman_image_t* mask = mode == 1 ? pixman_image_create_solid_fill(&mask_color) : nullptr;
    if (mode == 0) {
        state.counters["vs_pixman_src"] =
            SecondsPerCall([&] { Composite(PIXMAN_OP_SRC, src.pix, nullptr, dst.pix); }) / our_seconds;
    }
    state.counters["vs_pixman_over"] =
        SecondsPerCall([&] { Composite(PIXMAN_OP_OVER, src.pix, mask, dst.pix); }) / our_seconds;
    if (mask != nullptr) pixman_image_unref(mask);
    const double dest_bytes = double{kWidth} * kHeight * (format == kMemImgFormat16 ? 2 : 4);
    state.counters["of_memcpy"] = (dest_bytes / our_seconds) / MemcpyBytesPerSecond();
    state.counters["ms"] = our_seconds * 1000.0;
}

void BM_RotatedCopy(benchmark::State& state) { Run(state, 0, 255); }
void BM_RotatedAlpha128(benchmark::State& state) { Run(state, 1, 128); }
// The same picture as a four-corner draw (two exact triangles).
void BM_FourCornerCopy(benchmark::State& state) { Run(state, 0, 255, true); }
void BM_FourCornerAlpha128(benchmark::State& state) { Run(state, 1, 128, true); }

BENCHMARK(BM_RotatedCopy)->Arg(kMemImgFormat32)->Arg(kMemImgFormat16);
BENCHMARK(BM_RotatedAlpha128)->Arg(kMemImgFormat32)->Arg(kMemImgFormat16);
BENCHMARK(BM_FourCornerCopy)->Arg(kMemImgFormat32);
BENCHMARK(BM_FourCornerAlpha128)->Arg(kMemImgFormat32);

}  // namespace
}  // namespace velk
