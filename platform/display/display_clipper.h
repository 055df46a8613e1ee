#pragma once
// The clipper of the display stand-in: bound to a window, it limits blits
// into the primary surface to that window's client area.

#include <memory>

#include "platform/display/display_types.h"
#include "platform/window/window_messages.h"

namespace velk::platform {

class DdClipper {
public:
    DdResult SetWindow(WindowHandle window) {
        window_ = window;
        return kDdOk;
    }
    WindowHandle window() const { return window_; }

private:
    WindowHandle window_ = 0;
};

}  // namespace velk::platform
