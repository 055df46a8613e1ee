#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <map>

#include "lib/graphics/draw_settings.h"
#include "lib/graphics/graph_table.h"
#include "lib/image/image_loader.h"
#include "tests/lib/graphics/recording_paths.h"

namespace velk {
namespace {

using ::testing::ElementsAre;

class GraphTable : public ::testing::Test {
protected:
    void SetUp() override { fx.Start(); }
    testing::GraphicsFixture fx;
};

TEST_F(GraphTable, GraphsGoToTheTwoDPathUnlessDirect3DIsReady) {
    const int g = CreateEmptyGraph(32, 16, 0);
    ASSERT_NE(g, -1);
    EXPECT_EQ(GetGraphData(g)->texture, 0);
    fx.host.direct3d = true;
    const int t = CreateEmptyGraph(8, 8, 0);
    EXPECT_EQ(GetGraphData(t)->texture, 1);
    const int not_3d = CreateEmptyGraph(8, 8, 1);
    EXPECT_EQ(GetGraphData(not_3d)->texture, 0);
    fx.host.software = true;
    EXPECT_EQ(GetGraphData(CreateEmptyGraph(4, 4, 0))->texture, 0);
    EXPECT_THAT(fx.calls, ElementsAre("2d MakeGraphParts 32 16", "3d MakeGraphParts 8 8", "2d MakeGraphParts 8 8",
                                      "2d MakeGraphParts 4 4"));
    EXPECT_EQ(GetGraphCount(), 4);
    int w = 0, h = 0;
    EXPECT_EQ(GetGraphSize(g, &w, &h), 0);
    EXPECT_EQ(w, 32);
    EXPECT_EQ(h, 16);
    EXPECT_EQ(GetGraphSize(g, nullptr, nullptr), 0);
    // The screens are the host's size, 640 x 480 until it has one.
    EXPECT_EQ(GetGraphSize(kBackScreen, &w, &h), 0);
    EXPECT_EQ(w, 640);
    fx.host.width = 800;
    EXPECT_EQ(GetGraphSize(kFrontScreen, &w, &h), 0);
    EXPECT_EQ(w, 800);
}

TEST_F(GraphTable, FailedPartsGiveMinusOneAndNoGraph) {
    fx.two_d.make_result = -1;
    EXPECT_EQ(CreateEmptyGraph(8, 8, 1), -1);
    EXPECT_EQ(GetGraphCount(), 0);
}

TEST_F(GraphTable, CheckCounterWrapsAfter2047AndStaleHandlesAreRefused) {
    const int first = CreateEmptyGraph(1, 1, 1);
    ASSERT_EQ(DeleteGraph(first), 0);
    EXPECT_EQ(CheckValidGraphHandle(first), 0);
    int handle = -1;
    for (int i = 1; i < 2048; ++i) {
        handle = CreateEmptyGraph(1, 1, 1);
        ASSERT_NE(CheckValidGraphHandle(handle), 0);
        // Each new graph lands in slot 0 again, with a new check.
        EXPECT_EQ(handle & 0xFFFF, 0);
        EXPECT_NE(handle, first);
        EXPECT_EQ(CheckValidGraphHandle(first), 0);
        DeleteGraph(handle);
    }
    // The 2049th graph made after the first has the same check, and the same slot.
    const int again = CreateEmptyGraph(1, 1, 1);
    EXPECT_EQ(again, first);
    EXPECT_EQ(again & 0x78000000, 0x08000000);
}

TEST_F(GraphTable, ForeignAndMalformedHandlesAreRefused) {
    const int g = CreateEmptyGraph(1, 1, 1);
    EXPECT_EQ(CheckValidGraphHandle(g | 0x10000000), 0);   // another kind
    EXPECT_EQ(CheckValidGraphHandle((g & ~0x78000000) | 0x20000000), 0);
    EXPECT_EQ(CheckValidGraphHandle(g + 1), 0);            // an empty slot
    EXPECT_EQ(CheckValidGraphHandle(g | 0x8000), 0);       // slot 32768 and up
    EXPECT_EQ(CheckValidGraphHandle(-1), 0);
    EXPECT_EQ(CheckValidGraphHandle(static_cast<int>(0x88000000u)), 0);
    EXPECT_EQ(DeleteGraph(g + 0x10000), -1);               // another check
    EXPECT_EQ(GetGraphSize(g + 0x10000, nullptr, nullptr), -1);
    EXPECT_EQ(CheckValidGraphHandle(g), 1);
}

TEST_F(GraphTable, DerivedGraphsAreCutToTheirSourceAndOutliveIt) {
    const int source = CreateEmptyGraph(100, 50, 1);
    EXPECT_EQ(CreateDerivedGraph(100, 0, 10, 10, source), -1);
    EXPECT_EQ(CreateDerivedGraph(0, 50, 10, 10, source), -1);
    EXPECT_EQ(CreateDerivedGraph(-1, 0, 10, 10, source), -1);
    EXPECT_EQ(CreateDerivedGraph(0, 0, 0, 10, source), -1);
    EXPECT_EQ(CreateDerivedGraph(0, 0, 10, 10, source + 1), -1);
    fx.calls.clear();
    const int part = CreateDerivedGraph(90, 40, 30, 30, source);
    ASSERT_NE(part, -1);
    EXPECT_THAT(fx.calls, ElementsAre("2d DeriveGraphParts 90 40 10 10 1"));
    const int inner = CreateDerivedGraph(2, 3, 5, 5, part);
    EXPECT_EQ(GetGraphData(inner)->offset_x, 92);
    EXPECT_EQ(GetGraphData(inner)->offset_y, 43);
    // Deleting the source leaves the derived graphs (they hold views on the
    // source's pixels) valid and drawable.
    ASSERT_EQ(DeleteGraph(source), 0);
    EXPECT_EQ(CheckValidGraphHandle(part), 1);
    int w = 0;
    GetGraphSize(part, &w, nullptr);
    EXPECT_EQ(w, 10);
    fx.two_d.make_result = -1;
    EXPECT_EQ(CreateDerivedGraph(0, 0, 2, 2, part), -1);
    EXPECT_EQ(GetGraphCount(), 2);
}

TEST_F(GraphTable, DeletingMovesTheEndAndWritesTheLostFlag) {
    const int a = CreateEmptyGraph(1, 1, 1);
    const int b = CreateEmptyGraph(1, 1, 1);
    const int c = CreateEmptyGraph(1, 1, 1);
    int lost = 7;
    SetGraphLostFlag(c, &lost);
    EXPECT_EQ(lost, 0);
    DeleteGraph(b);
    DeleteGraph(c);
    EXPECT_EQ(lost, 1);
    // The end moved down past b's empty slot: the next graph takes slot 1.
    const int d = CreateEmptyGraph(1, 1, 1);
    EXPECT_EQ(d & 0xFFFF, 1);
    DeleteAllGraphs();
    EXPECT_EQ(GetGraphCount(), 0);
    EXPECT_EQ(CheckValidGraphHandle(a), 0);
}

TEST_F(GraphTable, DeletingTheDrawScreenGraphGoesBackToTheBackScreen) {
    const int target = testing::MakeDrawTarget(64, 64);
    ASSERT_EQ(SetDrawScreen(target), 0);
    fx.calls.clear();
    DeleteGraph(target);
    EXPECT_EQ(GetDrawScreen(), kBackScreen);
    ASSERT_FALSE(fx.calls.empty());
    EXPECT_EQ(fx.calls.front(), "2d SetDrawTarget -2");
    EXPECT_EQ(fx.calls.back(), "2d DeleteGraphParts 64 64");
}

std::vector<uint8_t> BgraFile(uint32_t width, uint32_t height, uint8_t value) {
    std::vector<uint8_t> file = {'B', 'G', 'R', 'A', 8, 8, 8, 8};
    for (uint32_t v : {width, height}) {
        for (int i = 0; i < 4; ++i) file.push_back(static_cast<uint8_t>(v >> (8 * i)));
    }
    file.resize(file.size() + width * height * 4, value);
    return file;
}

std::map<std::string, std::vector<uint8_t>> g_files;
int g_reads = 0;

bool ReadFromFakeFiles(const char* name, std::vector<uint8_t>* bytes) {
    auto it = g_files.find(name);
    if (it == g_files.end()) {
        return false;
    }
    ++g_reads;
    *bytes = it->second;
    return true;
}

class GraphFiles : public GraphTable {
protected:
    void SetUp() override {
        GraphTable::SetUp();
        g_files.clear();
        g_reads = 0;
        SetImageFileReader(ReadFromFakeFiles);
    }
    void TearDown() override { SetImageFileReader(nullptr); }
};

TEST_F(GraphFiles, LoadingFromFilesAndMemory) {
    g_files["pic.png"] = BgraFile(4, 3, 9);
    g_files["pic_a.png"] = BgraFile(4, 3, 200);
    const int g = LoadGraphFromFile("pic.png", 1, 0, 0);
    ASSERT_NE(g, -1);
    EXPECT_EQ(GetGraphData(g)->file_name, "pic.png");
    EXPECT_EQ(GetGraphData(g)->directory, "game");
    EXPECT_EQ(GetGraphData(g)->alpha_channel, 1);
    EXPECT_THAT(fx.calls, ElementsAre("2d MakeGraphParts 4 3", "2d FillGraphParts 4 3 1 0 0 0 0"));
    fx.calls.clear();
    EXPECT_EQ(LoadGraphFromFile("missing.png", 1, 0, 0), -1);
    EXPECT_TRUE(fx.calls.empty());
    const std::vector<uint8_t> bytes = BgraFile(2, 2, 1);
    const int m = CreateGraphFromMemoryImage(bytes.data(), bytes.size(), nullptr, 0, 1, 0);
    ASSERT_NE(m, -1);
    EXPECT_EQ(GetGraphData(m)->file_name, "");
    EXPECT_EQ(CreateGraphFromMemoryImage(bytes.data(), 5, nullptr, 0, 1, 0), -1);
    // An alpha image of another size is refused.
    const std::vector<uint8_t> other = BgraFile(3, 2, 1);
    EXPECT_EQ(CreateGraphFromMemoryImage(bytes.data(), bytes.size(), other.data(), other.size(), 1, 0), -1);
}

TEST_F(GraphFiles, RestoreReloadsEachImageOncePerRunOfGraphs) {
    // Directories and names far longer than 128 and 64 bytes restore too.
    const std::string long_directory(300, 'd');
    const std::string sheet_name = std::string(100, 's') + ".png";
    fx.host.directory = long_directory;
    g_files[sheet_name] = BgraFile(8, 8, 5);
    g_files["other.png"] = BgraFile(2, 2, 5);
    const int sheet = LoadGraphFromFile(sheet_name.c_str(), 1, 0, 0);
    const int cell = CreateDerivedGraph(4, 4, 4, 4, sheet);
    const int other = LoadGraphFromFile("other.png", 1, 0, 0);
    const int empty = CreateEmptyGraph(4, 4, 1);
    ASSERT_NE(other, -1);
    ASSERT_NE(empty, -1);
    EXPECT_EQ(GetGraphData(cell)->file_name, sheet_name);
    fx.host.directory = "elsewhere";
    fx.calls.clear();
    g_reads = 0;
    RunRestoreGraphCallback();
    // The sheet once for the sheet and its cell (alpha names tried and missed
    // are not reads), then the other file.
    EXPECT_EQ(g_reads, 2);
    EXPECT_THAT(fx.calls, ElementsAre("2d FillGraphParts 8 8 0 0 0 0 0", "2d FillGraphParts 8 8 0 0 0 4 4",
                                      "2d FillGraphParts 2 2 0 0 0 0 0", "host RestoreFontGlyphCaches"));
    EXPECT_EQ(fx.host.directory, "elsewhere");
    EXPECT_EQ(GetGraphData(sheet)->needs_restore, 0u);
    // An empty graph has no file: it stays marked for the game to re-make.
    EXPECT_EQ(GetGraphData(empty)->needs_restore, 1u);
}

int g_callback_runs = 0;
void CountRestore() { ++g_callback_runs; }

TEST_F(GraphFiles, ARestoreCallbackReplacesTheBuiltInReload) {
    g_callback_runs = 0;
    g_files["a.png"] = BgraFile(2, 2, 5);
    LoadGraphFromFile("a.png", 1, 0, 0);
    SetGraphRestoreCallback(CountRestore);
    EXPECT_EQ(CheckRestoreGraphCallback(), 1);
    g_reads = 0;
    RunRestoreGraphCallback();
    EXPECT_EQ(g_callback_runs, 1);
    EXPECT_EQ(g_reads, 0);
    SetGraphRestoreCallback(nullptr);
    EXPECT_EQ(CheckRestoreGraphCallback(), 0);
}

TEST(GraphManagement, OperationsNeedItStarted) {
    testing::GraphicsFixture fx;
    EXPECT_EQ(SetDrawScreen(kBackScreen), -1);
    EXPECT_EQ(LoadGraphFromFile("x.png", 1, 0, 0), -1);
    EXPECT_EQ(DeleteAllGraphs(), 0);
}

}  // namespace
}  // namespace velk
