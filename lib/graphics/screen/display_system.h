#pragma once
// Starting and ending the display side, the choice between hardware drawing
// and software rendering, and display-mode changes with their fall-backs
// (without the refresh rate, the previous mode, then 640 x 480 x 16), with
// the two measurements the present uses: the faster surface copy and the
// length of one display frame.

#include <cstdint>

#include "platform/window/window_messages.h"

namespace velk {

int InitDirectDraw();
int TermDirectDraw();
int CreateDirectDrawObject();
int CreateClipper();
int AttachClipper();
int ReleaseClipper();
// 0, -1, or -2 when the mode fell back to 640 x 480 x 16.
int ChangeDisplayMode(int width, int height, int color_bits, int force, int refresh_rate);
int SetScreenModeBody(int width, int height, int color_bits, int refresh_rate);
int SetUseHardwareRenderFlagBody(int flag);
int SetUseDirectDrawFlagBody(int flag);
int SetSoftRenderRequest(int flag);
int GetSoftRenderRequestFlag();
int SetDisplayModeCore(int desktop_width, int desktop_height, int width, int height, int bits, int* out_bits,
                       uint32_t* out_cooperative_flags, int window_mode, int* mode_changed,
                       platform::WindowHandle window);
int RestoreDisplayModeBody();
int RestoreDisplayModeIfChanged();
int ReapplyDisplayMode();
int ReleaseDirectDrawObject();
int RecreateDirectDrawObject();
// The Direct3D side's start and end, run by every display-mode change (end
// before the main surfaces go, start once they exist again, in hardware
// drawing only) and by the display's end; null for none.
void SetDirect3DStartEnd(int (*start)(), int (*end)());

// The options the library's start-up passes on.
void SetMultithreadedCooperativeLevel(int flag);
void SetFpuPreserveOption(int flag);

}  // namespace velk
