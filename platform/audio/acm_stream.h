#pragma once
// The stand-in for the audio compression manager: it turns compressed WAVE
// data into 16-bit PCM. Codecs: MPEG audio (Layers I-III, through libmpg123),
// IMA ADPCM, Microsoft ADPCM, mu-law and A-law. Conversion goes in whole
// source blocks (MPEG frames) whose output fits the destination.

#include <cstdint>
#include <memory>

#include "platform/audio/wave_format.h"

namespace velk::platform {

// The largest source format record a codec takes, in bytes.
uint32_t AcmMaxFormatSize();

// The MPEG Layer-3 source format's extra fields, after the 18-byte record.
struct MpegLayer3Extra {
    uint16_t id = 1;               // 1: MPEG
    uint32_t flags = 0;            // the first frame's padding bit
    uint16_t block_size = 0;       // the first frame's length
    uint16_t frames_per_block = 1;
    uint16_t codec_delay = 0;
};
inline constexpr uint32_t kMpegLayer3FormatBytes = 30;
void StoreMpegLayer3Format(const WaveFormat& format, const MpegLayer3Extra& extra, uint8_t out[kMpegLayer3FormatBytes]);

// Fills `pcm` with the 16-bit PCM format the source converts to (its
// channels and rate). False when no codec takes the source format.
// `source_format` is the whole format record, format-specific bytes included.
bool AcmSuggestPcmFormat(const uint8_t* source_format, uint32_t source_format_bytes, WaveFormat* pcm);

struct AcmStreamHeader {
    const uint8_t* source = nullptr;
    uint32_t source_bytes = 0;
    uint32_t source_used = 0;
    uint8_t* destination = nullptr;
    uint32_t destination_bytes = 0;
    uint32_t destination_used = 0;
    bool prepared = false;
};

class AcmCodec;

class AcmStream {
public:
    // Null when no codec converts the source format into `pcm`.
    static std::unique_ptr<AcmStream> Open(const uint8_t* source_format, uint32_t source_format_bytes,
                                           const WaveFormat& pcm);
    ~AcmStream();
    AcmStream(const AcmStream&) = delete;
    AcmStream& operator=(const AcmStream&) = delete;

    // The PCM bytes that the given source data converts to: never below what
    // converting it really gives.
    uint32_t OutputBytesFor(const uint8_t* source, uint32_t source_bytes) const;

    bool PrepareHeader(AcmStreamHeader* header);
    // Converts whole source blocks from the header's source while their output
    // fits the destination; a last short block that is all the source holds is
    // converted too. Sets the bytes used on both sides.
    bool Convert(AcmStreamHeader* header);
    bool UnprepareHeader(AcmStreamHeader* header);

private:
    explicit AcmStream(std::unique_ptr<AcmCodec> codec);
    std::unique_ptr<AcmCodec> codec_;
};

// One codec behind a stream.
class AcmCodec {
public:
    virtual ~AcmCodec() = default;
    virtual uint32_t OutputBytesFor(const uint8_t* source, uint32_t source_bytes) const = 0;
    virtual void Convert(AcmStreamHeader& header) = 0;
};

}  // namespace velk::platform
