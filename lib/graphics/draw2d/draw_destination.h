#pragma once
// Where a 2D draw's pixels go, in one form for both modes: the software
// image to draw into and the draw-screen position of its pixel (0, 0).
// Software mode draws straight into the target's image; DirectDraw mode
// locks the target through the bridge for the one draw and unlocks it when
// the destination goes out of scope.

#include <cstdint>

#include "lib/core/math.h"
#include "lib/graphics/screen/screen_state.h"
#include "lib/softrender/memimg.h"

namespace velk {

struct Surface2DData;
struct SurfaceData;

class DrawDestination {
public:
    DrawDestination() = default;
    ~DrawDestination();
    DrawDestination(const DrawDestination&) = delete;
    DrawDestination& operator=(const DrawDestination&) = delete;

    // Software mode: the target's image (null when there is none). The
    // source, when a part is given, is its store's image or a view of it.
    bool OpenSoftware(const Surface2DData* part);
    // DirectDraw mode: the bridge's lock; -1 when nothing can be drawn.
    int OpenLocked(const Surface2DData* part, int blt_fast_allowed, const Rect* source_rect, const Rect& dest_rect,
                   int raw_fill, uint32_t* color);

    MEMIMG* dest() const { return dest_; }
    const MEMIMG* source() const { return source_; }
    int x(int draw_x) const { return draw_x - origin_x_; }
    int y(int draw_y) const { return draw_y - origin_y_; }
    Rect Shift(const Rect& r) const {
        return Rect{r.left - origin_x_, r.top - origin_y_, r.right - origin_x_, r.bottom - origin_y_};
    }
    bool direct_blit() const { return direct_blit_; }

private:
    MEMIMG* dest_ = nullptr;
    const MEMIMG* source_ = nullptr;
    MEMIMG source_view_;
    int origin_x_ = 0;
    int origin_y_ = 0;
    bool locked_ = false;
    bool direct_blit_ = false;
};

// Software mode: software rendering on a screen that is not 8-bit.
inline bool DrawsInSoftwareMode() { return SoftwareMode(); }
// The common guard: DirectDraw is switched off or its object exists.
inline bool TwoDReady() { return !DirectDrawMissing(); }

}  // namespace velk
