#pragma once
// Joins the string draws to the screen side and starts and ends font
// management with the graphics. The graphics start-up calls
// StartFontsOnScreen once the screen exists; its end calls EndFontsOnScreen.
// After the display was rebuilt (graphs restored) it calls
// RestoreFontsOnScreen, which makes every font again in its own slot.

namespace velk {

int StartFontsOnScreen();
int EndFontsOnScreen();
int RestoreFontsOnScreen();

}  // namespace velk
