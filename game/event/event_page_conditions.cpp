#include "game/event/event_page_conditions.h"

#include "game/data/variable_store.h"

namespace velk {
namespace {

int32_t Wrap(int64_t value) { return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(value))); }

// The page's own event stands in for the event of a self-variable or
// character-data ID whose range starts at `selfFirst`.
int32_t OwnEventId(int32_t id, int32_t selfFirst, int32_t mapEventId) {
    if (id >= selfFirst && id <= 1199999) return Wrap(kMapSelfBase + int64_t{mapEventId} * 10 + id % 10);
    if (id >= kRelativeEventDataBase && id <= 9199999)
        return Wrap(kMapEventDataBase + int64_t{mapEventId} * 10 + id % 10);
    return id;
}

}  // namespace

bool EventPageConditions::Evaluate(int32_t mapEventId, VariableStore& store) const {
    for (size_t i = 0; i < flags.size(); ++i) {
        if ((flags[i] & 1) == 0) return true;
        const int32_t l = store.GetInt(OwnEventId(left[i], kMapSelfBase, mapEventId));
        const int32_t r = store.GetInt(OwnEventId(right[i], kRelativeMapSelfBase, mapEventId));
        bool holds = false;
        switch (flags[i] >> 4) {
            case 0: holds = l > r; break;
            case 1: holds = l >= r; break;
            case 2: holds = l == r; break;
            case 3: holds = l <= r; break;
            case 4: holds = l < r; break;
            case 5: holds = l != r; break;
            // Compared with the stored right side, not its value.
            case 6: holds = (l & r) == right[i]; break;
            default: holds = false; break;
        }
        if (!holds) return false;
    }
    return true;
}

}  // namespace velk
