#include "game/map/map_game_values.h"

#include "game/data/game_system.h"
#include "game/map/character_commands.h"
#include "game/map/hero.h"
#include "game/map/map_state.h"

namespace velk {

std::optional<CharacterValues> MapGameValues::Character(const EventInterpreter& interpreter, int32_t code) {
    velk::Character* character = characters_.FindCharacter(code, interpreter);
    if (!character) return std::nullopt;
    CharacterValues values;
    values.id = character->id;
    values.halfTileX = character->gridX;
    values.halfTileY = character->gridY;
    values.height = character->height;
    values.facing = character->facing;
    values.screenX = character->GetScreenX(false);
    values.screenY = character->GetScreenY(false);
    values.loopedScreenX = character->GetScreenX(true);
    values.loopedDrawY = character->GetDrawY(true);
    values.terrainTag = character->GetTerrainTag();
    values.passesThrough = character->passThrough != 0;
    values.pageOptions = character->bytes;
    if (character->id >= 0) {
        if (const MapEvent* event = map_.FindEvent(character->id)) {
            values.isMapEvent = true;
            values.page = event->pageIndex;
            values.trigger = event->trigger;
            values.pageOptions = event->pageIndex >= 0 ? event->currentPage.bytes : std::vector<uint8_t>();
        }
    }
    return values;
}

int32_t MapGameValues::ChipSize() { return map_.settings.chipSize; }

int32_t MapGameValues::TerrainTag(int32_t halfX, int32_t halfY) { return map_.GetTerrainTag(halfX, halfY); }

bool MapGameValues::IsPassable(int32_t halfX, int32_t halfY) { return map_.IsPassable(halfX, halfY, 0, -1, 0); }

bool MapGameValues::HeroCanStep(int32_t halfX, int32_t halfY) { return hero_.CanStep(halfX, halfY, 0); }

int32_t MapGameValues::TileIndex(int32_t layer, int32_t halfX, int32_t halfY) {
    if (layer < 0 || layer >= MapData::kLayerCount || map_.GetWidth() <= 0 || map_.GetHeight() <= 0) return 0;
    return map_.GetTileIndex(halfX, halfY, layer);
}

std::vector<MapEventPlace> MapGameValues::MapEvents() {
    std::vector<MapEventPlace> places;
    places.reserve(map_.events.size());
    for (const MapEvent& event : map_.events) {
        MapEventPlace place;
        place.id = event.id;
        place.halfTileX = event.gridX;
        place.halfTileY = event.gridY;
        place.quarterX = event.pixelX;
        place.quarterY = event.pixelY;
        // Events placed half a tile up by their first page.
        place.halfHeight = !event.data.pages.empty() && event.data.pages[0].route.OptionBit(6);
        places.push_back(place);
    }
    return places;
}

std::optional<int32_t> MapGameValues::PendingTransferMap() {
    if (!system_.transferPending) return std::nullopt;
    return system_.transferMap;
}

}  // namespace velk
