#pragma once
// The main window's procedure.

#include "lib/core/math.h"
#include "platform/window/window_messages.h"

namespace velk {

platform::MessageResult MainWindowProc(platform::WindowHandle window, uint32_t message, platform::WParam wparam,
                                       platform::LParam lparam);
int UpdateClientRectOnMove(platform::LParam lparam);

// Keeps the client area in the draw screen's aspect while the user drags an
// edge or corner (sizing edge codes 1-8): moves the proposed rectangle's
// right or bottom edge and returns the new client width.
int KeepAspectWhileSizing(int edge, Rect* proposed, int frame_width, int frame_height, int screen_width,
                          int screen_height);

}  // namespace velk
