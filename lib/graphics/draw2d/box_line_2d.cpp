#include "lib/graphics/draw2d/box_line_2d.h"

#include <algorithm>
#include <vector>

#include "lib/core/window/main_window.h"
#include "lib/graphics/draw2d/draw_destination.h"
#include "lib/graphics/draw_path.h"
#include "lib/graphics/draw_settings.h"
#include "lib/graphics/graph_draw.h"
#include "lib/graphics/graph_table.h"
#include "lib/graphics/screen/draw_target.h"
#include "lib/graphics/screen/screen_present.h"
#include "lib/graphics/screen/screen_state.h"
#include "lib/graphics/screen/screen_surfaces.h"
#include "lib/graphics/screen/surface_2d.h"
#include "lib/graphics/screen/surface_data.h"
#include "lib/image/color_convert.h"
#include "lib/softrender/memimg_convert.h"
#include "platform/display/display_surface.h"

namespace velk {

namespace {

constexpr uint32_t kDepthFar = 65535;

uint32_t BackgroundFor(const ColorData* color) {
    int red, green, blue;
    GetBackgroundColor(&red, &green, &blue);
    return GetColorByColorData(color, red, green, blue, 255);
}

uint32_t BackgroundScreenValue() {
    int red, green, blue;
    GetBackgroundColor(&red, &green, &blue);
    return GetColorValue(red, green, blue);
}

void FillImageWhole(MEMIMG* image, uint32_t value) {
    if (image != nullptr && CheckValidMemImg(image) != 0) FillMemImg(image, nullptr, value);
}

}  // namespace

int DrawFilledBox2D(int x1, int y1, int x2, int y2, uint32_t color) {
    if (!TwoDReady()) return -1;
    const Rect box{x1, y1, x2, y2};
    DrawDestination destination;
    if (DrawsInSoftwareMode()) {
        if (!destination.OpenSoftware(nullptr)) return -1;
        DrawMemImgFilledBox(destination.dest(), &box, color);
        return 0;
    }
    Direct3DPath().EndScene();
    Rect ordered{std::min(x1, x2), std::min(y1, y2), std::max(x1, x2), std::max(y1, y2)};
    if (destination.OpenLocked(nullptr, 0, nullptr, ordered, 1, &color) != 0) return -1;
    const Rect shifted = destination.Shift(box);
    DrawMemImgFilledBox(destination.dest(), &shifted, color);
    return 0;
}

int DrawLines2D(const LineRecord* lines, int count) {
    if (!TwoDReady()) return -1;
    DrawDestination destination;
    if (DrawsInSoftwareMode()) {
        if (!destination.OpenSoftware(nullptr)) return -1;
        DrawMemImgLines(destination.dest(), lines, count);
        return 0;
    }
    Direct3DPath().EndScene();
    int min_x = 1000000, min_y = 1000000, max_x = -1000000, max_y = -1000000;
    for (int i = 0; i < count; ++i) {
        for (const int x : {lines[i].x1, lines[i].x2}) {
            if (x < min_x) min_x = x;
            if (x >= max_x) max_x = x + 1;
        }
        for (const int y : {lines[i].y1, lines[i].y2}) {
            if (y < min_y) min_y = y;
            if (y >= max_y) max_y = y + 1;
        }
    }
    if (destination.OpenLocked(nullptr, 0, nullptr, Rect{min_x, min_y, max_x, max_y}, 0, nullptr) != 0) return -1;
    std::vector<LineRecord> shifted(lines, lines + count);
    for (LineRecord& line : shifted) {
        line.x1 = destination.x(line.x1);
        line.x2 = destination.x(line.x2);
        line.y1 = destination.y(line.y1);
        line.y2 = destination.y(line.y2);
        line.color = DrawScreenViewColor(line.color);
    }
    DrawMemImgLines(destination.dest(), shifted.data(), count);
    return 0;
}

int DrawBox2D(int x1, int y1, int x2, int y2, uint32_t color) {
    const int param = GetDrawSettings().blend_param;
    const LineRecord lines[4] = {
        {x1, y1, x2 - 1, y1, color, param},
        {x2 - 1, y1, x2 - 1, y2 - 1, color, param},
        {x2 - 1, y2 - 1, x1, y2 - 1, color, param},
        {x1, y2 - 1, x1, y1, color, param},
    };
    return DrawLines2D(lines, 4);
}

int ClearDrawScreen2D() {
    if (!TwoDReady()) return -1;
    Direct3DPath().EndScene();
    ScreenState& s = Screen();
    const int screen = GetDrawSettings().draw_screen;
    if (DrawsInSoftwareMode()) {
        // The whole target, whatever the draw area and blend mode.
        MEMIMG* target = GetDrawTargetMemImg();
        if (target != nullptr) FillImageWhole(target, BackgroundFor(target->base->color_data));
        if (s.target_z_image != &s.z_image) {
            FillImageWhole(s.target_z_image, kDepthFar);
        } else if (!s.z_image_far) {
            FillImageWhole(&s.z_image, kDepthFar);
            s.z_image_far = CheckValidMemImg(&s.z_image) != 0;
        }
        return 0;
    }
    platform::DdBltFx fx;
    fx.fill_color = BackgroundScreenValue();
    if (screen != kBackScreen && screen != kFrontScreen) {
        const GraphData* graph = GetGraphData(screen);
        if (graph == nullptr) return -1;
        if (graph->texture != 0) return 0;
        const Surface2DData* part = graph->part_count > 0 ? GetSurface2DData(graph->parts[0]) : nullptr;
        SurfaceData* store = part != nullptr ? GetSurfaceData(part->store) : nullptr;
        if (store == nullptr) return -1;
        if (CheckValidMemImg(&store->image) != 0) {
            FillImageWhole(&store->z_image, kDepthFar);
            MEMIMG* target = GetDrawTargetMemImg();
            if (target != nullptr) FillImageWhole(target, BackgroundFor(target->base->color_data));
            return 0;
        }
        const Rect area{part->source_x, part->source_y, part->source_x + part->width, part->source_y + part->height};
        if (store->z_surface) {
            platform::DdBltFx depth;
            depth.fill_depth = kDepthFar;
            store->z_surface->Blt(&area, nullptr, nullptr, platform::kDdBltDepthFill | platform::kDdBltWait, &depth);
        }
        if (store->surface)
            store->surface->Blt(&area, nullptr, nullptr, platform::kDdBltColorFill | platform::kDdBltWait, &fx);
        return 0;
    }
    platform::DdSurface* target = s.target_surface.get();
    if (target == nullptr) return 0;
    Rect area{0, 0, ScreenWidth(), ScreenHeight()};
    if (screen == kFrontScreen && GetWindowModeFlag() != 0) GetScreenWindowRect(&area);
    // Only what lies on the surface is filled (a window partly off the desktop).
    const Rect whole{0, 0, static_cast<int>(target->width()), static_cast<int>(target->height())};
    ClipRect(&area, &whole);
    if (area.right > area.left && area.bottom > area.top)
        target->Blt(&area, nullptr, nullptr, platform::kDdBltColorFill | platform::kDdBltWait, &fx);
    if (s.z_buffer) {
        platform::DdBltFx depth;
        depth.fill_depth = kDepthFar;
        const Rect screen_area{0, 0, ScreenWidth(), ScreenHeight()};
        s.z_buffer->Blt(&screen_area, nullptr, nullptr, platform::kDdBltDepthFill | platform::kDdBltWait, &depth);
    }
    return 0;
}

int GetDrawScreenGraph2D(int x1, int y1, int x2, int y2, GraphData& graph, int flag) {
    (void)flag;
    if (!TwoDReady()) return -1;
    Direct3DPath().EndScene();
    ScreenState& s = Screen();
    const DrawSettings& settings = GetDrawSettings();
    const int w = x2 - x1;
    const int h = y2 - y1;
    if (w < 1 || h < 1 || w != graph.width || h != graph.height || x1 < 0 || y1 < 0 ||
        x2 > settings.draw_screen_width || y2 > settings.draw_screen_height)
        return -1;
    const Surface2DData* part = graph.part_count > 0 ? GetSurface2DData(graph.parts[0]) : nullptr;
    SurfaceData* store = part != nullptr ? GetSurfaceData(part->store) : nullptr;
    if (store == nullptr) return -1;
    Rect source{x1, y1, x2, y2};
    MEMIMG* target_image = s.target_image != nullptr && CheckValidMemImg(s.target_image) != 0 ? s.target_image : nullptr;
    MEMIMG part_view;
    const bool graph_has_image = CheckValidMemImg(&store->image) != 0;
    if (graph_has_image)
        DeriveMemImg(&part_view, &store->image, part->source_x, part->source_y, part->width, part->height);

    if (DrawsInSoftwareMode()) {
        if (settings.draw_screen == kFrontScreen) ReadWindowToFrontMemImg();
        const int result = target_image != nullptr && CheckValidMemImg(&part_view) != 0
                               ? (BltMemImgToMemImg(&part_view, target_image, &source, 0, 0), 0)
                               : -1;
        ReleaseMemImg(&part_view);
        return result;
    }
    int origin_x = 0;
    int origin_y = 0;
    if (settings.draw_screen == kFrontScreen) {
        Rect window;
        GetScreenWindowRect(&window);
        origin_x = window.left;
        origin_y = window.top;
    }
    origin_x += s.target_x;
    origin_y += s.target_y;
    const Rect dest{part->source_x, part->source_y, part->source_x + w, part->source_y + h};
    const Rect shifted{source.left + origin_x, source.top + origin_y, source.right + origin_x, source.bottom + origin_y};
    int result = 0;
    platform::DdSurface* target = s.target_surface.get();
    if (target != nullptr && store->surface) {
        store->surface->Blt(&dest, target, &shifted, platform::kDdBltWait, nullptr);
        if (s.color_data.no_use_mask != 0) {
            platform::DdSurfaceDesc desc;
            if (store->surface->Lock(&dest, &desc, platform::kDdLockWait | platform::kDdLockWriteOnly) != platform::kDdOk) {
                result = -1;
            } else {
                SetUnusedColorBits(Rect{0, 0, w, h}, static_cast<uint8_t*>(desc.surface), desc.pitch, &s.color_data);
                store->surface->Unlock(nullptr);
            }
        }
    } else if (target_image != nullptr && CheckValidMemImg(&part_view) != 0) {
        BltMemImgToMemImg(&part_view, target_image, &source, 0, 0);
    } else if (target != nullptr && CheckValidMemImg(&part_view) != 0) {
        // The screen surface converted straight into the graph's image.
        platform::DdSurfaceDesc desc;
        if (target->Lock(&shifted, &desc, platform::kDdLockWait | platform::kDdLockReadOnly) != platform::kDdOk) {
            result = -1;
        } else {
            const Rect from{0, 0, w, h};
            BltColorConvert(part_view.pixels, part_view.base->pitch, part_view.base->color_data, desc.surface,
                            desc.pitch, &s.color_data, nullptr, 0, nullptr, 0, 0, &from, 0, 0, 0, kDitherNone, 0, 0, 0, 0);
            SetUnusedColorBits(from, part_view.pixels, part_view.base->pitch, part_view.base->color_data);
            target->Unlock(nullptr);
        }
    } else if (target_image != nullptr && store->surface) {
        platform::DdSurfaceDesc desc;
        if (store->surface->Lock(&dest, &desc, platform::kDdLockWait) != platform::kDdOk) {
            result = -1;
        } else {
            BltColorConvert(desc.surface, desc.pitch, &store->surface_color, target_image->pixels,
                            target_image->base->pitch, target_image->base->color_data, nullptr, 0, nullptr,
                            0, 0, &source, 0, 0, 0, kDitherNone, 0, 0, 0, 0);
            SetUnusedColorBits(Rect{0, 0, w, h}, static_cast<uint8_t*>(desc.surface), desc.pitch, &s.color_data);
            store->surface->Unlock(nullptr);
        }
    } else {
        result = -1;
    }
    ReleaseMemImg(&part_view);
    return result;
}

}  // namespace velk
