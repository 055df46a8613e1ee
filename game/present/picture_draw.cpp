// Drawing one picture: its box from anchor and zoom, the map link with
// looping maps, offset and shake, the zoom about a point, then one pass in
// its blend mode with the darkening part of colour and tone as brightness,
// and a second, additive pass for the lightening part.
#include <algorithm>
#include <cmath>

#include "game/data/game_owners.h"
#include "game/present/picture_drawing.h"
#include "game/present/picture_list.h"
#include "game/present/text_renderer.h"

namespace velk {
namespace {

// Library blend modes of the blend kinds: alpha, add, subtract, multiply
// then alpha, alpha with the inverted source.
constexpr std::array<int, kBlendKinds> kBlendModes = {1, 2, 3, 11, 10};
constexpr int kPlainBlend = 0;
constexpr int kAddBlend = 2;
constexpr double kTenthDegree = 3.1415926535 / 1800.0;

int BlendModeOf(int32_t kind) { return kind >= 0 && kind < kBlendKinds ? kBlendModes[static_cast<size_t>(kind)] : 1; }

int32_t Component(int32_t packed, size_t index) { return (packed >> (16 - 8 * static_cast<int>(index))) & 0xFF; }

struct Box {
    int64_t left = 0, top = 0, right = 0, bottom = 0;
};

// The box of a w x h picture at (x, y) by its anchor, zoomed by zx, zy percent.
Box AnchoredBox(int32_t anchor, double x, double y, int32_t w, int32_t h, double zx, double zy, int scale) {
    double left = x, top = y;
    switch (anchor) {
        case 1:
            left = x - (w / 2) * zx / 100.0;
            top = y - (h / 2) * zy / 100.0;
            break;
        case 2: top = y - h * zy / 100.0; break;
        case 3: left = x - w * zx / 100.0; break;
        case 4:
            left = x - w * zx / 100.0;
            top = y - h * zy / 100.0;
            break;
        default: break;
    }
    double right = left + w * zx / 100.0, bottom = top + h * zy / 100.0;
    if (scale == 1) {
        left += 0.5, top += 0.5, right += 0.5, bottom += 0.5;
    }
    return {static_cast<int64_t>(left), static_cast<int64_t>(top), static_cast<int64_t>(right),
            static_cast<int64_t>(bottom)};
}

int Clamped(int64_t value) { return static_cast<int>(std::clamp<int64_t>(value, -(int64_t{1} << 30), 1 << 30)); }

}  // namespace

void PictureList::DrawBand(int band) {
    for (Picture& picture : pictures_) {
        if (PictureBand(picture.id) == band) DrawPicture(picture);
    }
}

void PictureList::DrawPicture(Picture& p) {
    if (p.removed || p.hidden) return;
    PictureDrawing& drawing = services_->drawing;
    const TextSettings& settings = services_->text.Settings();
    const int scale = std::max(1, settings.displayScale);
    const int32_t chip = settings.chipSize;

    std::array<int32_t, 3> tone{};
    for (size_t c = 0; c < 3; ++c) {
        int64_t flash = 0;
        if (p.flashRemaining >= 1) {
            flash = (int64_t{Component(p.flashColor, c)} - 100) * 255 * p.flashRemaining /
                    (100 * int64_t{std::max(1, p.flashTotal)});
        }
        // Blended in the packed units, then scaled like the target, so a
        // tone starts exactly where the previous one was shown.
        const int64_t target = Component(p.toneTarget, c), from = Component(p.toneFrom, c);
        int64_t shown = target - 100;
        if (p.toneRemaining >= 1) shown -= (target - from) * p.toneRemaining / std::max(1, p.toneTotal);
        tone[c] = static_cast<int32_t>(std::clamp<int64_t>(shown * 255 / 100 + flash, -510, 510));
    }

    int64_t offsetX = p.ShownOffsetX(), offsetY = p.ShownOffsetY();
    if (p.shakeCount > 0) {
        const int64_t sign = (p.shakeCount % 2) != 0 ? 1 : -1;
        const int64_t period = std::max(1, p.shakePeriod), phase = p.shakePhase;
        const auto wave = [&](int64_t amplitude) {
            return phase < period ? amplitude * phase / period : amplitude - (phase - period) * amplitude / period;
        };
        offsetX += sign * wave(p.shakeAmplitudeX);
        offsetY += sign * wave(p.shakeAmplitudeY);
    }

    int64_t centerX = 0, centerY = 0, centerZoom = 100;
    if (p.centerZoomTarget != 100 || p.centerZoomFrom != 100) {
        const bool settled = p.centerZoomRemaining < 1;
        centerX = settled ? p.centerXTarget : p.ShownCenterX();
        centerY = settled ? p.centerYTarget : p.ShownCenterY();
        centerZoom = settled ? p.centerZoomTarget : p.ShownCenterZoom();
    }

    // While erasing the targets are shown; the remaining frames count the fade.
    const bool moving = !p.erasing && p.remaining >= 0;
    const int32_t x = p.erasing ? p.xTarget : p.ShownX();
    const int32_t y = p.erasing ? p.yTarget : p.ShownY();
    const int32_t zoomX = p.erasing ? p.zoomXTarget : p.ShownZoomX();
    const int32_t zoomY = p.erasing ? p.zoomYTarget : p.ShownZoomY();
    const int32_t angle = p.erasing ? p.angleTarget : p.ShownAngle();
    const bool rotated = !(p.angleTarget == p.angleFrom && p.angleTarget % 3600 == 0);
    const int32_t width = p.windowPicture ? p.divisionsX : p.cellWidth;
    const int32_t height = p.windowPicture ? p.divisionsY : p.cellHeight;
    const int32_t zoom = zoomX != 100 ? zoomX : zoomY;
    Box box = rotated && !p.stringPicture && !p.windowPicture
                  ? AnchoredBox(p.anchor, x, y, width, height, zoom, zoom, scale)
                  : AnchoredBox(p.anchor, x, y, width, height, zoomX, zoomY, scale);

    if (p.mapLinked) {
        MapOwner& map = *ActiveGameOwners().map;
        p.wrapOffsetX = p.wrapOffsetY = 0;
        const int64_t scrollX = map.ScrollX() / 4, scrollY = map.ScrollY() / 4;
        box.left -= scrollX, box.right -= scrollX, box.top -= scrollY, box.bottom -= scrollY;
        // On a looping map a box beyond the view's start or end is drawn
        // one map size further round.
        const auto wrap = [](int64_t& low, int64_t& high, int64_t span, int64_t view) {
            const int64_t shift = low < 0 ? span : low > view ? -span : 0;
            low += shift, high += shift;
            return static_cast<int32_t>(shift);
        };
        if (map.LoopsHorizontally()) {
            p.wrapOffsetX = wrap(box.left, box.right, int64_t{map.MapWidth()} * chip, 20 * chip);
        }
        if (map.LoopsVertically()) {
            p.wrapOffsetY = wrap(box.top, box.bottom, int64_t{map.MapHeight()} * chip, 15 * chip);
        }
    }

    const auto around = [&](int64_t edge, int64_t center, int64_t offset) {
        return (edge - center) * (centerZoom - 100) / 100 + edge + offset;
    };
    box = {around(box.left, centerX, offsetX), around(box.top, centerY, offsetY), around(box.right, centerX, offsetX),
           around(box.bottom, centerY, offsetY)};
    p.drawnLeft = Clamped(box.left), p.drawnRight = Clamped(box.right);
    p.drawnTop = Clamped(box.top), p.drawnBottom = Clamped(box.bottom);

    int mode = BlendModeOf(p.blendKind);
    int parameter = 0;
    if (p.erasing) {
        parameter = static_cast<int>(int64_t{p.opacityTarget} * std::max(0, p.remaining) / std::max(1, p.total));
    } else if (!moving) {
        parameter = p.opacityTarget;
        if (p.opacityTarget == 255 && p.blendKind == 0) mode = kPlainBlend;
    } else {
        parameter = p.ShownOpacity();
    }
    parameter = std::clamp(parameter, 0, 255);

    std::array<int, 3> first{}, second{};
    bool lightens = false;
    for (size_t c = 0; c < 3; ++c) {
        const int64_t sum = int64_t{p.ShownColor(c)} + tone[c];
        first[c] = static_cast<int>(sum < 1 ? std::clamp<int64_t>(255 + sum, 0, 255) : 255);
        second[c] = static_cast<int>(std::clamp<int64_t>(sum, 0, 255));
        lightens = lightens || sum >= 1 || int64_t{p.colorTarget[c]} + tone[c] >= 1 ||
                   (moving && int64_t{p.colorFrom[c]} + tone[c] >= 1);
    }

    const auto drawPass = [&] {
        if (p.stringPicture) {
            const double zoomRate = static_cast<double>(centerZoom) / 100.0;
            p.textBox.x = Clamped(box.left * scale);
            p.textBox.y = Clamped(box.top * scale);
            p.textBox.Draw(services_->text, true, zoomX * 0.01 * zoomRate, zoomY * 0.01 * zoomRate);
        } else if (p.windowPicture) {
            if (p.cells.size() < 9) return;
            const int64_t cw = p.cellWidth, ch = p.cellHeight;
            const std::array<int64_t, 4> xs = {box.left, box.left + cw, box.right - cw, box.right};
            const std::array<int64_t, 4> ys = {box.top, box.top + ch, box.bottom - ch, box.bottom};
            for (size_t row = 0; row < 3; ++row) {
                for (size_t column = 0; column < 3; ++column) {
                    drawing.DrawGraphScaled(Clamped(xs[column] * scale), Clamped(ys[row] * scale),
                                            Clamped(xs[column + 1] * scale), Clamped(ys[row + 1] * scale),
                                            p.cells[row * 3 + column], true);
                }
            }
        } else {
            const int cell = p.CellOfPattern();
            if (cell == -1) return;
            if (rotated) {
                const double centerXDraw = (box.left + box.right) / 2.0 * scale;
                const double centerYDraw = (box.top + box.bottom) / 2.0 * scale;
                const double rate = zoom * static_cast<double>(centerZoom) / 100.0 * 0.01 * scale;
                drawing.DrawGraphRotated(static_cast<int>(centerXDraw), static_cast<int>(centerYDraw), rate,
                                         angle * kTenthDegree, cell, true);
            } else {
                drawing.DrawGraphScaled(Clamped(box.left * scale), Clamped(box.top * scale), Clamped(box.right * scale),
                                        Clamped(box.bottom * scale), cell, true);
            }
        }
    };

    drawing.SetDrawBlendMode(mode, parameter);
    drawing.SetDrawBrightness(first[0], first[1], first[2]);
    drawPass();
    if (lightens) {
        drawing.SetDrawBlendMode(kAddBlend, parameter);
        drawing.SetDrawBrightness(second[0], second[1], second[2]);
        drawPass();
    }
    drawing.SetDrawBlendMode(kPlainBlend, 255);
    drawing.SetDrawBrightness(255, 255, 255);
}

}  // namespace velk
