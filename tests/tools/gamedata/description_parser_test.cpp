#include <gtest/gtest.h>

#include "platform/base/text_encoding.h"
#include "tools/gamedata/description_parser.h"

namespace velk::gamedata {
namespace {

std::string Sjis(const char* utf8) { return platform::Utf8ToShiftJis(utf8); }

std::string ErrorOf(const std::string& text) {
    std::string error;
    EXPECT_FALSE(ParseGameDescription(text, &error));
    return error;
}

TEST(DescriptionParser, ReadsEverySection) {
    auto game = ParseGameDescription(R"(
# a comment line
game
  title "勇者の旅"       # a comment after a statement
  text 3 ＭＳゴシック
  setting 4 30
  archive-key "k\x01\"\\"
  numbers 1 65535
  seeds 1 2 3
  end-byte 7
settings-file
  Start 1
  Proxy "proxy host"
  SEandBGM 2
database user
  version 192
  closing 193
  seeds 9 8 7
  type "主人公"
    memo "二行\n目"
    marker -7
    source 2
    item string "名前"
    item number "HP" default 10 flag 3 text "体力"
    string-list "a" "b"
    number-list 4 -5
    item kind 3000 "見出し"
    item number "MP"
    data "一人目" "アキ" 30 5
    data "二人目" "ユウ"
    rows 2
  type plain
    marker none
    data-names x y
)");
    ASSERT_TRUE(game);
    EXPECT_EQ(game->gameDat.texts[0], Sjis("勇者の旅"));
    EXPECT_EQ(game->gameDat.texts[3], Sjis("ＭＳゴシック"));
    EXPECT_EQ(game->gameDat.settings[4], 30);
    EXPECT_EQ(game->gameDat.settings.size(), 18u);
    EXPECT_EQ(game->gameDat.archiveKey, std::string("k\x01\"\\"));
    EXPECT_EQ(game->gameDat.numbers, (std::vector<uint16_t>{1, 65535}));
    EXPECT_EQ(game->gameDat.seeds, (ContainerSeeds{1, 2, 3}));
    EXPECT_EQ(game->gameDat.endByte, 7);
    EXPECT_EQ(game->settings.start, 1);
    EXPECT_EQ(game->settings.proxy, "proxy host");
    EXPECT_EQ(game->settings.seAndBgm, 2);

    const DatabaseDescription& user = game->userDatabase;
    EXPECT_EQ(user.version, 192);
    EXPECT_EQ(user.closingVersion, 193);
    ASSERT_EQ(user.types.size(), 2u);
    const DatabaseTypeDescription& hero = user.types[0];
    EXPECT_EQ(hero.memo, Sjis("二行\n目"));
    EXPECT_EQ(hero.marker, -7);
    EXPECT_EQ(hero.dataNameSource, 2);
    ASSERT_EQ(hero.items.size(), 4u);
    EXPECT_EQ(hero.items[0].kind, 2000);
    EXPECT_EQ(hero.items[1].kind, 1000);
    EXPECT_EQ(hero.items[1].defaultValue, 10);
    EXPECT_EQ(hero.items[1].flag, 3);
    EXPECT_EQ(hero.items[1].text, Sjis("体力"));
    EXPECT_EQ(hero.items[1].stringList, (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(hero.items[1].numberList, (std::vector<int32_t>{4, -5}));
    EXPECT_EQ(hero.items[2].kind, 3000);
    EXPECT_EQ(hero.items[3].kind, 1001);
    ASSERT_EQ(hero.rows.size(), 4u);
    EXPECT_EQ(hero.rows[0].name, Sjis("一人目"));
    EXPECT_EQ(hero.rows[0].strings, std::vector<std::string>{Sjis("アキ")});
    EXPECT_EQ(hero.rows[0].numbers, (std::vector<int32_t>{30, 5}));
    EXPECT_EQ(hero.rows[1].numbers, (std::vector<int32_t>{10, 0}));  // missing values take the defaults
    EXPECT_EQ(hero.rows[3].name, "");
    EXPECT_FALSE(user.types[1].marker);
    EXPECT_EQ(user.types[1].dataNames, (std::vector<std::string>{"x", "y"}));
    EXPECT_TRUE(game->systemDatabase.types.empty());
}

TEST(DescriptionParser, NamesTheLineOfEveryMistake) {
    EXPECT_EQ(ErrorOf("game\n  bogus 1\n"), "line 2: unknown game statement 'bogus'");
    EXPECT_EQ(ErrorOf("title \"x\""), "line 1: 'title' outside game, settings-file or database");
    EXPECT_EQ(ErrorOf("game\nsetting 4 300"), "line 2: number out of range: 300");
    EXPECT_EQ(ErrorOf("game\nsetting four 3"), "line 2: not a number: four");
    EXPECT_EQ(ErrorOf("game\ntitle \"open"), "line 2: a quoted text is not closed");
    EXPECT_EQ(ErrorOf("game\ntitle \"\\q\""), "line 2: unknown escape \\q");
    EXPECT_EQ(ErrorOf("game\ntitle \"\\x4\""), "line 2: \\x needs two hexadecimal digits");
    EXPECT_EQ(ErrorOf("game\ntitle \"😀\"").rfind("line 2: text cannot be written in Shift-JIS", 0), 0u);
    EXPECT_EQ(ErrorOf("database other"), "line 1: a database is system, user or changeable");
    EXPECT_EQ(ErrorOf("database user\nitem number x"), "line 2: 'type' must come first");
    EXPECT_EQ(ErrorOf("database user\ntype t\nstring-list a"), "line 3: no item to add a list to");
    EXPECT_EQ(ErrorOf("database user\ntype t\nitem number n\ndata r 1 2"),
              "line 4: more values than the type has items");
    EXPECT_EQ(ErrorOf("database user\ntype t\nitem number n default"), "line 3: 'default' needs a value");
    EXPECT_EQ(ErrorOf("database user\ntype t\nmarker 0"), "line 3: number out of range: 0");
    EXPECT_EQ(ErrorOf("settings-file\nStart"), "line 2: 'Start' takes 1 value(s)");
    EXPECT_EQ(ErrorOf("settings-file\nFlag 1"), "line 2: unknown settings-file key 'Flag'");
}

TEST(DescriptionParser, AnEmptyDescriptionIsTheDefaultGame) {
    auto game = ParseGameDescription("");
    ASSERT_TRUE(game);
    EXPECT_EQ(game->gameDat.texts[0], Sjis("新規ゲーム名"));
    EXPECT_EQ(game->gameDat.settings[4], 60);
    EXPECT_EQ(game->settings.windowModeFlag, 1);
}

}  // namespace
}  // namespace velk::gamedata
