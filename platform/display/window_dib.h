#pragma once
// The GDI side of the window for the mode without DirectDraw: the window's
// client area holds a picture of its own (0x00RRGGBB), device-independent
// bitmaps are stretched into it (the stand-in of SetDIBitsToDevice and
// StretchDIBits) and read back from it (BitBlt plus GetDIBits), and every
// change is shown through the active output. After a bitmap drawn whole
// over the window the picture may be the output's own copy of the frame
// (DisplayOutput::ShownRows), so a frame is copied once.

#include <cstdint>

#include "platform/base/rect.h"
#include "platform/window/window_messages.h"

namespace velk::platform {

// A bitmap in memory: rows from the top, 16- or 32-bit with bit-field masks.
struct DibImage {
    int32_t width = 0;
    int32_t height = 0;
    int32_t pitch = 0;
    int32_t bit_count = 0;
    uint32_t red_mask = 0;
    uint32_t green_mask = 0;
    uint32_t blue_mask = 0;
    uint8_t* pixels = nullptr;
};

// Stretches source (a rectangle of the bitmap) onto dest (client
// coordinates) by nearest pixels, clipped to the client area. False when the
// window has no client area, a rectangle is empty or the source rectangle
// does not lie inside the bitmap.
bool DrawDibToWindow(WindowHandle window, const Rect& dest, const DibImage& image, const Rect& source);
// Reads a rectangle of the client area into the bitmap at (x, y); parts
// outside the client area read black. False as above.
bool ReadWindowToDib(WindowHandle window, const Rect& source, DibImage* image, int x, int y);
// Forgets the window's picture.
void ReleaseWindowDib(WindowHandle window);
// Pictures the active output holds for their windows (see
// DisplayOutput::ShownRows) become the windows' own, before the output goes.
void TakeInPicturesShownByOutput();

}  // namespace velk::platform
