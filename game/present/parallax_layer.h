#pragma once
// The two full-screen image layers of the map scene: the panorama behind
// the tiles and the fog over everything on the map. Each shows one image
// that scrolls by its own speed and by the map's scrolling divided by a
// parallax divisor, wrapped around its own size. What is shown is chosen
// game-wide (the map change and event commands choose); the layer follows
// the choice when it draws.

#include <cstdint>
#include <string>

namespace velk {

class Database;
class GraphicCache;
class MapState;
class SceneDrawing;
struct PanoramaSelection;

class ParallaxLayer {
public:
    enum class Kind { kPanorama, kFog };

    // `scale` is the screen scale (2 for 16-pixel chips); `frameStep` the
    // frames one update stands for.
    ParallaxLayer(Kind kind, GraphicCache& cache, SceneDrawing& drawing, Database& systemDatabase, int scale,
                  int frameStep);

    // Nothing shown, at offset 0.
    void Reset();
    // Follows the selection when it changed, then draws.
    void Draw(const MapState& map);
    // Loads the selected number's image (system database type 13).
    void Change(const MapState& map);
    // Loads the image the selection's text describes.
    void ChangeFromText(const MapState& map);
    // Once per frame.
    void StepScroll(const MapState& map);

    // The number shown; -1 none, -2 given by text.
    int32_t number = -1;
    // The image's name in the graphics cache; empty for none.
    std::string image;
    int32_t width = 0, height = 0;
    // Eighths of a pixel. The accumulators stay within one image size.
    int32_t accumulatorX = 0, accumulatorY = 0;
    int32_t offsetX = 0, offsetY = 0;

private:
    PanoramaSelection& Selection() const;
    bool Load(const std::string& name);
    void DrawPieces(const MapState& map, int graph, int ox, int oy);

    Kind kind_;
    GraphicCache& cache_;
    SceneDrawing& drawing_;
    Database& systemDatabase_;
    int scale_;
    int frameStep_;
};

}  // namespace velk
