#include "platform/display/display_surface.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <new>
#include <utility>

#include "platform/display/display_clipper.h"
#include "platform/display/display_faults.h"
#include "platform/display/display_mode.h"
#include "platform/display/display_output.h"
#include "platform/display/display_palette.h"
#include "platform/display/display_shared.h"
#include "platform/display/overlay_composite.h"
#include "platform/display/surface_pixel_loops.h"
#include "platform/window/window_system.h"

namespace velk::platform {

namespace {

// The pattern a lost surface's pixels are spoiled with, so that a caller that
// forgets to write them again shows it.
constexpr uint8_t kLostPixelByte = 0xA5;

uint32_t ReadPixel(const uint8_t* pixel, int bytes) {
    switch (bytes) {
        case 1:
            return pixel[0];
        case 2: {
            uint16_t value;
            std::memcpy(&value, pixel, 2);
            return value;
        }
        default: {
            uint32_t value;
            std::memcpy(&value, pixel, 4);
            return value;
        }
    }
}

void WritePixel(uint8_t* pixel, int bytes, uint32_t value) {
    switch (bytes) {
        case 1:
            pixel[0] = static_cast<uint8_t>(value);
            break;
        case 2: {
            const uint16_t narrow = static_cast<uint16_t>(value);
            std::memcpy(pixel, &narrow, 2);
            break;
        }
        default:
            std::memcpy(pixel, &value, 4);
            break;
    }
}

bool IsEmpty(const Rect& r) { return r.right <= r.left || r.bottom <= r.top; }

bool Inside(const Rect& r, uint32_t width, uint32_t height) {
    return r.left >= 0 && r.top >= 0 && r.right <= static_cast<int32_t>(width) &&
           r.bottom <= static_cast<int32_t>(height) && !IsEmpty(r);
}

Rect Intersect(const Rect& a, const Rect& b) {
    return Rect{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
                std::min(a.bottom, b.bottom)};
}

bool SameLayout(const DdPixelFormat& a, const DdPixelFormat& b) {
    return a.rgb_bit_count == b.rgb_bit_count && a.red_mask == b.red_mask && a.green_mask == b.green_mask &&
           a.blue_mask == b.blue_mask;
}

bool IsFourCc(const DdPixelFormat& format) { return (format.flags & kPixelFormatFourCc) != 0; }

// YV12 keeps its two chroma planes, each half the pitch and half the rows,
// after the luma plane.
size_t PixelBytes(const DdPixelFormat& format, int32_t pitch, uint32_t height) {
    size_t bytes = static_cast<size_t>(pitch) * height;
    if (IsFourCc(format) && format.four_cc == kFourCcYv12)
        bytes += 2 * static_cast<size_t>(pitch / 2) * ((height + 1) / 2);
    return bytes;
}

}  // namespace

DdSurface::DdSurface(std::shared_ptr<DisplayShared> display, uint32_t width, uint32_t height, uint32_t caps,
                     const DdPixelFormat& format)
    : display_(std::move(display)),
      width_(width),
      height_(height),
      caps_(caps),
      format_(format),
      bytes_per_pixel_(static_cast<int>(format.rgb_bit_count / 8)),
      // Rows start on 8-byte boundaries, as display memory rows do.
      pitch_(static_cast<int32_t>((width * static_cast<uint32_t>(bytes_per_pixel_) + 7) & ~7u)),
      pixels_(std::make_shared<PixelStore>(PixelBytes(format, pitch_, height), 0)) {}

DdSurface::~DdSurface() = default;

DdResult DdSurface::GetCaps(uint32_t* caps) const {
    if (caps == nullptr) return kDdErrInvalidParams;
    *caps = caps_;
    return kDdOk;
}

DdResult DdSurface::GetPixelFormat(DdPixelFormat* format) const {
    if (format == nullptr) return kDdErrInvalidParams;
    *format = format_;
    return kDdOk;
}

DdResult DdSurface::GetSurfaceDesc(DdSurfaceDesc* desc) const {
    if (desc == nullptr) return kDdErrInvalidParams;
    *desc = DdSurfaceDesc{};
    desc->flags = kDdsdCaps | kDdsdWidth | kDdsdHeight | kDdsdPitch | kDdsdPixelFormat;
    desc->width = width_;
    desc->height = height_;
    desc->pitch = pitch_;
    desc->pixel_format = format_;
    desc->caps = caps_;
    if (has_src_key_) {
        desc->flags |= kDdsdCkSrcBlt;
        desc->src_blt_key = src_key_;
    }
    return kDdOk;
}

DdResult DdSurface::CheckUsable() const {
    if (lost_) return kDdErrSurfaceLost;
    if (lock_count_ > 0) return kDdErrSurfaceBusy;
    return kDdOk;
}

DdResult DdSurface::Lock(const Rect* rect, DdSurfaceDesc* desc, uint32_t flags) {
    if (desc == nullptr) return kDdErrInvalidParams;
    if (const DdResult usable = CheckUsable(); usable != kDdOk) return usable;
    const Rect area = rect != nullptr ? *rect : Rect{0, 0, static_cast<int32_t>(width_), static_cast<int32_t>(height_)};
    if (!Inside(area, width_, height_)) return kDdErrInvalidRect;
    if ((flags & kDdLockReadOnly) != 0) {
        BeforeRead();
    } else {
        BeforeWrite();
    }
    GetSurfaceDesc(desc);
    desc->surface = row(static_cast<uint32_t>(area.top)) + static_cast<size_t>(area.left) * bytes_per_pixel_;
    lock_count_ = 1;
    lock_flags_ = flags;
    return kDdOk;
}

DdResult DdSurface::Unlock(const Rect*) {
    if (lock_count_ == 0) return kDdErrNotLocked;
    lock_count_ = 0;
    if ((lock_flags_ & kDdLockReadOnly) == 0) {
        PresentIfPrimary();
        // A shown overlay's new picture is on the screen at once.
        if (overlay_shown_) {
            if (auto target = overlay_target_.lock()) target->PresentIfPrimary();
        }
    }
    return kDdOk;
}

DdResult DdSurface::UpdateOverlay(const Rect* source_rect, DdSurface* dest, const Rect* dest_rect, uint32_t flags) {
    if (!is_overlay()) return kDdErrInvalidParams;
    if (lost_) return kDdErrSurfaceLost;
    std::shared_ptr<DdSurface> previous = overlay_target_.lock();
    auto& shown = display_->shown_overlays;
    std::erase_if(shown, [](const std::weak_ptr<DdSurface>& entry) { return entry.expired(); });
    if ((flags & kDdOverHide) != 0) {
        // Hiding a hidden overlay changes nothing on the screen.
        const bool was_shown = overlay_shown_;
        overlay_shown_ = false;
        overlay_target_.reset();
        std::erase_if(shown, [this](const std::weak_ptr<DdSurface>& entry) { return entry.lock().get() == this; });
        if (previous && was_shown) previous->PresentIfPrimary();
        return kDdOk;
    }
    if ((flags & kDdOverShow) == 0 && !overlay_shown_) return kDdOk;
    if (dest == nullptr || !dest->is_primary()) return kDdErrInvalidParams;
    const Rect whole{0, 0, static_cast<int32_t>(width_), static_cast<int32_t>(height_)};
    const Rect source = source_rect != nullptr ? *source_rect : whole;
    const Rect target = dest_rect != nullptr
                            ? *dest_rect
                            : Rect{0, 0, static_cast<int32_t>(dest->width_), static_cast<int32_t>(dest->height_)};
    if (!Inside(source, width_, height_) || IsEmpty(target)) return kDdErrInvalidRect;
    overlay_source_ = source;
    overlay_dest_ = target;
    overlay_target_ = dest->weak_from_this();
    if (!overlay_shown_) {
        overlay_shown_ = true;
        shown.push_back(weak_from_this());
    }
    if (previous && previous.get() != dest) previous->PresentIfPrimary();
    dest->PresentIfPrimary();
    return kDdOk;
}

uint32_t DdSurface::ColorBitsMask() const {
    const uint32_t channels = format_.red_mask | format_.green_mask | format_.blue_mask | format_.alpha_mask;
    if (channels != 0 && (format_.flags & kPixelFormatPaletteIndexed8) == 0) return channels;
    return bytes_per_pixel_ >= 4 ? 0xFFFFFFFFu : (1u << (bytes_per_pixel_ * 8)) - 1;
}

bool DdSurface::ClipRegion(Rect* region) const {
    *region = Rect{0, 0, static_cast<int32_t>(width_), static_cast<int32_t>(height_)};
    if (!clipper_ || clipper_->window() == 0) return false;
    const Rect desktop = DesktopRectangle();
    Rect client = GetClientAreaOnScreen(clipper_->window());
    client.left -= desktop.left;
    client.right -= desktop.left;
    client.top -= desktop.top;
    client.bottom -= desktop.top;
    *region = Intersect(*region, client);
    return true;
}

void DdSurface::FillArea(const Rect& area, uint32_t value, bool color) {
    const uint32_t raw = bytes_per_pixel_ >= 4 ? value : value & ((1u << (bytes_per_pixel_ * 8)) - 1);
    const bool covers_all = area == Rect{0, 0, static_cast<int32_t>(width_), static_cast<int32_t>(height_)};
    // Filling again with the value every pixel already holds writes nothing
    // (a depth buffer cleared every frame and never drawn into).
    const bool unchanged = uniform_ && uniform_value_ == raw && !mirror_newer_ && pixels_.use_count() == 1;
    // A fill of every pixel (with no bytes between rows) needs none of the old ones.
    BeforeWrite(!(covers_all && pitch_ == static_cast<int32_t>(width_) * bytes_per_pixel_));
    if (!IsEmpty(area)) {
        if (!unchanged)
            FillPixels(bytes_per_pixel_,
                       RowAt(static_cast<uint32_t>(area.top)) + static_cast<size_t>(area.left) * bytes_per_pixel_,
                       pitch_, area.right - area.left, area.bottom - area.top, value);
        // A mirror that was current fills its copy too and stays current.
        if (color && mirror_) mirror_->Filled(*this, area, value);
    }
    if (covers_all) {
        uniform_ = true;
        uniform_value_ = raw;
    }
}

DdResult DdSurface::CopyStretched(const Rect& dest, const Rect& clip, DdSurface& source, const Rect& source_rect,
                                  bool keyed) {
    const int64_t dest_width = dest.right - dest.left;
    const int64_t dest_height = dest.bottom - dest.top;
    const int64_t source_width = source_rect.right - source_rect.left;
    const int64_t source_height = source_rect.bottom - source_rect.top;
    const Rect area = Intersect(dest, clip);
    if (IsEmpty(area)) return kDdOk;
    const int bytes = bytes_per_pixel_;
    const bool unscaled = dest_width == source_width && dest_height == source_height;

    PixelRows rows;
    rows.dest = row(static_cast<uint32_t>(area.top)) + static_cast<size_t>(area.left) * bytes;
    rows.dest_pitch = pitch_;
    rows.width = area.right - area.left;
    rows.height = area.bottom - area.top;
    rows.source = source.RowAt(0);
    rows.source_pitch = source.pitch_;
    // A copy within one surface whose rectangles meet goes through a copy of
    // the source rectangle's rows, so that no pixel is read after it was written.
    std::vector<uint8_t> staged;
    Rect origin{0, 0, 0, 0};
    if (&source == this && !IsEmpty(Intersect(area, source_rect))) {
        const size_t length = static_cast<size_t>(source_width) * bytes;
        staged.resize(length * static_cast<size_t>(source_height));
        for (int32_t y = source_rect.top; y < source_rect.bottom; ++y)
            std::memcpy(staged.data() + (y - source_rect.top) * length,
                        row(static_cast<uint32_t>(y)) + static_cast<size_t>(source_rect.left) * bytes, length);
        rows.source = staged.data();
        rows.source_pitch = static_cast<ptrdiff_t>(length);
        origin = Rect{source_rect.left, source_rect.top, 0, 0};
    }
    PixelKey key;
    if (keyed) {
        key.mask = source.ColorBitsMask();
        key.low = source.src_key_.low;
        key.high = source.src_key_.high;
    }
    if (unscaled) {
        rows.source += (source_rect.top - origin.top + (area.top - dest.top)) * rows.source_pitch +
                       (source_rect.left - origin.left + (area.left - dest.left)) * bytes;
        CopyPixels(bytes, rows, keyed ? &key : nullptr);
        return kDdOk;
    }
    // Each destination pixel shows the source pixel under its centre.
    std::vector<int32_t> source_rows(static_cast<size_t>(rows.height));
    for (int32_t y = area.top; y < area.bottom; ++y)
        source_rows[static_cast<size_t>(y - area.top)] = static_cast<int32_t>(
            source_rect.top - origin.top + ((y - dest.top) * 2 + 1) * source_height / (dest_height * 2));
    std::vector<int32_t> source_columns(static_cast<size_t>(rows.width));
    for (int32_t x = area.left; x < area.right; ++x)
        source_columns[static_cast<size_t>(x - area.left)] = static_cast<int32_t>(
            source_rect.left - origin.left + ((x - dest.left) * 2 + 1) * source_width / (dest_width * 2));
    CopyPixelsScaled(bytes, rows, source_rows, source_columns, keyed ? &key : nullptr);
    return kDdOk;
}

DdResult DdSurface::Blt(const Rect* dest_rect, DdSurface* source, const Rect* source_rect, uint32_t flags,
                        const DdBltFx* fx) {
    if (const DdResult usable = CheckUsable(); usable != kDdOk) return usable;
    // YUV surfaces are written through locks only.
    if (is_four_cc() || (source != nullptr && source->is_four_cc())) return kDdErrUnsupported;
    const Rect whole{0, 0, static_cast<int32_t>(width_), static_cast<int32_t>(height_)};
    const Rect dest = dest_rect != nullptr ? *dest_rect : whole;
    if (IsEmpty(dest)) return kDdErrInvalidRect;
    Rect clip;
    if (!ClipRegion(&clip) && !Inside(dest, width_, height_)) return kDdErrInvalidRect;

    if ((flags & (kDdBltColorFill | kDdBltDepthFill)) != 0) {
        const bool color = (flags & kDdBltColorFill) != 0;
        if (fx == nullptr || (!color && (caps_ & kDdsCapsZBuffer) == 0)) return kDdErrInvalidParams;
        if (source != nullptr) source->BeforeRead();
        FillArea(Intersect(dest, clip), color ? fx->fill_color : fx->fill_depth, color);
        PresentIfPrimary();
        return kDdOk;
    }
    if (source == nullptr) return kDdErrInvalidParams;
    Rect from;
    if (const DdResult checked = CheckCopySource(*source, source_rect, &from); checked != kDdOk) return checked;
    const bool keyed = (flags & kDdBltKeySrc) != 0;
    if (keyed && !source->has_src_key_) return kDdErrNoColorKey;
    source->BeforeRead();
    const DdResult result = ShowOrCopy(dest, clip, *source, from, keyed);
    PresentIfPrimary();
    return result;
}

// The checks both copies make of their source, in order: usable, in this
// surface's layout, and the rectangle (the whole source when none is given)
// inside it.
DdResult DdSurface::CheckCopySource(const DdSurface& source, const Rect* source_rect, Rect* from) const {
    if (&source != this) {
        if (const DdResult usable = source.CheckUsable(); usable != kDdOk) return usable;
    }
    if (!SameLayout(format_, source.format_)) return kDdErrInvalidPixelFormat;
    *from = source_rect != nullptr
                ? *source_rect
                : Rect{0, 0, static_cast<int32_t>(source.width_), static_cast<int32_t>(source.height_)};
    if (!Inside(*from, source.width_, source.height_)) return kDdErrInvalidRect;
    return kDdOk;
}

DdResult DdSurface::BltFast(int x, int y, DdSurface* source, const Rect* source_rect, uint32_t flags) {
    if (source == nullptr) return kDdErrInvalidParams;
    if (is_four_cc() || source->is_four_cc()) return kDdErrUnsupported;
    if (const DdResult usable = CheckUsable(); usable != kDdOk) return usable;
    Rect from;
    if (const DdResult checked = CheckCopySource(*source, source_rect, &from); checked != kDdOk) return checked;
    const Rect dest{x, y, x + (from.right - from.left), y + (from.bottom - from.top)};
    if (!Inside(dest, width_, height_)) return kDdErrInvalidRect;
    const bool keyed = (flags & kDdBltFastSrcColorKey) != 0;
    if (keyed && !source->has_src_key_) return kDdErrNoColorKey;
    source->BeforeRead();
    const DdResult result = ShowOrCopy(dest, dest, *source, from, keyed);
    PresentIfPrimary();
    return result;
}

DdResult DdSurface::Flip(DdSurface*, uint32_t) {
    if (const DdResult usable = CheckUsable(); usable != kDdOk) return usable;
    std::shared_ptr<DdSurface> back;
    if (!is_primary() || GetAttachedSurface(kDdsCapsBackBuffer, &back) != kDdOk) return kDdErrUnsupported;
    if (const DdResult usable = back->CheckUsable(); usable != kDdOk) return usable;
    back->BeforeRead();
    BeforeWrite();
    *pixels_ = *back->pixels_;
    PresentIfPrimary();
    return kDdOk;
}

DdResult DdSurface::SetColorKey(uint32_t flags, const DdColorKey* key) {
    if ((flags & kDdCkeySrcBlt) == 0) return kDdErrUnsupported;
    if (key == nullptr) {
        has_src_key_ = false;
        return kDdOk;
    }
    has_src_key_ = true;
    src_key_ = *key;
    return kDdOk;
}

DdResult DdSurface::GetColorKey(uint32_t flags, DdColorKey* key) const {
    if ((flags & kDdCkeySrcBlt) == 0 || key == nullptr) return kDdErrInvalidParams;
    if (!has_src_key_) return kDdErrNoColorKey;
    *key = src_key_;
    return kDdOk;
}

DdResult DdSurface::IsLost() const { return lost_ ? kDdErrSurfaceLost : kDdOk; }

DdResult DdSurface::GetDC() {
    if (lost_) return kDdErrSurfaceLost;
    if (lock_count_ > 0) return kDdErrSurfaceBusy;
    if (dc_out_) return kDdErrDcAlreadyCreated;
    if (DisplayStepFails(DisplayStep::kGetDC)) return kDdErrGeneric;
    dc_out_ = true;
    return kDdOk;
}

DdResult DdSurface::ReleaseDC() {
    if (!dc_out_) return kDdErrNoDc;
    dc_out_ = false;
    if (DisplayStepFails(DisplayStep::kReleaseDC)) return kDdErrGeneric;
    return kDdOk;
}

DdResult DdSurface::Restore() {
    if (lost_) ++serial_;
    lost_ = false;
    return kDdOk;
}

void DdSurface::MarkLost() {
    if (lost_) return;
    lost_ = true;
    lock_count_ = 0;
    mirror_newer_ = false;
    ++serial_;
    shown_ = ShownFrame{};
    uniform_ = false;
    OwnPixels(false);
    std::fill(pixels_->begin(), pixels_->end(), kLostPixelByte);
}

DdResult DdSurface::SetClipper(std::shared_ptr<DdClipper> clipper) {
    clipper_ = std::move(clipper);
    return kDdOk;
}

DdResult DdSurface::SetPalette(std::shared_ptr<DdPalette> palette) {
    palette_ = std::move(palette);
    return kDdOk;
}

DdResult DdSurface::AddAttachedSurface(std::shared_ptr<DdSurface> surface) {
    if (!surface || surface.get() == this) return kDdErrInvalidParams;
    if (std::find(attached_.begin(), attached_.end(), surface) != attached_.end()) return kDdErrInvalidParams;
    if ((surface->caps_ & kDdsCapsZBuffer) != 0 &&
        (surface->width_ != width_ || surface->height_ != height_))
        return kDdErrInvalidParams;
    attached_.push_back(std::move(surface));
    return kDdOk;
}

DdResult DdSurface::DeleteAttachedSurface(DdSurface* surface) {
    auto found = std::find_if(attached_.begin(), attached_.end(),
                              [surface](const std::shared_ptr<DdSurface>& entry) { return entry.get() == surface; });
    if (found == attached_.end()) return kDdErrInvalidParams;
    attached_.erase(found);
    return kDdOk;
}

DdResult DdSurface::GetAttachedSurface(uint32_t caps, std::shared_ptr<DdSurface>* out) {
    if (out == nullptr) return kDdErrInvalidParams;
    for (const auto& surface : attached_) {
        if ((surface->caps_ & caps) == caps) {
            *out = surface;
            return kDdOk;
        }
    }
    out->reset();
    return kDdErrInvalidParams;
}

DdResult DdSurface::EnumAttachedSurfaces(const std::function<bool(const std::shared_ptr<DdSurface>&)>& visit) {
    const auto attached = attached_;
    for (const auto& surface : attached)
        if (!visit(surface)) break;
    return kDdOk;
}

void DdSurface::SetMirror(std::shared_ptr<SurfaceMirror> mirror) {
    SyncFromMirror();
    mirror_ = std::move(mirror);
    mirror_newer_ = false;
}

void DdSurface::SyncFromMirror() {
    if (!mirror_newer_ || !mirror_) return;
    mirror_newer_ = false;
    mirror_->PullPixels(*this);
}

void DdSurface::CopyInShownFrame() const {
    const ShownFrame shown = std::move(shown_);
    shown_ = ShownFrame{};
    const size_t length = static_cast<size_t>(shown.area.right - shown.area.left) * bytes_per_pixel_;
    const uint8_t* from = shown.store->data() + shown.first;
    for (int32_t y = shown.area.top; y < shown.area.bottom; ++y, from += shown.pitch)
        std::memcpy(RowAt(static_cast<uint32_t>(y)) + static_cast<size_t>(shown.area.left) * bytes_per_pixel_, from,
                    length);
}

void DdSurface::ReplaceSharedStore(bool keep) {
    // The stores taken in turn (the back buffer's frames) are made on huge
    // pages when large; the surface's first store is not one of them and is
    // let go once the primary no longer shows it, so that the two stores
    // the frames settle on are both.
    const bool huge_pages = pixels_->size() >= kHugePixelStoreBytes;
    const bool spare_free = spare_ && spare_.use_count() == 1 && spare_->size() == pixels_->size();
    std::shared_ptr<PixelStore> fresh;
    if (spare_free && spare_->get_allocator().huge_pages() == huge_pages) {
        fresh = std::move(spare_);
    } else {
        try {
            if (DisplayStepFails(DisplayStep::kNewPixelStore)) throw std::bad_alloc();
            fresh = std::make_shared<PixelStore>(pixels_->size(), PixelStoreAllocator<uint8_t>(huge_pages));
        } catch (const std::bad_alloc&) {
            // No memory for a fresh store, and what draws now is often the
            // box that says so: a spare on the other kind of pages will do,
            // else the primaries that show the store copy the frame into
            // their own rows, which leaves it to this surface alone.
            if (!spare_free) {
                LeaveShownStore();
                if (pixels_.use_count() > 1) throw;
                return;
            }
            fresh = std::move(spare_);
        }
    }
    if (keep) std::memcpy(fresh->data(), pixels_->data(), pixels_->size());
    spare_ = std::move(pixels_);
    pixels_ = std::move(fresh);
}

void DdSurface::LeaveShownStore() {
    for (const auto& entry : display_->surfaces) {
        const std::shared_ptr<DdSurface> surface = entry.lock();
        if (surface && surface.get() != this && surface->shown_.store.get() == pixels_.get())
            surface->CopyInShownFrame();
    }
}

bool DdSurface::CanShowWithoutCopy(const DdSurface& source, const Rect& dest, const Rect& area, const Rect& from,
                                   bool keyed) const {
    // Only a primary shows another surface's store, and only a store that no
    // mirror writes behind the surface's back; an unscaled, unkeyed and
    // uncut copy is the source's rows as they are.
    return is_primary() && !source.is_primary() && &source != this && !keyed && !mirror_ && !source.mirror_ &&
           area == dest && dest.right - dest.left == from.right - from.left &&
           dest.bottom - dest.top == from.bottom - from.top;
}

DdResult DdSurface::ShowOrCopy(const Rect& dest, const Rect& clip, DdSurface& source, const Rect& from, bool keyed) {
    if (CanShowWithoutCopy(source, dest, Intersect(dest, clip), from, keyed)) {
        ShowWithoutCopy(source, dest, from);
        return kDdOk;
    }
    BeforeWrite();
    return CopyStretched(dest, clip, source, from, keyed);
}

void DdSurface::ShowWithoutCopy(const DdSurface& source, const Rect& dest, const Rect& from) {
    // A frame shown before keeps what the new one does not cover.
    const Rect& before = shown_.area;
    if (shown_.store && !(before.left >= dest.left && before.top >= dest.top && before.right <= dest.right &&
                          before.bottom <= dest.bottom))
        CopyInShownFrame();
    uniform_ = false;
    ++serial_;
    shown_.store = source.pixels_;
    shown_.first = static_cast<size_t>(from.top) * source.pitch_ + static_cast<size_t>(from.left) * bytes_per_pixel_;
    shown_.pitch = source.pitch_;
    shown_.area = dest;
}

const uint8_t* DdSurface::PresentedRows(const Rect& area, int32_t* pitch) const {
    if (shown_.store && shown_.area == area) {
        *pitch = shown_.pitch;
        return shown_.store->data() + shown_.first;
    }
    *pitch = pitch_;
    return row(static_cast<uint32_t>(area.top)) + static_cast<size_t>(area.left) * bytes_per_pixel_;
}

void DdSurface::PresentIfPrimary() {
    if (!is_primary() || lost_) return;
    SyncFromMirror();
    const WindowHandle window = clipper_ && clipper_->window() != 0 ? clipper_->window() : display_->window;
    if (window == 0 || !IsAppWindow(window)) return;
    PresentImage image;
    image.format = format_;
    image.palette = palette_ ? palette_->entries().data() : nullptr;
    if (display_->exclusive()) {
        // Full screen: the whole display is the window.
        const Rect whole{0, 0, static_cast<int32_t>(width_), static_cast<int32_t>(height_)};
        image.pixels = PresentedRows(whole, &image.pitch);
        image.width = static_cast<int32_t>(width_);
        image.height = static_cast<int32_t>(height_);
        PresentWithOverlays(window, image, whole);
        return;
    }
    // Window mode: the window shows the part of the desktop under its client area.
    const Rect desktop = DesktopRectangle();
    Rect client = GetClientAreaOnScreen(window);
    client = Rect{client.left - desktop.left, client.top - desktop.top, client.right - desktop.left,
                  client.bottom - desktop.top};
    if (IsEmpty(client)) return;
    const int32_t width = client.right - client.left;
    const int32_t height = client.bottom - client.top;
    image.width = width;
    image.height = height;
    if (Inside(client, width_, height_)) {
        image.pixels = PresentedRows(client, &image.pitch);
        PresentWithOverlays(window, image, client);
        return;
    }
    // Partly off the desktop: what lies outside shows black.
    std::vector<uint8_t> composed(static_cast<size_t>(width) * height * bytes_per_pixel_, 0);
    const Rect visible = Intersect(client, Rect{0, 0, static_cast<int32_t>(width_), static_cast<int32_t>(height_)});
    for (int32_t y = visible.top; y < visible.bottom; ++y) {
        std::memcpy(
            composed.data() +
                (static_cast<size_t>(y - client.top) * width + (visible.left - client.left)) * bytes_per_pixel_,
            std::as_const(*this).row(static_cast<uint32_t>(y)) + static_cast<size_t>(visible.left) * bytes_per_pixel_,
            static_cast<size_t>(visible.right - visible.left) * bytes_per_pixel_);
    }
    image.pixels = composed.data();
    image.pitch = width * bytes_per_pixel_;
    PresentWithOverlays(window, image, client);
}

void DdSurface::PresentWithOverlays(WindowHandle window, const PresentImage& image, const Rect& area) {
    std::vector<std::shared_ptr<DdSurface>> overlays;
    for (const auto& entry : display_->shown_overlays) {
        std::shared_ptr<DdSurface> overlay = entry.lock();
        if (overlay && overlay->overlay_shown_ && !overlay->lost_ && overlay->overlay_target_.lock().get() == this)
            overlays.push_back(std::move(overlay));
    }
    if (overlays.empty()) {
        ActiveDisplayOutput().Present(window, image);
        return;
    }
    // The overlays go over a copy: the primary's own pixels never hold them.
    PresentedFrame composed;
    const DdPixelFormat& format = image.format;
    if (format.rgb_bit_count == 32 && format.red_mask == 0xFF0000 && format.green_mask == 0xFF00 &&
        format.blue_mask == 0xFF) {
        // The display's own 32-bit format is the composite's less its top byte.
        composed.width = image.width;
        composed.height = image.height;
        composed.pixels.resize(static_cast<size_t>(image.width) * image.height);
        for (int32_t y = 0; y < image.height; ++y) {
            uint32_t* out = composed.pixels.data() + static_cast<size_t>(y) * image.width;
            std::memcpy(out, image.pixels + static_cast<ptrdiff_t>(y) * image.pitch,
                        static_cast<size_t>(image.width) * 4);
            for (int32_t x = 0; x < image.width; ++x)
                out[x] &= 0xFFFFFF;
        }
    } else {
        ConvertPresentImage(image, &composed);
    }
    const CompositeFrame frame{composed.pixels.data(), composed.width, area};
    for (const auto& overlay : overlays)
        CompositeOverlay(*overlay, overlay->overlay_source_, overlay->overlay_dest_, frame);
    ActiveDisplayOutput().Present(window, XrgbPresentImage(composed.pixels.data(), composed.width, composed.height));
}

DdResult GdiCopySurfaceRect(DdSurface& dest, int x, int y, DdSurface& source, const Rect& source_rect) {
    if (dest.is_lost() || source.is_lost()) return kDdErrSurfaceLost;
    if (dest.is_locked() || source.is_locked()) return kDdErrSurfaceBusy;
    if (dest.is_four_cc() || source.is_four_cc()) return kDdErrUnsupported;
    if (!SameLayout(dest.pixel_format(), source.pixel_format())) return kDdErrInvalidPixelFormat;
    if (!Inside(source_rect, source.width(), source.height())) return kDdErrInvalidRect;
    if (DisplayStepFails(DisplayStep::kGdiCopy)) return kDdErrGeneric;
    source.SyncFromMirror();
    dest.PrepareWrite();
    const Rect target{x, y, x + source_rect.right - source_rect.left, y + source_rect.bottom - source_rect.top};
    // GDI clips to the destination.
    const Rect area = Intersect(target, Rect{0, 0, static_cast<int32_t>(dest.width()), static_cast<int32_t>(dest.height())});
    if (IsEmpty(area)) return kDdOk;
    const int bytes = dest.bytes_per_pixel();
    std::vector<uint8_t> staged;
    for (int32_t row_y = area.top; row_y < area.bottom; ++row_y) {
        const uint8_t* from = std::as_const(source).row(static_cast<uint32_t>(source_rect.top + row_y - y)) +
                              static_cast<size_t>(source_rect.left + area.left - x) * bytes;
        staged.assign(from, from + static_cast<size_t>(area.right - area.left) * bytes);
        std::memcpy(dest.row(static_cast<uint32_t>(row_y)) + static_cast<size_t>(area.left) * bytes, staged.data(),
                    staged.size());
    }
    dest.PresentIfPrimary();
    return kDdOk;
}

namespace {

struct Rgb {
    uint32_t red, green, blue;
};

Rgb DibPixel(const DibSection& dib, int x, int y) {
    const uint8_t* row = dib.pixels + static_cast<ptrdiff_t>(y) * dib.pitch;
    switch (dib.bit_count) {
        case 8: {
            const DdPaletteEntry& e = dib.palette[row[x]];
            return Rgb{e.red, e.green, e.blue};
        }
        case 24:
            return Rgb{row[x * 3 + 2], row[x * 3 + 1], row[x * 3]};
        default: {
            const uint32_t value = ReadPixel(row + x * (dib.bit_count / 8), dib.bit_count / 8);
            return Rgb{WidenChannelTo8(value, dib.red_mask), WidenChannelTo8(value, dib.green_mask),
                       WidenChannelTo8(value, dib.blue_mask)};
        }
    }
}

uint32_t NearestEntry(const DdPaletteEntry* palette, const Rgb& c) {
    uint32_t best = 0;
    int64_t best_distance = INT64_MAX;
    for (uint32_t i = 0; i < 256; ++i) {
        const int64_t dr = static_cast<int64_t>(palette[i].red) - c.red;
        const int64_t dg = static_cast<int64_t>(palette[i].green) - c.green;
        const int64_t db = static_cast<int64_t>(palette[i].blue) - c.blue;
        const int64_t distance = dr * dr + dg * dg + db * db;
        if (distance < best_distance) {
            best_distance = distance;
            best = i;
        }
    }
    return best;
}

uint32_t PackChannelFrom8(uint32_t channel, uint32_t mask) {
    if (mask == 0) return 0;
    const int shift = std::countr_zero(mask);
    const int width = std::popcount(mask);
    const uint32_t value = width >= 8 ? channel << (width - 8) : channel >> (8 - width);
    return (value << shift) & mask;
}

}  // namespace

DdResult GdiBltDibToSurface(DdSurface& dest, int x, int y, const DibSection& source, const Rect& source_rect,
                            const DdPaletteEntry* palette) {
    if (dest.is_lost()) return kDdErrSurfaceLost;
    if (dest.is_locked()) return kDdErrSurfaceBusy;
    if (dest.is_four_cc()) return kDdErrUnsupported;
    const bool known = source.bit_count == 8 || source.bit_count == 16 || source.bit_count == 24 ||
                       source.bit_count == 32;
    if (!known || source.pixels == nullptr || (source.bit_count == 8 && source.palette == nullptr))
        return kDdErrInvalidParams;
    if (source.width <= 0 || source.height <= 0 ||
        !Inside(source_rect, static_cast<uint32_t>(source.width), static_cast<uint32_t>(source.height)))
        return kDdErrInvalidRect;
    dest.PrepareWrite();
    const DdPixelFormat& format = dest.pixel_format();
    const bool paletted = (format.flags & kPixelFormatPaletteIndexed8) != 0;
    if (paletted && palette == nullptr) return kDdErrInvalidParams;
    const Rect target{x, y, x + source_rect.right - source_rect.left, y + source_rect.bottom - source_rect.top};
    const Rect area =
        Intersect(target, Rect{0, 0, static_cast<int32_t>(dest.width()), static_cast<int32_t>(dest.height())});
    if (IsEmpty(area)) return kDdOk;
    const int bytes = dest.bytes_per_pixel();
    for (int32_t row_y = area.top; row_y < area.bottom; ++row_y) {
        uint8_t* out = dest.row(static_cast<uint32_t>(row_y));
        for (int32_t column = area.left; column < area.right; ++column) {
            const Rgb c = DibPixel(source, source_rect.left + column - x, source_rect.top + row_y - y);
            const uint32_t value = paletted ? NearestEntry(palette, c)
                                            : PackChannelFrom8(c.red, format.red_mask) |
                                                  PackChannelFrom8(c.green, format.green_mask) |
                                                  PackChannelFrom8(c.blue, format.blue_mask);
            WritePixel(out + static_cast<size_t>(column) * bytes, bytes, value);
        }
    }
    dest.PresentIfPrimary();
    return kDdOk;
}

}  // namespace velk::platform
