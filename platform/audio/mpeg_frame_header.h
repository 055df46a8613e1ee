#pragma once
// MPEG audio frame headers (ISO/IEC 11172-3 and 13818-3): the four header
// bytes give the layer, rates, padding and channels, from which follow the
// frame's length in bytes and its number of samples.

#include <cstddef>
#include <cstdint>
#include <optional>

namespace velk::platform {

struct MpegFrameInfo {
    uint8_t layer_index = 0;        // 0 Layer I, 1 Layer II, 2 Layer III
    uint8_t low_sampling_frequency = 0;  // 1 for MPEG-2
    uint8_t bit_rate_index = 0;
    uint8_t sampling_rate_index = 0;
    uint8_t padding = 0;
    uint8_t channels = 0;
    uint32_t sampling_rate = 0;     // Hz
    uint32_t bit_rate = 0;          // kbit/s
    uint32_t frame_length = 0;      // bytes, header included
    uint32_t samples_per_frame = 0;
};

// True when the two bytes start a frame header: 0xFF, then a byte whose top
// four bits are set (MPEG-1 or MPEG-2).
inline bool IsMpegSync(uint8_t first, uint8_t second) { return first == 0xFF && (second & 0xF0) == 0xF0; }

// Parses four header bytes. Refuses a missing sync, the reserved layer,
// sampling-rate and bit-rate values, and free-format frames (bit-rate index
// 0), whose length the header does not give.
std::optional<MpegFrameInfo> ParseMpegFrameHeader(const uint8_t header[4]);

// The next frame in `data` from `offset` on, past bytes that do not start a
// valid header: whole, cut off by the end of the data (`offset` then names its
// header), or none (`offset` then names the first byte that could still begin
// a header once more data follows).
struct MpegFrameScan {
    enum Result { kWhole, kCutOff, kNone } result = kNone;
    size_t offset = 0;
    MpegFrameInfo info;
};
MpegFrameScan ScanMpegFrame(const uint8_t* data, size_t size, size_t offset);

}  // namespace velk::platform
