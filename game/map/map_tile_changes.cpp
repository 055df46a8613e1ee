#include <algorithm>

#include "game/map/map_state.h"

namespace velk {
namespace {

constexpr int32_t kSurroundedShape = 4444;

}  // namespace

int32_t AutoTileCornerDigit(bool vertical, bool horizontal, bool diagonal) {
    if (vertical && horizontal) return diagonal ? 4 : 3;
    if (vertical) return 1;
    if (horizontal) return 2;
    return 0;
}

int32_t ComputeAutoTileCode(const std::array<bool, 9>& same) {
    enum { kAboveLeft, kAbove, kAboveRight, kLeft, kCentre, kRight, kBelowLeft, kBelow, kBelowRight };
    return AutoTileCornerDigit(same[kAbove], same[kLeft], same[kAboveLeft]) * 1000 +
           AutoTileCornerDigit(same[kAbove], same[kRight], same[kAboveRight]) * 100 +
           AutoTileCornerDigit(same[kBelow], same[kLeft], same[kBelowLeft]) * 10 +
           AutoTileCornerDigit(same[kBelow], same[kRight], same[kBelowRight]);
}

bool MapState::SetTileFlag(int32_t index, int32_t flags) {
    if (index < 0 || static_cast<size_t>(index) >= tileFlags.size()) return false;
    tileFlags[static_cast<size_t>(index)] = flags;
    return true;
}

void MapState::RestoreTileFlags() { tileFlags = loadedTileFlags; }

bool MapState::ChangeTileset(int32_t number) {
    if (number < 0 || number >= tilesets.GetCount()) return false;
    TakeTileset(tilesets.tilesets[static_cast<size_t>(number)]);
    return true;
}

bool MapState::ChangeMapTiles(int layer, int32_t x, int32_t y, int32_t width, int32_t height, int32_t tileIndex) {
    const int32_t mapWidth = GetWidth();
    const int32_t mapHeight = GetHeight();
    if (layer < 0 || layer >= MapData::kLayerCount || tileIndex < 0 ||
        static_cast<size_t>(tileIndex) >= tileFlags.size() || x < 0 || x >= mapWidth || y < 0 || y >= mapHeight) {
        return false;
    }
    // 64 bits: the rectangle's far edges may lie far outside the map.
    const int64_t right = static_cast<int64_t>(x) + std::min(width, mapWidth - x);
    const int64_t bottom = static_cast<int64_t>(y) + std::min(height, mapHeight - y);
    const int32_t value = tileIndex < kFirstBaseTileIndex ? (tileIndex + 1) * kEmptyTileValue + kSurroundedShape
                                                          : tileIndex - kFirstBaseTileIndex;
    for (int32_t cx = x; cx < right; ++cx) {
        for (int32_t cy = y; cy < bottom; ++cy)
            map.Tile(layer, cx, cy) = value;
    }

    // Only the rim of the painted rectangle and the ring around it can have
    // neighbours of another kind; cells inside keep the full shape.
    const int32_t lastX = static_cast<int32_t>(std::min<int64_t>(mapWidth, right + 1) - 1);
    const int32_t lastY = static_cast<int32_t>(std::min<int64_t>(mapHeight, bottom + 1) - 1);
    for (int32_t cx = std::max(0, x - 1); cx <= lastX; ++cx) {
        for (int32_t cy = std::max(0, y - 1); cy <= lastY; ++cy) {
            if (x < cx && cx < right - 1 && y < cy && cy < bottom - 1) continue;
            int32_t& cell = map.Tile(layer, cx, cy);
            const int64_t kind = cell / kEmptyTileValue;
            // Kind 1 is the empty tile: it has no shapes.
            if (kind < 2) continue;
            std::array<bool, 9> same{};
            size_t at = 0;
            for (int32_t dy = -1; dy <= 1; ++dy) {
                for (int32_t dx = -1; dx <= 1; ++dx, ++at) {
                    const int32_t nx = cx + dx;
                    const int32_t ny = cy + dy;
                    // The map's edge counts as more of the same kind.
                    if (nx < 0 || nx >= mapWidth || ny < 0 || ny >= mapHeight) {
                        same[at] = true;
                        continue;
                    }
                    const int64_t neighbour = map.Tile(layer, nx, ny);
                    same[at] = neighbour >= kind * kEmptyTileValue && neighbour < (kind + 1) * kEmptyTileValue;
                }
            }
            cell = static_cast<int32_t>(kind * kEmptyTileValue + ComputeAutoTileCode(same));
        }
    }
    return true;
}

}  // namespace velk
