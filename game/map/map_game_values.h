#pragma once
// The map's and the characters' answers to the game-value command. Sound,
// pictures and escape text belong to the presentation: those questions go
// on to the link given for them.

#include "game/event/game_value_link.h"

namespace velk {

class CharacterCommands;
class GameSystem;
class Hero;
class MapState;

class MapGameValues : public GameValueLink {
public:
    MapGameValues(MapState& map, Hero& hero, GameSystem& system, CharacterCommands& characters,
                  GameValueLink& presentation)
        : map_(map), hero_(hero), system_(system), characters_(characters), presentation_(presentation) {}

    std::optional<CharacterValues> Character(const EventInterpreter& interpreter, int32_t code) override;
    int32_t ChipSize() override;
    int32_t TerrainTag(int32_t halfX, int32_t halfY) override;
    bool IsPassable(int32_t halfX, int32_t halfY) override;
    bool HeroCanStep(int32_t halfX, int32_t halfY) override;
    int32_t TileIndex(int32_t layer, int32_t halfX, int32_t halfY) override;
    std::vector<MapEventPlace> MapEvents() override;
    std::optional<int32_t> PendingTransferMap() override;

    int32_t SoundNumber(int channel) override { return presentation_.SoundNumber(channel); }
    int32_t SoundPosition(int channel) override { return presentation_.SoundPosition(channel); }
    int32_t SoundLength(int channel) override { return presentation_.SoundLength(channel); }
    int32_t PictureProperty(int32_t picture, int32_t property) override {
        return presentation_.PictureProperty(picture, property);
    }
    std::string RevertEscapeCodes(const std::string& text) override { return presentation_.RevertEscapeCodes(text); }

private:
    MapState& map_;
    Hero& hero_;
    GameSystem& system_;
    CharacterCommands& characters_;
    GameValueLink& presentation_;
};

}  // namespace velk
