#pragma once
// The one current map of the running game: the map as read from its file,
// the tileset in force, the map events, and the view over it (scrolling,
// screen shake, zoom, looping). Event commands start scrolls, shakes, zooms
// and map changes; the frame calls Update once before drawing.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "game/map/event_cell_index.h"
#include "game/map/map_data.h"
#include "game/map/map_event.h"
#include "game/map/map_links.h"
#include "game/map/tileset.h"

namespace velk {

class ByteWriter;
class SaveStream;

// Tile flag bits.
inline constexpr int32_t kTileBlocksDown = 0x01;
inline constexpr int32_t kTileBlocksLeft = 0x02;
inline constexpr int32_t kTileBlocksRight = 0x04;
inline constexpr int32_t kTileBlocksUp = 0x08;
inline constexpr int32_t kTileWall = 0x0F;
inline constexpr int32_t kTileAboveCharacters = 0x10;
inline constexpr int32_t kTileQuarterMode = 0x20;
inline constexpr int32_t kTileFlag40 = 0x40;
inline constexpr int32_t kTileCounter = 0x80;
inline constexpr int32_t kTileAmongCharacters = 0x100;

// The game-wide values the map's arithmetic depends on.
struct MapSettings {
    // Pixels per tile: 16 or 32.
    int32_t chipSize = 32;
    // Frames one update stands for (at least 1).
    int32_t frameStep = 1;
    // Game.dat's step setting: 1 means full-tile steps (and their passability).
    int32_t stepSetting = 0;

    // From the game's information (Game.dat).
    static MapSettings FromGameInfo();
};

struct ShakeAxis {
    int32_t amplitude = 0;
    int32_t speed = 0;
    int32_t remaining = 0;
    // In 1/64 pixel at chip size 32.
    int32_t offset = 0;
    int32_t direction = 0;
};

struct MapZoom {
    int32_t targetX = 0, startX = 0;
    int32_t targetY = 0, startY = 0;
    // Percent; 100 is no zoom.
    int32_t targetZoom = 100, startZoom = 100;
    int32_t total = 0, remaining = 0;
    int32_t currentX = 0, currentY = 0;
    int32_t currentZoom = 100;
};

class MapState {
public:
    static constexpr int32_t kFrameCounterPeriod = 2400000;
    static constexpr int kAutoTileImageCount = 7;

    MapState() : MapState(MapSettings::FromGameInfo()) {}
    explicit MapState(const MapSettings& settings);

    // Back to no map; the tileset list is read again.
    void Reset();
    // Changes to the map: its file, tileset, events and view. False when the
    // map file could not be read (its message has been shown); the game
    // then ends.
    bool LoadMap(int32_t mapId);
    // Starts the map's music and background sound as its record names them.
    void PlayMapSound();
    // Re-selects every map event's page and re-checks the parallel common
    // events; does nothing while no map is loaded.
    void RefreshPages();
    void Update();

    int32_t GetWidth() const { return map.header.width; }
    int32_t GetHeight() const { return map.header.height; }
    // (x, y) in half tiles lies on the map for a character standing there.
    bool IsInside(int32_t x, int32_t y) const;
    // The map event with this id; null when the map has none.
    MapEvent* FindEvent(int32_t eventId);
    const MapEvent* FindEvent(int32_t eventId) const;

    // Whether `visit` (const MapEvent& -> bool) holds for one of the events
    // standing on the half-tile cell (x, y), positions wrapped into the map.
    template <typename Visit>
    bool AnyEventAt(int32_t x, int32_t y, Visit&& visit) const {
        return eventCells_.AnyAt(events, 2 * GetWidth(), 2 * GetHeight(), x, y, visit);
    }
    // Moves a character to grid (x, y), keeping the events' cells current.
    void PlaceCharacter(Character& character, int32_t x, int32_t y) {
        eventCells_.Place(events, 2 * GetWidth(), 2 * GetHeight(), character, x, y);
    }
    const EventCellIndex& EventCells() const { return eventCells_; }

    // View. Distances in quarter pixels, speed 0-8 (8 is at once).
    void StartScroll(int32_t dx, int32_t dy, int32_t speed);
    // Moves the view at once by `distance` quarter pixels in a numpad
    // direction (2, 4, 6, 8), inside the map's bounds as scrolling is.
    void MoveView(int32_t direction, int32_t distance);
    bool IsScrolling() const { return scrollRemainingX > 0 || scrollRemainingY > 0; }
    // axis 0 shakes vertically, 1 horizontally; strength and speed are
    // powers of two.
    void StartShake(int32_t strength, int32_t speed, int32_t axis, int32_t frames);
    void StopShake();
    void StartZoom(int32_t centreX, int32_t centreY, int32_t zoom, int32_t frames);

