#pragma once
// What the game's presentation asks of the game library: reading data files
// (loose or from an archive), making, cutting, sizing, drawing and deleting
// graphs, fonts, and measuring and drawing strings. GameLibrary() is the
// library itself; tests put in fakes with fixed metrics that record draws.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace velk {

class PresentLibrary {
public:
    virtual ~PresentLibrary() = default;

    // A whole file by game path through the library's file access; nullopt
    // when it cannot be opened or read.
    virtual std::optional<std::vector<uint8_t>> ReadFile(const std::string& path) = 0;
    // What names the file ReadFile reads under `path`, alike for every
    // spelling of it; nullopt when there is none.
    virtual std::optional<std::string> FileIdentity(const std::string& path) = 0;
    // The lines of a text file as the library's line reader gives them (at
    // most 511 bytes each), up to the first empty one; nullopt when the file
    // does not open.
    virtual std::optional<std::vector<std::string>> ReadLines(const std::string& path) = 0;
    // The names (without folder) of the files matching a game-path pattern
    // such as "Data\BasicData\icon???.png", in name order.
    virtual std::vector<std::string> FindFiles(const std::string& pattern) = 0;

    // A graph from an image file held in memory; -1 when no loader takes it.
    virtual int CreateGraphFromMemory(std::span<const uint8_t> bytes) = 0;
    virtual int CreateDerivedGraph(int x, int y, int width, int height, int source) = 0;
    virtual void DeleteGraph(int graph) = 0;
    virtual bool GetGraphSize(int graph, int& width, int& height) = 0;
    virtual void DrawGraphScaled(int x1, int y1, int x2, int y2, int graph, bool transparent) = 0;
    // Draws the rectangle (sourceX, sourceY, width, height) of a graph at (x, y), unscaled.
    virtual void DrawRectGraph(int x, int y, int sourceX, int sourceY, int width, int height, int graph,
                               bool transparent) = 0;
    // The blend of later draws (0 none, 1 alpha, 2 add, ...) with its parameter 0..255.
    virtual void SetDrawBlendMode(int mode, int parameter) = 0;
    virtual uint32_t GetColorValue(int red, int green, int blue) = 0;
    // Re-creates every graph's image data after the display was rebuilt.
    virtual void RestoreAllGraphs() = 0;

    // -1 when the font cannot be made.
    virtual int CreateFont(const std::string& face, int size, int thickness, int fontType, int charset) = 0;
    // Deletes every font handle.
    virtual void InitFontHandles() = 0;
    virtual void SetDefaultFontFace(const std::string& face, int charset) = 0;
    virtual void SetDefaultFontTypeAndThickness(int fontType, int thickness) = 0;
    // The installed Japanese faces (and those the game added).
    virtual std::vector<std::string> ListJapaneseFontFaces() = 0;
    virtual int StringWidth(std::string_view text, int font) = 0;
    virtual void DrawString(int x, int y, const std::string& text, uint32_t color, int font) = 0;
    virtual void DrawStringScaled(int x, int y, double scaleX, double scaleY, const std::string& text, uint32_t color,
                                  int font) = 0;
};

// The game library.
PresentLibrary& GameLibrary();

}  // namespace velk
