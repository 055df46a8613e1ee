#pragma once
// Writes common events: the data file under Data/BasicData (in the
// scrambled container) and ".common" files (plain), with the choices the
// format allows spelled out so tests can write every variant a game may
// carry (short and extended records, wrong version bytes, stored ids).

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "game/data/data_container.h"
#include "game/event/event_records.h"

namespace velk::gamedata {

struct CommonEventDescription {
    uint8_t lead = 0;
    // The id as stored; nullopt: the record's index.
    std::optional<int32_t> storedId;
    std::string name;
    uint8_t trigger = 0x20;
    int32_t conditionVariable = 2000000;
    int32_t conditionValue = 0;
    uint8_t option0 = 0;
    uint8_t option1 = 0;
    // Written as given; with `appendEnd` an end command follows them.
    std::vector<EventCommand> commands;
    bool appendEnd = true;
    std::vector<uint8_t> extraBytes = {0};
    // Written only after a non-empty byte list.
    std::string note;
    // 142: the record ends here; anything else: the extended lists follow.
    uint8_t version = 143;
    std::vector<std::string> argStrings = std::vector<std::string>(10);
    std::vector<uint8_t> argBytes = std::vector<uint8_t>(10, 0);
    std::vector<std::vector<std::string>> argStringLists = std::vector<std::vector<std::string>>(10);
    std::vector<std::vector<int32_t>> argIntLists = std::vector<std::vector<int32_t>>(10);
    std::vector<int32_t> argInts = std::vector<int32_t>(5, 0);
    uint8_t endByte = 143;
};

struct CommonEventsDescription {
    ContainerSeeds seeds = {0, 0, 0};
    uint32_t layoutSeed = 1;
    uint8_t version = 143;
    uint8_t endMarker = 143;
    std::vector<CommonEventDescription> events;
};

struct CommonFileDescription {
    // The game path as commands name it ("Data\\x.common"); written under the
    // game folder with the backslashes as folder separators.
    std::string path;
    uint32_t magic = 0x030C386C;
    std::vector<CommonEventDescription> events;
};

void WriteCommonEventRecord(ByteWriter& out, const CommonEventDescription& event, int32_t index);
std::vector<uint8_t> WriteCommonEventData(const CommonEventsDescription& description);
std::vector<uint8_t> WriteCommonEventFile(const CommonFileDescription& description);

}  // namespace velk::gamedata
