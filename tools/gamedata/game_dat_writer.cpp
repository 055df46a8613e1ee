#include "tools/gamedata/game_dat_writer.h"

#include "game/data/byte_writer.h"
#include "platform/base/crt_random.h"

namespace velk::gamedata {
namespace {

constexpr size_t kReachableBytes = 65536;

uint8_t DrawByte(platform::CrtRandom& random) { return static_cast<uint8_t>(random.Next() >> 4); }

}  // namespace

std::optional<std::vector<uint8_t>> WriteGameDat(const GameDatDescription& description, std::string* error) {
    platform::CrtRandom random(description.layoutSeed);
    ByteWriter writer;
    for (size_t i = 0; i < kGameInfoLayout.headerLength; ++i) writer.WriteU8(DrawByte(random));

    writer.WriteU32(static_cast<uint32_t>(description.settings.size()));
    writer.WriteBytes(description.settings);
    writer.WriteU32(static_cast<uint32_t>(description.texts.size()));
    for (const std::string& text : description.texts) writer.WriteString(text);

    size_t endOffsetAt = writer.Size();
    writer.WriteU32(0);
    uint32_t keyLength = static_cast<uint32_t>(description.archiveKey.size());
    writer.WriteU32(keyLength);
    writer.WriteU32(static_cast<uint32_t>(description.numbers.size()));
    for (uint16_t number : description.numbers) writer.WriteU16(number);
    size_t listOffsetsAt = writer.Size();
    writer.WriteU32(0);
    writer.WriteU32(0);

    // The key's bytes go into a pool after the two lists, each behind a
    // filler byte; list P holds random offsets and list Q what completes each
    // to its byte's place.
    size_t firstList = writer.Size();
    size_t secondList = firstList + 2 * keyLength;
    size_t pool = secondList + 2 * keyLength;
    if (pool + 2 * keyLength > kReachableBytes) {
        if (error) *error = "Game.dat is too large for its archive key to be placed";
        return std::nullopt;
    }
    std::vector<uint16_t> p(keyLength), q(keyLength);
    for (uint32_t i = 0; i < keyLength; ++i) {
        uint16_t place = static_cast<uint16_t>(pool + 2 * i + 1);
        p[i] = static_cast<uint16_t>(random.Next() * 2 + (random.Next() & 1));
        q[i] = static_cast<uint16_t>(place - p[i]);
    }
    for (uint16_t offset : p) writer.WriteU16(offset);
    for (uint16_t offset : q) writer.WriteU16(offset);
    for (char keyByte : description.archiveKey) {
        writer.WriteU8(DrawByte(random));
        writer.WriteU8(static_cast<uint8_t>(keyByte));
    }
    writer.PatchU32(endOffsetAt, static_cast<uint32_t>(writer.Size()));
    writer.PatchU32(listOffsetsAt, static_cast<uint32_t>(firstList));
    writer.PatchU32(listOffsetsAt + 4, static_cast<uint32_t>(secondList));
    writer.WriteU8(description.endByte);

    std::vector<uint8_t> file = writer.Take();
    SealContainer(file, kGameInfoLayout, description.seeds);
    return file;
}

}  // namespace velk::gamedata
