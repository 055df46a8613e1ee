#pragma once
// What the value commands read of the game above the event module: the
// characters and the map (the map module), game sound and pictures (the
// presentation module), and the text codes turned back into escape text.
// The defaults answer as a game without a map, sound or pictures does.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace velk {

class EventInterpreter;

// One character as the game-value command reads it.
struct CharacterValues {
    int32_t id = 0;
    int32_t halfTileX = 0;
    int32_t halfTileY = 0;
    int32_t height = 0;
    // A numeric-keypad code.
    int32_t facing = 2;
    // The screen x of its centre and y of its foot line, without the map's
    // loop; the screen x and drawing y with it.
    int32_t screenX = 0;
    int32_t screenY = 0;
    int32_t loopedScreenX = 0;
    int32_t loopedDrawY = 0;
    int32_t terrainTag = 0;
    // Map events only (not the hero or party members).
    bool isMapEvent = false;
    bool passesThrough = false;
    // The current page (0-based, -1 none), its trigger and its option bytes.
    int32_t page = -1;
    int32_t trigger = 0;
    std::vector<uint8_t> pageOptions;
};

// A map event's place, for the questions of what stands where.
struct MapEventPlace {
    int32_t id = 0;
    int32_t halfTileX = 0;
    int32_t halfTileY = 0;
    // Its drawing position in quarter pixels.
    int32_t quarterX = 0;
    int32_t quarterY = 0;
    // Drawn half a tile high.
    bool halfHeight = false;
};

class GameValueLink {
public:
    virtual ~GameValueLink() = default;

    // The character `code` names for the running event (-1 this event, -2
    // the hero, -3 and below a party member, 0 and above a map event);
    // nullopt when there is none.
    virtual std::optional<CharacterValues> Character(const EventInterpreter& interpreter, int32_t code) {
        return std::nullopt;
    }
    // The map's chip size in pixels (16 or 32).
    virtual int32_t ChipSize() { return 32; }
    // Questions about a map position in half tiles.
    virtual int32_t TerrainTag(int32_t halfX, int32_t halfY) { return 0; }
    virtual bool IsPassable(int32_t halfX, int32_t halfY) { return true; }
    virtual bool HeroCanStep(int32_t halfX, int32_t halfY) { return true; }
    // The tile index of layer 0-2 (0 none).
    virtual int32_t TileIndex(int32_t layer, int32_t halfX, int32_t halfY) { return 0; }
    // The map's events in their list order.
    virtual std::vector<MapEventPlace> MapEvents() { return {}; }
    // The destination map of a transfer not made yet.
    virtual std::optional<int32_t> PendingTransferMap() { return std::nullopt; }

    // Channel 0 the music, 1 the background sound: the database number of
    // what plays (-1 when none or played by file name), and its play position
    // and length (plus its loop offset) in milliseconds, 0 when none or MIDI.
    virtual int32_t SoundNumber(int channel) { return -1; }
    virtual int32_t SoundPosition(int channel) { return 0; }
    virtual int32_t SoundLength(int channel) { return 0; }
    virtual int32_t PictureProperty(int32_t picture, int32_t property) { return 0; }

    // Internal text codes turned back into the escape text they came from
    // (names of files the string command reads and writes).
    virtual std::string RevertEscapeCodes(const std::string& text) { return text; }
};

}  // namespace velk
