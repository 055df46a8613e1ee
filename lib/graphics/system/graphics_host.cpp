#include "lib/graphics/system/graphics_host.h"

#include "lib/core/files/file_access.h"
#include "lib/core/screen_log.h"
#include "lib/core/window/main_window.h"
#include "lib/core/window/message_processing.h"
#include "lib/graphics/direct3d/device_3d.h"
#include "lib/graphics/direct3d/surface_3d.h"
#include "lib/graphics/draw_path.h"
#include "lib/graphics/draw_settings.h"
#include "lib/graphics/font/display/screen_text_draws.h"
#include "lib/graphics/font/font_handles.h"
#include "lib/graphics/graph_table.h"
#include "lib/graphics/screen/display_system.h"
#include "lib/graphics/screen/masks.h"
#include "lib/graphics/screen/screen_present.h"
#include "lib/graphics/screen/screen_state.h"
#include "lib/graphics/screen/surface_2d.h"
#include "lib/movie/movie_handles.h"
#include "lib/movie/theora_movie.h"
#include "platform/display/display_mode.h"
#include "platform/window/window_clip_region.h"

namespace velk {

namespace {

Rect g_remembered_area;

// A movie graph's frame copy: the movie's current frame into the graph's
// textures, or its 2D surfaces when it has none. A Theora frame is converted
// first when it moved on (nothing is copied when it did not): a texture graph
// takes it from the movie's YUV surface where there is one.
void CopyMovieFrameToGraph(MovieData* movie, void* data) {
    GraphData* graph = GetGraphData(static_cast<int>(reinterpret_cast<intptr_t>(data)));
    if (graph == nullptr || movie->current_frame_image == nullptr || movie->current_frame_image->pixels == nullptr) {
        return;
    }
    if (movie->theora) {
        TheoraMovieData* decoder = movie->decoder;
        const bool from_surface = graph->texture != 0 && GetTheoraYuvSurface(decoder) != nullptr;
        if (ConvertTheoraFrame(decoder, from_surface ? 0 : 1, from_surface ? 1 : 0) == 0 && movie->frame_delivered)
            return;
        if (from_surface) ReadTheoraYuvSurface(decoder);
    }
    if (graph->texture != 0) {
        UpdateMovieTexture(*movie->current_frame_image, *graph);
        return;
    }
    BltMovieFrameToSurface2D(*movie, *graph);
}

class ScreenHost final : public GraphicsHost {
public:
    int ScreenWidth() const override { return Screen().width; }
    int ScreenHeight() const override { return Screen().height; }
    int ScreenColorBits() const override { return Screen().screen_bits; }

    const ColorData* ScreenColorData() const override {
        const ScreenState& s = Screen();
        if (SoftwareMode()) return GetMemImgColorData(GetColorBitDepth() == 16 ? kMemImgFormat16 : kMemImgFormat32, 0, 0);
        if (s.device || s.direct_draw_off != 0) return &s.color_data;
        return nullptr;
    }

    bool Direct3DReady() const override { return Direct3DUsable(); }
    bool SoftwareRendering() const override { return Screen().software_rendering != 0; }
    bool DirectDrawOff() const override { return Screen().direct_draw_off != 0; }
    bool DirectDrawExists() const override { return Screen().device != nullptr; }
    void SetSoftwareRenderRequest(bool request) override { velk::SetSoftRenderRequest(request ? 1 : 0); }

    bool WindowActive() const override { return GetMainWindowHWND() == 0 || GetWindowActiveFlag() != 0; }
    void WaitWhileInactive() override { velk::WaitWhileInactive(); }
    bool WindowMode() const override { return GetWindowModeFlag() != 0; }

    Rect WindowClientRect() const override {
        Rect client;
        GetWindowClientRect(&client);
        return client;
    }

    int DesktopWidth() const override { return platform::CurrentDisplayMode().width; }
    int DesktopHeight() const override { return platform::CurrentDisplayMode().height; }
    bool HasTemporaryPrimary() const override { return Screen().temp_primary_flag != 0; }
    void RememberDrawArea(const Rect& area) override { g_remembered_area = area; }

