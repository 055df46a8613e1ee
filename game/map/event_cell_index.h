#pragma once
// The map events by the half-tile cell they stand on, wrapped into the map,
// so that a character about to step looks only at the events around its
// target and not at every event of the map.
//
// Steps, jumps, placements and the looping of characters move through
// Place, which refiles the one event that moved. Anything else that changes
// a position or the list of events (a save read, events added or removed,
// a copy, a position written by hand) is a change to a GridCoordinate that
// the index was not told about, or a list of another address or length:
// the next question then files every event again. So the answers are always
// those of a scan of the whole list.

#include <cstdint>
#include <vector>

#include "game/map/map_event.h"

namespace velk {

class EventCellIndex {
public:
    // Calls `visit` (const MapEvent& -> bool) for the events of `events`
    // whose position, wrapped into a map of `cellsX` x `cellsY` half tiles,
    // is (x, y), until one returns true; whether one did. A cell outside the
    // map holds no event.
    template <typename Visit>
    bool AnyAt(const std::vector<MapEvent>& events, int32_t cellsX, int32_t cellsY, int32_t x, int32_t y,
               Visit&& visit) {
        if (x < 0 || y < 0 || x >= cellsX || y >= cellsY) return false;
        if (!IsCurrent(events, cellsX, cellsY)) Build(events, cellsX, cellsY);
        const uint64_t key = Key(x, y);
        for (int32_t i = heads_[Bucket(key)]; i >= 0; i = entries_[static_cast<size_t>(i)].next) {
            if (entries_[static_cast<size_t>(i)].key == key && visit(events[static_cast<size_t>(i)])) return true;
        }
        return false;
    }

    // Moves `character` to grid (x, y); when it is one of `events`, its
    // entry follows.
    void Place(const std::vector<MapEvent>& events, int32_t cellsX, int32_t cellsY, Character& character, int32_t x,
               int32_t y);

    // How many times every event was filed anew.
    uint64_t Builds() const { return builds_; }

private:
    struct Entry {
        uint64_t key = 0;
        int32_t next = -1;
        int32_t previous = -1;
    };

    bool IsCurrent(const std::vector<MapEvent>& events, int32_t cellsX, int32_t cellsY) const {
        return changes_ == GridCoordinate::Changes() && list_ == events.data() && entries_.size() == events.size() &&
               cellsX_ == cellsX && cellsY_ == cellsY;
    }
    void Build(const std::vector<MapEvent>& events, int32_t cellsX, int32_t cellsY);
    uint64_t Key(int32_t x, int32_t y) const {
        return static_cast<uint64_t>(y) * static_cast<uint64_t>(cellsX_) + static_cast<uint64_t>(x);
    }
    uint64_t KeyOf(const Character& character) const;
    size_t Bucket(uint64_t key) const { return static_cast<size_t>((key * 0x9E3779B97F4A7C15ull) >> shift_); }
    void Link(size_t index);
    void Unlink(size_t index);

    uint64_t changes_ = 0;
    const MapEvent* list_ = nullptr;
    int32_t cellsX_ = 0, cellsY_ = 0;
    // One list of entries per bucket of cells; entry i is event i.
    std::vector<int32_t> heads_;
    std::vector<Entry> entries_;
    int shift_ = 64;
    uint64_t builds_ = 0;
};

}  // namespace velk
