// Speed of the event interpreter, reported as a ratio measured in the same
// run:
//   EventVariableOperations: 10 million additions to a variable (variable 5
//   := variable 3 + 7) run by a common event, ten to a pass of a counted
//   loop of a million passes, frame after frame until the event ends.
//   `commands_per_s` counts the additions and the loop ends; `vs_lua` is
//   the interpreter's time for the additions divided by the time of the
//   same loop (a table of variables, ten assignments to a pass) in the
//   Lua 5.4 interpreter "lua5.4", run as a separate process that times
//   itself (below 1: faster than Lua). Both sides count processor time.

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <string>

#include <benchmark/benchmark.h>

#include "bench/quiet_reporter.h"
#include "game/data/databases.h"
#include "game/data/error_reporter.h"
#include "game/data/variable_store.h"
#include "game/event/command_preparation.h"
#include "game/event/command_table.h"
#include "game/event/event_interpreter.h"
#include "game/event/event_links.h"

namespace velk {
namespace {

constexpr int32_t kPasses = 1000000;
constexpr int32_t kPerPass = 10;
constexpr int kRounds = 5;

// Lua's best time of kRounds, in seconds; negative when lua5.4 cannot run.
double LuaSeconds() {
    std::string body;
    for (int i = 0; i < kPerPass; ++i)
        body += " v[5] = v[3] + 7";
    const std::string script = "local best = 1e9 for r = 1, " + std::to_string(kRounds) +
                               " do local v = {} for i = 1, 100 do v[i] = 0 end local t = os.clock() for i = 1, " +
                               std::to_string(kPasses) + " do" + body +
                               " end best = math.min(best, os.clock() - t) end print(best)";
    const std::string command = "lua5.4 -e '" + script + "' 2>/dev/null";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return -1;
    char line[64] = {};
    const bool read = std::fgets(line, sizeof(line), pipe) != nullptr;
    const int status = pclose(pipe);
    if (!read || status != 0) return -1;
    return std::strtod(line, nullptr);
}

EventCommand Command(CommandCode code, std::vector<int32_t> arguments, int32_t indent) {
    EventCommand command;
    command.arguments = {CodeValue(code)};
    command.arguments.insert(command.arguments.end(), arguments.begin(), arguments.end());
    command.indent = indent;
    return command;
}

// Seconds of processor time to run the event to its end.
double InterpreterSeconds(int32_t& result) {
    bench::QuietReporter quiet;
    ScopedErrorReporter reporter(quiet);
    DatabaseSet databases;
    // The system database's type 14 gives the normal variables.
    for (int32_t type = 0; type < 16; ++type) {
        DbTypeData& data = databases.system.types.emplace_back();
        data.rows.assign(type == 14 ? 100 : 1, DbRow{{0}, {}});
        databases.system.typeDefs.emplace_back();
    }
    VariableStore store(nullptr, &databases);
    CommandTable table;
    ActiveEventLinks().variables = &store;
    ActiveEventLinks().databases = &databases;
    ActiveEventLinks().table = &table;

    std::vector<EventCommand> commands = {Command(CommandCode::kLoopCount, {kVariableBase + 9}, 0)};
    for (int i = 0; i < kPerPass; ++i) {
        commands.push_back(Command(CommandCode::kVariableOperation, {kVariableBase + 5, kVariableBase + 3, 7, 0}, 1));
    }
    commands.push_back(Command(CommandCode::kLoopEnd, {}, 0));
    commands.push_back(Command(CommandCode::kEndOfList, {}, 0));
    auto list = std::make_shared<CommandList>(std::move(commands));
    PadCommands(*list, table);
    PreResolveCommonEvent(*list, 0, store, databases);
    if ((*list)[1].Code() != CodeValue(CommandCode::kFastArithmeticFirst)) {
        std::fprintf(stderr, "not fast: %d\n", (*list)[1].Code());
        std::abort();
    }

    EventInterpreter interpreter;
    interpreter.Setup(list, -1, 0);
    // Counts from 1000000 on are variable IDs: the count is kept in one.
    store.SetInt(kVariableBase + 9, kPasses);
    store.SetInt(kVariableBase + 3, 1);
    const std::clock_t start = std::clock();
    while (interpreter.HasCommandList())
        interpreter.Run();
    const double seconds = static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
    result = store.GetInt(kVariableBase + 5);
    ResetEventLinks();
    return seconds;
}

void EventVariableOperations(benchmark::State& state) {
    double best = 1e9;
    for (auto _ : state) {
        int32_t result = 0;
        best = std::min(best, InterpreterSeconds(result));
        if (result != 8) {
            std::fprintf(stderr, "result %d\n", result);
            std::abort();
        }
    }
    const double lua = LuaSeconds();
    const double commands = static_cast<double>(kPasses) * (kPerPass + 1);
    state.counters["commands_per_s"] = commands / best;
    state.counters["ms"] = best * 1e3;
    state.counters["lua_ms"] = lua * 1e3;
    state.counters["vs_lua"] = lua > 0 ? best / lua : 0;
}
BENCHMARK(EventVariableOperations)->Unit(benchmark::kMillisecond)->Iterations(kRounds);

}  // namespace
}  // namespace velk
