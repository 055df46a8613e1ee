// Tile layers drawn over the fake library: which cell of which image each
// tile and auto-tile quarter is cut from, where it lands, which pass draws
// it, and what is not drawn at all.

#include "game/present/map_tile_renderer.h"

#include "game/data/text_format.h"
#include "game/present/scene_texts.h"
#include "tests/game/present/scene_fixture.h"

namespace velk {
namespace {

class TileTest : public testing::SceneTest {
protected:
    TileTest() {
        // The base image: 8 x 8 cells of 32 pixels.
        library_.files["Data\\base.png"] = testing::ImageBytes(256, 256);
        // Auto-tile image 0: three frames of one chip, five bands of two
        // half-chip rows (corner digits 0-4).
        library_.files["Data\\auto.png"] = testing::ImageBytes(96, 160);
        map_.baseImageName = "base.png";
        map_.autoTileImageNames[0] = "auto.png";
    }
    void Draw(int pass, int32_t row = 0) {
        renderer_.RefreshClasses(map_);
        renderer_.Draw(map_, pass, row);
    }

    MapTileRenderer renderer_{cache_, drawing_, 32, 1};
};

TEST_F(TileTest, AutoTileQuartersComeFromTheirFrameAndCornerBands) {
    map_.map.Tile(0, 0, 0) = 2 * 100000 + 1234;
    map_.frameCounter = 40;
    Draw(MapTileRenderer::kLowerPass);
    const auto graphs = drawing_.Graphs();
    // Once on the map's first row and once more where row 15 wraps to it.
    ASSERT_EQ(graphs.size(), 8u);
    EXPECT_EQ(graphs[4].y1, 15 * 32);
    // Frame 2 of 3: columns 4 and 5; corners 1, 2, 3, 4 from rows 2, 4, 7, 9.
    const std::pair<int, int> expected[4] = {{4, 2}, {5, 4}, {4, 7}, {5, 9}};
    const int places[4][2] = {{0, 0}, {16, 0}, {0, 16}, {16, 16}};
    for (int q = 0; q < 4; ++q) {
        EXPECT_EQ(SourceCell(graphs[q].graph, 16), expected[q]) << q;
        EXPECT_EQ(graphs[q].x1, places[q][0]);
        EXPECT_EQ(graphs[q].y1, places[q][1]);
    }
}

TEST_F(TileTest, TilesThatCannotBeDrawnAreLeftOut) {
    struct Case {
        const char* name;
        int32_t value;
        const char* autoImage;
    };
    const Case cases[] = {
        {"empty tile", 100000, "auto.png"},
        // Kind 9 has no image.
        {"value 900000", 900000, "auto.png"},
        {"kind 8 without an image", 800000, "auto.png"},
        {"corner digit beyond the image", 2 * 100000 + 9000, "auto.png"},
        {"image narrower than a chip", 2 * 100000, "narrow.png"},
        {"missing image", 2 * 100000, "none.png"},
        {"base cell beyond the image", 64, "auto.png"},
        {"tile index beyond the tileset", 500, "auto.png"},
    };
    library_.files["Data\\narrow.png"] = testing::ImageBytes(16, 160);
    for (const Case& c : cases) {
        drawing_.calls.clear();
        map_.autoTileImageNames[0] = c.autoImage;
        map_.map.Tile(0, 3, 3) = c.value;
        for (int pass = 0; pass < 3; ++pass)
            Draw(pass, 3);
        if (c.value == 2 * 100000 + 9000) {
            // The three quarters whose digits fit are still drawn.
            EXPECT_EQ(drawing_.Graphs().size(), 3u) << c.name;
        } else {
            EXPECT_TRUE(drawing_.Graphs().empty()) << c.name;
        }
        map_.map.Tile(0, 3, 3) = 100000;
    }
}

TEST_F(TileTest, EachClassIsDrawnInItsOwnPass) {
    map_.tileFlags[kFirstBaseTileIndex + 1] = kTileAmongCharacters;
    map_.tileFlags[kFirstBaseTileIndex + 2] = kTileAboveCharacters;
    map_.tileFlags[kFirstBaseTileIndex + 3] = kTileAboveCharacters | kTileAmongCharacters;
    map_.map.Tile(0, 1, 1) = 0;
    map_.map.Tile(1, 2, 1) = 1;
    map_.map.Tile(1, 2, 4) = 1;
    map_.map.Tile(2, 3, 1) = 2;
    map_.map.Tile(2, 4, 1) = 3;
    const auto drawnCells = [&](int pass, int32_t row) {
        drawing_.calls.clear();
        Draw(pass, row);
        std::vector<std::pair<int, int>> cells;
        for (const auto& call : drawing_.Graphs())
            cells.push_back(SourceCell(call.graph, 32));
        return cells;
    };
    using Cells = std::vector<std::pair<int, int>>;
    EXPECT_EQ(drawnCells(MapTileRenderer::kLowerPass, 0), (Cells{{0, 0}}));
    // The row pass draws the one map row asked for.
    EXPECT_EQ(drawnCells(MapTileRenderer::kRowPass, 1), (Cells{{1, 0}, {3, 0}}));
    EXPECT_EQ(drawnCells(MapTileRenderer::kRowPass, 4), (Cells{{1, 0}}));
    EXPECT_EQ(drawnCells(MapTileRenderer::kUpperPass, 0), (Cells{{2, 0}}));
}

TEST_F(TileTest, ColumnsLeftOfTheMapShowItsLastColumnsOnlyWhenItLoops) {
    map_.map.Tile(0, 19, 3) = 5;
    renderer_.viewX = 0;
    Draw(MapTileRenderer::kLowerPass);
    ASSERT_EQ(drawing_.Graphs().size(), 1u);
    EXPECT_EQ(drawing_.Graphs()[0].x1, 19 * 32);
    drawing_.calls.clear();
    map_.loopX = true;
    renderer_.viewX = 0;
    Draw(MapTileRenderer::kLowerPass);
    ASSERT_EQ(drawing_.Graphs().size(), 2u);
    EXPECT_EQ(drawing_.Graphs()[0].x1, -32);
    EXPECT_EQ(drawing_.Graphs()[1].x1, 19 * 32);
}

TEST_F(TileTest, ColumnsRightOfTheMapShowItsFirstColumnsOnlyWhenItLoops) {
    // Screen columns -1 to 20 at view column 2 are map columns 1 to 22.
    map_.map.Tile(0, 1, 3) = 5;
    map_.map.Tile(1, 0, 3) = 6;
    renderer_.viewX = 2 * 32;
    Draw(MapTileRenderer::kLowerPass);
    ASSERT_EQ(drawing_.Graphs().size(), 1u);
    EXPECT_EQ(drawing_.Graphs()[0].x1, -32);
    drawing_.calls.clear();
    map_.loopX = true;
    Draw(MapTileRenderer::kLowerPass);
    // Layer by layer, left to right: column 1 at -1 and 19 (map column 21),
    // then on layer 1 column 0 at screen column 18 (map column 20).
    const auto graphs = drawing_.Graphs();
    ASSERT_EQ(graphs.size(), 3u);
    EXPECT_EQ(graphs[0].x1, -32);
    EXPECT_EQ(graphs[1].x1, 19 * 32);
    EXPECT_EQ(graphs[2].x1, 18 * 32);
    EXPECT_EQ(graphs[0].y1, 3 * 32);
}

TEST_F(TileTest, ViewOffsetShakeAndZoomMoveTheCells) {
    map_.map.Tile(0, 2, 1) = 0;
    renderer_.viewX = 40;
    renderer_.viewY = 10;
    map_.shakePixelX = 3;
    Draw(MapTileRenderer::kLowerPass);
    ASSERT_EQ(drawing_.Graphs().size(), 1u);
    // Column 2 is screen column 1 at view 40 - 3 = 37 (offset 5).
    EXPECT_EQ(drawing_.Graphs()[0].x1, 27);
    EXPECT_EQ(drawing_.Graphs()[0].y1, 22);

    drawing_.calls.clear();
    map_.shakePixelX = 0;
    renderer_.viewX = renderer_.viewY = 0;
    map_.zoom.currentZoom = 200;
    map_.zoom.currentX = 320;
    map_.zoom.currentY = 240;
    Draw(MapTileRenderer::kLowerPass);
    ASSERT_EQ(drawing_.Graphs().size(), 1u);
    const testing::SceneDrawCall zoomed = drawing_.Graphs()[0];
    EXPECT_EQ(zoomed.what, "DrawGraphScaled");
    // (64, 32)-(96, 64) doubled about (320, 240).
    EXPECT_EQ(zoomed.x1, 64 + (64 - 320));
    EXPECT_EQ(zoomed.y1, 32 + (32 - 240));
    EXPECT_EQ(zoomed.x2, 96 + (96 - 320));
    EXPECT_EQ(zoomed.y2, 64 + (64 - 240));
}

TEST_F(TileTest, ANegativeTileValueOnScreenEndsTheProgramWithItsPlace) {
    map_.map.Tile(1, 4, 2) = -7;
    Draw(MapTileRenderer::kLowerPass);
    ASSERT_EQ(reporter_.messages.size(), 1u);
    EXPECT_EQ(reporter_.messages[0].line1, FormatText(texts::kTileValueDamaged, -7, 1, 4, 2));
    EXPECT_EQ(reporter_.messages[0].line2, "Error!");
    EXPECT_EQ(reporter_.exitCodes, std::vector<int>{1});
    EXPECT_TRUE(renderer_.damagedTile);
}

}  // namespace
}  // namespace velk
