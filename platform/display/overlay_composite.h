#pragma once
// Laying a shown overlay over a presented frame: the overlay's source
// rectangle stretched by nearest pixels onto its destination, each pixel
// turned into 0x00RRGGBB. YUV pixels (YV12, YUY2, UYVY) go through the
// BT.601 studio-range formula in its usual 8-bit integer form:
//   C = Y - 16, D = U - 128, E = V - 128
//   R = (298 C + 409 E + 128) >> 8
//   G = (298 C - 100 D - 208 E + 128) >> 8
//   B = (298 C + 516 D + 128) >> 8
// each clamped to 0..255. RGB overlays widen their channels as the output does.

#include <cstdint>

#include "platform/base/rect.h"

namespace velk::platform {

class DdSurface;

// One pixel of YUV as the compositor shows it (0x00RRGGBB).
uint32_t YuvToXrgb(int y, int u, int v);

// A frame of 0x00RRGGBB pixels lying over `area` of the target surface.
struct CompositeFrame {
    uint32_t* pixels = nullptr;
    int32_t stride = 0;  // pixels from one row to the next
    Rect area;
};

// Lays source (a rectangle of the overlay) stretched onto dest (a rectangle
// of the target) over the part of the frame they share.
void CompositeOverlay(const DdSurface& overlay, const Rect& source, const Rect& dest, const CompositeFrame& frame);

}  // namespace velk::platform
