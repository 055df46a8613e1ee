#include "game/event/main_event_interpreter.h"

#include <fstream>
#include <iterator>

#include <gtest/gtest.h>

#include "game/data/save_stream.h"
#include "tests/game/event/event_test_support.h"
#include "tests/support/source_dir.h"

namespace velk {
namespace {

using testing::Cmd;
using testing::End;
using testing::OperationFlags;

constexpr int32_t V = kVariableBase;

class MainInterpreterTest : public testing::EventTest {
protected:
    MainInterpreterTest() {
        table.Register(CommandCode::kVariableOperation, 5, 0, [](EventInterpreter& in, const EventCommand& c) {
            in.SetIntVariable(c.arguments[1], in.GetValue(c.arguments[1]) + in.GetValue(c.arguments[2]));
            return CommandResult::kNext;
        });
        // Ends the frame; the next command runs in the next frame.
        table.Register(CommandCode::kWait, 1, 0, [](EventInterpreter& in, const EventCommand&) {
            ++in.line;
            return CommandResult::kStopFrame;
        });
    }

    // An event that counts its runs in variable n and takes one frame.
    SharedCommandList Counting(int32_t n) {
        return MakeList({Cmd(CommandCode::kVariableOperation, {V + n, 1, 0, OperationFlags(1, 0)}),
                         Cmd(CommandCode::kWait), End()});
    }
};

TEST_F(MainInterpreterTest, ReservedCommonEventsComeFirstThenMapEventsThenAutoStartCommonEvents) {
    commons.events = {{0, 0x21, V + 0, 1, Counting(10)}, {1, 0x00, V, 0, Counting(11)}};
    map.events[4] = {true, false, Counting(14)};
    map.events[6] = {false, true, Counting(16)};
    system.reserved = 1;
    MainEventInterpreter main(32);
    ASSERT_EQ(main.autoStartCommons.size(), 1u);
    SetVar(0, 1);

    auto frame = [&](int32_t expected10, int32_t expected11, int32_t expected14, int32_t expected16) {
        main.Run();
        EXPECT_EQ(Var(10), expected10);
        EXPECT_EQ(Var(11), expected11);
        EXPECT_EQ(Var(14), expected14);
        EXPECT_EQ(Var(16), expected16);
    };
    frame(0, 1, 0, 0);
    EXPECT_EQ(system.reserved, -1);
    map.events[6].startRequested = true;
    frame(0, 1, 1, 0);  // requested before the auto-start event in list order
    EXPECT_EQ(main.eventId, 4);
    frame(0, 1, 1, 1);
    EXPECT_EQ(map.restoredFacing, std::vector<int32_t>{4});
    frame(0, 1, 1, 2);  // an auto-start event keeps its request
    map.events[6].startRequested = false;
    frame(1, 1, 1, 2);
    EXPECT_EQ(main.commonId, 0);
    SetVar(0, 2);  // the condition no longer holds
    frame(1, 1, 1, 2);
    EXPECT_FALSE(main.HasCommandList());
    EXPECT_GT(map.refreshes, 0);
}

TEST_F(MainInterpreterTest, EventsStartedOneAfterAnotherInAFrameShareItsLimit) {
    // While variable 1 is below 400000 an auto-start event adds 1 to it and
    // ends, so it starts again at once: a turn and a command a run.
    commons.events = {{0, 0x41, V + 1, 400000,
                       MakeList({Cmd(CommandCode::kVariableOperation, {V + 1, 1, 0, OperationFlags(1, 0)}), End()})}};
    MainEventInterpreter main(32);
    main.Run();
    EXPECT_EQ(Var(1), EventInterpreter::kCommandsPerFrame / 2);
    EXPECT_EQ(reporter.boxes.size(), 1u);
}

TEST_F(MainInterpreterTest, AReservationBeyondTheCommonEventsStartsNothing) {
    system.reserved = 99;
    MainEventInterpreter main(32);
    main.Run();
    EXPECT_FALSE(main.HasCommandList());
    EXPECT_EQ(system.reserved, -1);
}

TEST_F(MainInterpreterTest, LayoutNumbersFollowTheChipSize) {
    for (auto [chip, expected] :
         {std::pair{16, std::array{12, 160, 68, 75, 200}}, {32, std::array{22, 320, 137, 150, 400}}}) {
        MainEventInterpreter main(chip);
        const SystemVariableBlock& v = main.systemVariables;
        EXPECT_EQ((std::array<int, 5>{v.sysVar8, v.sysVar5, v.sysVar6, v.sysVar40, v.sysVar41}), expected) << chip;
    }
}

class MainSaveTest : public MainInterpreterTest {
protected:
    // Every saved field away from its default.
    static void Fill(MainEventInterpreter& main) {
        main.gameFlag0 = 1;
        main.gameFlag1 = 2;
        main.savedInt0 = 3;
        main.currentBgm = 4;
        main.currentBgs = 5;
        main.floatValue = 0.25f;
        main.sysVar33 = 6;
        main.tone.current = {1, -2, 3};
        main.tone.target = {4, 5, -6};
        main.tone.start = {7, 8, 9};
        main.tone.remaining = 10;
        main.tone.total = 11;
        main.flash = {{12, 13, 14}, 15, 16};
        main.savedFlag0 = 17;
        main.savedInt1 = 18;
        main.transitionGraphic = 19;
        main.transitionFrames = 20;
        main.transitionWait = 1;
        main.nameList = {"ab", "", std::string(600, 'n')};
        main.savedInt6 = 21;
        main.savedInt7 = 22;
        main.keyConfig.keyboard[0] = 23;
        main.keyConfig.padMask[1] = 24;
        main.savedText0 = "zero";
        main.savedText1 = std::string(2000, 't');
        main.savedText2 = "two";
        main.savedText3 = "three";
        main.savedText4 = "four";
        main.savedText5 = "five";
        main.savedInt8 = 25;
        main.savedInt13 = 26;
        main.savedFlag2 = 0;
        main.savedFlag3 = 0;
        SystemVariableBlock& v = main.systemVariables;
        v.sysVar0 = 100;
        v.sysVar19 = 101;
        v.sysVar7 = 102;
        v.sysVar29 = 103;
        v.sysVar8 = 104;
        v.sysVar65 = 105;
        v.sysVar36 = -106;
        v.sysVar16 = 107;
        v.sysVar41 = 108;
        v.sysVar10 = 109;
        v.sysVar14 = 200;
        v.sysVar21 = 110;
        v.sysVar73 = 111;
        v.slotValues = {1, 2, 3, 4, 5};
        v.sysVar60 = 112;
        v.sysVar37 = 113;
        v.sysVar28 = 114;
        v.sysVar102 = 115;
    }
    static std::vector<uint8_t> Written(const MainEventInterpreter& main) {
        SaveStream stream;
        main.WriteSave(stream, 100, 100);
        return stream.Bytes();
    }
};

TEST_F(MainSaveTest, RoundTripsAtTheCurrentVersion) {
    MainEventInterpreter saved(32);
    Fill(saved);
    const std::vector<uint8_t> bytes = Written(saved);
    // Worked by hand: sysVar14 closes the part shared by every version at
    // byte 161, savedInt1 follows it.
    EXPECT_EQ(bytes[161], 200);
    EXPECT_EQ(bytes[162], 18);
    SaveStream stream(bytes);
    MainEventInterpreter loaded(16);
    ASSERT_TRUE(loaded.ReadSave(stream));
    EXPECT_EQ(stream.Position(), bytes.size());
    EXPECT_EQ(Written(loaded), bytes);
    EXPECT_EQ(loaded.savedText1.size(), 1023u);  // stored cut to the part's limit
    EXPECT_EQ(loaded.nameList[2].size(), 512u);
    EXPECT_EQ(loaded.floatValue, 0.25f);
    EXPECT_EQ(loaded.systemVariables.sysVar36, -106);
}

TEST_F(MainSaveTest, MoreSlotValuesThanFiveAreKeptForTheNextSave) {
    MainEventInterpreter saved(32);
    Fill(saved);
    saved.systemVariables.slotValues = {1, 2, 3, 4, 5, 6, 7};
    const std::vector<uint8_t> bytes = Written(saved);
    SaveStream stream(bytes);
    MainEventInterpreter loaded(32);
    ASSERT_TRUE(loaded.ReadSave(stream));
    EXPECT_EQ(loaded.systemVariables.slotValues, (std::vector<int32_t>{1, 2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(Written(loaded), bytes);
    // Fewer stored values leave the rest as they were.
    saved.systemVariables.slotValues = {8, 9};
    SaveStream shorter(Written(saved));
    MainEventInterpreter fresh(32);
    ASSERT_TRUE(fresh.ReadSave(shorter));
    EXPECT_EQ(fresh.systemVariables.slotValues, (std::vector<int32_t>{8, 9, -1, -1, -1}));
}

TEST_F(MainSaveTest, DefaultsWriteTheBytesWorkedOutByHand) {
    // The fuzz seed holds a fresh interpreter's part (32-pixel chips, one
    // name "abc", savedText1 "x") after two bytes of its own.
    std::ifstream in(testing::SourceDir() / "fuzz/corpus/event_records/main_interpreter_v111.bin", std::ios::binary);
    std::vector<uint8_t> seed((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_GT(seed.size(), 2u);
    MainEventInterpreter main(32);
    main.nameList = {"abc"};
    main.savedText1 = "x";
    SaveStream stream;
    main.WriteSave(stream, 20, 20);
    EXPECT_EQ(stream.Bytes(), std::vector<uint8_t>(seed.begin() + 2, seed.end()));
}

TEST_F(MainSaveTest, OlderVersionsKeepTheDefaultsOfLaterFields) {
    MainEventInterpreter saved(32);
    Fill(saved);
    const std::vector<uint8_t> bytes = Written(saved);
    // Version 97 ends with savedInt1; version 96 has one more value before it.
    std::vector<uint8_t> v97(bytes.begin(), bytes.begin() + 166);
    std::vector<uint8_t> v96(bytes.begin(), bytes.begin() + 162);
    v96.insert(v96.end(), {0xEE, 0xEE, 0xEE, 0xEE});
    v96.insert(v96.end(), bytes.begin() + 162, bytes.begin() + 166);
    for (auto [version, part] : {std::pair<uint16_t, std::vector<uint8_t>>{97, v97}, {96, v96}}) {
        SaveStream stream(part);
        stream.version = version;
        MainEventInterpreter loaded(32);
        ASSERT_TRUE(loaded.ReadSave(stream)) << version;
        EXPECT_EQ(stream.Position(), part.size());
        EXPECT_EQ(loaded.savedInt1, 18);
        EXPECT_EQ(loaded.systemVariables.sysVar14, 200);
        EXPECT_EQ(loaded.systemVariables.sysVar21, 0);
        EXPECT_EQ(loaded.transitionFrames, 20);
        EXPECT_EQ(loaded.keyConfig.keyboard[0], 144);
        EXPECT_EQ(loaded.savedFlag3, 1);
    }
    // Version 106 ends with the three base volumes, 105 before them; the 54
    // bytes of texts and values after them came later.
    for (uint16_t version : {105, 106}) {
        std::vector<uint8_t> part(bytes.begin(), bytes.end() - 54 - (version < 106 ? 12 : 0));
        SaveStream stream(part);
        stream.version = version;
        MainEventInterpreter loaded(32);
        ASSERT_TRUE(loaded.ReadSave(stream)) << version;
        EXPECT_EQ(stream.Position(), part.size()) << version;
        EXPECT_EQ(loaded.systemVariables.sysVar28, 114) << version;
        EXPECT_EQ(loaded.systemVariables.sysVar102, version < 106 ? 100 : 115) << version;
    }
}

TEST_F(MainSaveTest, EveryCutOfThePartIsRefused) {
    MainEventInterpreter saved(32);
    Fill(saved);
    const std::vector<uint8_t> bytes = Written(saved);
    for (size_t size = 0; size < bytes.size(); ++size) {
        SaveStream stream(std::vector<uint8_t>(bytes.begin(), bytes.begin() + size));
        MainEventInterpreter loaded(32);
        EXPECT_FALSE(loaded.ReadSave(stream)) << size;
        EXPECT_TRUE(stream.errorFlag);
    }
    // A name count the stream cannot hold is refused before anything grows.
    std::vector<uint8_t> huge(bytes.begin(), bytes.begin() + 166 + 17);
    huge.insert(huge.end(), {0xFF, 0xFF, 0xFF, 0x7F});
    SaveStream stream(huge);
    MainEventInterpreter loaded(32);
    EXPECT_FALSE(loaded.ReadSave(stream));
    EXPECT_TRUE(loaded.nameList.empty());
}

TEST_F(MainSaveTest, MusicAmongTheSpareRowsIsSavedAsMinusThree) {
    MainEventInterpreter main(32);
    for (auto [number, rows, stored] : {std::tuple{14, 25, 14}, {15, 25, -3}, {-1, 25, -1}}) {
        main.currentBgm = number;
        SaveStream stream;
        main.WriteSave(stream, rows, 100);
        const auto& b = stream.Bytes();
        EXPECT_EQ(static_cast<int32_t>(b[10] | b[11] << 8 | b[12] << 16 | static_cast<uint32_t>(b[13]) << 24), stored);
    }
}

TEST_F(MainInterpreterTest, IsTheStoresSourceOfSystemVariables) {
    MainEventInterpreter main(32);
    VariableStore mainStore(&main, &databases);
    mainStore.SetInt(kSystemVariableBase + 14, 255);
    // Held in eight bits and read sign-extended, as every 8-bit value.
    EXPECT_EQ(main.systemVariables.sysVar14, 255);
    EXPECT_EQ(mainStore.GetInt(kSystemVariableBase + 14), -1);
    mainStore.SetInt(kSystemVariableBase + 14, 0x101);
    EXPECT_EQ(mainStore.GetInt(kSystemVariableBase + 14), 1);
}

}  // namespace
}  // namespace velk
