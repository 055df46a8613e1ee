#pragma once
// The screen's surfaces and pixel format: reading the display's format into
// the screen's colour descriptor, and making, releasing and restoring the
// surface set of a mode (primary, back, work surfaces, depth buffer) or, in
// software rendering, the software images of the front and back screens.

namespace velk {

int SetupScreenColorData();
int CreateMainSurfaces();
int ReleaseMainSurfaces();
int RestoreMainSurfaces();
int CreateScreenPalette();
int RefreshScreenPalette();

// The colour the screens are filled with when made and cleared (0..255 each).
int SetBackgroundColor(int red, int green, int blue);
void GetBackgroundColor(int* red, int* green, int* blue);
// Start-up options: screen surfaces are not made at all (no graphics).
void SetNoGraphicsOption(int flag);

// The back screen's software image re-made over the back surface after the
// surface was locked again (the present unlocks it for one copy).
int RelockBackImage();

}  // namespace velk
