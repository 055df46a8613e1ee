#include <gtest/gtest.h>

// GCC 12 follows the refused out-of-range slots below into the table's
// vector after inlining and warns of accesses the range checks rule out.
#if defined(__GNUC__) && !defined(__clang__) && __GNUC__ == 12
#pragma GCC diagnostic ignored "-Warray-bounds"
#endif

#include "lib/core/handle_table.h"

#include <memory>

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

TEST(HandleTable, RecordsPutBackUnderTheirHandleAndOwnedRecords) {
    HandleTable<Record, std::unique_ptr<Record>> table(8, 0x10000000);
    const int32_t handle = table.Add(std::make_unique<Record>());
    ASSERT_NE(handle, -1);
    EXPECT_EQ(table.Get(handle)->handle, handle);
    std::unique_ptr<Record> taken = table.Remove(handle);
    ASSERT_NE(taken, nullptr);
    EXPECT_TRUE(table.NamesEmptySlot(handle));
    EXPECT_FALSE(table.NamesEmptySlot(handle ^ 0x20000000));
    // Re-made in the same slot under the same check, the old handle is live again.
    EXPECT_EQ(table.AddAt(handle & 0xFFFF, (handle >> 16) & 0x7FF, std::move(taken)), handle);
    EXPECT_EQ(table.AddAt(handle & 0xFFFF, 0, std::make_unique<Record>()), -1);
    EXPECT_EQ(table.AddAt(8, 0, std::make_unique<Record>()), -1);
    EXPECT_EQ(table.AddAt(5, 9, std::make_unique<Record>()) & 0xFFFF, 5);
    EXPECT_EQ(table.end(), 6);
    EXPECT_EQ(table.LowestFreeSlot(), 1);
}

}  // namespace
}  // namespace velk
