// Label jumps at three sizes that double, each size timed with a reference
// measured in the same run: copying the same command list. `of_copy_<n>` is
// the work's time divided by the copy's; `growth_<n>` the time at n divided
// by the time at half n: about 2 when the cost follows the list, 4 when it
// follows its square. `ms_<n>` is the work's best time.
//   LabelJumpPreparation: a common event of n blocks (a label, a counted
//     loop, in it a jump to the label of block n / 2 before, or for every
//     fourth block to the one n / 2 after, then the loop's end), prepared
//     before it first runs: n jumps, each over many loops that close on the
//     way. The preparation includes a copy of the list (it changes it), and
//     a count of the jump data written: `jump_ints_<n>`.
//   LabelJumpSearch: one jump searched at run time through n labels holding
//     \s[1] with a 1 MiB S1 (and a number after it, so that no two labels are
//     alike), for a name none of them converts to.

#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "bench/bench_timing.h"
#include "bench/quiet_reporter.h"
#include "game/data/databases.h"
#include "game/data/error_reporter.h"
#include "game/data/variable_store.h"
#include "game/event/call_commands.h"
#include "game/event/command_preparation.h"
#include "game/event/common_events.h"
#include "game/event/event_interpreter.h"
#include "game/present/event_text_link.h"

namespace velk {
namespace {

EventCommand Command(CommandCode code, int32_t indent, std::vector<int32_t> arguments = {},
                     std::vector<std::string> strings = {}) {
    EventCommand command;
    command.arguments = {CodeValue(code)};
    command.arguments.insert(command.arguments.end(), arguments.begin(), arguments.end());
    command.indent = indent;
    command.strings = std::move(strings);
    return command;
}

// Work that lasts long is timed once a round, the rest in batches.
double BestSeconds(const std::function<void()>& fn) {
    const double once = bench::OneCallSeconds(fn);
    if (once > 0.2) return std::min(once, bench::OneCallSeconds(fn));
    return bench::SecondsPerCall(fn);
}

// Times `work` and `copy` at each size, and reports their ratio and the
// growth from one size to the next.
void Report(benchmark::State& state, const std::vector<int>& sizes,
            const std::function<std::pair<double, double>(int)>& measure) {
    std::vector<double> times;
    for (auto _ : state) {
        times.clear();
        for (int n : sizes) {
            auto [work, copy] = measure(n);
            times.push_back(work);
            state.counters["of_copy_" + std::to_string(n)] = work / copy;
            state.counters["ms_" + std::to_string(n)] = work * 1e3;
        }
    }
    for (size_t i = 1; i < sizes.size(); ++i)
        state.counters["growth_" + std::to_string(sizes[i])] = times[i] / times[i - 1];
}

std::vector<EventCommand> PreparationList(int blocks) {
    std::vector<EventCommand> commands;
    for (int i = 0; i < blocks; ++i) {
        const int target = i % 4 == 3 ? std::min(blocks - 1, i + blocks / 2) : i / 2;
        std::string label = "L", jump = "L";
        label += std::to_string(i);
        jump += std::to_string(target);
        commands.push_back(Command(CommandCode::kLabel, 0, {}, {label}));
        commands.push_back(Command(CommandCode::kLoopCount, 0, {2}));
        commands.push_back(Command(CommandCode::kJumpToLabel, 1, {}, {jump}));
        commands.push_back(Command(CommandCode::kLoopEnd, 0));
    }
    commands.push_back(Command(CommandCode::kEndOfList, 0));
    return commands;
}

void LabelJumpPreparation(benchmark::State& state) {
    DatabaseSet databases;
    VariableStore store(nullptr, &databases);
    Report(state, {10000, 20000, 40000}, [&](int blocks) {
        const std::vector<EventCommand> commands = PreparationList(blocks);
        size_t written = 0;
        const double work = BestSeconds([&] {
            CommandList list(commands);
            PreResolveCommonEvent(list, 0, store, databases);
            written = 0;
            for (size_t line = 2; line < list.Size(); line += 4)
                written += list[line].jumps.size();
            benchmark::DoNotOptimize(written);
        });
        // Each jump leaves one loop: 5 numbers of jump data; the loops closed
        // on the way add nothing.
        state.counters["jump_ints_" + std::to_string(blocks)] = static_cast<double>(written);
        const double copy = BestSeconds([&] {
            CommandList list(commands);
            benchmark::DoNotOptimize(list[2].jumps.data());
        });
        return std::make_pair(work, copy);
    });
}
BENCHMARK(LabelJumpPreparation)->Unit(benchmark::kMillisecond)->Iterations(1);

void LabelJumpSearch(benchmark::State& state) {
    bench::QuietReporter quiet;
    ScopedErrorReporter reporter(quiet);
    DatabaseSet databases;
    VariableStore store(nullptr, &databases);
    store.SetString(kStringBase + 1, std::string(size_t{1} << 20, 'a'));
    EscapeCodeTextLink text(store);
    CommonEventList commonEvents;
    CallCommands calls(commonEvents, store, text);
    Report(state, {1000, 2000, 4000}, [&](int labels) {
        std::vector<EventCommand> commands;
        for (int i = 0; i < labels; ++i)
            commands.push_back(Command(CommandCode::kLabel, 0, {}, {"\\s[1]" + std::to_string(i)}));
        commands.push_back(Command(CommandCode::kJumpToLabel, 0, {}, {"nowhere"}));
        commands.push_back(Command(CommandCode::kEndOfList, 0));
        auto list = std::make_shared<const CommandList>(commands);
        EventInterpreter interpreter;
        const double work = BestSeconds([&] {
            interpreter.Setup(list, -1, -1);
            interpreter.line = labels;
            calls.JumpToLabel(interpreter, (*list)[static_cast<size_t>(labels)]);
            benchmark::DoNotOptimize(interpreter.line);
        });
        if (interpreter.line != labels) std::abort();
        const double copy = BestSeconds([&] {
            CommandList copied(commands);
            benchmark::DoNotOptimize(copied[0].strings.data());
        });
        return std::make_pair(work, copy);
    });
}
BENCHMARK(LabelJumpSearch)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
}  // namespace velk
