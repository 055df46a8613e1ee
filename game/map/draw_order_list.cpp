#include "game/map/draw_order_list.h"

#include <algorithm>

#include "game/map/hero.h"
#include "game/map/map_state.h"

namespace velk {
namespace {

// Screen rows (in buckets of eight pixels per chip / 8) that characters are
// sorted over, and how far the tile rows reach.
constexpr int32_t kSortedRows = 17;
constexpr int32_t kWalkLimit = 44;
constexpr int32_t kTileRowLimit = 34;
constexpr int32_t kChip32 = 32;

}  // namespace

void DrawOrderList::Add(int pass, int32_t value, int32_t code) {
    // Buckets past the walk are never drawn: they are not kept.
    const size_t bucket = static_cast<size_t>(value % buckets_ + 1);
    if (bucket < passes_[pass].size()) passes_[pass][bucket].push_back(code);
}

int32_t DrawOrderList::WalkLimit() const { return std::min(buckets_, chip_ * kWalkLimit / 16); }

void DrawOrderList::Build(const MapState& map, const Hero& hero) {
    pass_ = 0;
    bucket_ = 0;
    position_ = 0;
    const int32_t perRow = std::max(chip_ / 8, 1);
    const int32_t height = map.GetHeight();
    // The characters are sorted modulo the map's rows, but only the rows a
    // screen can show are walked, so a tall map costs no more than a short one.
    buckets_ = static_cast<int32_t>(
        std::clamp<int64_t>(int64_t{height} * perRow + (height == 15 ? 2 * perRow : 0), 1, INT32_MAX));
    for (auto& pass : passes_) {
        pass.resize(static_cast<size_t>(WalkLimit()) + 2);
        for (auto& bucket : pass)
            bucket.clear();
    }
    const auto inRange = [&](int32_t value, int32_t limit) {
        const int32_t rest = value % buckets_;
        return -2 < rest && rest <= limit;
    };
    const auto characterLimit = [&](const Character& character) {
        return (character.height / chip_ + kSortedRows) * perRow;
    };
    for (size_t i = 0; i < map.events.size(); ++i) {
        const MapEvent& event = map.events[i];
        const int32_t value = event.GetScreenY(true) / 8;
        const int32_t code = static_cast<int32_t>(i);
        if (event.passThrough && !event.drawAbove) {
            if (inRange(value, kSortedRows * perRow)) Add(0, value, code);
        } else if (!event.passThrough && !event.drawAbove) {
            if (inRange(value, characterLimit(event))) Add(1, value, code);
        } else if (event.drawAbove) {
            if (inRange(value, characterLimit(event))) Add(2, value, code);
        }
    }
    Add(1, std::max(hero.GetScreenY(true) / 8, 0), kHero);
    for (size_t i = 0; i < hero.followers.size(); ++i) {
        const Character& follower = hero.followers[i];
        const int32_t value = std::max(follower.GetScreenY(true) / 8, 0);
        if (inRange(value, characterLimit(follower))) Add(1, value, kFirstFollower - static_cast<int32_t>(i));
    }
}

int32_t DrawOrderList::TileRowBefore(int32_t viewY) const {
    const int32_t chip = chip_;
    int32_t offset = 0;
    int32_t phase = 0;
    if (viewY >= 0) {
        const int32_t m = viewY % chip;
        if (m > chip / 2) {
            offset = chip - m;
            if (chip == kChip32 && m > 24) {
                offset += kChip32;
                phase = 2;
            }
        } else if (m == 0) {
            if (chip == kChip32) {
                offset = kChip32;
                phase = 2;
            }
        } else {
            offset = chip - m;
            phase = 1;
        }
    } else {
        const int32_t n = -viewY;
        offset = n % chip;
        if (n % chip < chip / 2) {
            if (chip == kChip32) {
                offset += kChip32;
                phase = n % kChip32 > 7 ? 3 : 2;
            }
        } else {
            phase = 1;
        }
    }
    const int32_t perRow = std::max(chip / 8, 1);
    if (bucket_ % perRow != phase) return 0;
    const int32_t code = -((viewY + offset) / chip) - bucket_ / perRow - 998;
    // A view far above the map would give codes that are not tile rows.
    return IsTileRow(code) ? code : 0;
}

int32_t DrawOrderList::Next(int32_t viewY) {
    const int32_t walkLimit = WalkLimit();
    const int32_t rowLimit = std::min(buckets_, chip_ * kTileRowLimit / 16);
    for (;;) {
        if (bucket_ > walkLimit) {
            if (pass_ == 2) return kEnd;
            ++pass_;
            bucket_ = 0;
            position_ = 0;
            continue;
        }
        const std::vector<int32_t>& entries = passes_[pass_][static_cast<size_t>(bucket_)];
        if (position_ < entries.size()) return entries[position_++];
        ++bucket_;
        position_ = 0;
        if (pass_ == 1 && bucket_ <= rowLimit) {
            const int32_t row = TileRowBefore(viewY);
            if (row != 0) return row;
        }
    }
}

}  // namespace velk
