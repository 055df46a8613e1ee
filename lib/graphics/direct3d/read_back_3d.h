#pragma once
// Read-back of the draw target into texture graphs: five copy methods tried
// in a fixed order, the first that works remembered per texture kind (plain,
// or with alpha channel or alpha test).

#include <cstdint>
#include <vector>

namespace velk {

// Tests: the methods whose bit is set fail at once; and which methods were
// tried since the last call, in order.
void SetRefusedReadBackMethods(uint32_t mask);
std::vector<int> TakeTriedReadBackMethods();

}  // namespace velk
