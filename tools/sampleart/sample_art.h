#pragma once
// The sample game's art and sounds, made by the project: nothing in the
// sample game comes from elsewhere.

#include <string>

#include "tools/sampleart/canvas.h"

namespace velk::sampleart {

// Cells of the village tileset (32-pixel chips, eight a row); a map's tile
// value for a plain tile is its cell number.
enum TilesetCell : int {
    kTileGrass = 0, kTileFlowers, kTilePath, kTileSand, kTileStoneFloor, kTileWoodFloor, kTileBridge, kTileDarkGrass,
    kTileTreeTop = 8, kTileBush, kTileRock, kTileFence, kTileSign, kTileChest, kTileBarrel, kTileCrystal,
    kTileTreeTrunk = 16, kTileStoneWall, kTileWoodWall, kTileDoor, kTileWindowWall, kTileRoofRed, kTileRoofBlue,
};

Canvas DrawTileset();
// Three animation frames side by side; five chip-high bands, one per corner
// shape of the auto tiles.
Canvas DrawWaterAutoTile();

struct CharacterLook {
    Rgba skin, hair, body, legs;
};
// Four rows (down, left, right, up) of `patterns` walking cells, 32 x 48 each.
Canvas DrawCharacterSheet(const CharacterLook& look, int patterns);

Canvas DrawMessagePanel();   // the picture behind the message text
Canvas DrawWaitCursor();     // four frames stacked
Canvas DrawChoiceFrame();    // nine cells around the choices
Canvas DrawChoiceCursor();   // nine cells behind the chosen line
Canvas DrawTitleScene();     // a 640 x 480 landscape
Canvas DrawSparkle();        // a small glow, drawn with blend modes

// Music, background sound and sound effects under the data folder's BGM\,
// BGS\ and SE\ folders, which must exist.
bool WriteSampleSounds(const std::string& data_folder);

// Everything, under <game folder>/Data; false with `error` set on failure.
bool WriteSampleArt(const std::string& game_folder, std::string* error);

}  // namespace velk::sampleart
