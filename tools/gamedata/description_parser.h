#pragma once
// Reads a game description: a UTF-8 text of one statement per line, turned
// into the writer's model with every text converted to Shift-JIS.
//
//   # comment                          (anywhere a token may start)
//   game                               Game.dat
//     title "サンプル"                 text 0
//     text 7 "hero.png"                any text by index
//     setting 4 30  |  settings 32 8 8 ...   one setting, or the whole list
//     archive-key "key"  numbers 1 2   seeds 1 2 3   end-byte 194   layout-seed 7
//   settings-file                      Game.ini
//     Start 0   SoftModeFlag 0   WindowModeFlag 1   SEandBGM 3   FrameSkip 0
//     Proxy "host"   ProxyPort "8080"  ScreenShotFlag 1
//   database system|user|changeable
//     version 193   closing 193   seeds 1 2 3   layout-seed 7
//     type "BGM"                       starts a type
//       memo "..."   marker -2|-1|none   source 0|1|2
//       item number "Volume" default 100 flag 0 text "..."
//       item string "File"             item kind 3000 "Heading"
//       string-list "a" "b"            number-list 1 2      (for the last item)
//       data "Title" 100 "title.ogg"   one row: its name, then a value per
//                                      number or string item in item order
//       rows 10                        unnamed rows with the item defaults
//       data-names "a" "b"             the ".project" names, if not the rows'
//
//   map "..." | tilesets               see map_description_parser.h
//
// Strings are "quoted" (with \" \\ \n \r \t and \xNN for a raw byte) or bare
// words.

#include <optional>
#include <string>
#include <string_view>

#include "tools/gamedata/game_description.h"

namespace velk::gamedata {

// nullopt with "line N: what is wrong" in `error` when the text is not a
// valid description.
std::optional<GameDescription> ParseGameDescription(std::string_view text, std::string* error = nullptr);

}  // namespace velk::gamedata
