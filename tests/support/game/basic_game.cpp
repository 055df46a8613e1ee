#include "tests/support/game/basic_game.h"

#include <vector>

namespace velk::testing {

std::string BasicSystemDatabase(int startMap, int startX, int startY, const std::string& windowRows,
                                const std::string& extraTypes) {
    const std::string windows = windowRows.empty() ? R"(    data "メッセージカーソル" "" 1
    data "選択肢枠" "" 1
    data "選択肢カーソル" "" 1
)"
                                                   : windowRows;
    return R"(
database system
  type "マップ設定"
    item string "マップファイル名"
    item number "BGM番号" default -1
    item number "BGS番号" default -1
    item number "ループ設定"
    item number "遠景番号" default -1
    data "0" "MapData/Map000.mps" -1 -1 0 -1
    data "1" "MapData/Map000.mps" -1 -1 0 -1
    data "2" "MapData/Map000.mps" -1 -1 0 -1
    data "3" "MapData/Map000.mps" -1 -1 0 -1
  type "BGM"
    item string "ファイル名"
    item number "音量" default 100
    item number "周波数" default 100
    item number "ループ位置"
  type "BGS"
    item string "ファイル名"
    item number "音量" default 100
    item number "周波数" default 100
    item number "ループ位置"
  type "SE"
    item string "ファイル名"
    item number "音量" default 100
    item number "周波数" default 100
    item number "再生後解放"
  type "予約4"
  type "予約5"
  type "予約6"
  type "開始位置"
    item number "マップ"
    item number "X"
    item number "Y"
    data "開始" )" + std::to_string(startMap) + " " + std::to_string(startX) + " " + std::to_string(startY) + R"(
  type "キャラ画像"
    item string "ファイル名"
    data "主人公" ""
  type "影画像"
    item string "ファイル名"
    data "なし" ""
  type "ウィンドウ画像"
    item string "ファイル名"
    item number "コマ数" default 1
)" + windows + R"(  type "トランジション画像"
    item string "ファイル名"
  type "文字色"
    item number "赤"
    item number "緑"
    item number "青"
    data "白" 255 255 255
    data "赤" 255 96 96
    data "青" 128 160 255
  type "遠景・フォグ"
  type "通常変数名"
    rows 100
  type "予備変数1"
    rows 10
  type "予備変数2"
  type "予備変数3"
  type "予備変数4"
  type "予備変数5"
  type "予備変数6"
  type "予備変数7"
  type "予備変数8"
  type "予備変数9"
)" + extraTypes;
}

std::string BasicMap() {
    return R"(
map "MapData/Map000.mps"
  name "test"
  tileset 0
  size 20 15
  fill 0 0 0 20 15 8
)";
}

std::string SolidBitmapBytes(uint8_t red, uint8_t green, uint8_t blue) {
    std::vector<uint8_t> b = {'B', 'M', 102, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0,  // file header
                              40, 0, 0, 0, 4, 0, 0, 0, 4, 0, 0, 0, 1, 0, 24, 0,  // info header
                              0, 0, 0, 0, 48, 0, 0, 0, 0x13, 0x0B, 0, 0, 0x13, 0x0B, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    for (int pixel = 0; pixel < 16; ++pixel) {
        b.push_back(blue);
        b.push_back(green);
        b.push_back(red);
    }
    std::string words;
    for (uint8_t byte : b)
        words += " " + std::to_string(byte);
    return words;
}

}  // namespace velk::testing
