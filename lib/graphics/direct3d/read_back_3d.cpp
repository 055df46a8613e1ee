#include "lib/graphics/direct3d/read_back_3d.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "lib/core/log.h"
#include "lib/core/window/window_services.h"
#include "lib/graphics/direct3d/device_3d.h"
#include "lib/graphics/direct3d/direct3d_log_texts.h"
#include "lib/graphics/direct3d/graph_draw_3d.h"
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
    int x1 = 0, y1 = 0;  // the requested rectangle's corner on the draw screen
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
        const platform::DdResult locked =
            job.source->Lock(nullptr, &source_desc, platform::kDdLockWait | platform::kDdLockReadOnly);
        if (locked != platform::kDdOk) return WriteLogFormat(direct3d_log::kMethod0SourceLock, locked);
        const platform::DdResult dest_locked =
            store->surface->Lock(nullptr, &dest_desc, platform::kDdLockWait | platform::kDdLockWriteOnly);
        if (dest_locked != platform::kDdOk) {
            job.source->Unlock(nullptr);
            return WriteLogFormat(direct3d_log::kMethod0DestLock, dest_locked);
        }
        BltColorConvert(dest_desc.surface, dest_desc.pitch, &store->surface_color, source_desc.surface,
                        source_desc.pitch, &job.source_color, nullptr, 0, nullptr, piece.to_x, piece.to_y, &piece.from,
                        0, 0, 0, kDitherNone, 0, 0, 0, 0);
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
        const platform::DdResult result = store->surface->BltFast(
            piece.to_x, piece.to_y, job.source, &piece.from, platform::kDdBltFastNoColorKey | platform::kDdBltFastWait);
        if (result != platform::kDdOk) return WriteLogFormat(direct3d_log::kMethod1BltFast, result);
    }
    return 0;
}

// A system-memory texture of the destination's size and format.
platform::DdResult MakeWorkTexture(const SurfaceData& store, std::shared_ptr<DdSurface>* work) {
    platform::DdSurfaceDesc desc;
    desc.flags = platform::kDdsdCaps | platform::kDdsdWidth | platform::kDdsdHeight | platform::kDdsdPixelFormat;
    desc.caps = platform::kDdsCapsSystemMemory | platform::kDdsCapsTexture;
    desc.width = store.width;
    desc.height = store.height;
    store.surface->GetPixelFormat(&desc.pixel_format);
    if (!Screen().device) return platform::kDdErrGeneric;
    return Screen().device->CreateSurface(desc, work);
}

// The drawing contexts a GDI copy holds, given back on every way out.
class HeldDc {
public:
    explicit HeldDc(DdSurface* surface) : surface_(surface) {}
    ~HeldDc() {
        if (surface_ != nullptr && surface_->has_dc()) surface_->ReleaseDC();
    }
    HeldDc(const HeldDc&) = delete;
    HeldDc& operator=(const HeldDc&) = delete;
    platform::DdResult Get() { return surface_->GetDC(); }
    platform::DdResult Release() { return surface_->ReleaseDC(); }

private:
    DdSurface* surface_;
};

Rect PieceArea(const Piece& piece) {
    return Rect{piece.to_x, piece.to_y, piece.to_x + piece.from.right - piece.from.left,
                piece.to_y + piece.from.bottom - piece.from.top};
}

// What methods 2 and 4 log for each step of their GDI copy.
struct GdiCopyLog {
    const char* source_dc;
    const char* work_create;
    const char* work_dc;
    const char* bit_blt;
    const char* work_dc_release;
};

// The piece copied by GDI out of the source into a new work texture in the
// destination's format. 0; the logged failure's value otherwise.
int GdiCopyIntoWorkTexture(const ReadBack& job, const Piece& piece, const SurfaceData& store, const GdiCopyLog& log,
                           std::shared_ptr<DdSurface>* work) {
    HeldDc source_dc(job.source);
    if (const platform::DdResult got = source_dc.Get(); got != platform::kDdOk)
        return WriteLogFormat(log.source_dc, got);
    if (const platform::DdResult made = MakeWorkTexture(store, work); made != platform::kDdOk)
        return WriteLogFormat(log.work_create, made);
    HeldDc work_dc(work->get());
    if (const platform::DdResult got = work_dc.Get(); got != platform::kDdOk) return WriteLogFormat(log.work_dc, got);
    const platform::DdResult copied =
        platform::GdiCopySurfaceRect(**work, piece.to_x, piece.to_y, *job.source, piece.from);
    if (copied != platform::kDdOk) return WriteLogFormat(log.bit_blt, static_cast<unsigned>(copied));
    if (const platform::DdResult released = work_dc.Release(); released != platform::kDdOk)
        return WriteLogFormat(log.work_dc_release, released);
    source_dc.Release();
    return 0;
}

constexpr GdiCopyLog kMethod2Log{direct3d_log::kMethod2SourceDc, direct3d_log::kMethod2WorkCreate,
                                 direct3d_log::kMethod2WorkDc, direct3d_log::kMethod2BitBlt,
                                 direct3d_log::kMethod2WorkDcRelease};
constexpr GdiCopyLog kMethod4Log{direct3d_log::kMethod4SourceDc, direct3d_log::kMethod4WorkCreate,
                                 direct3d_log::kMethod4WorkDc, direct3d_log::kMethod4BitBlt,
                                 direct3d_log::kMethod4WorkDcRelease};

