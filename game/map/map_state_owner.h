#pragma once
// The current map as the variable store reaches it: its id, size, looping
// and scroll position, and the positions and graphics of its characters
// (the map events, the hero and the party's followers).

#include "game/data/game_owners.h"

namespace velk {

class Character;
class Hero;
class MapState;

class MapStateOwner : public MapOwner {
public:
    explicit MapStateOwner(MapState& map, Hero* hero = nullptr) : map_(map), hero_(hero) {}

    int32_t CurrentMapId() override;
    int32_t MapWidth() override;
    int32_t MapHeight() override;
    bool LoopsHorizontally() override;
    bool LoopsVertically() override;
    int32_t ScrollX() override;
    int32_t ScrollY() override;
    void SetScrollX(int32_t quarterPixels) override;
    void SetScrollY(int32_t quarterPixels) override;
    bool IsHeroMoving() override;
    bool ReadEventField(int32_t eventId, CharacterField field, int32_t& value) override;
    bool WriteEventField(int32_t eventId, CharacterField field, int32_t value) override;
    bool ReadMemberField(int32_t member, CharacterField field, int32_t& value) override;
    bool WriteMemberField(int32_t member, CharacterField field, int32_t value) override;
    bool ReadMemberGraphic(int32_t member, std::string& name) override;
    bool WriteMemberGraphic(int32_t member, const std::string& name) override;

private:
    Character* Member(int32_t member);

    MapState& map_;
    Hero* hero_;
};

}  // namespace velk
