// Character sprites over the fake library: the sheet layout a name asks
// for, the cell for facing, pattern and movement, the bush split, blend and
// colour effect, the shadow, and graphics loaded only when they change.

#include "game/present/character_sprite.h"

#include "tests/game/present/scene_fixture.h"

namespace velk {
namespace {

class SpriteTest : public testing::SceneTest {
protected:
    SpriteTest() {
        character_.SetPosition(5, 5, 0);
        character_.eightDirectionGraphics = 0;
    }
    void Draw() {
        SpriteContext context{cache_, drawing_, databases_.system, map_, settings_, &tone_, false};
        DrawCharacterSprite(sprite_, context);
    }
    // The (column, row) of the sheet the last draw took its cell from.
    std::pair<int, int> DrawnCell(int cellWidth, int cellHeight) {
        const auto graphs = drawing_.Graphs();
        EXPECT_FALSE(graphs.empty());
        if (graphs.empty()) return {-1, -1};
        const testing::FakeGraph& g = library_.graphs.at(graphs.back().graph);
        return {g.x / cellWidth, g.y / cellHeight};
    }

    Character character_;
    CharacterSprite sprite_{&character_};
    SpriteSettings settings_;
};

TEST_F(SpriteTest, TheNameChoosesTheLayout) {
    struct Case {
        std::string name;
        int patterns;
        bool eight;
        SpriteLayout layout;
        int columns;
    };
    const Case cases[] = {
        {"hero.png", 3, false, SpriteLayout::kPlain, 3},
        {"hero.png", 5, true, SpriteLayout::kPlain, 10},
        {"heroT.png", 3, false, SpriteLayout::kStandingColumn, 4},
        {"heroT.PNG", 3, true, SpriteLayout::kStandingColumn, 8},
        {"heroTX.png", 3, true, SpriteLayout::kStandingAndWalking, 12},
        {"box$.png", 3, true, SpriteLayout::kSinglePicture, 1},
        // The T of "T.png" is the second byte of a double-byte character.
        {"\x83T.png", 3, false, SpriteLayout::kPlain, 3},
    };
    for (const Case& c : cases) {
        int columns = 0;
        EXPECT_EQ(LayoutOfName(c.name, c.patterns, c.eight, columns), c.layout) << c.name;
        EXPECT_EQ(columns, c.columns) << c.name;
    }
}

TEST_F(SpriteTest, FacingPatternAndMovementPickTheCell) {
    library_.files["Data\\hero.png"] = testing::ImageBytes(96, 128);
    library_.files["Data\\heroT.png"] = testing::ImageBytes(128, 128);
    library_.files["Data\\heroTX.png"] = testing::ImageBytes(384, 128);
    struct Case {
        const char* name;
        bool eight;
        int facing, pattern;
        bool moving;
        int cellWidth;
        std::pair<int, int> cell;
    };
    const Case cases[] = {
        {"hero.png", false, 4, 2, false, 32, {2, 1}},         {"hero.png", false, 8, 0, false, 32, {0, 3}},
        {"heroT.png", false, 6, 1, false, 32, {0, 2}},        {"heroT.png", false, 6, 1, true, 32, {2, 2}},
        {"heroTX.png", true, 9, 1, true, 32, {6 + 3 + 1, 3}}, {"heroTX.png", true, 2, 2, true, 32, {2 + 3, 0}},
        {"heroTX.png", true, 1, 0, false, 32, {6, 0}},
    };
    for (const Case& c : cases) {
        Character character;
        character.SetPosition(5, 5, 0);
        character.graphicFileName = c.name;
        character.eightDirectionGraphics = c.eight ? 1 : 0;
        character.facing = static_cast<int16_t>(c.facing);
        character.pattern = static_cast<int16_t>(c.pattern);
        character.moving = c.moving ? 1 : 0;
        CharacterSprite sprite(&character);
        SpriteContext context{cache_, drawing_, databases_.system, map_, settings_, &tone_, false};
        drawing_.calls.clear();
        DrawCharacterSprite(sprite, context);
        EXPECT_EQ(DrawnCell(c.cellWidth, 32), c.cell) << c.name << " facing " << c.facing;
    }
}

TEST_F(SpriteTest, ACellIsDrawnCentredWithItsBottomOnTheFootLine) {
    library_.files["Data\\hero.png"] = testing::ImageBytes(96, 192);
    character_.graphicFileName = "hero.png";
    Draw();
    const auto graphs = drawing_.Graphs();
    ASSERT_EQ(graphs.size(), 1u);
    EXPECT_EQ(graphs[0].what, "DrawGraph");
    // Tile (5, 5): centre x 176, foot line 192; cells 32 x 48.
    EXPECT_EQ(graphs[0].x1, 176 - 16);
    EXPECT_EQ(graphs[0].y1, 192 - 48);
    EXPECT_EQ(graphs[0].blend, 0);
    EXPECT_EQ(character_.cellWidth, 32);
    EXPECT_EQ(character_.cellHeight, 48);
}

TEST_F(SpriteTest, InABushTheLowerHalfChipIsDrawnAtAThirdOfTheOpacity) {
    library_.files["Data\\hero.png"] = testing::ImageBytes(96, 128);
    character_.graphicFileName = "hero.png";
    map_.mapId = 1;
    map_.tileFlags[kFirstBaseTileIndex + 7] = kTileFlag40;
    for (int32_t x = 4; x <= 6; ++x)
        for (int32_t y = 4; y <= 6; ++y)
            map_.map.Tile(0, x, y) = 7;
    Draw();
    const auto graphs = drawing_.Graphs();
    ASSERT_EQ(graphs.size(), 2u);
    EXPECT_EQ(graphs[0].what, "DrawRectGraph");
    EXPECT_EQ(graphs[0].y2 - graphs[0].y1, 16);
    EXPECT_EQ(graphs[0].y1, 192 - 16);
    EXPECT_EQ(graphs[0].sourceY, 16);
    EXPECT_EQ(graphs[0].blend, 1);
    EXPECT_EQ(graphs[0].parameter, 85);
    EXPECT_EQ(graphs[1].y1, 192 - 32);
    EXPECT_EQ(graphs[1].sourceY, 0);
    EXPECT_EQ(graphs[1].parameter, 255);
}

TEST_F(SpriteTest, AColourEffectDarkensThenAddsPerChannel) {
    library_.files["Data\\hero.png"] = testing::ImageBytes(96, 128);
    character_.graphicFileName = "hero.png";
    character_.StartColorEffect((200u << 16) + (100u << 8) + 0u, 10);
    Draw();
    const auto graphs = drawing_.Graphs();
    ASSERT_EQ(graphs.size(), 3u);
    EXPECT_EQ((std::array<int, 3>{graphs[1].red, graphs[1].green, graphs[1].blue}), (std::array<int, 3>{255, 255, 0}));
    EXPECT_EQ(graphs[2].blend, 2);
    EXPECT_EQ((std::array<int, 3>{graphs[2].red, graphs[2].green, graphs[2].blue}), (std::array<int, 3>{255, 0, 0}));
    EXPECT_EQ(drawing_.bright, (std::array<int, 3>{255, 255, 255}));
}

TEST_F(SpriteTest, BlendModesAndOpacity) {
    library_.files["Data\\hero.png"] = testing::ImageBytes(96, 128);
    character_.graphicFileName = "hero.png";
    const std::array<int, 2> expected[] = {{1, 128}, {2, 128}, {3, 128}, {11, 128}};
    for (int mode = 0; mode < 4; ++mode) {
        drawing_.calls.clear();
        character_.blendMode = static_cast<uint16_t>(mode);
        character_.opacity = 128;
        Draw();
        ASSERT_EQ(drawing_.Graphs().size(), 1u);
        EXPECT_EQ((std::array<int, 2>{drawing_.Graphs()[0].blend, drawing_.Graphs()[0].parameter}), expected[mode]);
    }
    drawing_.calls.clear();
    character_.opacity = 0;
    Draw();
    EXPECT_TRUE(drawing_.Graphs().empty());
}

TEST_F(SpriteTest, TheShadowIsStretchedUnderTheFeetAndShrinksAsTheCharacterRises) {
    library_.files["Data\\hero.png"] = testing::ImageBytes(96, 128);
    library_.files["Data\\shadow.png"] = testing::ImageBytes(96, 128);
    SetRow(9, 1, "shadow.png", {});
    settings_.shadows = true;
    character_.graphicFileName = "hero.png";
    character_.bytes = {1};
    Draw();
    auto graphs = drawing_.Graphs();
    ASSERT_EQ(graphs.size(), 2u);
    EXPECT_EQ(graphs[0].what, "DrawGraphScaled");
    EXPECT_EQ((std::array<int, 4>{graphs[0].x1, graphs[0].y1, graphs[0].x2, graphs[0].y2}),
              (std::array<int, 4>{160, 160, 192, 192}));
    drawing_.calls.clear();
    character_.height = 40;
    Draw();
    graphs = drawing_.Graphs();
    ASSERT_EQ(graphs.size(), 2u);
    // Rise 40: sides in by min(12, 10), top and bottom by min(8, 5).
    EXPECT_EQ((std::array<int, 4>{graphs[0].x1, graphs[0].y1, graphs[0].x2, graphs[0].y2}),
              (std::array<int, 4>{170, 165, 182, 187}));
}

TEST_F(SpriteTest, AMissingImageIsReportedOnceAndNothingIsDrawnAfter) {
    character_.graphicFileName = "nobody.png";
    Draw();
    Draw();
    EXPECT_TRUE(drawing_.Graphs().empty());
    EXPECT_TRUE(sprite_.loadFailed);
    EXPECT_EQ(reporter_.messages.size(), 1u);
}

TEST_F(SpriteTest, AGraphicIsLoadedOnlyWhenItChanges) {
    library_.files["Data\\hero.png"] = testing::ImageBytes(96, 128);
    library_.files["Data\\base.png"] = testing::ImageBytes(256, 256);
    map_.baseImageName = "base.png";
    character_.graphicFileName = "hero.png";
    Draw();
    Draw();
    EXPECT_EQ(library_.reads.size(), 1u);
    character_.graphicTileNumber = 9;
    drawing_.calls.clear();
    Draw();
    ASSERT_EQ(drawing_.Graphs().size(), 1u);
    EXPECT_EQ(SourceCell(drawing_.Graphs()[0].graph, 32), (std::pair<int, int>{1, 1}));
}

}  // namespace
}  // namespace velk
