#include "game/present/map_tile_renderer.h"

#include <array>

#include "game/data/error_reporter.h"
#include "game/data/text_format.h"
#include "game/map/map_state.h"
#include "game/present/graphic_cache.h"
#include "game/present/scene_drawing.h"
#include "game/present/scene_texts.h"

namespace velk {
namespace {

constexpr int32_t kAutoTileKindSize = 100000;
// Kind 1 is the empty tile; the drawn auto tiles are kinds 2 to 8.
constexpr int32_t kFirstDrawnKind = 2;
constexpr int32_t kLastDrawnKind = 8;
// The animation moves on every this many map frames.
constexpr int32_t kFramesPerAnimationStep = 20;
// Screen rows -1..15 and columns -1..20 cover the screen and a margin.
constexpr int kFirstScreenRow = -1;
constexpr int kLastScreenRow = 15;
constexpr int kFirstScreenColumn = -1;
constexpr int kLastScreenColumn = 20;

int32_t Wrap(int32_t value, int32_t size) {
    const int32_t rest = value % size;
    return rest < 0 ? rest + size : rest;
}

int CellOf(const std::vector<int>* cells, int64_t index) {
    if (cells == nullptr || index < 1 || index >= static_cast<int64_t>(cells->size())) return -1;
    return (*cells)[static_cast<size_t>(index)];
}

}  // namespace

void MapTileRenderer::RefreshClasses(const MapState& map) {
    classes_.assign(map.tileFlags.size(), kTileBelowCharacters);
    for (size_t i = 0; i < map.tileFlags.size(); ++i) {
        const int32_t flags = map.tileFlags[i];
        if (flags & kTileAmongCharacters) {
            classes_[i] = kTileAmongCharactersClass;
        } else if (flags & kTileAboveCharacters) {
            classes_[i] = kTileAboveCharactersClass;
        }
    }
}

uint8_t MapTileRenderer::ClassOf(int32_t index) const {
    if (index < 0 || static_cast<size_t>(index) >= classes_.size()) return kTileBelowCharacters;
    return classes_[static_cast<size_t>(index)];
}

MapTileRenderer::Images MapTileRenderer::TakeImages(const MapState& map) {
    Images images;
    const int half = chip_ / 2;
    // Every image is loaded before any cell list is looked up: a load may
    // move the lists of the images cached before it.
    const bool baseLoaded = !map.baseImageName.empty() && cache_.LoadGraphic(map.baseImageName, chip_, chip_, 1);
    std::array<bool, kAutoTileImages> autoLoaded{};
    for (int i = 0; i < kAutoTileImages; ++i) {
        const std::string& name = map.autoTileImageNames[static_cast<size_t>(i)];
        autoLoaded[static_cast<size_t>(i)] = !name.empty() && cache_.LoadGraphic(name, half, half, 1);
    }
    if (baseLoaded) images.base = cache_.Cells(map.baseImageName);
    for (int i = 0; i < kAutoTileImages; ++i) {
        // An image that did not load, or is narrower than one frame, keeps
        // a frame count of 0 and is not drawn.
        if (!autoLoaded[static_cast<size_t>(i)]) continue;
        const std::vector<int>* cells = cache_.Cells(map.autoTileImageNames[static_cast<size_t>(i)]);
        int width = 0, height = 0;
        if (cells == nullptr || cells->empty() || !drawing_.GetGraphSize(cells->front(), width, height)) continue;
        images.autoTiles[static_cast<size_t>(i)] = cells;
        images.frames[static_cast<size_t>(i)] = width / chip_;
    }
    return images;
}

void MapTileRenderer::DrawCell(int x, int y, int size, int graph, const MapState& map) {
    const MapZoom& zoom = map.zoom;
    if (scale_ == 1 && zoom.currentZoom == 100) {
        drawing_.DrawGraph(x, y, graph, true);
        return;
    }
    const auto zoomed = [&](int value, int centre) {
        return value + (value - centre * scale_) * (zoom.currentZoom - 100) / 100;
    };
    drawing_.DrawGraphScaled(zoomed(x * scale_, zoom.currentX), zoomed(y * scale_, zoom.currentY),
                             zoomed((x + size) * scale_, zoom.currentX), zoomed((y + size) * scale_, zoom.currentY),
                             graph, true);
}

void MapTileRenderer::ReportDamagedTile(int32_t value, int layer, int32_t mapX, int32_t mapY) {
    damagedTile = true;
    ErrorReporter& reporter = ActiveErrorReporter();
    reporter.ShowMessageBox(FormatText(texts::kTileValueDamaged, value, layer, mapX, mapY),
                            texts::kTileValueDamagedCaption, MessageBoxButtons::kOkCancel);
    reporter.EndProgram(1);
}

void MapTileRenderer::DrawTile(const MapState& map, const Images& images, int pass, int layer, int32_t mapX,
                               int32_t mapY, int x, int y, int step) {
    const int32_t value = map.map.Tile(layer, mapX, mapY);
    if (value < 0) {
        if (!damagedTile) ReportDamagedTile(value, layer, mapX, mapY);
        return;
    }
    if (value < kAutoTileKindSize) {
        const int32_t index = value + kFirstBaseTileIndex;
        if (static_cast<size_t>(index) >= classes_.size() || classes_[static_cast<size_t>(index)] != pass) return;
        const int graph = CellOf(images.base, int64_t{value} + 1);
        if (graph != -1) DrawCell(x, y, chip_, graph, map);
        return;
    }
    const int32_t kind = value / kAutoTileKindSize;
    if (kind < kFirstDrawnKind || kind > kLastDrawnKind || ClassOf(kind - 1) != pass) return;
    const size_t image = static_cast<size_t>(kind - kFirstDrawnKind);
    const int frames = images.frames[image];
    if (frames < 1) return;
    const int32_t corners = value % kAutoTileKindSize;
    const int32_t digits[4] = {corners / 1000, corners % 1000 / 100, corners % 100 / 10, corners % 10};
    const int half = chip_ / 2;
    const int column = 2 * (step % frames);
    const int64_t columns = 2 * frames;
    for (int quarter = 0; quarter < 4; ++quarter) {
        const int right = quarter & 1;
        const int lower = quarter >> 1;
        // One chip-high band of the image per corner digit; the upper
        // quarters come from its top half, the lower from its bottom half.
        const int64_t cellRow = 2 * int64_t{digits[quarter]} + lower;
        const int graph = CellOf(images.autoTiles[image], cellRow * columns + column + right + 1);
        if (graph != -1) DrawCell(x + right * half, y + lower * half, half, graph, map);
    }
}

void MapTileRenderer::Draw(const MapState& map, int pass, int32_t row) {
    const int32_t width = map.GetWidth();
    const int32_t height = map.GetHeight();
    if (width <= 0 || height <= 0) return;
    const Images images = TakeImages(map);
    if (pass == kLowerPass) {
        viewX -= map.shakePixelX;
        viewY -= map.shakePixelY;
    }
    const int step = map.frameCounter / kFramesPerAnimationStep;
    drawing_.SetDrawBlendMode(0, 255);
    const int32_t firstColumn = viewX / chip_;
    const int32_t firstRow = viewY / chip_;
    const int offsetX = viewX % chip_;
    const int offsetY = viewY % chip_;
    int rowFrom = kFirstScreenRow, rowTo = kLastScreenRow;
    if (pass == kRowPass) {
        const int32_t screenRow = row - firstRow;
        if (screenRow >= kLastScreenRow + 1) return;
        if (!map.loopY) {
            bool anyOnMap = false;
            for (int r = kFirstScreenRow; r <= kLastScreenRow && !anyOnMap; ++r) {
                const int32_t mapRow = firstRow + r;
                anyOnMap = mapRow >= 0 && mapRow < height;
            }
            if (!anyOnMap) return;
        }
        rowFrom = rowTo = screenRow;
    }
    // The map column under each screen column, wrapped once a pass rather
    // than divided out for every tile of every row and layer; -1 off a map
    // that does not loop.
    std::array<int32_t, kLastScreenColumn - kFirstScreenColumn + 1> mapColumns;
    for (int c = kFirstScreenColumn; c <= kLastScreenColumn; ++c) {
        const int32_t column = firstColumn + c;
        mapColumns[static_cast<size_t>(c - kFirstScreenColumn)] =
            !map.loopX && (column < 0 || column >= width) ? -1 : Wrap(column, width);
    }
    for (int r = rowFrom; r <= rowTo; ++r) {
        const int32_t mapY = Wrap(firstRow + r, height);
        const int y = r * chip_ - offsetY;
        for (int layer = 0; layer < MapData::kLayerCount; ++layer) {
            for (int c = kFirstScreenColumn; c <= kLastScreenColumn; ++c) {
                const int32_t mapX = mapColumns[static_cast<size_t>(c - kFirstScreenColumn)];
                if (mapX < 0) continue;
                DrawTile(map, images, pass, layer, mapX, mapY, c * chip_ - offsetX, y, step);
            }
        }
    }
}

}  // namespace velk
