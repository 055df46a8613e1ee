#include "game/map/map_state_owner.h"

#include "game/map/map_state.h"

namespace velk {

int32_t MapStateOwner::CurrentMapId() { return map_.mapId; }
int32_t MapStateOwner::MapWidth() { return map_.GetWidth(); }
int32_t MapStateOwner::MapHeight() { return map_.GetHeight(); }
bool MapStateOwner::LoopsHorizontally() { return map_.loopX; }
bool MapStateOwner::LoopsVertically() { return map_.loopY; }
int32_t MapStateOwner::ScrollX() { return map_.scrollX; }
int32_t MapStateOwner::ScrollY() { return map_.scrollY; }
void MapStateOwner::SetScrollX(int32_t quarterPixels) { map_.scrollX = quarterPixels; }
void MapStateOwner::SetScrollY(int32_t quarterPixels) { map_.scrollY = quarterPixels; }

}  // namespace velk
