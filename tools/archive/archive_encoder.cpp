#include "tools/archive/archive_encoder.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "lib/core/files/archive_format.h"

namespace velk::tools {

namespace {

constexpr size_t kMinMatch = 4;
constexpr size_t kMaxMatch = 8195;
constexpr uint32_t kMaxDistance = 1u << 24;
constexpr int kHashBits = 17;

uint32_t Hash4(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return (v * 2654435761u) >> (32 - kHashBits);
}

uint8_t LeastFrequentByte(std::span<const uint8_t> data) {
    std::array<uint64_t, 256> counts{};
    for (uint8_t b : data) {
        ++counts[b];
    }
    return static_cast<uint8_t>(std::min_element(counts.begin(), counts.end()) - counts.begin());
}

size_t DistanceBytes(size_t distance) {
    const size_t value = distance - 1;
    return value < 0x100 ? 1 : value < 0x10000 ? 2 : 3;
}

// Bytes a match takes: marker, code, the optional length byte, the distance.
size_t MatchCost(size_t length, size_t distance) {
    return 2 + (length - kMinMatch >= 32 ? 1 : 0) + DistanceBytes(distance);
}

void PutU32(std::vector<uint8_t>& out, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        out[at + i] = static_cast<uint8_t>(value >> (8 * i));
    }
}

class Encoder {
public:
    Encoder(std::span<const uint8_t> data, const ArchiveEncoderOptions& options)
        : data_(data),
          window_(std::clamp<uint32_t>(options.window, 1, kMaxDistance)),
          depth_(std::max<uint32_t>(options.chain_depth, 1)),
          marker_(LeastFrequentByte(data)),
          head_(size_t{1} << kHashBits, -1),
          previous_(std::min<size_t>(window_, std::max<size_t>(data.size(), 1)), -1) {}

    std::vector<uint8_t> Run() {
        std::vector<uint8_t> out(kArchiveDataHeadSize);
        out.reserve(data_.size() / 2 + 64);
        out[8] = marker_;
        size_t at = 0;
        while (at < data_.size()) {
            size_t length = 0;
            size_t distance = 0;
            FindMatch(at, &length, &distance);
            if (length >= kMinMatch && MatchCost(length, distance) < LiteralCost(at, length)) {
                PutMatch(out, length, distance);
                for (size_t i = 0; i < length; ++i) {
                    Insert(at + i);
                }
                at += length;
            } else {
                PutLiteral(out, data_[at]);
                Insert(at);
                ++at;
            }
        }
        PutU32(out, 0, static_cast<uint32_t>(data_.size()));
        PutU32(out, 4, static_cast<uint32_t>(out.size()));
        return out;
    }

private:
    size_t LiteralCost(size_t at, size_t length) const {
        size_t cost = 0;
        for (size_t i = 0; i < length; ++i) {
            cost += data_[at + i] == marker_ ? 2 : 1;
        }
        return cost;
    }

    void Insert(size_t at) {
        if (at + kMinMatch > data_.size()) {
            return;
        }
        const uint32_t hash = Hash4(data_.data() + at);
        previous_[at % previous_.size()] = head_[hash];
        head_[hash] = static_cast<int64_t>(at);
    }

    void FindMatch(size_t at, size_t* best_length, size_t* best_distance) const {
        if (at + kMinMatch > data_.size()) {
            return;
        }
        const size_t limit = std::min(kMaxMatch, data_.size() - at);
        int64_t candidate = head_[Hash4(data_.data() + at)];
        for (uint32_t tries = 0; tries < depth_ && candidate >= 0; ++tries) {
            const size_t from = static_cast<size_t>(candidate);
            const size_t distance = at - from;
            if (distance > window_ || distance > previous_.size()) {
                break;
            }
            if (data_[from + *best_length] == data_[at + *best_length] || *best_length == 0) {
                size_t length = 0;
                while (length < limit && data_[from + length] == data_[at + length]) {
                    ++length;
                }
                if (length > *best_length) {
                    *best_length = length;
                    *best_distance = distance;
                    if (length == limit) {
                        break;
                    }
                }
            }
            candidate = previous_[from % previous_.size()];
            if (candidate >= static_cast<int64_t>(from)) {
                break;  // the ring slot was reused by a newer position
            }
        }
    }

    void PutLiteral(std::vector<uint8_t>& out, uint8_t byte) const {
        out.push_back(byte);
        if (byte == marker_) {
            out.push_back(marker_);
        }
    }

    void PutMatch(std::vector<uint8_t>& out, size_t length, size_t distance) const {
        const size_t extra = length - kMinMatch;
        const bool long_length = extra >= 32;
        const size_t distance_bytes = DistanceBytes(distance);
        uint32_t code = static_cast<uint32_t>(((extra & 31) << 3) | (long_length ? 4 : 0) | (distance_bytes - 1));
        // Codes from the marker up are written one higher, so the marker
        // itself is free to mean a literal marker.
        if (code >= marker_) {
            ++code;
        }
        out.push_back(marker_);
        out.push_back(static_cast<uint8_t>(code));
        if (long_length) {
            out.push_back(static_cast<uint8_t>(extra >> 5));
        }
        const size_t value = distance - 1;
        for (size_t i = 0; i < distance_bytes; ++i) {
            out.push_back(static_cast<uint8_t>(value >> (8 * i)));
        }
    }

    std::span<const uint8_t> data_;
    const uint32_t window_;
    const uint32_t depth_;
    const uint8_t marker_;
    std::vector<int64_t> head_;
    std::vector<int64_t> previous_;  // a ring over the window
};

}  // namespace

std::vector<uint8_t> EncodeArchiveData(std::span<const uint8_t> data, const ArchiveEncoderOptions& options) {
    return Encoder(data, options).Run();
}

}  // namespace velk::tools
