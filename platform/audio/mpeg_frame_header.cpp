#include "platform/audio/mpeg_frame_header.h"

#include <algorithm>

namespace velk::platform {
namespace {

// kbit/s for bit-rate indices 1..14.
constexpr uint16_t kMpeg1Rates[3][14] = {
    {32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
    {32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
    {32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320},
};
constexpr uint16_t kMpeg2Rates[2][14] = {
    {32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
    {8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
};
constexpr uint32_t kSamplingRates[2][3] = {{44100, 48000, 32000}, {22050, 24000, 16000}};

}  // namespace

std::optional<MpegFrameInfo> ParseMpegFrameHeader(const uint8_t header[4]) {
    if (!IsMpegSync(header[0], header[1])) return std::nullopt;
    MpegFrameInfo info;
    info.low_sampling_frequency = (header[1] & 0x08) == 0 ? 1 : 0;
    const int layer_bits = (header[1] >> 1) & 3;
    if (layer_bits == 0) return std::nullopt;
    info.layer_index = static_cast<uint8_t>(3 - layer_bits);
    info.bit_rate_index = static_cast<uint8_t>(header[2] >> 4);
    if (info.bit_rate_index == 0 || info.bit_rate_index == 15) return std::nullopt;
    info.sampling_rate_index = static_cast<uint8_t>((header[2] >> 2) & 3);
    if (info.sampling_rate_index == 3) return std::nullopt;
    info.padding = static_cast<uint8_t>((header[2] >> 1) & 1);
    info.channels = (header[3] >> 6) == 3 ? 1 : 2;
    info.sampling_rate = kSamplingRates[info.low_sampling_frequency][info.sampling_rate_index];
    const int row = info.low_sampling_frequency == 0 ? info.layer_index : (info.layer_index == 0 ? 0 : 1);
    info.bit_rate = info.low_sampling_frequency == 0 ? kMpeg1Rates[row][info.bit_rate_index - 1]
                                                     : kMpeg2Rates[row][info.bit_rate_index - 1];
    if (info.layer_index == 0) {
        info.frame_length = (12000 * info.bit_rate / info.sampling_rate + info.padding) * 4;
        info.samples_per_frame = 384;
    } else if (info.layer_index == 1 || info.low_sampling_frequency == 0) {
        info.frame_length = 144000 * info.bit_rate / info.sampling_rate + info.padding;
        info.samples_per_frame = 1152;
    } else {
        info.frame_length = 72000 * info.bit_rate / info.sampling_rate + info.padding;
        info.samples_per_frame = 576;
    }
    return info;
}

MpegFrameScan ScanMpegFrame(const uint8_t* data, size_t size, size_t offset) {
    MpegFrameScan scan;
    size_t at = offset;
    for (; at + 4 <= size; ++at) {
        if (!IsMpegSync(data[at], data[at + 1])) continue;
        const std::optional<MpegFrameInfo> info = ParseMpegFrameHeader(data + at);
        if (!info) continue;
        scan.result = info->frame_length <= size - at ? MpegFrameScan::kWhole : MpegFrameScan::kCutOff;
        scan.offset = at;
        scan.info = *info;
        return scan;
    }
    scan.offset = std::max(offset, size >= 3 ? size - 3 : 0);
    return scan;
}

}  // namespace velk::platform
