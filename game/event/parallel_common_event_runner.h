#pragma once
// A common event that runs beside everything else, every frame, while its
// trigger says so. The map keeps one runner per common event: it refreshes
// them whenever it re-selects its event pages (so a parallel event starts or
// stops on the next refresh after its condition changed) and runs them in
// its per-frame update.

#include <cstdint>
#include <vector>

#include "game/event/event_interpreter.h"

namespace velk {

class ParallelCommonEventRunner {
public:
    // Refreshes at once, so a parallel event is ready to run.
    explicit ParallelCommonEventRunner(int32_t commonIndex);

    // Starts the runner (an idle interpreter) when the trigger is "parallel
    // always", or "parallel while" and the condition holds; otherwise stops
    // it, even in the middle of its list.
    void Refresh();
    // One frame: an idle interpreter takes the common event's current list
    // (as the common-event list holds it now, so it starts over as soon as
    // it ends), then runs.
    void Run();

    int32_t CommonIndex() const { return commonIndex_; }
    bool IsRunning() const { return !interpreters_.empty(); }
    // The interpreter whose text prompt to draw; null when none is open.
    const EventInterpreter* PromptOwner() const {
        return interpreters_.empty() ? nullptr : interpreters_.front().PromptOwner();
    }

private:
    int32_t commonIndex_;
    // A refresh from inside the runner's own frame (a command made the map
    // re-select its pages) must not destroy the interpreter that runs it:
    // the stop waits until that frame is over.
    bool running_ = false;
    bool stopAfterRun_ = false;
    // None or one.
    std::vector<EventInterpreter> interpreters_;
};

}  // namespace velk
