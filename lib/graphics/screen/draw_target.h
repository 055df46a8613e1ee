#pragma once
// The current 2D draw target, and the bridge that lets the software renderer
// draw onto display surfaces: around each software draw the target (and the
// source part) are locked and wrapped in software-image views, or, for a
// plain keyed copy, the draw is handed to the display's BltFast instead.
//
// A view over the locked pixels covers the draw area and no more: its pixel
// (0, 0) is the draw area's top-left corner. Where the screen's format is one
// the renderer does not draw (an 8-bit palette, 5-5-5), or a blend would read
// video memory, the view is instead a copy of the draw's rectangle, widened
// to the renderer's format and written back at the unlock. Either way a draw
// made through the bridge subtracts the view's origin from its coordinates,
// and while the bridge is held the software renderer's draw area is the
// whole view.

#include <cstdint>

#include "lib/core/math.h"
#include "lib/softrender/memimg.h"

namespace velk::platform {
class DdSurface;
}

namespace velk {

struct Surface2DData;

// screen: kFrontScreen, kBackScreen or a graph handle. -1 for a graph that
// cannot be a target.
int SetDrawTarget2D(int screen, int previous);
// method -1: the measured transfer method.
int BltSurfaceRect(platform::DdSurface* dest, platform::DdSurface* source, int x, int y, const Rect* source_rect,
                   int method);
int GetScreenWindowRect(Rect* rect);
// The software image of the blend graph, or null.
const MEMIMG* GetBlendGraphMemImg();
// The software image a software-mode draw goes into (the mask screen's while
// it is active), or null.
MEMIMG* GetDrawTargetMemImg();

struct DrawScreenBridge {
    // The plain copy handed to the display.
    int direct_blit = 0;
    platform::DdSurface* blit_target = nullptr;
    int blit_x = 0;
    int blit_y = 0;
    platform::DdSurface* blit_source = nullptr;
    Rect blit_source_rect;
    // The views.
    MEMIMG dest;
    MEMIMG source;
    int has_source = 0;
    int origin_x = 0;     // draw-screen position of the destination view's pixel (0, 0)
    int origin_y = 0;
    Rect dest_rect;       // the destination clipped to the draw area
};

// Prepares the draw target for a draw into dest_rect (draw-screen pixels)
// from part (null: no source). With blt_fast_allowed a plain copy may be
// chosen (bridge.direct_blit). 0 ready, -1 when nothing can be drawn (an
// empty rectangle, or a surface that cannot be locked: then no view is left
// behind). In software mode it does nothing and returns 0. Every 0 that did
// not choose the direct blit must be followed by UnlockDrawScreenMemImg.
int LockDrawScreenMemImg(const Surface2DData* part, int blt_fast_allowed, const Rect* source_rect,
                         const Rect* dest_rect, int raw_fill, uint32_t* color1, uint32_t* color2);
int UnlockDrawScreenMemImg();
// Whether a lock for a draw without a source, in the current draw settings,
// views the display surface's own pixels in the renderer's format (rather
// than a converted copy of them).
bool DrawScreenLocksInPlace();
// A screen colour value as the current view takes it: converted when the
// view is a widened copy of a screen format the renderer does not draw, as
// is done for the colours given to the lock.
uint32_t DrawScreenViewColor(uint32_t value);
DrawScreenBridge& CurrentDrawScreenBridge();
// A plain copy of `source_rect` of the part to `clipped` (draw-screen pixels,
// cut to the draw area and not empty) handed straight to the display when it
// copies by itself, as LockDrawScreenMemImg would choose it followed by the
// bridge's BltFast; the caller has handed over from Direct3D and is not in
// software mode. False, with nothing done, when the draw needs the lock.
bool BlitPartByDisplay(const Surface2DData& part, const Rect& source_rect, const Rect& clipped, int transparent);

}  // namespace velk
