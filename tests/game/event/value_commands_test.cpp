// The value commands run through the interpreter against the real variable
// store and databases, with fakes for what lies above.
#include "game/event/value_commands.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#include "game/data/data_texts.h"
#include "game/data/input_state.h"
#include "game/data/random_source.h"
#include "game/data/text_format.h"
#include "game/event/game_key_input.h"
#include "game/event/game_value_link.h"
#include "game/event/value_texts.h"
#include "tests/game/event/event_test_support.h"

namespace velk::testing {
namespace {

namespace fs = std::filesystem;

constexpr int32_t kStr = kStringBase;

class FakeKeys final : public KeyInputLink {
public:
    void ReadKeyboard(std::array<uint8_t, 256>& out) override { out = keys; }
    uint32_t PadButtons() override { return pad; }
    bool ButtonHeld(int button) override { return held[static_cast<size_t>(button)]; }
    bool ButtonPressed(int button) override { return pressed[static_cast<size_t>(button)]; }
    bool DirectionHeld(int direction) override { return directions[static_cast<size_t>(direction)]; }
    std::array<uint8_t, 256> keys{};
    std::array<bool, 4> directions{};
    uint32_t pad = 0;
    std::array<bool, 3> held{}, pressed{};
};

class FakeText final : public EventTextLink {
public:
    // "\v" stands for an escape code: it becomes "V".
    std::string ConvertEscapeCodes(const std::string& text, const EventTextOptions&) override {
        std::string out = text;
        for (size_t at; (at = out.find("\\v")) != std::string::npos;) out.replace(at, 2, "V");
        return out;
    }
};

class FakeGameValues final : public GameValueLink {
public:
    std::optional<CharacterValues> Character(const EventInterpreter&, int32_t code) override {
        if (code != 4) return std::nullopt;
        return character;
    }
    std::vector<MapEventPlace> MapEvents() override { return places; }
    CharacterValues character;
    std::vector<MapEventPlace> places;
};

class TextPrompt final : public TextPromptLink {
public:
    int32_t State(int32_t) override { return state; }
    std::string Text(int32_t) override { return text; }
    void Delete(int32_t) override {}
    int32_t Open(int32_t maxLength, bool, const std::string& start) override {
        open = true;
        state = 0;
        lastMax = maxLength;
        startText = start;
        return 9;
    }
    bool PromptOpen() override { return open; }
    void ClosePrompt() override { open = false; }
    int32_t state = 0;
    std::string text, startText;
    int32_t lastMax = 0;
    bool open = false;
};

class ValueCommandsTest : public EventTest {
protected:
    ValueCommandsTest()
        : commands_(store, databases, interpreter.block, {&text_, &prompt_, &keys_, &gameValues_}, true) {
        table.Register(commands_);
        ActiveEventLinks().keyInput = &keys_;
        ActiveEventLinks().textPrompt = &prompt_;
        // Changeable type 0: items 0-1 numbers, item 2 a string, two rows.
        DbTypeData& type = databases.changeable.types.emplace_back();
        type.itemKinds = {1000, 1001, 2000};
        type.rows.assign(2, DbRow{{5, 6}, {"t"}});
        DbTypeDef& def = databases.changeable.typeDefs.emplace_back();
        def.typeName = "Hero";
        def.itemNames = {"hp", "mp", "name"};
        def.itemDefaults = {1, 2, 0};
        def.dataNames = {"a", "b"};
        BuildNameMaps(databases);
    }

    void Run1(std::vector<EventCommand> commands, int32_t commonIndex = -1) {
        commands.push_back(End());
        Start(std::move(commands), commonIndex);
        RunFrames(1);
    }
    std::string Str(int32_t n) { return store.GetString(kStr + n); }
    void SetStr(int32_t n, std::string s) { store.SetString(kStr + n, std::move(s)); }
    int32_t Cell(int32_t data, int32_t item) { return databases.changeable.types[0].rows[data].numbers[item]; }

