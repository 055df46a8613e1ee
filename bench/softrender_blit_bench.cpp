// Speed of the software blits on 640 x 480 images, reported as ratios measured
// in the same run: `vs_pixman` is pixman's time for the equivalent operation
// divided by ours (above 1: we are faster), `of_memcpy` is our destination
// bytes per second as a fraction of memcpy's bytes per second on a buffer of
// the same size (a plain copy near 1 runs at memory speed). Times are the best
// of alternating batches.

#include <benchmark/benchmark.h>
#include <pixman.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <functional>
#include <random>
#include <vector>

#include "bench/bench_timing.h"
#include "lib/softrender/blend_tables.h"
#include "lib/softrender/draw_settings.h"
#include "lib/softrender/memimg.h"
#include "lib/softrender/memimg_draw.h"

namespace velk {
namespace {

using bench::BestSecondsPerCall;
using bench::SecondsPerCall;

constexpr int kWidth = 640;
constexpr int kHeight = 480;

double MemcpyBytesPerSecond() {
    static const double rate = bench::MemcpyBytesPerSecond(size_t{kWidth} * kHeight * 4);
    return rate;
}

struct Image {
    MEMIMG mem{};
    pixman_image_t* pix = nullptr;

    Image(int width, int height, int format, int alpha, uint32_t seed) {
        CreateMemImg(&mem, width, height, -1, 0, format, 0, alpha, nullptr);
        std::mt19937 rng(seed);
        for (int y = 0; y < height; ++y) {
            auto* row = reinterpret_cast<uint8_t*>(mem.pixels + static_cast<ptrdiff_t>(y) * mem.base->pitch);
            for (int i = 0; i < width * MemImgBytesPerPixel(*mem.base); ++i) {
                row[i] = static_cast<uint8_t>(rng());
            }
        }
        const pixman_format_code_t code =
            format == 0 ? PIXMAN_r5g6b5 : (format == 2 ? PIXMAN_a8 : (alpha ? PIXMAN_a8r8g8b8 : PIXMAN_x8r8g8b8));
        pix = pixman_image_create_bits(code, width, height, reinterpret_cast<uint32_t*>(mem.pixels), mem.base->pitch);
    }
    ~Image() {
        pixman_image_unref(pix);
        ReleaseMemImg(&mem);
    }
};

void Configure(int mode, int param) {
    InitMemImgTables();
    SetMemImgDrawBlendMode(mode, param);
    SetMemImgDrawBright(255, 255, 255);
    SetMemImgDrawArea({0, 0, kWidth, kHeight});
}

// Runs our operation in the benchmark loop, then reports the two ratios.
void Report(benchmark::State& state, const std::function<void()>& ours, const std::function<void()>& pixman,
            int64_t dest_bytes) {
    for (auto _ : state) {
        ours();
        benchmark::ClobberMemory();
    }
    double our_seconds;
    if (pixman) {
        const std::vector<double> best = BestSecondsPerCall({ours, pixman});
        our_seconds = best[0];
        state.counters["vs_pixman"] = best[1] / our_seconds;
    } else {
        our_seconds = SecondsPerCall(ours);
    }
    state.counters["of_memcpy"] = (static_cast<double>(dest_bytes) / our_seconds) / MemcpyBytesPerSecond();
    state.SetBytesProcessed(state.iterations() * dest_bytes);
}

void Composite(pixman_op_t op, pixman_image_t* src, pixman_image_t* mask, pixman_image_t* dst, int width, int height) {
    pixman_image_composite32(op, src, mask, dst, 0, 0, 0, 0, 0, 0, width, height);
}

void BM_Copy(benchmark::State& state) {
    const int format = static_cast<int>(state.range(0));
    Image src(kWidth, kHeight, format, 0, 1), dst(kWidth, kHeight, format, 0, 2);
    Configure(0, 255);
    Report(
        state, [&] { BltMemImg(&dst.mem, &src.mem, 0, 0, 0, nullptr); },
        [&] { Composite(PIXMAN_OP_SRC, src.pix, nullptr, dst.pix, kWidth, kHeight); },
        int64_t{kWidth} * kHeight * (format == 0 ? 2 : 4));
}

void BM_KeyedCopy(benchmark::State& state) {
    const int format = static_cast<int>(state.range(0));
    Image src(kWidth, kHeight, format, 0, 1), dst(kWidth, kHeight, format, 0, 2);
    // A quarter of the pixels in the transparent colour.
    src.mem.base->trans_color = 0x00123456 & (format == 0 ? 0xFFFF : 0xFFFFFFFF);
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; x += 4) {
            const uint32_t key = src.mem.base->trans_color;
            std::memcpy(MemImgPixelAddress(src.mem, x, y), &key, format == 0 ? 2 : 4);
        }
    }
    Configure(0, 255);
    Report(
        state, [&] { BltMemImg(&dst.mem, &src.mem, 0, 0, 1, nullptr); }, nullptr,
        int64_t{kWidth} * kHeight * (format == 0 ? 2 : 4));
}

