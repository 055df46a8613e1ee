#include "game/present/escape_codes.h"

#include <random>

#include <gtest/gtest.h>

#include "game/data/databases.h"
#include "game/data/random_source.h"
#include "game/data/variable_store.h"
#include "game/present/present_texts.h"
#include "game/present/text_code.h"
#include "tests/game/data/data_test_support.h"
#include "tests/game/data/store_fakes.h"
#include "tests/game/present/escape_codes_reference.h"

namespace velk {
namespace {

using testing::Sjis;

std::string Bytes(std::initializer_list<int> bytes) {
    std::string out;
    for (int b : bytes)
        out += static_cast<char>(b);
    return out;
}

void AddType(Database& database, int32_t rows) {
    DbTypeData& type = database.types.emplace_back();
    type.itemKinds = {1000, 2000};
    type.rows.assign(static_cast<size_t>(rows), DbRow{{0}, {""}});
    DbTypeDef& definition = database.typeDefs.emplace_back();
    definition.itemNames = {"number", "text"};
    definition.itemDefaults = {0, 0};
}

class EscapeCodesTest : public ::testing::Test {
protected:
    EscapeCodesTest() {
        // Type 14 sizes the normal variables, type 16 spare group 2.
        for (int32_t type = 0; type < 25; ++type)
            AddType(databases_.system, type == 14 ? 100 : type == 16 ? 10 : 2);
        for (int32_t type = 0; type < 3; ++type)
            AddType(databases_.changeable, 3);
        AddType(databases_.user, 2);
        databases_.user.SetInt(0, 1, 0, 77);
        databases_.user.SetString(0, 1, 1, "user text");
        databases_.system.SetString(2, 1, 1, "system text");
        owners_.events.count = 3;
        owners_.map.mapId = 1;
        store_ = VariableStore(&interpreter_, &databases_);
    }

    std::string Convert(const std::string& text, EscapeCodeOptions options = {}) {
        return ConvertEscapeCodes(store_, text, options);
    }
    std::string Values(const std::string& text) {
        EscapeCodeOptions options;
        options.valuesOnly = true;
        return Convert(text, options);
    }
    std::vector<std::string> FirstLines() const {
        std::vector<std::string> lines;
        for (const auto& box : reporter_.boxes)
            lines.push_back(box.line1);
        return lines;
    }

