#pragma once
// The current map as the variable store reaches it: its id, size, looping
// and scroll position. What the store asks of characters (the hero, party
// members and map events) joins this owner with the characters.

#include "game/data/game_owners.h"

namespace velk {

class MapState;

class MapStateOwner : public MapOwner {
public:
    explicit MapStateOwner(MapState& map) : map_(map) {}

    int32_t CurrentMapId() override;
    int32_t MapWidth() override;
    int32_t MapHeight() override;
    bool LoopsHorizontally() override;
    bool LoopsVertically() override;
    int32_t ScrollX() override;
    int32_t ScrollY() override;
    void SetScrollX(int32_t quarterPixels) override;
    void SetScrollY(int32_t quarterPixels) override;

private:
    MapState& map_;
};

}  // namespace velk
