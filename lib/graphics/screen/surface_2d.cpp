#include "lib/graphics/screen/surface_2d.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "lib/core/handle_table.h"
#include "lib/core/log.h"
#include "lib/core/memory_tracker.h"
#include "lib/graphics/draw_settings.h"
#include "lib/graphics/screen/dib_graph.h"
#include "lib/graphics/screen/screen_log_texts.h"
#include "lib/graphics/screen/screen_state.h"
#include "lib/image/color_convert.h"
#include "lib/movie/movie_handles.h"
#include "lib/softrender/blend_tables.h"
#include "lib/softrender/memimg_convert.h"
#include "platform/display/display_surface.h"

namespace velk {

namespace {

HandleTable<Surface2DData>& Table() {
    static HandleTable<Surface2DData> table(kSurface2DSlots, kSurface2DHandleType);
    return table;
}

void FreeRecord(Surface2DData* part) {
    part->~Surface2DData();
    MemFree(part);
}

bool Overlap(const Rect& a, const Rect& b, Rect* out) {
    *out = Rect{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
                std::min(a.bottom, b.bottom)};
    return out->right > out->left && out->bottom > out->top;
}

// A paletted store takes the index of the transparent colour as its key.
void SetPaletteKey(SurfaceData& store) {
    MemImgBase* base = store.image.base;
    if (base == nullptr || base->use_palette == 0 || base->palette == nullptr) return;
    const uint32_t t = GetDrawSettings().transparent_color;
    const uint32_t wanted = base->format == kMemImgFormat16
                                ? ((((t >> 16) & 0xF8) << 8) | (((t >> 8) & 0xFC) << 3) | ((t & 0xFF) >> 3))
                                : (t & 0xFFFFFF);
    base->trans_color = 0;
    for (uint32_t index = 0; index < 256; ++index) {
        if (base->palette[index] == wanted) {
            base->trans_color = index;
            break;
        }
    }
}

}  // namespace

int AddSurface2D(int width, int height, int x, int y, int owner, const Surface2DData* share, int source_x,
                 int source_y, const SurfaceCreateParams& params) {
    if (DirectDrawMissing()) return WriteLog(screen_log::kLibraryNotStarted);
    if (Table().full()) return WriteLog(screen_log::kSurface2DFull);
    void* block = VELK_CALLOC(sizeof(Surface2DData));
    if (block == nullptr) return WriteLog(screen_log::kSurface2DMemory);
    auto* part = new (block) Surface2DData{};
    if (share != nullptr) {
        if (AddSurfaceDataRef(share->store) < 0) {
            FreeRecord(part);
            return -1;
        }
        part->store = share->store;
    } else {
        part->store = AddSurfaceData(1, width, height, GetDrawSettings().transparent_color, params);
        if (part->store == -1) {
            FreeRecord(part);
            return WriteLog(screen_log::kSurface2DMemory);
        }
    }
    part->x = static_cast<uint16_t>(x);
    part->y = static_cast<uint16_t>(y);
    part->source_x = static_cast<uint16_t>(source_x);
    part->source_y = static_cast<uint16_t>(source_y);
    part->width = static_cast<uint16_t>(width);
    part->height = static_cast<uint16_t>(height);
    part->owner = owner;
    return Table().Add(part);
}

Surface2DData* GetSurface2DData(int handle) { return Table().Get(handle); }

int GetSurface2DCount() { return Table().count(); }

int SetSurface2DLostFlag(int handle, int* flag) {
    if (Surface2DData* part = GetSurface2DData(handle)) part->lost_flag = flag;
    return 0;
}

int DeleteSurface2D(int handle) {
    Surface2DData* part = Table().Remove(handle);
    if (part == nullptr) return 0;
    ReleaseSurfaceDataRef(part->store);
    if (part->lost_flag != nullptr) *part->lost_flag = 1;
    FreeRecord(part);
    return 0;
}

int DeleteAllSurface2D() {
    if (DirectDrawMissing()) return -1;
    for (int slot = Table().end() - 1; slot >= 0; --slot)
        if (Surface2DData* part = Table().AtSlot(slot)) DeleteSurface2D(part->handle);
    return 0;
}

int DeleteAllSurface2DChecked() { return DeleteAllSurface2D(); }

SurfaceCreateParams GraphSurfaceParams(const GraphData& graph) {
    SurfaceCreateParams p;
    p.texture = graph.texture;
    p.alpha_channel = graph.alpha_channel;
    p.draw_valid = graph.draw_valid;
    p.system_memory = graph.system_memory;
    p.unmanaged_texture = graph.texture_setting;
    p.alpha_test = graph.alpha_test;
    p.color_depth = graph.color_depth == 0 ? static_cast<uint8_t>(GetColorBitDepth()) : graph.color_depth;
    p.one_texture = graph.one_texture;
    p.palette_image = graph.palette_image;
    return p;
}

int MakeGraphSurface2D(GraphData& graph) {
    const int part =
        AddSurface2D(graph.width, graph.height, 0, 0, graph.handle, nullptr, 0, 0, GraphSurfaceParams(graph));
    if (part == -1) return -1;
    graph.part_count = 1;
    graph.parts[0] = part;
    return 0;
}

int MakeDerivedGraphSurface2D(GraphData& derived, int x, int y, int width, int height, const GraphData& parent) {
    const Surface2DData* source = parent.part_count > 0 ? GetSurface2DData(parent.parts[0]) : nullptr;
    if (source == nullptr) return -1;
    const int part = AddSurface2D(width, height, 0, 0, derived.handle, source, source->source_x + x,
                                  source->source_y + y, GraphSurfaceParams(derived));
    if (part == -1) return -1;
    derived.part_count = 1;
    derived.parts[0] = part;
    return 0;
}

int BltImageToSurface2D(const GraphImage* image, const GraphImage* alpha, const Rect& source_rect, int x, int y,
                        int surface) {
    if (DirectDrawMissing()) return -1;
    if (Screen().graphics_suspended != 0) return 0;
    Surface2DData* part = GetSurface2DData(surface);
    SurfaceData* store = part != nullptr ? GetSurfaceData(part->store) : nullptr;
    if (store == nullptr) return -1;
    const int width = source_rect.right - source_rect.left;
    const int height = source_rect.bottom - source_rect.top;
    if (width <= 0 || height <= 0) return 0;
    const int dest_x = part->source_x + x;
    const int dest_y = part->source_y + y;
    if (store->surface && Screen().display_bits == 8) {
        // An 8-bit surface takes the image as GDI would: through a bitmap,
        // each colour matched to the screen's palette.
        DibInfo info;
        const uint8_t* pixels = nullptr;
        std::vector<uint8_t> copy;
        if (ConvertGraphImageToDib(*image, &info, &pixels, &copy, 0) != 0)
            return WriteLogFormat(screen_log::kGraphImageToDibFailed);
        DibGraph dib;
        if (CreateDIBGraph(info, pixels, &dib) != 0) return WriteLogFormat(screen_log::kDibToBitmapFailed);
        if (platform::GdiBltDibToSurface(*store->surface, dest_x, dest_y, dib.Section(), source_rect,
                                         Screen().palette_entries) != platform::kDdOk)
            return -1;
    } else if (store->surface) {
        platform::DdSurfaceDesc desc;
        if (store->surface->Lock(nullptr, &desc, platform::kDdLockWait | platform::kDdLockWriteOnly) !=
            platform::kDdOk)
            return WriteLog(screen_log::kSurface2DLockFailed);
        BltColorConvert(desc.surface, desc.pitch, &store->surface_color, image->pixels, image->pitch,
                        &image->color_data, alpha != nullptr ? alpha->pixels : nullptr,
                        alpha != nullptr ? alpha->pitch : 0, alpha != nullptr ? &alpha->color_data : nullptr, dest_x,
                        dest_y, &source_rect, 0, 0, 0, kDitherNone, 0, 0, 0, 0);
        store->surface->Unlock(nullptr);
    } else if (CheckValidMemImg(&store->image) != 0) {
        BltGraphImageToMemImg(image, alpha, &store->image, source_rect.left, source_rect.top, width, height, dest_x,
                              dest_y, 1);
        SetPaletteKey(*store);
    } else {
        return -1;
    }
    SetSurfaceDataColorKey(part->store);
    return 0;
}

int BltGraphImageToSurface2D(const GraphImage* image, const GraphImage* alpha, int x, int y, int surface) {
    const Surface2DData* part = GetSurface2DData(surface);
    if (part == nullptr) return -1;
    return BltImageToSurface2D(image, alpha, Rect{x, y, x + part->width, y + part->height}, 0, 0, surface);
}

int BltGraphImageRectToGraph2D(const GraphImage* image, const GraphImage* alpha, int dest_x, int dest_y,
                               int source_x, int source_y, GraphData& graph) {
    // The image's rectangle that lands on the graph, in graph coordinates.
    const Rect image_on_graph{dest_x - source_x, dest_y - source_y, dest_x - source_x + image->width,
                              dest_y - source_y + image->height};
    const Rect graph_area{0, 0, graph.width, graph.height};
    Rect covered;
    if (!Overlap(image_on_graph, graph_area, &covered)) return 0;
    for (int i = 0; i < graph.part_count; ++i) {
        const Surface2DData* part = GetSurface2DData(graph.parts[i]);
        if (part == nullptr) return -1;
        const Rect part_area{part->x, part->y, part->x + part->width, part->y + part->height};
        Rect piece;
        if (!Overlap(covered, part_area, &piece)) continue;
        const Rect from{piece.left - image_on_graph.left, piece.top - image_on_graph.top,
                        piece.right - image_on_graph.left, piece.bottom - image_on_graph.top};
        if (BltImageToSurface2D(image, alpha, from, piece.left - part->x, piece.top - part->y, graph.parts[i]) != 0)
            return -1;
    }
    return 0;
}

int BltMovieFrameToSurface2D(const MovieData& movie, GraphData& graph) {
    if (DirectDrawMissing()) return -1;
    if (Screen().graphics_suspended != 0) return 0;
    const GraphImage* frame = movie.current_frame_image;
    if (frame == nullptr || frame->pixels == nullptr || graph.part_count < 1) return -1;
    Surface2DData* part = GetSurface2DData(graph.parts[0]);
    SurfaceData* store = part != nullptr ? GetSurfaceData(part->store) : nullptr;
    if (store == nullptr) return -1;
    const Rect area{0, 0, std::min<int>(frame->width, part->width), std::min<int>(frame->height, part->height)};
    if (area.right <= 0 || area.bottom <= 0) return 0;
    uint8_t* dest = nullptr;
    int pitch = 0;
    const ColorData* color = nullptr;
    if (store->surface) {
        platform::DdSurfaceDesc desc;
        if (store->surface->Lock(nullptr, &desc, platform::kDdLockWait | platform::kDdLockWriteOnly) != platform::kDdOk)
            return WriteLog(screen_log::kMovieSurfaceLockFailed);
        dest = static_cast<uint8_t*>(desc.surface);
        pitch = desc.pitch;
        color = &store->surface_color;
    } else if (CheckValidMemImg(&store->image) != 0) {
        // A software store converts through its own writer, which knows its
        // palettes; only a frame in its very format is copied row by row.
        if (IsSameColorData(&frame->color_data, store->image.base->color_data) == 0 ||
            movie.surface_mode == kMovieSurfaceRgb24) {
            BltGraphImageToMemImg(frame, nullptr, &store->image, 0, 0, area.right, area.bottom, part->source_x,
                                  part->source_y, 0);
            return 0;
        }
        dest = store->image.base->pixels;
        pitch = store->image.base->pitch;
        color = store->image.base->color_data;
    } else {
        return -1;
    }
    // Rows are copied as they are only when the layouts agree: a frame of the
    // same depth but other masks would show wrong colours.
    if (movie.surface_mode == kMovieSurfaceRgb24 || IsSameColorData(&frame->color_data, color) == 0) {
        BltColorConvert(dest, pitch, color, frame->pixels, frame->pitch, &frame->color_data, nullptr, 0, nullptr,
                        part->source_x, part->source_y, &area, 0, 0, 0, kDitherNone, 0, 0, 0, 0);
    } else {
        const int bytes = frame->color_data.pixel_byte;
        for (int y = 0; y < area.bottom; ++y) {
            std::memcpy(
                dest + static_cast<size_t>(part->source_y + y) * pitch + static_cast<size_t>(part->source_x) * bytes,
                frame->pixels + static_cast<size_t>(y) * frame->pitch, static_cast<size_t>(area.right) * bytes);
        }
    }
    if (store->surface) store->surface->Unlock(nullptr);
    return 0;
}

int FillGraphSurface2D(GraphData& graph, int red, int green, int blue, int alpha) {
    if (DirectDrawMissing()) return -1;
    for (int i = 0; i < graph.part_count; ++i) {
        const Surface2DData* part = GetSurface2DData(graph.parts[i]);
        SurfaceData* store = part != nullptr ? GetSurfaceData(part->store) : nullptr;
        if (store == nullptr) return -1;
        const uint32_t value = GetColorByColorData(SurfaceDataColorData(*store), red, green, blue, alpha);
        const Rect area{part->source_x, part->source_y, part->source_x + part->width,
                        part->source_y + part->height};
        if (store->surface) {
            platform::DdBltFx fx;
            fx.fill_color = value;
            store->surface->Blt(&area, nullptr, nullptr, platform::kDdBltColorFill | platform::kDdBltWait, &fx);
        } else if (CheckValidMemImg(&store->image) != 0) {
            FillMemImg(&store->image, &area, value);
        } else {
            return -1;
        }
    }
    return 0;
}

int CheckGraphSurface2DLost(const GraphData& graph) {
    int result = 0;
    for (int i = 0; i < graph.part_count; ++i) {
        const Surface2DData* part = GetSurface2DData(graph.parts[i]);
        if (part == nullptr) return -1;
        result |= RestoreSurfaceData(part->store);
    }
    return result;
}

int CheckSurface2DLost() {
    int result = 0;
    for (int slot = 0; slot < Table().end(); ++slot)
        if (const Surface2DData* part = Table().AtSlot(slot)) result |= RestoreSurfaceData(part->store);
    return result;
}

int ReleaseAllSurface2DData() {
    for (int slot = 0; slot < Table().end(); ++slot)
        if (const Surface2DData* part = Table().AtSlot(slot)) ReleaseSurfaceDataSurface(part->store);
    return 0;
}

int RecreateAllSurface2DData() {
    for (int slot = 0; slot < Table().end(); ++slot) {
        const Surface2DData* part = Table().AtSlot(slot);
        if (part == nullptr) continue;
        const SurfaceData* store = GetSurfaceData(part->store);
        if (store == nullptr || store->surface || store->software_image != 0) continue;
        CreateSurfaceDataSurface(part->store);
        SetSurfaceDataColorKey(part->store);
    }
    return 0;
}

int BuildBlendTable2D() {
    const DrawSettings& s = GetDrawSettings();
    BuildBlendGraphTable(s.blend_border_param, s.blend_border_range);
    return 0;
}

int SetViewport2D() { return 0; }

}  // namespace velk