    FakeKeys keys_;
    FakeText text_;
    FakeGameValues gameValues_;
    TextPrompt prompt_;
    ValueCommands commands_;
};

EventCommand VarOp(int32_t target, int32_t a, int32_t b, int32_t flags, std::vector<int32_t> more = {}) {
    std::vector<int32_t> args = {target, a, b, flags};
    args.insert(args.end(), more.begin(), more.end());
    return Cmd(CommandCode::kVariableOperation, args);
}

constexpr int32_t kConstA = 0x4, kConstB = 0x8, kConsts = 0xC;

TEST_F(ValueCommandsTest, VariableOperationOperatorsClampsAndDivisionByZero) {
    SetVar(1, 10);
    SetVar(2, 10);
    SetVar(3, 3);
    Run1({VarOp(kVariableBase + 0, 7, 0, kConsts | OperationFlags(0, 3)),
          VarOp(kVariableBase + 1, 0, 0, kConsts | OperationFlags(4, 0)),
          VarOp(kVariableBase + 2, 0, 0, kConsts | OperationFlags(5, 0)),
          VarOp(kVariableBase + 4, 2000000000, 1, kConsts | OperationFlags(0, 0)),
          VarOp(kVariableBase + 5, 1234567, 0, kConsts | 0x1 | OperationFlags(0, 0)),
          VarOp(kVariableBase + 6, 7, 2, kConsts | 0x2 | OperationFlags(0, 3)),
          VarOp(kVariableBase + 3, 5, 0, kConsts | OperationFlags(6, 0)),
          VarOp(kVariableBase + 7, -12, 0, kConsts | OperationFlags(8, 0))});
    EXPECT_EQ(Var(0), 7);
    EXPECT_EQ(Var(1), 10);
    EXPECT_EQ(Var(2), 0);
    EXPECT_EQ(Var(4), 2000000000);
    EXPECT_EQ(Var(5), 999999);
    EXPECT_EQ(Var(6), 3);
    EXPECT_EQ(Var(3), 5);
    EXPECT_EQ(Var(7), 12);
}

TEST_F(ValueCommandsTest, RangeTargetsSeeEarlierResults) {
    SetVar(10, 1);
    // Targets 10-13 each become variable 10 + 1, read anew for each target.
    Run1({VarOp(kVariableBase + 10, kVariableBase + 10, 1, kConstB | 0x10000 | OperationFlags(0, 0), {3})});
    EXPECT_EQ(Var(10), 2);
    EXPECT_EQ(Var(11), 3);
    EXPECT_EQ(Var(12), 3);
    EXPECT_EQ(Var(13), 3);
    EXPECT_EQ(Var(14), 0);
}

TEST_F(ValueCommandsTest, IndirectTargetAndOperands) {
    SetVar(1, 5);          // names normal variable 5
    SetVar(2, kVariableBase + 6);
    SetVar(6, 40);
    Run1({VarOp(kVariableBase + 1, kVariableBase + 2, 2, kConstB | 0x10 | 0x20 | OperationFlags(0, 0))});
    EXPECT_EQ(Var(5), 42);
    EXPECT_EQ(Var(1), 5);
}

TEST_F(ValueCommandsTest, StringTargetsAssignAppendAndRefuseNumbers) {
    SetStr(1, "ab");
    SetStr(2, "c\\v");
    Run1({VarOp(kStr + 1, 0, kStr + 2, OperationFlags(1, 0)), VarOp(kStr + 3, 0, kStr + 2, OperationFlags(0, 0)),
          VarOp(kStr + 4, 0, kStr + 2, OperationFlags(1, 1)), VarOp(kStr + 5, 5, kStr + 2, kConstA)});
    EXPECT_EQ(Str(1), "abcV");
    EXPECT_EQ(Str(3), "cV");
    EXPECT_EQ(Str(4), "");
    EXPECT_EQ(Str(5), "");
    ASSERT_EQ(reporter.boxes.size(), 1u);
    EXPECT_EQ(reporter.boxes[0].line1, value_texts::kStringTargetGotNumber);
}

TEST_F(ValueCommandsTest, DatabaseMarkerTargetAndItsRefusals) {
    Run1({VarOp(kChangeableDatabaseBase, 9, 0, kConsts, {0, 1, 1}),
          VarOp(kChangeableDatabaseBase, 9, 0, kConsts, {0, 1, 100})});
    EXPECT_EQ(Cell(1, 1), 9);
    EXPECT_EQ(Cell(1, 0), 5);
    ASSERT_EQ(reporter.boxes.size(), 1u);
    EXPECT_EQ(reporter.boxes[0].line1, value_texts::kDbItemTooLarge);
}

// Each prepared form (fast code, direct form) against the general form on
// the same operands.
TEST_F(ValueCommandsTest, PreparedFormsAgreeWithTheGeneralForm) {
    const int32_t operands[][2] = {{7, 0}, {-7, 2}, {123456, -789}, {0, 0}, {40000, 3}};
    for (int32_t assignment = 0; assignment <= 8; ++assignment) {
        for (int32_t operation = 0; operation <= 5; ++operation) {
            for (const auto& pair : operands) {
                const int32_t flags = OperationFlags(assignment, operation);
                for (int32_t commonIndex : {-1, 0}) {
                    SetVar(1, pair[0]);
                    SetVar(2, pair[1]);
                    SetVar(3, 10);
                    Run1({VarOp(kVariableBase + 3, kVariableBase + 1, kVariableBase + 2, flags)}, commonIndex);
                    SetVar(commonIndex < 0 ? 4 : 5, Var(3));
                }
                EXPECT_EQ(Var(4), Var(5)) << assignment << " " << operation << " " << pair[0] << " " << pair[1];
            }
        }
    }
}

TEST_F(ValueCommandsTest, PreparedFormWritesNoDatabaseTheGeneralFormRefuses) {
    databases.user.types = databases.changeable.types;
    databases.user.typeDefs = databases.changeable.typeDefs;
    Run1({VarOp(kUserDatabaseBase + 101, 3, 0, OperationFlags(0, 0))}, 0);
    EXPECT_EQ(databases.user.types[0].rows[1].numbers[1], 6);
}

TEST_F(ValueCommandsTest, ConditionBranchPicksTheFirstConditionThatHolds) {
    SetVar(1, 13);
    auto branch = [](std::vector<int32_t> conditions) {
        std::vector<int32_t> args = {static_cast<int32_t>(conditions.size() / 3)};
        args.insert(args.end(), conditions.begin(), conditions.end());
        return Cmd(CommandCode::kConditionBranch, args);
    };
    for (int32_t common : {-1, 0}) {
        auto list = std::vector<EventCommand>{
            branch({kVariableBase + 1, 6, 0x16, kVariableBase + 1, 5, 0x16, 5, 5, 0x12}),
            Cmd(CommandCode::kCaseHead, {1}), VarOp(kVariableBase + 20, 1, 0, kConsts, {}),
            Cmd(CommandCode::kCaseHead, {2}), VarOp(kVariableBase + 20, 2, 0, kConsts, {}),
            Cmd(CommandCode::kCaseHead, {3}), VarOp(kVariableBase + 20, 3, 0, kConsts, {}),
            Cmd(CommandCode::kBranchEnd)};
        for (size_t k : {2u, 4u, 6u}) list[k].indent = 1;
        SetVar(20, 0);
        Run1(list, common);
        EXPECT_EQ(Var(20), 2) << common;
    }
}

// A prepared branch whose slots are gone runs its conditions in the general
// form, but its case heads still jump to the branch end: it must enter the
// chosen case by the prepared lines. A condition without its own case head
// chooses no case.
TEST_F(ValueCommandsTest, PreparedBranchesEnterTheirCaseWhateverFormDecides) {
    // Condition 1: common self 0 = 4; condition 2: spare variable 1-0 = 0
    // (its own head is missing).
    const int32_t spare = kVariableBase + 100000;
    SharedCommandList list =
        MakeList({VarOp(kVariableBase + 22, 1, 0, OperationFlags(1, 0)),
                  Cmd(CommandCode::kConditionBranch, {2, kRelativeCommonSelfBase, 4, 0x12, spare, 0, 0x12}),
                  Cmd(CommandCode::kCaseHead, {1}), VarOp(kVariableBase + 20, 1, 0, kConsts, {}),
                  Cmd(CommandCode::kElseHead, {0}), VarOp(kVariableBase + 20, 9, 0, kConsts, {}),
                  Cmd(CommandCode::kBranchEnd), VarOp(kVariableBase + 21, 1, 0, kConsts, {}), End()},
                 0);
    ASSERT_EQ(list->Commands()[1].jumps.size(), 9u);
    auto run = [&](int32_t self) {
        store.SetInt(kCommonSelfBase, self);
        SetVar(20, 0);
        SetVar(21, 0);
        SetVar(22, 0);
        interpreter_.Setup(list, -1, 0);
        RunFrames(1);
    };
    // Condition 2 holds: no case runs, and the list does not start over.
    run(3);
    EXPECT_EQ(Var(20), 0);
    EXPECT_EQ(Var(21), 1);
    EXPECT_EQ(Var(22), 1);
    // Without spare variables the slots no longer bind: the general form
    // decides, and condition 1 still enters its case.
    databases.system.types[15].rows.clear();
    store = VariableStore(&interpreter, &databases);
    ASSERT_EQ(store.ResolveIntPointer(spare, 0), nullptr);
    run(4);
    EXPECT_EQ(Var(20), 1);
    EXPECT_EQ(Var(21), 1);
    EXPECT_EQ(Var(22), 1);
}

TEST_F(ValueCommandsTest, StringConditionBranch) {
    SetStr(1, "hello");
    SetStr(2, "ell");
    const int32_t differ = 1 << 28, contains = 2 << 28, variable = 1 << 24;
    Run1({Cmd(CommandCode::kStringConditionBranch, {3, (kStr + 1) | (3 << 28), (kStr + 1) | differ | variable,
                                                     (kStr + 1) | contains, 0, kStr + 1, 0},
              0, {"hello", "", ""}),
          Cmd(CommandCode::kStringConditionBranch, {2, (kStr + 1) | contains | variable, kStr + 2, kStr + 2, 0}, 1,
              {"", ""})});
    // The first condition's code 3 never holds, the second compares variable 1
    // with itself, the third finds the empty text.
    EXPECT_EQ(interpreter_.branchResult[0], 3);
    EXPECT_EQ(interpreter_.branchResult[1], 1);
}

EventCommand StrOp(int32_t target, int32_t flags, int32_t source = 0, std::vector<std::string> strings = {""}) {
    return Cmd(CommandCode::kStringOperation, {target, flags, source}, 0, std::move(strings));
}

TEST_F(ValueCommandsTest, StringOperationsOnShiftJisText) {
    // ソ is 0x83 0x5C: its trail byte is a backslash.
    const std::string so = "\x83\x5C";
    SetStr(1, "ab\r\ncd\r\nef");
    SetStr(2, so + "x");
    SetStr(3, "aabbab");
    SetStr(4, "a" + so + "\\b");
    SetStr(6, "xyz");
    Run1({StrOp(kStr + 10, 0x300 | 1, kStr + 1), StrOp(kStr + 11, 0x400 | 1, kStr + 2),
          StrOp(kStr + 3, 0x800, 0, {"ab"}), StrOp(kStr + 4, 0x900, 0, {"\\", "/"}), StrOp(kVariableBase + 9, 0, 0, {"12ab"}),
          StrOp(kStr + 6, 0x100, 0, {"\\v"}), StrOp(kStr + 12, 0x200, 0, {"l1\r\nl2"}),
          StrOp(kStr + 13, 0x400 | 1, kStr + 14)});
    EXPECT_EQ(Str(10), "ab");
    EXPECT_EQ(Str(1), "cd\nef");
    EXPECT_EQ(Str(11), so);
    EXPECT_EQ(Str(2), "x");
    EXPECT_EQ(Str(3), "");
    EXPECT_EQ(Str(4), "a" + so + "/b");
    EXPECT_EQ(Var(9), 12);
    EXPECT_EQ(Str(6), "xyzV");
    EXPECT_EQ(Str(12), "l1");
    EXPECT_EQ(Str(13), "");
    EXPECT_EQ(Str(14), "");
}

// Operation 8 (remove) and 9 (replace) with the part taken from string 2,
// so that no escape code is expanded on the way.
constexpr int32_t kRemovePart = 0x800 | 1, kReplacePart = 0x900 | 1;

TEST_F(ValueCommandsTest, RemoveAndReplaceEdges) {
    // ソ is 0x83 0x5C: its trail byte is a backslash.
    const std::string so = "\x83\x5C";
    const std::string nested300 = std::string(299, 'a') + "b";
    const std::string nested70000 = std::string(69999, 'a') + "b";
    const std::string z(1, 'z');
    const struct {
        const char* name;
        int32_t operation;
        std::string text, part, replacement, expected;
    } cases[] = {
        {"a part past 255 bytes joined across a removal", kRemovePart,
         nested300.substr(0, 150) + nested300 + nested300.substr(150), nested300, "", ""},
        {"a part past 65535 bytes joined across a removal", kRemovePart,
         "x" + nested70000.substr(0, 40000) + nested70000 + nested70000.substr(40000) + "y", nested70000, "", "xy"},
        {"a replacement leaves a lead byte before the next", kReplacePart, "aa", "a", "\x83",
         "\x83"
         "a"},
        {"trail bytes are skipped, single ones after them replaced", kReplacePart, "\\\\\\", "\\", "\x83",
         "\x83\\\x83"},
        {"after a zero byte every byte is single", kReplacePart, std::string("\0", 1) + so, "\\", "/",
         std::string("\0", 1) + "\x83/"},
        {"a zero byte after the pair", kReplacePart, so + std::string("\0\\", 2), "\\", "/",
         so + std::string("\0/", 2)},
        {"a longer part is replaced inside characters", kReplacePart, "x" + so + "\\y", "\\\\", "/", "x\x83/y"},
        {"a result of the longest length is kept", kReplacePart, std::string(kMaxStringLength - 2, 'a') + z, z, "yy",
         std::string(kMaxStringLength - 2, 'a') + "yy"},
        {"a result one byte longer is refused", kReplacePart, std::string(kMaxStringLength - 2, 'a') + z, z, "yyy",
         "(refused)"},
        {"a longer part whose result fits", kReplacePart, std::string(kMaxStringLength - 3, 'a') + "zz", "zz", "yyy",
         std::string(kMaxStringLength - 3, 'a') + "yyy"},
        {"a longer part whose result does not", kReplacePart, "zz" + std::string(kMaxStringLength - 2, 'a'), "zz",
         "yyy", "(refused)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        reporter.boxes.clear();
        SetStr(1, c.text);
        SetStr(2, c.part);
        Run1({StrOp(kStr + 1, c.operation, kStr + 2, {"", c.replacement})});
        // A refused result leaves the target as it was.
        const bool refused = c.expected == "(refused)";
        EXPECT_TRUE(Str(1) == (refused ? c.text : c.expected)) << Str(1).size() << " bytes";
        if (refused) {
            ASSERT_EQ(reporter.boxes.size(), 1u);
            EXPECT_EQ(reporter.boxes[0].line1, FormatText(texts::kStringTooLong, static_cast<int>(kMaxStringLength)));
            EXPECT_EQ(reporter.boxes[0].line3, FormatText(texts::kStoreTarget, kStr + 1));
        } else {
            EXPECT_TRUE(reporter.boxes.empty());
        }
    }
}

// The rules as they read, for the test below.
size_t FindComparingEverywhere(const std::string& text, const std::string& part, size_t from) {
    for (size_t at = from; at + part.size() <= text.size(); ++at) {
        if (text.compare(at, part.size(), part) == 0) return at;
    }
    return std::string::npos;
}

// Each occurrence removed, the search beginning again at the start after each.
std::string RemovedAsTheRuleReads(std::string text, const std::string& part) {
    if (part.empty()) return text;
    for (size_t at; (at = FindComparingEverywhere(text, part, 0)) != std::string::npos;)
        text.erase(at, part.size());
    return text;
}

// The search goes on after each replacement; a one-byte part is replaced
// only where the text as it stands then has a single-byte character.
std::string ReplacedAsTheRuleReads(std::string text, const std::string& part, const std::string& replacement) {
    if (part.empty()) return text;
    size_t p = 0;
    for (size_t at; (at = FindComparingEverywhere(text, part, p)) != std::string::npos;) {
        if (part.size() == 1 && GetSjisByteClass(text, static_cast<int>(at)) != 0) {
            p = at + 1;
            continue;
        }
        text = text.substr(0, at) + replacement + text.substr(at + part.size());
        p = at + replacement.size();
    }
    return text;
}

TEST_F(ValueCommandsTest, RemoveReplaceAndContainsAgreeWithTheRulesAsTheyRead) {
    std::mt19937 random(7031);
    auto pick = [&](size_t count) { return std::uniform_int_distribution<size_t>(0, count - 1)(random); };
    // Two-byte characters (leads 0x81, 0x83, 0xE0; trail bytes that are also
    // backslashes or letters), zero bytes, and bytes that are neither.
    const std::string bytes("ab\\\x83\x81\xE0\x40\x7F\xFD\0", 10);
    auto randomText = [&](const std::string& alphabet, size_t most) {
        std::string text(pick(most + 1), '\0');
        for (char& c : text)
            c = alphabet[pick(alphabet.size())];
        return text;
    };
    for (int trial = 0; trial < 4000; ++trial) {
        const std::string alphabet = trial % 2 == 0 ? "ab" : bytes;
        std::string part = randomText(alphabet, 4);
        std::string text = randomText(alphabet, 24);
        if (trial % 3 == 0 && !part.empty()) {
            // Occurrences put inside one another: each removal joins the
            // halves around it into the next.
            text = part;
            for (size_t n = pick(4); n > 0; --n)
                text.insert(pick(text.size() + 1), part);
            text.insert(pick(text.size() + 1), randomText(alphabet, 3));
        }
        const std::string replacement = randomText(bytes, 3);
        SCOPED_TRACE(::testing::PrintToString(text) + " / " + ::testing::PrintToString(part) + " / " +
                     ::testing::PrintToString(replacement));
        SetStr(1, text);
        SetStr(2, part);
        SetStr(3, text);
        SetStr(4, text);
        Run1({StrOp(kStr + 1, kRemovePart, kStr + 2), StrOp(kStr + 3, kReplacePart, kStr + 2, {"", replacement}),
              Cmd(CommandCode::kStringConditionBranch, {1, (kStr + 4) | (2 << 28) | (1 << 24), kStr + 2}, 0, {""})});
        ASSERT_EQ(Str(1), RemovedAsTheRuleReads(text, part));
        ASSERT_EQ(Str(3), ReplacedAsTheRuleReads(text, part, replacement));
        ASSERT_EQ(interpreter_.branchResult[0], FindComparingEverywhere(text, part, 0) != std::string::npos ? 1 : 0);
    }
    EXPECT_TRUE(reporter.boxes.empty());
}

class TempGameFolder {
public:
    TempGameFolder() : path_(fs::temp_directory_path() / ("value_cmd_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + std::to_string(reinterpret_cast<uintptr_t>(this)))) {
        fs::create_directories(path_ / "sub");
        fs::create_directories(path_ / "list" / "Beta");
        std::ofstream(path_ / "list" / "alpha.txt") << "1";
        std::ofstream(path_ / "list" / "Gamma.txt") << "2";
        std::ofstream(path_ / "in.txt", std::ios::binary).write("r\x83\x5C\0tail", 8);
    }
    ~TempGameFolder() { fs::remove_all(path_); }
    const fs::path& Path() const { return path_; }
    std::string Read(const std::string& name) const {
        std::ifstream file(path_ / name, std::ios::binary);
        return {std::istreambuf_iterator<char>(file), {}};
    }

private:
    fs::path path_;
};

TEST_F(ValueCommandsTest, FilesAreWrittenInsideTheGameFolderOnly) {
    TempGameFolder folder;
    InFolder in(folder.Path());
    SetStr(1, "a\nb\r\n");
    SetStr(2, "keep");
    Run1({StrOp(kStr + 1, 0x600, 0, {"out.txt"}), StrOp(kStr + 1, 0x600, 0, {"sub\\o.txt"}),
          StrOp(kStr + 1, 0x600, 0, {"..\\up.txt"}), StrOp(kStr + 1, 0x600, 0, {"C:\\x.txt"}),
          StrOp(kStr + 1, 0x600, 0, {"\\abs.txt"}), StrOp(kStr + 1, 0x600, 0, {""}),
          StrOp(kStr + 1, 0x600, 0, {"none\\o.txt"}), StrOp(kStr + 2, 0x500, 0, {"in.txt"}),
          StrOp(kStr + 3, 0x500, 0, {"missing.txt"}), StrOp(kStr + 4, 0x700, 0, {"list"})});
    EXPECT_EQ(folder.Read("out.txt"), "a\r\nb\r\r\n");
    EXPECT_EQ(folder.Read("sub/o.txt"), "a\r\nb\r\r\n");
    EXPECT_FALSE(fs::exists(folder.Path().parent_path() / "up.txt"));
    EXPECT_FALSE(fs::exists(folder.Path() / "none"));
    EXPECT_EQ(Str(1), "a\nb\r\n");
    EXPECT_EQ(Str(2), "r\x83\x5C");
    EXPECT_EQ(Str(3), value_texts::kNoFile);
    EXPECT_EQ(Str(4), "alpha.txt\nBeta\nGamma.txt");
    ASSERT_EQ(reporter.boxes.size(), 5u);
    EXPECT_EQ(reporter.boxes[0].line1, value_texts::kWriteNameOutside);
    EXPECT_EQ(reporter.boxes[1].line1, value_texts::kWriteNameOutside);
    EXPECT_EQ(reporter.boxes[2].line1, value_texts::kWriteNameOutside);
    EXPECT_EQ(reporter.boxes[3].line1, value_texts::kWriteNameEmpty);
    EXPECT_EQ(reporter.boxes[4].line1, value_texts::kWriteFailed);
    EXPECT_EQ(reporter.boxes[4].line3, "none\\o.txt");
}

TEST_F(ValueCommandsTest, TextPromptWaitsTakesOverTheOldTextAndFinishes) {
    SetStr(1, "old");
    Run1({StrOp(kStr + 1, 0x100 | 3 | 0x2000, 8), StrOp(kStr + 2, 3, 4)});
    EXPECT_EQ(prompt_.startText, "old");
    EXPECT_EQ(interpreter.block.textPromptState, 1);
    EXPECT_EQ(Str(1), "");
    prompt_.state = 1;
    prompt_.text = "a\\b";
    RunFrames(1);
    EXPECT_EQ(Str(1), "olda\\\\b");
    // The second prompt opened once the first one closed.
    EXPECT_TRUE(prompt_.open);
    EXPECT_EQ(prompt_.lastMax, 4);
}

// The typed text is handed over in at most 255 bytes, before its
// backslashes are doubled; a pair that the cut would split is dropped whole.
TEST_F(ValueCommandsTest, TheConfirmedTextIsCutTo255Bytes) {
    const std::string pair = "\x83\x5C";
    struct Case {
        std::string typed, stored;
    };
    const Case cases[] = {
        {std::string(300, 'x'), std::string(255, 'x')},
        {std::string(253, 'x') + pair + "yz", std::string(253, 'x') + pair},
        {std::string(254, 'x') + pair, std::string(254, 'x')},
        {std::string(300, '\\'), std::string(510, '\\')},
    };
    for (const Case& c : cases) {
        SetStr(1, "");
        prompt_.open = false;
        Run1({StrOp(kStr + 1, 0x100 | 3, 400)});
        prompt_.state = 1;
        prompt_.text = c.typed;
        RunFrames(1);
        EXPECT_EQ(Str(1), c.stored) << c.typed.size();
    }
}

// Every file write is done when its command runs, however many a frame
// holds, and a prompt after them opens in the same frame.
TEST_F(ValueCommandsTest, WritesAreDoneAtOnceAndAPromptAfterThemOpensInTheSameFrame) {
    TempGameFolder folder;
    InFolder in(folder.Path());
    SetStr(1, "x");
    std::vector<EventCommand> commands;
    for (int i = 1; i <= 12; ++i)
        commands.push_back(StrOp(kStr + 1, 0x600, 0, {"out" + std::to_string(i) + ".txt"}));
    commands.push_back(StrOp(kStr + 1, 0x600 | 3, 8));
    Run1(std::move(commands));
    for (int i = 1; i <= 12; ++i)
        EXPECT_EQ(folder.Read("out" + std::to_string(i) + ".txt"), "x") << i;
    EXPECT_TRUE(prompt_.open);
    EXPECT_EQ(prompt_.lastMax, 8);
}

TEST_F(ValueCommandsTest, PromptStartTextIsNotCutInsideACharacter) {
    SetStr(1, "a\x83\x5C");
    Run1({StrOp(kStr + 1, 3 | 0x2000, 2)});
    EXPECT_EQ(prompt_.startText, "a");
}

EventCommand DbOp(int32_t type, int32_t data, int32_t item, int32_t flags, int32_t operand,
                  std::vector<std::string> strings = {}) {
    return Cmd(CommandCode::kDatabaseOperation, {type, data, item, flags, operand}, 0, std::move(strings));
}

constexpr int32_t kRead = 0x1000;

TEST_F(ValueCommandsTest, DatabaseWritesReadsAndCounts) {
    SetVar(1, 0);
    SetVar(2, 100);
    SetStr(1, "s");
    Run1({DbOp(0, 1, 0, 0x10, 4), DbOp(0, 0, 1, 0x40, 0), DbOp(0, 0, 0, 0x50, 0), DbOp(0, 1, 2, 0x12, 0, {"+\\v"}),
          DbOp(0, 1, 1, kRead, kVariableBase + 1), DbOp(0, -1, 0, kRead | 0x10, kVariableBase + 2),
          DbOp(0, -1, -1, kRead, kVariableBase + 3), DbOp(0, 1, 2, kRead | 0x10, kStr + 1),
          DbOp(0, 0, 0, 0x3 << 4 | kRead, kVariableBase + 2)});
    EXPECT_EQ(Cell(1, 0), 9);
    EXPECT_EQ(Cell(0, 1), 6);
    EXPECT_EQ(Cell(0, 0), 0);
    EXPECT_EQ(databases.changeable.types[0].rows[1].strings[0], "t+V");
    EXPECT_EQ(Var(1), 6);
    EXPECT_EQ(Var(2), 0);
    EXPECT_EQ(Var(3), 3);
    EXPECT_EQ(Str(1), "st+V");
    EXPECT_TRUE(reporter.boxes.empty());
}

TEST_F(ValueCommandsTest, DatabaseNamesResetsAndErrorBoxes) {
    databases.changeable.types[0].rows[0].numbers = {50, 60};
    databases.changeable.types[0].rows[1].numbers = {70, 80};
    Run1({DbOp(0, 0, 0, 0x70000, 77, {"", "Hero", "b", "mp"}), DbOp(0, -2, 0, 0, 0),
          DbOp(0, 0, 0, 0x10000, 1, {"", "Nobody", "", ""}), DbOp(0, 0, 0, 0x20000, 1, {"", "", "zz", ""}),
          DbOp(-1, -1, 0, 0, 1), DbOp(0, 0, 0, 0, kStr + 1), DbOp(0, 0, 2, 0, kVariableBase + 1),
          DbOp(0, 0, 0, 2, 0, {"x"}), DbOp(0, 0, 0, 0x300, 1), DbOp(0, 10000, 0, 0, 1),
          DbOp(0, 0, 2, kRead, kVariableBase + 1), DbOp(0, 0, 0, kRead, kStr + 1)});
    EXPECT_EQ(Cell(0, 0), 1);
    EXPECT_EQ(Cell(1, 1), 2);
    std::vector<std::string> first;
    for (const ReportedBox& box : reporter.boxes) first.push_back(box.line1);
    const std::vector<std::string> expected = {value_texts::kDbNoTypeName,
                                               FormatText(value_texts::kDbNoDataName, 0),
                                               value_texts::kDbTypeNegative,
                                               value_texts::kDbDataNegative,
                                               value_texts::kDbWriteError1,
                                               value_texts::kDbWriteError2,
                                               value_texts::kDbWriteError5,
                                               value_texts::kDbNoSuchDatabase,
                                               value_texts::kDbDataTooLarge,
                                               value_texts::kDbReadError7,
                                               value_texts::kDbReadError6};
    EXPECT_EQ(first, expected);
    EXPECT_EQ(reporter.boxes[0].line2, "Nobody");
    EXPECT_EQ(reporter.boxes[5].line3, FormatIntText(kChangeableDatabaseBase + 2));
}

TEST_F(ValueCommandsTest, DatabaseIndirectOperandsItemNamesAndRangeBoxes) {
    databases.changeable.types[0].rows[1].numbers = {70, 80};
    SetVar(1, kStr + 1);
    SetVar(2, kVariableBase + 3);
    SetVar(3, 31);
    SetStr(1, "s");
    Run1({DbOp(0, 0, 0, 1, kVariableBase + 1), DbOp(0, 0, 2, 1, kVariableBase + 2), DbOp(0, 0, 1, 1, kVariableBase + 2),
          DbOp(0, 0, 2, 1, kVariableBase + 1), DbOp(0, 0, 0, 0x40000, 1, {"", "", "", "zz"}), DbOp(0, 0, -1, 0, 1),
          DbOp(100, 0, 0, 0, 1), DbOp(0, 0, 100, 0, 1), DbOp(0, 1, -2, 0, 0)});
    EXPECT_EQ(Cell(0, 1), 31);
    EXPECT_EQ(databases.changeable.types[0].rows[0].strings[0], "s");
    // The row given its defaults again.
    EXPECT_EQ(Cell(1, 0), 1);
    EXPECT_EQ(Cell(1, 1), 2);
    std::vector<std::string> first;
    for (const ReportedBox& box : reporter.boxes) first.push_back(box.line1);
    const std::vector<std::string> expected = {value_texts::kDbWriteError35, value_texts::kDbWriteError4,
                                               FormatText(value_texts::kDbNoItemName, 0, 0),
                                               value_texts::kDbItemNegative, value_texts::kDbTypeTooLarge,
                                               value_texts::kDbItemTooLarge};
    EXPECT_EQ(first, expected);
    EXPECT_EQ(reporter.boxes[0].line2, FormatText(value_texts::kDbStoreTarget, kChangeableDatabaseBase));
    EXPECT_EQ(reporter.boxes[2].line2, "zz");
}

TEST_F(ValueCommandsTest, OrdinaryPlayRefusesWritesWithoutABox) {
    ValueCommands ordinary(store, databases, interpreter.block, {&text_, &prompt_, &keys_, &gameValues_}, false);
    table.Register(ordinary);
    TempGameFolder folder;
    InFolder in(folder.Path());
    SetStr(1, "x");
    Run1({StrOp(kStr + 1, 0x600, 0, {"..\\up.txt"}), StrOp(kStr + 1, 0x600, 0, {""}),
          DbOp(0, 10000, 0, 0, 1), StrOp(kStr + 1, 0x600, 0, {"none\\o.txt"})});
    ASSERT_EQ(reporter.boxes.size(), 1u);
    EXPECT_EQ(reporter.boxes[0].line1, value_texts::kWriteFailed);
}

TEST_F(ValueCommandsTest, KeyInputByClassAndDirection) {
    keys_.held[0] = true;
    keys_.directions = {true, true, true, true};
    Run1({Cmd(CommandCode::kKeyInput, {kVariableBase + 1, 0x70}), Cmd(CommandCode::kKeyInput, {kVariableBase + 2, 0x47}),
          Cmd(CommandCode::kKeyInput, {kVariableBase + 3, 0x08}), Cmd(CommandCode::kKeyInput, {kVariableBase + 4, 0x04})});
    EXPECT_EQ(Var(1), 10);
    EXPECT_EQ(Var(2), 8);
    EXPECT_EQ(Var(3), 6);
    EXPECT_EQ(Var(4), 2);
}

TEST_F(ValueCommandsTest, PreparedDatabaseFormMatchesTheOrdinaryForm) {
    for (int32_t common : {-1, 0}) {
        databases.changeable.types[0].rows.assign(2, DbRow{{5, 6}, {"t"}});
        SetVar(1, 0);
        SetVar(2, 0);
        Run1({DbOp(0, 1, 0, 0x40, kVariableBase + 1), DbOp(0, 0, 1, 0x50, kVariableBase + 1),
              DbOp(0, 3, 1, 0, 44), DbOp(0, 1, 1, kRead | 0x10, kVariableBase + 2)},
             common);
        EXPECT_EQ(Cell(1, 0), 5) << common;
        EXPECT_EQ(Cell(0, 1), 0) << common;
        EXPECT_EQ(Cell(3, 1), 44) << common;
        EXPECT_EQ(Var(2), 6) << common;
    }
}

TEST(KeyCapture, HeldKeyWaitsForReleaseOverFrames) {
    std::array<uint8_t, 256> keys{};
    int32_t state = 0;
    keys[30] = 1;
    EXPECT_EQ(CaptureKeyboardKey(true, false, state, -1, keys), 0 + 130);
    EXPECT_EQ(state, 30);
    EXPECT_EQ(CaptureKeyboardKey(false, true, state, -1, keys), 0);
    EXPECT_EQ(CaptureKeyboardKey(false, true, state, -1, keys), 0);
    keys[30] = 0;
    EXPECT_EQ(CaptureKeyboardKey(false, true, state, -1, keys), 0);
    keys[30] = 1;
    EXPECT_EQ(CaptureKeyboardKey(false, true, state, -1, keys), 130);
    EXPECT_EQ(CaptureKeyboardKey(false, false, state, -1, keys), 130);
    EXPECT_EQ(CaptureKeyboardKey(false, false, state, 130, keys), 130);
    keys[30] = 0;
    for (int skipped : {1, 14, 28, 42, 54, 57, 58}) {
        keys[static_cast<size_t>(skipped)] = 1;
        EXPECT_EQ(CaptureKeyboardKey(false, false, state, -1, keys), 0) << skipped;
        keys[static_cast<size_t>(skipped)] = 0;
    }
    keys[157] = 1;
    state = 44;
    EXPECT_EQ(CaptureKeyboardKey(false, true, state, -1, keys), 157);
    EXPECT_EQ(state, 44);
}

TEST(KeyCapture, PadButtons) {
    int32_t state = 0;
    EXPECT_EQ(CapturePadButton(false, false, state, -1, 1u << 4), 301);
    EXPECT_EQ(CapturePadButton(false, false, state, -1, 1u << 18), 315);
    EXPECT_EQ(CapturePadButton(false, false, state, 305, 1u << 4), 0);
    EXPECT_EQ(CapturePadButton(false, false, state, 305, 1u << 8), 305);
    EXPECT_EQ(CapturePadButton(true, false, state, -1, 1u << 5), 302);
    EXPECT_EQ(CapturePadButton(false, true, state, -1, 1u << 5), 0);
    EXPECT_EQ(CapturePadButton(false, true, state, -1, 0), 0);
    EXPECT_EQ(CapturePadButton(false, true, state, -1, 1u << 5), 302);
}

TEST(KeyCapture, KeyNames) {
    EXPECT_EQ(GetKeyCodeName(2), "1");
    EXPECT_EQ(GetKeyCodeName(10), "9");
    EXPECT_EQ(GetKeyCodeName(30), "A");
    EXPECT_EQ(GetKeyCodeName(200), value_texts::kKeyUp);
    EXPECT_EQ(GetKeyCodeName(13), "");
    EXPECT_EQ(GetKeyCodeName(40), "");
}

TEST_F(ValueCommandsTest, KeyInputWaitsForAKeyPressedAfterTheWaitBegan) {
    keys_.keys[30] = 1;
    Run1({Cmd(CommandCode::kKeyInput, {kVariableBase + 1, 0x80 | 0x100}), VarOp(kVariableBase + 2, 1, 0, kConsts)});
    RunFrames(2);
    EXPECT_EQ(Var(1), 0);
    EXPECT_EQ(Var(2), 0);
    keys_.keys[30] = 0;
    RunFrames(1);
    keys_.keys[31] = 1;
    RunFrames(1);
    EXPECT_EQ(Var(1), 131);
    RunFrames(1);
    EXPECT_EQ(Var(2), 1);
}

TEST_F(ValueCommandsTest, KeyInputWithoutWaitStoresWhatIsHeld) {
    SetVar(1, 5);
    keys_.held[1] = true;
    Run1({Cmd(CommandCode::kKeyInput, {kVariableBase + 1, 0x10}), Cmd(CommandCode::kKeyInput, {kVariableBase + 2, 0x30})});
    EXPECT_EQ(Var(1), 0);
    EXPECT_EQ(Var(2), 11);
}

EventCommand GameValue(int32_t target, int32_t flags, int32_t a, int32_t b) {
    return Cmd(CommandCode::kAssignGameValue, {target, flags, a, b});
}

TEST_F(ValueCommandsTest, GameValues) {
    gameValues_.character.halfTileX = 5;
    gameValues_.character.halfTileY = 7;
    gameValues_.character.isMapEvent = true;
    gameValues_.character.page = 1;
    gameValues_.character.pageOptions = {9, 8};
    gameValues_.places = {{3, 4, 6, 0, 0, false}, {2, 5, 7, 0, 0, false}};
    SetVar(9, 10);
    owners.map.width = 0;
    Run1({GameValue(kVariableBase + 1, 0x1000, 4, 0), GameValue(kVariableBase + 2, 0x1000, 4, 3),
          GameValue(kVariableBase + 3, 0x1000, 4, 8), GameValue(kVariableBase + 4, 0x1000, 4, 14),
          GameValue(kVariableBase + 5, 0x1000, 4, 12), GameValue(kVariableBase + 9, 0x1100, 99, 0),
          GameValue(kVariableBase + 6, 0x12000, 2, 3), GameValue(kVariableBase + 7, 0x3000, 13, 0),
          GameValue(kVariableBase + 8, 0x3000, 14, 0)});
    EXPECT_EQ(Var(1), 2);
    EXPECT_EQ(Var(2), 7);
    EXPECT_EQ(Var(3), 9);
    EXPECT_EQ(Var(4), 0);
    EXPECT_EQ(Var(5), 2);
    EXPECT_EQ(Var(9), 9);
    EXPECT_EQ(Var(6), 3);
    EXPECT_EQ(Var(7), -1);
    EXPECT_EQ(Var(8), 7);
}

TEST_F(ValueCommandsTest, EventUnderTheMouse) {
    owners.map.width = 20;
    owners.map.height = 15;
    owners.input.mouseX = 40;
    owners.input.mouseY = 20;
    gameValues_.places = {{6, 0, 0, 32 * 4, 0, false}, {5, 0, 0, 16 * 4, 0, false}, {4, 0, 0, 200 * 4, 0, false}};
    Run1({GameValue(kVariableBase + 1, 0x3000, 13, 0)});
    EXPECT_EQ(Var(1), 5);
}

}  // namespace
}  // namespace velk::testing

namespace velk::testing {
namespace {

TEST(GameKeyInput, MouseButtonsAreNewOnlyInTheFrameOfThePress) {
    InputState input;
    GameKeyInput keys(input);
    KeyConfig config;
    InputContext context;
    context.keyConfig = &config;
    InputDeviceFrame frame;
    frame.mouseButtons = 1;
    input.Update(frame, context);
    EXPECT_EQ(keys.MouseButton(0), 2);
    EXPECT_EQ(keys.MouseButton(1), 0);
    input.Update(frame, context);
    EXPECT_EQ(keys.MouseButton(0), 1);
    frame.mouseButtons = 0;
    input.Update(frame, context);
    EXPECT_EQ(keys.MouseButton(0), 0);
    EXPECT_EQ(keys.MouseButton(7), 0);
    EXPECT_FALSE(keys.ButtonHeld(5));
}

}  // namespace
}  // namespace velk::testing
