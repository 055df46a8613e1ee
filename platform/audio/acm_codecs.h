#pragma once
// The codecs behind AcmStream, each made from a source format record.

#include <memory>

#include "platform/audio/acm_stream.h"

namespace velk::platform {

// The 16-bit PCM format a source converts to; nullopt-like false when no codec
// takes it. `extra` points at the format-specific bytes after the 18-byte
// record (`extra_bytes` of them).
bool SuggestAdpcmOrPcmFormat(const WaveFormat& source, const uint8_t* extra, uint32_t extra_bytes, WaveFormat* pcm);
std::unique_ptr<AcmCodec> CreateAdpcmOrPcmCodec(const WaveFormat& source, const uint8_t* extra, uint32_t extra_bytes);

bool SuggestMpegFormat(const WaveFormat& source, WaveFormat* pcm);
std::unique_ptr<AcmCodec> CreateMpegCodec(const WaveFormat& source);

}  // namespace velk::platform
