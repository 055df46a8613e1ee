#pragma once
// The map scene over the fake library: a drawing that records every call in
// order (graph sizes from the fake library), a graphics cache, a system
// database with the panorama, fog and shadow types, and a small map with
// its hero placed in the characters' world.

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "game/data/databases.h"
#include "game/event/main_event_interpreter.h"
#include "game/map/character.h"
#include "game/map/hero.h"
#include "game/map/map_state.h"
#include "game/present/graphic_cache.h"
#include "game/present/scene_drawing.h"
#include "tests/game/data/data_test_support.h"
#include "tests/game/present/fake_library.h"

namespace velk::testing {

struct SceneDrawCall {
    std::string what;
    int x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    int graph = -1;
    int blend = 0, parameter = 255;
    int red = 255, green = 255, blue = 255;
    int sourceX = -1, sourceY = -1;
    int blendGraph = -1;
};

class RecordingSceneDrawing final : public SceneDrawing {
public:
    explicit RecordingSceneDrawing(FakeLibrary& library) : library_(library) {}

    void DrawGraph(int x, int y, int graph, bool) override {
        int w = 0, h = 0;
        library_.GetGraphSize(graph, w, h);
        Record("DrawGraph", x, y, x + w, y + h, graph);
    }
    void DrawGraphScaled(int x1, int y1, int x2, int y2, int graph, bool) override {
        Record("DrawGraphScaled", x1, y1, x2, y2, graph);
    }
    void DrawRectGraph(int x, int y, int sourceX, int sourceY, int width, int height, int graph, bool) override {
        Record("DrawRectGraph", x, y, x + width, y + height, graph);
        calls.back().sourceX = sourceX;
        calls.back().sourceY = sourceY;
    }
    void DrawBlendGraph(int x, int y, int graph, bool, int blendGraph, int border, int range) override {
        Record("DrawBlendGraph", x, y, border, range, graph);
        calls.back().blendGraph = blendGraph;
    }
    void DrawFilledBox(int x1, int y1, int x2, int y2, int red, int green, int blue) override {
        Record("DrawBox", x1, y1, x2, y2, -1);
        boxColors.push_back({red, green, blue});
    }
    int CreateDerivedGraph(int x, int y, int width, int height, int source) override {
        return library_.CreateDerivedGraph(x, y, width, height, source);
    }
    void DeleteGraph(int graph) override { library_.DeleteGraph(graph); }
    bool GetGraphSize(int graph, int& width, int& height) override {
        return library_.GetGraphSize(graph, width, height);
    }
    void SetDrawBlendMode(int mode, int parameter) override {
        blend = mode;
        parameter_ = parameter;
    }
    void SetDrawBrightness(int red, int green, int blue) override {
        bright = {red, green, blue};
        brightnessSets.push_back(bright);
    }
    void SetDrawMode(int mode) override { drawModes.push_back(mode); }

    // Draws only (no boxes), in order.
    std::vector<SceneDrawCall> Graphs() const {
        std::vector<SceneDrawCall> graphs;
        for (const SceneDrawCall& call : calls)
            if (call.what != "DrawBox") graphs.push_back(call);
        return graphs;
    }

    std::vector<SceneDrawCall> calls;
    std::vector<std::array<int, 3>> boxColors;
    std::vector<std::array<int, 3>> brightnessSets;
    std::vector<int> drawModes;
    int blend = 0, parameter_ = 255;
    std::array<int, 3> bright{255, 255, 255};

private:
    void Record(const char* what, int x1, int y1, int x2, int y2, int graph) {
        calls.push_back({what, x1, y1, x2, y2, graph, blend, parameter_, bright[0], bright[1], bright[2]});
    }
    FakeLibrary& library_;
};

class SceneTest : public ::testing::Test {
protected:
    SceneTest() {
        for (int32_t type = 0; type <= 13; ++type) {
            DbTypeData& data = databases_.system.types.emplace_back();
            data.itemKinds = {2000, 1000, 1001, 1002};
            data.rows.clear();
            databases_.system.typeDefs.emplace_back().itemNames = {"name", "a", "b", "c"};
        }
        world_.map = &map_;
        world_.hero = nullptr;
        GlobalPanoramaSelection() = PanoramaSelection();
        GlobalFogSelection() = FogSelection();
        UseMap(20, 15);
    }
    ~SceneTest() override {
        ActiveCharacterWorld().map = savedMap_;
        ActiveCharacterWorld().hero = savedHero_;
        GlobalPanoramaSelection() = PanoramaSelection();
        GlobalFogSelection() = FogSelection();
    }

    // An empty map of this size whose tile flags give every base cell
    // below 100 class 0.
    void UseMap(int32_t width, int32_t height) {
        map_.map.header.width = width;
        map_.map.header.height = height;
        map_.map.Clear();
        map_.tileFlags.assign(kFirstBaseTileIndex + 100, 0);
    }
    void Fill(int layer, int32_t value) {
        for (int32_t x = 0; x < map_.GetWidth(); ++x)
            for (int32_t y = 0; y < map_.GetHeight(); ++y)
                map_.map.Tile(layer, x, y) = value;
    }
    // A row of the system database type (name, then numbers).
    void SetRow(int32_t type, int32_t row, const std::string& name, std::vector<int32_t> numbers) {
        auto& rows = databases_.system.types[static_cast<size_t>(type)].rows;
        if (rows.size() <= static_cast<size_t>(row)) rows.resize(static_cast<size_t>(row) + 1, DbRow{{0, 0, 0}, {""}});
        numbers.resize(3, 0);
        rows[static_cast<size_t>(row)] = DbRow{numbers, {name}};
    }
    // The source cell (column, row in cells of `cell` pixels) of a drawn graph.
    std::pair<int, int> SourceCell(int graph, int cell) const {
        const FakeGraph& g = library_.graphs.at(graph);
        return {g.x / cell, g.y / cell};
    }

    CharacterWorld& world_ = ActiveCharacterWorld();
    MapState* savedMap_ = ActiveCharacterWorld().map;
    Hero* savedHero_ = ActiveCharacterWorld().hero;
    RecordingReporter reporter_;
    FakeLibrary library_;
    RecordingSceneDrawing drawing_{library_};
    GraphicCache cache_{library_};
    DatabaseSet databases_;
    MapState map_{MapSettings{}};
    ScreenTone tone_;
};

}  // namespace velk::testing
