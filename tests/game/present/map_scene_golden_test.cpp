// A generated map drawn by the real library in software mode against golden
// pictures, exactly: a panorama behind empty rows, ground tiles, auto tiles
// in every corner shape and one animation frame, characters standing
// between the rows of a wall drawn among them and under a roof drawn above
// them (pass-through, draw-above, additive, colour effect, shadows), a fog;
// then the same with a tint, a flash and a wipe transition half-way. The
// images are drawn by the test and saved as the game's files.

#include <filesystem>

#include "game/data/databases.h"
#include "game/data/game_system.h"
#include "game/event/main_event_interpreter.h"
#include "game/map/character.h"
#include "game/map/hero.h"
#include "game/map/map_state.h"
#include "game/present/graphic_cache.h"
#include "game/present/map_scene.h"
#include "game/present/present_library.h"
#include "game/present/scene_drawing.h"
#include "game/present/screen_effects.h"
#include "lib/api/library_api.h"
#include "lib/graphics/screen/screen_state.h"
#include "lib/image/image_writer.h"
#include "tests/game/data/data_test_support.h"
#include "tests/game/present/golden_compare.h"
#include "tests/lib/api/startup_fixture.h"

namespace velk {
namespace {

class MapSceneGoldenTest : public testing::StartupTest {
protected:
    void SetUp() override {
        SetScreenMode(640, 480, 32, 60);
        SetUseHardwareRenderFlag(0);
        ASSERT_EQ(InitLibrary(), 0);
        ASSERT_EQ(GetSoftRenderFlag(), 1);
        SetDrawScreen(kBackScreen);
        SetTransparentColor(254, 0, 254);
        for (int32_t type = 0; type <= 13; ++type) {
            DbTypeData& data = databases_.system.types.emplace_back();
            data.itemKinds = {2000, 1000, 1001, 1002};
            data.rows.clear();
            databases_.system.typeDefs.emplace_back();
        }
        databases_.system.types[9].rows = {DbRow{{0, 0, 0}, {""}}, DbRow{{0, 0, 0}, {"shadow.png"}}};
        databases_.system.types[13].rows = {DbRow{{0, 0, 0}, {""}}, DbRow{{16, 0, 2}, {"sky.png"}},
                                            DbRow{{-8, 4, 1}, {"mist.png"}}};
        ASSERT_NO_FATAL_FAILURE(MakeImages());
        previousMap_ = ActiveCharacterWorld().map;
        ActiveCharacterWorld().map = &map_;
        GlobalPanoramaSelection() = PanoramaSelection();
        GlobalFogSelection() = FogSelection();
    }
    void TearDown() override {
        ActiveCharacterWorld().map = previousMap_;
        GlobalPanoramaSelection() = PanoramaSelection();
        GlobalFogSelection() = FogSelection();
    }

    static void Box(int x1, int y1, int x2, int y2, int r, int g, int b) {
        DrawBox(x1, y1, x2, y2, GetColorValue(r, g, b), 1);
    }
    static void Key(int x1, int y1, int x2, int y2) { Box(x1, y1, x2, y2, 254, 0, 254); }
    static void Save(int width, int height, const char* name) {
        ASSERT_EQ(SaveDrawScreenToPNG(0, 0, width, height, name, -1), 0);
        ClearDrawScreen();
    }

