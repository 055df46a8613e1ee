#pragma once
// The public screen operations whose bodies the screen side holds under
// other names: plain forwards, and the PNG save that fixes the format.

#include "platform/display/display_types.h"

namespace velk {

// 1 draws with display surfaces, 0 renders in software in system memory.
// Returns 0.
int SetUseHardwareRenderFlag(int flag);
// 0 switches the display device off, and with it hardware and 3D drawing.
// Returns 0.
int SetUseDirectDrawFlag(int flag);
// The display's pixel format as stored at start-up.
const platform::DdPixelFormat* GetDisplayPixelFormat();
// Presents the back screen; -1 when graphics are not set up.
int FlipScreen();
// -1 keeps a value. 0, -1 on bad values, -2 when it fell back to 640 x 480
// with 16 bits.
int SetScreenMode(int width, int height, int color_bits, int refresh_rate);
// Saves a rectangle of the draw screen as PNG; compression level -1 is the
// writer's default, 0-9 zlib's levels. 0, -1.
int SaveDrawScreenToPNG(int x1, int y1, int x2, int y2, const char* file_name, int compression_level);

}  // namespace velk
