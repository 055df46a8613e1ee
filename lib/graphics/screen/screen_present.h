#pragma once
// Bringing the finished frame to the display: the per-frame present (a flip
// in full-screen hardware mode, else a copy of the back screen into the
// window scaled by the window size rate), the paced vertical-blank waits,
// GDI-visible presentation, the software front screen's round trips through
// the window, and saving a rectangle of the draw screen to an image file.

#include "lib/core/math.h"

namespace velk {

int FlipScreenBody();
// null: the whole back screen.
int CopyBackBufferToWindow(const Rect* rect);
int CopyFullBackBufferToWindow();
int WaitVSync(int count);
void WaitVBlankPaced();
int SetFlipToGDIMode(int flag);
int GetFlipToGDIMode();
int CopyFrontMemImgToWindow(const Rect* rect);
int ReadWindowToFrontMemImg();
// The temporary primary, which stands in for the front screen where the
// system composes the desktop: the window's content copied into it, it
// copied into the window, and the timer's tick that does the latter. 0.
int CopyWindowToTempPrimary();
int CopyTempPrimaryToWindow();
int FrontScreenTimerProc();
// format 0 BMP, 1 JPEG, 2 PNG.
int SaveDrawScreenToFile(int x1, int y1, int x2, int y2, const char* file_name, int format, int jpeg_quality,
                         int jpeg_option, int png_level);
// A 640 x 480 screen shown from its upper-left quarter (tests and the
// settings that ask for it).
int SetHalfSizeMode(int flag);

}  // namespace velk
