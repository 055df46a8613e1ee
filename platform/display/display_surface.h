#pragma once
// A surface of the display stand-in: a rectangle of pixels in system memory
// in one pixel format, with the operations the library performs on it: lock,
// colour fill, depth fill, stretching copy, keyed fast copy, flip, colour key,
// clipper, palette, attached surfaces, and loss and restore.
//
// Every operation is synchronous: when Blt or BltFast returns, the pixels are
// written. A surface that is locked refuses blits (busy), as a surface that
// is lost refuses everything but Restore. The primary surface shows itself in
// its window after every write (see display_output.h).

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "platform/display/display_types.h"
#include "platform/display/pixel_store.h"
#include "platform/window/window_messages.h"

namespace velk::platform {

class DdClipper;
class DdPalette;
struct DisplayShared;
struct PresentImage;
class DdSurface;

// A copy of a surface's pixels kept elsewhere (a hardware renderer's
// texture). The surface asks it for the pixels before any access when the
// copy was written last; every write on the surface's own side raises the
// surface's serial, so the copy knows when to take the pixels again.
class SurfaceMirror {
public:
    virtual ~SurfaceMirror() = default;
    // Writes the copy's pixels into the surface's rows.
    virtual void PullPixels(DdSurface& surface) = 0;
    // The surface's rectangle was just filled with a raw pixel value (its
    // serial already raised): a copy that held the surface's pixels before
    // may fill itself and count as current again.
    virtual void Filled(DdSurface& surface, const Rect& area, uint32_t value) {}
};

class DdSurface : public std::enable_shared_from_this<DdSurface> {
public:
    // Made by DdDevice::CreateSurface.
    DdSurface(std::shared_ptr<DisplayShared> display, uint32_t width, uint32_t height, uint32_t caps,
              const DdPixelFormat& format);
    ~DdSurface();
    DdSurface(const DdSurface&) = delete;
    DdSurface& operator=(const DdSurface&) = delete;

    uint32_t width() const { return width_; }
    uint32_t height() const { return height_; }
    int32_t pitch() const { return pitch_; }
    int bytes_per_pixel() const { return bytes_per_pixel_; }
    const DdPixelFormat& pixel_format() const { return format_; }
    // The capabilities as given: system memory, never video memory.
    uint32_t caps() const { return caps_; }
    bool is_primary() const { return (caps_ & kDdsCapsPrimarySurface) != 0; }
    bool is_locked() const { return lock_count_ > 0; }
    bool is_lost() const { return lost_; }

    DdResult GetCaps(uint32_t* caps) const;
    DdResult GetPixelFormat(DdPixelFormat* format) const;
    DdResult GetSurfaceDesc(DdSurfaceDesc* desc) const;

    // Locks the whole surface (rect null) or a rectangle inside it; desc
    // receives the pitch and the address of the rectangle's first pixel.
    // One lock at a time: a locked surface answers busy.
    DdResult Lock(const Rect* rect, DdSurfaceDesc* desc, uint32_t flags);
    DdResult Unlock(const Rect* rect);

    // Colour fill (kDdBltColorFill with fx->fill_color, a raw pixel), depth
    // fill (kDdBltDepthFill, Z surfaces only) or a copy of source_rect of the
    // source (null: the whole source) stretched onto dest_rect (null: the
    // whole surface) by nearest pixels, skipping the source's colour key with
    // kDdBltKeySrc. With a clipper the destination is cut to the clipper's
    // window; without one it must lie inside the surface.
    // A primary shows an unscaled, unkeyed and uncut copy from another
    // surface (the back buffer's frame) straight from that surface's rows:
    // it takes them in only when it is read or written itself, and the
    // source, written next, leaves those rows to the primary and goes on in
    // a store of its own. A fill with the value a surface already holds in
    // every pixel writes nothing.
    DdResult Blt(const Rect* dest_rect, DdSurface* source, const Rect* source_rect, uint32_t flags,
                 const DdBltFx* fx);
    // An unscaled copy to (x, y); both rectangles must lie inside their
    // surfaces. kDdBltFastSrcColorKey skips the source's colour key.
    DdResult BltFast(int x, int y, DdSurface* source, const Rect* source_rect, uint32_t flags);
    // A primary with a back buffer shows the back buffer's contents; the
    // back buffer keeps them.
    DdResult Flip(DdSurface* target, uint32_t flags);

    DdResult SetColorKey(uint32_t flags, const DdColorKey* key);
    DdResult GetColorKey(uint32_t flags, DdColorKey* key) const;

    // The surface's GDI device context, one at a time: a lost or locked
    // surface gives none. The GDI copies below do not take it themselves;
    // the caller brackets them, as with the real interface.
    DdResult GetDC();
    DdResult ReleaseDC();
    bool has_dc() const { return dc_out_; }

