#include <gtest/gtest.h>

#include "lib/image/graph_image_handles.h"

namespace velk {
namespace {

TEST(GraphImageHandles, KeepAndReleaseImages) {
    GraphImage image;
    ASSERT_EQ(CreateXRGB32GraphImage(2, 2, &image), 0);
    const int handle = AddGraphImageHandle(&image);
    ASSERT_NE(handle, -1);
    EXPECT_EQ(handle & 0x78000000, 0x70000000);
    EXPECT_EQ(image.pixels, nullptr);
    ASSERT_NE(GetGraphImageByHandle(handle), nullptr);
    EXPECT_EQ(GetGraphImageByHandle(handle)->width, 2);
    EXPECT_EQ(DeleteGraphImageHandle(handle), 0);
    EXPECT_EQ(DeleteGraphImageHandle(handle), -1);
    ASSERT_EQ(CreateXRGB32GraphImage(2, 2, &image), 0);
    AddGraphImageHandle(&image);
    EXPECT_EQ(DeleteAllGraphImageHandles(), 0);
}

}  // namespace
}  // namespace velk
