// Speed of drawing text from a warm glyph cache, reported as `vs_blit`: the
// time of one 40-character Japanese line at 16 pixels divided by the time of
// a plain 640 x 16 software blit of the same area in the same run (below 1:
// the text is faster than copying its rectangle), on a 32-bit screen and
// (the ...16 benchmarks) a 16-bit one. Plain and anti-aliased text in mode 0,
// and blended text without anti-aliasing at 32 bits, are written straight
// into the target; other blended text is rendered into the font's cache
// screen and blitted from there. Times are the best of alternating batches,
// reported as `text_ns` and `blit_ns` beside their ratio. The PerString
// benchmarks time the line with each glyph cut to one row.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "lib/graphics/draw_path.h"
#include "lib/graphics/draw_settings.h"
#include "lib/graphics/font/font_handles.h"
#include "lib/graphics/font/text_draw.h"
#include "lib/graphics/font/text_draw_screen.h"
#include "lib/graphics/graph_draw.h"
#include "lib/softrender/blend_tables.h"
#include "lib/softrender/draw_settings.h"
#include "bench/bench_timing.h"
#include "lib/softrender/memimg.h"
#include "lib/softrender/memimg_draw.h"
#include "platform/base/debug_output.h"
#include "lib/core/log.h"
#include "platform/base/text_encoding.h"

namespace velk {
namespace {

using bench::BestSecondsPerCall;

class SoftwareScreenHost : public GraphicsHost {
public:
    explicit SoftwareScreenHost(int bits) : bits_(bits) {}
    int ScreenWidth() const override { return 640; }
    int ScreenHeight() const override { return 480; }
    int ScreenColorBits() const override { return bits_; }
    bool SoftwareRendering() const override { return true; }

private:
    int bits_;
};

// A 640 x 480 software screen of 32 or 16 bits with font management started.
struct Screen {
    int bits;
    SoftwareScreenHost host;
    MEMIMG target{};
    MEMIMG strip{};

    explicit Screen(int screen_bits) : bits(screen_bits), host(screen_bits) {
        const int format = bits == 16 ? kMemImgFormat16 : kMemImgFormat32;
        platform::SetDebugOutputEnabled(false);
        SetLogOutputFlag(0);
        InitMemImgTables();
        SetGraphicsHost(&host);
        InitGraphManagement();
        SetDrawScreen(kBackScreen);
        CreateMemImg(&target, 640, 480, -1, 0, format, 0, 0, nullptr);
        CreateMemImg(&strip, 640, 16, -1, 0, format, 0, 0, nullptr);
        FillMemImg(&strip, nullptr, 0x00336699);
        DefaultSoftwareTextDrawScreen().SetTarget(&target);
        InitFontManagement();
    }
    ~Screen() {
        EndFontManagement();
        DefaultSoftwareTextDrawScreen().SetTarget(nullptr);
        ReleaseMemImg(&strip);
        ReleaseMemImg(&target);
        EndGraphManagement();
        SetGraphicsHost(nullptr);
    }
};

// One screen at a time: the graphics and fonts start again when the depth
// changes. The last is left to the end of the process: ending the fonts at
// exit would reach font tables already destroyed.
Screen& TheScreen(int bits) {
    static auto* screen = new std::unique_ptr<Screen>;
    if (!*screen || (*screen)->bits != bits) {
        screen->reset();
        *screen = std::make_unique<Screen>(bits);
    }
    return **screen;
}

// 40 characters of everyday Japanese text.
const std::string& Line() {
    static const std::string line = platform::Utf8ToShiftJis("今日は良い天気ですね。明日の予定を確認して、朝早く駅前の喫茶店で待ち合わせしよう");
    return line;
}

// `one_row`: the work of a string outside the glyph writers, the same line
// cut by the draw area to one row through the middle of its glyphs, so that
// each glyph puts down a single row.
void Measure(benchmark::State& state, int font_type, int blend_mode, int blend_param, int bits = 32,
             bool one_row = false) {
    Screen& screen = TheScreen(bits);
    const int font = CreateFontToHandle(nullptr, 16, 4, font_type, -1, font_type & 1 ? 1 : -1, 0);
    const uint32_t white = GetColorValue(255, 255, 255);
    SetDrawBlendMode(blend_mode, blend_param);
    if (one_row) {
        SetDrawArea(0, 108, 640, 109);
    }
    auto text = [&] { DrawStringToHandle(0, 100, Line().c_str(), white, font, 0); };
    auto blit = [&] {
        SetMemImgDrawBlendMode(0, 255);
        SetMemImgDrawArea(Rect{0, 0, 640, 480});
        BltMemImg(&screen.target, &screen.strip, 0, 200, 0, nullptr);
    };
    text();  // warms the cache
    for (auto _ : state) {
        text();
        benchmark::ClobberMemory();
    }
    const std::vector<double> best = BestSecondsPerCall({text, blit});
    state.counters["vs_blit"] = best[0] / best[1];
    state.counters["text_ns"] = best[0] * 1e9;
    state.counters["blit_ns"] = best[1] * 1e9;
    state.counters["chars"] = 40;
    SetDrawArea(0, 0, 640, 480);
    SetDrawBlendMode(0, 255);
    DeleteFontToHandle(font);
}

void BM_PlainLine(benchmark::State& state) { Measure(state, 0, 0, 255); }
void BM_EdgedLine(benchmark::State& state) { Measure(state, 1, 0, 255); }
void BM_AntiAliasedLine(benchmark::State& state) { Measure(state, 2, 0, 255); }
void BM_AntiAliasedEdgedLine(benchmark::State& state) { Measure(state, 3, 0, 255); }
void BM_BlendedPlainLine(benchmark::State& state) { Measure(state, 0, 1, 128); }
void BM_EdgedLine16(benchmark::State& state) { Measure(state, 1, 0, 255, 16); }
void BM_AntiAliasedLine16(benchmark::State& state) { Measure(state, 2, 0, 255, 16); }
void BM_AntiAliasedEdgedLine16(benchmark::State& state) { Measure(state, 3, 0, 255, 16); }

void BM_PerStringAntiAliasedEdged(benchmark::State& state) { Measure(state, 3, 0, 255, 32, true); }
void BM_PerStringEdged16(benchmark::State& state) { Measure(state, 1, 0, 255, 16, true); }

BENCHMARK(BM_PlainLine);
BENCHMARK(BM_EdgedLine);
BENCHMARK(BM_AntiAliasedLine);
BENCHMARK(BM_AntiAliasedEdgedLine);
BENCHMARK(BM_BlendedPlainLine);
BENCHMARK(BM_EdgedLine16);
BENCHMARK(BM_AntiAliasedLine16);
BENCHMARK(BM_AntiAliasedEdgedLine16);
BENCHMARK(BM_PerStringAntiAliasedEdged);
BENCHMARK(BM_PerStringEdged16);

}  // namespace
}  // namespace velk
