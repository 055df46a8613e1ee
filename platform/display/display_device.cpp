#include "platform/display/display_device.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "platform/base/clock.h"
#include "platform/display/display_clipper.h"
#include "platform/display/display_palette.h"
#include "platform/display/display_shared.h"
#include "platform/display/display_surface.h"
#include "platform/display/vertical_blank.h"

namespace velk::platform {

namespace {

// What the device says of its memory: it has none of its own, so report a
// fixed, ample amount.
constexpr uint32_t kReportedVideoMemory = 256u * 1024 * 1024;

bool IsYuvFourCc(uint32_t four_cc) {
    return four_cc == kFourCcYv12 || four_cc == kFourCcYuy2 || four_cc == kFourCcUyvy;
}

bool IsSupportedSurfaceFormat(const DdPixelFormat& format) {
    if ((format.flags & kPixelFormatFourCc) != 0)
        return IsYuvFourCc(format.four_cc) && OverlaysOffered() && !FourCcRefused(format.four_cc);
    switch (format.rgb_bit_count) {
        case 8:
        case 16:
        case 32:
            return true;
        default:
            return false;
    }
}

DdPixelFormat ZBufferFormat() {
    DdPixelFormat format;
    format.size = sizeof(DdPixelFormat);
    format.flags = kPixelFormatZBuffer;
    format.rgb_bit_count = 16;
    format.green_mask = 0xFFFF;  // the depth mask's place
    return format;
}

}  // namespace

void DisplayShared::Register(const std::shared_ptr<DdSurface>& surface) {
    std::erase_if(surfaces, [](const std::weak_ptr<DdSurface>& entry) { return entry.expired(); });
    surfaces.push_back(surface);
}

void DisplayShared::MarkAllLost() {
    for (const auto& entry : surfaces)
        if (auto surface = entry.lock()) surface->MarkLost();
}

std::vector<std::weak_ptr<DisplayShared>>& LiveDisplays() {
    static std::vector<std::weak_ptr<DisplayShared>> displays;
    return displays;
}

DdDevice::DdDevice() : shared_(std::make_shared<DisplayShared>()) {
    auto& displays = LiveDisplays();
    std::erase_if(displays, [](const std::weak_ptr<DisplayShared>& entry) { return entry.expired(); });
    displays.push_back(shared_);
}

DdDevice::~DdDevice() {
    if (shared_->exclusive()) RestoreDesktopDisplayMode();
}

DdResult DdDevice::Create(std::unique_ptr<DdDevice>* out) {
    if (out == nullptr) return kDdErrInvalidParams;
    if (DisplayDeviceCreationFails()) return kDdErrGeneric;
    out->reset(new DdDevice());
    return kDdOk;
}

DdResult DdDevice::SetCooperativeLevel(WindowHandle window, uint32_t flags) {
    const bool exclusive = (flags & kDdsclExclusive) != 0;
    if (exclusive && (flags & kDdsclFullScreen) == 0) return kDdErrInvalidParams;
    if (!exclusive && (flags & kDdsclNormal) == 0) return kDdErrInvalidParams;
    if (!exclusive && shared_->exclusive()) RestoreDesktopDisplayMode();
    shared_->window = window;
    shared_->cooperative_flags = flags;
    return kDdOk;
}

uint32_t DdDevice::cooperative_flags() const { return shared_->cooperative_flags; }

WindowHandle DdDevice::window() const { return shared_->window; }

DdResult DdDevice::SetDisplayMode(uint32_t width, uint32_t height, uint32_t bits, uint32_t refresh_rate,
                                  uint32_t) {
    if (!shared_->exclusive()) return kDdErrNoExclusiveMode;
    const DisplayMode mode{static_cast<int>(width), static_cast<int>(height), static_cast<int>(bits),
                           static_cast<int>(refresh_rate)};
    if (!ApplyDisplayMode(mode)) return kDdErrUnsupportedMode;
    ForceAllDisplaySurfacesLost();
    return kDdOk;
}

DdResult DdDevice::RestoreDisplayMode() {
    if (FullScreenModeIsSet()) {
        RestoreDesktopDisplayMode();
        ForceAllDisplaySurfacesLost();
    }
    return kDdOk;
}

DdResult DdDevice::GetDisplayMode(DdSurfaceDesc* desc) const {
    if (desc == nullptr) return kDdErrInvalidParams;
    const DisplayMode mode = CurrentDisplayMode();
    *desc = DdSurfaceDesc{};
    desc->flags = kDdsdWidth | kDdsdHeight | kDdsdPitch | kDdsdPixelFormat;
    desc->width = static_cast<uint32_t>(mode.width);
    desc->height = static_cast<uint32_t>(mode.height);
    desc->pitch = mode.width * (mode.bits / 8);
    desc->pixel_format = DisplayPixelFormatForBits(mode.bits);
    return kDdOk;
}

DdResult DdDevice::CreateSurface(const DdSurfaceDesc& desc, std::shared_ptr<DdSurface>* out) {
    if (out == nullptr) return kDdErrInvalidParams;
    out->reset();
    uint32_t caps = (desc.flags & kDdsdCaps) != 0 ? desc.caps : kDdsCapsOffscreenPlain;
    const bool overlay = (caps & kDdsCapsOverlay) != 0;
    const bool four_cc = (desc.flags & kDdsdPixelFormat) != 0 && (desc.pixel_format.flags & kPixelFormatFourCc) != 0;
    if (overlay && !OverlaysOffered()) return kDdErrNoOverlayHardware;
    if (overlay && (caps & kDdsCapsPrimarySurface) != 0) return kDdErrInvalidParams;
    if (overlay || four_cc) {
        // The display shows overlays and YUV surfaces itself, as a card shows
        // them from its own memory.
        caps = (caps & ~kDdsCapsSystemMemory) | kDdsCapsVideoMemory;
    } else if (!VideoMemoryReported() || (caps & kDdsCapsVideoMemory) == 0) {
        // Everything else lives in system memory.
        caps = (caps & ~kDdsCapsVideoMemory) | kDdsCapsSystemMemory;
    }

    const bool primary = (caps & kDdsCapsPrimarySurface) != 0;
    const bool z_buffer = (caps & kDdsCapsZBuffer) != 0;
    const DisplayMode mode = CurrentDisplayMode();
    uint32_t width = desc.width;
    uint32_t height = desc.height;
    DdPixelFormat format = DisplayPixelFormatForBits(mode.bits);
    if (primary) {
        // The primary is the whole display; in window mode the desktop.
        width = static_cast<uint32_t>(mode.width);
        height = static_cast<uint32_t>(mode.height);
    } else {
        if ((desc.flags & (kDdsdWidth | kDdsdHeight)) != (kDdsdWidth | kDdsdHeight)) return kDdErrInvalidParams;
        if (width == 0 || height == 0 || width > 16384 || height > 16384) return kDdErrInvalidParams;
        if (z_buffer) {
            format = ZBufferFormat();
        } else if ((desc.flags & kDdsdPixelFormat) != 0) {
            if (!IsSupportedSurfaceFormat(desc.pixel_format)) return kDdErrInvalidPixelFormat;
            format = desc.pixel_format;
            if (four_cc) {
                // The bits a pixel takes, as the layout says whatever was given.
                format.size = sizeof(DdPixelFormat);
                format.flags = kPixelFormatFourCc;
                format.rgb_bit_count = format.four_cc == kFourCcYv12 ? 12 : 16;
                format.red_mask = format.green_mask = format.blue_mask = format.alpha_mask = 0;
            }
        }
    }
    if (!IsSupportedSurfaceFormat(format) && !z_buffer) return kDdErrInvalidPixelFormat;

    const bool flipping = primary && (caps & kDdsCapsFlip) != 0;
    if (flipping && ((caps & kDdsCapsComplex) == 0 || desc.back_buffer_count != 1)) return kDdErrInvalidParams;
    if (flipping && !shared_->exclusive()) return kDdErrNoExclusiveMode;

    // Memory that runs out refuses the surface, as a card's memory would.
    std::shared_ptr<DdSurface> surface, back;
    try {
        surface =
            std::make_shared<DdSurface>(shared_, width, height, caps | (flipping ? kDdsCapsFrontBuffer : 0), format);
        if (flipping) {
            const uint32_t back_caps = (caps & ~(kDdsCapsPrimarySurface | kDdsCapsFrontBuffer)) | kDdsCapsBackBuffer;
            back = std::make_shared<DdSurface>(shared_, width, height, back_caps, format);
        }
    } catch (const std::bad_alloc&) {
        return kDdErrOutOfMemory;
    }
    shared_->Register(surface);
    if (back) {
        shared_->Register(back);
        surface->AddAttachedSurface(back);
    }
    if ((desc.flags & kDdsdCkSrcBlt) != 0) surface->SetColorKey(kDdCkeySrcBlt, &desc.src_blt_key);
    *out = std::move(surface);
    return kDdOk;
}

DdResult DdDevice::CreateClipper(uint32_t, std::shared_ptr<DdClipper>* out) {
    if (out == nullptr) return kDdErrInvalidParams;
    *out = std::make_shared<DdClipper>();
    return kDdOk;
}

DdResult DdDevice::CreatePalette(uint32_t flags, const DdPaletteEntry* entries, std::shared_ptr<DdPalette>* out) {
    if (out == nullptr || entries == nullptr || (flags & kDdPCaps8Bit) == 0) return kDdErrInvalidParams;
    *out = std::make_shared<DdPalette>(entries);
    return kDdOk;
}

DdResult DdDevice::GetCaps(DdDeviceCaps* driver_caps, DdDeviceCaps* emulation_caps) const {
    DdDeviceCaps caps;
    caps.video_memory_total = kReportedVideoMemory;
    caps.video_memory_free = kReportedVideoMemory;
    caps.surface_caps = kDdsCapsOffscreenPlain | kDdsCapsPrimarySurface | kDdsCapsSystemMemory | kDdsCapsFlip |
                        kDdsCapsComplex | kDdsCapsBackBuffer | kDdsCapsZBuffer;
    if (OverlaysOffered()) {
        // The present step composites overlays on the CPU: any number, any
        // stretch, any rectangle unless a test sets what a card would ask.
        caps.caps |= kDdCapsOverlay | kDdCapsOverlayFourCc | kDdCapsOverlayStretch;
        caps.surface_caps |= kDdsCapsOverlay;
        caps.max_visible_overlays = 16;
        caps.min_overlay_stretch = 1;
        caps.max_overlay_stretch = 32000;
        const OverlayAlignment alignment = CurrentOverlayAlignment();
        caps.align_boundary_src = alignment.boundary_src;
        caps.align_size_src = alignment.size_src;
        caps.align_boundary_dest = alignment.boundary_dest;
        caps.align_size_dest = alignment.size_dest;
        if (alignment.boundary_src != 0) caps.caps |= kDdCapsAlignBoundarySrc;
        if (alignment.size_src != 0) caps.caps |= kDdCapsAlignSizeSrc;
        if (alignment.boundary_dest != 0) caps.caps |= kDdCapsAlignBoundaryDest;
        if (alignment.size_dest != 0) caps.caps |= kDdCapsAlignSizeDest;
    }
    if (driver_caps != nullptr) *driver_caps = caps;
    if (emulation_caps != nullptr) *emulation_caps = caps;
    return kDdOk;
}

DdResult DdDevice::GetDeviceIdentifier(DdDeviceIdentifier* out, uint32_t) const {
    if (out == nullptr) return kDdErrInvalidParams;
    *out = DdDeviceIdentifier{};
    std::strncpy(out->driver, "velk-display", sizeof(out->driver) - 1);
    std::strncpy(out->description, "System-memory display", sizeof(out->description) - 1);
    out->driver_version = (uint64_t{1} << 48);
    return kDdOk;
}

DdResult DdDevice::GetAvailableVidMem(uint32_t, uint32_t* total, uint32_t* free) const {
    if (total != nullptr) *total = kReportedVideoMemory;
    if (free != nullptr) *free = kReportedVideoMemory;
    return kDdOk;
}

DdResult DdDevice::WaitForVerticalBlank(uint32_t flags) {
    const int64_t now = ActiveClock().Microseconds();
    if ((flags & kDdWaitVbBlockEnd) != 0) {
        WaitUntilMicroseconds(NextBlankEndAfter(now));
    } else if ((flags & kDdWaitVbBlockBegin) != 0) {
        WaitUntilMicroseconds(NextBlankBeginAfter(now));
    } else {
        return kDdErrInvalidParams;
    }
    return kDdOk;
}

DdResult DdDevice::GetVerticalBlankStatus(int* in_blank) const {
    if (in_blank == nullptr) return kDdErrInvalidParams;
    *in_blank = InVerticalBlankAt(ActiveClock().Microseconds()) ? 1 : 0;
    return kDdOk;
}

DdResult DdDevice::GetScanLine(uint32_t* line) const {
    if (line == nullptr) return kDdErrInvalidParams;
    const int now_line = ScanLineAt(ActiveClock().Microseconds());
    if (now_line >= kVisibleLines) return kDdErrVerticalBlankInProgress;
    *line = static_cast<uint32_t>(now_line);
    return kDdOk;
}

DdResult DdDevice::FlipToGDISurface() { return kDdOk; }

void DdDevice::ForceSurfaceLoss() { shared_->MarkAllLost(); }

void ForceAllDisplaySurfacesLost() {
    for (const auto& entry : LiveDisplays())
        if (auto display = entry.lock()) display->MarkAllLost();
}

}  // namespace velk::platform
