#include <gtest/gtest.h>

#include <utility>

#include "game/data/byte_writer.h"
#include "game/data/game_info.h"
#include "tests/game/data/data_test_support.h"
#include "tests/support/scratch_dir.h"
#include "tools/gamedata/game_dat_writer.h"
#include "tools/gamedata/game_folder_writer.h"

namespace velk {
namespace {

using gamedata::GameDatDescription;

std::vector<uint8_t> Written(const GameDatDescription& description) {
    auto file = gamedata::WriteGameDat(description);
    EXPECT_TRUE(file);
    return file ? *file : std::vector<uint8_t>();
}

GameDatDescription FullDescription() {
    GameDatDescription description;
    description.seeds = {200, 13, 77};
    description.settings = {16, 1, 2, 0, 30, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17};
    description.texts = {testing::Sjis("小さな冒険"), "1234-5678", "ignored", testing::Sjis("ＭＳ 明朝"), "", "", "",
                         "hero.png"};
    description.archiveKey = "secret\x01\xFF key";
    description.numbers = {65535, 0, 42};
    return description;
}

TEST(GameInfo, ReadsEverythingTheWriterPutsIn) {
    std::vector<uint8_t> file = Written(FullDescription());
    GameInfo info;
    ASSERT_EQ(ParseGameInfo(file, info), GameInfoStatus::kLoaded);
    EXPECT_EQ(info.Setting(0), 16);
    EXPECT_EQ(info.ChipSize(), 16);
    EXPECT_EQ(info.Setting(3), 1);  // every load switches MIDI playback on
    EXPECT_EQ(info.Setting(4), 30);
    EXPECT_EQ(info.Setting(17), 17);
    EXPECT_EQ(info.Text(0), testing::Sjis("小さな冒険"));
    EXPECT_EQ(info.Text(2), std::string("secret\x01\xFF key"));
    EXPECT_EQ(info.Text(3), testing::Sjis("ＭＳ 明朝"));
    EXPECT_EQ(info.Text(7), "hero.png");
    EXPECT_EQ(info.numbers, (std::vector<uint16_t>{65535, 0, 42}));
}

TEST(GameInfo, AShortSettingListKeepsTheRestAndAnEmptyKeyIsEmpty) {
    GameDatDescription description;
    description.settings = {32, 9, 9};
    description.archiveKey = "";
    description.numbers = {};
    std::vector<uint8_t> file = Written(description);
    GameInfo info;
    info.texts[2] = "old key";
    ASSERT_EQ(ParseGameInfo(file, info), GameInfoStatus::kLoaded);
    EXPECT_EQ(info.Setting(1), 9);
    EXPECT_EQ(info.Setting(3), 1);
    EXPECT_EQ(info.Setting(4), 0);
    EXPECT_EQ(info.Setting(11), 6);
    EXPECT_EQ(info.Text(2), "");
    EXPECT_EQ(info.numbers.size(), 1u);  // the list only ever grows
}

TEST(GameInfo, ExtraSettingsAndTextsArePassedOverAndLongTextsKept) {
    GameDatDescription description;
    description.settings.assign(30, 7);
    description.texts.assign(12, "t");
    description.texts[1] = std::string(2000, 'x');
    description.archiveKey = "k";
    std::vector<uint8_t> file = Written(description);
    GameInfo info;
    ASSERT_EQ(ParseGameInfo(file, info), GameInfoStatus::kLoaded);
    EXPECT_EQ(info.Setting(17), 7);
    EXPECT_EQ(info.Text(1).size(), 2000u);
    EXPECT_EQ(info.Text(2), "k");
}

TEST(GameInfo, KeyOffsetPairsWrapAtSixtyFourKibibytes) {
    ByteWriter writer;
    for (int i = 0; i < 10; ++i) writer.WriteU8(0);
    writer.WriteU32(0);  // no settings
    writer.WriteU32(1);
    writer.WriteString(std::string_view("ab\0cd", 5));  // the text is cut at its zero byte
    size_t endAt = writer.Size();
    writer.WriteU32(0);
    writer.WriteU32(2);  // key length
    writer.WriteU32(0);  // no numbers
    size_t listsAt = writer.Size();
    writer.WriteU32(0);
    writer.WriteU32(0);
    size_t p = writer.Size();
    writer.WriteU16(0xFFFF);
    writer.WriteU16(10);
    size_t q = writer.Size();
    writer.WriteU16(26);  // 0xFFFF + 26 wraps to 25, the 'c' of the text
    writer.WriteU16(16);  // 10 + 16 = 26, its 'd'
    writer.PatchU32(endAt, static_cast<uint32_t>(writer.Size()));
    writer.PatchU32(listsAt, static_cast<uint32_t>(p));
    writer.PatchU32(listsAt + 4, static_cast<uint32_t>(q));
    writer.WriteU8(194);
    std::vector<uint8_t> file = writer.Take();
    GameInfo info;
    ASSERT_EQ(ParseGameInfo(file, info), GameInfoStatus::kLoaded);
    EXPECT_EQ(info.Text(2), "cd");
    EXPECT_EQ(info.Text(0), "ab");
}

TEST(GameInfo, AWrongEndByteStillLoadsEveryValue) {
    GameDatDescription description = FullDescription();
    description.endByte = 193;
    std::vector<uint8_t> file = Written(description);
    GameInfo info;
    EXPECT_EQ(ParseGameInfo(file, info), GameInfoStatus::kBadEndByte);
    EXPECT_EQ(info.Text(0), testing::Sjis("小さな冒険"));
    EXPECT_EQ(info.Setting(3), 1);
}

TEST(GameInfo, EveryCutOfTheFileIsRefusedWithoutTouchingTheInfo) {
    std::vector<uint8_t> whole = Written(FullDescription());
    for (size_t length = 0; length < whole.size(); ++length) {
        std::vector<uint8_t> cut(whole.begin(), whole.begin() + length);
        GameInfo info;
        GameInfoStatus status = ParseGameInfo(cut, info);
        if (length == whole.size() - 1) {
            EXPECT_EQ(status, GameInfoStatus::kBadEndByte);
        } else {
            EXPECT_EQ(status, GameInfoStatus::kDamaged) << length;
            EXPECT_EQ(info.Text(0), testing::Sjis("新規ゲーム名")) << length;
        }
    }
}

TEST(GameInfo, HugeCountsAreDamageNotAllocations) {
    ByteWriter writer;
    for (int i = 0; i < 10; ++i) writer.WriteU8(0);
    writer.WriteU32(0);
    writer.WriteU32(0xFFFFFFFF);  // texts
    GameInfo info;
    EXPECT_EQ(ParseGameInfo(writer.MutableBytes(), info), GameInfoStatus::kDamaged);
    ByteWriter numbers;
    for (int i = 0; i < 10; ++i) numbers.WriteU8(0);
    for (uint32_t value : {0u, 0u, 0u, 0xFFFFFFFFu, 0x7FFFFFFFu}) numbers.WriteU32(value);
    EXPECT_EQ(ParseGameInfo(numbers.MutableBytes(), info), GameInfoStatus::kDamaged);
}

TEST(GameInfo, LoadReportsThroughSystemMessageBoxes) {
    testing::ScratchDir scratch;
    testing::InFolder inside(scratch.path());
    testing::RecordingReporter reporter;
    GameInfo info;
    EXPECT_FALSE(info.Load("Game.dat"));
    ASSERT_EQ(reporter.messages.size(), 1u);
    EXPECT_EQ(reporter.messages[0].line1, testing::Sjis("基本情報データ Game.dat がありません"));
    EXPECT_EQ(reporter.messages[0].line2, testing::Sjis("読み込みエラー"));
    EXPECT_EQ(reporter.messageButtons[0], MessageBoxButtons::kOkCancel);

    GameDatDescription description = FullDescription();
    description.endByte = 0;
    ASSERT_TRUE(gamedata::WriteFileBytes(scratch.path() / "Game.dat", Written(description), nullptr));
    EXPECT_TRUE(info.Load("Game.dat"));
    ASSERT_EQ(reporter.messages.size(), 2u);
    EXPECT_EQ(reporter.messages[1].line1, testing::Sjis("基本情報データ Game.dat が破損しています"));
    EXPECT_EQ(reporter.messageButtons[1], MessageBoxButtons::kOk);
    EXPECT_TRUE(reporter.boxes.empty());

    std::vector<uint8_t> cut = Written(FullDescription());
    cut.resize(40);
    ASSERT_TRUE(gamedata::WriteFileBytes(scratch.path() / "Game.dat", cut, nullptr));
    EXPECT_FALSE(info.Load("Game.dat"));
    EXPECT_EQ(reporter.messages.size(), 3u);
    EXPECT_TRUE(reporter.exitCodes.empty());
}

TEST(ComputeFrameStep, IsNeverBelowOne) {
    for (auto [rate, step] : {std::pair{60, 1}, {30, 2}, {20, 3}, {1, 60}, {0, 1}, {61, 1}, {255, 1}}) {
        EXPECT_EQ(ComputeFrameStep(rate), step) << rate;
    }
}

}  // namespace
}  // namespace velk
