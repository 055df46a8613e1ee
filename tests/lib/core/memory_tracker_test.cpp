#include <gtest/gtest.h>

#include <cinttypes>
#include <cstdint>
#include <cstring>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "lib/core/log_texts.h"
#include "lib/core/memory_tracker.h"
#include "lib/core/string_format.h"
#include "tests/lib/core/log_fixture.h"

namespace velk {
namespace {

class MemoryTracker : public testing::LogInScratchDir {
protected:
    void SetUp() override {
        LogInScratchDir::SetUp();
        blocks_before_ = LiveMemoryBlockCount();
        size_before_ = LiveMemoryTotalSize();
    }
    void TearDown() override {
        EXPECT_EQ(LiveMemoryBlockCount(), blocks_before_) << "a test left blocks behind";
        EXPECT_EQ(LiveMemoryTotalSize(), size_before_);
        LogInScratchDir::TearDown();
    }

    // The serial ("ID") of every block line in the log, in log order.
    std::vector<int> LoggedSerials() const {
        std::vector<int> serials;
        const std::string log = LogBytes();
        const std::regex id("ID:([0-9]+)");
        for (auto it = std::sregex_iterator(log.begin(), log.end(), id); it != std::sregex_iterator(); ++it) {
            serials.push_back(std::stoi((*it)[1]));
        }
        return serials;
    }

    static std::string Address(const void* block) {
        return FormatString("%08" PRIxPTR, reinterpret_cast<uintptr_t>(block));
    }

    size_t blocks_before_ = 0;
    size_t size_before_ = 0;
};

TEST_F(MemoryTracker, BlockLineShowsSourceTailSizeAndFirstBytes) {
    auto* block = static_cast<char*>(MemAlloc(5, "abcdefghijklmnopqrstuvwxyz.cpp", 42));
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(block) % 16, 0u);
    std::memcpy(block, "A\x01\xff\x7f" "B", 5);
    DumpMemoryBlocks();
    const std::vector<int> serials = LoggedSerials();
    ASSERT_EQ(serials.size(), 1u);
    const std::string line = "0:\tsize:5(0.005kb)  file:pqrstuvwxyz.cpp  line:42  ID:" + std::to_string(serials[0]) +
                             "  addr:" + Address(block) + "  data:<A..\x7f" "B> [41 01 ff 7f 42]\r\n";
    EXPECT_NE(LogBytes().find("0:\r\n0:Alloc memory dump\r\n" + line), std::string::npos) << LogBytes();
    MemFree(block);
}

TEST_F(MemoryTracker, ListsLiveBlocksNewestFirstWithTotals) {
    ASSERT_EQ(blocks_before_, 0u) << "an earlier test leaked";
    void* oldest = MemAlloc(1024, "old.cpp", 1);
    void* middle = MemAlloc(512, "mid.cpp", 2);
    void* newest = MemAlloc(512, "new.cpp", 3);
    EXPECT_EQ(LiveMemoryBlockCount(), 3u);
    EXPECT_EQ(LiveMemoryTotalSize(), 2048u);

    MemFree(newest);  // its predecessor becomes the newest
    DumpMemoryBlocks();
    const std::string log = LogBytes();
    const size_t mid_at = log.find("file:mid.cpp");
    const size_t old_at = log.find("file:old.cpp");
    ASSERT_NE(mid_at, std::string::npos);
    ASSERT_NE(old_at, std::string::npos);
    EXPECT_LT(mid_at, old_at);
    EXPECT_EQ(log.find("file:new.cpp"), std::string::npos);
    EXPECT_NE(log.find("0:\tTotal size:1536(1.500kb)  Alloc num:2\r\n0:\r\n"), std::string::npos);

    MemFree(oldest);
    void* again = MemAlloc(8, "again.cpp", 4);  // links after the remaining block
    EXPECT_EQ(CheckMemoryBlocks(), 0);
    MemFree(middle);
    MemFree(again);
    ASSERT_EQ(CreateLogFile(), 0);
    WriteMemoryTotals();
    EXPECT_EQ(LogBytes(), "0:\tTotal size:0(0.000kb)  Alloc num:0\r\n");
}

TEST_F(MemoryTracker, ReportsADamagedByteAnywhereInTheHeader) {
    void* older = MemAlloc(4, "older.cpp", 1);
    auto* block = static_cast<unsigned char*>(MemAlloc(16, "damaged.cpp", 2));
    void* newer = MemAlloc(4, "newer.cpp", 3);
    unsigned char* header = block - kMemoryBlockHeaderSize;
    for (size_t i = 0; i < kMemoryBlockHeaderSize; ++i) {
        header[i] ^= 0x5A;
        ASSERT_EQ(CheckMemoryBlocks(), -1) << "byte " << i;
        header[i] ^= 0x5A;
        ASSERT_EQ(CheckMemoryBlocks(), 0) << "byte " << i;
    }
    const std::string log = LogBytes();
    EXPECT_NE(log.find(std::string("0:") + log_text::kMemoryBlockDamaged + "\tsize:16("), std::string::npos);
    MemFree(newer);
    MemFree(block);
    MemFree(older);
}

TEST_F(MemoryTracker, DamagedBlockIsReportedInsteadOfUnlinked) {
    auto* block = static_cast<unsigned char*>(MemAlloc(2, "victim.cpp", 9));
    unsigned char* size_field = block - kMemoryBlockHeaderSize + 20;
    size_field[1] = 0x7F;  // the size now claims far more than the block holds
    MemFree(block);
    EXPECT_EQ(MemRealloc(block, 64, "victim.cpp", 10), nullptr);
    EXPECT_NE(LogBytes().find(log_text::kMemoryBlockDamaged), std::string::npos);
    size_field[1] = 0;
    EXPECT_EQ(CheckMemoryBlocks(), 0);
    MemFree(block);
}

TEST_F(MemoryTracker, SerialWrapsAfter65536Allocations) {
    void* first = MemAlloc(1, "first.cpp", 1);
    for (int i = 0; i < 65535; ++i) {
        MemFree(MemAlloc(1, "churn.cpp", 2));
    }
    void* wrapped = MemAlloc(1, "wrapped.cpp", 3);
    DumpMemoryBlocks();
    const std::vector<int> serials = LoggedSerials();
    ASSERT_GE(serials.size(), 2u);
    EXPECT_EQ(serials[0], serials[1]);  // newest (the 65537th) and the first
    MemFree(wrapped);
    MemFree(first);
}

TEST_F(MemoryTracker, ReallocKeepsContentsZeroFillsTheTailAndStaysListed) {
    void* before = MemAlloc(8, "before.cpp", 1);
    auto* block = static_cast<unsigned char*>(MemRealloc(nullptr, 4, "grow.cpp", 2));
    void* after = MemAlloc(8, "after.cpp", 3);
    std::memset(block, 0xAB, 4);
    block = static_cast<unsigned char*>(MemRealloc(block, 4096, "grow.cpp", 4));
    ASSERT_NE(block, nullptr);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(block[i], 0xAB);
    }
    for (int i = 4; i < 4096; ++i) {
        ASSERT_EQ(block[i], 0) << "byte " << i;
    }
    EXPECT_EQ(LiveMemoryTotalSize(), size_before_ + 8 + 4096 + 8);
    EXPECT_EQ(CheckMemoryBlocks(), 0);

