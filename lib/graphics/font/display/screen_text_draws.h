#pragma once
// Joins the string draws to the screen side and runs the font side with
// graph management. The graphics start-up installs the screen side for the
// string draws; graph management's start starts font management (the default
// font made again) and its end ends it (every font deleted). A display-mode
// change keeps the default font's face, size and thickness across that
// restart. After the display was rebuilt (graphs restored) every font is made
// again in its own slot.

namespace velk {

void InstallFontsOnScreen();
void UninstallFontsOnScreen();
// Installs and starts font management / ends it and uninstalls.
int StartFontsOnScreen();
int EndFontsOnScreen();
int RestoreFontsOnScreen();
// Before a display-mode change: remembers the default font when there is
// one. After it: applies what was remembered, once.
void KeepDefaultFontForModeChange();
void RemakeKeptDefaultFont();

}  // namespace velk
