#pragma once
// One picture: an image, a window frame or a piece of laid-out text that
// event commands place under an id and then move, recolour, shake, zoom and
// erase over a number of frames. Values that glide hold a target and the
// value the glide started from; what is shown in between follows one rule
// (ShownValue). The record holds state only: the picture list sets it up,
// counts it down and draws it.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "game/present/text_box.h"

namespace velk {

// Keeps the current pattern, opacity, zoom or angle.
inline constexpr int32_t kKeepValue = -1000000;
// Keeps the current blend kind.
inline constexpr int32_t kKeepBlend = 15;
// In a packed colour: keeps the current colour.
inline constexpr int32_t kKeepColorBit = 1 << 24;
// The blend word's map-link bit; its low four bits are the blend kind.
inline constexpr int32_t kMapLinkBit = 0x100;
// Blend kinds 0 normal, 1 add, 2 subtract, 3 multiply, 4 inverted.
inline constexpr int32_t kBlendKinds = 5;
// Packed (100, 100, 100): no colour change.
inline constexpr int32_t kNeutralPackedColor = 0x646464;

// The value shown `remaining` frames before a glide from `from` to `target`
// of `total` frames ends.
inline int32_t ShownValue(int32_t target, int32_t from, int32_t remaining, int32_t total) {
    const int64_t left = remaining < 0 ? 0 : remaining;
    const int64_t length = total < 1 ? 1 : total;
    return static_cast<int32_t>(target + (int64_t{from} - target) * left / length);
}

// A packed colour argument as three stored components (-255..255); false
// when its keep bit is set.
bool UnpackPictureColor(int32_t packed, std::array<int32_t, 3>& color);
// Three components 0..200 (clamped) packed as red x 65536 + green x 256 + blue.
int32_t PackPercentColor(int32_t red, int32_t green, int32_t blue);

// Operation kinds of the delayed queue.
enum class PictureOperation : int32_t { kShowImage = 0, kShowString = 1, kMove = 2, kErase = 3, kShowWindow = 4 };

// The arguments of a show, move or erase, in the order the delayed queue
// stores them for each kind.
struct PictureArguments {
    int32_t divisionsX = 1;
    int32_t divisionsY = 1;
    int32_t x = 0;
    int32_t y = 0;
    int32_t pattern = 1;
    int32_t opacity = 255;
    int32_t blendWord = 0;
    int32_t frames = 0;
    int32_t zoomX = 100;
    int32_t zoomY = 100;
    int32_t angle = 0;
    int32_t anchor = 0;
    int32_t color = kNeutralPackedColor;
    bool relative = false;
};

// The integer words of a queued operation after its delay and kind.
std::vector<int32_t> EncodeDelayedWords(PictureOperation kind, const PictureArguments& arguments);
// Reads them back; false when the words are too few for the kind.
bool DecodeDelayedWords(PictureOperation kind, const std::vector<int32_t>& values, PictureArguments& arguments);

class Picture {
public:
    // Every field at its default (hidden), with this id.
    explicit Picture(int32_t id = -1) : id(id) {}

    // Every field back to its default (id -1).
    void Reset();
    // Remaining frames fall by the frame step; below 0 they rest at -1.
    void CountDown(int32_t frameStep);
    // Property codes 0-9 as shown this frame; -1 for other codes.
    // `scrollX`/`scrollY` are the map's scroll in quarter pixels.
    int32_t GetProperty(int32_t code, int32_t scrollX, int32_t scrollY, int32_t mouseX, int32_t mouseY) const;

