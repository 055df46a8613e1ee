#pragma once
// The display device of the stand-in (the object the library's DirectDraw
// side talks to): cooperative level, display modes, surfaces, clipper,
// palette, the vertical blank, and what it reports of itself. It offers no
// Direct3D; its overlays and YUV (FourCC) surfaces are shown by the present
// step, and all its surfaces live in system memory.

#include <memory>

#include "platform/display/display_mode.h"
#include "platform/display/display_types.h"
#include "platform/window/window_messages.h"

namespace velk::platform {

class DdClipper;
class DdPalette;
class DdSurface;
struct DisplayShared;

class DdDevice {
public:
    // Fails (kDdErrGeneric) while a test makes device creation fail.
    static DdResult Create(std::unique_ptr<DdDevice>* out);
    ~DdDevice();
    DdDevice(const DdDevice&) = delete;
    DdDevice& operator=(const DdDevice&) = delete;

    // kDdsclNormal, or kDdsclExclusive | kDdsclFullScreen, with the
    // multithreaded and FPU flags accepted and ignored. Leaving exclusive
    // mode gives the desktop its mode back.
    DdResult SetCooperativeLevel(WindowHandle window, uint32_t flags);
    uint32_t cooperative_flags() const;
    WindowHandle window() const;

    // Needs exclusive mode. The surfaces made so far are lost.
    DdResult SetDisplayMode(uint32_t width, uint32_t height, uint32_t bits, uint32_t refresh_rate, uint32_t flags);
    DdResult RestoreDisplayMode();
    // Width, height, pixel format and pitch of the mode shown now.
    DdResult GetDisplayMode(DdSurfaceDesc* desc) const;

    // Primary (with a flipping back buffer when kDdsCapsFlip | kDdsCapsComplex
    // and a back-buffer count of 1 are given), off-screen plain, texture and
    // Z-buffer surfaces. Without a pixel format a surface takes the display's
    // (a primary always does); a Z buffer is 16 bits. Overlays take a 16- or
    // 32-bit RGB format or a YUV FourCC (YV12, YUY2, UYVY), as do surfaces
    // asked for with a FourCC alone; both report video memory.
    DdResult CreateSurface(const DdSurfaceDesc& desc, std::shared_ptr<DdSurface>* out);
    DdResult CreateClipper(uint32_t flags, std::shared_ptr<DdClipper>* out);
    DdResult CreatePalette(uint32_t flags, const DdPaletteEntry* entries, std::shared_ptr<DdPalette>* out);

    DdResult GetCaps(DdDeviceCaps* driver_caps, DdDeviceCaps* emulation_caps) const;
    DdResult GetDeviceIdentifier(DdDeviceIdentifier* out, uint32_t flags) const;
    DdResult GetAvailableVidMem(uint32_t caps, uint32_t* total, uint32_t* free) const;

    DdResult WaitForVerticalBlank(uint32_t flags);
    DdResult GetVerticalBlankStatus(int* in_blank) const;
    // kDdErrVerticalBlankInProgress while in the blank.
    DdResult GetScanLine(uint32_t* line) const;

    DdResult FlipToGDISurface();
    // There is no Direct3D behind this device.
    DdResult QueryDirect3D() const { return kDdErrNoDirect3D; }

    // Marks every surface of this device lost (the test hook of loss).
    void ForceSurfaceLoss();

private:
    DdDevice();
    std::shared_ptr<DisplayShared> shared_;
};

// Marks every surface of every device lost, as a display change would.
void ForceAllDisplaySurfacesLost();

}  // namespace velk::platform
