#include "game/event/parallel_common_event_runner.h"

#include "game/event/event_links.h"

namespace velk {
namespace {

constexpr int32_t kParallelWhile = 2;
constexpr int32_t kParallelAlways = 3;

}  // namespace

ParallelCommonEventRunner::ParallelCommonEventRunner(int32_t commonIndex) : commonIndex_(commonIndex) { Refresh(); }

void ParallelCommonEventRunner::Refresh() {
    EventLinks& links = ActiveEventLinks();
    auto common = links.commonEvents->Get(commonIndex_);
    bool runs = false;
    if (common) {
        const int32_t kind = common->trigger & 0x0F;
        runs = kind == kParallelAlways ||
               (kind == kParallelWhile && CommonEventConditionHolds(common->trigger, common->conditionVariable,
                                                                    common->conditionValue, *links.variables));
    }
    stopAfterRun_ = running_ && !runs;
    if (!runs) {
        if (!running_) interpreters_.clear();
        return;
    }
    if (interpreters_.empty()) interpreters_.emplace_back().Init(0, false);
}

void ParallelCommonEventRunner::Run() {
    if (interpreters_.empty()) return;
    EventInterpreter& interpreter = interpreters_.front();
    if (!interpreter.HasCommandList()) {
        auto common = ActiveEventLinks().commonEvents->Get(commonIndex_);
        if (!common || !common->commands) return;
        // Parallel common events run for map event 0.
        interpreter.Setup(common->commands, 0, commonIndex_);
    }
    running_ = true;
    interpreter.Run();
    running_ = false;
    if (stopAfterRun_) interpreters_.clear();
    stopAfterRun_ = false;
}

}  // namespace velk
