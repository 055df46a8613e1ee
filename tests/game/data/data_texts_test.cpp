// The messages are kept as Shift-JIS escapes; the other tests of this folder
// hold each one against its readable form where the code shows it.
#include <gtest/gtest.h>

#include "game/data/data_texts.h"
#include "tests/game/data/data_test_support.h"

namespace velk {
namespace {

using testing::Sjis;

TEST(FormatErrorLocation, NamesTheRunningEventAndLine) {
    ErrorLocation saved = CurrentErrorLocation();
    CurrentErrorLocation() = {12, -1, 30};
    EXPECT_EQ(FormatErrorLocation(),
              Sjis("処理地点:【マップEv 12 コモンEv -1 行30】  　※もし並列処理のｴﾗｰなら地点不明です"));
    CurrentErrorLocation() = saved;
}

}  // namespace
}  // namespace velk
