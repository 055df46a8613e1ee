#include "lib/graphics/font/text_draw_screen.h"

namespace velk {

namespace {

// (Constant-initialized, so that it stands before any other object's
// constructor could ask for the screen.)
constinit SoftwareTextDrawScreen g_default_screen;

}  // namespace

constinit TextDrawScreen* text_draw_screen_detail::g_screen = &g_default_screen;

SoftwareTextDrawScreen& DefaultSoftwareTextDrawScreen() { return g_default_screen; }

void SetTextDrawScreen(TextDrawScreen* screen) {
    text_draw_screen_detail::g_screen = screen != nullptr ? screen : &g_default_screen;
}

}  // namespace velk
