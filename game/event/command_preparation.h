#pragma once
// Preparing command lists before they first run.
//
// Every list (map pages, common events, called files) is padded: a command
// shorter than its table entry's shortest argument or string list gets
// zeros and empty strings up to it, so handlers never index past what they
// were given.
//
// Common events run every frame, many in parallel, so their lists are also
// pre-resolved once after loading: where case heads and loop ends continue,
// which integer slots arithmetic reads and writes (kept as variable IDs and
// bound to the slots when first used, and again after the slots moved),
// arithmetic on plain slots rewritten into the fast codes, label jumps with
// the loop-stack changes they imply, and database names turned into numbers.
// Map-event lists are never pre-resolved.

#include <cstdint>

#include "game/event/command_list.h"

namespace velk {

class CommandTable;
class VariableStore;
struct DatabaseSet;

void PadCommands(CommandList& list, const CommandTable& table);

// Pre-resolves the list of common event `commonIndex` (its self variables
// are the ones the relative IDs name).
void PreResolveCommonEvent(CommandList& list, int32_t commonIndex, VariableStore& store, DatabaseSet& databases);

}  // namespace velk
