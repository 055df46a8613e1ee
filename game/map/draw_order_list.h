#pragma once
// The order in which the map's characters and its upper tile rows are
// drawn, so that a tile row stands in front of the characters behind it and
// behind those in front of it. Characters are sorted by their foot line
// into buckets of eight pixels, in three passes: pass-through events below
// everything, then the others with the hero and its followers among the
// tile rows, then the events drawn above.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace velk {

class Hero;
class MapState;

class DrawOrderList {
public:
    static constexpr int32_t kEnd = -1;
    static constexpr int32_t kHero = -10;
    // Follower i is kFirstFollower - i.
    static constexpr int32_t kFirstFollower = -11;
    static constexpr int32_t kLastFollower = kFirstFollower - 4;
    // Codes at or below this are tile rows.
    static constexpr int32_t kTileRows = -20;

    static bool IsTileRow(int32_t code) { return code <= kTileRows; }
    static int32_t TileRowOf(int32_t code) { return -1000 - code; }

    explicit DrawOrderList(int chip = 32) : chip_(chip) {}

    // Sorts the map's events, the hero and its followers; the walk starts
    // again from the first.
    void Build(const MapState& map, const Hero& hero);
    // The next thing to draw with the view's top at `viewY` pixels: an
    // event's index, kHero, a follower, a tile row (IsTileRow) or kEnd.
    int32_t Next(int32_t viewY);

    int32_t BucketCount() const { return buckets_; }
    // The buckets held per pass: the rows the walk visits, whatever the
    // map's height.
    size_t StoredBuckets() const { return passes_[0].size(); }

private:
    void Add(int pass, int32_t value, int32_t code);
    int32_t TileRowBefore(int32_t viewY) const;
    // The last bucket the walk visits.
    int32_t WalkLimit() const;

    int chip_;
    int32_t buckets_ = 1;
    std::vector<std::vector<int32_t>> passes_[3];
    int pass_ = 0;
    int32_t bucket_ = 0;
    size_t position_ = 0;
};

}  // namespace velk
