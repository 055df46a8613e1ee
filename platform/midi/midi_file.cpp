#include "platform/midi/midi_file.h"

#include <algorithm>
#include <cstring>

namespace velk::platform {
namespace {

// One bounded cursor over the file; every read past the end fails.
class Cursor {
public:
    explicit Cursor(std::span<const uint8_t> bytes) : bytes_(bytes) {}

    size_t Left() const { return bytes_.size() - position_; }
    size_t Position() const { return position_; }

    bool Byte(uint8_t& value) {
        if (Left() < 1) return false;
        value = bytes_[position_++];
        return true;
    }
    bool Big16(uint16_t& value) {
        if (Left() < 2) return false;
        value = static_cast<uint16_t>((bytes_[position_] << 8) | bytes_[position_ + 1]);
        position_ += 2;
        return true;
    }
    bool Big32(uint32_t& value) {
        if (Left() < 4) return false;
        value = (uint32_t{bytes_[position_]} << 24) | (uint32_t{bytes_[position_ + 1]} << 16) |
                (uint32_t{bytes_[position_ + 2]} << 8) | bytes_[position_ + 3];
        position_ += 4;
        return true;
    }
    bool Tag(const char (&tag)[5]) {
        if (Left() < 4 || std::memcmp(bytes_.data() + position_, tag, 4) != 0) return false;
        position_ += 4;
        return true;
    }
    bool Skip(size_t count) {
        if (Left() < count) return false;
        position_ += count;
        return true;
    }
    // A variable-length quantity: at most four bytes.
    bool Quantity(uint32_t& value) {
        value = 0;
        for (int i = 0; i < 4; ++i) {
            uint8_t byte = 0;
            if (!Byte(byte)) return false;
            value = (value << 7) | (byte & 0x7F);
            if ((byte & 0x80) == 0) return true;
        }
        return false;
    }
    std::span<const uint8_t> Take(size_t count) {
        std::span<const uint8_t> part = bytes_.subspan(position_, count);
        position_ += count;
        return part;
    }

private:
    std::span<const uint8_t> bytes_;
    size_t position_ = 0;
};

// The tempo of the first track's events at tick 0; the default when there is
// none or the events there do not parse.
uint32_t StartTempoOf(std::span<const uint8_t> track) {
    constexpr uint32_t kDefault = 500000;
    Cursor cursor(track);
    uint8_t status = 0;
    while (cursor.Left() > 0) {
        uint32_t delta = 0;
        if (!cursor.Quantity(delta) || delta != 0) return kDefault;
        uint8_t byte = 0;
        if (!cursor.Byte(byte)) return kDefault;
        if (byte == 0xFF) {
            uint8_t type = 0;
            uint32_t length = 0;
            if (!cursor.Byte(type) || !cursor.Quantity(length) || cursor.Left() < length) return kDefault;
            std::span<const uint8_t> data = cursor.Take(length);
            if (type == 0x51 && length == 3) return (uint32_t{data[0]} << 16) | (uint32_t{data[1]} << 8) | data[2];
            continue;
        }
        if (byte == 0xF0 || byte == 0xF7) {
            uint32_t length = 0;
            if (!cursor.Quantity(length) || !cursor.Skip(length)) return kDefault;
            continue;
        }
        size_t dataBytes = 0;
        if (byte & 0x80) {
            status = byte;
            dataBytes = 0;
        } else {
            if (status == 0) return kDefault;
            dataBytes = 1;  // the byte just read was the first data byte
        }
        const uint8_t kind = status & 0xF0;
        const size_t needed = (kind == 0xC0 || kind == 0xD0) ? 1 : 2;
        if (!cursor.Skip(needed - dataBytes)) return kDefault;
    }
    return kDefault;
}

}  // namespace

std::optional<MidiFileFacts> ReadMidiFileFacts(std::span<const uint8_t> bytes) {
    Cursor cursor(bytes);
    uint32_t headerLength = 0;
    MidiFileFacts facts;
    if (!cursor.Tag("MThd") || !cursor.Big32(headerLength) || headerLength < 6) return std::nullopt;
    if (!cursor.Big16(facts.format) || !cursor.Big16(facts.tracks) || !cursor.Big16(facts.division))
        return std::nullopt;
    if (!cursor.Skip(headerLength - 6)) return std::nullopt;
    if (facts.format > 2 || facts.tracks == 0 || facts.division == 0) return std::nullopt;
    if ((facts.division & 0x8000) != 0 && (facts.division & 0xFF) == 0) return std::nullopt;
    uint16_t found = 0;
    while (found < facts.tracks) {
        const bool track = cursor.Tag("MTrk");
        if (!track && !cursor.Skip(4)) return std::nullopt;
        uint32_t length = 0;
        if (!cursor.Big32(length) || cursor.Left() < length) return std::nullopt;
        std::span<const uint8_t> body = cursor.Take(length);
        if (!track) continue;
        if (found == 0) facts.startTempo = StartTempoOf(body);
        ++found;
    }
    return facts;
}

int64_t MidiTicksForMilliseconds(const MidiFileFacts& facts, int64_t ms) {
    if (ms <= 0) return 0;
    if ((facts.division & 0x8000) != 0) {
        const int64_t framesPerSecond = 256 - (facts.division >> 8);
        return ms * framesPerSecond * (facts.division & 0xFF) / 1000;
    }
    const int64_t tempo = std::max<uint32_t>(facts.startTempo, 1);
    return ms * 1000 * facts.division / tempo;
}

}  // namespace velk::platform
