// The messages are kept as Shift-JIS escapes; this holds them against their
// readable form, so a wrong escape cannot slip in.
#include <gtest/gtest.h>

#include "game/data/data_texts.h"
#include "tests/game/data/data_test_support.h"

namespace velk {
namespace {

using testing::Sjis;

TEST(DataTexts, SpellTheirReadableForms) {
    EXPECT_EQ(texts::kDefaultGameTitle, Sjis("新規ゲーム名"));
    EXPECT_EQ(texts::kReadErrorCaption, Sjis("読み込みエラー"));
    EXPECT_EQ(texts::kGameInfoDamaged, Sjis("基本情報データ Game.dat が破損しています"));
    EXPECT_EQ(texts::kNoDataName, Sjis("×NoData"));
    EXPECT_EQ(texts::kNormalVariable, Sjis("通常変数"));
    EXPECT_EQ(texts::kSpareVariable, Sjis("予備変数"));
    EXPECT_EQ(texts::kErrorLocation,
              Sjis("処理地点:【マップEv %d コモンEv %d 行%d】  　※もし並列処理のｴﾗｰなら地点不明です"));
    EXPECT_EQ(texts::kStringNotStorable,
              Sjis("格納先 %d 代入値「%s」  文字列操作：「文字列」を格納すべき場所に「変数」を代入しようとしました"));
    EXPECT_EQ(texts::kDbCellPlace, Sjis("Type%d ﾃﾞｰﾀ番号%d 内容%d(Max%d)"));
    EXPECT_EQ(texts::kIntNotStorable, Sjis("格納先 %d 代入値 %d  変数処理:エラー、代入できません"));
}

TEST(FormatErrorLocation, NamesTheRunningEventAndLine) {
    ErrorLocation saved = CurrentErrorLocation();
    CurrentErrorLocation() = {12, -1, 30};
    EXPECT_EQ(FormatErrorLocation(),
              Sjis("処理地点:【マップEv 12 コモンEv -1 行30】  　※もし並列処理のｴﾗｰなら地点不明です"));
    CurrentErrorLocation() = saved;
}

}  // namespace
}  // namespace velk
