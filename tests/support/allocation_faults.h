#pragma once
// The test programs ask operator new for their memory through this file's
// replacement, which a test can have count what is asked for (a path that
// must need no memory) or refuse one request (a path that must survive
// memory running out at any of its allocations). Untouched, it is plain
// malloc and free.

#include <cstddef>

namespace velk::testing {

// Counts the allocations from now on.
void CountAllocations();
// Stops counting; the allocations counted since CountAllocations.
size_t StopCountingAllocations();

// The next `succeeding` allocations are made, the one after them throws
// std::bad_alloc; then all are made again.
void FailAllocationAfter(size_t succeeding);
// Whether the planned refusal came; the plan ends either way.
bool EndAllocationFault();

}  // namespace velk::testing
