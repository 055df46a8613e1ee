#pragma once
// The seams of the graph side. A graph's pixels and every draw go through one
// of two paths: the Direct3D path for texture graphs and the 2D path
// (DirectDraw surfaces or the software renderer) for the rest. The graph side
// itself draws no pixel. GraphicsHost answers what the screen, window, masks
// and movies say; until those parts are built it reports a plain 640 x 480
// window with no Direct3D.

#include <cstdint>
#include <string>

#include "lib/core/math.h"
#include "lib/graphics/graph_data.h"
#include "lib/image/color_data.h"
#include "lib/image/graph_image.h"

namespace velk {

class GraphDrawPath {
public:
    virtual ~GraphDrawPath() = default;

    // --- a graph's parts ---
    // Makes the parts that hold a new graph's pixels (the record's size,
    // depth, alpha and settings are set). 0, -1.
    virtual int MakeGraphParts(GraphData& graph) = 0;
    // Makes the parts of a derived graph as views on the source's parts at
    // (x, y) of the source. 0, -1.
    virtual int DeriveGraphParts(GraphData& derived, const GraphData& source, int x, int y) = 0;
    // Frees the parts; returns the path's result (0, -1).
    virtual int DeleteGraphParts(GraphData& graph) = 0;
    // Copies an image (and its alpha image, or null) into the parts. The
    // image's pixel (source_x, source_y) lands on the graph's (dest_x, dest_y).
    virtual int FillGraphParts(GraphData& graph, const GraphImage& image, const GraphImage* alpha, int dest_x,
                               int dest_y, int source_x, int source_y) = 0;
    // Fills every part with one colour (packed for each part's format).
    virtual int FillGraphColor(GraphData& graph, int red, int green, int blue, int alpha) = 0;
    // Has the parts re-check themselves after the window was inactive.
    virtual int RefreshGraphParts(GraphData& graph) = 0;

    // --- draw target and state (read the rest from GetDrawSettings()) ---
    // screen is kBackScreen, kFrontScreen or a draw-valid graph (then graph
    // is its record). 0, -1 when this path cannot draw there.
    virtual int SetDrawTarget(int screen, GraphData* graph) = 0;
    // The draw area changed (viewport, clipping). 0, -1.
    virtual int SetDrawArea(const Rect& area) = 0;
    // Blend mode, parameter or brightness changed.
    virtual void DrawColorStateChanged() {}
    virtual void DrawModeChanged() {}
    virtual void BlendGraphChanged() {}
    // The world, view or projection matrix changed (kind 0, 1, 2).
    virtual void MatrixChanged(int kind, const Matrix& matrix) {}
    // Ends a Direct3D scene before pixels are read or written directly.
    virtual void EndScene() {}

    // --- draws (graphs are live and fit the blend graph) ---
    // (x, y) as integers and as floats.
    virtual int DrawGraph(int x, int y, float fx, float fy, GraphData& graph, int transparent) = 0;
    // x1 > x2 or y1 > y2 mirror the graph.
    virtual int DrawGraphScaled(int x1, int y1, int x2, int y2, GraphData& graph, int transparent) = 0;
    virtual int DrawGraphRotated(float x, float y, double scale, double angle, GraphData& graph, int transparent,
                                 int turn) = 0;
    // Corners x1, y1 to x4, y4: where the graph's top left, top right, bottom
    // left and bottom right land, in that order.
    virtual int DrawGraphFourCorner(const float corners[8], GraphData& graph, int transparent) = 0;
    virtual int DrawBox(int x1, int y1, int x2, int y2, uint32_t color, int fill) = 0;
    virtual int ClearDrawScreen() = 0;
    virtual int GetDrawScreenGraph(int x1, int y1, int x2, int y2, GraphData& graph, int flag) = 0;
};

class GraphicsHost {
public:
    virtual ~GraphicsHost() = default;

