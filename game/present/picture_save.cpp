// The picture part of a save: the count, then per picture the settled and
// gliding state the drawing needs. Queued operations, flash, shake and the
// drawn rectangle are not kept.
#include <algorithm>

#include "game/data/byte_writer.h"
#include "game/data/error_reporter.h"
#include "game/data/save_stream.h"
#include "game/present/picture_images.h"
#include "game/present/picture_list.h"
#include "game/present/text_code.h"

namespace velk {
namespace {

// Saves from these versions on carry the effects and the map link.
constexpr uint16_t kSinceEffects = 105;
constexpr uint16_t kSinceMapLink = 107;
// What a save's text field holds: a 16-bit length that counts the zero byte.
constexpr size_t kMaxSavedText = 65534;
// The fewest bytes a picture takes in the oldest form: an empty text, no
// effects, no map link.
constexpr size_t kSmallestRecord = 84;

void WriteI32s(ByteWriter& out, std::initializer_list<int32_t> values) {
    for (int32_t value : values)
        out.WriteI32(value);
}

bool ReadI32s(SaveStream& in, std::initializer_list<int32_t*> fields) {
    for (int32_t* field : fields) {
        auto value = in.ReadI32();
        if (!value) return false;
        *field = *value;
    }
    return true;
}

bool ReadFlag(SaveStream& in, bool& flag) {
    auto value = in.ReadU8();
    if (value) flag = *value != 0;
    return value.has_value();
}

// A string picture's text longer than the field keeps the whole characters
// and TextCodes that fit, so the save is written and reads back as a text.
std::string_view SavedText(std::string_view text) {
    if (text.size() <= kMaxSavedText) return text;
    size_t end = 0;
    for (size_t unit = TextUnitLength(text, 0); end + unit <= kMaxSavedText; unit = TextUnitLength(text, end)) {
        end += unit;
    }
    return text.substr(0, end);
}

}  // namespace

bool PictureList::WriteSave(ByteWriter& out) const {
    if (pictures_.size() > kMaxPictures) return false;
    for (const Picture& p : pictures_) {
        if (!p.stringPicture && p.fileName.size() > kMaxSavedText) return false;
    }
    out.WriteU16(static_cast<uint16_t>(pictures_.size()));
    for (const Picture& p : pictures_) {
        out.WriteI32(p.id);
        out.WriteU8(p.erasing ? 1 : 0);
        out.WriteU8(p.removed ? 1 : 0);
        out.WriteU16(static_cast<uint16_t>(p.anchor));
        out.WriteU8(p.stringPicture ? 1 : 0);
        out.WriteU8(p.windowPicture ? 1 : 0);
        out.WriteShortString(p.stringPicture ? SavedText(p.textBox.shownText) : std::string_view(p.fileName));
        WriteI32s(out, {p.xTarget, p.yTarget, p.divisionsX, p.divisionsY, p.pattern, p.opacityTarget, p.blendKind,
                        p.remaining, p.total, p.zoomXTarget, p.zoomYTarget, p.angleTarget});
        WriteI32s(out, {p.colorTarget[0], p.colorTarget[1], p.colorTarget[2], p.colorFrom[0], p.colorFrom[1],
                        p.colorFrom[2]});
        WriteI32s(out, {p.toneTarget, p.toneFrom, p.toneRemaining, p.toneTotal, p.offsetXTarget, p.offsetYTarget,
                        p.offsetXFrom, p.offsetYFrom, p.offsetRemaining, p.offsetTotal, p.centerXTarget, p.centerXFrom,
                        p.centerYTarget, p.centerYFrom, p.centerZoomRemaining, p.centerZoomTotal, p.centerZoomTarget,
                        p.centerZoomFrom});
        out.WriteU8(p.mapLinked ? 1 : 0);
    }
    return true;
}

bool PictureList::ReadRecord(SaveStream& in, Picture& p, bool loadImages, size_t& held) {
    auto id = in.ReadI32();
    if (!id) return false;
    p.id = *id;
    if (!ReadFlag(in, p.erasing) || !ReadFlag(in, p.removed)) return false;
    auto anchor = in.ReadU16();
    if (!anchor) return false;
    p.anchor = static_cast<int16_t>(*anchor);
    if (!ReadFlag(in, p.stringPicture) || !ReadFlag(in, p.windowPicture)) return false;
    auto text = in.ReadShortString();
    if (!text) return false;
    if (!p.stringPicture) p.fileName = std::move(*text);
    if (!ReadI32s(in, {&p.xTarget, &p.yTarget, &p.divisionsX, &p.divisionsY})) return false;
    if (p.stringPicture) {
        if (loadImages) p.textBox.speed = services_->settings.messageSpeed;
        // A text the pictures may not keep leaves the picture without it, not
        // drawn, as a file that is gone does.
        if (HoldText(p, *text, loadImages, held) && loadImages) p.hidden = false;
    }
    if (loadImages) {
        const int32_t frameX = p.divisionsX, frameY = p.divisionsY;
        if (!p.stringPicture && services_->images.PictureControl(p, p.fileName, p.windowPicture ? 3 : frameX,
                                                                 p.windowPicture ? 3 : frameY)) {
            p.hidden = false;
        }
        // A file that is gone leaves the picture without cells, not drawn.
        p.divisionsX = frameX;
        p.divisionsY = frameY;
    }
    if (!ReadI32s(in, {&p.pattern, &p.opacityTarget, &p.blendKind, &p.remaining, &p.total, &p.zoomXTarget,
                       &p.zoomYTarget, &p.angleTarget, &p.colorTarget[0], &p.colorTarget[1], &p.colorTarget[2],
                       &p.colorFrom[0], &p.colorFrom[1], &p.colorFrom[2]})) {
        return false;
    }
    // The start values of a glide are not saved: a loaded picture shows its
    // targets rather than gliding in from the corner.
    p.xFrom = p.xTarget, p.yFrom = p.yTarget, p.opacityFrom = p.opacityTarget;
    p.zoomXFrom = p.zoomXTarget, p.zoomYFrom = p.zoomYTarget, p.angleFrom = p.angleTarget;
    p.previousPattern = p.pattern, p.previousBlendKind = p.blendKind;
    if (in.version >= kSinceEffects &&
        !ReadI32s(in, {&p.toneTarget, &p.toneFrom, &p.toneRemaining, &p.toneTotal, &p.offsetXTarget, &p.offsetYTarget,
                       &p.offsetXFrom, &p.offsetYFrom, &p.offsetRemaining, &p.offsetTotal, &p.centerXTarget,
                       &p.centerXFrom, &p.centerYTarget, &p.centerYFrom, &p.centerZoomRemaining, &p.centerZoomTotal,
                       &p.centerZoomTarget, &p.centerZoomFrom})) {
        return false;
    }
    return in.version < kSinceMapLink || ReadFlag(in, p.mapLinked);
}

bool PictureList::ReadSave(SaveStream& in, bool loadImages) {
    auto count = in.ReadU16();
    if (!count) return false;
    const auto pictures = static_cast<int16_t>(*count);
    if (pictures < 0 || !in.CanHold(static_cast<uint64_t>(pictures), kSmallestRecord)) {
        in.errorFlag = true;
        return false;
    }
    // Read aside: a save that ends early leaves the pictures shown now alone.
    std::vector<Picture> read(static_cast<size_t>(pictures));
    size_t held = 0;
    // Only the first refused text of a load is reported; a read that loads
    // nothing shows the player nothing.
    const uint64_t boxesBefore = ErrorBoxesAskedFor();
    bool whole = true;
    for (Picture& picture : read) {
        quietRefusals_ = !loadImages || ErrorBoxesAskedFor() != boxesBefore;
        whole = ReadRecord(in, picture, loadImages, held);
        if (!whole) break;
    }
    quietRefusals_ = false;
    if (!whole) return false;
    pictures_ = std::move(read);
    heldTextBytes_ = held;
    // Every range walk counts on the order by id.
    std::stable_sort(pictures_.begin(), pictures_.end(),
                     [](const Picture& a, const Picture& b) { return a.id < b.id; });
    Recount();
    return !in.errorFlag;
}

}  // namespace velk
