// Overlays laid over a presented frame: a 640 x 480 UYVY overlay converted
// to the frame unscaled, and a 320 x 240 one stretched twice its size, beside
// FFmpeg's swscale turning the same 640 x 480 UYVY picture into 32-bit BGR,
// timed in the same run. Reported as composites per second and as the ratio
// to swscale.

#include <cstdint>
#include <memory>
#include <vector>

#include <benchmark/benchmark.h>

extern "C" {
#include <libswscale/swscale.h>
}

#include "bench/bench_timing.h"
#include "platform/display/display_device.h"
#include "platform/display/display_surface.h"
#include "platform/display/overlay_composite.h"

namespace {

using namespace velk::platform;

std::shared_ptr<DdSurface> UyvyOverlay(DdDevice& device, uint32_t width, uint32_t height) {
    DdSurfaceDesc desc;
    desc.flags = kDdsdCaps | kDdsdWidth | kDdsdHeight | kDdsdPixelFormat;
    desc.caps = kDdsCapsOverlay;
    desc.width = width;
    desc.height = height;
    desc.pixel_format.flags = kPixelFormatFourCc;
    desc.pixel_format.four_cc = kFourCcUyvy;
    std::shared_ptr<DdSurface> surface;
    device.CreateSurface(desc, &surface);
    DdSurfaceDesc locked;
    surface->Lock(nullptr, &locked, kDdLockWriteOnly);
    auto* p = static_cast<uint8_t*>(locked.surface);
    for (uint32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < locked.pitch; ++x)
            p[y * locked.pitch + x] = static_cast<uint8_t>(x * 7 + y * 3);
    surface->Unlock(nullptr);
    return surface;
}

void BM_OverlayComposite(benchmark::State& state) {
    std::unique_ptr<DdDevice> device;
    DdDevice::Create(&device);
    const auto full = UyvyOverlay(*device, 640, 480);
    const auto quarter = UyvyOverlay(*device, 320, 240);
    std::vector<uint32_t> frame(640 * 480);
    const CompositeFrame target{frame.data(), 640, Rect{0, 0, 640, 480}};
    SwsContext* scaler =
        sws_getContext(640, 480, AV_PIX_FMT_UYVY422, 640, 480, AV_PIX_FMT_BGR0, SWS_POINT, nullptr, nullptr, nullptr);
    for (auto _ : state) {
        auto unscaled = [&] {
            CompositeOverlay(*full, Rect{0, 0, 640, 480}, Rect{0, 0, 640, 480}, target);
            benchmark::DoNotOptimize(frame.data());
        };
        auto stretched = [&] {
            CompositeOverlay(*quarter, Rect{0, 0, 320, 240}, Rect{0, 0, 640, 480}, target);
            benchmark::DoNotOptimize(frame.data());
        };
        auto reference = [&] {
            const uint8_t* planes[1] = {full->row(0)};
            const int pitches[1] = {full->pitch()};
            uint8_t* out[1] = {reinterpret_cast<uint8_t*>(frame.data())};
            const int out_pitches[1] = {640 * 4};
            sws_scale(scaler, planes, pitches, 0, 480, out, out_pitches);
            benchmark::DoNotOptimize(frame.data());
        };
        const std::vector<double> best = velk::bench::BestSecondsPerCall({unscaled, stretched, reference});
        state.counters["unscaled_per_s"] = 1.0 / best[0];
        state.counters["stretched_per_s"] = 1.0 / best[1];
        state.counters["swscale_per_s"] = 1.0 / best[2];
        state.counters["unscaled_of_swscale"] = best[2] / best[0];
    }
    sws_freeContext(scaler);
}
BENCHMARK(BM_OverlayComposite)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