    // The display: screen size and colour depth (0 while no mode is set).
    virtual int ScreenWidth() const { return 0; }
    virtual int ScreenHeight() const { return 0; }
    virtual int ScreenColorBits() const { return 0; }
    // The descriptor colour values are packed with (the screen's, or the
    // software renderer's in software mode); null: a plain one for the depth.
    virtual const ColorData* ScreenColorData() const { return nullptr; }
    virtual bool Direct3DReady() const { return false; }
    virtual bool SoftwareRendering() const { return false; }
    virtual bool DirectDrawOff() const { return false; }
    virtual bool DirectDrawExists() const { return true; }
    // Asks for software rendering before the display starts.
    virtual void SetSoftwareRenderRequest(bool request) {}

    // The window.
    virtual bool WindowActive() const { return true; }
    virtual void WaitWhileInactive() {}
    virtual bool WindowMode() const { return true; }
    // Client rectangle in screen coordinates and the desktop size.
    virtual Rect WindowClientRect() const { return Rect{0, 0, 640, 480}; }
    virtual int DesktopWidth() const { return 640; }
    virtual int DesktopHeight() const { return 480; }
    virtual bool HasTemporaryPrimary() const { return false; }
    // The window layer keeps the last draw area asked for.
    virtual void RememberDrawArea(const Rect& area) {}

    // Masks (their draws bracket every graph draw while masks are in use).
    virtual bool MasksInUse() const { return false; }
    virtual bool MaskScreenPresent() const { return false; }
    virtual void MaskBeforeDraw(const Rect& area) {}
    virtual void MaskAfterDraw(const Rect& area) {}
    virtual void RefreshMaskScreenArea(int use) {}

    // Software rendering onto the front screen.
    virtual bool WindowReadFlag() const { return false; }
    virtual void ReadWindowToFrontMemImg() {}
    virtual void CopyFrontScreenToWindow(const Rect& area) {}

    // Movies shown by graphs.
    virtual int OpenMovie(const std::string& file_name, int* width, int* height, bool* through_service,
                          bool* alpha) {
        return -1;
    }
    virtual void CloseMovie(int movie) {}
    virtual void UpdateMovieFrame(int movie) {}
    virtual bool MoviePlaysThroughService(int movie) const { return false; }
    virtual void ShowMovieOverlay(int x, int y, int zoom, int movie) {}
    // Has the movie's frames copied into the graph from now on.
    virtual void AttachMovieToGraph(int movie, int graph) {}
    virtual void RestoreMovieSurfaces(int movie) {}

    // The directory a graph's file name is relative to.
    virtual std::string CurrentDirectory() const { return ""; }
    virtual void SetCurrentDirectory(const std::string& directory) {}

    // Fonts re-make their glyph caches after the graphs were restored.
    virtual void RestoreFontGlyphCaches() {}
    // The font side starts with graph management and ends with it: every
    // font goes at the end and the default font is made again at the start.
    virtual void StartFonts() {}
    virtual void EndFonts() {}
    // A display-mode change keeps the default font's face, size and
    // thickness across the restart of the font side.
    virtual void KeepDefaultFont() {}
    virtual void RemakeDefaultFont() {}

    // Graph management's end also ends the mask state and deletes every mask.
    virtual void EndMasks() {}
    // Movies are opened again once the graphics were rebuilt.
    virtual void ReopenMovies() {}
};

// Installs the two paths and the host (null: the built-in stand-ins that
// keep no pixels and draw nothing). The objects must outlive their use.
void SetGraphDrawPaths(GraphDrawPath* direct3d, GraphDrawPath* two_d);
void SetGraphicsHost(GraphicsHost* host);
GraphDrawPath& Direct3DPath();
GraphDrawPath& TwoDPath();
namespace draw_path_detail {
// Never null; written only by SetGraphicsHost.
extern GraphicsHost* g_host;
}  // namespace draw_path_detail
// Inline: a string's draw asks the host several questions.
inline GraphicsHost& Host() { return *draw_path_detail::g_host; }
// The path that holds and draws a graph.
GraphDrawPath& PathOfGraph(const GraphData& graph);

}  // namespace velk
