// Speed of the string command's remove and replace and of the string
// branch's "contains", at 1, 2 and 4 MiB, each reported as `of_memcpy`: the
// command's time divided by the time of copying the same number of bytes
// once, measured in the same run (`ms` is the command's best time). The
// command's time includes storing the text into the target again and the
// copies the command makes of its variables. A figure that stays the same
// from size to size is a cost that doubles with the text; a cost that grew
// with the text's square would double the figure at each size.
//   StringRemove: "ab" from "a…ab…b", where each removal joins the two
//     halves into the next occurrence, until nothing is left.
//   StringReplaceOneByte: "," by ";" in comma-separated lines of numbers and
//     two-byte words, where a one-byte part must be judged a whole character.
//   StringReplaceLonger: "aab" by "xy" in "aaab…", a part that begins again
//     inside itself.
//   StringContains: "a…ab" of half the length in "a…a", found nowhere but
//     begun again at every byte.

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "bench/bench_timing.h"
#include "bench/quiet_reporter.h"
#include "game/data/databases.h"
#include "game/data/error_reporter.h"
#include "game/data/system_variable_block.h"
#include "game/data/variable_id.h"
#include "game/data/variable_store.h"
#include "game/event/command_table.h"
#include "game/event/event_interpreter.h"
#include "game/event/event_links.h"
#include "game/event/value_commands.h"

namespace velk {
namespace {

constexpr size_t kMiB = size_t{1} << 20;
constexpr VariableId kTarget = kStringBase + 1;
constexpr VariableId kPart = kStringBase + 2;

EventCommand Command(CommandCode code, std::vector<int32_t> arguments, std::vector<std::string> strings) {
    EventCommand command;
    command.arguments = {CodeValue(code)};
    command.arguments.insert(command.arguments.end(), arguments.begin(), arguments.end());
    command.strings = std::move(strings);
    return command;
}

std::string Repeated(const std::string& unit, size_t size) {
    std::string text;
    text.reserve(size + unit.size());
    while (text.size() < size)
        text += unit;
    text.resize(size);
    return text;
}

// The store, the interpreter and the value commands one command runs with.
class StringCommandBench {
public:
    StringCommandBench() : reporter_(quiet_), commands_(store_, databases_, block_, {}, false) {
        ActiveEventLinks().variables = &store_;
        ActiveEventLinks().databases = &databases_;
    }
    ~StringCommandBench() { ResetEventLinks(); }

    // Seconds for `text` to be stored into the target and the command of
    // `operation` (8 remove, 9 replace) with `part` to run on it.
    double EditSeconds(const std::string& text, int32_t operation, const std::string& part,
                       const std::string& replacement, size_t expectedSize) {
        store_.SetString(kPart, part);
        const EventCommand command =
            Command(CommandCode::kStringOperation, {kTarget, operation << 8 | 1, kPart}, {"", replacement});
        const double seconds = bench::SecondsPerCall([&] {
            store_.SetString(kTarget, text);
            commands_.StringOperation(interpreter_, command);
        });
        Check(store_.GetString(kTarget).size() == expectedSize);
        return seconds;
    }

    double ContainsSeconds(const std::string& left, const std::string& right, bool expected) {
        store_.SetString(kTarget, left);
        store_.SetString(kPart, right);
        const EventCommand command =
            Command(CommandCode::kStringConditionBranch, {1, kTarget | 2 << 28 | 1 << 24, kPart}, {""});
        const double seconds = bench::SecondsPerCall([&] { commands_.StringConditionBranch(interpreter_, command); });
        Check(*interpreter_.BranchSlot(0) == (expected ? 1 : 0));
        return seconds;
    }

private:
    static void Check(bool holds) {
        if (holds) return;
        std::fprintf(stderr, "string_command_bench: wrong result\n");
        std::abort();
    }

    bench::QuietReporter quiet_;
    ScopedErrorReporter reporter_;
    DatabaseSet databases_;
    VariableStore store_{nullptr, &databases_};
    SystemVariableBlock block_;
    ValueCommands commands_;
    EventInterpreter interpreter_;
};

void Report(benchmark::State& state, size_t size, double seconds) {
    const double copy = static_cast<double>(size) / bench::MemcpyBytesPerSecond(size);
    state.counters["of_memcpy"] = seconds / copy;
    state.counters["ms"] = seconds * 1e3;
}

void StringRemove(benchmark::State& state) {
    const size_t size = static_cast<size_t>(state.range(0)) * kMiB;
    const std::string text = std::string(size / 2, 'a') + std::string(size / 2, 'b');
    StringCommandBench bench;
    double best = 1e9;
    for (auto _ : state)
        best = std::min(best, bench.EditSeconds(text, 8, "ab", "", 0));
    Report(state, size, best);
}
BENCHMARK(StringRemove)->Unit(benchmark::kMillisecond)->Iterations(1)->Arg(1)->Arg(2)->Arg(4);

void StringReplaceOneByte(benchmark::State& state) {
    const size_t size = static_cast<size_t>(state.range(0)) * kMiB;
    // "12,345,表示,ソフト,6789\n": 表 and ソ end in a backslash, ト in 0x67.
    const std::string line = "12,345,\x95\x5C\x8E\xA6,\x83\x5C\x83\x74\x83\x67,6789\n";
    const std::string text = Repeated(line, size);
    StringCommandBench bench;
    double best = 1e9;
    for (auto _ : state)
        best = std::min(best, bench.EditSeconds(text, 9, ",", ";", size));
    Report(state, size, best);
}
BENCHMARK(StringReplaceOneByte)->Unit(benchmark::kMillisecond)->Iterations(1)->Arg(1)->Arg(2)->Arg(4);

void StringReplaceLonger(benchmark::State& state) {
    const size_t size = static_cast<size_t>(state.range(0)) * kMiB;
    const std::string text = Repeated("aaab", size);
    StringCommandBench bench;
    double best = 1e9;
    for (auto _ : state)
        best = std::min(best, bench.EditSeconds(text, 9, "aab", "xy", size * 3 / 4));
    Report(state, size, best);
}
BENCHMARK(StringReplaceLonger)->Unit(benchmark::kMillisecond)->Iterations(1)->Arg(1)->Arg(2)->Arg(4);

void StringContains(benchmark::State& state) {
    const size_t size = static_cast<size_t>(state.range(0)) * kMiB;
    StringCommandBench bench;
    double best = 1e9;
    for (auto _ : state)
        best = std::min(best, bench.ContainsSeconds(std::string(size, 'a'), std::string(size / 2, 'a') + "b", false));
    Report(state, size, best);
}
BENCHMARK(StringContains)->Unit(benchmark::kMillisecond)->Iterations(1)->Arg(1)->Arg(2)->Arg(4);

}  // namespace
}  // namespace velk
