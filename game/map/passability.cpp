#include <algorithm>

#include "game/map/map_state.h"

namespace velk {
namespace {

constexpr int kTopLayer = MapData::kLayerCount - 1;

// Half-tile coordinate wrapped onto an axis of `tiles` tiles.
int32_t WrapCell(int32_t value, int32_t tiles) {
    const int64_t period = 2 * static_cast<int64_t>(tiles);
    return static_cast<int32_t>(((value % period) + period) % period);
}

bool IsOdd(int32_t value) { return value % 2 != 0; }

}  // namespace

int32_t MapState::GetTileIndex(int32_t x, int32_t y, int layer) const {
    const int32_t width = GetWidth();
    const int32_t height = GetHeight();
    if (width <= 0 || height <= 0 || layer < 0 || layer > kTopLayer) return -1;
    const int32_t value = map.Tile(layer, WrapCell(x, width) / 2, WrapCell(y, height) / 2);
    if (value < kEmptyTileValue) {
        // Below every index: such a value names no tile at all.
        return value < -kFirstBaseTileIndex ? -1 : value + kFirstBaseTileIndex;
    }
    return value / kEmptyTileValue - 1;
}

int32_t MapState::TileFlags(int32_t index) const {
    if (index < 0 || static_cast<size_t>(index) >= tileFlags.size()) return 0;
    return tileFlags[static_cast<size_t>(index)];
}

bool MapState::IsPassable(int32_t x, int32_t y, int32_t direction, int32_t, int32_t mode) const {
    if (!IsInside(x, y + 1)) return false;
    const int32_t shift = direction / 2 - 1;
    const int32_t bit = shift >= 0 && shift < 4 ? (1 << shift) : 0;
    const bool fullTileSteps = settings.stepSetting == 1;
    for (int32_t column = 0; column < 2; ++column) {
        const int32_t cellX = x + column;
        int layer = kTopLayer;
        while (true) {
            int32_t index = GetTileIndex(cellX, y + 1, layer);
            while (index == 0 && layer > 0)
                index = GetTileIndex(cellX, y + 1, --layer);
            // A value outside the tileset's lists is no tile to stand on.
            if (index < 0 || static_cast<size_t>(index) >= tileFlags.size()) return false;
            const int32_t flags = tileFlags[static_cast<size_t>(index)];
            if (flags & kTileQuarterMode) {
                if (mode == 2 && (flags & kTileWall)) return false;
                const int32_t qx = cellX % 2;
                const int32_t qy = (y + 1) % 2;
                if ((qx == 0 && qy == 1 && (flags & kTileBlocksLeft)) ||
                    (qx == 1 && qy == 0 && (flags & kTileBlocksRight)) ||
                    (qx == 0 && qy == 0 && (flags & kTileBlocksUp)) ||
                    (qx == 1 && qy == 1 && (flags & kTileBlocksDown))) {
                    return false;
                }
            } else {
                if (direction == 6 && column == 0 && (flags & kTileBlocksRight) && IsOdd(x)) return false;
                if (direction == 4 && column == 1 && (flags & kTileBlocksLeft) && IsOdd(x)) return false;
                if ((flags & bit) && settings.stepSetting == 0) {
                    if (direction == 6 && column == 0 && (flags & kTileBlocksRight) && !IsOdd(x)) return false;
                    if (direction == 4 && column == 0 && (flags & kTileBlocksLeft) && !IsOdd(x)) return false;
                    if (direction == 2 && !IsOdd(y) && (flags & kTileBlocksDown)) return false;
                    if (direction == 8 && IsOdd(y) && (flags & kTileBlocksUp)) return false;
                }
                if (fullTileSteps) {
                    if ((direction == 2 && (flags & kTileBlocksDown)) || (direction == 8 && (flags & kTileBlocksUp)) ||
                        (direction == 4 && (flags & kTileBlocksLeft)) ||
                        (direction == 6 && (flags & kTileBlocksRight))) {
                        return false;
                    }
                }
                if ((flags & kTileWall) == kTileWall) return false;
            }
            // Tiles drawn over characters are looked through to what lies below.
            if (!(flags & (kTileAboveCharacters | kTileAmongCharacters)) || layer == 0) break;
            --layer;
        }
    }
    return true;
}

bool MapState::CellIsOnMap(int32_t x, int32_t y) const {
    const bool onX = loopX || (x >= 0 && x < 2 * static_cast<int64_t>(GetWidth()));
    const bool onY = loopY || (y >= 0 && y < 2 * static_cast<int64_t>(GetHeight()));
    return onX && onY;
}

bool MapState::IsFlag40Pair(int32_t x, int32_t y) const {
    if (mapId < 0) return false;
    for (int layer = kTopLayer; layer >= 0; --layer) {
        if ((TileFlags(GetTileIndex(x, y + 1, layer)) & kTileFlag40) &&
            (TileFlags(GetTileIndex(x + 1, y + 1, layer)) & kTileFlag40)) {
            return true;
        }
    }
    return false;
}

bool MapState::IsNearCounter(int32_t x, int32_t y) const {
    if (mapId < 0) return false;
    for (int32_t dy = 0; dy <= 1; ++dy) {
        for (int32_t dx = -1; dx <= 1; ++dx) {
            if (!CellIsOnMap(x + dx, y + dy)) return false;
        }
    }
    for (int layer = kTopLayer; layer >= 0; --layer) {
        for (int32_t dy = 0; dy <= 1; ++dy) {
            for (int32_t dx = -1; dx <= 1; ++dx) {
                if (TileFlags(GetTileIndex(x + dx, y + dy, layer)) & kTileCounter) return true;
            }
        }
    }
    return false;
}

uint8_t MapState::GetTerrainTag(int32_t x, int32_t y) const {
    if (mapId < 0) return 0;
    auto tag = [&](int32_t cellX, int layer) -> uint8_t {
        const int32_t index = GetTileIndex(cellX, y + 1, layer);
        if (index < 0 || static_cast<size_t>(index) >= terrainTags.size()) return 0;
        return terrainTags[static_cast<size_t>(index)];
    };
    for (int layer = kTopLayer; layer >= 0; --layer) {
        const uint8_t left = tag(x, layer);
        const uint8_t right = tag(x + 1, layer);
        if (left != 0 || right != 0) return std::max(left, right);
    }
    return 0;
}

}  // namespace velk
