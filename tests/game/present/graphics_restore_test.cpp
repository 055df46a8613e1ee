#include "game/present/graphics_restore.h"

#include <gtest/gtest.h>

#include "game/present/graphic_cache.h"
#include "game/present/system_resources.h"
#include "tests/game/data/data_test_support.h"
#include "tests/game/present/fake_library.h"

namespace velk {
namespace {

TEST(GraphicsRestoreTest, EverythingComesBackInOrderPastAMissingFile) {
    testing::RecordingReporter reporter;
    testing::FakeLibrary library;
    GraphicCache cache(library);
    SystemResources resources(library, cache);
    GraphicsRestore restore(library, cache, resources);
    restore.SetWindowReload([&] { library.calls.push_back("windows"); });
    restore.SetPictureReload([&] { library.calls.push_back("pictures"); });

    library.files["Data\\a.png"] = testing::ImageBytes(4, 4);
    library.files["Data\\b.png"] = testing::ImageBytes(4, 4);
    library.files["Data\\BasicData\\icon002.png"] = testing::ImageBytes(6, 6);
    library.foundFiles = {"icon002.png"};
    ASSERT_TRUE(cache.LoadGraphic("a.png", 1, 1, 0));
    ASSERT_TRUE(cache.LoadGraphic("b.png", 1, 1, 0));
    resources.LoadIcons();
    const int oldIcon = resources.IconHandles()[2];
    const int oldB = (*cache.Cells("b.png"))[0];
    library.files.erase("Data\\a.png");

    restore.RestoreGameGraphics();
    EXPECT_EQ(library.calls, (std::vector<std::string>{"RestoreAllGraphs", "windows", "pictures"}));
    EXPECT_EQ(reporter.messages.size(), 1u);
    EXPECT_NE((*cache.Cells("b.png"))[0], oldB);
    EXPECT_NE(resources.IconHandles()[2], oldIcon);
    EXPECT_EQ(library.live.count(oldIcon), 0u);
}

}  // namespace
}  // namespace velk
