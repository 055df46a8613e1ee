#pragma once
// The common-event sections of a game description (see description_parser.h
// for the language as a whole):
//
//   common-events                      Data/BasicData/CommonEvent.dat
//     seeds 1 2 3   layout-seed 7   version 143   end-marker 143
//     event "Name"                     starts a record
//       trigger 0x21   condition 2000005 3   options 0 0   lead 0   id 5
//       command 210 500003 0x21 7      one command, as map pages write them:
//       command 300 0 0 indent 1 text "name"   code, arguments, indent, texts
//       no-end                         no end command after the commands
//       bytes 1 2   note "text"        the byte list and the text after it
//       record-version 142|143   end-byte 143
//       arg-strings "a" "b"   arg-bytes 1 2   arg-ints 1 2
//       arg-string-list "a" "b"        each adds one list (the first one
//       arg-int-list 1 2               replaces the ten default lists)
//   common-file "Data\\extra.common"   a ".common" file at that game path
//     magic 0x030C386C
//     event ...                        as above
//
// Numbers may be written in hexadecimal with 0x.

#include <string>
#include <vector>

#include "tools/gamedata/game_description.h"
#include "tools/gamedata/map_description_parser.h"

namespace velk::gamedata {

class CommonEventSection {
public:
    explicit CommonEventSection(GameDescription& game) : game_(game) {}

    static bool Opens(const std::string& word) { return word == "common-events" || word == "common-file"; }
    // One statement of the section (or the one opening it); throws
    // MapDescriptionError saying what is wrong.
    void Statement(const std::vector<DescriptionWord>& words);

private:
    void EventStatement(const std::vector<DescriptionWord>& words);
    CommonEventDescription& CurrentEvent();

    GameDescription& game_;
    std::vector<CommonEventDescription>* events_ = nullptr;
    CommonEventsDescription* dataFile_ = nullptr;
    CommonFileDescription* commonFile_ = nullptr;
    bool stringListsGiven_ = false;
    bool intListsGiven_ = false;
};

}  // namespace velk::gamedata