    void MakeImages() {
        std::filesystem::create_directories(scratch.path() / "Data");
        ClearDrawScreen();
        // Base image: ground, a wall drawn among the characters, a roof
        // drawn above them (with holes), a flower on a clear cell.
        Key(0, 0, 256, 256);
        Box(0, 0, 32, 32, 70, 130, 60);
        Box(4, 4, 8, 8, 90, 160, 80);
        Box(20, 18, 24, 22, 90, 160, 80);
        Box(32, 0, 64, 32, 130, 80, 40);
        Box(32, 0, 64, 6, 180, 130, 80);
        Box(48, 6, 50, 32, 100, 60, 30);
        Box(64, 0, 96, 32, 90, 90, 160);
        for (int i = 0; i < 4; ++i)
            Key(64 + 8 * i + 2, 12, 64 + 8 * i + 6, 20);
        Box(108, 12, 116, 20, 220, 40, 40);
        Box(111, 20, 113, 28, 40, 120, 40);
        Save(256, 256, "Data\\base.png");

        // Auto tile: three frames of one chip, five bands of corner digits;
        // each half-chip cell its digit's colour, a mark of its frame and a
        // clear stripe on its outer edges.
        const int digitColors[5][3] = {{200, 200, 60}, {60, 200, 200}, {200, 60, 200}, {230, 130, 40}, {50, 50, 50}};
        const int frameColors[3][3] = {{255, 255, 255}, {0, 0, 0}, {255, 0, 0}};
        for (int column = 0; column < 6; ++column) {
            for (int row = 0; row < 10; ++row) {
                const int x = column * 16, y = row * 16;
                const int* digit = digitColors[row / 2];
                const int* frame = frameColors[column / 2];
                Box(x, y, x + 16, y + 16, digit[0], digit[1], digit[2]);
                Box(x + 6, y + 6, x + 10, y + 10, frame[0], frame[1], frame[2]);
                if (column % 2 == 0) Key(x, y + 4, x + 2, y + 12);
                if (row % 2 == 0) Key(x + 4, y, x + 12, y + 2);
            }
        }
        Save(96, 160, "Data\\auto.png");

        // Characters: 3 patterns, four facings, cells 32 x 48; the body's
        // colour tells the facing, a foot mark the pattern.
        const int bodies[4][3] = {{200, 40, 40}, {40, 160, 40}, {40, 80, 220}, {220, 200, 40}};
        Key(0, 0, 96, 192);
        for (int row = 0; row < 4; ++row) {
            for (int column = 0; column < 3; ++column) {
                const int x = column * 32, y = row * 48;
                Box(x + 10, y + 6, x + 22, y + 18, 240, 200, 160);
                Box(x + 8, y + 18, x + 24, y + 40, bodies[row][0], bodies[row][1], bodies[row][2]);
                Box(x + 8 + column * 6, y + 40, x + 12 + column * 6, y + 48, 30, 30, 30);
            }
        }
        Save(96, 192, "Data\\hero.png");
        Key(0, 0, 96, 128);
        for (int row = 0; row < 4; ++row)
            for (int column = 0; column < 3; ++column)
                Box(column * 32 + 2, row * 32 + 22, column * 32 + 30, row * 32 + 32, 20, 20, 20);
        Save(96, 128, "Data\\shadow.png");

        // Panorama: sky bands; fog: pale patches on clear ground.
        for (int band = 0; band < 8; ++band)
            Box(0, band * 12, 640, band * 12 + 12, 90 + band * 15, 140 + band * 10, 230);
        for (int x = 0; x < 640; x += 96)
            Box(x, 20, x + 40, 30, 250, 250, 250);
        Save(640, 96, "Data\\sky.png");
        Key(0, 0, 640, 480);
        for (int patch = 0; patch < 6; ++patch)
            Box(40 + patch * 100, 60 + patch * 60, 140 + patch * 100, 110 + patch * 60, 230, 230, 240);
        Save(640, 480, "Data\\mist.png");

        // The screen before the transition, and the wipe's blend image (a
        // grey ramp across).
        for (int stripe = 0; stripe < 16; ++stripe)
            Box(0, stripe * 30, 640, stripe * 30 + 30, stripe % 2 ? 30 : 60, 30, 90);
        Save(640, 480, "Data\\before.png");
        // A transition image is one grey byte a pixel: a ramp across.
        GraphImage wipe;
        CreateGreyPaletteColorData(&wipe.color_data);
        ASSERT_EQ(AllocateGraphImagePixels(&wipe, 640, 480), 0);
        for (int y = 0; y < 480; ++y)
            for (int x = 0; x < 640; ++x)
                wipe.pixels[y * wipe.pitch + x] = static_cast<uint8_t>(x * 255 / 639);
        ASSERT_EQ(SaveGraphImageToBmp("Data\\wipe.bmp", &wipe), 0);
        ReleaseGraphImage(&wipe);
    }

    MapEvent& AddEvent(int32_t x, int32_t y, int16_t facing) {
        MapEventData data(static_cast<int32_t>(map_.events.size()));
        data.x = x;
        data.y = y;
        MapEvent& event = map_.events.emplace_back(0, data);
        event.graphicFileName = "hero.png";
        event.graphicTileNumber = -1;
        event.passThrough = 0;
        event.facing = facing;
        event.pattern = 1;
        event.bytes = {1};
        event.opacity = 255;
        event.blendMode = 0;
        event.eightDirectionGraphics = 0;
        return event;
    }