    testing::RecordingReporter reporter_;
    testing::FakeOwners owners_;
    testing::FakeInterpreter interpreter_;
    DatabaseSet databases_;
    VariableStore store_{nullptr, &databases_};
};

TEST_F(EscapeCodesTest, ValueCodesReadTheStoreByTheirIds) {
    store_.SetInt(2000005, -3);
    store_.SetInt(2200007, 12);
    store_.SetString(3000004, "str");
    store_.SetInt(15000000 + 2 * 100 + 3, 33);
    store_.SetString(15000000 + 2 * 100 + 6, "common text");
    store_.SetMapOverride(9);
    store_.SetInt(1000000 + 4 * 10 + 3, 43);
    EscapeCodeOptions options;
    options.valuesOnly = true;
    options.mapEventId = 4;
    options.commonEventId = 2;
    options.mapId = 9;
    const struct {
        const char* text;
        const char* expected;
    } cases[] = {
        {"a\\v[5]b", "a-3b"},
        {"\\v2[7]", "12"},
        {"\\v[ 5]|\\v[+5x]", "-3|-3"},  // read as atoi reads
        {"\\self[3]", "43"},
        {"\\cself[3]/\\cself[6]", "33/common text"},
        {"\\udb[0:1:1]\\udb[0:1:0]", "user text77"},
        {"\\sdb[2:1:1]", "system text"},
        {"<\\s[4]>", "<str>"},
        {"\\v[\\v[5]]", "0]"},  // the inner code goes first only by position: the outer reads "\v"
        {"\\s[9]", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Convert(c.text, options), c.expected) << c.text;
    EXPECT_TRUE(reporter_.boxes.empty());
}

TEST_F(EscapeCodesTest, SelfVariablesOfACommonEventWithoutMapEventReadZero) {
    EscapeCodeOptions options;
    options.valuesOnly = true;
    options.mapEventId = -1;
    EXPECT_EQ(Convert("[\\self[4]]", options), "[0]");
}

TEST_F(EscapeCodesTest, AMissingSeparatorReplacesOnlyTheBackslashAndTheNextCharacter) {
    store_.SetInt(2000005, 8);
    EXPECT_EQ(Values("x\\v[5 y"), "x8[5 y");
    EXPECT_EQ(Values("\\v2[2"), "02[2");
    EXPECT_EQ(Values("\\udb[0]"), "0db[0]");  // item 0 is a number
    EXPECT_EQ(FirstLines(), (std::vector<std::string>{
                                Sjis("エラー：\\v[の「]」が見つかりません"),
                                Sjis("エラー：\\v?の「]」が見つかりません"),
                                Sjis("エラー：\\?dbの「:」が見つかりません"),
                                Sjis("エラー：\\?dbの「:」が見つかりません"),
                                Sjis("エラー：\\?dbの「]」が見つかりません"),
                            }));
    EXPECT_EQ(reporter_.boxes[0].line2, FormatErrorLocation());
    // A cell number beyond every variable ID reads nothing.
    reporter_.boxes.clear();
    EXPECT_EQ(Values("<\\sdb[900:0:0]>"), "<>");
    EXPECT_EQ(FirstLines(), std::vector<std::string>{Sjis("エラー：\\?dbの番号が大きすぎます")});
}

std::string Repeated(std::string_view piece, size_t count) {
    std::string text;
    text.reserve(piece.size() * count);
    for (size_t i = 0; i < count; ++i)
        text += piece;
    return text;
}

TEST_F(EscapeCodesTest, AStringHoldingItsOwnCodeStopsExpanding) {
    const std::string runaway = Sjis("エラー：文字列の展開が多すぎます。文字列が自分自身を含んでいる可能性があります");
    // A growing one runs up to the longest string: 255 more copies fit.
    const std::string piece(size_t{1} << 16, 'a');
    store_.SetString(3000001, piece + "\\s[1]");
    EXPECT_TRUE(Values("\\s[1]") == Repeated(piece, 255) + "\\s[1]");
    EXPECT_EQ(FirstLines(), std::vector<std::string>{runaway});
    // Doubling strings are held by the length bound.
    reporter_.boxes.clear();
    store_.SetString(3000002, "\\s[2]\\s[2]");
    EXPECT_LE(Values("\\s[2]").size(), kMaxStringLength);
    EXPECT_EQ(reporter_.boxes.size(), 1u);
    // One that does not grow stops after its run of replacements in place,
    // alone or through another string.
    reporter_.boxes.clear();
    store_.SetString(3000005, "\\s[5]");
    store_.SetString(3000006, "\\s[7]");
    store_.SetString(3000007, "\\s[6]");
    EXPECT_EQ(Values("x\\s[5]y"), "x\\s[5]y");
    EXPECT_EQ(Values("\\s[6]"), kMaxStalledReplacements % 2 == 0 ? "\\s[7]" : "\\s[6]");
    EXPECT_EQ(reporter_.boxes.size(), 2u);
    // A string that would make the text longer than a string is not put in.
    reporter_.boxes.clear();
    const std::string before(size_t{1} << 20, 'a');
    store_.SetString(3000003, before);
    store_.SetString(3000004, std::string(kMaxStringLength - 50, 'b'));
    EXPECT_EQ(Values("\\s[3]\\s[4]"), before + "\\s[4]");
    EXPECT_EQ(reporter_.boxes.size(), 1u);
    EXPECT_EQ(Values("\\s[4]").size(), kMaxStringLength - 50);
    EXPECT_EQ(reporter_.boxes.size(), 1u);
    // A long chain for every code of a long text is stopped by the bound of
    // work, at its end.
    reporter_.boxes.clear();
    for (int id = 10; id < 19; ++id)
        store_.SetString(3000000 + id, "\\s[" + std::to_string(id + 1) + "]");
    store_.SetString(3000019, "x");
    const std::string chains = Repeated("\\s[10]", 1000);
    EXPECT_EQ(Values(chains), std::string(1000, 'x'));
    EXPECT_TRUE(reporter_.boxes.empty());
    SetExpansionWorkLimit(100000);
    const std::string stopped = Values(chains);
    SetExpansionWorkLimit(kMaxExpansionWork);
    const size_t expanded = stopped.find('\\');
    ASSERT_NE(expanded, std::string::npos);
    EXPECT_GT(expanded, 0u);
    EXPECT_EQ(stopped.substr(0, expanded), std::string(expanded, 'x'));
    EXPECT_EQ(FirstLines(), std::vector<std::string>{runaway});
}

TEST_F(EscapeCodesTest, EveryCodeOfTextsAsLongAsAStringIsExpanded) {
    store_.SetInt(2000005, -3);
    store_.SetString(3000001, "<\\s[2]\\s[2]>");
    store_.SetString(3000002, "\\s[3]");
    store_.SetString(3000003, "ok");
    store_.SetString(3000008, Repeated("\\s[9]", 1100000));
    const std::string filler(11, '.');
    const struct {
        std::string text;
        std::string expected;
    } cases[] = {
        {Repeated("\\v[5]", 10001), Repeated("-3", 10001)},
        {"\\v[5]" + std::string(size_t{2} << 20, 'x'), "-3" + std::string(size_t{2} << 20, 'x')},
        // A million codes over the longest string.
        {Repeated("\\v[5]" + filler, size_t{1} << 20), Repeated("-3" + filler, size_t{1} << 20)},
        // Chains of strings, each code of the text and of the strings
        // expanded from the place where it stood.
        {Repeated("\\s[1]", 100000), Repeated("<okok>", 100000)},
        // More empty values in a row than a run of replacements in place.
        {Repeated("\\s[9]", 1100000), ""},
        {"<\\s[8]>", "<>"},
    };
    for (const auto& c : cases)
        EXPECT_TRUE(Values(c.text) == c.expected) << c.text.size();
    EXPECT_TRUE(reporter_.boxes.empty());
}

TEST_F(EscapeCodesTest, TheLeadingAtSignLineSetsSystemVariableZero) {
    EscapeCodeOptions options;
    options.leadingAtSignLine = true;
    EXPECT_EQ(Convert("@12\nHello", options), "Hello");
    EXPECT_EQ(interpreter_.block.sysVar0, 12);
    EXPECT_EQ(Convert("@abcdefghijk\nHi", options), "Hi");
    EXPECT_EQ(interpreter_.block.sysVar0, 0);
    ASSERT_EQ(reporter_.boxes.size(), 1u);
    EXPECT_EQ(reporter_.boxes[0].line1, Sjis("＠後に数字だけでなく、文字が入っている可能性があります"));
    EXPECT_EQ(reporter_.boxes[0].line2, "");
    EXPECT_EQ(Convert("@7 no line", options), "7 no line");
    options.leadingAtSignLine = false;
    EXPECT_EQ(Convert("@3\nX", options), "@3\nX");
}

TEST_F(EscapeCodesTest, WrapPutsPrefixAndSuffixAroundBeforeTheValues) {
    store_.SetInt(2000001, 4);
    EscapeCodeOptions options;
    options.wrap = true;
    options.prefix = "\\v[1]:";
    options.suffix = "\\^";
    EXPECT_EQ(Convert("hi", options), "4:hi" + Bytes({1, 0x10}));
}

TEST_F(EscapeCodesTest, FormatCodesBecomeTheirTextCodes) {
    const struct {
        const char* text;
        std::string expected;
    } cases[] = {
        {"\\c[3]", Bytes({1, 2, 17})},
        {"\\c[-4]", Bytes({1, 2, 14})},
        {"\\font[2]", Bytes({1, 0x11, 16})},
        {"\\f[0]|\\f[300]", Bytes({1, 3, 15}) + "|" + Bytes({1, 3, 254})},
        {"\\m[40]", Bytes({1, 4, 54})},
        {"\\E\\N", Bytes({1, 5, 1, 6})},
        {"\\-[0]|\\-[20]", Bytes({1, 7, 255}) + "|" + Bytes({1, 7, 20})},
        {"\\r[a,b]", Bytes({1, 9}) + "a,b]"},
        {"\\>\\<\\.\\!\\^", Bytes({1, 0x0A, 1, 0x0B, 1, 0x0E, 1, 0x0F, 1, 0x10})},
        {"\\sp[100000]", Bytes({1, 0x0C, 0xF8, 0x6E})},
        {"\\sp[5]", Bytes({1, 0x0C, 14, 19})},
        {"\\space[0]", Bytes({1, 0x12, 0x8B, 0x0E})},
        {"<L><C><R>", Bytes({1, 0x13, 1, 0x14, 1, 0x15})},
        {"\\i[-1]|\\i[12345]", Bytes({1, 0x16, 0x35, 0x1E}) + "|" + Bytes({1, 0x16, 0x35, 0x1D})},
        {"\\img[a.png]", Bytes({1, 0x17}) + "a.png]"},
        {"\\mx[5]\\my[6]", Bytes({1, 0x18, 0x0E, 0x13, 1, 0x19, 0x0E, 0x14})},
        {"\\\\c[1]", Bytes({1, 1}) + "c[1]"},
        {"a\r\nb", "a\nb"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Convert(c.text), c.expected) << c.text;
    EXPECT_TRUE(reporter_.boxes.empty());
}

TEST_F(EscapeCodesTest, ValuesOnlyLeavesFormatCodesBackslashesAndCarriageReturns) {
    store_.SetInt(2000002, 9);
    EXPECT_EQ(Values("\\c[1]\\\\\r\\v[2]"), "\\c[1]\\\\\r9");
}

TEST_F(EscapeCodesTest, FormatCodeErrorsShowTheirBoxesAndKeepTheRest) {
    EXPECT_EQ(Convert("\\c[250]x"), Bytes({1, 2, 0xD6}) + "[250]x");
    ASSERT_EQ(reporter_.boxes.size(), 1u);
    EXPECT_EQ(reporter_.boxes[0].line1, Sjis("エラー：\\cの[]内は200以下までしか受け付けません"));
    EXPECT_EQ(reporter_.boxes[0].line2, Sjis("指定色 > 250"));
    EXPECT_EQ(reporter_.boxes[0].line3, FormatErrorLocation());
    reporter_.boxes.clear();
    EXPECT_EQ(Convert("\\i[7"), Bytes({1, 0x16, 14, 21}) + "[7");
    EXPECT_EQ(Convert("\\font[9]"), Bytes({1, 0x11, 17}));
    EXPECT_EQ(FirstLines(), (std::vector<std::string>{
                                Sjis("エラー：\\iの「]」が見つかりません"),
                                Sjis("エラー：\\fontの[ ]内の値が0～3の範囲を超えています"),
                            }));
}

TEST_F(EscapeCodesTest, TrailBytesAndConvertedCodesAreNeverTheStartOfACode) {
    // 0x83 0x5C is one character whose second byte is a backslash.
    const std::string text = Bytes({0x83, 0x5C}) + "c[1]\\c[2]";
    EXPECT_EQ(Convert(text), Bytes({0x83, 0x5C}) + "c[1]" + Bytes({1, 2, 16}));
    // A colour parameter of 0x5C followed by "N" is no edge code.
    EXPECT_EQ(Convert("\\c[78]Nice"), Bytes({1, 2, 0x5C}) + "Nice");
    // A size parameter that looks like a lead byte does not swallow the backslash after it.
    EXPECT_EQ(Convert("\\f[120]\\c[2]"), Bytes({1, 3, 134, 1, 2, 16}));
}

TEST_F(EscapeCodesTest, RevertGivesTheParameterlessCodesBack) {
    EXPECT_EQ(RevertEscapeCodes(Convert("\\E\\\\\\^")), "\\E\\\\\\^");
    EXPECT_EQ(RevertEscapeCodes(Convert("\\>\\<\\.\\!\\N\\r[a,b]\\img[x]")), "\\>\\<\\.\\!\\N\\r[a,b]\\img[x]");
    // Codes with parameters stay; a parameter byte is not read as a code.
    const std::string colour = Convert("\\c[3]");
    EXPECT_EQ(RevertEscapeCodes(colour), colour);
    EXPECT_EQ(RevertEscapeCodes(Bytes({1, 7, 1, 5})), Bytes({1, 7, 1, 5}));
}

TEST_F(EscapeCodesTest, ACodeKeepsTheCodesOfEarlierKindsItsBracketsEnclose) {
    // The colour code converts first; the size code then reaches to the last
    // bracket and takes the colour code with it.
    EXPECT_EQ(Convert("\\f[1\\c[2]]x"), Bytes({1, 3, 15}) + "x");
    // A speed of 20302 is held in the bytes 0x5D 0x5C (']' and '\'). The line
    // gap code takes that ']' for its bracket, and the '\' left behind it
    // begins an icon code.
    EXPECT_EQ(Convert("\\space[1 \\sp[20302]i[5]"), Bytes({1, 0x12, 0x8B, 0x0F, 1, 0x16, 14, 19}));
    // Without that bracket the line gap code reaches to the icon's.
    EXPECT_EQ(Convert("\\space[1 \\sp[20]i[5]"), Bytes({1, 0x12, 0x8B, 0x0F}));
    EXPECT_TRUE(reporter_.boxes.empty());
}

TEST_F(EscapeCodesTest, ValueCodesFormedByTheirValuesAndNeighboursAreExpandedToo) {
    store_.SetString(3000001, "s[2]");
    store_.SetString(3000002, "[3]v");
    store_.SetString(3000003, "[2]");
    store_.SetString(15000000 + 2 * 100 + 5, "[6]");
    store_.SetString(15000000 + 2 * 100 + 6, "cself 6");
    // The backslash before "\s[1]" and its value "s[2]" spell "\s[2]".
    const std::string dots(300, '.');
    EXPECT_EQ(Values(dots + "\\\\s[1]" + dots + "\\s[1]"), dots + "[3]v" + dots + "s[2]");
    // Codes begun before byte 64, where the search keeps a place to resume
    // from, and completed by a value after it.
    EscapeCodeOptions options;
    options.valuesOnly = true;
    options.commonEventId = 2;
    const std::string before(63, '.');
    EXPECT_EQ(Convert(before + "\\\\s[1]", options), before + "[3]v");
    EXPECT_EQ(Convert(before + "\\s\\s[3]", options), before + "[3]v");
    EXPECT_EQ(Convert(before + "\\cself\\cself[5]", options), before + "cself 6");
}

// The text with its bytes outside printable ASCII in hex, for messages.
std::string Printable(const std::string& text) {
    std::string out;
    for (char c : text) {
        const auto byte = static_cast<uint8_t>(c);
        if (byte >= 0x20 && byte < 0x7F) {
            out += c;
        } else {
            static constexpr char kHex[] = "0123456789ABCDEF";
            out += {'<', kHex[byte >> 4], kHex[byte & 15], '>'};
        }
    }
    return out;
}

// A text built of the pieces that codes are made of: every code, cut short
// codes, brackets, numbers that encode to brackets and backslashes, Shift-JIS
// characters whose second byte is a backslash or a bracket, lone lead bytes
// and TextCodes already in the text.
std::string RandomCodeText(std::mt19937& random) {
    static const std::vector<std::string> pieces = {"\\c[",
                                                    "\\font[",
                                                    "\\f[",
                                                    "\\m[",
                                                    "\\E",
                                                    "\\N",
                                                    "\\-[",
                                                    "\\r[",
                                                    "\\>",
                                                    "\\<",
                                                    "\\sp[",
                                                    "\\.",
                                                    "\\!",
                                                    "\\^",
                                                    "\\space[",
                                                    "<L>",
                                                    "<C>",
                                                    "<R>",
                                                    "\\i[",
                                                    "\\img[",
                                                    "\\mx[",
                                                    "\\my[",
                                                    "\\v[",
                                                    "\\v1[",
                                                    "\\v9[",
                                                    "\\self[",
                                                    "\\cself[",
                                                    "\\udb[",
                                                    "\\cdb[",
                                                    "\\sdb[",
                                                    "\\s[",
                                                    "\\\\",
                                                    "\\",
                                                    "<",
                                                    "[",
                                                    "]",
                                                    ":",
                                                    "\\c",
                                                    "\\fo",
                                                    "\\sp",
                                                    "\\spa",
                                                    "\\im",
                                                    "<L",
                                                    "L>",
                                                    "\\v",
                                                    "\\s",
                                                    "\\cd",
                                                    "0",
                                                    "1",
                                                    "2",
                                                    "3",
                                                    "7",
                                                    "79",
                                                    "78",
                                                    "250",
                                                    "20302",
                                                    "-",
                                                    "+",
                                                    " ",
                                                    "\r",
                                                    "\n",
                                                    "x",
                                                    "E",
                                                    "N",
                                                    "^",
                                                    "i[",
                                                    "m[",
                                                    "sp[",
                                                    "@",
                                                    std::string("\x83\x5C", 2),
                                                    std::string("\x95\x5C", 2),
                                                    std::string("\x81\x5D", 2),
                                                    std::string("\x83\x45", 2),
                                                    std::string("\x83", 1),
                                                    std::string("\x01", 1),
                                                    std::string("\x01\x02\x5D", 3),
                                                    std::string("\x01\x0C\x5D\x5C", 4),
                                                    std::string("\x01\x1A", 2),
                                                    std::string(21, '\x01'),
                                                    "\\udb[0:1:1]",
                                                    "\\cdb[0:1:1]",
                                                    "\\s[7]",
                                                    "\\v\\v[3][",
                                                    std::string("\0", 1)};
    std::uniform_int_distribution<size_t> count(0, 40);
    std::uniform_int_distribution<size_t> pick(0, pieces.size() - 1);
    std::string text;
    for (size_t n = count(random); n > 0; --n)
        text += pieces[pick(random)];
    return text;
}

TEST_F(EscapeCodesTest, AgreesWithTheSimpleConversionOnRandomTextsOfCodes) {
    // Values that hold codes again, so that expansion meets new codes.
    store_.SetString(3000001, "\\s[2]");
    store_.SetString(3000002, "x\\v[1]]\\");
    store_.SetString(3000003, "s[1]");
    store_.SetInt(2000001, 78);
    store_.SetInt(2000002, -1);
    store_.SetInt(2000003, 5);
    // Runs of TextCodes that change how the walk steps over what follows.
    store_.SetString(3000007, "s[1]" + std::string(17, '\x01'));
    databases_.changeable.SetString(0, 1, 1, "\\udb[0:1:1]" + std::string(3, '\x01') + "\\");
    std::mt19937 random(20261207);
    for (int round = 0; round < 20000; ++round) {
        const std::string text = RandomCodeText(random);
        EscapeCodeOptions options;
        options.valuesOnly = round % 7 == 0;
        options.leadingAtSignLine = round % 3 == 0;
        options.wrap = round % 5 == 0;
        options.prefix = "\\c[";
        options.suffix = "]\\";
        options.mapEventId = round % 2 == 0 ? 2 : -1;
        reporter_.boxes.clear();
        store_.SetInt(kSystemVariableBase, -12345);
        // Some ids read the game's random source.
        UpdateRandomSeed(2, 12345);
        const std::string expected = testing::ReferenceConvertEscapeCodes(store_, text, options);
        const auto expectedBoxes = FirstLines();
        const int32_t expectedSystemZero = store_.GetInt(kSystemVariableBase);
        reporter_.boxes.clear();
        store_.SetInt(kSystemVariableBase, -12345);
        UpdateRandomSeed(2, 12345);
        ASSERT_EQ(Convert(text, options), expected) << "round " << round << ": " << Printable(text);
        ASSERT_EQ(FirstLines(), expectedBoxes) << "round " << round << ": " << Printable(text);
        ASSERT_EQ(store_.GetInt(kSystemVariableBase), expectedSystemZero) << "round " << round;
    }
    RestartRandomSource();
}

// What a search leaves behind: the answer for each name, every box, and the
// state that conversions may change.
struct SearchOutcome {
    std::vector<bool> matches;
    std::vector<std::string> boxes;
    int32_t systemZero = 0;
    int32_t mapOverride = 0;
    uint32_t nextRandom = 0;
    std::vector<int32_t> changeableRows;
    bool operator==(const SearchOutcome&) const = default;
};

// Names as labels hold them: mostly value codes, some with format codes,
// codes without brackets, at-sign lines, and reads that draw random numbers,
// show boxes or grow the changeable database.
std::string RandomLabel(std::mt19937& random) {
    // Pieces apart by '|'.
    static const std::vector<std::string> pieces = [] {
        const std::string all(
            "\\s[4]|\\s[5]|\\s[4]|\\s[6]|\\s[7]|\\s[9]|\\s[1]|\\s[8]|\\s[10]|\\s[ 5]|\\s[5x]|\\s[999]|\\s[-1]|"
            "\\v[1]|\\v[2]|\\v[3]|\\v9[0]|\\v[7000000]|\\v[6000000]|\\v[-1000000]|\\cself[-13500000]|"
            "\\v[-500000]|\\v[1000000]|\\self[3]|\\cself[3]|\\cself[6]|\\udb[0:1:1]|\\cdb[0:7:0]|\\c[1]|"
            "\\c[300]|\\font[9]|\\s[|\\v[|\\\\|\\|<C>|<|]|x|ab|7|\r|\n|\x83\x5C|\x83|\x01|\x01\x02\x5D");
        std::vector<std::string> split;
        for (size_t at = 0, bar; at <= all.size(); at = bar + 1) {
            bar = std::min(all.find('|', at), all.size());
            split.push_back(all.substr(at, bar - at));
        }
        return split;
    }();
    std::uniform_int_distribution<size_t> count(0, 5);
    std::uniform_int_distribution<size_t> pick(0, pieces.size() - 1);
    std::string text;
    for (size_t n = count(random); n > 0; --n)
        text += pieces[pick(random)];
    switch (random() % 8) {
        case 0: return "@" + std::to_string(random() % 100) + "\n" + text;
        case 1: return "@12345678901\n" + text;  // not a number: a box
        case 2: return "@" + text;
        default: return text;
    }
}

TEST_F(EscapeCodesTest, NameMatcherAgreesWithConvertingEveryName) {
    store_.SetString(3000001, "\\s[2]");
    store_.SetString(3000002, "x\\v[1]]\\");
    store_.SetString(3000003, "s[1]");
    std::string plain;
    for (int i = 0; i < 100; ++i)
        plain += i % 10 == 0 ? std::string("\x83\x41", 2) : "abc";
    store_.SetString(3000004, plain);
    store_.SetString(3000005, "ab");
    store_.SetString(3000006, "a<b");
    store_.SetString(3000007, "s[1]" + std::string(17, '\x01'));
    store_.SetString(3000008, "\\s[8]");     // expands until it stops with a box
    store_.SetString(3000010, "ab\\s[10]");  // grows until it stops with a box
    store_.SetString(3000009, "a\rb");
    store_.SetString(kCommonSelfBase + 2 * 100 + 6, "cs");
    store_.SetInt(2000001, 78);
    store_.SetInt(2000002, -1);
    store_.SetInt(2000003, 5);
    store_.SetInt(kMapSelfBase + 2 * 10 + 3, 43);
    store_.SetInt(kCommonSelfBase + 2 * 100 + 3, 33);
    const Database changeable = databases_.changeable;
    std::mt19937 random(777);
    for (int round = 0; round < 4000; ++round) {
        EscapeCodeOptions options;
        options.leadingAtSignLine = round % 4 != 0;
        options.valuesOnly = round % 5 == 0;
        options.mapEventId = round % 2 == 0 ? 2 : -1;
        options.commonEventId = round % 3 == 0 ? -1 : 2;
        options.mapId = round % 7 == 0 ? 1 : -1;
        options.wrap = round % 13 == 0;
        options.prefix = "<";
        options.suffix = "\\s[5]";
        const int32_t mapOverride = round % 6 == 0 ? 1 : -1;
        // A few names, met again and again in a list of labels.
        std::vector<std::string> pool(1 + random() % 6);
        for (std::string& name : pool)
            name = RandomLabel(random);
        std::vector<std::string> labels(random() % 30);
        for (std::string& label : labels)
            label = pool[random() % pool.size()];
        // Little work: the runaways stop soon, and some names stop short.
        SetExpansionWorkLimit(round % 17 == 0 ? 100 + random() % 20000 : 1 << 16);
        std::string wanted = random() % 4 == 0 ? "ab" : Convert(pool[random() % pool.size()], options);

        auto search = [&](auto&& matches) {
            reporter_.boxes.clear();
            databases_.changeable = changeable;
            store_.SetInt(kSystemVariableBase, -12345);
            UpdateRandomSeed(2, 12345);
            store_.SetMapOverride(mapOverride);
            SearchOutcome outcome;
            for (const std::string& label : labels)
                outcome.matches.push_back(matches(label));
            for (const auto& box : reporter_.boxes)
                outcome.boxes.push_back(box.line1 + "|" + box.line2 + "|" + box.line3);
            outcome.systemZero = store_.GetSystemVariable(0);
            outcome.mapOverride = store_.MapOverride();
            outcome.nextRandom = UpdateRandomSeed(0, 0);
            for (int32_t type = 0; type < databases_.changeable.GetTypeCount(); ++type)
                outcome.changeableRows.push_back(databases_.changeable.GetDataCount(type));
            return outcome;
        };
        const SearchOutcome expected =
            search([&](const std::string& label) { return ConvertEscapeCodes(store_, label, options) == wanted; });
        EscapedNameMatcher matcher(store_, options, wanted);
        const SearchOutcome found = search([&](const std::string& label) { return matcher.Matches(label); });
        SetExpansionWorkLimit(kMaxExpansionWork);
        ASSERT_EQ(found.matches, expected.matches) << "round " << round << " wanted " << Printable(wanted);
        ASSERT_EQ(found.boxes, expected.boxes) << "round " << round;
        ASSERT_EQ(found, expected) << "round " << round;
    }
    RestartRandomSource();
}

TEST_F(EscapeCodesTest, NameMatcherComparesLongValuesWithoutConvertingEachName) {
    // A string almost as long as the longest, behind every name: converting
    // each name would take minutes.
    const std::string longest(kMaxStringLength - 16, 'a');
    store_.SetString(3000001, longest);
    EscapeCodeOptions options;
    options.leadingAtSignLine = true;
    EscapedNameMatcher matcher(store_, options, "a");
    for (int label = 0; label < 200; ++label) {
        EXPECT_FALSE(matcher.Matches("@" + std::to_string(label) + "\n\\s[1]" + std::to_string(label)));
        EXPECT_EQ(store_.GetSystemVariable(0), label);
    }
    EscapedNameMatcher same(store_, options, longest + "7");
    for (int label = 0; label < 200; ++label) {
        EXPECT_TRUE(same.Matches("\\s[1]7"));
        EXPECT_FALSE(same.Matches("\\s[1]8"));
    }
    EXPECT_TRUE(reporter_.boxes.empty());
    // Two of them would pass the longest string: the expansion stops there
    // with its box, as converting the name would.
    EXPECT_FALSE(same.Matches("\\s[1]\\s[1]"));
    EXPECT_EQ(FirstLines(), std::vector<std::string>{texts::kExpansionRunaway});
}

// Every parameterised code carries every value of its domain intact, in bytes
// that are never control characters.
TEST(TextCodeTest, EveryValueReadsBackAndNoParameterByteIsAControlCharacter) {
    struct Domain {
        uint8_t code;
        int32_t low, high;
    };
    const Domain domains[] = {{kCodeColor, 0, 200},  {kCodeFontSize, 1, 240}, {kCodeLineHeight, 1, 240},
                              {kCodeFontSlot, 0, 3}, {kCodeSpeed, 0, 60000},  {kCodeLineGap, 0, 65535},
                              {kCodeIcon, 0, 10000}, {kCodeMoveX, 0, 10000}};
    for (const Domain& d : domains) {
        for (int32_t v = d.low; v <= d.high; ++v) {
            std::string encoded;
            if (TextCodeParameterCount(d.code) == 1) {
                encoded = EncodeByteCode(d.code, v);
            } else {
                encoded = EncodeWordCode(d.code, v);
            }
            const std::string text = encoded + "z";
            const TextCodeRead read = ReadTextCode(text, 0);
            ASSERT_EQ(read.code, d.code) << int(d.code) << " " << v;
            ASSERT_EQ(read.value, v) << int(d.code);
            ASSERT_EQ(read.length, encoded.size()) << int(d.code) << " " << v;
            for (size_t i = encoded[1] == kCodeWide ? 3 : 2; i < encoded.size(); ++i) {
                ASSERT_GE(static_cast<uint8_t>(encoded[i]), 14) << int(d.code) << " " << v;
            }
        }
    }
}

// The spacing code's byte is its value itself: 0 is written 255 and 13 is
// written 12 (and read so), 255 reads as 0; only values whose low byte would
// be 0 or 13 take the wide form, which reads back whole.
TEST(TextCodeTest, SpacingBytesAreTheirValues) {
    for (int32_t v = -600; v <= 70000; ++v) {
        const std::string encoded = EncodeSpacingCode(v);
        const TextCodeRead read = ReadTextCode(encoded + "z", 0);
        ASSERT_EQ(read.code, kCodeSpacing) << v;
        ASSERT_EQ(read.length, encoded.size()) << v;
        const auto low = static_cast<uint8_t>(v);
        if (v == 0 || v == 13) {
            ASSERT_EQ(encoded, Bytes({1, 7, v == 0 ? 255 : 12})) << v;
            ASSERT_EQ(read.value, v == 0 ? 0 : 12);
        } else if (low == 0 || low == 13) {
            ASSERT_EQ(static_cast<uint8_t>(encoded[1]), kCodeWide) << v;
            ASSERT_EQ(read.value, std::clamp(v, 0, kWideValueLimit)) << v;
        } else {
            ASSERT_EQ(encoded, Bytes({1, 7, low})) << v;
            ASSERT_EQ(read.value, low == 255 ? 0 : low) << v;
        }
        for (size_t i = 2; i < encoded.size(); ++i) {
            ASSERT_NE(encoded[i], 0) << v;
            ASSERT_NE(encoded[i], 13) << v;
        }
    }
    EXPECT_EQ(EncodeSpacingCode(5), Bytes({1, 7, 5}));
    EXPECT_EQ(EncodeSpacingCode(256), Bytes({1, 0x1A, 7, 14, 15, 28}));
}

TEST(TextCodeTest, TheEarlierPlainFormStillReads) {
    // Written before the wide form existed: spacing 5 as its own byte.
    EXPECT_EQ(ReadTextCode(Bytes({1, 7, 5}), 0).value, 5);
    EXPECT_EQ(ReadTextCode(Bytes({1, 7, 255}), 0).value, 0);
    EXPECT_EQ(ReadTextCode(Bytes({1, 0x16, 0x35, 0x1E}), 0).value, 10000);
    // Cut short by the end of the text.
    EXPECT_EQ(ReadTextCode(Bytes({1, 0x16, 0x35}), 0).length, 3u);
    EXPECT_EQ(TextUnitLength(Bytes({0x83}), 0), 1u);
    EXPECT_EQ(TextUnitLength(Bytes({0x83, 0x01}), 0), 2u);
}

}  // namespace
}  // namespace velk