void BM_Blend(benchmark::State& state, int mode, int param, pixman_op_t op, bool solid_mask) {
    const int format = static_cast<int>(state.range(0));
    Image src(kWidth, kHeight, format, 0, 1), dst(kWidth, kHeight, format, 0, 2);
    Configure(mode, param);
    pixman_color_t mask_color{0, 0, 0, static_cast<uint16_t>(param * 257)};
    pixman_image_t* mask = solid_mask ? pixman_image_create_solid_fill(&mask_color) : nullptr;
    // At 16 bits pixman's r5g6b5 form of the same operation: the source has
    // no alpha channel, so OVER through the solid mask is the same weighted mix.
    std::function<void()> reference;
    if (op != PIXMAN_OP_CLEAR) {
        reference = [&] { Composite(op, src.pix, mask, dst.pix, kWidth, kHeight); };
    }
    Report(
        state, [&] { BltMemImg(&dst.mem, &src.mem, 0, 0, 0, nullptr); }, reference,
        int64_t{kWidth} * kHeight * (format == 0 ? 2 : 4));
    if (mask != nullptr) {
        pixman_image_unref(mask);
    }
}

void BM_Alpha128(benchmark::State& state) { BM_Blend(state, 1, 128, PIXMAN_OP_OVER, true); }
void BM_Alpha200(benchmark::State& state) { BM_Blend(state, 1, 200, PIXMAN_OP_OVER, true); }
void BM_Add255(benchmark::State& state) { BM_Blend(state, 2, 255, PIXMAN_OP_ADD, false); }
void BM_Add100(benchmark::State& state) { BM_Blend(state, 2, 100, PIXMAN_OP_ADD, true); }
void BM_Subtract255(benchmark::State& state) { BM_Blend(state, 3, 255, PIXMAN_OP_CLEAR, false); }
void BM_Multiply(benchmark::State& state) { BM_Blend(state, 4, 255, PIXMAN_OP_MULTIPLY, false); }

void BM_AlphaSource(benchmark::State& state) {
    Image src(kWidth, kHeight, 1, 1, 1), dst(kWidth, kHeight, 1, 0, 2);
    Configure(0, 255);
    // pixman's nearest operation: OVER of a premultiplied source.
    Report(
        state, [&] { BltMemImg(&dst.mem, &src.mem, 0, 0, 1, nullptr); },
        [&] { Composite(PIXMAN_OP_OVER, src.pix, nullptr, dst.pix, kWidth, kHeight); }, int64_t{kWidth} * kHeight * 4);
}

