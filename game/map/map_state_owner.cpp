#include "game/map/map_state_owner.h"

#include "game/map/hero.h"
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

namespace {

int32_t FieldOf(const Character& character, CharacterField field) {
    switch (field) {
        case CharacterField::kHalfTileX: return character.gridX;
        case CharacterField::kHalfTileY: return character.gridY;
        case CharacterField::kHeight: break;
    }
    return character.height;
}

void SetField(MapState& map, Character& character, CharacterField field, int32_t value) {
    switch (field) {
        case CharacterField::kHalfTileX: map.PlaceCharacter(character, value, character.gridY); return;
        case CharacterField::kHalfTileY: map.PlaceCharacter(character, character.gridX, value); return;
        case CharacterField::kHeight: break;
    }
    character.height = value;
}

}  // namespace

bool MapStateOwner::IsHeroMoving() { return hero_ && static_cast<const Character&>(*hero_).IsMoving(); }

Character* MapStateOwner::Member(int32_t member) {
    if (!hero_ || member < 0) return nullptr;
    if (member == 0) return hero_;
    if (static_cast<size_t>(member) > hero_->followers.size()) return nullptr;
    return &hero_->followers[static_cast<size_t>(member - 1)];
}

bool MapStateOwner::ReadEventField(int32_t eventId, CharacterField field, int32_t& value) {
    MapEvent* event = map_.FindEvent(eventId);
    if (event) value = FieldOf(*event, field);
    return event != nullptr;
}

bool MapStateOwner::WriteEventField(int32_t eventId, CharacterField field, int32_t value) {
    MapEvent* event = map_.FindEvent(eventId);
    if (event) SetField(map_, *event, field, value);
    return event != nullptr;
}

bool MapStateOwner::ReadMemberField(int32_t member, CharacterField field, int32_t& value) {
    Character* character = Member(member);
    if (character) value = FieldOf(*character, field);
    return character != nullptr;
}

bool MapStateOwner::WriteMemberField(int32_t member, CharacterField field, int32_t value) {
    Character* character = Member(member);
    if (character) SetField(map_, *character, field, value);
    return character != nullptr;
}

bool MapStateOwner::ReadMemberGraphic(int32_t member, std::string& name) {
    Character* character = Member(member);
    if (character) name = character->graphicFileName;
    return character != nullptr;
}

bool MapStateOwner::WriteMemberGraphic(int32_t member, const std::string& name) {
    Character* character = Member(member);
    if (character) character->graphicFileName = name;
    return character != nullptr;
}

}  // namespace velk
