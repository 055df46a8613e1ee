#include "lib/graphics/direct3d/surface_3d.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "lib/core/handle_table.h"
#include "lib/core/log.h"
#include "lib/graphics/direct3d/device_3d.h"
#include "lib/graphics/direct3d/direct3d_log_texts.h"
#include "lib/graphics/direct3d/render_state_3d.h"
#include "lib/graphics/draw_settings.h"
#include "lib/graphics/graphics_fatal.h"
#include "lib/graphics/screen/screen_state.h"
#include "lib/graphics/screen/surface_2d.h"
#include "lib/graphics/screen/surface_data.h"
#include "lib/image/color_convert.h"

namespace velk {

namespace {

using Table3D = HandleTable<Surface3DData, std::unique_ptr<Surface3DData>>;

Table3D& Table() {
    static Table3D table(kSurface3DSlots, kSurface3DHandleType);
    return table;
}

void BuildCorners(Surface3DData& part, int texture_width, int texture_height) {
    const float tw = static_cast<float>(texture_width), th = static_cast<float>(texture_height);
    const float left = part.x, top = part.y, right = part.x + part.width, bottom = part.y + part.height;
    const float u0 = part.texture_x / tw, v0 = part.texture_y / th;
    const float u1 = (part.texture_x + part.width) / tw, v1 = (part.texture_y + part.height) / th;
    part.corners[0] = platform::VertexOneTexture{left, top, 0, 1.0f, 0xFFFFFFFF, u0, v0};
    part.corners[1] = platform::VertexOneTexture{right, top, 0, 1.0f, 0xFFFFFFFF, u1, v0};
    part.corners[2] = platform::VertexOneTexture{left, bottom, 0, 1.0f, 0xFFFFFFFF, u0, v1};
    part.corners[3] = platform::VertexOneTexture{right, bottom, 0, 1.0f, 0xFFFFFFFF, u1, v1};
}

// Which side of the graph's rising diagonal each corner lies on.
void BuildCornerFlags(Surface3DData& part, const GraphData& graph) {
    const float slope = graph.width > 0 ? static_cast<float>(graph.height) / static_cast<float>(graph.width) : 0.0f;
    for (int i = 0; i < 4; ++i)
        part.corner_flags[i] = graph.height - part.corners[i].x * slope >= part.corners[i].y ? 1 : 0;
}

}  // namespace

int AddSurface3DData(int texture_width, int texture_height, int x, int y, int width, int height, int source_x,
                     int source_y, int graph, const Surface3DData* parent, int parent_x, int parent_y,
                     const GraphData& params) {
    if (!D3D().object) return WriteLog(direct3d_log::kEngineNotReady);
    if (Table().full()) return WriteLog(direct3d_log::kTableFull);
    auto part = std::make_unique<Surface3DData>();
    if (parent != nullptr) {
        part->surface_data = parent->surface_data;
        AddSurfaceDataRef(parent->surface_data);
    } else {
        part->surface_data = AddSurfaceData(1, texture_width, texture_height, GetDrawSettings().transparent_color,
                                            GraphSurfaceParams(params));
        if (part->surface_data == -1) return -1;
    }
    part->x = static_cast<int16_t>(x);
    part->y = static_cast<int16_t>(y);
    part->width = static_cast<int16_t>(width);
    part->height = static_cast<int16_t>(height);
    part->texture_x = static_cast<int16_t>(parent_x + (parent != nullptr ? parent->texture_x : 0));
    part->texture_y = static_cast<int16_t>(parent_y + (parent != nullptr ? parent->texture_y : 0));
    part->source_x = static_cast<int16_t>(source_x + (parent != nullptr ? parent->source_x : 0));
    part->source_y = static_cast<int16_t>(source_y + (parent != nullptr ? parent->source_y : 0));
    part->graph = graph;
    const SurfaceData* store = GetSurfaceData(part->surface_data);
    BuildCorners(*part, store->width, store->height);
    return Table().Add(std::move(part));
}

Surface3DData* GetSurface3DData(int handle) { return Table().Get(handle); }

int GetSurface3DDataCount() { return Table().count(); }

int DeleteSurface3DData(int handle) {
    std::unique_ptr<Surface3DData> part = Table().Remove(handle);
    if (!part) return -1;
    ReleaseSurfaceDataRef(part->surface_data);
    if (part->lost_flag != nullptr) *part->lost_flag = 1;
    return 0;
}

int DeleteAllSurface3DData() {
    if (!D3D().object) return -1;
    for (int slot = Table().end() - 1; slot >= 0; --slot)
        if (Surface3DData* part = Table().AtSlot(slot)) DeleteSurface3DData(part->handle);
    return 0;
}

int ChooseTextureSizes(int n, int* out, int one_texture) {
    const int device_min = D3D().min_texture_size;
    const int m = std::max(device_min, 32);
    if (n <= m) {
        int t = m;
        while (t > device_min && t / 2 >= n)
            t /= 2;
        if (out != nullptr) out[0] = t;
        return 1;
    }
    int max = D3D().max_texture_size;
    if (one_texture != 1 && ScreenWidth() <= max) {
        int p = 8;
        while (p < ScreenWidth())
            p *= 2;
        max = p;
    }
    int t = max;
    while (t > m && t > n)
        t /= 2;
    if (one_texture == 1 || n < ScreenWidth()) {
        if (2 * t <= max) {
            if (out != nullptr) out[0] = t >= n ? t : 2 * t;
            return 1;
        }
    }
    std::vector<int> sizes;
    int remaining = n;
    while (sizes.size() < static_cast<size_t>(kMaxGraphParts) + 1) {
        sizes.push_back(t);
        remaining -= t;
        if (remaining < 1) break;
        if (remaining > 3 * t / 4 && t < max) {
            sizes.back() *= 2;
            break;
        }
        if (remaining < t) {
            while (remaining < t && t > m)
                t /= 2;
        }
    }
    if (sizes.size() >= 2 && sizes[sizes.size() - 1] == sizes[sizes.size() - 2] && sizes.back() * 2 <= max) {
        sizes.pop_back();
        sizes.back() *= 2;
    }
    if (out != nullptr) std::copy_n(sizes.begin(), std::min<size_t>(sizes.size(), kMaxGraphParts), out);
    return static_cast<int>(sizes.size());
}

int MakeGraphTextures(GraphData& graph) {
    int widths[kMaxGraphParts + 1] = {}, heights[kMaxGraphParts + 1] = {};
    const int one = graph.draw_valid != 0 ? 0 : graph.one_texture;
    const int columns = ChooseTextureSizes(graph.width, nullptr, one);
    const int rows = ChooseTextureSizes(graph.height, nullptr, one);
    if (columns * rows > kMaxGraphParts) return WriteLogFormat(direct3d_log::kTooManyParts, kMaxGraphParts);
    ChooseTextureSizes(graph.width, widths, one);
    ChooseTextureSizes(graph.height, heights, one);
    struct Cell {
        int x, y, w, h;
    };
    std::vector<Cell> cells;
    for (int j = 0, y = 0; j < rows; y += heights[j], ++j)
        for (int i = 0, x = 0; i < columns; x += widths[i], ++i)
            cells.push_back(Cell{x, y, widths[i], heights[j]});
    if ((D3D().description.texture_caps & platform::kD3dTextureCapsSquareOnly) != 0) {
        std::vector<Cell> squares;
        for (const Cell& c : cells) {
            const int side = std::min(c.w, c.h);
            for (int y = 0; y < c.h; y += side)
                for (int x = 0; x < c.w; x += side)
                    squares.push_back(Cell{c.x + x, c.y + y, side, side});
        }
        cells = std::move(squares);
    }
    std::vector<int> parts;
    for (const Cell& c : cells) {
        if (c.x >= graph.width || c.y >= graph.height) continue;
        if (parts.size() >= static_cast<size_t>(kMaxGraphParts)) {
            for (const int p : parts)
                DeleteSurface3DData(p);
            return WriteLogFormat(direct3d_log::kTooManyParts, kMaxGraphParts);
        }
        const int handle =
            AddSurface3DData(c.w, c.h, c.x, c.y, std::min(c.w, graph.width - c.x), std::min(c.h, graph.height - c.y),
                             c.x, c.y, graph.handle, nullptr, 0, 0, graph);
        if (handle == -1) {
            for (const int p : parts)
                DeleteSurface3DData(p);
            return -1;
        }
        BuildCornerFlags(*GetSurface3DData(handle), graph);
        parts.push_back(handle);
    }
    graph.part_count = static_cast<int>(parts.size());
    std::copy(parts.begin(), parts.end(), graph.parts);
    return 0;
}

int DeleteGraphTextures(GraphData& graph) {
    for (int i = 0; i < graph.part_count; ++i)
        DeleteSurface3DData(graph.parts[i]);
    graph.part_count = 0;
    return 0;
}

int DeriveGraphTextures(GraphData& derived, int x, int y, int width, int height, const GraphData& source) {
    EndSceneD3D();
    int count = 0;
    for (int i = 0; i < source.part_count; ++i) {
        const Surface3DData* part = GetSurface3DData(source.parts[i]);
        if (part == nullptr) return -1;
        const int left = std::max<int>(x, part->x), top = std::max<int>(y, part->y);
        const int right = std::min<int>(x + width, part->x + part->width);
        const int bottom = std::min<int>(y + height, part->y + part->height);
        if (right <= left || bottom <= top) continue;
        const SurfaceData* store = GetSurfaceData(part->surface_data);
        if (store == nullptr) return -1;
        const int handle =
            AddSurface3DData(store->width, store->height, left - x, top - y, right - left, bottom - top, left - part->x,
                             top - part->y, derived.handle, part, left - part->x, top - part->y, derived);
        if (handle == -1) return -1;
        BuildCornerFlags(*GetSurface3DData(handle), derived);
        derived.parts[count++] = handle;
    }
    derived.part_count = count;
    return 0;
}

int UploadImageToTexture(const GraphImage& image, const GraphImage* alpha, const Rect& rect, int texture_x,
                         int texture_y, int part_handle, int options) {
    FlushVertexBufferD3D();
    const Surface3DData* part = GetSurface3DData(part_handle);
    SurfaceData* store = part != nullptr ? GetSurfaceData(part->surface_data) : nullptr;
    platform::D3dDevice* device = GetDevice3DInterface();
    if (store == nullptr || !store->surface || device == nullptr || !Screen().device) return -1;
    if (rect.right <= rect.left || rect.bottom <= rect.top) return 0;
    // The pixels are converted into a texture of their own and loaded from
    // there, so the texture the device draws with is never locked.
    platform::DdSurfaceDesc desc;
    desc.flags = platform::kDdsdCaps | platform::kDdsdWidth | platform::kDdsdHeight | platform::kDdsdPixelFormat;
    desc.caps = platform::kDdsCapsTexture | platform::kDdsCapsSystemMemory;
    desc.width = static_cast<uint32_t>(rect.right - rect.left);
    desc.height = static_cast<uint32_t>(rect.bottom - rect.top);
    store->surface->GetPixelFormat(&desc.pixel_format);
    std::shared_ptr<platform::DdSurface> temporary;
    if (Screen().device->CreateSurface(desc, &temporary) != platform::kDdOk)
        GraphicsFatalError(direct3d_log::kTempTextureFailed);
    platform::DdSurfaceDesc locked;
    if (temporary->Lock(nullptr, &locked, platform::kDdLockWait | platform::kDdLockWriteOnly) != platform::kDdOk)
        GraphicsFatalError(direct3d_log::kTempTextureFailed);
    // An alpha-tested texture carries the transparent colour as alpha 0:
    // the alpha test is what leaves those pixels out.
    const int key_to_alpha = store->params.alpha_test != 0 ? 1 : 0;
    BltColorConvert(locked.surface, locked.pitch, &store->surface_color, image.pixels, image.pitch, &image.color_data,
                    alpha != nullptr ? alpha->pixels : nullptr, alpha != nullptr ? alpha->pitch : 0,
                    alpha != nullptr ? &alpha->color_data : nullptr, 0, 0, &rect, 0, key_to_alpha,
                    store->transparent_color, kDitherNone, 0, (options & kUploadRedAsAlpha) != 0 ? 1 : 0, 0, 0);
    temporary->Unlock(nullptr);
    if (store->surface->IsLost() != platform::kDdOk) store->surface->Restore();
    if (device->Load(*store->surface, texture_x, texture_y, *temporary, nullptr) != platform::kDdOk)
        GraphicsFatalError(direct3d_log::kUploadFailed);
    temporary.reset();
    SetSurfaceDataColorKey(part->surface_data);
    return 0;
}

int FillGraphTexturesRect(GraphData& graph, const GraphImage& image, const GraphImage* alpha, const Rect& source, int x,
                          int y, int options) {
    // The source rectangle in graph coordinates.
    const Rect area{x + source.left, y + source.top, x + source.right, y + source.bottom};
    for (int i = 0; i < graph.part_count; ++i) {
        const Surface3DData* part = GetSurface3DData(graph.parts[i]);
        if (part == nullptr) return -1;
        const Rect piece{std::max<int>(part->x, area.left), std::max<int>(part->y, area.top),
                         std::min<int>(part->x + part->width, area.right),
                         std::min<int>(part->y + part->height, area.bottom)};
        if (piece.right <= piece.left || piece.bottom <= piece.top) continue;
        const Rect from{piece.left - x, piece.top - y, piece.right - x, piece.bottom - y};
        if (UploadImageToTexture(image, alpha, from, part->texture_x + piece.left - part->x,
                                 part->texture_y + piece.top - part->y, graph.parts[i], options) != 0)
            return -1;
    }
    return 0;
}

int FillGraphTextures(GraphData& graph, const GraphImage& image, const GraphImage* alpha, int dest_x, int dest_y,
                      int source_x, int source_y) {
    // An image loaded as one texture is a blend graph's mask (the 2D path
    // keeps only its red channel): the blend draws read the mask from the
    // texture's alpha.
    const int options = graph.one_texture == 1 ? kUploadRedAsAlpha : 0;
    const Rect whole{0, 0, image.width, image.height};
    return FillGraphTexturesRect(graph, image, alpha, whole, dest_x - source_x, dest_y - source_y, options);
}

int UpdateMovieTexture(const GraphImage& frame, GraphData& graph) {
    if (graph.texture == 0) return -1;
    const Rect whole{0, 0, frame.width, frame.height};
    return FillGraphTexturesRect(graph, frame, nullptr, whole, 0, 0, 0);
}

int UnlockSurface3DData(int handle, const uint8_t* pixels) {
    const Surface3DData* part = GetSurface3DData(handle);
    if (part == nullptr) return -1;
    const SurfaceData* store = GetSurfaceData(part->surface_data);
    if (store == nullptr || (pixels != nullptr && store->lock_pixels != nullptr && pixels != store->lock_pixels))
        return -1;
    return UnlockSurfaceData(part->surface_data, nullptr);
}

int FillGraphTexturesColor(GraphData& graph, int red, int green, int blue, int alpha) {
    if (D3D().draws_disabled != 0) return 0;
    EndSceneD3D();
    for (int i = 0; i < graph.part_count; ++i) {
        const Surface3DData* part = GetSurface3DData(graph.parts[i]);
        SurfaceData* store = part != nullptr ? GetSurfaceData(part->surface_data) : nullptr;
        if (store == nullptr || !store->surface) return -1;
        platform::DdBltFx fx;
        fx.fill_color = GetColorByColorData(&store->surface_color, red, green, blue, alpha);
        const Rect area{part->texture_x, part->texture_y, part->texture_x + part->width,
                        part->texture_y + part->height};
        store->surface->Blt(&area, nullptr, nullptr, platform::kDdBltColorFill | platform::kDdBltWait, &fx);
    }
    return 0;
}

int CheckGraphTexturesLost(const GraphData& graph) {
    int lost = 0;
    for (int i = 0; i < graph.part_count; ++i) {
        const Surface3DData* part = GetSurface3DData(graph.parts[i]);
        if (part == nullptr) return -1;
        const SurfaceData* store = GetSurfaceData(part->surface_data);
        if (store == nullptr || !store->surface) {
            lost = 1;
            continue;
        }
        lost |= store->surface->IsLost() != platform::kDdOk ? 1 : 0;
        if (RestoreSurfaceData(part->surface_data) != 0) lost = 1;
    }
    return lost;
}

int CheckSurface3DLost() {
    if (!D3D().object) return -1;
    for (int slot = 0; slot < Table().end(); ++slot) {
        const Surface3DData* part = Table().AtSlot(slot);
        if (part == nullptr) continue;
        const SurfaceData* store = GetSurfaceData(part->surface_data);
        if (store != nullptr && store->surface && store->surface->IsLost() != platform::kDdOk)
            store->surface->Restore();
    }
    return 0;
}

void ReleaseAllSurface3DTextures() {
    for (int slot = 0; slot < Table().end(); ++slot)
        if (const Surface3DData* part = Table().AtSlot(slot)) ReleaseSurfaceDataSurface(part->surface_data);
}

void RecreateAllSurface3DTextures() {
    for (int slot = 0; slot < Table().end(); ++slot) {
        const Surface3DData* part = Table().AtSlot(slot);
        if (part == nullptr) continue;
        const SurfaceData* store = GetSurfaceData(part->surface_data);
        if (store == nullptr || store->surface) continue;  // shared stores are made once
        CreateSurfaceDataSurface(part->surface_data);
        SetSurfaceDataColorKey(part->surface_data);
    }
}

int SetBlendGraphD3D(const GraphData* blend, int border_param, int border_range) {
    Device3D* d = CurrentDevice3D();
    if (d == nullptr) return -1;
    if (blend != nullptr && blend->texture != 0 && blend->part_count > 0) {
        const Surface3DData* part = GetSurface3DData(blend->parts[0]);
        const SurfaceData* store = part != nullptr ? GetSurfaceData(part->surface_data) : nullptr;
        if (store == nullptr) return -1;
        SetBlendTextureD3D(*d, store->surface, border_param, border_range);
        Direct3DContext& c = D3D();
        c.blend_width = store->width;
        c.blend_height = store->height;
        c.blend_width_inv = 1.0f / c.blend_width;
        c.blend_height_inv = 1.0f / c.blend_height;
        return 0;
    }
    if (d->blend_texture || d->force != 0) {
        FlushVertexBufferDevice3D(*d);
        d->blend_texture.reset();
        if (border_param != -1) d->blend_border_param = border_param;
        if (border_range != -1) d->blend_border_range = border_range;
        d->program_dirty = 1;
    }
    return 0;
}

}  // namespace velk
