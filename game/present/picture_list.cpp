#include "game/present/picture_list.h"

#include <algorithm>
#include <iterator>
#include <new>
#include <utility>

#include "game/data/error_reporter.h"
#include "game/data/game_owners.h"
#include "game/data/text_format.h"
#include "game/data/variable_store.h"
#include "game/present/picture_images.h"
#include "game/present/picture_texts.h"
#include "game/present/text_renderer.h"

namespace velk {
namespace {

int32_t FrameStepOf(const TextRenderer& text) { return std::max(1, text.Settings().frameStep); }

// The point of the box an anchor names, from the top-left corner.
std::array<int32_t, 2> AnchorOffset(int32_t anchor, int32_t width, int32_t height) {
    switch (anchor) {
        case 1: return {width / 2, height / 2};
        case 2: return {0, height};
        case 3: return {width, 0};
        case 4: return {width, height};
        default: return {0, 0};
    }
}

bool KnownBlend(int32_t kind) { return kind >= 0 && kind < kBlendKinds; }

// A laid-out text is held three times: the text shown, the one the layout
// walks and the one it was laid out from.
constexpr size_t kLaidOutCopies = 3;

// What the picture keeps that grows with its texts.
size_t TextBytesOf(const Picture& p) {
    const TextBox& box = p.textBox;
    size_t bytes = StringHeapBytes(box.shownText.capacity()) + StringHeapBytes(box.workingText.capacity()) +
                   StringHeapBytes(box.laidOutText.capacity());
    for (const auto* lines : {&box.lineWidths, &box.lineTops, &box.lineHeights, &box.lineRawWidths})
        bytes += lines->capacity() * sizeof(int32_t);
    return bytes + p.delayedTextBytes;
}

// Brings `held` and the picture's share of it up to what the picture keeps now.
void CountText(Picture& p, size_t& held) {
    const size_t now = TextBytesOf(p);
    held = held - std::min(held, p.textBytesCounted) + now;
    p.textBytesCounted = now;
}

// Swapped for empty ones: a cleared string or list would keep a long text's
// memory.
void ReleaseText(TextBox& box) {
    std::string().swap(box.shownText);
    std::string().swap(box.workingText);
    std::string().swap(box.laidOutText);
    for (auto* lines : {&box.lineWidths, &box.lineTops, &box.lineHeights, &box.lineRawWidths})
        std::vector<int32_t>().swap(*lines);
}

bool Fits(size_t held, size_t added) {
    const size_t limit = HeldStringLimit();
    return added <= limit && held <= limit - added;
}

// Every glide's start at its target: nothing moves.
void SettleAtTargets(Picture& p) {
    p.xFrom = p.xTarget;
    p.yFrom = p.yTarget;
    p.previousPattern = p.pattern;
    p.opacityFrom = p.opacityTarget;
    p.previousBlendKind = p.blendKind;
    p.zoomXFrom = p.zoomXTarget;
    p.zoomYFrom = p.zoomYTarget;
    p.angleFrom = p.angleTarget;
    p.colorFrom = p.colorTarget;
}

// Takes the blend word's map link: a point given to a linked picture is in
// map coordinates. Only the blend kind stays in the word.
void LinkToMap(Picture& p, PictureArguments& a) {
    MapOwner& map = *ActiveGameOwners().map;
    if (a.blendWord & kMapLinkBit) {
        if (!a.relative || !p.mapLinked) {
            a.x += map.ScrollX() / 4;
            a.y += map.ScrollY() / 4;
        }
        p.mapLinked = true;
    } else if (p.mapLinked) {
        p.mapLinked = false;
        if (a.relative) {
            a.x -= map.ScrollX() / 4;
            a.y -= map.ScrollY() / 4;
        }
    }
    a.blendWord &= 0x0F;
}

}  // namespace

int PictureBand(int32_t id) {
    if (id <= -100000) return -2;
    if (id < 0) return -1;
    if (id < 100000) return 0;
    return 1;
}

void PictureZoomPair(int32_t zoom, int32_t axisOption, int32_t& zoomX, int32_t& zoomY) {
    if (zoom == kKeepValue) {
        zoomX = zoomY = kKeepValue;
    } else if (axisOption == 1) {
        zoomX = 100;
        zoomY = zoom;
    } else if (axisOption == 2) {
        zoomX = zoom;
        zoomY = 100;
    } else {
        zoomX = zoomY = zoom;
    }
}

void PictureList::Clear(bool deleteGraphics) {
    pictures_.clear();
    count_ = 0;
    heldTextBytes_ = 0;
    hints_ = {};
    spareWords_ = {};
    if (deleteGraphics) services_->images.Clear();
}

size_t PictureList::StartIndex(int32_t first) const {
    size_t index = 0;
    for (size_t k = 0; k < hints_.size(); ++k) {
        if (hints_[k] >= first) break;
        index = (k + 1) * static_cast<size_t>(count_) / 4;
    }
    index = std::min(index, pictures_.size());
    // The hints may be stale: step back over ids that are not below first.
    while (index > 0 && pictures_[index - 1].id >= first)
        --index;
    while (index < pictures_.size() && pictures_[index].id < first)
        ++index;
    return index;
}

void PictureList::Recount() {
    count_ = static_cast<int32_t>(pictures_.size());
    if (count_ < 1) return;
    for (size_t k = 0; k < hints_.size(); ++k) {
        hints_[k] = pictures_[std::min(pictures_.size() - 1, (k + 1) * pictures_.size() / 4)].id;
    }
}

// A range stops at the first picture that raised a box: the rest would
// raise the same one each, and the player is asked once.
template <typename Action>
void PictureList::ForRange(int32_t first, int32_t last, Action action) {
    const uint64_t boxesBefore = ErrorBoxesAskedFor();
    for (size_t index = StartIndex(first); index < pictures_.size() && pictures_[index].id <= last; ++index) {
        if (ErrorBoxesAskedFor() != boxesBefore) break;
        action(pictures_[index]);
        CountText(pictures_[index], heldTextBytes_);
    }
}

// The ids are walked from the start index: an id meets the picture there and
// moves on past it, or is made there. Making them one insert at a time would
// move every later picture once per id, so the walk is laid out first and
// the made pictures put in with one pass over the list; the actions then run
// in id order, with every picture of the walk already in place. Made ones
// are fresh (no graph, no file, no text), so no action tells them from
// absent ones, and those the walk did not reach are taken out again.
template <typename Action>
void PictureList::ForEveryId(int32_t first, int32_t last, Action action) {
    const uint64_t boxesBefore = ErrorBoxesAskedFor();
    const size_t start = StartIndex(first);
    // Per id of the walk, whether it is made. 64 bits, so a range up to the
    // largest id ends.
    std::vector<bool> made;
    size_t met = start;
    size_t size = pictures_.size();
    for (int64_t id = first; id <= last; ++id) {
        if (met < pictures_.size() && pictures_[met].id == id) {
            made.push_back(false);
            ++met;
            continue;
        }
        if (size >= kMaxPictures) break;
        made.push_back(true);
        ++size;
    }
    if (size != pictures_.size()) {
        std::vector<Picture> laidOut;
        laidOut.reserve(size);
        const auto begin = std::make_move_iterator(pictures_.begin());
        laidOut.insert(laidOut.end(), begin, begin + static_cast<std::ptrdiff_t>(start));
        size_t from = start;
        for (size_t k = 0; k < made.size(); ++k) {
            if (made[k]) {
                laidOut.emplace_back(static_cast<int32_t>(first + static_cast<int64_t>(k)));
            } else {
                laidOut.push_back(std::move(pictures_[from++]));
            }
        }
        laidOut.insert(laidOut.end(), begin + static_cast<std::ptrdiff_t>(from),
                       std::make_move_iterator(pictures_.end()));
        pictures_ = std::move(laidOut);
    }
    // Where the range stops early, the ids it did not reach were never made.
    const auto unmakeFrom = [&](size_t reached) {
        size_t kept = start + reached;
        for (size_t k = reached; k < made.size(); ++k) {
            if (made[k]) continue;
            if (kept != start + k) pictures_[kept] = std::move(pictures_[start + k]);
            ++kept;
        }
        if (kept == start + made.size()) return;
        const auto rest = pictures_.begin() + static_cast<std::ptrdiff_t>(start + made.size());
        const auto end = std::move(rest, pictures_.end(), pictures_.begin() + static_cast<std::ptrdiff_t>(kept));
        pictures_.erase(end, pictures_.end());
    };
    size_t walked = 0;
    try {
        for (; walked < made.size() && ErrorBoxesAskedFor() == boxesBefore; ++walked) {
            Picture& picture = pictures_[start + walked];
            action(picture);
            CountText(picture, heldTextBytes_);
        }
    } catch (...) {
        unmakeFrom(walked + 1);
        throw;
    }
    unmakeFrom(walked);
    Recount();
}

void PictureList::Show(int32_t first, int32_t last, const std::string& fileName, const PictureArguments& arguments,
                       int32_t delay, bool window) {
    const PictureOperation kind = window ? PictureOperation::kShowWindow : PictureOperation::kShowImage;
    bool imagesShown = false;
    ForEveryId(first, last,
               [&](Picture& picture) { SetImage(picture, kind, fileName, arguments, delay, &imagesShown); });
}

void PictureList::ShowString(int32_t first, int32_t last, const std::string& text, const PictureArguments& arguments,
                             int32_t delay) {
    ForEveryId(first, last, [&](Picture& picture) { SetString(picture, text, arguments, delay); });
}

void PictureList::Move(int32_t first, int32_t last, const PictureArguments& arguments, int32_t delay) {
    ForRange(first, last, [&](Picture& picture) { StartMove(picture, arguments, delay); });
}

void PictureList::EraseRange(int32_t first, int32_t last, int32_t frames, int32_t delay, int32_t color) {
    ForRange(first, last, [&](Picture& picture) { Erase(picture, frames, delay, color); });
}

void PictureList::CancelDelayedRange(int32_t first, int32_t last) {
    ForRange(first, last, [](Picture& picture) {
        picture.delayedNames.clear();
        picture.delayedValues.clear();
        picture.delayedTextBytes = 0;
    });
}

void PictureList::SetEffectRange(int32_t first, int32_t last, int32_t kind, int32_t a, int32_t b, int32_t c,
                                 int32_t frames) {
    ForRange(first, last, [&](Picture& picture) { SetEffect(picture, kind, a, b, c, frames); });
}

const Picture* PictureList::Find(int32_t id) const {
    const size_t index = StartIndex(id);
    return index < pictures_.size() && pictures_[index].id == id ? &pictures_[index] : nullptr;
}

int32_t PictureList::GetProperty(int32_t id, int32_t code) const {
    const Picture* picture = Find(id);
    if (!picture) return code == 9 ? 0 : -1;
    MapOwner& map = *ActiveGameOwners().map;
    InputOwner& input = *ActiveGameOwners().input;
    return picture->GetProperty(code, map.ScrollX(), map.ScrollY(), input.MouseX(), input.MouseY());
}

void PictureList::Queue(Picture& picture, PictureOperation kind, const std::string& text,
                        const PictureArguments& arguments, int32_t delay) {
    // A queued show keeps its text until it runs.
    if (!text.empty() && !Fits(heldTextBytes_, StringHeapBytes(text.size()))) {
        ReportRefusal(picture.id);
        Remove(picture);
        return;
    }
    std::vector<int32_t> values = {delay, static_cast<int32_t>(kind)};
    const std::vector<int32_t> words = EncodeDelayedWords(kind, arguments);
    values.insert(values.end(), words.begin(), words.end());
    picture.delayedNames.push_back(text);
    picture.delayedTextBytes += StringHeapBytes(picture.delayedNames.back().capacity());
    picture.delayedValues.push_back(std::move(values));
}

void PictureList::StartFrom(Picture& p) {
    p.CountDown(FrameStepOf(services_->text));
    if (p.remaining < 1) {
        SettleAtTargets(p);
        return;
    }
    // A glide that is cut short goes on from where it is shown now.
    const int32_t x = p.ShownX(), y = p.ShownY(), opacity = p.ShownOpacity();
    const int32_t zoomX = p.ShownZoomX(), zoomY = p.ShownZoomY(), angle = p.ShownAngle();
    for (size_t c = 0; c < 3; ++c)
        p.colorFrom[c] = p.ShownColor(c);
    p.xFrom = x, p.yFrom = y, p.opacityFrom = opacity;
    p.zoomXFrom = zoomX, p.zoomYFrom = zoomY, p.angleFrom = angle;
}

void PictureList::TakeTargets(Picture& p, const PictureArguments& a) {
    if (a.pattern != kKeepValue) p.pattern = a.pattern;
    if (a.opacity != kKeepValue) p.opacityTarget = a.opacity;
    // Kinds the drawing has no blend for are refused like a keep.
    const int32_t kind = a.blendWord & 0x0F;
    if (kind != kKeepBlend && KnownBlend(kind)) p.blendKind = kind;
    if (a.zoomX != kKeepValue && a.zoomY != kKeepValue) {
        p.zoomXTarget = a.zoomX;
        p.zoomYTarget = a.zoomY;
    }
    if (a.angle != kKeepValue) p.angleTarget = a.angle;
    UnpackPictureColor(a.color, p.colorTarget);
}

bool PictureList::CheckPattern(Picture& p, int32_t previousPattern) {
    if (p.cells.empty() || (p.pattern >= 1 && static_cast<size_t>(p.pattern) <= p.cells.size())) return true;
    ActiveErrorReporter().ShowErrorBox(
        FormatText(texts::kPicturePatternTooLarge, p.id, p.pattern, static_cast<int>(p.cells.size())),
        texts::kPicturePatternDelayNote, FormatErrorLocation());
    p.pattern = previousPattern;
    return false;
}

void PictureList::SetImage(Picture& p, PictureOperation kind, const std::string& fileName, PictureArguments a,
                           int32_t delay, bool* imagesShown) {
    if (delay >= 1) {
        Queue(p, kind, fileName, a, delay);
        return;
    }
    ReleaseRemoved();
    const uint64_t boxesBefore = ErrorBoxesAskedFor();
    // Only a picture that showed an image can leave one unshown; the graph
    // of a picture that showed none is 0, which names no image.
    const bool showedImage = !p.removed && !p.stringPicture && p.graph != 0;
    const int32_t graphBefore = p.graph;
    const bool window = kind == PictureOperation::kShowWindow;
    p.erasing = p.removed = p.hidden = false;
    p.stringPicture = false;
    ReleaseText(p.textBox);
    p.windowPicture = window;
    if (!window && (a.divisionsX < 1 || a.divisionsY < 1)) {
        if (services_->settings.testPlay) {
            ActiveErrorReporter().ShowErrorBox(
                FormatText(texts::kPictureDivisionsBelowOne, p.id, a.divisionsX, a.divisionsY),
                texts::kPictureDivisionsDelayNote, FormatErrorLocation());
        }
        a.divisionsX = std::max(1, a.divisionsX);
        a.divisionsY = std::max(1, a.divisionsY);
    }
    LinkToMap(p, a);
    p.previousGraph = p.graph;
    const bool loaded = window ? services_->images.PictureControl(p, fileName, 3, 3)
                               : services_->images.PictureControl(p, fileName, a.divisionsX, a.divisionsY);
    if (!loaded) {
        p.removed = true;
        if (showedImage && imagesShown) *imagesShown = false;
        return;
    }
    if (window) {
        p.divisionsX = a.divisionsX;
        p.divisionsY = a.divisionsY;
    }
    // A box may have let the display restore every image meanwhile.
    const bool leftAnImage = (showedImage && p.graph != graphBefore) || ErrorBoxesAskedFor() != boxesBefore;
    if (fileName != p.fileName) {
        if (!imagesShown || !*imagesShown || leftAnImage) services_->images.ReleaseUnused(pictures_);
        if (imagesShown) *imagesShown = true;
        p.previousFileName = p.fileName;
        p.fileName = fileName;
    } else if (leftAnImage && imagesShown) {
        *imagesShown = false;
    }
    StartFrom(p);
    p.previousAnchor = p.anchor;
    p.xTarget = a.relative ? p.xFrom + a.x : a.x;
    p.yTarget = a.relative ? p.yFrom + a.y : a.y;
    const bool fresh = p.previousGraph == 0;
    if (!fresh) {
        // The shown point stays where it is when the anchor changes.
        const auto before = AnchorOffset(p.previousAnchor, p.cellWidth, p.cellHeight);
        const auto after = AnchorOffset(a.anchor, p.cellWidth, p.cellHeight);
        p.xFrom -= (before[0] - after[0]) * (p.zoomXFrom / 100);
        p.yFrom -= (before[1] - after[1]) * (p.zoomYFrom / 100);
    }
    const int32_t previousPattern = p.pattern;
    TakeTargets(p, a);
    p.anchor = static_cast<int16_t>(a.anchor);
    if (fresh) {
        SettleAtTargets(p);
        // A fresh picture with frames fades in.
        p.opacityFrom = 0;
    }
    p.previousCellWidth = p.cellWidth;
    p.previousCellHeight = p.cellHeight;
    if (!window && !CheckPattern(p, previousPattern)) return;
    p.wrapOffsetX = p.wrapOffsetY = 0;
    p.remaining = p.total = a.frames;
}

void PictureList::MeasureText(Picture& p) {
    int32_t width = 0, height = 0;
    p.textBox.Measure(services_->text, width, height);
    p.cellWidth = p.previousCellWidth = width;
    p.cellHeight = p.previousCellHeight = height;
}

void PictureList::ReportRefusal(int32_t id) {
    if (!quietRefusals_) ShowHeldStringLimitReached(id);
}

bool PictureList::HoldText(Picture& p, const std::string& text, bool layOut, size_t& held) {
    ReleaseText(p.textBox);
    CountText(p, held);
    if (!Fits(held, (layOut ? kLaidOutCopies : 1) * StringHeapBytes(text.size()))) {
        ReportRefusal(p.id);
        return false;
    }
    bool made = true;
    try {
        p.textBox.shownText = text;
        if (layOut) MeasureText(p);
    } catch (const std::bad_alloc&) {
        made = false;
    }
    CountText(p, held);
    // Checked again once made: the layout's lists grow with the text's lines.
    if (made && held <= HeldStringLimit()) return true;
    ReleaseText(p.textBox);
    CountText(p, held);
    ReportRefusal(p.id);
    return false;
}

void PictureList::SetString(Picture& p, const std::string& text, PictureArguments a, int32_t delay) {
    if (delay >= 1) {
        Queue(p, PictureOperation::kShowString, text, a, delay);
        return;
    }
    // Also where no image is let go: the picture stops showing its graph
    // here, which no removal noted before it did.
    ReleaseRemoved();
    p.erasing = p.removed = p.hidden = false;
    p.stringPicture = true;
    p.windowPicture = false;
    LinkToMap(p, a);
    p.graph = p.previousGraph = 0;
    if (!p.fileName.empty() || !p.previousFileName.empty()) {
        services_->images.ReleaseUnused(pictures_);
        p.fileName.clear();
        p.previousFileName.clear();
    }
    p.cells.clear();
    p.previousCells.clear();
    StartFrom(p);
    p.previousAnchor = p.anchor;
    p.xTarget = a.relative ? p.xFrom + a.x : a.x;
    p.yTarget = a.relative ? p.yFrom + a.y : a.y;
    TakeTargets(p, a);
    p.anchor = static_cast<int16_t>(a.anchor);
    // A string picture never glides from an earlier state: it fades in.
    SettleAtTargets(p);
    p.opacityFrom = 0;
    p.textBox.x = p.xFrom;
    p.textBox.y = p.yFrom;
    p.textBox.speed = services_->settings.messageSpeed;
    if (!HoldText(p, text, true, heldTextBytes_)) {
        Remove(p);
        return;
    }
    p.wrapOffsetX = p.wrapOffsetY = 0;
    p.remaining = p.total = a.frames;
}

void PictureList::StartMove(Picture& p, const PictureArguments& a, int32_t delay) {
    if (delay >= 1) {
        Queue(p, PictureOperation::kMove, "", a, delay);
        return;
    }
    StartFrom(p);
    p.previousAnchor = p.anchor;
    p.xTarget = a.relative ? p.xFrom + a.x : a.x;
    p.yTarget = a.relative ? p.yFrom + a.y : a.y;
    const int32_t previousPattern = p.pattern;
    TakeTargets(p, a);
    if (p.stringPicture) MeasureText(p);
    if (!p.stringPicture && !p.windowPicture && !CheckPattern(p, previousPattern)) return;
    p.remaining = p.total = a.frames;
}

void PictureList::Erase(Picture& p, int32_t frames, int32_t delay, int32_t color) {
    if (delay >= 1) {
        PictureArguments a;
        a.frames = frames;
        a.color = color;
        Queue(p, PictureOperation::kErase, "", a, delay);
        return;
    }
    if (p.erasing) return;
    // The fade counts the erase's frames: every glide stops where it is
    // shown now, so neither the drawing nor the properties jump.
    const int32_t x = p.ShownX(), y = p.ShownY(), opacity = p.ShownOpacity();
    const int32_t zoomX = p.ShownZoomX(), zoomY = p.ShownZoomY(), angle = p.ShownAngle();
    for (size_t c = 0; c < 3; ++c)
        p.colorFrom[c] = p.ShownColor(c);
    p.xTarget = p.xFrom = x;
    p.yTarget = p.yFrom = y;
    p.opacityTarget = p.opacityFrom = opacity;
    p.zoomXTarget = p.zoomXFrom = zoomX;
    p.zoomYTarget = p.zoomYFrom = zoomY;
    p.angleTarget = p.angleFrom = angle;
    p.colorTarget = p.colorFrom;
    UnpackPictureColor(color, p.colorTarget);
    p.remaining = p.total = frames;
    p.erasing = true;
}

void PictureList::SetEffect(Picture& p, int32_t kind, int32_t a, int32_t b, int32_t c, int32_t frames) {
    const auto percent = [](int32_t value) { return std::clamp(int64_t{value} + 100, int64_t{0}, int64_t{200}); };
    const auto packed = [&] {
        return PackPercentColor(static_cast<int32_t>(percent(a)), static_cast<int32_t>(percent(b)),
                                static_cast<int32_t>(percent(c)));
    };
    switch (kind) {
        case 0:
            p.flashColor = packed();
            p.flashTotal = p.flashRemaining = frames;
            break;
        case 1:
            p.toneFrom = p.ShownTone();
            p.toneTarget = packed();
            p.toneTotal = p.toneRemaining = frames;
            break;
        case 2: {
            const int32_t x = p.ShownOffsetX(), y = p.ShownOffsetY();
            p.offsetXFrom = x;
            p.offsetYFrom = y;
            p.offsetXTarget = a;
            p.offsetYTarget = b;
            p.offsetTotal = p.offsetRemaining = frames;
            break;
        }
        case 3:
            p.shakeAmplitudeX = a;
            p.shakeAmplitudeY = b;
            p.shakeCount = c;
            p.shakePeriod = frames;
            p.shakePhase = 2 * frames;
            break;
        case 4: {
            const int32_t zoom = p.ShownCenterZoom();
            if (zoom != 100) {
                const int32_t x = p.ShownCenterX(), y = p.ShownCenterY();
                p.centerXFrom = x;
                p.centerYFrom = y;
            } else {
                p.centerXFrom = a;
                p.centerYFrom = b;
            }
            p.centerZoomFrom = zoom;
            p.centerXTarget = a;
            p.centerYTarget = b;
            p.centerZoomTarget = c;
            p.centerZoomTotal = p.centerZoomRemaining = frames;
            break;
        }
        default: break;
    }
}

void PictureList::RunDelayed(Picture& p) {
    const int32_t step = FrameStepOf(services_->text);
    std::vector<std::string>& names = p.delayedNames;
    std::vector<std::vector<int32_t>>& queue = p.delayedValues;
    // The entries that wait on are swapped forward over the ones taken out,
    // in their order, so a frame in which many fall due moves each entry at
    // most once. The operations run with no delay, so none of them adds to
    // the queue or empties it while it is walked.
    size_t kept = 0;
    for (size_t at = 0; at < queue.size(); ++at) {
        std::vector<int32_t>& values = queue[at];
        if (!values.empty() && values[0] > 0) {
            values[0] -= step;
            if (kept != at) {
                std::swap(queue[kept], values);
                std::swap(names[kept], names[at]);
            }
            ++kept;
            continue;
        }
        const std::vector<int32_t> due = std::move(values);
        p.delayedTextBytes -= StringHeapBytes(names[at].capacity());
        const std::string text = std::move(names[at]);
        PictureArguments a;
        const auto kind = static_cast<PictureOperation>(due.size() > 1 ? due[1] : -1);
        if (!DecodeDelayedWords(kind, due, a)) continue;
        switch (kind) {
            case PictureOperation::kShowImage:
            case PictureOperation::kShowWindow: SetImage(p, kind, text, a, 0); break;
            case PictureOperation::kShowString: SetString(p, text, a, 0); break;
            case PictureOperation::kMove: StartMove(p, a, 0); break;
            case PictureOperation::kErase: Erase(p, a.frames, 0, a.color); break;
        }
    }
    queue.erase(queue.begin() + static_cast<std::ptrdiff_t>(kept), queue.end());
    names.erase(names.begin() + static_cast<std::ptrdiff_t>(kept), names.end());
}

void PictureList::Remove(Picture& p) {
    const bool showed = !p.removed && !p.stringPicture;
    p.removed = p.hidden = true;
    if (deferRelease_) {
        removedGraphs_.push_back(showed ? p.graph : -1);
    } else {
        services_->images.ReleaseUnused(pictures_);
    }
}

void PictureList::ReleaseRemoved() {
    if (removedGraphs_.empty()) return;
    services_->images.ReleaseUnusedAfterRemovals(pictures_, removedGraphs_);
    removedGraphs_.clear();
}

void PictureList::UpdatePicture(Picture& p) {
    const int32_t step = FrameStepOf(services_->text);
    RunDelayed(p);
    if (p.stringPicture) p.textBox.AdvanceDisplay(step);
    if (p.erasing) {
        p.remaining -= step;
        if (p.remaining < 1) Remove(p);
        return;
    }
    if (p.flashRemaining > 0) --p.flashRemaining;
    if (p.toneRemaining > 0) --p.toneRemaining;
    if (p.offsetRemaining > 0) --p.offsetRemaining;
    if (p.shakeCount > 0 && --p.shakePhase < 1) {
        --p.shakeCount;
        p.shakePhase = 2 * p.shakePeriod;
    }
    if (p.centerZoomRemaining > 0 && --p.centerZoomRemaining == 0) p.centerZoomFrom = p.centerZoomTarget;
    p.CountDown(step);
}

void PictureList::Update() {
    // Delayed shows refused in one frame are reported once, as a range is.
    const uint64_t boxesBefore = ErrorBoxesAskedFor();
    // Gone pictures are dropped in the same walk; the slots between the kept
    // ones and the one updating hold moved-from records, which name no file.
    size_t kept = 0;
    deferRelease_ = true;
    for (size_t index = 0; index < pictures_.size(); ++index) {
        Picture& picture = pictures_[index];
        quietRefusals_ = ErrorBoxesAskedFor() != boxesBefore;
        UpdatePicture(picture);
        CountText(picture, heldTextBytes_);
        if (picture.removed && picture.delayedValues.empty() && picture.delayedNames.empty()) {
            heldTextBytes_ -= std::min(heldTextBytes_, picture.textBytesCounted);
            continue;
        }
        if (kept != index) pictures_[kept] = std::move(pictures_[index]);
        ++kept;
    }
    quietRefusals_ = false;
    deferRelease_ = false;
    pictures_.resize(kept);
    ReleaseRemoved();
    Recount();
}

void PictureList::ReloadImages() {
    // A box raised during the walk may let the display restore its graphs.
    ReleaseRemoved();
    services_->images.Reload(pictures_);
}

}  // namespace velk
