#pragma once
// The values the display stand-in shares with its callers: result codes,
// capability bits, lock, blit, flip and cooperative-level flags and the
// records passed with them. The numbers are those the callers already speak
// (a capability word of 0x6000 asks for video memory with 3D use, and so on).
//
// Plain surfaces live in system memory: the stand-in has no video memory and
// says so in the capabilities it reports back. Overlays and YUV (FourCC)
// surfaces count as display memory, as they would on a card that has them.

#include <cstdint>

#include "platform/base/rect.h"
#include "platform/display/pixel_format.h"

namespace velk::platform {

// ---- Results ----
using DdResult = int32_t;
constexpr DdResult kDdOk = 0;
constexpr DdResult kDdErrGeneric = static_cast<int32_t>(0x80004005u);
constexpr DdResult kDdErrInvalidParams = static_cast<int32_t>(0x80070057u);
constexpr DdResult kDdErrOutOfMemory = static_cast<int32_t>(0x8007000Eu);
constexpr DdResult kDdErrUnsupported = static_cast<int32_t>(0x80004001u);
constexpr DdResult kDdErrInvalidPixelFormat = static_cast<int32_t>(0x88760091u);
constexpr DdResult kDdErrInvalidRect = static_cast<int32_t>(0x88760096u);
constexpr DdResult kDdErrNoColorKey = static_cast<int32_t>(0x887600D7u);
constexpr DdResult kDdErrNoExclusiveMode = static_cast<int32_t>(0x887600E1u);
constexpr DdResult kDdErrNoOverlayHardware = static_cast<int32_t>(0x88760118u);
constexpr DdResult kDdErrSurfaceBusy = static_cast<int32_t>(0x887601AEu);
constexpr DdResult kDdErrSurfaceLost = static_cast<int32_t>(0x887601C2u);
constexpr DdResult kDdErrUnsupportedMode = static_cast<int32_t>(0x8876024Eu);
constexpr DdResult kDdErrVerticalBlankInProgress = static_cast<int32_t>(0x88760219u);
constexpr DdResult kDdErrNotLocked = static_cast<int32_t>(0x887602E2u);
constexpr DdResult kDdErrExclusiveModeAlreadySet = static_cast<int32_t>(0x88760245u);
constexpr DdResult kDdErrHwndSubclassed = static_cast<int32_t>(0x8876023Bu);
constexpr DdResult kDdErrHwndAlreadySet = static_cast<int32_t>(0x8876023Au);
constexpr DdResult kDdErrNoDirect3D = static_cast<int32_t>(0x80004002u);
constexpr DdResult kDdErrDcAlreadyCreated = static_cast<int32_t>(0x8876026Cu);
constexpr DdResult kDdErrNoDc = static_cast<int32_t>(0x88760237u);

inline bool DdSucceeded(DdResult result) { return result >= 0; }

// ---- Surface capabilities ----
constexpr uint32_t kDdsCapsBackBuffer = 0x4;
constexpr uint32_t kDdsCapsComplex = 0x8;
constexpr uint32_t kDdsCapsFlip = 0x10;
constexpr uint32_t kDdsCapsFrontBuffer = 0x20;
constexpr uint32_t kDdsCapsOffscreenPlain = 0x40;
constexpr uint32_t kDdsCapsOverlay = 0x80;
constexpr uint32_t kDdsCapsPrimarySurface = 0x200;
constexpr uint32_t kDdsCapsSystemMemory = 0x800;
constexpr uint32_t kDdsCapsTexture = 0x1000;
constexpr uint32_t kDdsCaps3DDevice = 0x2000;
constexpr uint32_t kDdsCapsVideoMemory = 0x4000;
constexpr uint32_t kDdsCapsZBuffer = 0x20000;
constexpr uint32_t kDdsCaps2TextureManage = 0x10;

// ---- FourCC surfaces: the YUV layouts movies are decoded into ----
constexpr uint32_t MakeFourCc(char a, char b, char c, char d) {
    return static_cast<uint32_t>(static_cast<uint8_t>(a)) | (static_cast<uint32_t>(static_cast<uint8_t>(b)) << 8) |
           (static_cast<uint32_t>(static_cast<uint8_t>(c)) << 16) |
           (static_cast<uint32_t>(static_cast<uint8_t>(d)) << 24);
}
// Planar 4:2:0: the Y plane, then the V plane, then the U plane, each chroma
// row half as long and half the pitch apart.
constexpr uint32_t kFourCcYv12 = MakeFourCc('Y', 'V', '1', '2');
// Packed 4:2:2: Y0 U Y1 V for each pair of pixels.
constexpr uint32_t kFourCcYuy2 = MakeFourCc('Y', 'U', 'Y', '2');
// Packed 4:2:2: U Y0 V Y1 for each pair of pixels.
constexpr uint32_t kFourCcUyvy = MakeFourCc('U', 'Y', 'V', 'Y');

// ---- Pixel-format flags (beyond kPixelFormatRgb) ----
constexpr uint32_t kPixelFormatAlphaPixels = 0x1;
constexpr uint32_t kPixelFormatFourCc = 0x4;
constexpr uint32_t kPixelFormatPaletteIndexed8 = 0x20;
constexpr uint32_t kPixelFormatZBuffer = 0x400;

// ---- Surface description ----
constexpr uint32_t kDdsdCaps = 0x1;
constexpr uint32_t kDdsdHeight = 0x2;
constexpr uint32_t kDdsdWidth = 0x4;
constexpr uint32_t kDdsdPitch = 0x8;
constexpr uint32_t kDdsdBackBufferCount = 0x20;
constexpr uint32_t kDdsdCkSrcBlt = 0x10000;
constexpr uint32_t kDdsdPixelFormat = 0x1000;

struct DdColorKey {
    uint32_t low = 0;
    uint32_t high = 0;
};

struct DdSurfaceDesc {
    uint32_t flags = 0;  // kDdsd*: which fields were given
    uint32_t width = 0;
    uint32_t height = 0;
    int32_t pitch = 0;
    uint32_t back_buffer_count = 0;
    DdPixelFormat pixel_format;
    DdColorKey src_blt_key;
    uint32_t caps = 0;
    uint32_t caps2 = 0;
    void* surface = nullptr;  // Lock: the first pixel of the locked rectangle
};

// ---- Cooperative level ----
constexpr uint32_t kDdsclFullScreen = 0x1;
constexpr uint32_t kDdsclNormal = 0x8;
constexpr uint32_t kDdsclExclusive = 0x10;
constexpr uint32_t kDdsclMultithreaded = 0x400;
constexpr uint32_t kDdsclFpuPreserve = 0x1000;

// ---- Lock ----
constexpr uint32_t kDdLockWait = 0x1;
constexpr uint32_t kDdLockReadOnly = 0x10;
constexpr uint32_t kDdLockWriteOnly = 0x20;

// ---- Blt and BltFast ----
constexpr uint32_t kDdBltColorFill = 0x400;
constexpr uint32_t kDdBltKeySrc = 0x8000;
constexpr uint32_t kDdBltWait = 0x1000000;
constexpr uint32_t kDdBltDepthFill = 0x2000000;

struct DdBltFx {
    uint32_t fill_color = 0;
    uint32_t fill_depth = 0;
};

constexpr uint32_t kDdBltFastNoColorKey = 0x0;
constexpr uint32_t kDdBltFastSrcColorKey = 0x1;
constexpr uint32_t kDdBltFastWait = 0x10;

// ---- Flip, colour keys, vertical blank ----
constexpr uint32_t kDdFlipWait = 0x1;
constexpr uint32_t kDdFlipNoVSync = 0x8;
constexpr uint32_t kDdCkeySrcBlt = 0x8;
constexpr uint32_t kDdWaitVbBlockBegin = 0x1;
constexpr uint32_t kDdWaitVbBlockEnd = 0x4;

// ---- Overlays ----
constexpr uint32_t kDdOverHide = 0x200;
constexpr uint32_t kDdOverShow = 0x4000;

// ---- Palette ----
constexpr uint32_t kDdPCaps8Bit = 0x4;

struct DdPaletteEntry {
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;
    uint8_t flags = 0;
};

// ---- What the device reports of itself ----
// Device capability bits (DdDeviceCaps::caps).
constexpr uint32_t kDdCapsAlignBoundaryDest = 0x2;
constexpr uint32_t kDdCapsAlignSizeDest = 0x4;
constexpr uint32_t kDdCapsAlignBoundarySrc = 0x8;
constexpr uint32_t kDdCapsAlignSizeSrc = 0x10;
constexpr uint32_t kDdCapsOverlay = 0x800;
constexpr uint32_t kDdCapsOverlayFourCc = 0x2000;
constexpr uint32_t kDdCapsOverlayStretch = 0x4000;

struct DdDeviceCaps {
    uint32_t caps = 0;
    uint32_t caps2 = 0;
    uint32_t color_key_caps = 0;
    uint32_t fx_caps = 0;
    uint32_t palette_caps = 0;
    uint32_t video_memory_total = 0;
    uint32_t video_memory_free = 0;
    uint32_t max_visible_overlays = 0;
    uint32_t current_visible_overlays = 0;
    uint32_t min_overlay_stretch = 0;
    uint32_t max_overlay_stretch = 0;
    // Where an overlay's rectangles must start and how wide they must be, in
    // pixels; each counts only with its capability bit.
    uint32_t align_boundary_src = 0;
    uint32_t align_size_src = 0;
    uint32_t align_boundary_dest = 0;
    uint32_t align_size_dest = 0;
    uint32_t surface_caps = 0;
};

struct DdDeviceIdentifier {
    char driver[512] = {};
    char description[512] = {};
    uint64_t driver_version = 0;  // four 16-bit parts, most significant first
};

}  // namespace velk::platform
