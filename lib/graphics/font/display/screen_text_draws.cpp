#include "lib/graphics/font/display/screen_text_draws.h"

#include <string>

#include "lib/graphics/direct3d/device_3d.h"
#include "lib/graphics/font/font_data.h"
#include "lib/graphics/font/font_handles.h"
#include "lib/graphics/font/font_table.h"
#include "lib/graphics/font/text_draw_2d.h"
#include "lib/graphics/font/text_draw_screen.h"
#include "lib/graphics/screen/draw_target.h"
#include "lib/graphics/screen/screen_state.h"

namespace velk {

namespace {

class ScreenTextDrawScreen final : public TextDrawScreen {
public:
    bool CanDraw() const override { return !DirectDrawMissing(); }
    bool GraphicsSuspended() const override { return Screen().graphics_suspended != 0; }
    bool SoftwareMode() const override { return velk::SoftwareMode(); }
    MEMIMG* TargetImage() override { return GetDrawTargetMemImg(); }
    const MEMIMG* BlendGraphImage() override { return GetBlendGraphMemImg(); }

    int Lock(const Rect& dest, int overwrite, uint32_t* color1, uint32_t* color2, LockedDrawScreen* out) override {
        *out = LockedDrawScreen{};
        if (LockDrawScreenMemImg(nullptr, 0, nullptr, &dest, overwrite, color1, color2) != 0) {
            return -1;
        }
        DrawScreenBridge& bridge = CurrentDrawScreenBridge();
        out->image = CheckValidMemImg(&bridge.dest) != 0 ? &bridge.dest : nullptr;
        out->origin_x = bridge.origin_x;
        out->origin_y = bridge.origin_y;
        return 0;
    }

    void Unlock() override { UnlockDrawScreenMemImg(); }
    bool LocksInPlace() const override { return DrawScreenLocksInPlace(); }

    bool GlyphTextureFormatsOffered() const override {
        const platform::DdPixelFormat* four = GetTextureFormatPixelFormat(2);
        const platform::DdPixelFormat* one = GetTextureFormatPixelFormat(4);
        return four != nullptr && one != nullptr && four->rgb_bit_count == 16 && four->alpha_mask == 0xF000 &&
               four->red_mask == 0x0F00 && one->rgb_bit_count == 16 && one->alpha_mask == 0x8000 &&
               one->red_mask == 0x7C00;
    }

    bool Direct3DDrawsDisabled() const override { return D3D().draws_disabled != 0; }
};

ScreenTextDrawScreen& Instance() {
    static ScreenTextDrawScreen screen;
    return screen;
}

struct KeptDefaultFont {
    bool kept = false;
    std::string face;
    int charset = 0;
    int size = 0;
    int thickness = 0;
};

KeptDefaultFont& Kept() {
    static KeptDefaultFont kept;
    return kept;
}

}  // namespace

void InstallFontsOnScreen() { SetTextDrawScreen(&Instance()); }

void UninstallFontsOnScreen() { SetTextDrawScreen(nullptr); }

int StartFontsOnScreen() {
    InstallFontsOnScreen();
    MarkFontCacheScreensLost();
    return InitFontManagement();
}

int EndFontsOnScreen() {
    const int result = EndFontManagement();
    UninstallFontsOnScreen();
    return result;
}

int RestoreFontsOnScreen() {
    MarkFontCacheScreensLost();
    return RecreateAllFontHandles();
}

void KeepDefaultFontForModeChange() {
    KeptDefaultFont& kept = Kept();
    const FontData* font = GetFontData(GetDefaultFontHandle());
    kept.kept = font != nullptr;
    if (!kept.kept) return;
    kept.face = font->face_name;
    kept.charset = font->charset;
    kept.size = font->size;
    kept.thickness = font->thickness;
}

void RemakeKeptDefaultFont() {
    KeptDefaultFont& kept = Kept();
    if (!kept.kept) return;
    kept.kept = false;
    SetDefaultFontFace(kept.face.c_str(), kept.charset);
    SetDefaultFontSizeAndThickness(kept.size, kept.thickness);
}

}  // namespace velk
