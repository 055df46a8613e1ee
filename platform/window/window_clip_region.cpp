#include "platform/window/window_clip_region.h"

#include <algorithm>
#include <map>
#include <mutex>

#include "platform/window/window_system.h"

namespace velk::platform {

namespace {

struct CoveredAreas {
    std::mutex mutex;
    std::map<WindowHandle, Rect> areas;
};

CoveredAreas& Covered() {
    static CoveredAreas covered;
    return covered;
}

bool IsEmpty(const Rect& r) { return r.right <= r.left || r.bottom <= r.top; }

}  // namespace

ClipRegionKind GetWindowClipBox(WindowHandle window, Rect* box) {
    *box = Rect{};
    if (!IsAppWindow(window)) return ClipRegionKind::kError;
    if (IsWindowMinimized(window) || !IsWindowVisible(window)) return ClipRegionKind::kNull;
    const Rect client = GetClientArea(window);
    if (IsEmpty(client)) return ClipRegionKind::kNull;
    Rect cover;
    {
        CoveredAreas& covered = Covered();
        std::lock_guard lock(covered.mutex);
        auto found = covered.areas.find(window);
        cover = found == covered.areas.end() ? Rect{} : found->second;
    }
    const Rect on_screen = GetClientAreaOnScreen(window);
    cover = Rect{std::max(cover.left - on_screen.left, client.left), std::max(cover.top - on_screen.top, client.top),
                 std::min(cover.right - on_screen.left, client.right),
                 std::min(cover.bottom - on_screen.top, client.bottom)};
    if (IsEmpty(cover)) {
        *box = client;
        return ClipRegionKind::kSimple;
    }
    const bool full_width = cover.left == client.left && cover.right == client.right;
    const bool full_height = cover.top == client.top && cover.bottom == client.bottom;
    if (full_width && full_height) return ClipRegionKind::kNull;
    // A cover along a whole edge leaves a rectangle.
    Rect visible = client;
    if (full_width && cover.top == client.top) {
        visible.top = cover.bottom;
    } else if (full_width && cover.bottom == client.bottom) {
        visible.bottom = cover.top;
    } else if (full_height && cover.left == client.left) {
        visible.left = cover.right;
    } else if (full_height && cover.right == client.right) {
        visible.right = cover.left;
    } else {
        *box = client;
        return ClipRegionKind::kComplex;
    }
    *box = visible;
    return ClipRegionKind::kSimple;
}

void SetWindowCoveredArea(WindowHandle window, const Rect& covered_on_screen) {
    CoveredAreas& covered = Covered();
    std::lock_guard lock(covered.mutex);
    if (IsEmpty(covered_on_screen)) {
        covered.areas.erase(window);
    } else {
        covered.areas[window] = covered_on_screen;
    }
}

}  // namespace velk::platform
