#include "lib/graphics/screen/draw_target.h"


#include <algorithm>

#include "lib/core/window/main_window.h"
#include "lib/graphics/draw_path.h"
#include "lib/graphics/draw_settings.h"
#include "lib/graphics/graph_table.h"
#include "lib/image/color_convert.h"
#include "lib/image/color_data.h"
#include "lib/graphics/screen/masks.h"
#include "lib/graphics/screen/screen_present.h"
#include "lib/graphics/screen/screen_state.h"
#include "lib/graphics/screen/surface_2d.h"
#include "lib/graphics/screen/surface_data.h"
#include "lib/softrender/draw_settings.h"
#include "platform/display/display_clipper.h"
#include "platform/display/display_surface.h"
#include "platform/window/window_system.h"

namespace velk {

namespace {

using platform::DdSurface;

DrawScreenBridge g_bridge;
// The header of the locked display surface's view, kept across locks: text
// locks the screen twice a glyph run, dozens of times a frame.
MemImgBase g_surface_view_base;
platform::DdSurface* g_locked_dest = nullptr;
platform::DdSurface* g_locked_source = nullptr;
Rect g_saved_area;
bool g_area_replaced = false;

// A rectangle of a display surface copied into a software image of its own
// for one draw, widened to the renderer's format. The image goes back into
// the locked pixels when the draw is done, and from the work surface onto
// the target.
struct WorkCopy {
    bool active = false;
    DdSurface* locked = nullptr;
    uint8_t* pixels = nullptr;
    int pitch = 0;
    Rect rect;                          // of the locked surface
    DdSurface* copy_back_to = nullptr;  // null: the target itself was locked
    int copy_back_x = 0;
    int copy_back_y = 0;
};
WorkCopy g_work_copy;

bool ClipperWanted() {
    return GetWindowModeFlag() != 0 || Screen().gdi_request != 0 || GetUseMenuFlag() != 0;
}

Rect Intersect(const Rect& a, const Rect& b) {
    return Rect{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
                std::min(a.bottom, b.bottom)};
}

bool IsEmpty(const Rect& r) { return r.right <= r.left || r.bottom <= r.top; }

int MemImgFormatForBits(int bits) { return bits == 16 ? kMemImgFormat16 : kMemImgFormat32; }

// The software format draws on this screen are made in.
int WorkingFormat() { return MemImgFormatForBits(Screen().screen_bits == 16 ? 16 : 32); }

// Whether the screen's pixels must be converted for the software renderer.
bool NeedsConversion() {
    const ScreenState& s = Screen();
    return s.format_code == kPixelFormatCodeX1R5G5B5 || s.format_code == kPixelFormatCodeOther;
}

bool IsPaletted(const ColorData& c) { return IsPaletteColorData(&c); }

// A colour value of the screen as a value of the working format.
uint32_t ScreenValueToWorking(uint32_t value) {
    const ColorData& screen = Screen().color_data;
    const ColorData* working = GetMemImgColorData(WorkingFormat(), 0, 0);
    if (IsPaletted(screen)) {
        const PaletteEntry& e = screen.palette[value & 0xFF];
        return GetColorByColorData(working, e.red, e.green, e.blue, 255);
    }
    return ConvertColorCode(working, &screen, value);
}

// `rect` of `surface` in a new image of the working format: copied through
// `work` when it fits there, else read from the surface itself. With `keep`
// the locked pixels stay locked for the write-back (g_work_copy).
int WidenSurfaceRect(DdSurface* surface, DdSurface* work, const Rect& rect, uint32_t trans_color, MEMIMG* image,
                     bool keep) {
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    DdSurface* locked = surface;
    Rect locked_rect = rect;
    if (work != nullptr && work != surface && static_cast<int>(work->width()) >= width &&
        static_cast<int>(work->height()) >= height && BltSurfaceRect(work, surface, 0, 0, &rect, -1) == 0) {
        locked = work;
        locked_rect = Rect{0, 0, width, height};
    }
    platform::DdSurfaceDesc desc;
    if (locked->Lock(&locked_rect, &desc, platform::kDdLockWait) != platform::kDdOk) return -1;
    const int format = WorkingFormat();
    if (CreateMemImg(image, width, height, -1, trans_color, format, 0, 0, nullptr) != 0) {
        locked->Unlock(nullptr);
        return -1;
    }
    const Rect whole{0, 0, width, height};
    BltColorConvert(image->pixels, image->base->pitch, GetMemImgColorData(format, 0, 0), desc.surface, desc.pitch,
                    &Screen().color_data, nullptr, 0, nullptr, 0, 0, &whole, 0, 0, 0, kDitherNone, 0, 0, 0, 0);
    if (!keep) {
        locked->Unlock(nullptr);
        return 0;
    }
    g_work_copy = WorkCopy{true, locked, static_cast<uint8_t*>(desc.surface), desc.pitch, locked_rect,
                           locked != surface ? surface : nullptr, rect.left, rect.top};
    return 0;
}

// Blending of any kind keeps the draw off the display's plain copy.
bool NeedsBlending(const SurfaceData* store) {
    const DrawSettings& s = GetDrawSettings();
    const bool plain_mode = s.blend_mode == 0 || (s.blend_mode == 1 && s.blend_param == 255);
    return !plain_mode || (store != nullptr && store->params.alpha_channel != 0) || s.blend_graph != -1;
}

bool InVideoMemory(const DdSurface& surface) { return (surface.caps() & platform::kDdsCapsVideoMemory) != 0; }

bool BrightIsWhite() {
    const DrawSettings& s = GetDrawSettings();
    return s.bright_red == 255 && s.bright_green == 255 && s.bright_blue == 255;
}

// The software image of a converted draw goes back into the screen's format.
void WriteBackWorkCopy() {
    WorkCopy& w = g_work_copy;
    if (!w.active) return;
    w.active = false;
    const int width = w.rect.right - w.rect.left;
    const int height = w.rect.bottom - w.rect.top;
    if (CheckValidMemImg(&g_bridge.dest) != 0) {
        const Rect whole{0, 0, width, height};
        BltColorConvert(w.pixels, w.pitch, &Screen().color_data, g_bridge.dest.pixels, g_bridge.dest.base->pitch,
                        g_bridge.dest.base->color_data, nullptr, 0, nullptr, 0, 0, &whole, 0, 0, 0, kDitherNone, 0,
                        0, 0, 0);
    }
    w.locked->Unlock(nullptr);
    if (w.copy_back_to != nullptr) BltSurfaceRect(w.copy_back_to, w.locked, w.copy_back_x, w.copy_back_y, &w.rect, -1);
    w = WorkCopy{};
}

// Whether anything of a lock is held: a view, a locked surface, a work copy
// or the renderer's draw area replaced. Most draws on display surfaces are
// plain copies that hold nothing.
bool ViewsHeld() {
    return g_work_copy.active || g_area_replaced || g_locked_dest != nullptr || g_locked_source != nullptr ||
           g_bridge.has_source != 0 || g_bridge.dest.magic != 0 || g_bridge.source.magic != 0;
}

void ReleaseViews() {
    if (!ViewsHeld()) return;
    WriteBackWorkCopy();
    ReleaseMemImg(&g_bridge.dest);
    ReleaseMemImg(&g_bridge.source);
    g_bridge.has_source = 0;
    if (g_locked_dest != nullptr) g_locked_dest->Unlock(nullptr);
    if (g_locked_source != nullptr) g_locked_source->Unlock(nullptr);
    g_locked_dest = nullptr;
    g_locked_source = nullptr;
    if (g_area_replaced) SetMemImgDrawArea(g_saved_area);
    g_area_replaced = false;
}

// The source part as a view: its store's image (or a view of the part), or
// its locked surface in the screen's software format.
int MakeSourceView(const Surface2DData& part) {
    SurfaceData* store = GetSurfaceData(part.store);
    if (store == nullptr) return -1;
    if (CheckValidMemImg(&store->image) != 0) {
        DeriveMemImg(&g_bridge.source, &store->image, part.source_x, part.source_y, part.width, part.height);
        if (CheckValidMemImg(&g_bridge.source) == 0) return -1;
        g_bridge.has_source = 1;
        return 0;
    }
    if (!store->surface) return -1;
    if (store->surface.get() == g_locked_dest) return -1;  // a part drawn onto its own store
    const Rect area{part.source_x, part.source_y, part.source_x + part.width, part.source_y + part.height};
    if (NeedsConversion() || InVideoMemory(*store->surface)) {
        // The key is the colour the store's pixels show for the transparent
        // colour: on a palette, its nearest entry.
        const uint32_t t = store->transparent_color;
        const uint32_t screen_key =
            GetColorByColorData(&Screen().color_data, (t >> 16) & 0xFF, (t >> 8) & 0xFF, t & 0xFF, 255);
        if (WidenSurfaceRect(store->surface.get(), Screen().work2.get(), area, ScreenValueToWorking(screen_key),
                             &g_bridge.source, false) != 0)
            return -1;
        g_bridge.has_source = 1;
        return 0;
    }
    platform::DdSurfaceDesc desc;
    if (store->surface->Lock(&area, &desc, platform::kDdLockWait) != platform::kDdOk) return -1;
    g_locked_source = store->surface.get();
    const int format = MemImgFormatForBits(Screen().display_bits);
    const uint32_t t = store->transparent_color;
    const uint32_t key = GetColorByColorData(GetMemImgColorData(format, 0, 0), (t >> 16) & 0xFF, (t >> 8) & 0xFF,
                                             t & 0xFF, 255);
    if (CreateMemImg(&g_bridge.source, part.width, part.height, desc.pitch, key, format, 0, 0, desc.surface) != 0)
        return -1;
    g_bridge.has_source = 1;
    return 0;
}

// The display copies a part by itself only when the copy is plain (no
// blend, no brightness) and between surfaces of one memory kind.
bool DisplayCopiesByItself(const ScreenState& s, const SurfaceData* store, const DdSurface* target) {
    return store != nullptr && !NeedsBlending(store) && BrightIsWhite() && store->surface && target != nullptr &&
           InVideoMemory(*store->surface) == (s.target_in_video_memory != 0);
}

// Records the plain copy in the bridge; `clipped` is the destination in
// draw-screen pixels, cut to the draw area and not empty.
void ChooseDirectBlit(const ScreenState& s, const DrawSettings& settings, const Surface2DData& part,
                      const SurfaceData& store, const Rect& source_rect, const Rect& clipped) {
    g_bridge.direct_blit = 1;
    g_bridge.blit_target = s.target_surface.get();
    g_bridge.blit_source = store.surface.get();
    g_bridge.blit_x = clipped.left + settings.window_placement.left + s.target_x;
    g_bridge.blit_y = clipped.top + settings.window_placement.top + s.target_y;
    g_bridge.blit_source_rect = Rect{source_rect.left + part.source_x, source_rect.top + part.source_y,
                                     source_rect.right + part.source_x, source_rect.bottom + part.source_y};
    g_bridge.dest_rect = clipped;
}

}  // namespace

DrawScreenBridge& CurrentDrawScreenBridge() { return g_bridge; }

bool BlitPartByDisplay(const Surface2DData& part, const Rect& source_rect, const Rect& clipped, int transparent) {
    const ScreenState& s = Screen();
    const SurfaceData* store = GetSurfaceData(part.store);
    if (!DisplayCopiesByItself(s, store, s.target_surface.get())) return false;
    // What the lock would do before choosing the copy: Direct3D's collected
    // vertices were handed over by the caller; a view left held is let go.
    ReleaseViews();
    ChooseDirectBlit(s, GetDrawSettings(), part, *store, source_rect, clipped);
    g_bridge.blit_target->BltFast(g_bridge.blit_x, g_bridge.blit_y, g_bridge.blit_source, &g_bridge.blit_source_rect,
                                  transparent != 0 ? platform::kDdBltFastSrcColorKey : platform::kDdBltFastNoColorKey);
    return true;
}

int SetDrawTarget2D(int screen, int previous) {
    ScreenState& s = Screen();
    GraphData* graph = nullptr;
    if (screen != kFrontScreen && screen != kBackScreen) {
        graph = GetGraphData(screen);
        if (graph == nullptr || graph->texture != 0 || graph->part_count < 1) return -1;
    }
    // The front screen's last drawing reaches the window before the timer
    // that would have shown it stops.
    if (s.target_screen == kFrontScreen && TempPrimaryInUse()) {
        platform::KillWindowTimer(ScreenWindow(), kFrontScreenTimerId);
        CopyTempPrimaryToWindow();
    }
    s.target_image = nullptr;
    s.target_z_image = nullptr;
    s.target_surface.reset();
    ReleaseMemImg(&s.target_view);
    s.target_x = 0;
    s.target_y = 0;
    const bool direct_draw = s.direct_draw_off == 0 && s.primary;
    if (screen == kFrontScreen) {
        s.target_surface = s.temp_primary_flag != 0 && s.temp_primary ? s.temp_primary : s.primary;
        s.target_image = CheckValidMemImg(&s.primary_image) != 0 ? &s.primary_image : nullptr;
        if (direct_draw && ClipperWanted()) s.primary->SetClipper(nullptr);
        if (direct_draw && TempPrimaryInUse()) {
            // Drawing starts from what the window shows, and the timer keeps
            // the window showing what is drawn.
            s.primary->SetClipper(s.clipper);
            CopyWindowToTempPrimary();
            platform::SetWindowTimer(ScreenWindow(), kFrontScreenTimerId, kFrontScreenTimerMs,
                                     [](platform::WindowHandle, uint32_t) { FrontScreenTimerProc(); });
        }
    } else if (screen == kBackScreen) {
        s.target_surface = s.back;
        s.target_image = CheckValidMemImg(&s.back_image) != 0 ? &s.back_image : nullptr;
        s.target_z_image = CheckValidMemImg(&s.z_image) != 0 ? &s.z_image : nullptr;
    } else {
        const Surface2DData* part = GetSurface2DData(graph->parts[0]);
        SurfaceData* store = part != nullptr ? GetSurfaceData(part->store) : nullptr;
        if (store == nullptr) return -1;
        if (store->surface) {
            s.target_surface = store->surface;
            s.target_x = part->source_x;
            s.target_y = part->source_y;
        } else if (CheckValidMemImg(&store->image) != 0) {
            // The part's own rectangle of the store, so a derived graph draws
            // where it lies rather than at the store's corner.
            DeriveMemImg(&s.target_view, &store->image, part->source_x, part->source_y, part->width, part->height);
            if (CheckValidMemImg(&s.target_view) == 0) return -1;
            s.target_image = &s.target_view;
        } else {
            return -1;
        }
        if (CheckValidMemImg(&store->z_image) != 0) s.target_z_image = &store->z_image;
    }
    if (screen != kFrontScreen && direct_draw && ClipperWanted() && s.clipper) s.primary->SetClipper(s.clipper);
    uint32_t caps = 0;
    if (s.target_surface) s.target_surface->GetCaps(&caps);
    s.target_in_video_memory = (caps & platform::kDdsCapsVideoMemory) != 0 ? 1 : 0;
    s.target_screen = screen;
    (void)previous;
    return 0;
}

int BltSurfaceRect(DdSurface* dest, DdSurface* source, int x, int y, const Rect* source_rect, int method) {
    if (dest == nullptr || source == nullptr || source_rect == nullptr) return -1;
    if (method == -1) method = Screen().transfer_method;
    if (method == kTransferGdi) return platform::GdiCopySurfaceRect(*dest, x, y, *source, *source_rect) == platform::kDdOk ? 0 : -1;
    return dest->BltFast(x, y, source, source_rect, platform::kDdBltFastNoColorKey) == platform::kDdOk ? 0 : -1;
}

int GetScreenWindowRect(Rect* rect) {
    *rect = Rect{0, 0, ScreenWidth(), ScreenHeight()};
    if (Screen().temp_primary_flag == 0) {
        Rect client;
        GetWindowClientRect(&client);
        rect->left += client.left;
        rect->right += client.left;
        rect->top += client.top;
        rect->bottom += client.top;
    }
    return 0;
}

const MEMIMG* GetBlendGraphMemImg() {
    const int blend = GetDrawSettings().blend_graph;
    if (blend == -1) return nullptr;
    const GraphData* graph = GetGraphData(blend);
    if (graph == nullptr || graph->texture != 0 || graph->part_count < 1) return nullptr;
    const Surface2DData* part = GetSurface2DData(graph->parts[0]);
    const SurfaceData* store = part != nullptr ? GetSurfaceData(part->store) : nullptr;
    if (store == nullptr || CheckValidMemImg(&store->image) == 0) return nullptr;
    return &store->image;
}

MEMIMG* GetDrawTargetMemImg() {
    if (MaskScreenActive()) return const_cast<MEMIMG*>(GetMaskMemImg());
    MEMIMG* image = Screen().target_image;
    return image != nullptr && CheckValidMemImg(image) != 0 ? image : nullptr;
}

int LockDrawScreenMemImg(const Surface2DData* part, int blt_fast_allowed, const Rect* source_rect,
                         const Rect* dest_rect, int raw_fill, uint32_t* color1, uint32_t* color2) {
    // Software draws go after Direct3D's collected vertices.
    Direct3DPath().EndScene();
    ScreenState& s = Screen();
    if (SoftwareMode()) return 0;
    ReleaseViews();
    g_bridge.direct_blit = 0;
    const DrawSettings& settings = GetDrawSettings();
    const SurfaceData* store = part != nullptr ? GetSurfaceData(part->store) : nullptr;
    DdSurface* target = s.target_surface.get();

    if (blt_fast_allowed != 0 && source_rect != nullptr && dest_rect != nullptr &&
        DisplayCopiesByItself(s, store, target)) {
        Rect clipped = *dest_rect;
        ClipRect(&clipped, &settings.draw_area);
        if (IsEmpty(clipped)) return -1;
        ChooseDirectBlit(s, settings, *part, *store, *source_rect, clipped);
        return 0;
    }

    Rect clipped = dest_rect != nullptr ? *dest_rect : settings.draw_area;
    ClipRect(&clipped, &settings.draw_area);
    if (IsEmpty(clipped)) return -1;
    g_bridge.dest_rect = clipped;
    if (target == nullptr) return -1;
    const int offset_x = settings.window_placement.left + s.target_x;
    const int offset_y = settings.window_placement.top + s.target_y;

    // The destination rectangle is copied through work surface 1 into an
    // image of its own when the screen's format is one the renderer does not
    // draw (values of an 8-bit screen are palette indices, so even a plain
    // fill is not written in place there), or when a blend would read video
    // memory pixel by pixel.
    const bool blending = NeedsBlending(store);
    const bool copy = NeedsConversion() ? s.display_bits == 8 || blending || raw_fill == 0
                                        : s.target_in_video_memory != 0 && blending;
    if (copy) {
        Rect on_surface{clipped.left + offset_x, clipped.top + offset_y, clipped.right + offset_x,
                        clipped.bottom + offset_y};
        on_surface =
            Intersect(on_surface, Rect{0, 0, static_cast<int>(target->width()), static_cast<int>(target->height())});
        if (IsEmpty(on_surface)) return -1;
        if (WidenSurfaceRect(target, s.work1.get(), on_surface, 0, &g_bridge.dest, true) != 0) {
            ReleaseViews();
            return -1;
        }
        if (color1 != nullptr) *color1 = ScreenValueToWorking(*color1);
        if (color2 != nullptr) *color2 = ScreenValueToWorking(*color2);
        g_bridge.origin_x = on_surface.left - offset_x;
        g_bridge.origin_y = on_surface.top - offset_y;
        if (part != nullptr && MakeSourceView(*part) != 0) {
            ReleaseViews();
            return -1;
        }
        g_saved_area = GetMemImgDrawSettings().draw_area;
        g_area_replaced = true;
        SetMemImgDrawArea(Rect{0, 0, g_bridge.dest.width, g_bridge.dest.height});
        return 0;
    }
    if (s.display_bits != 16 && s.display_bits != 32) return -1;

    // The view covers the draw area, placed on the surface.
    Rect on_surface{settings.draw_area.left + offset_x, settings.draw_area.top + offset_y,
                    settings.draw_area.right + offset_x, settings.draw_area.bottom + offset_y};
    on_surface = Intersect(on_surface, Rect{0, 0, static_cast<int>(target->width()), static_cast<int>(target->height())});
    if (IsEmpty(on_surface)) return -1;
    platform::DdSurfaceDesc desc;
    if (target->Lock(&on_surface, &desc, platform::kDdLockWait) != platform::kDdOk) return -1;
    g_locked_dest = target;
    const int format = MemImgFormatForBits(s.display_bits);
    const int view_width = on_surface.right - on_surface.left;
    const int view_height = on_surface.bottom - on_surface.top;
    // A view still derived from the last one keeps the header; a fresh one serves then.
    const bool viewed =
        PlaceMemImg(&g_bridge.dest, &g_surface_view_base, view_width, view_height, desc.pitch, format, desc.surface) ==
            0 ||
        CreateMemImg(&g_bridge.dest, view_width, view_height, desc.pitch, 0, format, 0, 0, desc.surface) == 0;
    if (!viewed) {
        ReleaseViews();
        return -1;
    }
    g_bridge.origin_x = on_surface.left - offset_x;
    g_bridge.origin_y = on_surface.top - offset_y;
    if (part != nullptr && MakeSourceView(*part) != 0) {
        ReleaseViews();
        return -1;
    }
    g_saved_area = GetMemImgDrawSettings().draw_area;
    g_area_replaced = true;
    SetMemImgDrawArea(Rect{0, 0, g_bridge.dest.width, g_bridge.dest.height});
    return 0;
}

bool DrawScreenLocksInPlace() {
    const ScreenState& s = Screen();
    if (SoftwareMode() || !s.target_surface || NeedsConversion()) return false;
    if (s.display_bits != 16 && s.display_bits != 32) return false;
    return !(s.target_in_video_memory != 0 && NeedsBlending(nullptr));
}

uint32_t DrawScreenViewColor(uint32_t value) { return g_work_copy.active ? ScreenValueToWorking(value) : value; }

int UnlockDrawScreenMemImg() {
    ReleaseViews();
    g_bridge.direct_blit = 0;
    return 0;
}

}  // namespace velk