    block = static_cast<unsigned char*>(MemRealloc(block, 2, "shrink.cpp", 5));
    EXPECT_EQ(block[0], 0xAB);
    EXPECT_EQ(block[1], 0xAB);
    DumpMemoryBlocks();
    const std::string log = LogBytes();
    EXPECT_LT(log.find("file:after.cpp"), log.find("file:shrink.cpp  line:5"));
    EXPECT_LT(log.find("file:shrink.cpp"), log.find("file:before.cpp"));
    MemFree(after);
    MemFree(block);
    MemFree(before);
}

TEST_F(MemoryTracker, FailedRequestsDumpTheListAndKeepTheOldBlock) {
    void* block = MemAlloc(3, "kept.cpp", 1);
    EXPECT_EQ(MemAlloc(size_t{1} << 40, "huge.cpp", 2), nullptr);
    EXPECT_EQ(MemRealloc(block, size_t{1} << 40, "huge.cpp", 3), nullptr);
    EXPECT_EQ(CheckMemoryBlocks(), 0);
    const std::string log = LogBytes();
    EXPECT_NE(log.find("Alloc memory dump"), std::string::npos);
    EXPECT_NE(log.find("file:kept.cpp"), std::string::npos);
    MemFree(block);
}

TEST_F(MemoryTracker, NullAndEmptyBlocks) {
    MemFree(nullptr);
    void* empty = MemAlloc(0, nullptr, -1);  // blocks of size 0 are traced
    ASSERT_NE(empty, nullptr);
    MemFree(empty);
    const std::string log = LogBytes();
    EXPECT_NE(log.find("0:mem alloc  \tsize:0(0.000kb)  file:  line:-1  ID:"), std::string::npos) << log;
    EXPECT_NE(log.find("  data:<> ]\r\n0:mem free  \tsize:0"), std::string::npos) << log;

    auto* zeroed = static_cast<unsigned char*>(MemCalloc(100, "calloc.cpp", 1));
    for (int i = 0; i < 100; ++i) {
        ASSERT_EQ(zeroed[i], 0);
    }
    MemFree(zeroed);
}

TEST_F(MemoryTracker, ThreadsAllocateAndFreeConcurrently) {
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t] {
            std::vector<void*> mine;
            for (int i = 0; i < 2000; ++i) {
                mine.push_back(MemAlloc(static_cast<size_t>(1 + (i + t) % 64), "thread.cpp", t));
                if (i % 3 == 0) {
                    mine.back() = MemRealloc(mine.back(), 128, "thread.cpp", t);
                }
                if (i % 2 == 1) {
                    MemFree(mine.front());
                    mine.erase(mine.begin());
                }
            }
            for (void* block : mine) {
                MemFree(block);
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(CheckMemoryBlocks(), 0);
}

}  // namespace
}  // namespace velk