    // Tiles, half-tile cells and passability.
    // The tile index of a cell (x, y in half tiles; the map wraps): 0 the
    // empty tile, 1-7 the auto-tile kinds, 8 and up the base image's cells.
    int32_t GetTileIndex(int32_t x, int32_t y, int layer) const;
    // Whether a character at grid (x, y) may leave its cell in `direction`
    // (a numpad code; 0 asks about the cells themselves). mode 2 refuses
    // every quarter-mode tile that blocks anything.
    bool IsPassable(int32_t x, int32_t y, int32_t direction, int32_t unused, int32_t mode) const;
    bool IsFlag40Pair(int32_t x, int32_t y) const;
    bool IsNearCounter(int32_t x, int32_t y) const;
    uint8_t GetTerrainTag(int32_t x, int32_t y) const;
    // The flag word of a tile index; 0 for an index the tileset does not
    // have (such a tile neither blocks nor draws by its flags, and is not
    // passable: see IsPassable).
    int32_t TileFlags(int32_t index) const;

    // The map-tile commands. Each returns whether it changed anything.
    // Flag word `index` becomes `flags`.
    bool SetTileFlag(int32_t index, int32_t flags);
    // Every flag word back to the tileset's own.
    void RestoreTileFlags();
    // Tileset `number` of the list becomes the map's.
    bool ChangeTileset(int32_t number);
    // Paints a rectangle of layer 0-2 with a tile index (0-7 auto tiles,
    // 8 and up base cells) and reshapes the auto tiles around it.
    bool ChangeMapTiles(int layer, int32_t x, int32_t y, int32_t width, int32_t height, int32_t tileIndex);

    // The map part of a save. A read that is not live fills this object
    // only: no message, no change to the game's other state.
    bool WriteSave(ByteWriter& out) const;
    bool ReadSave(SaveStream& save, bool live);

    MapSettings settings;
    MapLinks links;

    Tileset tileset;
    MapData map;
    int32_t mapId = -1;
    int32_t scrollX = 0, scrollY = 0;
    // 4 left / 6 right; 2 down / 8 up.
    int32_t scrollDirectionX = 0, scrollDirectionY = 0;
    int32_t scrollRemainingX = 0, scrollRemainingY = 0;
    int32_t scrollSpeedX = 4, scrollSpeedY = 4;
    std::string baseImageName;
    std::array<std::string, kAutoTileImageCount> autoTileImageNames;
    uint8_t refreshPagesFlag = 0;
    std::vector<uint8_t> terrainTags;
    std::vector<int32_t> tileFlags;
    // The flags as the tileset gave them, before any command changed one.
    std::vector<int32_t> loadedTileFlags;
    std::vector<MapEvent> events;
    int32_t frameCounter = 0;
    bool loopX = false, loopY = false;
    // Whole pixels, read by the drawing.
    int32_t shakePixelX = 0, shakePixelY = 0;
    ShakeAxis shakeX, shakeY;
    // Kept with the map in saves; nothing else reads it.
    std::vector<int32_t> savedIntegers;
    TilesetList tilesets;
    MapZoom zoom;

private:
    // Filled by the questions that read it, which may find it out of date.
    mutable EventCellIndex eventCells_;

    bool LoadMapFor(int32_t mapId, bool live);
    bool ReadSavedCells(SaveStream& save, int32_t width, int32_t height, bool noMap);
    void TakeTileset(const Tileset& chosen);
    void ScrollAxis(int32_t& position, int32_t& remaining, int32_t speed, int32_t direction, int32_t limit, bool loops);
    void ShakeStep(ShakeAxis& axis);
    void ZoomStep();
    bool CellIsOnMap(int32_t x, int32_t y) const;
};

// The corner digit of an auto tile from its neighbours of the same kind.
int32_t AutoTileCornerDigit(bool vertical, bool horizontal, bool diagonal);
// The four-digit shape of an auto tile from the same-kind flags of its 3 x 3
// neighbourhood in reading order (above-left ... below-right).
int32_t ComputeAutoTileCode(const std::array<bool, 9>& sameKind);

}  // namespace velk
