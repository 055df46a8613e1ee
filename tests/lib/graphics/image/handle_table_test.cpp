#include <gtest/gtest.h>

#include "lib/graphics/image/graph_image_handles.h"
#include "lib/graphics/image/handle_table.h"

namespace velk {
namespace {

struct Record {
    uint32_t check = 0;
    int32_t handle = 0;
};

TEST(HandleTable, AppendsThenReusesTheLowestEmptySlotOnceFull) {
    HandleTable<Record> table(4, 0x40000000);
    Record r[6];
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(table.Add(&r[i]) & 0xFFFF, i);
    }
    EXPECT_EQ(table.Add(&r[4]), -1);
    table.Remove(r[1].handle);
    table.Remove(r[2].handle);
    EXPECT_EQ(table.end(), 4);
    // The end stays at the capacity: the lowest empty slot is taken.
    EXPECT_EQ(table.Add(&r[4]) & 0xFFFF, 1);
    // Removing the highest used slot moves the end past the empty ones below.
    table.Remove(r[3].handle);
    EXPECT_EQ(table.end(), 2);
    EXPECT_EQ(table.Add(&r[5]) & 0xFFFF, 2);
    EXPECT_EQ(table.count(), 3);
}

TEST(HandleTable, StaleAndForeignHandlesAreRefused) {
    HandleTable<Record> table(4, 0x40000000);
    Record a, b;
    const int32_t first = table.Add(&a);
    table.Remove(first);
    const int32_t second = table.Add(&b);
    EXPECT_EQ(second & 0xFFFF, first & 0xFFFF);
    EXPECT_EQ(table.Get(first), nullptr);
    EXPECT_EQ(table.Get(second), &b);
    EXPECT_EQ(table.Remove(first), nullptr);
    EXPECT_EQ(table.Get(second ^ 0x08000000), nullptr);
    EXPECT_EQ(table.Get(-5), nullptr);
    EXPECT_EQ(table.Get(0x40000000 | 4), nullptr);
    // The counter wraps after 2047.
    for (int i = 0; i < 2046; ++i) {
        table.Remove(table.Add(&a));
    }
    EXPECT_EQ(table.next_check(), 0u);
}

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
