#pragma once
// One character on the screen: its graphic (an image file laid out by its
// name, or a cell of the tileset) loaded when it changes, the cell picked
// from facing, pattern and movement, drawn with the character's opacity and
// blend, a shadow under it, a half-transparent lower part in bushes, its
// colour effect, and the map's zoom.

#include <cstdint>
#include <string>

namespace velk {

class Character;
class Database;
class GraphicCache;
class MapState;
class SceneDrawing;
struct ScreenTone;

// The game-wide values sprites are drawn by.
struct SpriteSettings {
    int chip = 32;
    // 2 for 16-pixel chips.
    int scale = 1;
    // Walk pattern columns: 3 or 5.
    int walkPatterns = 3;
    bool shadows = false;
};

// What every sprite draws with in one frame.
struct SpriteContext {
    GraphicCache& cache;
    SceneDrawing& drawing;
    Database& systemDatabase;
    const MapState& map;
    SpriteSettings settings;
    // The tone the colour effect restores the brightness to; null: none.
    const ScreenTone* tone = nullptr;
    // Graphics are loaded again (the display was restored, the tileset changed).
    bool forceReload = false;
};

// Sheet layouts, by the file name.
enum class SpriteLayout : int8_t {
    kSinglePicture = -1,  // "$.png": one picture
    kPlain = 0,
    kStandingColumn = 1,      // "T.png": a standing column before the walk
    kStandingAndWalking = 2,  // "TX.png": standing and walking halves
};

class CharacterSprite {
public:
    explicit CharacterSprite(Character* drawn = nullptr) : character(drawn) {}

    Character* character;
    // Cache names of the main and the shadow image; empty: none.
    std::string image;
    std::string shadowImage;
    // 1-based into the image's cells (0 would be the whole image).
    int cell = 0;
    int shadowCell = 0;
    int screenX = 0, drawY = 0, footY = 0, priority = 0;
    int opacity = 255;
    int blendMode = 0;
    bool loaded = false;
    int32_t cachedTileNumber = -1;
    std::string cachedFileName;
    int halfWidth = 0, height = 0;
    int shadowHalfWidth = 0, shadowHeight = 0;
    bool shadowShown = false;
    bool loadFailed = false;
    int cellWidth = 0, cellHeight = 0;
    SpriteLayout layout = SpriteLayout::kPlain;
    int columns = 0;
    int shadowColumns = 0;
};

// Loads what changed, then draws. Nothing without a character, or after
// its image failed to load.
void DrawCharacterSprite(CharacterSprite& sprite, SpriteContext& context);

// The layout and column count a file name asks for.
SpriteLayout LayoutOfName(const std::string& name, int walkPatterns, bool eightDirections, int& columns);

}  // namespace velk
