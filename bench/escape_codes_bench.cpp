// Speed of the escape-code conversion on a 16 MiB message (the longest text a
// string holds), reported as `of_memcpy`: the conversion's time divided by
// the time of copying the text once, measured in the same run. A conversion
// whose cost followed the text's length times its codes would show here as a
// figure in the thousands.
//   EscapeCodesJapanese: Shift-JIS prose, many of whose characters end in a
//     backslash byte, with a colour, an icon and a variable code per line.
//   EscapeCodesDense: nothing but codes of every format kind.

#include <string>

#include <benchmark/benchmark.h>

#include "bench/bench_timing.h"
#include "game/data/databases.h"
#include "game/data/error_reporter.h"
#include "game/data/variable_store.h"
#include "game/present/escape_codes.h"

namespace velk {
namespace {

constexpr size_t kTextBytes = size_t{16} << 20;

class QuietReporter final : public ErrorReporter {
public:
    void ShowErrorBox(const std::string&, const std::string&, const std::string&) override {}
    void ShowMessageBox(const std::string&, const std::string&, MessageBoxButtons) override {}
    void EndProgram(int) override {}
};

std::string Repeated(const std::string& piece) {
    std::string text;
    text.reserve(kTextBytes + piece.size());
    while (text.size() < kTextBytes)
        text += piece;
    return text;
}

void Measure(benchmark::State& state, const std::string& text) {
    QuietReporter quiet;
    ScopedErrorReporter reporter(quiet);
    DatabaseSet databases;
    VariableStore store(nullptr, &databases);
    const double copy = static_cast<double>(text.size()) / bench::MemcpyBytesPerSecond(text.size());
    double seconds = 1e9;
    for (auto _ : state) {
        seconds = std::min(seconds, bench::SecondsPerCall([&] {
                               std::string converted = ConvertEscapeCodes(store, text, EscapeCodeOptions{});
                               benchmark::DoNotOptimize(converted.data());
                           }));
    }
    state.counters["of_memcpy"] = seconds / copy;
    state.counters["MBps"] = static_cast<double>(text.size()) / 1e6 / seconds;
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

}  // namespace
}  // namespace velk
