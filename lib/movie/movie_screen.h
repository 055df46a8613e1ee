#pragma once
// What the movie layer asks of the screen, which the graphics side stands
// behind (it opens movies, so the movie layer cannot call it): the present
// count and depth, the display device for YUV and overlay surfaces, the
// overlay format and alignment, the surface overlays show on, and the
// window's placement and visible region.

#include <cstdint>
#include <functional>

#include "platform/base/rect.h"

namespace velk {

namespace platform {
class DdDevice;
class DdSurface;
struct DdDeviceCaps;
struct DdPixelFormat;
}  // namespace platform

// What GetClipBox says of the window's visible region.
enum class WindowRegion { kNull, kSimple, kComplex };

struct MovieScreen {
    std::function<uint64_t()> present_count = [] { return uint64_t{0}; };
    std::function<int()> color_bits = [] { return 32; };
    std::function<bool()> software_rendering = [] { return false; };
    // Null while the graphics are down.
    std::function<platform::DdDevice*()> direct_draw = [] { return static_cast<platform::DdDevice*>(nullptr); };
};
void SetMovieScreen(const MovieScreen& screen);
const MovieScreen& CurrentMovieScreen();

}  // namespace velk
