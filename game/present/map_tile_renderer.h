#pragma once
// The map's three tile layers on the screen: plain tiles cut from the
// tileset's base image and auto tiles put together from four quarters of
// their animated images, drawn in three passes by draw class (below every
// character, row by row among them, above them all), scaled and zoomed
// with the map.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace velk {

class GraphicCache;
class MapState;
class SceneDrawing;

// Draw classes of a tile index.
inline constexpr uint8_t kTileBelowCharacters = 0;
inline constexpr uint8_t kTileAmongCharactersClass = 1;
inline constexpr uint8_t kTileAboveCharactersClass = 2;

class MapTileRenderer {
public:
    static constexpr int kAutoTileImages = 7;
    // Passes of Draw.
    static constexpr int kLowerPass = 0;
    static constexpr int kRowPass = 1;
    static constexpr int kUpperPass = 2;

    // `scale` is the screen scale (2 for 16-pixel chips).
    MapTileRenderer(GraphicCache& cache, SceneDrawing& drawing, int chip, int scale)
        : cache_(cache), drawing_(drawing), chip_(chip), scale_(scale) {}

    // Passes 0 and 2 draw every row of their class; pass 1 draws one map row.
    void Draw(const MapState& map, int pass, int32_t row = 0);
    // The draw class of every tile index from the map's tile flags.
    void RefreshClasses(const MapState& map);
    uint8_t ClassOf(int32_t index) const;

    // The view's top-left corner in pixels; the scene sets it each frame and
    // the lower pass moves it by the screen shake.
    int32_t viewX = 0, viewY = 0;
    // A negative tile value was met: the program is being ended.
    bool damagedTile = false;

private:
    // The images of this draw, looked up in the cache (which may have been
    // emptied or grown since the last one).
    struct Images {
        const std::vector<int>* base = nullptr;
        std::array<const std::vector<int>*, kAutoTileImages> autoTiles{};
        // Animation frames of each auto-tile image, side by side one chip
        // wide; 0 when the image is not there.
        std::array<int, kAutoTileImages> frames{};
    };

    Images TakeImages(const MapState& map);
    void DrawCell(int x, int y, int size, int graph, const MapState& map);
    void DrawTile(const MapState& map, const Images& images, int pass, int layer, int32_t mapX, int32_t mapY, int x,
                  int y, int step);
    void ReportDamagedTile(int32_t value, int layer, int32_t mapX, int32_t mapY);

    GraphicCache& cache_;
    SceneDrawing& drawing_;
    int chip_;
    int scale_;
    std::vector<uint8_t> classes_;
};

}  // namespace velk
