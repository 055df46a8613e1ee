// Speed of the escape-code conversion on a 16 MiB message (the longest text a
// string holds), reported as `of_memcpy`: the conversion's time divided by
// the time of copying 16 MiB once, measured in the same run (`ms` is the
// conversion's best time). A conversion whose cost followed the text's length
// times its codes would show here as a figure in the thousands.
//   EscapeCodesJapanese: Shift-JIS prose, many of whose characters end in a
//     backslash byte, with a colour, an icon and a variable code per line.
//   EscapeCodesDense: nothing but codes of every format kind.
//   EscapeCodesMillionValues: a million variable codes over the 16 MiB.
//   EscapeCodesSelfHolding: a string that holds its own code ("a\s[1]"),
//     expanded byte by byte up to the longest string: 16 million
//     replacements.
//   EscapeCodesSelfHoldingInPlace: one that holds its own code without
//     growing ("\s[5]"), expanded until its run of replacements in place
//     stops it.
//   EscapeCodesChainsToTheWorkBound: chains of ten strings for a million
//     codes, stopped by the bound of work: the longest a conversion lasts.

#include <functional>
#include <string>

#include <benchmark/benchmark.h>

#include "bench/bench_timing.h"
#include "bench/quiet_reporter.h"
#include "game/data/databases.h"
#include "game/data/error_reporter.h"
#include "game/data/variable_store.h"
#include "game/present/escape_codes.h"

namespace velk {
namespace {

constexpr size_t kTextBytes = size_t{16} << 20;

std::string Repeated(const std::string& piece) {
    std::string text;
    text.reserve(kTextBytes + piece.size());
    while (text.size() < kTextBytes)
        text += piece;
    return text;
}

// A store whose variables 0-99 exist; `fill` sets values.
void Measure(benchmark::State& state, const std::string& text,
             const std::function<void(VariableStore&)>& fill = nullptr) {
    bench::QuietReporter quiet;
    ScopedErrorReporter reporter(quiet);
    DatabaseSet databases;
    for (int32_t type = 0; type < 25; ++type) {
        databases.system.types.emplace_back().rows.resize(type == 14 ? 100 : 1);
        databases.system.typeDefs.emplace_back();
    }
    VariableStore store(nullptr, &databases);
    store.Resize();
    if (fill) fill(store);
    const double copy = static_cast<double>(kTextBytes) / bench::MemcpyBytesPerSecond(kTextBytes);
    double seconds = 1e9;
    for (auto _ : state) {
        seconds = std::min(seconds, bench::SecondsPerCall([&] {
                               std::string converted = ConvertEscapeCodes(store, text, EscapeCodeOptions{});
                               benchmark::DoNotOptimize(converted.data());
                           }));
    }
    state.counters["of_memcpy"] = seconds / copy;
    state.counters["ms"] = seconds * 1e3;
}

void EscapeCodesJapanese(benchmark::State& state) {
    // "表示ソフト" (its first and third characters end in 0x5C) and a line.
    const std::string prose = "\x95\x5C\x8E\xA6\x83\x5C\x83\x74\x83\x67";
    Measure(state, Repeated(prose + prose + "\\c[2]" + prose + "\\i[3]" + prose + "\\v[1]\n"));
}
BENCHMARK(EscapeCodesJapanese)->Unit(benchmark::kMillisecond)->Iterations(1);

void EscapeCodesDense(benchmark::State& state) {
    Measure(state, Repeated("\\c[1]\\font[1]\\f[2]\\m[3]\\E\\N\\-[1]\\r[a]\\>\\<\\sp[2]\\.\\!\\^\\space[1]<L><C><R>"
                            "\\i[1]\\img[x]\\mx[1]\\my[2]\\\\"));
}
BENCHMARK(EscapeCodesDense)->Unit(benchmark::kMillisecond)->Iterations(1);

void EscapeCodesMillionValues(benchmark::State& state) {
    Measure(state, Repeated("\\v[5]..........."), [](VariableStore& store) { store.SetInt(2000005, -3); });
}
BENCHMARK(EscapeCodesMillionValues)->Unit(benchmark::kMillisecond)->Iterations(1);

void EscapeCodesSelfHolding(benchmark::State& state) {
    Measure(state, "\\s[1]", [](VariableStore& store) { store.SetString(3000001, "a\\s[1]"); });
}
BENCHMARK(EscapeCodesSelfHolding)->Unit(benchmark::kMillisecond)->Iterations(1);

void EscapeCodesSelfHoldingInPlace(benchmark::State& state) {
    Measure(state, "\\s[5]", [](VariableStore& store) { store.SetString(3000005, "\\s[5]"); });
}
BENCHMARK(EscapeCodesSelfHoldingInPlace)->Unit(benchmark::kMillisecond)->Iterations(1);

void EscapeCodesChainsToTheWorkBound(benchmark::State& state) {
    Measure(state, Repeated("\\s[10]").substr(0, kTextBytes - kTextBytes % 6), [](VariableStore& store) {
        for (int id = 10; id < 20; ++id)
            store.SetString(3000000 + id, "\\s[" + std::to_string(id + 1) + "]");
    });
}
BENCHMARK(EscapeCodesChainsToTheWorkBound)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
}  // namespace velk