    int32_t ShownX() const { return ShownValue(xTarget, xFrom, remaining, total); }
    int32_t ShownY() const { return ShownValue(yTarget, yFrom, remaining, total); }
    int32_t ShownOpacity() const { return ShownValue(opacityTarget, opacityFrom, remaining, total); }
    int32_t ShownZoomX() const { return ShownValue(zoomXTarget, zoomXFrom, remaining, total); }
    int32_t ShownZoomY() const { return ShownValue(zoomYTarget, zoomYFrom, remaining, total); }
    int32_t ShownAngle() const { return ShownValue(angleTarget, angleFrom, remaining, total); }
    int32_t ShownColor(size_t component) const {
        return ShownValue(colorTarget[component], colorFrom[component], remaining, total);
    }
    // The colour tone shown now, packed like its target.
    int32_t ShownTone() const;
    int32_t ShownOffsetX() const { return ShownValue(offsetXTarget, offsetXFrom, offsetRemaining, offsetTotal); }
    int32_t ShownOffsetY() const { return ShownValue(offsetYTarget, offsetYFrom, offsetRemaining, offsetTotal); }
    int32_t ShownCenterZoom() const {
        return ShownValue(centerZoomTarget, centerZoomFrom, centerZoomRemaining, centerZoomTotal);
    }
    int32_t ShownCenterX() const {
        return ShownValue(centerXTarget, centerXFrom, centerZoomRemaining, centerZoomTotal);
    }
    int32_t ShownCenterY() const {
        return ShownValue(centerYTarget, centerYFrom, centerZoomRemaining, centerZoomTotal);
    }
    // The cell graph the pattern names; -1 when it names none.
    int CellOfPattern() const {
        return pattern >= 1 && static_cast<size_t>(pattern) <= cells.size() ? cells[static_cast<size_t>(pattern - 1)]
                                                                            : -1;
    }

    int32_t graph = 0;
    int32_t previousGraph = 0;
    TextBox textBox;
    std::vector<int32_t> cells;
    std::vector<int32_t> previousCells;
    std::string previousFileName;
    std::string fileName;
    int32_t xTarget = 0, xFrom = 0;
    int32_t yTarget = 0, yFrom = 0;
    int32_t pattern = 1, previousPattern = 1;
    int32_t opacityTarget = 0, opacityFrom = 0;
    int32_t blendKind = 0, previousBlendKind = 0;
    int32_t remaining = 0;
    int32_t total = 0;
    int32_t zoomXTarget = 100, zoomXFrom = 100;
    int32_t zoomYTarget = 100, zoomYFrom = 100;
    int32_t angleTarget = 0, angleFrom = 0;
    int32_t cellWidth = 0, previousCellWidth = 0;
    int32_t cellHeight = 0, previousCellHeight = 0;
    std::array<int32_t, 3> colorTarget{};
    std::array<int32_t, 3> colorFrom{};
    int32_t wrapOffsetX = 0, wrapOffsetY = 0;
    // The delayed operations: per entry its string and its words [delay,
    // kind, arguments...].
    std::vector<std::string> delayedNames;
    std::vector<std::vector<int32_t>> delayedValues;
    bool stringPicture = false;
    bool windowPicture = false;
    bool mapLinked = false;
    int16_t anchor = 0;
    int16_t previousAnchor = 0;
    int32_t id = -1;
    // Cells across and down; a window picture's frame size in pixels.
    int32_t divisionsX = 1, divisionsY = 1;
    bool erasing = false;
    bool removed = false;
    bool hidden = true;
    int32_t drawnLeft = -100, drawnRight = -100, drawnTop = -100, drawnBottom = -100;
    int32_t flashColor = 0;
    int32_t flashTotal = 0, flashRemaining = 0;
    int32_t toneTarget = kNeutralPackedColor, toneFrom = kNeutralPackedColor;
    int32_t toneTotal = 0, toneRemaining = 0;
    int32_t offsetXTarget = 0, offsetXFrom = 0;
    int32_t offsetYTarget = 0, offsetYFrom = 0;
    int32_t offsetTotal = 0, offsetRemaining = 0;
    int32_t shakeAmplitudeX = 0, shakeAmplitudeY = 0;
    int32_t shakeCount = 0;
    int32_t shakePeriod = 0;
    int32_t shakePhase = 0;
    int32_t centerXTarget = 0, centerXFrom = 0;
    int32_t centerYTarget = 0, centerYFrom = 0;
    int32_t centerZoomTarget = 100, centerZoomFrom = 100;
    int32_t centerZoomTotal = 0, centerZoomRemaining = 0;
    // What the list last counted of this picture against the bound of the
    // pictures' texts; never saved.
    size_t textBytesCounted = 0;
    // What the strings of the delayed operations hold, kept by the list as
    // the queue changes so that counting a picture does not walk its queue.
    size_t delayedTextBytes = 0;
};

}  // namespace velk
