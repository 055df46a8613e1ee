#include <gtest/gtest.h>

#include <numeric>
#include <vector>

#include "game/data/data_container.h"
#include "platform/base/crt_random.h"
#include "tests/game/data/data_test_support.h"

namespace velk {
namespace {

// The routine written out byte by byte, as the file format defines it.
void ReferenceScramble(std::vector<uint8_t>& buffer, size_t start, size_t end, const std::vector<uint8_t>& keys) {
    const size_t strides[3] = {1, 2, 5};
    for (size_t key = 0; key < keys.size(); ++key) {
        platform::CrtSrand(keys[key]);
        for (size_t i = start; i < end; i += strides[key]) {
            buffer[i] ^= static_cast<uint8_t>((platform::CrtRand() & 0xFF000) >> 12);
        }
    }
}

std::vector<uint8_t> Body(size_t header, size_t length) {
    std::vector<uint8_t> buffer(header + length);
    std::iota(buffer.begin() + header, buffer.end(), 0);
    return buffer;
}

TEST(ScrambleDataBuffer, MatchesTheKnownStreamOfSeedsOneTwoThree) {
    std::vector<uint8_t> buffer = Body(10, 16);
    const uint8_t keys[3] = {1, 2, 3};
    uint8_t check = 0;
    ScrambleDataBuffer("x", buffer, 10, 26, 3, keys, -3, &check);
    const std::vector<uint8_t> expected = {0x00, 0x05, 0x04, 0x05, 0x05, 0x07, 0x00, 0x00,
                                           0x09, 0x0c, 0x0d, 0x0d, 0x0a, 0x09, 0x0a, 0x0d};
    EXPECT_EQ(std::vector<uint8_t>(buffer.begin() + 10, buffer.end()), expected);
    EXPECT_EQ(check, 120);
}

TEST(ScrambleDataBuffer, AgreesWithTheByteByByteRoutineAndLeavesTheGeneratorAlike) {
    // Lengths across the unscrambling's chunks, with every kernel set:
    // SSE2 (0), AVX2 (1) and AVX-512 (2) where the machine has them.
    for (int wide : {2, 1, 0}) {
        UseWideScrambleKernels(wide >= 1);
        UseAvx512ScrambleKernels(wide == 2);
        for (size_t length : {0u, 1u, 7u, 8u, 9u, 63u, 1000u, 5119u, 5120u, 5121u, 12345u}) {
            for (int keyCount = 1; keyCount <= 3; ++keyCount) {
                std::vector<uint8_t> keys = {37, 200, 9};
                keys.resize(keyCount);
                std::vector<uint8_t> fast = Body(20, length), slow = fast;
                ScrambleDataBuffer("x", fast, 20, static_cast<int>(fast.size()), keyCount, keys.data(), 0, nullptr);
                uint32_t stateAfterFast = platform::MainThreadCrtRandom().State();
                ReferenceScramble(slow, 20, slow.size(), keys);
                EXPECT_EQ(fast, slow) << "length " << length << " keys " << keyCount << " wide " << wide;
                EXPECT_EQ(stateAfterFast, platform::MainThreadCrtRandom().State());
            }
        }
    }
    UseWideScrambleKernels(true);
    UseAvx512ScrambleKernels(true);
}

TEST(ScrambleDataBuffer, AllZeroSeedsChangeNothingAndCheckNothing) {
    testing::RecordingReporter reporter;
    std::vector<uint8_t> buffer = Body(10, 20), original = buffer;
    const uint8_t keys[3] = {0, 0, 0};
    uint8_t check = 77;
    EXPECT_TRUE(ScrambleDataBuffer("f", buffer, 10, 30, 3, keys, -3, &check));
    EXPECT_EQ(check, 77);
    EXPECT_TRUE(ScrambleDataBuffer("f", buffer, 10, 30, 3, keys, 3, &check));
    EXPECT_EQ(buffer, original);
    EXPECT_TRUE(reporter.boxes.empty());
}

TEST(ScrambleDataBuffer, AnEmptyRangeSumsToZeroAndTouchesNothing) {
    testing::RecordingReporter reporter;
    std::vector<uint8_t> buffer = Body(10, 5), original = buffer;
    const uint8_t keys[3] = {4, 5, 6};
    uint8_t check = 9;
    ScrambleDataBuffer("f", buffer, 12, 12, 3, keys, -1, &check);
    EXPECT_EQ(check, 0);
    EXPECT_EQ(buffer, original);
    EXPECT_FALSE(ScrambleDataBuffer("f", buffer, 15, 11, 0, nullptr, 1, &(check = 1)));
}

TEST(ScrambleDataBuffer, AFailedSumShowsTheTamperedMessageAndEndsTheProgram) {
    testing::RecordingReporter reporter;
    std::vector<uint8_t> buffer = Body(10, 8);
    uint8_t check = 1;
    EXPECT_FALSE(ScrambleDataBuffer("Data\\BasicData\\CommonEvent.dat", buffer, 10, 18, 0, nullptr, 3, &check));
    ASSERT_EQ(reporter.boxes.size(), 1u);
    EXPECT_EQ(reporter.boxes[0].line1,
              testing::Sjis("ファイル Data\\BasicData\\CommonEvent.dat が改竄されたか、破損している可能性があります。\n"
                            "ロードを中止します。"));
    EXPECT_EQ(reporter.boxes[0].line2, "");
    EXPECT_EQ(reporter.exitCodes, std::vector<int>{1});
}

TEST(ScrambleDataBuffer, RangesBeyondTheBufferAreCutToIt) {
    std::vector<uint8_t> buffer = Body(10, 6);
    const uint8_t keys[1] = {5};
    ScrambleDataBuffer("f", buffer, -4, 1 << 30, 1, keys, 0, nullptr);
    std::vector<uint8_t> reference = Body(10, 6);
    ReferenceScramble(reference, 0, reference.size(), {5});
    EXPECT_EQ(buffer, reference);
}

TEST(Container, SealedFilesOpenWithTheirSumForEveryLayout) {
    for (const ContainerLayout* layout : {&kDataFileLayout, &kGameInfoLayout, &kMapFileLayout}) {
        std::vector<uint8_t> plain = Body(layout->headerLength, 50);
        std::vector<uint8_t> file = plain;
        SealContainer(file, *layout, {9, 0, 200});
        auto opened = UnscrambleContainer(file, *layout);
        ASSERT_TRUE(opened);
        EXPECT_EQ((opened->seeds), (ContainerSeeds{9, 0, 200}));
        EXPECT_TRUE(std::equal(file.begin() + layout->headerLength, file.end(), plain.begin() + layout->headerLength));
        EXPECT_EQ(opened->checked, layout->checkOffset >= 0);
        EXPECT_TRUE(ContainerSumMatches(file, *layout, *opened, file.size()));
        if (opened->checked) {
            EXPECT_FALSE(ContainerSumMatches(file, *layout, *opened, file.size() - 1));
        }
    }
}

// Bodies large and heavy enough to carry any lane of a wide sum into the next.
std::vector<std::vector<uint8_t>> HeavyBodies() {
    std::vector<std::vector<uint8_t>> bodies;
    bodies.emplace_back(65536, 0xFF);
    bodies.emplace_back(1032, 0xFF);
    bodies.emplace_back(4093, 0x80);
    std::vector<uint8_t> random(20000);
    platform::CrtSrand(77);
    for (uint8_t& byte : random) byte = static_cast<uint8_t>(0x80 | platform::CrtRand());
    bodies.push_back(random);
    return bodies;
}

uint8_t PlainSum(const std::vector<uint8_t>& bytes, size_t from) {
    unsigned sum = 0;
    for (size_t i = from; i < bytes.size(); ++i) sum = (sum + bytes[i]) % 256;
    return static_cast<uint8_t>(sum);
}

TEST(Container, TheSumOfLargeBodiesOfHighBytesIsTheByteBySumModulo256) {
    testing::RecordingReporter reporter;
    for (const std::vector<uint8_t>& body : HeavyBodies()) {
        std::vector<uint8_t> file(10 + body.size());
        std::copy(body.begin(), body.end(), file.begin() + 10);
        const uint8_t expected = PlainSum(file, 10);
        const int end = static_cast<int>(file.size());
        EXPECT_EQ(SumBytes(file, 10, file.size()), expected) << body.size() << " bytes";
        for (size_t from : {11u, 13u, 17u}) {
            EXPECT_EQ(SumBytes(file, from, file.size()), PlainSum(file, from)) << "from " << from;
        }

        // The writer's routine stores the plain sum; the reader accepts it.
        std::vector<uint8_t> scrambled = file;
        const uint8_t keys[3] = {3, 4, 5};
        uint8_t check[3] = {0, 0, 0};
        ScrambleDataBuffer("f", scrambled, 10, end, 3, keys, -3, check);
        EXPECT_EQ(check[0], expected);
        ScrambleDataBuffer("f", scrambled, 10, end, 3, keys, 0, nullptr);
        EXPECT_TRUE(ScrambleDataBuffer("f", scrambled, 10, end, 0, nullptr, 3, check));

        // A file sealed by hand with the right sum opens; the sealer writes that sum.
        std::vector<uint8_t> byHand = file;
        byHand[2] = expected;
        byHand[0] = 9;
        ReferenceScramble(byHand, 10, byHand.size(), {9, 0, 0});
        auto opened = UnscrambleContainer(byHand, kDataFileLayout);
        ASSERT_TRUE(opened);
        EXPECT_TRUE(ContainerSumMatches(byHand, kDataFileLayout, *opened, byHand.size()));
        std::vector<uint8_t> sealed = file;
        SealContainer(sealed, kDataFileLayout, {9, 0, 0});
        EXPECT_EQ(sealed[2], expected);
    }
    EXPECT_TRUE(reporter.boxes.empty());
}

TEST(Container, AShortFileIsDamagedAndUnscrambledSeedsOfZeroCarryNoCheck) {
    std::vector<uint8_t> short_file(19, 1);
    EXPECT_FALSE(UnscrambleContainer(short_file, kMapFileLayout));
    EXPECT_FALSE(UnscrambleContainer(std::span<uint8_t>(), kDataFileLayout));
    std::vector<uint8_t> file = Body(10, 4);
    file[2] = 99;  // a stale check byte is not looked at
    auto opened = UnscrambleContainer(file, kDataFileLayout);
    ASSERT_TRUE(opened);
    EXPECT_FALSE(opened->checked);
    EXPECT_TRUE(ContainerSumMatches(file, kDataFileLayout, *opened, 12));
}

}  // namespace
}  // namespace velk
