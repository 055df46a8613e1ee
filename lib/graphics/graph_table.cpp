#include "lib/graphics/graph_table.h"

#include <new>
#include <string>
#include <vector>

#include "lib/core/log.h"
#include "lib/core/memory_tracker.h"
#include "lib/core/string_format.h"
#include "lib/graphics/draw_path.h"
#include "lib/graphics/draw_settings.h"
#include "lib/graphics/draw_settings_internal.h"
#include "lib/graphics/graphics_fatal.h"
#include "lib/graphics/graphics_log_texts.h"
#include "lib/core/handle_table.h"
#include "lib/image/image_loader.h"

namespace velk {

namespace {

HandleTable<GraphData>& Table() {
    static HandleTable<GraphData> table(kGraphHandleSlots, kGraphHandleType);
    return table;
}

int ScreenDepthOr16() {
    const int bits = Host().ScreenColorBits();
    return bits == 0 ? 16 : bits;
}

GraphData* NewRecord() {
    void* block = VELK_CALLOC(sizeof(GraphData));
    if (block == nullptr) {
        GraphicsFatalError(graphics_log::kLogMemoryFailed);
    }
    return new (block) GraphData{};
}

void FreeRecord(GraphData* record) {
    record->~GraphData();
    MemFree(record);
}

// Both images, when there are any, released on every way out.
struct ImagePair {
    GraphImage image;
    GraphImage alpha;
    bool has_alpha = false;
    ~ImagePair() {
        ReleaseGraphImage(&image);
        ReleaseGraphImage(&alpha);
    }
};

}  // namespace

void ResetGraphTable() { Table().Clear(); }

GraphData* GetGraphData(int graph) { return Table().Get(graph); }

int AddGraphHandle(int width, int height, int texture, GraphData** out, int alpha, int palette_image) {
    if (Table().full()) {
        GraphicsFatalError(graphics_log::kLogGraphTableFull);
    }
    GraphData* g = NewRecord();
    const DrawSettings& s = GetDrawSettings();
    const int handle = Table().Add(g);
    g->width = width;
    g->height = height;
    g->movie = -1;
    g->option = s.graph_option;
    g->lost_flag = nullptr;
    g->texture = (texture != 0 && s.use_3d != 0 && Host().Direct3DReady() && !Host().SoftwareRendering()) ? 1 : 0;
    if (s.create_draw_valid != 1) {
        g->alpha_channel = static_cast<uint8_t>(alpha != 0);
        g->draw_valid = 0;
        g->alpha_test = static_cast<uint8_t>(s.alpha_test);
        g->one_texture = static_cast<uint8_t>(s.graph_option & 0xFF);
    } else {
        g->draw_valid = 1;
        g->alpha_channel = 0;
        g->alpha_test = 0;
        g->one_texture = 0;
    }
    if (g->texture) {
        int depth = s.new_graph_color_depth;
        if (depth == 0) {
            depth = alpha == 1 ? 32 : ScreenDepthOr16();
        }
        g->color_depth = static_cast<uint8_t>(depth);
        g->system_memory = 0;
        g->palette_image = 0;
        g->texture_setting = static_cast<uint8_t>(s.texture_setting);
        if (g->option == 1) {
            g->color_depth = 32;
            g->alpha_test = 0;
            g->alpha_channel = 1;
            g->draw_valid = 0;
        }
    } else {
        int depth = s.new_graph_color_depth;
        if (depth == 0 || Host().DirectDrawOff()) {
            depth = ScreenDepthOr16();
        }
        g->color_depth = static_cast<uint8_t>(depth);
        g->system_memory = static_cast<uint8_t>(s.system_memory);
        g->palette_image = static_cast<uint8_t>(palette_image != 0);
        g->texture_setting = 0;
    }
    if (out != nullptr) {
        *out = g;
    }
    return handle;
}

namespace {

// Takes a graph out of the table and frees it, without touching its parts.
void DropRecord(GraphData* g) {
    Table().Remove(g->handle);
    FreeRecord(g);
}

}  // namespace

int MakeGraph(int width, int height, int texture, int alpha, int palette_image) {
    GraphData* g = nullptr;
    const int handle = AddGraphHandle(width, height, texture, &g, alpha, palette_image);
    if (PathOfGraph(*g).MakeGraphParts(*g) != 0) {
        DropRecord(g);
        return WriteLog(graphics_log::kLogGraphCreateFailed);
    }
    return handle;
}

int CreateEmptyGraph(int width, int height, int not_3d) {
    if (!IsAcceptableImageSize(width, height)) {
        return -1;
    }
    return MakeGraph(width, height, not_3d == 0 ? 1 : 0, GetDrawSettings().empty_graph_alpha, 0);
}

int SetGraphLostFlag(int graph, int* flag) {
    GraphData* g = GetGraphData(graph);
    if (g == nullptr) {
        return -1;
    }
    g->lost_flag = flag;
    if (flag != nullptr) {
        *flag = 0;
    }
    return 0;
}

int SetGraphFileName(int graph, const char* file_name, int copy_from) {
    GraphData* g = GetGraphData(graph);
    if (g == nullptr) {
        return -1;
    }
    g->directory.clear();
    if (file_name != nullptr) {
        g->directory = Host().CurrentDirectory();
        g->file_name = file_name;
        return 0;
    }
    const GraphData* source = GetGraphData(copy_from);
    if (source != nullptr) {
        g->file_name = source->file_name;
        g->directory = source->directory.empty() ? Host().CurrentDirectory() : source->directory;
        return 0;
    }
    g->file_name.clear();
    g->directory = Host().CurrentDirectory();
    return 0;
}

int MakeGraphForGraphImage(const GraphImage* image, const GraphImage* alpha, int texture) {
    if (alpha != nullptr && (alpha->width != image->width || alpha->height != image->height)) {
        return -1;
    }
    const int has_alpha = (image->color_data.alpha_width != 0 || alpha != nullptr) ? 1 : 0;
    const int palette_image = (image->color_data.pixel_byte == 1 && has_alpha == 0) ? 1 : 0;
    return MakeGraph(image->width, image->height, texture, has_alpha, palette_image);
}

int FillGraphFromGraphImage(int dest_x, int dest_y, const char* file_name, const GraphImage* image,
                            const GraphImage* alpha, int offset_x, int offset_y, int graph, uint32_t image_kind) {
    GraphData* g = GetGraphData(graph);
    if (g == nullptr) {
        return -1;
    }
    if (file_name != nullptr) {
        SetGraphFileName(graph, file_name, -1);
    }
    g->image_kind = image_kind;
    g->offset_x = offset_x;
    g->offset_y = offset_y;
    return PathOfGraph(*g).FillGraphParts(*g, *image, alpha, dest_x, dest_y, offset_x, offset_y);
}

int CreateGraphFromGraphImage(GraphImage* image, GraphImage* alpha, int texture, int mirror, int mirror_in_place) {
    NormalizeUnusedMask(&image->color_data);
    if (alpha != nullptr) {
        NormalizeUnusedMask(&alpha->color_data);
    }
    Direct3DPath().EndScene();
    const bool flip = mirror_in_place != 0 && mirror != 0;
    if (flip) {
        MirrorGraphImage(image);
        if (alpha != nullptr) {
            MirrorGraphImage(alpha);
        }
    }
    const int graph = MakeGraphForGraphImage(image, alpha, texture);
    if (graph != -1) {
        FillGraphFromGraphImage(0, 0, nullptr, image, alpha, 0, 0, graph, 0);
    }
    if (flip) {
        MirrorGraphImage(image);
        if (alpha != nullptr) {
            MirrorGraphImage(alpha);
        }
    }
    return graph;
}

int CreateGraphFromOneGraphImage(GraphImage* image) { return CreateGraphFromGraphImage(image, nullptr, 1, 0, 0); }

namespace {

int GraphFromImages(ImagePair& images, int texture, int mirror) {
    if (mirror != 0) {
        MirrorGraphImage(&images.image);
        if (images.has_alpha) {
            MirrorGraphImage(&images.alpha);
        }
    }
    return CreateGraphFromGraphImage(&images.image, images.has_alpha ? &images.alpha : nullptr, texture, 0, 0);
}

}  // namespace

int CreateGraphFromMemoryImage(const void* image, size_t size, const void* alpha_image, size_t alpha_size,
                               int texture, int mirror) {
    ImagePair images;
    const int opened = OpenGraphImageWithAlpha(nullptr, image, size, alpha_image, alpha_size, 1, &images.image,
                                               &images.alpha);
    if (opened == -1) {
        return -1;
    }
    images.has_alpha = opened == 0;
    return GraphFromImages(images, texture, mirror);
}

namespace {

// A file no image decoder took is tried as a movie.
int LoadMovieGraph(const char* file_name, int texture) {
    GraphicsHost& host = Host();
    std::vector<uint8_t> probe;
    if (!ReadImageFile(file_name, &probe)) {
        return WriteLogFormat(graphics_log::kLogGraphFileMissing, file_name);
    }
    int width = 0, height = 0;
    bool through_service = false, alpha = false;
    const int movie = host.OpenMovie(file_name, &width, &height, &through_service, &alpha);
    if (movie == -1) {
        return WriteLog(FormatString(graphics_log::kLogGraphFileLoadFailed, file_name).c_str());
    }
    if (through_service) {
        if (!host.DirectDrawExists()) {
            host.SetSoftwareRenderRequest(true);
        }
        SetUse3DFlag(0);
    }
    // The movie's graph: screen depth, system memory, unmanaged textures.
    const DrawSettings saved = GetDrawSettings();
    DrawSettingsForMaking(ScreenDepthOr16(), 1, 1);
    const int graph = MakeGraph(width, height, texture, alpha ? 1 : 0, 0);
    DrawSettingsForMaking(saved.new_graph_color_depth, saved.system_memory, saved.texture_setting);
    SetUse3DFlag(saved.use_3d);
    if (graph == -1) {
        host.CloseMovie(movie);
        return WriteLogFormat(graphics_log::kLogMovieGraphCreateFailed, file_name);
    }
    GetGraphData(graph)->movie = movie;
    host.AttachMovieToGraph(movie, graph);
    return graph;
}

}  // namespace

int LoadGraphFromFile(const char* file_name, int texture, int mirror, int flags) {
    if (!IsGraphManagementInitialized() || file_name == nullptr) {
        return -1;
    }
    Direct3DPath().EndScene();
    if (!Host().WindowActive()) {
        Host().WaitWhileInactive();
    }
    ImagePair images;
    const int opened =
        OpenGraphImageWithAlpha(file_name, nullptr, 0, nullptr, 0, 0, &images.image, &images.alpha);
    if (opened != -1) {
        images.has_alpha = opened == 0;
        const int graph = GraphFromImages(images, texture, mirror);
        if (graph != -1) {
            SetGraphFileName(graph, file_name, -1);
        }
        return graph;
    }
    const int graph = LoadMovieGraph(file_name, texture);
    if (graph != -1) {
        SetGraphFileName(graph, file_name, -1);
    }
    return graph;
}

int LoadGraphAsOneTexture(const char* file_name) {
    const uint32_t saved = GetGraphOption();
    SetGraphOption(1);
    const int graph = LoadGraphFromFile(file_name, 1, 0, 0);
    SetGraphOption(saved);
    return graph;
}

int CreateDerivedGraph(int x, int y, int width, int height, int source) {
    GraphData* src = GetGraphData(source);
    if (src == nullptr || x < 0 || y < 0 || x >= src->width || y >= src->height || width <= 0 || height <= 0) {
        return -1;
    }
    if (width > src->width - x) {
        width = src->width - x;
    }
    if (height > src->height - y) {
        height = src->height - y;
    }
    GraphData* g = NewRecord();
    if (Table().full()) {
        FreeRecord(g);
        GraphicsFatalError(graphics_log::kLogGraphTableFull);
    }
    const int handle = Table().Add(g);
    g->width = width;
    g->height = height;
    g->texture = src->texture;
    g->alpha_channel = src->alpha_channel;
    g->palette_image = src->palette_image;
    g->movie = src->movie;
    g->file_name = src->file_name;
    g->directory = src->directory;
    g->draw_valid = src->draw_valid;
    g->system_memory = src->system_memory;
    g->texture_setting = src->texture_setting;
    g->alpha_test = src->alpha_test;
    g->color_depth = src->color_depth;
    g->one_texture = src->one_texture;
    g->option = src->option;
    g->image_kind = src->image_kind;
    g->offset_x = src->offset_x + x;
    g->offset_y = src->offset_y + y;
    if (PathOfGraph(*g).DeriveGraphParts(*g, *src, x, y) != 0) {
        DropRecord(g);
        return WriteLog(graphics_log::kLogGraphDeriveFailed);
    }
    return handle;
}

int DeleteGraph(int graph, int log) {
    GraphData* g = GetGraphData(graph);
    if (g == nullptr) {
        return -1;
    }
    // Drawing must not go on into a graph that no longer exists.
    if (GetDrawSettings().draw_screen == graph) {
        SetDrawScreen(kBackScreen);
    }
    if (GetDrawSettings().blend_graph == graph) {
        SetBlendGraph(-1, 0, 0);
    }
    // Derived graphs share their source's movie: the last one closes it.
    if (g->movie != -1) {
        bool shared = false;
        for (int slot = 0; slot < Table().end() && !shared; ++slot) {
            const GraphData* other = Table().AtSlot(slot);
            shared = other != nullptr && other != g && other->movie == g->movie;
        }
        if (!shared) {
            Host().CloseMovie(g->movie);
        }
    }
    PathOfGraph(*g).DeleteGraphParts(*g);
    if (log != 0) {
        WriteLogFormat(graphics_log::kLogGraphDeleted, g->file_name.c_str());
    }
    if (g->lost_flag != nullptr) {
        *g->lost_flag = 1;
    }
    DropRecord(g);
    return 0;
}

int DeleteAllGraphs(int log) {
    if (!IsGraphManagementInitialized()) {
        return 0;
    }
    for (int slot = 0; slot < Table().end(); ++slot) {
        if (GraphData* g = Table().AtSlot(slot)) {
            DeleteGraph(g->handle, log);
        }
    }
    return 0;
}

int GetGraphCount() { return Table().count(); }

int GetGraphSize(int graph, int* width, int* height) {
    int w, h;
    if (graph == kBackScreen || graph == kFrontScreen) {
        GetScreenModeInfo(&w, &h, nullptr);
    } else {
        const GraphData* g = GetGraphData(graph);
        if (g == nullptr) {
            return -1;
        }
        w = g->width;
        h = g->height;
    }
    if (width != nullptr) {
        *width = w;
    }
    if (height != nullptr) {
        *height = h;
    }
    return 0;
}

int CheckValidGraphHandle(int graph) { return GetGraphData(graph) != nullptr ? 1 : 0; }

int RefreshGraphSurface(int graph) {
    GraphData* g = GetGraphData(graph);
    if (g == nullptr) {
        return -1;
    }
    PathOfGraph(*g).RefreshGraphParts(*g);
    if (g->movie != -1) {
        Host().RestoreMovieSurfaces(g->movie);
    }
    return 0;
}

int RefreshAllGraphSurfaces() {
    for (int slot = 0; slot < Table().end(); ++slot) {
        if (GraphData* g = Table().AtSlot(slot)) {
            RefreshGraphSurface(g->handle);
        }
    }
    return 0;
}

int RestoreAllGraphs() {
    WriteLog(graphics_log::kLogGraphRestoring);
    GraphicsHost& host = Host();
    const std::string saved_directory = host.CurrentDirectory();
    ImagePair images;
    bool loaded = false;
    std::string last_name, last_directory;
    uint32_t last_kind = 0;
    for (int slot = 0; slot < Table().end(); ++slot) {
        GraphData* g = Table().AtSlot(slot);
        if (g == nullptr || g->needs_restore == 0 || g->file_name.empty()) {
            continue;
        }
        // Consecutive graphs of one image (a sheet and its cells) load it once.
        const bool same = loaded && g->file_name == last_name && g->directory == last_directory &&
                          g->image_kind == last_kind;
        if (!same) {
            ReleaseGraphImage(&images.image);
            ReleaseGraphImage(&images.alpha);
            host.SetCurrentDirectory(g->directory);
            const int opened = OpenGraphImageWithAlpha(g->file_name.c_str(), nullptr, 0, nullptr, 0, 0,
                                                       &images.image, &images.alpha);
            loaded = opened != -1;
            images.has_alpha = opened == 0;
            last_name = g->file_name;
            last_directory = g->directory;
            last_kind = g->image_kind;
            if (!loaded) {
                continue;
            }
        }
        PathOfGraph(*g).FillGraphParts(*g, images.image, images.has_alpha ? &images.alpha : nullptr, 0, 0,
                                       g->offset_x, g->offset_y);
        g->needs_restore = 0;
    }
    host.SetCurrentDirectory(saved_directory);
    return 0;
}

int RunRestoreGraphCallback() {
    int seen = 0;
    for (int slot = 0; slot < Table().end() && seen < Table().count(); ++slot) {
        if (GraphData* g = Table().AtSlot(slot)) {
            g->needs_restore = 1;
            ++seen;
        }
    }
    const GraphRestoreCallback callback = GetDrawSettings().restore_callback;
    if (callback != nullptr) {
        callback();
    } else {
        RestoreAllGraphs();
    }
    Host().RestoreFontGlyphCaches();
    return 0;
}

}  // namespace velk
