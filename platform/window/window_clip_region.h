#pragma once
// The visible region of a window's client area, as GetClipBox on the
// window's device context reports it: nothing (hidden, minimised or wholly
// covered), one rectangle, or something more complex (covered in part, not
// along a whole edge). What other windows cover is told to the stand-in by
// whoever knows it (the back-ends know nothing of other windows; tests do).

#include "platform/base/rect.h"
#include "platform/window/window_messages.h"

namespace velk::platform {

// The values GetClipBox returns.
enum class ClipRegionKind { kError = 0, kNull = 1, kSimple = 2, kComplex = 3 };

// The bounding box of the visible region, in client coordinates, into *box.
ClipRegionKind GetWindowClipBox(WindowHandle window, Rect* box);

// What other windows cover of this window, in screen coordinates; an empty
// rectangle: nothing.
void SetWindowCoveredArea(WindowHandle window, const Rect& covered_on_screen);

}  // namespace velk::platform
