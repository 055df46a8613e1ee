#pragma once
// What the string draws need of the screen side: whether they may draw, where
// software drawing lands, and, when the screen lies in display surfaces, a
// lock that publishes a software view of the draw screen for a rectangle.
// The screen side installs its own; until then (and in tests) a software
// screen stands in whose target is any software image.

#include <cstdint>

#include "lib/core/math.h"
#include "lib/softrender/memimg.h"

namespace velk {

struct LockedDrawScreen {
    MEMIMG* image = nullptr;
    int origin_x = 0;
    int origin_y = 0;
};

class TextDrawScreen {
public:
    virtual ~TextDrawScreen() = default;

    // The guard of every 2D draw: false while the display device is needed
    // and missing.
    virtual bool CanDraw() const = 0;
    // While graphics are suspended nothing is drawn.
    virtual bool GraphicsSuspended() const { return false; }
    // Software rendering on a screen that is not 8-bit: draws go straight
    // into TargetImage().
    virtual bool SoftwareMode() const = 0;
    // Software mode: the mask screen's image while it is in use, else the
    // draw target's image. Null when there is none.
    virtual MEMIMG* TargetImage() = 0;
    // The blend graph's image, null when no blend graph is set.
    virtual const MEMIMG* BlendGraphImage() { return nullptr; }

    // Display mode only: ends an open Direct3D scene and sends its vertices.
    virtual void FinishDirect3D() {}
    // Display mode only: prepares the draw screen for writing `dest`
    // (draw-screen pixels) and publishes a software view of it with the
    // draw-screen position of the view's pixel (0, 0). `overwrite` 1: the draw
    // writes without reading. When the view is a copy in another format, the
    // colours behind the pointers (either may be null) are converted into it.
    // 0, or -1 when nothing of `dest` can be drawn. Every 0 is followed by
    // Unlock().
    virtual int Lock(const Rect& dest, int overwrite, uint32_t* color1, uint32_t* color2, LockedDrawScreen* out) {
        return -1;
    }
    virtual void Unlock() {}
    // Display mode only: whether Lock's view for a draw that may blend is the
    // screen's own pixels in the renderer's format rather than a converted
    // copy, so that text can be written into it as into a software image.
    virtual bool LocksInPlace() const { return false; }

    // The Direct3D side. Whether the device offers the two 16-bit texture
    // formats a glyph texture needs (4 bits of alpha with 4-4-4 colour, and
    // 1 bit of alpha with 5-5-5 colour).
    virtual bool GlyphTextureFormatsOffered() const { return false; }
    // Whether the current draw target refuses Direct3D draws.
    virtual bool Direct3DDrawsDisabled() const { return false; }
};

// A screen that is a software image: always in software mode, drawing into
// the image given by SetTarget (none at first).
class SoftwareTextDrawScreen : public TextDrawScreen {
public:
    bool CanDraw() const override { return true; }
    bool SoftwareMode() const override { return true; }
    MEMIMG* TargetImage() override { return target_; }
    const MEMIMG* BlendGraphImage() override { return blend_; }
    void SetTarget(MEMIMG* target) { target_ = target; }
    void SetBlendGraphImage(const MEMIMG* blend) { blend_ = blend; }

private:
    MEMIMG* target_ = nullptr;
    const MEMIMG* blend_ = nullptr;
};

// Installs the screen (null: the built-in software screen). It must outlive
// its use.
void SetTextDrawScreen(TextDrawScreen* screen);
namespace text_draw_screen_detail {
// Never null; written only by SetTextDrawScreen.
extern TextDrawScreen* g_screen;
}  // namespace text_draw_screen_detail
// Inline: every string's draw asks for it.
inline TextDrawScreen& GetTextDrawScreen() { return *text_draw_screen_detail::g_screen; }
// The built-in software screen, for a caller that only has software images.
SoftwareTextDrawScreen& DefaultSoftwareTextDrawScreen();

}  // namespace velk