    void BuildMap() {
        map_.mapId = 1;
        map_.map.header.width = 20;
        map_.map.header.height = 15;
        map_.map.Clear();
        map_.tileFlags.assign(kFirstBaseTileIndex + 64, 0);
        map_.tileFlags[kFirstBaseTileIndex + 1] = kTileAmongCharacters;
        map_.tileFlags[kFirstBaseTileIndex + 2] = kTileAboveCharacters;
        map_.baseImageName = "base.png";
        map_.autoTileImageNames[0] = "auto.png";
        // Sky over the top three rows, ground below.
        for (int32_t x = 0; x < 20; ++x)
            for (int32_t y = 3; y < 15; ++y)
                map_.map.Tile(0, x, y) = 0;
        // Every corner digit in every corner, then mixed shapes.
        const int32_t mixed[5] = {1234, 4321, 2041, 3410, 213};
        for (int32_t n = 0; n < 5; ++n) {
            map_.map.Tile(1, n, 3) = 200000 + n * 1111;
            map_.map.Tile(1, n, 4) = 200000 + mixed[n];
        }
        // A painted pool whose shapes come from its neighbours.
        map_.ChangeMapTiles(1, 7, 3, 5, 3, 1);
        map_.ChangeMapTiles(1, 10, 5, 5, 2, 1);
        map_.ChangeMapTiles(1, 15, 3, 1, 1, 1);
        map_.frameCounter = 20;
        // The wall row among the characters and a roof above them.
        for (int32_t x = 2; x < 14; ++x)
            map_.map.Tile(2, x, 9) = 1;
        for (int32_t x = 15; x < 18; ++x)
            map_.map.Tile(2, x, 11) = 2;
        map_.map.Tile(1, 1, 12) = 3;

        hero_.SetPosition(5, 10, 0);
        hero_.graphicFileName = "hero.png";
        hero_.eightDirectionGraphics = 0;
        hero_.bytes = {1};
        AddEvent(7, 9, 4);
        AddEvent(9, 10, 6).passThrough = 1;
        map_.events.back().SetPosition(9, 9, 0);
        AddEvent(11, 9, 8).drawAbove = 1;
        MapEvent& glowing = AddEvent(13, 10, 2);
        glowing.blendMode = 1;
        glowing.opacity = 160;
        MapEvent& tinted = AddEvent(3, 10, 2);
        tinted.StartColorEffect((200u << 16) + (60u << 8) + 100u, 10);
        tinted.colorEffectLeft = 5;
        AddEvent(16, 11, 2);
        AddEvent(17, 12, 4).pattern = 2;

        GlobalPanoramaSelection().number = 1;
        FogSelection& fog = GlobalFogSelection();
        fog.number = 2;
        fog.blendKind = 0;
        fog.opacity = 110;
    }

    void ExpectScreen(const std::string& name) {
        const std::filesystem::path saved = scratch.path() / name;
        ASSERT_EQ(SaveDrawScreenToPNG(0, 0, 640, 480, name.c_str(), -1), 0);
        EXPECT_EQ(testing::CompareWithGolden(saved, name, "map"), "");
    }

    testing::RecordingReporter reporter_;
    DatabaseSet databases_;
    MapState map_{MapSettings{}};
    Hero hero_;
    MapState* previousMap_ = nullptr;
};

TEST_F(MapSceneGoldenTest, AMapSceneAndItsScreenEffectsMatchTheirPictures) {
    ActiveCharacterWorld().map = &map_;
    BuildMap();
    GraphicCache cache(GameLibrary());
    SceneDrawing& drawing = GameSceneDrawing();
    ScreenTone tone;
    MapSceneSettings settings;
    settings.shadows = true;
    MapScene scene(cache, drawing, databases_.system, map_, hero_, tone, settings);
    std::vector<int> bands;
    const auto pictures = [&](int band) { bands.push_back(band); };

    scene.DrawMap(pictures);
    for (int i = 0; i < 5; ++i) {
        scene.StepPanorama();
        scene.StepFog();
    }
    ClearDrawScreen();
    scene.DrawMap(pictures);
    ExpectScreen("map_scene.png");
    EXPECT_EQ(bands, (std::vector<int>{-2, -1, -2, -1}));

    tone.current = {-40, -20, 30};
    ScreenFlash flash;
    flash.color = {255, 240, 200};
    flash.remaining = 1;
    flash.total = 4;
    GameSystem system;
    system.transitionRunning = 1;
    system.plainFade = 0;
    system.transitionLeft = 10;
    system.transitionLength = 20;
    ASSERT_TRUE(cache.LoadGraphic("before.png", 1, 1, 0));
    ASSERT_TRUE(cache.LoadGraphic("wipe.bmp", 1, 1, 0));
    system.transitionStartScreen = cache.Cells("before.png")->front();
    system.transitionImage = cache.Cells("wipe.bmp")->front();
    ASSERT_NE(system.transitionStartScreen, -1);
    ASSERT_NE(system.transitionImage, -1);
    ClearDrawScreen();
    DrawTint(drawing, tone, false, false);
    scene.DrawMap(pictures);
    DrawTint(drawing, tone, true, false);
    DrawTint(drawing, tone, false, true);
    DrawFlash(drawing, flash);
    DrawTransition(drawing, system);
    ExpectScreen("map_effects.png");
    EXPECT_TRUE(reporter_.messages.empty());
    EXPECT_TRUE(reporter_.boxes.empty());
}

}  // namespace
}  // namespace velk
