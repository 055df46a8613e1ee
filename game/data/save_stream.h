#pragma once
// The buffer a save is written into and read back from, part by part, in
// little-endian order at a running position. Every read checks the value
// against the end first; short data sets the error flag (and every later
// read fails too), which makes the loader refuse the save.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "game/data/byte_writer.h"

namespace velk {

class DataFileCursor;

class SaveStream {
public:
    // The save version this program writes; readers of older saves see the
    // version the file carries.
    static constexpr uint16_t kCurrentVersion = 111;

    SaveStream() = default;
    // For reading `bytes` from `position` on.
    explicit SaveStream(std::vector<uint8_t> bytes, size_t position = 0);

    ByteWriter& Writer() { return writer_; }
    const std::vector<uint8_t>& Bytes() const { return writer_.Bytes(); }

    std::optional<uint8_t> ReadU8();
    std::optional<uint16_t> ReadU16();
    std::optional<uint32_t> ReadU32();
    std::optional<int32_t> ReadI32();
    // 32-bit length counting the zero byte, then the bytes.
    std::optional<std::string> ReadString();
    // 16-bit length, then that many bytes (the text ends at a zero byte).
    std::optional<std::string> ReadShortString();
    // Whether `count` values of at least `minimumBytes` each could still follow;
    // sets the error flag when not.
    bool CanHold(uint64_t count, size_t minimumBytes);

    size_t Position() const { return position_; }
    bool errorFlag = false;
    uint16_t version = kCurrentVersion;

private:
    template <typename Read>
    auto ReadWith(Read read) -> decltype(read(std::declval<DataFileCursor&>()));

    ByteWriter writer_;
    size_t position_ = 0;
};

}  // namespace velk
