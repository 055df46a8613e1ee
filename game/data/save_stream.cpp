#include "game/data/save_stream.h"

#include "game/data/data_file_cursor.h"

namespace velk {

SaveStream::SaveStream(std::vector<uint8_t> bytes, size_t position) : position_(position) {
    writer_.MutableBytes() = std::move(bytes);
}

template <typename Read>
auto SaveStream::ReadWith(Read read) -> decltype(read(std::declval<DataFileCursor&>())) {
    if (errorFlag) return std::nullopt;
    DataFileCursor cursor(writer_.Bytes(), position_);
    auto value = read(cursor);
    if (!value) {
        errorFlag = true;
        return std::nullopt;
    }
    position_ = cursor.position();
    return value;
}

std::optional<uint8_t> SaveStream::ReadU8() {
    return ReadWith([](DataFileCursor& cursor) { return cursor.U8(); });
}

std::optional<uint16_t> SaveStream::ReadU16() {
    return ReadWith([](DataFileCursor& cursor) { return cursor.U16(); });
}

std::optional<uint32_t> SaveStream::ReadU32() {
    return ReadWith([](DataFileCursor& cursor) { return cursor.U32(); });
}

std::optional<int32_t> SaveStream::ReadI32() {
    return ReadWith([](DataFileCursor& cursor) { return cursor.I32(); });
}

std::optional<std::string> SaveStream::ReadString() {
    return ReadWith([](DataFileCursor& cursor) { return cursor.ReadString(); });
}

std::optional<std::string> SaveStream::ReadShortString() {
    return ReadWith([](DataFileCursor& cursor) { return cursor.ReadShortString(); });
}

bool SaveStream::CanHold(uint64_t count, size_t minimumBytes) {
    if (errorFlag) return false;
    DataFileCursor cursor(writer_.Bytes(), position_);
    if (cursor.CanHold(count, minimumBytes)) return true;
    errorFlag = true;
    return false;
}

}  // namespace velk
