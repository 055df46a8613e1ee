#pragma once
// Failure injection for the platform stand-ins: a step of a device can be
// told to fail some of its coming calls, so tests reach each failure path
// of the library above it.

#include <array>
#include <cstddef>

namespace velk::platform {

// The planned failures of each step of `Step`, an enumeration ending in
// kCount. It takes no lock: a device used from more than one thread guards
// it itself.
template <typename Step>
class PlannedFailures {
public:
    // The calls of `step` after the next `after` ones fail, `times` of them.
    void Plan(Step step, int times, int after) { plans_[Index(step)] = Entry{after, times}; }

    void Clear() { plans_.fill(Entry{}); }

    // Consumes one call of `step`; true when that call is to fail.
    bool Consume(Step step) {
        Entry& plan = plans_[Index(step)];
        if (plan.times <= 0) return false;
        if (plan.skip > 0) {
            --plan.skip;
            return false;
        }
        --plan.times;
        return true;
    }

private:
    struct Entry {
        int skip = 0;
        int times = 0;
    };

    static size_t Index(Step step) { return static_cast<size_t>(step); }

    std::array<Entry, static_cast<size_t>(Step::kCount)> plans_{};
};

}  // namespace velk::platform
