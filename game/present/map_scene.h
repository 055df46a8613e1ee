#pragma once
// The map scene as the frame draws it: panorama, the picture band below
// the map, the lower tiles, the band of pictures among the map, the
// characters interleaved with the upper tile rows, the top tiles and the
// fog. It owns the tile renderer, the draw order, the panorama and fog
// layers and one sprite per character; the shell calls DrawMap in its map
// layer and StepScroll in its panorama and fog steps.

#include <cstdint>
#include <functional>
#include <vector>

#include "game/map/draw_order_list.h"
#include "game/present/character_sprite.h"
#include "game/present/map_tile_renderer.h"
#include "game/present/parallax_layer.h"

namespace velk {

class Database;
class GraphicCache;
class Hero;
class MapState;
class SceneDrawing;
struct ScreenTone;

struct MapSceneSettings {
    int chip = 32;
    // 2 for 16-pixel chips.
    int scale = 1;
    int frameStep = 1;
    int walkPatterns = 3;
    bool shadows = false;
    // The filter pictures among the map are drawn with.
    int pictureDrawMode = 0;

    static MapSceneSettings FromGameInfo();
};

// Picture bands the map scene draws between its layers.
inline constexpr int kPicturesBelowMap = -2;
inline constexpr int kPicturesAmongMap = -1;

class MapScene {
public:
    // Draws the pictures of one band (-2 below the tiles, -1 among them).
    using PictureBands = std::function<void(int band)>;

    MapScene(GraphicCache& cache, SceneDrawing& drawing, Database& systemDatabase, MapState& map, Hero& hero,
             const ScreenTone& tone, const MapSceneSettings& settings);

    // New sprites for the current characters, fresh layers and tiles (after
    // a map change, a load or the title).
    void Reset();
    // The tiles' draw classes follow the tile flags at the next draw.
    void TileFlagsChanged() { refreshClasses_ = true; }
    // Once per frame.
    void StepPanorama() { panorama.StepScroll(map_); }
    void StepFog() { fog.StepScroll(map_); }
    // The whole map scene. `forceReload` loads every sprite's graphic again.
    void DrawMap(const PictureBands& pictures, bool forceReload = false);

    MapTileRenderer tiles;
    DrawOrderList order;
    ParallaxLayer panorama;
    ParallaxLayer fog;
    CharacterSprite heroSprite;
    std::vector<CharacterSprite> followerSprites;
    std::vector<CharacterSprite> eventSprites;

private:
    void MatchSprites();

    GraphicCache& cache_;
    SceneDrawing& drawing_;
    Database& systemDatabase_;
    MapState& map_;
    Hero& hero_;
    const ScreenTone& tone_;
    MapSceneSettings settings_;
    bool refreshClasses_ = true;
};

}  // namespace velk
