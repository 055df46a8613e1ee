#include "game/present/parallax_layer.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "game/data/database.h"
#include "game/data/error_reporter.h"
#include "game/data/text_format.h"
#include "game/map/map_links.h"
#include "game/map/map_state.h"
#include "game/present/graphic_cache.h"
#include "game/present/scene_drawing.h"
#include "game/present/scene_texts.h"

namespace velk {
namespace {

// The system database's panorama and fog images: name, speeds, divisor.
constexpr int32_t kLayerImageType = 13;
constexpr int32_t kDivisorItem = 3;
constexpr int32_t kNoLayer = -1;
constexpr int32_t kLayerByText = -2;
constexpr int kEighths = 8;

// The remainder that is never negative, so a layer behind a map scrolled
// far to the right still has its offset inside the image.
int32_t FloorRemainder(int64_t value, int64_t size) {
    const int64_t rest = value % size;
    return static_cast<int32_t>(rest < 0 ? rest + size : rest);
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start <= text.size()) {
        const size_t end = text.find('\n', start);
        lines.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return lines;
}

int32_t Number(const std::vector<std::string>& lines, size_t index) {
    return index < lines.size() ? static_cast<int32_t>(std::strtol(lines[index].c_str(), nullptr, 10)) : 0;
}

}  // namespace

ParallaxLayer::ParallaxLayer(Kind kind, GraphicCache& cache, SceneDrawing& drawing, Database& systemDatabase, int scale,
                             int frameStep)
    : kind_(kind),
      cache_(cache),
      drawing_(drawing),
      systemDatabase_(systemDatabase),
      scale_(scale),
      frameStep_(std::max(frameStep, 1)) {}

void ParallaxLayer::Reset() {
    number = kNoLayer;
    image.clear();
    width = height = 0;
    accumulatorX = accumulatorY = offsetX = offsetY = 0;
}

PanoramaSelection& ParallaxLayer::Selection() const {
    if (kind_ == Kind::kFog) return GlobalFogSelection();
    return GlobalPanoramaSelection();
}

bool ParallaxLayer::Load(const std::string& name) {
    image.clear();
    width = height = 0;
    if (!cache_.LoadGraphic(name, 1, 1, 0)) return false;
    const std::vector<int>* cells = cache_.Cells(name);
    if (cells == nullptr || cells->empty() || !drawing_.GetGraphSize(cells->front(), width, height)) return false;
    image = name;
    return true;
}

void ParallaxLayer::Change(const MapState& map) {
    PanoramaSelection& selection = Selection();
    number = selection.number;
    image.clear();
    width = height = 0;
    if (selection.number == kNoLayer || selection.number == kLayerByText) return;
    const std::string name = systemDatabase_.GetString(kLayerImageType, selection.number, 0);
    selection.speedX = systemDatabase_.GetInt(kLayerImageType, selection.number, 1);
    selection.speedY = systemDatabase_.GetInt(kLayerImageType, selection.number, 2);
    if (systemDatabase_.GetItemCount(kLayerImageType) > kDivisorItem) {
        selection.parallaxDivisor = systemDatabase_.GetInt(kLayerImageType, selection.number, kDivisorItem);
    }
    if (!name.empty() && !Load(name)) {
        ActiveErrorReporter().ShowErrorBox(
            FormatText(kind_ == Kind::kFog ? texts::kFogImageMissing : texts::kPanoramaImageMissing, selection.number),
            "", "");
    }
    StepScroll(map);
}

void ParallaxLayer::ChangeFromText(const MapState& map) {
    PanoramaSelection& selection = Selection();
    selection.fromText = false;
    const std::vector<std::string> lines = Lines(selection.text);
    selection.speedX = Number(lines, 1);
    selection.speedY = Number(lines, 2);
    selection.parallaxDivisor = Number(lines, 3);
    if (!Load(lines.front())) {
        ActiveErrorReporter().ShowErrorBox(texts::kPanoramaTextImageMissing, lines.front(), "");
        selection.number = number = kNoLayer;
        return;
    }
    selection.number = number = kLayerByText;
    StepScroll(map);
}

void ParallaxLayer::StepScroll(const MapState& map) {
    const PanoramaSelection& selection = Selection();
    if (number == kNoLayer || image.empty() || width <= 0 || height <= 0) return;
    const int64_t spanX = int64_t{width} * kEighths;
    const int64_t spanY = int64_t{height} * kEighths;
    // The panorama multiplies its speed by the frame step, the fog divides.
    const int64_t stepX = kind_ == Kind::kFog ? selection.speedX / frameStep_ : int64_t{selection.speedX} * frameStep_;
    const int64_t stepY = kind_ == Kind::kFog ? selection.speedY / frameStep_ : int64_t{selection.speedY} * frameStep_;
    accumulatorX = FloorRemainder(accumulatorX + stepX, spanX);
    accumulatorY = FloorRemainder(accumulatorY + stepY, spanY);
    const int32_t divisor = selection.parallaxDivisor;
    const int64_t followX = divisor != 0 ? -2 * int64_t{map.scrollX} / divisor : 0;
    const int64_t followY = divisor != 0 ? -2 * int64_t{map.scrollY} / divisor : 0;
    offsetX = FloorRemainder(accumulatorX + followX + map.shakePixelX, spanX);
    offsetY = FloorRemainder(accumulatorY + followY + map.shakePixelY, spanY);
}

void ParallaxLayer::Draw(const MapState& map) {
    PanoramaSelection& selection = Selection();
    if (number != selection.number) Change(map);
    if (selection.fromText) ChangeFromText(map);
    if (number == kNoLayer || image.empty()) return;
    // The cache may have been emptied since (a map change): load again.
    if (!cache_.LoadGraphic(image, 1, 1, 0)) return;
    const std::vector<int>* cells = cache_.Cells(image);
    if (cells == nullptr || cells->empty()) return;
    if (kind_ == Kind::kFog) {
        const FogSelection& fog = GlobalFogSelection();
        drawing_.SetDrawBlendMode(std::clamp(fog.blendKind, 0, 3) + 1, std::clamp(fog.opacity, 0, 255));
    } else {
        drawing_.SetDrawBlendMode(0, 255);
    }
    const int graph = cells->front();
    if (scale_ * map.zoom.currentZoom != 100) {
        const auto raised = [](int32_t offset) { return offset >= 4 && offset <= 7 ? kEighths : offset; };
        DrawPieces(map, graph, raised(offsetX) / kEighths, raised(offsetY) / kEighths);
        return;
    }
    const int ox = offsetX / kEighths;
    const int oy = offsetY / kEighths;
    const int w = width, h = height;
    // The image once, wrapped at (ox, oy).
    const auto piece = [&](int x, int y, int sx, int sy, int pw, int ph) {
        if (pw > 0 && ph > 0) drawing_.DrawRectGraph(x, y, sx, sy, pw, ph, graph, true);
    };
    piece(ox, oy, 0, 0, w - ox, h - oy);
    piece(0, 0, w - ox, h - oy, ox, oy);
    piece(0, oy, w - ox, 0, ox, h - oy);
    piece(ox, 0, 0, h - oy, w - ox, oy);
}

void ParallaxLayer::DrawPieces(const MapState& map, int graph, int ox, int oy) {
    const int s = scale_;
    const int z = map.zoom.currentZoom;
    const int cx = map.zoom.currentX;
    const int cy = map.zoom.currentY;
    const int w = width, h = height;
    const int left = -cx * s * (z - 100) / 100;
    const int top = -cy * s * (z - 100) / 100;
    const int splitX = ox * s + (ox - cx) * s * (z - 100) / 100;
    const int splitY = oy * s + (oy - cy) * s * (z - 100) / 100;
    const int right = w * s + (w - cx) * s * (z - 100) / 100;
    const int bottom = h * s + (h - cy) * s * (z - 100) / 100;
    const auto piece = [&](int sx, int sy, int pw, int ph, int x1, int y1, int x2, int y2) {
        if (pw <= 0 || ph <= 0) return;
        const int cut = drawing_.CreateDerivedGraph(sx, sy, pw, ph, graph);
        if (cut == -1) return;
        drawing_.DrawGraphScaled(x1, y1, x2, y2, cut, true);
        drawing_.DeleteGraph(cut);
    };
    piece(0, 0, w - ox, h - oy, splitX, splitY, right, bottom);
    piece(w - ox, h - oy, ox, oy, left, top, splitX, splitY);
    piece(w - ox, 0, ox, h - oy, left, splitY, splitX, bottom);
    piece(0, h - oy, w - ox, oy, splitX, top, right, splitY);
}

}  // namespace velk