    DdResult IsLost() const;
    // Brings a lost surface back; its pixels are then undefined and must be
    // written again.
    DdResult Restore();

    DdResult SetClipper(std::shared_ptr<DdClipper> clipper);
    std::shared_ptr<DdClipper> clipper() const { return clipper_; }
    DdResult SetPalette(std::shared_ptr<DdPalette> palette);
    std::shared_ptr<DdPalette> palette() const { return palette_; }

    DdResult AddAttachedSurface(std::shared_ptr<DdSurface> surface);
    DdResult DeleteAttachedSurface(DdSurface* surface);
    // The first attached surface whose capabilities hold every bit of caps.
    DdResult GetAttachedSurface(uint32_t caps, std::shared_ptr<DdSurface>* out);
    // Calls visit for every attached surface until it returns false.
    DdResult EnumAttachedSurfaces(const std::function<bool(const std::shared_ptr<DdSurface>&)>& visit);

    // The stand-in's own access, for the GDI copy and the present. A primary
    // first takes in the frame it shows without having copied it (see
    // Blt); written rows belong to this surface alone.
    const uint8_t* row(uint32_t y) const {
        TakeInShownFrame();
        return RowAt(y);
    }
    uint8_t* row(uint32_t y) {
        TakeInShownFrame();
        OwnPixels(true);
        uniform_ = false;
        return RowAt(y);
    }
    // Overlays (surfaces made with kDdsCapsOverlay) are not written into
    // the surface they show on: the present step lays each shown overlay
    // over its destination rectangle of the primary, converting YUV to RGB.
    // kDdOverShow shows source_rect (null: the whole overlay) stretched over
    // dest_rect of the primary `dest` (null: the whole primary); kDdOverHide
    // hides it; with neither a shown overlay only moves. The rectangles stay
    // as given and are clipped to what the window shows at each present.
    DdResult UpdateOverlay(const Rect* source_rect, DdSurface* dest, const Rect* dest_rect, uint32_t flags);
    bool is_overlay() const { return (caps_ & kDdsCapsOverlay) != 0; }
    bool overlay_shown() const { return overlay_shown_; }
    const Rect& overlay_source() const { return overlay_source_; }
    const Rect& overlay_dest() const { return overlay_dest_; }
    // The primary a shown overlay shows on (null when hidden or gone).
    std::shared_ptr<DdSurface> overlay_target() const { return overlay_target_.lock(); }
    // A surface in one of the YUV layouts (kFourCcYv12, kFourCcYuy2,
    // kFourCcUyvy): blits refuse it, locks give its bytes.
    bool is_four_cc() const { return (format_.flags & kPixelFormatFourCc) != 0; }

    // Marks the surface lost and spoils its pixels (the test hook of loss).
    void MarkLost();
    // Shows a primary's pixels in its window (nothing for other surfaces).
    void PresentIfPrimary();

    // The mirror of the pixels (null for none) and which side was written last.
    void SetMirror(std::shared_ptr<SurfaceMirror> mirror);
    SurfaceMirror* mirror() const { return mirror_.get(); }
    // Raised by every write on the surface's side.
    uint64_t serial() const { return serial_; }
    // The mirror was written: the next access takes its pixels first.
    void MarkMirrorNewer() { mirror_newer_ = true; }
    bool mirror_newer() const { return mirror_newer_; }
    // Takes the mirror's pixels when it was written last (every access does).
    void SyncFromMirror();
    // Before the stand-in's own writes through row().
    void PrepareWrite() { BeforeWrite(); }

private:
    // A frame of another surface that a primary shows at `area` without a
    // copy of its own: the rows stay in that surface's store, which the
    // surface leaves to the primary when it writes again.
    struct ShownFrame {
        std::shared_ptr<const PixelStore> store;
        size_t first = 0;  // the byte of the frame's top-left pixel
        int32_t pitch = 0;
        Rect area{};
    };

