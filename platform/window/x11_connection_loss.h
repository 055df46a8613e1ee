#pragma once
// A broken connection to the X server. Xlib's own answer is to end the
// process from inside whatever call noticed it, which runs the exit
// handlers while the display is dead: the window back-end's clean-up then
// waits forever for an event that cannot come. Watching the connection
// turns the loss into a flag the back-end reads instead.

namespace velk::platform {

// Makes Xlib note a lost connection on `display` (an X11 `Display*`) and
// return to its caller instead of ending the process. Connections that are
// not watched (a message box's own) still end the process, but the flag is
// set first so that the clean-up on the way out leaves the display alone.
void WatchX11Connection(void* display);

// Whether any X connection of the process was lost.
bool X11ConnectionLost();

}  // namespace velk::platform
