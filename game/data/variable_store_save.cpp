// The variables' part of a save: the random state, then the self variables,
// the groups, the string variables and the common-event self variables.
#include <algorithm>

#include "game/data/game_owners.h"
#include "game/data/random_source.h"
#include "game/data/save_stream.h"
#include "game/data/variable_store.h"

namespace velk {
namespace {

// Longer strings are saved cut to this many bytes.
constexpr size_t kSavedStringLimit = 32000;
// Saves from this version on carry strings with a 32-bit length.
constexpr uint16_t kLongStringVersion = 111;
constexpr size_t kCommonSelfIntSlots = 100;
constexpr size_t kCommonSelfStringSlots = 5;

void WriteSavedString(ByteWriter& writer, const std::string& text) {
    writer.WriteString(std::string_view(text).substr(0, kSavedStringLimit));
}

template <typename T>
void WriteCountedInts(ByteWriter& writer, const std::vector<T>& values) {
    writer.WriteU8(static_cast<uint8_t>(values.size()));
    for (size_t i = 0; i < (values.size() & 0xFF); ++i) writer.WriteI32(values[i]);
}

// How a count of the part reads: a value, the end of the part (a negative
// count stops reading without an error), or damage (the flag is set).
enum class CountRead { kValue, kEndOfPart, kDamaged };

CountRead ReadPartCount(SaveStream& stream, size_t minimumBytes, uint32_t& count) {
    auto value = stream.ReadI32();
    if (!value) return CountRead::kDamaged;
    if (*value < 0) return CountRead::kEndOfPart;
    if (!stream.CanHold(static_cast<uint32_t>(*value), minimumBytes)) return CountRead::kDamaged;
    count = static_cast<uint32_t>(*value);
    return CountRead::kValue;
}

bool ReadInts(SaveStream& stream, size_t count, std::vector<int32_t>& into) {
    if (!stream.CanHold(count, 4)) return false;
    into.resize(count);
    for (int32_t& value : into) value = *stream.ReadI32();
    return true;
}

bool ReadU8CountedInts(SaveStream& stream, std::vector<int32_t>& into) {
    auto count = stream.ReadU8();
    return count && ReadInts(stream, *count, into);
}

std::optional<std::string> ReadSavedString(SaveStream& stream) {
    return stream.version < kLongStringVersion ? stream.ReadShortString() : stream.ReadString();
}

size_t SmallestSavedString(const SaveStream& stream) { return stream.version < kLongStringVersion ? 2 : 4; }

// Reads the part into `c`, which starts as a copy of the live contents.
// Returns false on damage; a negative count ends the reading early (true).
bool ReadContents(SaveStream& stream, VariableStoreContents& c, size_t loadedCommonEvents) {
    uint32_t count = 0;
    switch (ReadPartCount(stream, 4, count)) {
        case CountRead::kDamaged: return false;
        case CountRead::kEndOfPart: return true;
        case CountRead::kValue: break;
    }
    c.selfVariables.resize(count);
    for (auto& events : c.selfVariables) {
        uint32_t eventCount = 0;
        switch (ReadPartCount(stream, 1, eventCount)) {
            case CountRead::kDamaged: return false;
            case CountRead::kEndOfPart: return true;
            case CountRead::kValue: break;
        }
        events.resize(eventCount);
        for (auto& slots : events) {
            if (!ReadU8CountedInts(stream, slots)) return false;
        }
    }

    switch (ReadPartCount(stream, 4, count)) {
        case CountRead::kDamaged: return false;
        case CountRead::kEndOfPart: return true;
        case CountRead::kValue: break;
    }
    c.groups.resize(count);
    for (auto& group : c.groups) {
        uint32_t size = 0;
        switch (ReadPartCount(stream, 4, size)) {
            case CountRead::kDamaged: return false;
            case CountRead::kEndOfPart: return true;
            case CountRead::kValue: break;
        }
        if (!ReadInts(stream, size, group)) return false;
    }

    switch (ReadPartCount(stream, SmallestSavedString(stream), count)) {
        case CountRead::kDamaged: return false;
        case CountRead::kEndOfPart: return true;
        case CountRead::kValue: break;
    }
    c.strings.resize(count);
    for (std::string& text : c.strings) {
        auto read = ReadSavedString(stream);
        if (!read) return false;
        text = std::move(*read);
    }

    // Common events the game gained since the save start out empty.
    switch (ReadPartCount(stream, 1, count)) {
        case CountRead::kDamaged: return false;
        case CountRead::kEndOfPart: return true;
        case CountRead::kValue: break;
    }
    if (count < loadedCommonEvents) {
        c.commonSelfInts.resize(loadedCommonEvents);
        for (size_t i = count; i < loadedCommonEvents; ++i) c.commonSelfInts[i].assign(kCommonSelfIntSlots, 0);
    } else {
        c.commonSelfInts.resize(count);
    }
    for (uint32_t i = 0; i < count; ++i) {
        if (!ReadU8CountedInts(stream, c.commonSelfInts[i])) return false;
    }

    switch (ReadPartCount(stream, 1, count)) {
        case CountRead::kDamaged: return false;
        case CountRead::kEndOfPart: return true;
        case CountRead::kValue: break;
    }
    if (count < loadedCommonEvents) {
        c.commonSelfStrings.resize(loadedCommonEvents);
        for (size_t i = count; i < loadedCommonEvents; ++i) c.commonSelfStrings[i].assign(kCommonSelfStringSlots, {});
    } else {
        c.commonSelfStrings.resize(count);
    }
    for (uint32_t i = 0; i < count; ++i) {
        auto stringCount = stream.ReadU8();
        if (!stringCount || !stream.CanHold(*stringCount, SmallestSavedString(stream))) return false;
        auto& strings = c.commonSelfStrings[i];
        strings.resize(*stringCount);
        for (std::string& text : strings) {
            auto read = ReadSavedString(stream);
            if (!read) return false;
            text = std::move(*read);
        }
    }
    return true;
}

}  // namespace

bool VariableStore::WriteSave(SaveStream& stream) const {
    ByteWriter& writer = stream.Writer();
    writer.WriteU32(UpdateRandomSeed(1, 0));
    writer.WriteU32(static_cast<uint32_t>(contents_.selfVariables.size()));
    for (const auto& events : contents_.selfVariables) {
        writer.WriteU32(static_cast<uint32_t>(events.size()));
        for (const auto& slots : events) WriteCountedInts(writer, slots);
    }
    writer.WriteU32(static_cast<uint32_t>(contents_.groups.size()));
    for (const auto& group : contents_.groups) {
        writer.WriteU32(static_cast<uint32_t>(group.size()));
        for (int32_t value : group) writer.WriteI32(value);
    }
    writer.WriteU32(static_cast<uint32_t>(contents_.strings.size()));
    for (const std::string& text : contents_.strings) WriteSavedString(writer, text);
    writer.WriteU32(static_cast<uint32_t>(contents_.commonSelfInts.size()));
    for (const auto& slots : contents_.commonSelfInts) WriteCountedInts(writer, slots);
    writer.WriteU32(static_cast<uint32_t>(contents_.commonSelfStrings.size()));
    for (const auto& strings : contents_.commonSelfStrings) {
        writer.WriteU8(static_cast<uint8_t>(strings.size()));
        for (size_t i = 0; i < (strings.size() & 0xFF); ++i) WriteSavedString(writer, strings[i]);
    }
    return true;
}

bool VariableStore::ReadSave(SaveStream& stream, bool restoreRandom) {
    auto randomState = stream.ReadU32();
    if (!randomState) return false;
    size_t loadedCommonEvents = static_cast<size_t>(std::max(0, ActiveGameOwners().events->CommonEventCount()));
    // Read aside: memory that runs out (thrown on to the caller, which tells
    // the player the save is whole) leaves the store as it was.
    VariableStoreContents read = contents_;
    if (!ReadContents(stream, read, loadedCommonEvents)) {
        stream.errorFlag = true;
        return false;
    }
    contents_ = std::move(read);
    heldStringBytes_ = CountHeldStringBytes();
    if (restoreRandom) UpdateRandomSeed(2, *randomState);
    return true;
}

}  // namespace velk