    uint8_t* RowAt(uint32_t y) const { return pixels_->data() + static_cast<size_t>(y) * pitch_; }
    // Copies a frame shown without a copy into the surface's own rows.
    void TakeInShownFrame() const {
        if (shown_.store) CopyInShownFrame();
    }
    void CopyInShownFrame() const;
    // Makes the store this surface's alone before a write: a store a
    // primary still shows stays with it, and the surface takes its spare
    // one (the old pixels copied in when `keep`).
    void OwnPixels(bool keep) {
        if (pixels_.use_count() > 1) ReplaceSharedStore(keep);
    }
    void ReplaceSharedStore(bool keep);
    // Every primary that shows this surface's store copies the frame into
    // its own rows: the store is this surface's alone again, with no memory
    // asked for.
    void LeaveShownStore();
    // Whether a blt from source can be shown by this primary from the
    // source's store, with no copy.
    bool CanShowWithoutCopy(const DdSurface& source, const Rect& dest, const Rect& area, const Rect& from,
                            bool keyed) const;
    void ShowWithoutCopy(const DdSurface& source, const Rect& dest, const Rect& from);
    // A copy into this surface, or a primary showing the source's rows (above).
    DdResult ShowOrCopy(const Rect& dest, const Rect& clip, DdSurface& source, const Rect& from, bool keyed);
    uint32_t ColorBitsMask() const;
    DdResult CheckUsable() const;
    DdResult CheckCopySource(const DdSurface& source, const Rect* source_rect, Rect* from) const;
    // A colour (or depth) fill of area, already clipped.
    void FillArea(const Rect& area, uint32_t value, bool color);
    // The rows a present shows for area of this primary, and their pitch.
    const uint8_t* PresentedRows(const Rect& area, int32_t* pitch) const;
    DdResult CopyStretched(const Rect& dest, const Rect& clip, DdSurface& source, const Rect& source_rect,
                           bool keyed);
    bool ClipRegion(Rect* region) const;
    // Hands the frame (showing `area` of this primary) to the output, with
    // the overlays shown on this surface laid over it.
    void PresentWithOverlays(WindowHandle window, const PresentImage& image, const Rect& area);

    std::shared_ptr<DisplayShared> display_;
    uint32_t width_;
    uint32_t height_;
    uint32_t caps_;
    DdPixelFormat format_;
    int bytes_per_pixel_;
    int32_t pitch_;
    // Mutable so that reading a primary can take in the frame it shows.
    mutable std::shared_ptr<PixelStore> pixels_;
    mutable ShownFrame shown_;
    // The store last left to a primary, taken back once no primary shows it.
    std::shared_ptr<PixelStore> spare_;
    // Every pixel holds uniform_value_ (a raw value of the pixel's width)
    // since the last fill of the whole surface: the same fill again changes
    // nothing. Any other write clears it.
    bool uniform_ = false;
    uint32_t uniform_value_ = 0;
    int lock_count_ = 0;
    uint32_t lock_flags_ = 0;
    bool lost_ = false;
    bool dc_out_ = false;
    bool has_src_key_ = false;
    DdColorKey src_key_;
    std::shared_ptr<DdClipper> clipper_;
    std::shared_ptr<DdPalette> palette_;
    std::vector<std::shared_ptr<DdSurface>> attached_;
    std::shared_ptr<SurfaceMirror> mirror_;
    bool overlay_shown_ = false;
    Rect overlay_source_{};
    Rect overlay_dest_{};
    std::weak_ptr<DdSurface> overlay_target_;
    uint64_t serial_ = 1;
    bool mirror_newer_ = false;

    void BeforeRead() {
        SyncFromMirror();
        TakeInShownFrame();
    }
    // `keep` false: the write covers every pixel and needs none of the old ones.
    void BeforeWrite(bool keep = true) {
        SyncFromMirror();
        TakeInShownFrame();
        OwnPixels(keep);
        uniform_ = false;
        ++serial_;
    }
};

// A device-independent bitmap selected into a memory DC: rows from the top;
// 8-bit with its palette, 24-bit (blue, green, red in each pixel), or 16- or
// 32-bit with bit-field masks.
struct DibSection {
    int32_t width = 0;
    int32_t height = 0;
    int32_t pitch = 0;
    int32_t bit_count = 0;
    uint32_t red_mask = 0;
    uint32_t green_mask = 0;
    uint32_t blue_mask = 0;
    const DdPaletteEntry* palette = nullptr;  // 256 entries, 8-bit bitmaps only
    const uint8_t* pixels = nullptr;
};

// The stand-in of a GDI BitBlt (SRCCOPY) from a bitmap's memory DC into a
// surface's DC: source_rect of the bitmap to (x, y), clipped to the surface.
// Each pixel is turned into the surface's format; on an 8-bit surface it
// becomes the entry of `palette` (the colours GDI realises there) nearest to
// it. The surface must be neither locked nor lost; the source rectangle must
// lie inside the bitmap.
DdResult GdiBltDibToSurface(DdSurface& dest, int x, int y, const DibSection& source, const Rect& source_rect,
                            const DdPaletteEntry* palette);

// The stand-in of a GDI BitBlt between the device contexts of two surfaces:
// a plain copy of source_rect to (x, y), no key, no clipper. The formats must
// match; neither surface may be locked or lost.
DdResult GdiCopySurfaceRect(DdSurface& dest, int x, int y, DdSurface& source, const Rect& source_rect);

}  // namespace velk::platform
