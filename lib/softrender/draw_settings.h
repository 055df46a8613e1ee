#pragma once
// The part of the draw settings that the software draw loops read at every
// call: blend mode and parameter, draw bright and draw area. The graphics
// layer owns the settings and mirrors every change here (its blend-mode,
// bright and draw-area setters call these), so the loops never reach above
// this module.

#include <cstdint>

#include "lib/core/math.h"
#include "lib/softrender/memimg.h"

namespace velk {

struct MemImgDrawSettings {
    int blend_mode = 0;
    int blend_param = 255;
    uint8_t bright_red = 255;
    uint8_t bright_green = 255;
    uint8_t bright_blue = 255;
    // Right and bottom exclusive. Until the graphics layer sets it, it covers
    // everything: the loops clip to their destination as well.
    Rect draw_area{0, 0, INT32_MAX, INT32_MAX};

    bool BrightIsWhite() const { return bright_red == 255 && bright_green == 255 && bright_blue == 255; }
};

const MemImgDrawSettings& GetMemImgDrawSettings();
// The parameter is clamped to 0..255.
void SetMemImgDrawBlendMode(int mode, int param);
// Each byte is clamped to 0..255.
void SetMemImgDrawBright(int red, int green, int blue);
void SetMemImgDrawArea(const Rect& area);

// Where a draw into `dest` may write: the draw area cut to the destination
// view. Empty (right <= left or bottom <= top) when they do not overlap.
Rect MemImgDrawClip(const MEMIMG& dest);

}  // namespace velk