// The GDI copy into a work texture of the destination's format, then
// converted into the destination.
int GdiThroughWorkTexture(const ReadBack& job) {
    for (const Piece& piece : job.pieces) {
        SurfaceData* store = StoreOf(piece.part);
        if (store == nullptr || !store->surface) return -1;
        std::shared_ptr<DdSurface> work;
        if (const int failed = GdiCopyIntoWorkTexture(job, piece, *store, kMethod2Log, &work); failed != 0)
            return failed;
        platform::DdSurfaceDesc dest_desc, work_desc;
        const platform::DdResult dest_locked =
            store->surface->Lock(nullptr, &dest_desc, platform::kDdLockWait | platform::kDdLockWriteOnly);
        if (dest_locked != platform::kDdOk) return WriteLogFormat(direct3d_log::kMethod2DestLock, dest_locked);
        const platform::DdResult work_locked =
            work->Lock(nullptr, &work_desc, platform::kDdLockWait | platform::kDdLockReadOnly);
        if (work_locked != platform::kDdOk) {
            store->surface->Unlock(nullptr);
            return WriteLogFormat(direct3d_log::kMethod2WorkLock, work_locked);
        }
        const Rect area = PieceArea(piece);
        BltColorConvert(dest_desc.surface, dest_desc.pitch, &store->surface_color, work_desc.surface, work_desc.pitch,
                        &store->surface_color, nullptr, 0, nullptr, piece.to_x, piece.to_y, &area, 0, 0, 0, kDitherNone,
                        0, 0, 0, 0);
        work->Unlock(nullptr);
        store->surface->Unlock(nullptr);
    }
    return 0;
}

// The GDI copy straight into the destination.
int GdiStraight(const ReadBack& job) {
    for (const Piece& piece : job.pieces) {
        SurfaceData* store = StoreOf(piece.part);
        if (store == nullptr || !store->surface) return -1;
        HeldDc source_dc(job.source);
        if (const platform::DdResult got = source_dc.Get(); got != platform::kDdOk)
            return WriteLogFormat(direct3d_log::kMethod3SourceDc, got);
        HeldDc dest_dc(store->surface.get());
        if (const platform::DdResult got = dest_dc.Get(); got != platform::kDdOk)
            return WriteLogFormat(direct3d_log::kMethod3WorkDc, got);
        const platform::DdResult copied =
            platform::GdiCopySurfaceRect(*store->surface, piece.to_x, piece.to_y, *job.source, piece.from);
        if (copied != platform::kDdOk)
            return WriteLogFormat(direct3d_log::kMethod3BitBlt, static_cast<unsigned>(copied));
        if (const platform::DdResult released = dest_dc.Release(); released != platform::kDdOk)
            return WriteLogFormat(direct3d_log::kMethod3WorkDcRelease, released);
    }
    return 0;
}

// What a failed load of method 4 leaves in the log to find the cause by.
void LogLoadFailure(platform::DdResult result, const SurfaceData& store, const Piece& piece, const ReadBack& job) {
    const ScreenState& screen = Screen();
    const DrawSettings& s = GetDrawSettings();
    WriteLogFormat(direct3d_log::kMethod4Load1, result, store.width, store.height, Host().WindowMode() ? 0 : 1,
                   piece.to_x, piece.to_y, piece.from.top, piece.from.bottom, piece.from.left, piece.from.right);
    WriteLogFormat(direct3d_log::kMethod4Load2, store.params.alpha_channel, store.params.alpha_test,
                   store.params.color_depth);
    WriteLogFormat(direct3d_log::kMethod4Load3, screen.screen_bits != 0 ? screen.screen_bits : 16, ScreenWidth(),
                   ScreenHeight(), job.x1, job.y1, s.window_placement.left, s.window_placement.top, piece.from.left,
                   piece.from.top);
}

constexpr int kLoadTries = 10;

// The GDI copy into a work texture, loaded into the destination by the
// device; a destination the device is still using is waited for.
int GdiThenLoad(const ReadBack& job) {
    for (const Piece& piece : job.pieces) {
        SurfaceData* store = StoreOf(piece.part);
        platform::D3dDevice* device = GetDevice3DInterface();
        if (store == nullptr || !store->surface || device == nullptr) return -1;
        std::shared_ptr<DdSurface> work;
        if (const int failed = GdiCopyIntoWorkTexture(job, piece, *store, kMethod4Log, &work); failed != 0)
            return failed;
        const Rect area = PieceArea(piece);
        platform::DdResult loaded = platform::kDdOk;
        for (int tries = 1;; ++tries) {
            loaded = device->Load(*store->surface, piece.to_x, piece.to_y, *work, &area);
            if (loaded != platform::kDdErrSurfaceBusy || tries == kLoadTries) break;
            store->surface->Restore();
            IdleSleep(1);
        }
        if (loaded != platform::kDdOk) {
            LogLoadFailure(loaded, *store, piece, job);
            return -1;
        }
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
    int& memory =
        c.read_back_memory[(first_store->params.alpha_channel != 0 || first_store->params.alpha_test != 0) ? 1 : 0];

    ReadBack job;
    job.x1 = x1;
    job.y1 = y1;
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