// A source with alpha drawn in add (mode 2) or multiply (mode 4) at full
// strength, under the transparency flag as games draw such pictures, against
// pixman's same operation through the source's alpha: at 32 bits the
// A8R8G8B8 source masked by itself, at 16 bits an r5g6b5 source masked by an
// a8 image of the same alpha values (pixman has no R5G6B5 with alpha).
void BM_AlphaSourceBlend(benchmark::State& state, int mode, pixman_op_t op) {
    const int format = static_cast<int>(state.range(0));
    Image src(kWidth, kHeight, format, 1, 1), dst(kWidth, kHeight, format, 0, 2);
    Image colors(kWidth, kHeight, format, 0, 1), alphas(kWidth, kHeight, 2, 0, 3);
    Configure(mode, 255);
    pixman_image_t* pixman_source = format == 0 ? colors.pix : src.pix;
    pixman_image_t* pixman_mask = format == 0 ? alphas.pix : src.pix;
    Report(
        state, [&] { BltMemImg(&dst.mem, &src.mem, 0, 0, 1, nullptr); },
        [&] { Composite(op, pixman_source, pixman_mask, dst.pix, kWidth, kHeight); },
        int64_t{kWidth} * kHeight * (format == 0 ? 2 : 4));
}

void BM_AlphaSourceAdd(benchmark::State& state) { BM_AlphaSourceBlend(state, 2, PIXMAN_OP_ADD); }
void BM_AlphaSourceMultiply(benchmark::State& state) { BM_AlphaSourceBlend(state, 4, PIXMAN_OP_MULTIPLY); }

// Subtract has no pixman counterpart: `vs_add` is the time of our add of the
// same images divided by our subtract's (above 1: subtract is faster).
void BM_AlphaSourceSubtract(benchmark::State& state) {
    const int format = static_cast<int>(state.range(0));
    Image src(kWidth, kHeight, format, 1, 1), dst(kWidth, kHeight, format, 0, 2);
    auto draw = [&](int mode) {
        SetMemImgDrawBlendMode(mode, 255);
        BltMemImg(&dst.mem, &src.mem, 0, 0, 1, nullptr);
    };
    Configure(3, 255);
    for (auto _ : state) {
        draw(3);
        benchmark::ClobberMemory();
    }
    const std::vector<double> best = BestSecondsPerCall({[&] { draw(3); }, [&] { draw(2); }});
    state.counters["vs_add"] = best[1] / best[0];
    const int64_t dest_bytes = int64_t{kWidth} * kHeight * (format == 0 ? 2 : 4);
    state.counters["of_memcpy"] = (static_cast<double>(dest_bytes) / best[0]) / MemcpyBytesPerSecond();
    state.SetBytesProcessed(state.iterations() * dest_bytes);
}

void BM_BlendGraph(benchmark::State& state) {
    Image src(kWidth, kHeight, 1, 0, 1), dst(kWidth, kHeight, 1, 0, 2), graph(kWidth, kHeight, 2, 0, 3);
    Configure(1, 200);
    BuildBlendGraphTable(128, 64);
    Report(
        state, [&] { BltMemImg(&dst.mem, &src.mem, 0, 0, 0, &graph.mem); }, nullptr, int64_t{kWidth} * kHeight * 4);
}

void BM_ScaledCopy2x(benchmark::State& state) {
    const int format = static_cast<int>(state.range(0));
    Image src(kWidth / 2, kHeight / 2, format, 0, 1), dst(kWidth, kHeight, format, 0, 2);
    Configure(0, 255);
    const Rect rect{0, 0, kWidth, kHeight};
    pixman_transform_t transform;
    pixman_transform_init_scale(&transform, pixman_double_to_fixed(0.5), pixman_double_to_fixed(0.5));
    pixman_image_set_transform(src.pix, &transform);
    pixman_image_set_filter(src.pix, PIXMAN_FILTER_NEAREST, nullptr, 0);
    Report(
        state, [&] { BltMemImgScaled(&dst.mem, &src.mem, &rect, 0, nullptr); },
        [&] { Composite(PIXMAN_OP_SRC, src.pix, nullptr, dst.pix, kWidth, kHeight); },
        int64_t{kWidth} * kHeight * (format == 0 ? 2 : 4));
}

