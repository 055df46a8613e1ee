#pragma once
// Starting and ending the graphics: the display side is set up (falling back
// to software rendering once when the display cannot be used), the graph
// front-end gets its host and its 2D path, and the window gets the graphics
// services it calls. Also the full rebuild after the display was lost and
// the restore of surfaces lost while the window was inactive.

namespace velk {

// 0; a display that cannot be set up even in software rendering is fatal.
int InitGraphicsSystem();
int TermGraphicsSystem();
// The rebuild after a display change: surfaces, device and mode made again,
// the screen cleared and shown, every graph restored (restore callback, or
// from its file).
int RestoreGraphicsSystem();
// After activation: lost screen surfaces are restored, and when a graph's
// pixels were lost every graph is restored.
int RestoreLostSurfaces();

}  // namespace velk
