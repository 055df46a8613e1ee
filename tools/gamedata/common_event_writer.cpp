#include "tools/gamedata/common_event_writer.h"

#include "game/data/byte_writer.h"
#include "game/event/event_records.h"
#include "platform/base/crt_random.h"
#include "platform/base/text_encoding.h"
#include "tools/gamedata/game_folder_writer.h"

namespace velk::gamedata {
namespace {

constexpr uint8_t kShortRecordVersion = 142;

void WriteStrings(ByteWriter& out, const std::vector<std::string>& texts) {
    out.WriteU32(static_cast<uint32_t>(texts.size()));
    for (const std::string& text : texts)
        out.WriteString(text);
}

void WriteInts(ByteWriter& out, const std::vector<int32_t>& values) {
    out.WriteU32(static_cast<uint32_t>(values.size()));
    for (int32_t value : values)
        out.WriteI32(value);
}

}  // namespace

void WriteCommonEventRecord(ByteWriter& out, const CommonEventDescription& event, int32_t index) {
    out.WriteU8(event.lead);
    out.WriteI32(event.storedId.value_or(index));
    out.WriteU8(event.trigger);
    out.WriteI32(event.conditionVariable);
    out.WriteI32(event.conditionValue);
    out.WriteU8(event.option0);
    out.WriteU8(event.option1);
    out.WriteString(event.name);
    out.WriteU32(static_cast<uint32_t>(event.commands.size() + (event.appendEnd ? 1 : 0)));
    for (const EventCommand& command : event.commands)
        WriteEventCommand(out, command);
    if (event.appendEnd) {
        EventCommand end;
        end.arguments = {-1};
        WriteEventCommand(out, end);
    }
    out.WriteU32(static_cast<uint32_t>(event.extraBytes.size()));
    out.WriteBytes(event.extraBytes);
    if (!event.extraBytes.empty()) out.WriteString(event.note);
    out.WriteU8(event.version);
    if (event.version == kShortRecordVersion) return;
    WriteStrings(out, event.argStrings);
    out.WriteU32(static_cast<uint32_t>(event.argBytes.size()));
    out.WriteBytes(event.argBytes);
    out.WriteU32(static_cast<uint32_t>(event.argStringLists.size()));
    for (const auto& list : event.argStringLists)
        WriteStrings(out, list);
    out.WriteU32(static_cast<uint32_t>(event.argIntLists.size()));
    for (const auto& list : event.argIntLists)
        WriteInts(out, list);
    WriteInts(out, event.argInts);
    out.WriteU8(event.endByte);
}

std::vector<uint8_t> WriteCommonEventData(const CommonEventsDescription& description) {
    platform::CrtRandom random(description.layoutSeed);
    ByteWriter out;
    for (size_t i = 0; i < kDataFileLayout.headerLength; ++i)
        out.WriteU8(static_cast<uint8_t>(random.Next() >> 4));
    out.WriteU8(description.version);
    out.WriteU32(static_cast<uint32_t>(description.events.size()));
    for (size_t i = 0; i < description.events.size(); ++i)
        WriteCommonEventRecord(out, description.events[i], static_cast<int32_t>(i));
    out.WriteU8(description.endMarker);
    std::vector<uint8_t> file = out.Take();
    SealContainer(file, kDataFileLayout, description.seeds);
    return file;
}

std::vector<uint8_t> WriteCommonEventFile(const CommonFileDescription& description) {
    ByteWriter out;
    out.WriteU32(description.magic);
    out.WriteU32(static_cast<uint32_t>(description.events.size()));
    for (size_t i = 0; i < description.events.size(); ++i)
        WriteCommonEventRecord(out, description.events[i], static_cast<int32_t>(i));
    return out.Take();
}

}  // namespace velk::gamedata

namespace velk::gamedata {

bool WriteCommonEventFiles(const GameDescription& description, const std::filesystem::path& folder,
                           std::string* error) {
    if (!WriteFileBytes(folder / "Data" / "BasicData" / "CommonEvent.dat",
                        WriteCommonEventData(description.commonEvents), error)) {
        return false;
    }
    for (const CommonFileDescription& file : description.commonFiles) {
        // A game path: Shift-JIS, folders separated by backslashes.
        std::filesystem::path path = folder;
        std::string utf8 = platform::ShiftJisToUtf8(file.path);
        size_t start = 0;
        while (start <= utf8.size()) {
            size_t end = utf8.find_first_of("\\/", start);
            if (end == std::string::npos) end = utf8.size();
            if (end > start) path /= utf8.substr(start, end - start);
            start = end + 1;
        }
        if (!WriteFileBytes(path, WriteCommonEventFile(file), error)) return false;
    }
    return true;
}

}  // namespace velk::gamedata
