#include "game/present/graphic_cache.h"

#include <gtest/gtest.h>

#include "tests/game/data/data_test_support.h"
#include "tests/game/present/fake_library.h"

namespace velk {
namespace {

using testing::Sjis;

class GraphicCacheTest : public ::testing::Test {
protected:
    GraphicCacheTest() {
        library_.files["Data\\a.png"] = testing::ImageBytes(100, 50);
        library_.files["Data\\chara.png"] = testing::ImageBytes(96, 192);
        library_.files["Data\\b.png"] = testing::ImageBytes(10, 10);
        library_.files["Data\\c.png"] = testing::ImageBytes(20, 20);
        library_.files["Data\\text.txt"] = "not an image";
    }

    std::vector<testing::FakeGraph> CellsOf(const std::string& name) {
        std::vector<testing::FakeGraph> cells;
        for (int graph : *cache_.Cells(name))
            cells.push_back(library_.graphs[graph]);
        return cells;
    }

    testing::RecordingReporter reporter_;
    testing::FakeLibrary library_;
    GraphicCache cache_{library_};
};

TEST_F(GraphicCacheTest, AnImageIsCutIntoEqualCellsRowByRow) {
    ASSERT_TRUE(cache_.LoadGraphic("a.png", 3, 2, 0));
    const auto cells = CellsOf("a.png");
    ASSERT_EQ(cells.size(), 7u);
    EXPECT_EQ(cells[0].width, 100);
    const int whole = (*cache_.Cells("a.png"))[0];
    const int expected[6][2] = {{0, 0}, {33, 0}, {66, 0}, {0, 25}, {33, 25}, {66, 25}};
    for (size_t i = 1; i < cells.size(); ++i) {
        EXPECT_EQ(cells[i].source, whole);
        EXPECT_EQ(cells[i].x, expected[i - 1][0]);
        EXPECT_EQ(cells[i].y, expected[i - 1][1]);
        EXPECT_EQ(cells[i].width, 33);
        EXPECT_EQ(cells[i].height, 25);
    }
}

TEST_F(GraphicCacheTest, ModeOneTakesCellSizesAndTheFirstDivisionStays) {
    ASSERT_TRUE(cache_.LoadGraphic("chara.png", 32, 48, 1));
    int columns = 0, rows = 0;
    ASSERT_TRUE(cache_.Division("chara.png", columns, rows));
    EXPECT_EQ(columns, 3);
    EXPECT_EQ(rows, 4);
    EXPECT_TRUE(cache_.LoadGraphic("chara.png", 1, 1, 0));
    ASSERT_TRUE(cache_.Division("chara.png", columns, rows));
    EXPECT_EQ(columns, 3);
    // Another spelling of the file's name finds it too.
    library_.sameFileAs["Data\\CHARA.PNG"] = "Data\\chara.png";
    EXPECT_TRUE(cache_.LoadGraphic("CHARA.PNG", 1, 1, 0));
    EXPECT_EQ(*cache_.Cells("CHARA.PNG"), *cache_.Cells("chara.png"));
    EXPECT_EQ(library_.reads.size(), 1u);
    // One by one still holds a derived cell of full size; no division keeps only the whole.
    ASSERT_TRUE(cache_.LoadGraphic("b.png", 1, 1, 0));
    EXPECT_EQ(cache_.Cells("b.png")->size(), 2u);
    ASSERT_TRUE(cache_.LoadGraphic("c.png", 0, 3, 0));
    EXPECT_EQ(cache_.Cells("c.png")->size(), 1u);
}

TEST_F(GraphicCacheTest, AnEmptyNameLoadsNothingAndShowsNothing) {
    EXPECT_TRUE(cache_.LoadGraphic("", 1, 1, 0));
    EXPECT_EQ(cache_.LoadGraphicSP("", 1, 1, nullptr, false), -1);
    EXPECT_TRUE(library_.reads.empty());
    EXPECT_TRUE(reporter_.messages.empty());
    EXPECT_EQ(cache_.EntryCount(), 0u);
}

TEST_F(GraphicCacheTest, AMissingFileIsReportedOnceUntilTheCacheIsEmptied) {
    EXPECT_FALSE(cache_.LoadGraphic("gone.png", 1, 1, 0));
    EXPECT_FALSE(cache_.LoadGraphic("gone.png", 1, 1, 0));
    ASSERT_EQ(reporter_.messages.size(), 1u);
    EXPECT_EQ(reporter_.messages[0].line1, Sjis("■LoadGraphic error:ファイル Data\\gone.png が見つかりません\n"));
    EXPECT_EQ(reporter_.messages[0].line2, Sjis("ファイル読み込みエラー"));
    EXPECT_EQ(reporter_.messageButtons[0], MessageBoxButtons::kOkCancel);
    EXPECT_EQ(cache_.Cells("gone.png"), nullptr);
    cache_.ClearGraphicCache();
    EXPECT_FALSE(cache_.LoadGraphic("gone.png", 1, 1, 0));
    EXPECT_EQ(reporter_.messages.size(), 2u);
    // A file that is no image is not cached either and leaves no graph behind.
    EXPECT_FALSE(cache_.LoadGraphic("text.txt", 1, 1, 0));
    EXPECT_EQ(cache_.Cells("text.txt"), nullptr);
    EXPECT_TRUE(library_.live.empty());
}

TEST_F(GraphicCacheTest, ReloadGoesOnPastAMissingFileAndRecutsByTheNewSize) {
    ASSERT_TRUE(cache_.LoadGraphic("a.png", 2, 1, 0));
    ASSERT_TRUE(cache_.LoadGraphic("b.png", 1, 1, 0));
    ASSERT_TRUE(cache_.LoadGraphic("c.png", 2, 2, 0));
    library_.sameFileAs["Data\\C.png"] = "Data\\c.png";
    ASSERT_TRUE(cache_.LoadGraphic("C.png", 2, 2, 0));
    const std::vector<int> oldB = *cache_.Cells("b.png");
    library_.files.erase("Data\\b.png");
    library_.files["Data\\c.png"] = testing::ImageBytes(40, 40);
    const size_t reads = library_.reads.size();
    EXPECT_FALSE(cache_.ReLoadGraphic());
    EXPECT_EQ(library_.reads.size() - reads, 3u) << "each file once";
    ASSERT_EQ(reporter_.messages.size(), 1u);
    EXPECT_EQ(reporter_.messages[0].line1, Sjis("■ReLoadGraphic error:ファイル Data\\b.png が見つかりません\nb.png"));
    EXPECT_EQ(reporter_.messageButtons[0], MessageBoxButtons::kOkCancel);
    EXPECT_EQ(*cache_.Cells("b.png"), oldB);
    const auto c = CellsOf("c.png");
    ASSERT_EQ(c.size(), 5u);
    EXPECT_EQ(c[4].x, 20);
    EXPECT_EQ(c[4].width, 20);
    // Every old graph of a reloaded entry is gone: a + c before (3 + 5), b's two kept, new 3 + 5.
    EXPECT_EQ(library_.live.size(), 2u + 3u + 5u);
    cache_.ClearGraphicCache();
    EXPECT_TRUE(library_.live.empty());
    EXPECT_EQ(cache_.EntryCount(), 0u);
}

TEST_F(GraphicCacheTest, TheUncachedLoaderFillsTheCellsOnlyForADivision) {
    std::vector<int> cells = {-7};
    const int whole = cache_.LoadGraphicSP("a.png", 1, 1, &cells, false);
    EXPECT_NE(whole, -1);
    EXPECT_EQ(cells, std::vector<int>{-7});
    const int divided = cache_.LoadGraphicSP("a.png", 2, 1, &cells, false);
    ASSERT_EQ(cells.size(), 3u);
    EXPECT_EQ(cells[0], divided);
    EXPECT_EQ(cache_.EntryCount(), 0u);
    EXPECT_EQ(cache_.LoadGraphicSP("gone.png", 2, 3, nullptr, true), -1);
    EXPECT_TRUE(reporter_.messages.empty());
    EXPECT_EQ(cache_.LoadGraphicSP("gone.png", 2, 3, nullptr, false), -1);
    ASSERT_EQ(reporter_.messages.size(), 1u);
    EXPECT_EQ(reporter_.messages[0].line1,
              Sjis("■LoadGraphicSP error:ファイル Data\\gone.png (分割 2,3)が見つかりません\n"));
    EXPECT_EQ(reporter_.messageButtons[0], MessageBoxButtons::kOkCancel);
}

TEST_F(GraphicCacheTest, AnImpossibleDivisionCutsNoCells) {
    library_.files["Data\\big.png"] = testing::ImageBytes(640, 480);
    ASSERT_TRUE(cache_.LoadGraphic("big.png", 1, 1, 1));
    EXPECT_EQ(cache_.Cells("big.png")->size(), 1u);
}

}  // namespace
}  // namespace velk
