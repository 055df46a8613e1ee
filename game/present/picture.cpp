#include "game/present/picture.h"

#include <algorithm>

namespace velk {
namespace {

int32_t StoredComponent(int32_t percent) {
    // Whole-number arithmetic, so that 200 gives 255 exactly.
    return std::clamp((percent - 100) * 255 / 100, -255, 255);
}

int32_t PackedComponent(int32_t packed, int shift) { return (packed >> shift) & 0xFF; }

// Word counts after delay and kind, by operation kind.
constexpr std::array<size_t, 5> kDelayedWordCounts = {14, 12, 11, 2, 14};

}  // namespace

bool UnpackPictureColor(int32_t packed, std::array<int32_t, 3>& color) {
    if (packed & kKeepColorBit) return false;
    color = {StoredComponent(packed / 65536), StoredComponent(packed % 65536 / 256), StoredComponent(packed % 256)};
    return true;
}

int32_t PackPercentColor(int32_t red, int32_t green, int32_t blue) {
    return std::clamp(red, 0, 200) * 65536 + std::clamp(green, 0, 200) * 256 + std::clamp(blue, 0, 200);
}

std::vector<int32_t> EncodeDelayedWords(PictureOperation kind, const PictureArguments& a) {
    const int32_t relative = a.relative ? 1 : 0;
    switch (kind) {
        case PictureOperation::kShowImage:
        case PictureOperation::kShowWindow:
            return {a.divisionsX, a.divisionsY, a.x,     a.y,     a.pattern, a.opacity, a.blendWord,
                    a.frames,     a.zoomX,      a.zoomY, a.angle, a.anchor,  a.color,   relative};
        case PictureOperation::kShowString:
            return {a.x,     a.y,     a.pattern, a.opacity, a.blendWord, a.frames,
                    a.zoomX, a.zoomY, a.angle,   a.anchor,  a.color,     relative};
        case PictureOperation::kMove:
            return {a.x,     a.y,     a.pattern, a.opacity, a.blendWord, a.frames,
                    a.zoomX, a.zoomY, a.angle,   a.color,   relative};
        case PictureOperation::kErase: return {a.frames, a.color};
    }
    return {};
}

bool DecodeDelayedWords(PictureOperation kind, const std::vector<int32_t>& values, PictureArguments& a) {
    const auto index = static_cast<size_t>(kind);
    if (index >= kDelayedWordCounts.size() || values.size() < 2 + kDelayedWordCounts[index]) return false;
    const int32_t* w = values.data() + 2;
    switch (kind) {
        case PictureOperation::kShowImage:
        case PictureOperation::kShowWindow:
            a.divisionsX = w[0];
            a.divisionsY = w[1];
            w += 2;
            [[fallthrough]];
        case PictureOperation::kShowString:
            a.x = w[0], a.y = w[1], a.pattern = w[2], a.opacity = w[3], a.blendWord = w[4], a.frames = w[5];
            a.zoomX = w[6], a.zoomY = w[7], a.angle = w[8], a.anchor = w[9], a.color = w[10];
            a.relative = w[11] == 1;
            return true;
        case PictureOperation::kMove:
            a.x = w[0], a.y = w[1], a.pattern = w[2], a.opacity = w[3], a.blendWord = w[4], a.frames = w[5];
            a.zoomX = w[6], a.zoomY = w[7], a.angle = w[8], a.color = w[9];
            a.relative = w[10] == 1;
            return true;
        case PictureOperation::kErase:
            a.frames = w[0];
            a.color = w[1];
            return true;
    }
    return false;
}

void Picture::Reset() { *this = Picture(); }

void Picture::CountDown(int32_t frameStep) {
    remaining -= frameStep;
    if (remaining < 0) remaining = -1;
}

int32_t Picture::ShownTone() const {
    int32_t packed = 0;
    for (int shift : {16, 8, 0}) {
        const int32_t component =
            ShownValue(PackedComponent(toneTarget, shift), PackedComponent(toneFrom, shift), toneRemaining, toneTotal);
        packed |= std::clamp(component, 0, 255) << shift;
    }
    return packed;
}

int32_t Picture::GetProperty(int32_t code, int32_t scrollX, int32_t scrollY, int32_t mouseX, int32_t mouseY) const {
    switch (code) {
        case 0: return ShownX() - (mapLinked ? scrollX / 4 : 0) + wrapOffsetX;
        case 1: return ShownY() - (mapLinked ? scrollY / 4 : 0) + wrapOffsetY;
        case 2: return windowPicture ? static_cast<int32_t>(int64_t{divisionsX} * zoomXTarget / 100) : cellWidth;
        case 3: return windowPicture ? static_cast<int32_t>(int64_t{divisionsY} * zoomYTarget / 100) : cellHeight;
        case 4: return pattern;
        case 5: return ShownOpacity();
        case 6: return ShownAngle();
        case 7: return ShownZoomX() != 100 ? ShownZoomX() : ShownZoomY();
        case 8: return drawnLeft < mouseX && mouseX < drawnRight && drawnTop < mouseY && mouseY < drawnBottom ? 1 : 0;
        case 9: return removed ? 0 : 1;
        default: return -1;
    }
}

}  // namespace velk
