#include "lib/softrender/draw_settings.h"

namespace velk {

namespace {

MemImgDrawSettings g_settings;

uint8_t ClampByte(int v) { return static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v)); }

}  // namespace

const MemImgDrawSettings& GetMemImgDrawSettings() { return g_settings; }

void SetMemImgDrawBlendMode(int mode, int param) {
    g_settings.blend_mode = mode;
    g_settings.blend_param = ClampByte(param);
}

void SetMemImgDrawBright(int red, int green, int blue) {
    g_settings.bright_red = ClampByte(red);
    g_settings.bright_green = ClampByte(green);
    g_settings.bright_blue = ClampByte(blue);
}

void SetMemImgDrawArea(const Rect& area) { g_settings.draw_area = area; }

Rect MemImgDrawClip(const MEMIMG& dest) {
    const Rect& area = g_settings.draw_area;
    Rect clip;
    clip.left = area.left > 0 ? area.left : 0;
    clip.top = area.top > 0 ? area.top : 0;
    clip.right = area.right < dest.width ? area.right : dest.width;
    clip.bottom = area.bottom < dest.height ? area.bottom : dest.height;
    return clip;
}

}  // namespace velk
