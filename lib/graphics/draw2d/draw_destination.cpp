#include "lib/graphics/draw2d/draw_destination.h"

#include "lib/graphics/screen/draw_target.h"
#include "lib/graphics/screen/screen_state.h"
#include "lib/graphics/screen/surface_2d.h"
#include "lib/graphics/screen/surface_data.h"

namespace velk {

DrawDestination::~DrawDestination() {
    ReleaseMemImg(&source_view_);
    if (locked_) UnlockDrawScreenMemImg();
}

bool DrawDestination::OpenSoftware(const Surface2DData* part) {
    dest_ = GetDrawTargetMemImg();
    if (part == nullptr) return dest_ != nullptr;
    SurfaceData* store = GetSurfaceData(part->store);
    if (store == nullptr || CheckValidMemImg(&store->image) == 0) return false;
    if (part->width == store->width && part->height == store->height) {
        source_ = &store->image;
    } else {
        DeriveMemImg(&source_view_, &store->image, part->source_x, part->source_y, part->width, part->height);
        if (CheckValidMemImg(&source_view_) == 0) return false;
        source_ = &source_view_;
    }
    return dest_ != nullptr;
}

int DrawDestination::OpenLocked(const Surface2DData* part, int blt_fast_allowed, const Rect* source_rect,
                                const Rect& dest_rect, int raw_fill, uint32_t* color) {
    if (LockDrawScreenMemImg(part, blt_fast_allowed, source_rect, &dest_rect, raw_fill, color, nullptr) != 0)
        return -1;
    DrawScreenBridge& bridge = CurrentDrawScreenBridge();
    if (bridge.direct_blit != 0) {
        direct_blit_ = true;
        return 0;
    }
    locked_ = true;
    dest_ = &bridge.dest;
    source_ = bridge.has_source != 0 ? &bridge.source : nullptr;
    origin_x_ = bridge.origin_x;
    origin_y_ = bridge.origin_y;
    return 0;
}

}  // namespace velk
