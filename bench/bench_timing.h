#pragma once
// Timing shared by the benchmarks that report ratios: each function is timed
// in batches of about 5 ms, in alternating rounds so that every function sees
// the same machine load and cache state; the best round is the steadiest
// figure on a shared machine.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <vector>

namespace velk::bench {

// Calls per timed batch so that a batch lasts about 5 ms.
inline int BatchSize(const std::function<void()>& fn) {
    using Clock = std::chrono::steady_clock;
    fn();
    int batch = 1;
    for (;;) {
        const auto start = Clock::now();
        for (int i = 0; i < batch; ++i) fn();
        if (std::chrono::duration<double>(Clock::now() - start).count() > 0.005) return batch;
        batch *= 2;
    }
}

inline double TimeBatch(const std::function<void()>& fn, int batch) {
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    for (int i = 0; i < batch; ++i) fn();
    return std::chrono::duration<double>(Clock::now() - start).count() / batch;
}

// Best seconds per call of each function, timed in alternating rounds.
inline std::vector<double> BestSecondsPerCall(const std::vector<std::function<void()>>& fns) {
    std::vector<int> batches;
    for (const auto& fn : fns) batches.push_back(BatchSize(fn));
    std::vector<double> best(fns.size(), 1e9);
    for (int round = 0; round < 15; ++round) {
        for (size_t i = 0; i < fns.size(); ++i) best[i] = std::min(best[i], TimeBatch(fns[i], batches[i]));
    }
    return best;
}

// The screen depth a frame benchmark runs at: 32 bits, or 16 when the
// environment sets VELK_BENCH_BITS=16.
inline int BenchScreenBits() {
    const char* bits = std::getenv("VELK_BENCH_BITS");
    return bits != nullptr && std::strcmp(bits, "16") == 0 ? 16 : 32;
}

inline double SecondsPerCall(const std::function<void()>& fn) { return BestSecondsPerCall({fn})[0]; }

// One call's time, for work that is not repeated in batches (a whole load,
// summed over the benchmark's iterations).
inline double OneCallSeconds(const std::function<void()>& fn) {
    const auto start = std::chrono::steady_clock::now();
    fn();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

inline double MillisecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

// memcpy's speed on a buffer of the given size: the reference that
// `of_memcpy` figures divide by.
inline double MemcpyBytesPerSecond(size_t size) {
    std::vector<uint8_t> a(size, 1), b(size, 2);
    const double seconds = SecondsPerCall([&] {
        std::memcpy(b.data(), a.data(), size);
        benchmark::DoNotOptimize(b.data());
    });
    return static_cast<double>(size) / seconds;
}

}  // namespace velk::bench
