#pragma once
// A library for the presentation's tests: files from a map, images whose
// bytes say "IMG <width> <height>", graphs counted alive, fonts whose
// characters are as wide as half their size (single-byte) or their size
// (double-byte), and every draw recorded.

#include <cstdio>
#include <map>
#include <new>
#include <set>
#include <string>
#include <vector>

#include "game/present/present_library.h"

namespace velk::testing {

struct FakeGraph {
    int width = 0, height = 0;
    int source = -1;  // the whole image of a derived graph
    int x = 0, y = 0;
};

struct FakeFont {
    std::string face;
    int size = 0, thickness = 0, type = 0, charset = 0;
};

struct TextDraw {
    int x, y;
    std::string text;
    uint32_t color;
    int font;
    double scaleX = 1.0, scaleY = 1.0;
};

struct GraphDraw {
    int x1, y1, x2, y2, graph;
    // The blend mode and parameter in force.
    int blend = 0, blendParameter = 255;
    // A rectangle draw's source corner; -1 for whole-graph draws.
    int sourceX = -1, sourceY = -1;
    bool transparent = true;
};

inline std::string ImageBytes(int width, int height) {
    return "IMG " + std::to_string(width) + " " + std::to_string(height);
}

class FakeLibrary final : public PresentLibrary {
public:
    std::optional<std::vector<uint8_t>> ReadFile(const std::string& path) override {
        reads.push_back(path);
        auto found = files.find(FileOf(path));
        if (found == files.end()) return std::nullopt;
        return std::vector<uint8_t>(found->second.begin(), found->second.end());
    }
    std::optional<std::string> FileIdentity(const std::string& path) override {
        if (identityUnknown) return std::nullopt;
        return files.count(FileOf(path)) ? std::optional<std::string>(FileOf(path)) : std::nullopt;
    }
    std::optional<std::vector<std::string>> ReadLines(const std::string& path) override {
        auto found = lineFiles.find(path);
        if (found == lineFiles.end()) return std::nullopt;
        std::vector<std::string> lines;
        for (const std::string& line : found->second) {
            if (line.empty()) break;
            lines.push_back(line);
        }
        return lines;
    }
    std::vector<std::string> FindFiles(const std::string& pattern) override {
        patterns.push_back(pattern);
        return foundFiles;
    }

    int CreateGraphFromMemory(std::span<const uint8_t> bytes) override {
        const std::string text(bytes.begin(), bytes.end());
        FakeGraph graph;
        if (std::sscanf(text.c_str(), "IMG %d %d", &graph.width, &graph.height) != 2) return -1;
        return Add(graph);
    }
    int CreateDerivedGraph(int x, int y, int width, int height, int source) override {
        if (!live.count(source)) return -1;
        return Add(FakeGraph{width, height, source, x, y});
    }
    void DeleteGraph(int graph) override {
        live.erase(graph);
        ++deletes;
        deleted.push_back(graph);
    }
    bool GetGraphSize(int graph, int& width, int& height) override {
        if (!live.count(graph)) return false;
        width = graphs[graph].width;
        height = graphs[graph].height;
        return true;
    }
    void DrawGraphScaled(int x1, int y1, int x2, int y2, int graph, bool transparent) override {
        graphDraws.push_back({x1, y1, x2, y2, graph, blend, blendParameter, -1, -1, transparent});
    }
    void DrawRectGraph(int x, int y, int sourceX, int sourceY, int width, int height, int graph,
                       bool transparent) override {
        graphDraws.push_back(
            {x, y, x + width, y + height, graph, blend, blendParameter, sourceX, sourceY, transparent});
    }
    void SetDrawBlendMode(int mode, int parameter) override {
        blend = mode;
        blendParameter = parameter;
    }
    uint32_t GetColorValue(int red, int green, int blue) override {
        return static_cast<uint32_t>(red << 16 | green << 8 | blue);
    }
    void RestoreAllGraphs() override { calls.push_back("RestoreAllGraphs"); }

    int CreateFont(const std::string& face, int size, int thickness, int type, int charset) override {
        fontRequests.push_back(face);
        if (refusedFaces.count(face)) return -1;
        if (static_cast<int>(fonts.size()) >= fontLimit) {
            ++tableFull;
            return -1;
        }
        fonts[nextFont] = FakeFont{face, size, thickness, type, charset};
        return nextFont++;
    }
    // The handles are given out again from the first, as the library's
    // table does.
    void InitFontHandles() override {
        fonts.clear();
        nextFont = 1;
        ++fontResets;
    }
    void SetDefaultFontFace(const std::string& face, int) override { defaultFace = face; }
    void SetDefaultFontTypeAndThickness(int, int) override {}
    std::vector<std::string> ListJapaneseFontFaces() override { return installedFaces; }
    int StringWidth(std::string_view text, int font) override {
        if (widthsLeftBeforeNoMemory >= 0 && widthsLeftBeforeNoMemory-- == 0) throw std::bad_alloc();
        auto found = fonts.find(font);
        if (found == fonts.end()) return -1;
        return static_cast<int>(text.size()) * found->second.size / 2;
    }
    void DrawString(int x, int y, const std::string& text, uint32_t color, int font) override {
        textDraws.push_back({x, y, text, color, font});
    }
    void DrawStringScaled(int x, int y, double sx, double sy, const std::string& text, uint32_t color,
                          int font) override {
        textDraws.push_back({x, y, text, color, font, sx, sy});
    }

    int FontSize(int font) const { return fonts.count(font) ? fonts.at(font).size : -1; }

    std::map<std::string, std::string> files;
    // Other spellings of a path of `files`.
    std::map<std::string, std::string> sameFileAs;
    // A file access that reads files but cannot tell which file a name opens.
    bool identityUnknown = false;
    std::map<std::string, std::vector<std::string>> lineFiles;
    std::vector<std::string> foundFiles;
    std::vector<std::string> reads, patterns, calls;
    std::map<int, FakeGraph> graphs;
    std::set<int> live;
    int deletes = 0;
    // Every deleted handle in order: handles are handed out again.
    std::vector<int> deleted;
    std::vector<GraphDraw> graphDraws;
    int blend = 0, blendParameter = 255;
    std::map<int, FakeFont> fonts;
    std::vector<std::string> fontRequests;
    std::set<std::string> refusedFaces;
    int fontLimit = 39;
    int tableFull = 0;
    int fontResets = 0;
    std::string defaultFace;
    std::vector<std::string> installedFaces;
    std::vector<TextDraw> textDraws;
    // Measures this many widths more, then runs out of memory on the next
    // (once); below 0 never.
    int widthsLeftBeforeNoMemory = -1;

private:
    const std::string& FileOf(const std::string& path) const {
        auto alias = sameFileAs.find(path);
        return alias == sameFileAs.end() ? path : alias->second;
    }
    int Add(const FakeGraph& graph) {
        const int handle = nextGraph++;
        graphs[handle] = graph;
        live.insert(handle);
        return handle;
    }
    int nextGraph = 100;
    int nextFont = 1;
};

}  // namespace velk::testing