    bool MasksInUse() const override { return GetMaskUseFlag() != 0; }
    bool MaskScreenPresent() const override { return GetMaskMemImg() != nullptr; }
    void MaskBeforeDraw(const Rect& a) override { MaskDrawBeginOnTarget(a.left, a.top, a.right, a.bottom); }
    void MaskAfterDraw(const Rect& a) override { MaskDrawEndOnTarget(a.left, a.top, a.right, a.bottom); }
    void RefreshMaskScreenArea(int use) override { velk::RefreshMaskScreenArea(use); }

    bool WindowReadFlag() const override { return Screen().window_content_changed != 0; }
    void ReadWindowToFrontMemImg() override { velk::ReadWindowToFrontMemImg(); }
    void CopyFrontScreenToWindow(const Rect& area) override { CopyFrontMemImgToWindow(&area); }

    // A graph's file name is relative to the folder that was current when it
    // was loaded; the restore goes back there to load it again.
    std::string CurrentDirectory() const override {
        std::string directory;
        FileAccessGetDir(&directory);
        return directory;
    }
    void SetCurrentDirectory(const std::string& directory) override {
        if (!directory.empty()) FileAccessChDir(directory);
    }

    void RestoreFontGlyphCaches() override { RestoreFontsOnScreen(); }
    void StartFonts() override { StartFontsOnScreen(); }
    void EndFonts() override { EndFontManagement(); }
    void KeepDefaultFont() override { KeepDefaultFontForModeChange(); }
    void RemakeDefaultFont() override {
        RemakeKeptDefaultFont();
        InitScreenLog();
    }

    int OpenMovie(const std::string& file_name, int* width, int* height, bool* through_service,
                  bool* alpha) override {
        const int movie = velk::OpenMovie(file_name.c_str(), width, height, kMovieSurfaceSystem);
        if (movie != -1) {
            *through_service = GetMovieData(movie)->theora == 0;
            *alpha = false;
        }
        return movie;
    }
    void CloseMovie(int movie) override { velk::CloseMovie(movie); }
    void UpdateMovieFrame(int movie) override { velk::UpdateMovieFrame(movie, 0); }
    // A movie in overlay mode is shown by its overlay instead of its graph.
    bool MoviePlaysThroughService(int movie) const override {
        const MovieData* md = GetMovieData(movie);
        return md != nullptr && md->theora == 0 && md->surface_mode == kMovieSurfaceOverlay;
    }
    void ShowMovieOverlay(int x, int y, int zoom, int movie) override { UpdateMovieOverlay(x, y, zoom, movie, 1); }
    void AttachMovieToGraph(int movie, int graph) override {
        SetMovieFrameCallback(movie, &CopyMovieFrameToGraph, reinterpret_cast<void*>(static_cast<intptr_t>(graph)));
    }
    void RestoreMovieSurfaces(int movie) override { velk::RestoreMovieSurfaces(movie); }
    void ReopenMovies() override { ReopenAllMovieStreams(); }

    void EndMasks() override {
        EndMaskScreen();
        DeleteAllMasks();
    }
};

}  // namespace

Rect RememberedDrawArea() { return g_remembered_area; }

GraphicsHost& ScreenGraphicsHost() {
    static ScreenHost host;
    static const bool movie_screen_set = [] {
        MovieScreen screen;
        screen.present_count = [] { return GetScreenPresentCount(); };
        screen.color_bits = [] { return GetColorBitDepth(); };
        screen.software_rendering = [] { return Screen().software_rendering != 0; };
        screen.direct_draw = [] { return GetDirectDrawObject(); };
        screen.overlay_format = [] { return GetOverlayPixelFormat(); };
        screen.device_caps = [](platform::DdDeviceCaps* caps) { GetDirectDrawCaps(caps); };
        screen.main_draw_surface = [] { return GetMainDrawSurface(); };
        screen.window_mode = [] { return GetWindowModeFlag() != 0; };
        screen.client_rect = [] {
            Rect client;
            GetWindowClientRect(&client);
            return client;
        };
        screen.clip_box = [](Rect* box) {
            switch (platform::GetWindowClipBox(ScreenWindow(), box)) {
                case platform::ClipRegionKind::kNull: return WindowRegion::kNull;
                case platform::ClipRegionKind::kSimple: return WindowRegion::kSimple;
                case platform::ClipRegionKind::kComplex: return WindowRegion::kComplex;
                case platform::ClipRegionKind::kError: break;
            }
            return WindowRegion::kNoContext;
        };
        SetMovieScreen(screen);
        return true;
    }();
    (void)movie_screen_set;
    return host;
}

}  // namespace velk
