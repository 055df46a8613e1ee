#include "game/map/event_cell_index.h"

namespace velk {

void EventCellIndex::Place(const std::vector<MapEvent>& events, int32_t cellsX, int32_t cellsY, Character& character,
                           int32_t x, int32_t y) {
    const bool current = IsCurrent(events, cellsX, cellsY);
    character.gridX = x;
    character.gridY = y;
    if (!current) return;
    changes_ = GridCoordinate::Changes();
    if (events.empty()) return;
    // The character is event i when it lies at the place of event i's
    // character part in the list.
    const auto first = reinterpret_cast<uintptr_t>(static_cast<const Character*>(events.data()));
    const auto at = reinterpret_cast<uintptr_t>(&character);
    if (at < first || (at - first) % sizeof(MapEvent) != 0) return;
    const size_t index = (at - first) / sizeof(MapEvent);
    if (index >= events.size() || static_cast<const Character*>(&events[index]) != &character) return;
    Unlink(index);
    entries_[index].key = KeyOf(character);
    Link(index);
}

void EventCellIndex::Build(const std::vector<MapEvent>& events, int32_t cellsX, int32_t cellsY) {
    changes_ = GridCoordinate::Changes();
    list_ = events.data();
    cellsX_ = cellsX;
    cellsY_ = cellsY;
    // At most half the buckets hold an entry, so most lists are one long.
    int bits = 1;
    while ((size_t{1} << bits) < 2 * events.size())
        ++bits;
    shift_ = 64 - bits;
    heads_.assign(size_t{1} << bits, -1);
    entries_.assign(events.size(), Entry{});
    for (size_t i = 0; i < events.size(); ++i) {
        entries_[i].key = KeyOf(events[i]);
        Link(i);
    }
    ++builds_;
}

uint64_t EventCellIndex::KeyOf(const Character& character) const {
    return Key(WrapGrid(character.gridX, cellsX_), WrapGrid(character.gridY, cellsY_));
}

void EventCellIndex::Link(size_t index) {
    Entry& entry = entries_[index];
    int32_t& head = heads_[Bucket(entry.key)];
    entry.previous = -1;
    entry.next = head;
    if (head >= 0) entries_[static_cast<size_t>(head)].previous = static_cast<int32_t>(index);
    head = static_cast<int32_t>(index);
}

void EventCellIndex::Unlink(size_t index) {
    const Entry& entry = entries_[index];
    if (entry.previous >= 0) {
        entries_[static_cast<size_t>(entry.previous)].next = entry.next;
    } else {
        heads_[Bucket(entry.key)] = entry.next;
    }
    if (entry.next >= 0) entries_[static_cast<size_t>(entry.next)].previous = entry.previous;
}

}  // namespace velk