void BM_ScaledAlpha2x(benchmark::State& state) {
    Image src(kWidth / 2, kHeight / 2, 1, 0, 1), dst(kWidth, kHeight, 1, 0, 2);
    Configure(1, 128);
    const Rect rect{0, 0, kWidth, kHeight};
    Report(
        state, [&] { BltMemImgScaled(&dst.mem, &src.mem, &rect, 0, nullptr); }, nullptr,
        int64_t{kWidth} * kHeight * 4);
}

// A window's frame pieces drawn stretched (picture and window edges): a
// 16-pixel column of alpha pixels stretched down the screen (arg 0), and a
// 16-pixel row stretched across it (arg 1), in mode 1.
void BM_ScaledAlphaEdge(benchmark::State& state) {
    const bool across = state.range(0) == 1;
    Image src(16, 16, 1, 1, 1), dst(kWidth, kHeight, 1, 0, 2);
    Configure(1, 230);
    const Rect rect = across ? Rect{0, 0, kWidth, 16} : Rect{0, 0, 16, kHeight};
    Report(
        state, [&] { BltMemImgScaled(&dst.mem, &src.mem, &rect, 1, nullptr); }, nullptr,
        int64_t{rect.right} * rect.bottom * 4);
}

void BM_FilledBox(benchmark::State& state) {
    const int format = static_cast<int>(state.range(0));
    Image dst(kWidth, kHeight, format, 0, 2);
    Configure(0, 255);
    pixman_color_t color{0x1234, 0x5678, 0x9ABC, 0xFFFF};
    pixman_box32_t box{0, 0, kWidth, kHeight};
    Report(
        state, [&] { DrawMemImgFilledBox(&dst.mem, nullptr, 0x00123456); },
        [&] { pixman_image_fill_boxes(PIXMAN_OP_SRC, dst.pix, &color, 1, &box); },
        int64_t{kWidth} * kHeight * (format == 0 ? 2 : 4));
}

void BM_AlphaBox(benchmark::State& state) {
    const int format = static_cast<int>(state.range(0));
    Image dst(kWidth, kHeight, format, 0, 2);
    Configure(1, 128);
    pixman_color_t color{0x1234, 0x5678, 0x9ABC, 0x8080};
    pixman_box32_t box{0, 0, kWidth, kHeight};
    Report(
        state, [&] { DrawMemImgFilledBox(&dst.mem, nullptr, format == 0 ? 0x1234 : 0x00123456); },
        [&] { pixman_image_fill_boxes(PIXMAN_OP_OVER, dst.pix, &color, 1, &box); },
        int64_t{kWidth} * kHeight * (format == 0 ? 2 : 4));
}

// Format 1 is 32-bit, format 0 16-bit.
BENCHMARK(BM_Copy)->Arg(1)->Arg(0);
BENCHMARK(BM_KeyedCopy)->Arg(1)->Arg(0);
BENCHMARK(BM_Alpha128)->Arg(1)->Arg(0);
BENCHMARK(BM_Alpha200)->Arg(1)->Arg(0);
BENCHMARK(BM_Add255)->Arg(1)->Arg(0);
BENCHMARK(BM_Add100)->Arg(1);
BENCHMARK(BM_Subtract255)->Arg(1)->Arg(0);
BENCHMARK(BM_Multiply)->Arg(1);
BENCHMARK(BM_AlphaSource);
BENCHMARK(BM_AlphaSourceAdd)->Arg(1)->Arg(0);
BENCHMARK(BM_AlphaSourceSubtract)->Arg(1)->Arg(0);
BENCHMARK(BM_AlphaSourceMultiply)->Arg(1)->Arg(0);
BENCHMARK(BM_BlendGraph);
BENCHMARK(BM_ScaledCopy2x)->Arg(1)->Arg(0);
BENCHMARK(BM_ScaledAlpha2x);
BENCHMARK(BM_ScaledAlphaEdge)->Arg(0)->Arg(1);
BENCHMARK(BM_FilledBox)->Arg(1)->Arg(0);
BENCHMARK(BM_AlphaBox)->Arg(1)->Arg(0);

}  // namespace
}  // namespace velk
