#include "tools/gamedata/database_writer.h"

#include "game/data/byte_writer.h"
#include "platform/base/crt_random.h"

namespace velk::gamedata {
namespace {

constexpr uint8_t kOldFormatVersion = 192;

void WriteTypeStart(ByteWriter& writer, const DatabaseTypeDescription& type) {
    int32_t itemCount = static_cast<int32_t>(type.items.size());
    if (!type.marker) {
        writer.WriteI32(itemCount);
        return;
    }
    writer.WriteI32(*type.marker);
    if (*type.marker <= -2) writer.WriteI32(type.dataNameSource);
    writer.WriteI32(itemCount);
}

void WriteTypeData(ByteWriter& writer, const DatabaseTypeDescription& type) {
    WriteTypeStart(writer, type);
    size_t numberCount = 0, stringCount = 0;
    for (const DatabaseItemDescription& item : type.items) {
        writer.WriteI32(item.kind);
        if (item.kind / 1000 == 1) ++numberCount;
        if (item.kind / 1000 == 2) ++stringCount;
    }
    writer.WriteI32(static_cast<int32_t>(type.rows.size()));
    for (const DatabaseRowDescription& row : type.rows) {
        for (size_t i = 0; i < numberCount; ++i) writer.WriteI32(i < row.numbers.size() ? row.numbers[i] : 0);
        for (size_t i = 0; i < stringCount; ++i) writer.WriteString(i < row.strings.size() ? row.strings[i] : "");
    }
}

void WriteTypeDefinition(ByteWriter& writer, const DatabaseTypeDescription& type, uint8_t version) {
    writer.WriteString(type.name);
    writer.WriteU32(static_cast<uint32_t>(type.items.size()));
    for (const DatabaseItemDescription& item : type.items) writer.WriteString(item.name);
    std::vector<std::string> dataNames;
    if (type.dataNames) {
        dataNames = *type.dataNames;
    } else {
        for (const DatabaseRowDescription& row : type.rows) dataNames.push_back(row.name);
    }
    writer.WriteU32(static_cast<uint32_t>(dataNames.size()));
    for (const std::string& name : dataNames) writer.WriteString(name);
    writer.WriteString(type.memo);
    if (version == kOldFormatVersion) return;

    uint32_t itemCount = static_cast<uint32_t>(type.items.size());
    writer.WriteU32(itemCount);
    for (const DatabaseItemDescription& item : type.items) writer.WriteU8(item.flag);
    writer.WriteU32(itemCount);
    for (const DatabaseItemDescription& item : type.items) writer.WriteString(item.text);
    writer.WriteU32(itemCount);
    for (const DatabaseItemDescription& item : type.items) {
        writer.WriteU32(static_cast<uint32_t>(item.stringList.size()));
        for (const std::string& text : item.stringList) writer.WriteString(text);
    }
    writer.WriteU32(itemCount);
    for (const DatabaseItemDescription& item : type.items) {
        writer.WriteU32(static_cast<uint32_t>(item.numberList.size()));
        for (int32_t number : item.numberList) writer.WriteI32(number);
    }
    writer.WriteU32(itemCount);
    for (const DatabaseItemDescription& item : type.items) writer.WriteI32(item.defaultValue);
}

}  // namespace

std::vector<uint8_t> WriteDatabaseData(const DatabaseDescription& description) {
    platform::CrtRandom random(description.layoutSeed);
    ByteWriter writer;
    for (size_t i = 0; i < kDataFileLayout.headerLength; ++i) writer.WriteU8(static_cast<uint8_t>(random.Next() >> 4));
    writer.WriteU8(description.version);
    writer.WriteU32(static_cast<uint32_t>(description.types.size()));
    for (const DatabaseTypeDescription& type : description.types) WriteTypeData(writer, type);
    writer.WriteU8(description.closingVersion);
    std::vector<uint8_t> file = writer.Take();
    SealContainer(file, kDataFileLayout, description.seeds);
    return file;
}

std::vector<uint8_t> WriteDatabaseProject(const DatabaseDescription& description) {
    ByteWriter writer;
    writer.WriteU32(static_cast<uint32_t>(description.types.size()));
    for (const DatabaseTypeDescription& type : description.types) {
        WriteTypeDefinition(writer, type, description.version);
    }
    return writer.Take();
}

}  // namespace velk::gamedata
