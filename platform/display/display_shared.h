#pragma once
// What a device and its surfaces share: the cooperative window and level and
// the list of surfaces made, so loss can reach them all. Internal to the
// stand-in.

#include <memory>
#include <vector>

#include "platform/display/display_types.h"
#include "platform/window/window_messages.h"

namespace velk::platform {

class DdSurface;

struct DisplayShared {
    WindowHandle window = 0;
    uint32_t cooperative_flags = 0;
    std::vector<std::weak_ptr<DdSurface>> surfaces;
    // Shown overlays, the one shown last on top.
    std::vector<std::weak_ptr<DdSurface>> shown_overlays;

    bool exclusive() const { return (cooperative_flags & kDdsclExclusive) != 0; }
    void Register(const std::shared_ptr<DdSurface>& surface);
    void MarkAllLost();
};

// Every device's shared record that is still alive.
std::vector<std::weak_ptr<DisplayShared>>& LiveDisplays();

}  // namespace velk::platform
