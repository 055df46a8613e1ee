#include "lib/graphics/font/text_draw_screen.h"

namespace velk {

namespace {

TextDrawScreen* g_screen = nullptr;

}  // namespace

SoftwareTextDrawScreen& DefaultSoftwareTextDrawScreen() {
    static SoftwareTextDrawScreen screen;
    return screen;
}

void SetTextDrawScreen(TextDrawScreen* screen) { g_screen = screen; }

TextDrawScreen& GetTextDrawScreen() { return g_screen != nullptr ? *g_screen : DefaultSoftwareTextDrawScreen(); }

}  // namespace velk
