#include "game/present/character_sprite.h"

#include <algorithm>
#include <vector>

#include "game/data/database.h"
#include "game/data/random_source.h"
#include "game/map/character.h"
#include "game/map/map_state.h"
#include "game/present/graphic_cache.h"
#include "game/present/scene_drawing.h"
#include "game/present/screen_effects.h"

namespace velk {
namespace {

constexpr int32_t kShadowImageType = 9;
constexpr uint8_t kNoShadow = 255;
constexpr int kSheetRows = 4;
// Characters are drawn while some of them is within these screen columns.
constexpr int kDrawnColumns = 21;
constexpr int kLoopColumns = 20;

size_t FindName(const std::string& name, const char* lower, const char* upper) {
    size_t found = name.find(lower);
    if (found == std::string::npos) found = name.find(upper);
    return found;
}

int GraphOf(const std::vector<int>* cells, int index) {
    if (cells == nullptr || index < 0 || static_cast<size_t>(index) >= cells->size()) return -1;
    return (*cells)[static_cast<size_t>(index)];
}

void LoadFileGraphic(CharacterSprite& sprite, Character& character, SpriteContext& context) {
    const std::string& name = character.graphicFileName;
    sprite.image.clear();
    sprite.shadowImage.clear();
    if (name.empty()) return;
    sprite.layout =
        LayoutOfName(name, context.settings.walkPatterns, character.eightDirectionGraphics != 0, sprite.columns);
    const bool single = sprite.layout == SpriteLayout::kSinglePicture;
    if (!context.cache.LoadGraphic(name, single ? 1 : sprite.columns, single ? 1 : kSheetRows, 0)) {
        sprite.loadFailed = true;
        return;
    }
    const std::vector<int>* cells = context.cache.Cells(name);
    int width = 0, height = 0;
    if (cells == nullptr || cells->empty() || !context.drawing.GetGraphSize(cells->front(), width, height)) {
        sprite.loadFailed = true;
        return;
    }
    sprite.image = name;
    if (single) {
        sprite.cellWidth = width;
        sprite.cellHeight = height;
    } else {
        sprite.cellWidth = width / std::max(sprite.columns, 1);
        sprite.cellHeight = height / kSheetRows;
    }
    sprite.halfWidth = sprite.cellWidth / 2;
    sprite.height = sprite.cellHeight;
}

void LoadTileGraphic(CharacterSprite& sprite, Character& character, SpriteContext& context) {
    const int chip = context.settings.chip;
    const std::string& base = context.map.baseImageName;
    sprite.image.clear();
    sprite.shadowImage.clear();
    if (base.empty() || !context.cache.LoadGraphic(base, chip, chip, 1)) return;
    sprite.image = base;
    sprite.layout = SpriteLayout::kPlain;
    sprite.cell = character.graphicTileNumber + 1;
    sprite.halfWidth = chip / 2;
    sprite.height = chip;
    sprite.cellWidth = sprite.cellHeight = chip;
    sprite.columns = 8;
}

void LoadShadow(CharacterSprite& sprite, Character& character, SpriteContext& context) {
    const uint8_t number = character.bytes.empty() ? 0 : character.bytes.front();
    character.shadowGraphicNumber = number;
    const int patterns = context.settings.walkPatterns;
    sprite.shadowColumns = character.eightDirectionGraphics ? 2 * patterns : patterns;
    sprite.shadowImage.clear();
    if (number == kNoShadow || !context.settings.shadows) return;
    const std::string name = context.systemDatabase.GetString(kShadowImageType, number, 0);
    if (name.empty() || !context.cache.LoadGraphic(name, sprite.shadowColumns, kSheetRows, 0)) return;
    const std::vector<int>* cells = context.cache.Cells(name);
    int width = 0, height = 0;
    if (cells == nullptr || cells->empty() || !context.drawing.GetGraphSize(cells->front(), width, height)) return;
    sprite.shadowImage = name;
    sprite.shadowHalfWidth = width / std::max(sprite.shadowColumns, 1) / 2;
    sprite.shadowHeight = height / kSheetRows;
}

// The cell of a file graphic for the character's facing, pattern and
// movement, and the shadow's.
void ChooseCells(CharacterSprite& sprite, Character& character) {
    const int f = character.facing;
    const int t = character.pattern;
    const int c = sprite.columns;
    const int s = sprite.shadowColumns;
    const bool moving = character.WasMoving();
    if (sprite.layout == SpriteLayout::kSinglePicture) {
        sprite.cell = 1;
        sprite.shadowCell = 1 + t;
        return;
    }
    const bool diagonal = character.eightDirectionGraphics && (f % 2) == 1;
    int row = 0;
    if (diagonal) {
        row = f < 5 ? (f - 1) / 2 : (f - 3) / 2;
    } else {
        row = (f - 2) / 2;
    }
    row = std::clamp(row, 0, kSheetRows - 1);
    int column = 0;
    switch (sprite.layout) {
        case SpriteLayout::kStandingColumn: column = moving ? t + 1 : 0; break;
        case SpriteLayout::kStandingAndWalking:
            if (!moving) {
                column = t;
            } else if (!character.eightDirectionGraphics) {
                column = t + c / 2;
            } else {
                column = t + (diagonal ? c / 4 : 3);
            }
            break;
        default: column = t; break;
    }
    sprite.cell = row * c + 1 + column + (diagonal ? c / 2 : 0);
    sprite.shadowCell = row * s + 1 + t + (diagonal ? s / 2 : 0);
}

int LibraryBlend(int characterBlend) {
    switch (characterBlend) {
        case 1: return 2;
        case 2: return 3;
        case 3: return 11;
        default: return 1;
    }
}

}  // namespace

SpriteLayout LayoutOfName(const std::string& name, int walkPatterns, bool eightDirections, int& columns) {
    SpriteLayout layout = SpriteLayout::kPlain;
    columns = 2 * walkPatterns;
    const size_t standing = FindName(name, "T.png", "T.PNG");
    // "T.png" only where the T is a character of its own, not the second
    // byte of a double-byte one.
    if (standing != std::string::npos && GetSjisByteClass(name, static_cast<int>(standing)) == 0) {
        layout = SpriteLayout::kStandingColumn;
        columns = 2 * walkPatterns + 2;
    }
    if (FindName(name, "TX.png", "TX.PNG") != std::string::npos) {
        layout = SpriteLayout::kStandingAndWalking;
        columns = 4 * walkPatterns;
    }
    if (!eightDirections) columns /= 2;
    if (FindName(name, "$.png", "$.PNG") != std::string::npos) {
        layout = SpriteLayout::kSinglePicture;
        columns = 1;
    }
    return layout;
}

void DrawCharacterSprite(CharacterSprite& sprite, SpriteContext& context) {
    if (sprite.character == nullptr || sprite.loadFailed) return;
    Character& character = *sprite.character;
    const SpriteSettings& settings = context.settings;
    const MapState& map = context.map;
    SceneDrawing& drawing = context.drawing;
    const int chip = settings.chip;
    const int scale = settings.scale;

    bool fileReloaded = false;
    if (!sprite.loaded || context.forceReload || character.graphicTileNumber != sprite.cachedTileNumber ||
        character.graphicFileName != sprite.cachedFileName) {
        sprite.loaded = true;
        sprite.cachedTileNumber = character.graphicTileNumber;
        sprite.cachedFileName = character.graphicFileName;
        if (character.graphicTileNumber < 0) {
            LoadFileGraphic(sprite, character, context);
            fileReloaded = true;
        } else {
            LoadTileGraphic(sprite, character, context);
        }
        if (sprite.loadFailed) return;
        character.cellWidth = sprite.cellWidth;
        character.cellHeight = sprite.cellHeight;
    }
    const uint8_t shadowNumber = character.bytes.empty() ? 0 : character.bytes.front();
    if (fileReloaded || (character.shadowGraphicNumber != shadowNumber && !character.graphicFileName.empty())) {
        LoadShadow(sprite, character, context);
    }
    if (character.graphicTileNumber < 0) ChooseCells(sprite, character);

    sprite.screenX = character.GetScreenX(true) + map.shakePixelX;
    sprite.drawY = character.GetDrawY(true) + map.shakePixelY;
    sprite.footY = character.GetScreenY(true) + map.shakePixelY;
    sprite.priority = character.GetDrawPriority();
    sprite.opacity = character.opacity;
    sprite.blendMode = character.blendMode;
    sprite.shadowShown = character.shadowOff == 0;
    if (sprite.opacity == 0) return;

    const bool bush = map.IsFlag40Pair(character.gridX, character.gridY) && !character.IsJumping();
    const int divisor = bush ? 3 : 1;
    const int parameter = std::clamp(sprite.opacity, 0, 255) / divisor;
    const auto setBlend = [&] {
        switch (sprite.blendMode) {
            case 1: drawing.SetDrawBlendMode(2, parameter); break;
            case 2: drawing.SetDrawBlendMode(3, parameter); break;
            case 3: drawing.SetDrawBlendMode(11, parameter); break;
            default:
                if (sprite.opacity >= 255 && !bush) {
                    drawing.SetDrawBlendMode(0, 255);
                } else {
                    drawing.SetDrawBlendMode(1, parameter);
                }
                break;
        }
    };
    setBlend();
    const std::vector<int>* cells = sprite.image.empty() ? nullptr : context.cache.Cells(sprite.image);
    const int graph = GraphOf(cells, sprite.cell);
    if (graph == -1 || sprite.cell < 1) return;

    int x = sprite.screenX, y = sprite.drawY, foot = sprite.footY;
    if (map.loopX && x > kLoopColumns * chip) x -= map.GetWidth() * chip;
    if (map.loopY) {
        const int mapHeight = map.GetHeight() * chip;
        if (y > mapHeight) {
            y -= mapHeight;
            foot -= mapHeight;
        } else if (y < 1) {
            y += mapHeight;
            foot += mapHeight;
        }
    }
    if (!(-chip <= x + sprite.halfWidth && x - sprite.halfWidth <= kDrawnColumns * chip)) return;

    const int z = map.zoom.currentZoom;
    const auto zoomed = [&](int value, int centre) { return (value - centre) * (z - 100) / 100 + value; };
    x = zoomed(x, map.zoom.currentX);
    y = zoomed(y, map.zoom.currentY);
    foot = zoomed(foot, map.zoom.currentY);
    const int halfWidth = sprite.halfWidth * z / 100;
    const int height = sprite.height * z / 100;
    const bool stretched = scale != 1 || z != 100;

    if (!sprite.shadowImage.empty() && settings.shadows) {
        const int shadow = GraphOf(context.cache.Cells(sprite.shadowImage), sprite.shadowCell);
        if (shadow != -1) {
            const int sw = sprite.shadowHalfWidth * z / 100;
            const int sh = sprite.shadowHeight * z / 100;
            const int rise = foot - y;
            const int edge = std::min(sw / 2, rise / 8);
            const int side = std::min(4 * sw / 5, rise / 4);
            drawing.DrawGraphScaled((x - sw + side) * scale, (foot - sh + edge) * scale, (x + sw - side) * scale,
                                    (foot - edge) * scale, shadow, true);
        }
    }

    const auto drawCell = [&] {
        if (stretched) {
            drawing.DrawGraphScaled((x - halfWidth) * scale, (y - height) * scale, (x + halfWidth) * scale, y * scale,
                                    graph, true);
        } else {
            drawing.DrawGraph(x - halfWidth, y - height, graph, true);
        }
    };
    if (!bush) {
        drawCell();
    } else {
        const int whole = GraphOf(cells, 0);
        const int c = std::max(sprite.columns, 1);
        const int sourceX = (sprite.cell - 1) % c * sprite.cellWidth;
        const int sourceY = (sprite.cell - 1) / c * sprite.cellHeight;
        const int lower = std::min(chip / 2, sprite.cellHeight);
        const int upper = sprite.cellHeight - lower;
        const auto piece = [&](int top, int rows, int screenTop, int screenBottom) {
            if (rows <= 0 || whole == -1) return;
            if (!stretched) {
                drawing.DrawRectGraph(x - halfWidth, screenTop, sourceX, sourceY + top, sprite.cellWidth, rows, whole,
                                      true);
                return;
            }
            const int cut = drawing.CreateDerivedGraph(sourceX, sourceY + top, sprite.cellWidth, rows, whole);
            if (cut == -1) return;
            drawing.DrawGraphScaled((x - halfWidth) * scale, screenTop * scale, (x + halfWidth) * scale,
                                    screenBottom * scale, cut, true);
            drawing.DeleteGraph(cut);
        };
        const int lowerHeight = lower * z / 100;
        piece(upper, lower, y - lowerHeight, y);
        drawing.SetDrawBlendMode(LibraryBlend(sprite.blendMode), std::clamp(sprite.opacity, 0, 255));
        piece(0, upper, y - height, y - lowerHeight);
    }

    if (character.colorEffectLeft >= 1) {
        const int amount = character.colorEffectLeft * 1000 / std::max(1, character.colorEffectTotal);
        const uint32_t target = character.colorEffectTarget;
        int k[3];
        for (int channel = 0; channel < 3; ++channel) {
            const int byte = static_cast<int>((target >> (16 - 8 * channel)) & 0xFF);
            k[channel] = (byte - 100) * amount / 1000;
        }
        const auto darkened = [](int value) { return std::clamp(255 + value * 255 / 100, 0, 255); };
        const auto brightened = [](int value) { return std::clamp(value * 255 / 100, 0, 255); };
        setBlend();
        drawing.SetDrawBrightness(darkened(k[0]), darkened(k[1]), darkened(k[2]));
        drawCell();
        drawing.SetDrawBlendMode(2, 255);
        drawing.SetDrawBrightness(brightened(k[0]), brightened(k[1]), brightened(k[2]));
        drawCell();
        // Back to the tone's brightness (which leaves a tone without a dark
        // part at full brightness).
        drawing.SetDrawBrightness(255, 255, 255);
        if (context.tone != nullptr) DrawTint(drawing, *context.tone, false, false);
    }
}

}  // namespace velk
