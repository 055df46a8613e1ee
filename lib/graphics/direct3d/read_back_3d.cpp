#include <algorithm>
#include <utility>
#include <vector>

#include "lib/core/log.h"
#include "lib/graphics/direct3d/device_3d.h"
#include "lib/graphics/direct3d/direct3d_log_texts.h"
#include "lib/graphics/direct3d/graph_draw_3d.h"
#include "lib/graphics/direct3d/read_back_3d.h"
#include "lib/graphics/direct3d/render_state_3d.h"
#include "lib/graphics/direct3d/surface_3d.h"
#include "lib/graphics/draw_path.h"
#include "lib/graphics/draw_settings.h"
#include "lib/graphics/screen/screen_state.h"
#include "lib/graphics/screen/surface_data.h"
#include "lib/image/color_convert.h"

namespace velk {

namespace {

using platform::DdSurface;

// One piece of a read-back: a rectangle of the source to a place in a
// part's texture.
struct Piece {
    Rect from;
    int to_x, to_y;
    int part;
};

struct ReadBack {
    DdSurface* source = nullptr;
    ColorData source_color;
    std::vector<Piece> pieces;
};

using Method = int (*)(const ReadBack& job);

SurfaceData* StoreOf(int part) {
    const Surface3DData* p = GetSurface3DData(part);
    return p != nullptr ? GetSurfaceData(p->surface_data) : nullptr;
}

// Locks both sides and converts the pixels.
int LockAndConvert(const ReadBack& job) {
    for (const Piece& piece : job.pieces) {
        SurfaceData* store = StoreOf(piece.part);
        if (store == nullptr || !store->surface) return -1;
        platform::DdSurfaceDesc source_desc, dest_desc;
        const platform::DdResult locked = job.source->Lock(nullptr, &source_desc, platform::kDdLockWait |
                                                                                       platform::kDdLockReadOnly);
        if (locked != platform::kDdOk) return WriteLogFormat(direct3d_log::kMethod0SourceLock, locked);
        const platform::DdResult dest_locked =
            store->surface->Lock(nullptr, &dest_desc, platform::kDdLockWait | platform::kDdLockWriteOnly);
        if (dest_locked != platform::kDdOk) {
            job.source->Unlock(nullptr);
            return WriteLogFormat(direct3d_log::kMethod0DestLock, dest_locked);
        }
        BltColorConvert(dest_desc.surface, dest_desc.pitch, &store->surface_color, source_desc.surface,
                        source_desc.pitch, &job.source_color, nullptr, 0, nullptr, piece.to_x, piece.to_y,
                        &piece.from, 0, 0, 0, kDitherNone, 0, 0, 0, 0);
        store->surface->Unlock(nullptr);
        job.source->Unlock(nullptr);
    }
    return 0;
}

// A plain surface copy: only between surfaces of one format.
int FastCopy(const ReadBack& job) {
    for (const Piece& piece : job.pieces) {
        SurfaceData* store = StoreOf(piece.part);
        if (store == nullptr || !store->surface) return -1;
        const platform::DdResult result = store->surface->BltFast(piece.to_x, piece.to_y, job.source, &piece.from,
                                                                  platform::kDdBltFastNoColorKey |
                                                                      platform::kDdBltFastWait);
        if (result != platform::kDdOk) return WriteLogFormat(direct3d_log::kMethod1BltFast, result);
    }
    return 0;
}

// The GDI copy into a work texture of the destination's format, then
// converted into the destination.
int GdiThroughWorkTexture(const ReadBack& job) {
    for (const Piece& piece : job.pieces) {
        SurfaceData* store = StoreOf(piece.part);
        if (store == nullptr || !store->surface || !Screen().device) return -1;
        platform::DdSurfaceDesc desc;
        desc.flags = platform::kDdsdCaps | platform::kDdsdWidth | platform::kDdsdHeight | platform::kDdsdPixelFormat;
        desc.caps = platform::kDdsCapsSystemMemory | platform::kDdsCapsTexture;
        desc.width = store->width;
        desc.height = store->height;
        store->surface->GetPixelFormat(&desc.pixel_format);
        std::shared_ptr<DdSurface> work;
        const platform::DdResult made = Screen().device->CreateSurface(desc, &work);
        if (made != platform::kDdOk) return WriteLogFormat(direct3d_log::kMethod2WorkCreate, made);
        const platform::DdResult copied =
            platform::GdiCopySurfaceRect(*work, piece.to_x, piece.to_y, *job.source, piece.from);
        if (copied != platform::kDdOk)
            return WriteLogFormat(direct3d_log::kMethod2BitBlt, static_cast<unsigned>(copied));
        const Rect area{piece.to_x, piece.to_y, piece.to_x + piece.from.right - piece.from.left,
                        piece.to_y + piece.from.bottom - piece.from.top};
        if (store->surface->BltFast(piece.to_x, piece.to_y, work.get(), &area, platform::kDdBltFastWait) !=
            platform::kDdOk)
            return WriteLogFormat(direct3d_log::kMethod2DestLock, -1);
    }
    return 0;
}

// The GDI copy straight into the destination.
int GdiStraight(const ReadBack& job) {
    for (const Piece& piece : job.pieces) {
        SurfaceData* store = StoreOf(piece.part);
        if (store == nullptr || !store->surface) return -1;
        const platform::DdResult copied =
            platform::GdiCopySurfaceRect(*store->surface, piece.to_x, piece.to_y, *job.source, piece.from);
        if (copied != platform::kDdOk)
            return WriteLogFormat(direct3d_log::kMethod3BitBlt, static_cast<unsigned>(copied));
    }
    return 0;
}

// The GDI copy into a whole work texture, loaded into the destination by
// the device.
int GdiThenLoad(const ReadBack& job) {
    for (const Piece& piece : job.pieces) {
        SurfaceData* store = StoreOf(piece.part);
        platform::D3dDevice* device = GetDevice3DInterface();
        if (store == nullptr || !store->surface || device == nullptr || !Screen().device) return -1;
        platform::DdSurfaceDesc desc;
        desc.flags = platform::kDdsdCaps | platform::kDdsdWidth | platform::kDdsdHeight | platform::kDdsdPixelFormat;
        desc.caps = platform::kDdsCapsSystemMemory | platform::kDdsCapsTexture;
        desc.width = store->width;
        desc.height = store->height;
        store->surface->GetPixelFormat(&desc.pixel_format);
        std::shared_ptr<DdSurface> work;
        const platform::DdResult made = Screen().device->CreateSurface(desc, &work);
        if (made != platform::kDdOk) return WriteLogFormat(direct3d_log::kMethod4WorkCreate, made);
        // The rest of the work texture keeps what the destination holds.
        work->BltFast(0, 0, store->surface.get(), nullptr, platform::kDdBltFastWait);
        const platform::DdResult copied =
            platform::GdiCopySurfaceRect(*work, piece.to_x, piece.to_y, *job.source, piece.from);
        if (copied != platform::kDdOk)
            return WriteLogFormat(direct3d_log::kMethod4BitBlt, static_cast<unsigned>(copied));
        if (device->Load(*store->surface, 0, 0, *work, nullptr) != platform::kDdOk) return -1;
    }
    return 0;
}

// In the order they are tried.
constexpr Method kMethods[5] = {LockAndConvert, FastCopy, GdiThroughWorkTexture, GdiStraight, GdiThenLoad};

uint32_t g_refused_methods = 0;
std::vector<int> g_tried_methods;

}  // namespace

void SetRefusedReadBackMethods(uint32_t mask) { g_refused_methods = mask; }

std::vector<int> TakeTriedReadBackMethods() { return std::exchange(g_tried_methods, {}); }

int GetDrawScreenGraphD3D(int x1, int y1, int x2, int y2, GraphData& graph, int whole_desktop) {
    Direct3DContext& c = D3D();
    if (!c.object) return -1;
    if (c.draws_disabled != 0) return 0;
    FlushVertexBufferD3D();
    EndSceneD3D();
    const Surface3DData* first = graph.part_count > 0 ? GetSurface3DData(graph.parts[0]) : nullptr;
    const SurfaceData* first_store = first != nullptr ? GetSurfaceData(first->surface_data) : nullptr;
    if (first_store == nullptr) return -1;
    int& memory = c.read_back_memory[(first_store->params.alpha_channel != 0 || first_store->params.alpha_test != 0)
                                         ? 1
                                         : 0];

    ReadBack job;
    const Device3D* device = CurrentDevice3D();
    job.source = GetDrawTargetSurface();
    if (job.source == nullptr && device != nullptr) job.source = device->render_target.get();
    bool valid = job.source != nullptr;
    if (valid) {
        platform::DdPixelFormat format;
        job.source->GetPixelFormat(&format);
        CreateColorDataFromPixelFormat(&format, &job.source_color);
        const DrawSettings& s = GetDrawSettings();
        Rect area{0, 0, s.draw_screen_width, s.draw_screen_height};
        int ox = s.window_placement.left, oy = s.window_placement.top;
        if (whole_desktop == 0 && Host().WindowMode() && s.draw_screen == kFrontScreen &&
            IsDrawTargetWindowPrimary() != 0) {
            area = Rect{0, 0, Host().DesktopWidth(), Host().DesktopHeight()};
            ox = oy = 0;
        }
        area.right += ox;
        area.bottom += oy;
        valid = x1 >= 0 && x1 < x2 && y1 >= 0 && y1 < y2 && x1 + ox < area.right && y1 + oy < area.bottom &&
                graph.width >= x2 - x1 && graph.height >= y2 - y1;
        for (int i = 0; valid && i < graph.part_count; ++i) {
            const Surface3DData* part = GetSurface3DData(graph.parts[i]);
            if (part == nullptr) {
                valid = false;
                break;
            }
            Rect from{x1 + part->x + ox, y1 + part->y + oy, x1 + part->x + ox + part->width,
                      y1 + part->y + oy + part->height};
            from.right = std::min(from.right, area.right);
            from.bottom = std::min(from.bottom, area.bottom);
            if (from.right <= from.left || from.bottom <= from.top) continue;
            job.pieces.push_back(Piece{from, part->texture_x, part->texture_y, graph.parts[i]});
        }
    }
    auto run = [&](int index) {
        g_tried_methods.push_back(index);
        if (!valid || (g_refused_methods & (1u << index)) != 0) return -1;
        const int result = kMethods[index](job);
        for (const Piece& piece : job.pieces)
            if (const Surface3DData* part = GetSurface3DData(piece.part)) SetSurfaceDataColorKey(part->surface_data);
        return result;
    };
    if (memory >= 0 && memory < 5) {
        const int result = run(memory);
        if (result >= 0) return result;
    }
    for (memory = 0; memory < 5; ++memory)
        if (run(memory) == 0) return 0;
    memory = -1;
    return -1;
}

}  // namespace velk
