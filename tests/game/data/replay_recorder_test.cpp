// The replay record: runs of equal frames, playback that consumes them, the
// markers, the save part, and a record that ends or is damaged.
#include "game/data/replay_recorder.h"

#include <functional>

#include <gtest/gtest.h>

#include "game/data/error_reporter.h"
#include "game/data/random_source.h"
#include "game/data/save_stream.h"
#include "platform/base/text_encoding.h"

namespace velk::testing {
namespace {

using Buttons = std::array<uint8_t, 8>;

constexpr Buttons kConfirm = {0, 0, 0, 0, 1, 0, 0, 0};
constexpr Buttons kUpRight = {1, 0, 0, 1, 0, 0, 0, 0};
constexpr Buttons kNone = {};

// Records the boxes and runs `during` while one is "shown", as the box's
// wait loop runs the input update.
class BoxReporter final : public ErrorReporter {
public:
    BoxReporter() { SetErrorReporter(this); }
    ~BoxReporter() override { SetErrorReporter(nullptr); }
    void ShowErrorBox(const std::string& line1, const std::string&, const std::string&) override {
        lines.push_back(line1);
        if (during) during();
    }
    void ShowMessageBox(const std::string&, const std::string&, MessageBoxButtons) override {}
    void EndProgram(int) override {}
    std::vector<std::string> lines;
    std::function<void()> during;
};

ReplayRecorder SeededRecorder(uint32_t seed) {
    UpdateRandomSeed(2, seed);
    return ReplayRecorder();
}

TEST(ReplayRecorder, RecordsRunsOfAtMost240FramesAndStartsANewRunOnEveryChange) {
    ReplayRecorder recorder = SeededRecorder(77);
    for (int i = 0; i < 500; ++i)
        recorder.Record(kConfirm);
    EXPECT_EQ(recorder.Codes(), (std::vector<uint8_t>{250, 240, 240}));
    recorder.Record(kNone);
    recorder.Record(kNone);
    recorder.Record(kUpRight);
    recorder.Flush();
    EXPECT_EQ(recorder.Codes(), (std::vector<uint8_t>{250, 240, 240, 20, 2, 1}));
    EXPECT_EQ(recorder.Values(), (std::vector<int32_t>{77, 0x10, 0x10, 0x10, 0, 0x09}));
    recorder.StartWithSeed(5);
    EXPECT_EQ(recorder.Codes().back(), 250);
    EXPECT_EQ(recorder.Values().back(), 5);
}

TEST(ReplayRecorder, PlaybackGivesTheRecordedFramesBackOnceAndThenEndsWithOneBox) {
    BoxReporter boxes;
    ReplayRecorder recorder = SeededRecorder(1);
    std::vector<Buttons> frames = {kConfirm, kConfirm, kNone, kUpRight, kUpRight, kUpRight};
    for (const Buttons& b : frames)
        recorder.Record(b);
    recorder.BeginPlayback();
    EXPECT_TRUE(recorder.Playing());
    for (const Buttons& b : frames)
        EXPECT_EQ(recorder.Play(), b);
    EXPECT_FALSE(recorder.Ended());
    EXPECT_EQ(recorder.PlayedFrames(), 6);
    EXPECT_TRUE(boxes.lines.empty());

    EXPECT_EQ(recorder.Play(), kNone);
    EXPECT_TRUE(recorder.Ended());
    // リプレイデータが終了しました
    ASSERT_EQ(boxes.lines.size(), 1u);
    EXPECT_EQ(boxes.lines[0], platform::Utf8ToShiftJis("リプレイデータが終了しました"));
    EXPECT_EQ(recorder.Play(), kNone);
    EXPECT_EQ(boxes.lines.size(), 1u) << "the end is told once";

    // The runs were consumed: starting again plays nothing.
    recorder.BeginPlayback();
    EXPECT_EQ(recorder.Play(), kNone);
    EXPECT_TRUE(recorder.Ended());
}

TEST(ReplayRecorder, TheEndBoxReadsTheRealDevicesSoItCanBeClosedAndNothingIsRecorded) {
    BoxReporter boxes;
    ReplayRecorder recorder = SeededRecorder(1);
    recorder.Record(kUpRight);
    recorder.BeginPlayback();
    size_t entries = recorder.Codes().size();

    InputState input;
    InputContext context;
    context.replay = &recorder;
    InputDeviceFrame confirmHeld;
    confirmHeld.keys[game_key::kEnter] = 1;
    int updatesInBox = 0;
    boxes.during = [&] {
        // What the box's wait does: update the input, look for confirm.
        input.Update(confirmHeld, context);
        ++updatesInBox;
        EXPECT_TRUE(input.Pressed(kButtonConfirm)) << "the player can close the box";
    };
    input.Update(InputDeviceFrame{}, context);
    EXPECT_TRUE(input.DirectionHeld(kUp));
    input.Update(InputDeviceFrame{}, context);  // the record ends here
    EXPECT_EQ(updatesInBox, 1);
    EXPECT_EQ(boxes.lines.size(), 1u) << "no box from inside the box";
    EXPECT_EQ(recorder.Codes().size(), entries) << "the box's frames are not recorded";
    EXPECT_TRUE(recorder.Ended());
}

TEST(ReplayRecorder, CheckMarkersAreComparedFromTheTenthEntryOnAndPlaybackGoesOn) {
    BoxReporter boxes;
    UpdateRandomSeed(2, 1000);
    // The seed, a check marker at entry 1, seven one-frame runs, check
    // markers at entries 9 and 10 and 11: of the three that differ only the
    // one at entry 10 is compared.
    SaveStream stream;
    ByteWriter& w = stream.Writer();
    w.WriteU8(1);
    w.WriteU32(13);
    w.WriteU8(250), w.WriteU32(1000);
    w.WriteU8(251), w.WriteU32(5);
    for (int i = 0; i < 7; ++i)
        w.WriteU8(1), w.WriteU8(0x10);
    w.WriteU8(251), w.WriteU32(7);  // entry 9: not compared either
    w.WriteU8(251), w.WriteU32(1234);
    w.WriteU8(251), w.WriteU32(1000);
    w.WriteU8(2), w.WriteU8(0x20);
    SaveStream reading(stream.Bytes());
    ReplayRecorder recorder;
    ASSERT_TRUE(recorder.ReadSavePart(reading));
    recorder.BeginPlayback();
    for (int i = 0; i < 7; ++i)
        EXPECT_EQ(recorder.Play(), kConfirm);
    EXPECT_TRUE(boxes.lines.empty());
    Buttons cancel = {0, 0, 0, 0, 0, 1, 0, 0};
    EXPECT_EQ(recorder.Play(), cancel);
    // 乱数シードが違います 保存=1234 現在=1000
    ASSERT_EQ(boxes.lines.size(), 1u);
    EXPECT_EQ(boxes.lines[0], platform::Utf8ToShiftJis("乱数シードが違います 保存=1234 現在=1000"));
    EXPECT_EQ(recorder.Play(), cancel);
    EXPECT_FALSE(recorder.Ended());
}

TEST(ReplayRecorder, DamagedEntriesAreSkippedAndPlaybackNeverReadsPastTheRecord) {
    BoxReporter boxes;
    SaveStream stream;
    ByteWriter& w = stream.Writer();
    w.WriteU8(1);
    w.WriteU32(4);
    w.WriteU8(0), w.WriteU8(0xFF);  // an empty run
    w.WriteU8(255), w.WriteU32(7);  // an unknown marker
    w.WriteU8(1), w.WriteU8(0x81);  // up and the fourth button
    w.WriteU8(252), w.WriteU32(0);
    SaveStream reading(stream.Bytes());
    ReplayRecorder recorder;
    ASSERT_TRUE(recorder.ReadSavePart(reading));
    recorder.BeginPlayback();
    EXPECT_EQ(recorder.Play(), (Buttons{1, 0, 0, 0, 0, 0, 0, 1}));
    EXPECT_EQ(recorder.Play(), kNone);
    EXPECT_TRUE(recorder.Ended());
    EXPECT_EQ(recorder.Position(), 4);
}

TEST(ReplayRecorder, TheSavePartHasTheBytesWorkedOutByHandAndReadsBack) {
    ReplayRecorder recorder = SeededRecorder(0x12345678);
    for (int i = 0; i < 3; ++i)
        recorder.Record(kConfirm);
    recorder.Record({1, 0, 0, 0, 0, 0, 0, 0});  // pending: one frame of up
    SaveStream stream;
    recorder.WriteSavePart(stream);
    const std::vector<uint8_t> expected = {
        0x01,                          // a record follows
        0x03, 0x00, 0x00, 0x00,        // three entries
        0xFA, 0x78, 0x56, 0x34, 0x12,  // the seed marker
        0x03, 0x10,                    // three frames of confirm
        0x01, 0x01,                    // the pending frame of up
    };
    EXPECT_EQ(stream.Bytes(), expected);
    EXPECT_EQ(recorder.Codes().size(), 2u) << "writing changes nothing";

    ReplayRecorder loaded = SeededRecorder(9);
    SaveStream reading(expected);
    ASSERT_TRUE(loaded.ReadSavePart(reading));
    EXPECT_EQ(reading.Position(), expected.size());
    EXPECT_EQ(loaded.Codes(), (std::vector<uint8_t>{250, 3, 1}));
    EXPECT_EQ(loaded.Values(), (std::vector<int32_t>{0x12345678, 0x10, 0x01}));
    uint32_t seed = 0;
    ASSERT_TRUE(loaded.FirstSeed(&seed));
    EXPECT_EQ(seed, 0x12345678u);
}

TEST(ReplayRecorder, AFlagOtherThanOneOrAShortPartLeavesTheRecordAsItWas) {
    ReplayRecorder original = SeededRecorder(42);
    original.Record(kConfirm);
    original.Flush();
    struct Case {
        std::vector<uint8_t> bytes;
        bool result;
    };
    std::vector<Case> cases = {
        {{0x00}, true},
        {{0x07, 0xFF}, true},
        {{}, false},
        {{0x01, 0x02, 0x00}, false},
        {{0x01, 0x02, 0x00, 0x00, 0x00, 0x05, 0x10, 0xFA, 0x01}, false},
        {{0x01, 0xFF, 0xFF, 0xFF, 0xFF, 0x05, 0x10}, false},  // a count the bytes cannot hold
    };
    for (const Case& c : cases) {
        ReplayRecorder recorder = original;
        SaveStream reading(c.bytes);
        EXPECT_EQ(recorder.ReadSavePart(reading), c.result) << c.bytes.size();
        EXPECT_EQ(reading.errorFlag, !c.result);
        EXPECT_EQ(recorder.Codes(), original.Codes());
        EXPECT_EQ(recorder.Values(), original.Values());
    }
}

TEST(ReplayRecorder, TheTitleKeepsARecordBeingPlayedAndSeedsTheRandomSourceFromIt) {
    ReplayRecorder recorder = SeededRecorder(555);
    recorder.Record(kConfirm);
    UpdateRandomSeed(0, 0);
    RestartReplayForTitle(recorder);
    EXPECT_EQ(recorder.Codes().size(), 1u) << "a fresh record outside playback";
    EXPECT_EQ(static_cast<uint32_t>(recorder.Values()[0]), UpdateRandomSeed(1, 0));

    ReplayRecorder played = SeededRecorder(555);
    played.Record(kConfirm);
    played.BeginPlayback();
    UpdateRandomSeed(2, 9);
    RestartReplayForTitle(played);
    EXPECT_EQ(UpdateRandomSeed(1, 0), 555u);
    EXPECT_EQ(played.Play(), kConfirm);
}

}  // namespace
}  // namespace velk::testing
