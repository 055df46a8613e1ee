#pragma once
// What the movie layer asks of the screen, which the graphics side stands
// behind (it opens movies, so the movie layer cannot call it): the present
// count and depth, the display device for YUV and overlay surfaces, the
// overlay format and alignment, the surface overlays show on, and the
// window's placement and visible region.

#include <cstdint>
#include <functional>

#include "lib/core/math.h"

namespace velk {

namespace platform {
class DdDevice;
class DdSurface;
struct DdDeviceCaps;
struct DdPixelFormat;
}  // namespace platform

// What GetClipBox says of the window's visible region; kNoContext when the
// window has no device context to ask.
enum class WindowRegion { kNoContext, kNull, kSimple, kComplex };

struct MovieScreen {
    std::function<uint64_t()> present_count = [] { return uint64_t{0}; };
    std::function<int()> color_bits = [] { return 32; };
    std::function<bool()> software_rendering = [] { return false; };
    // Null while the graphics are down.
    std::function<platform::DdDevice*()> direct_draw = [] { return static_cast<platform::DdDevice*>(nullptr); };
    // The format overlays are made in; null when there are none.
    std::function<const platform::DdPixelFormat*()> overlay_format = [] {
        return static_cast<const platform::DdPixelFormat*>(nullptr);
    };
    // The capabilities start-up stored (the overlay alignment among them).
    std::function<void(platform::DdDeviceCaps*)> device_caps = [](platform::DdDeviceCaps*) {};
    // The surface overlays show on.
    std::function<platform::DdSurface*()> main_draw_surface = [] { return static_cast<platform::DdSurface*>(nullptr); };
    std::function<bool()> window_mode = [] { return true; };
    // The client area in screen coordinates.
    std::function<Rect()> client_rect = [] { return Rect{}; };
    // The visible part of the client area, in client coordinates.
    std::function<WindowRegion(Rect*)> clip_box = [](Rect*) { return WindowRegion::kNoContext; };
};
void SetMovieScreen(const MovieScreen& screen);
const MovieScreen& CurrentMovieScreen();

}  // namespace velk
