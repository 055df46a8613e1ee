#include "platform/audio/acm_stream.h"

#include <algorithm>

#include "platform/audio/acm_codecs.h"
#include "platform/audio/audio_faults.h"

namespace velk::platform {
namespace {

// The record plus its format-specific bytes, as far as present.
struct SourceFormat {
    WaveFormat format;
    const uint8_t* extra = nullptr;
    uint32_t extra_bytes = 0;
};

bool ReadSourceFormat(const uint8_t* bytes, uint32_t size, SourceFormat* out) {
    if (bytes == nullptr || size < 16) return false;
    out->format = LoadWaveFormat(bytes, size);
    if (size > kWaveFormatBytes) {
        out->extra = bytes + kWaveFormatBytes;
        out->extra_bytes = std::min<uint32_t>(size - kWaveFormatBytes, out->format.extra_size);
    }
    return true;
}

bool IsMpegTag(uint16_t tag) { return tag == kWaveFormatMpegLayer3 || tag == kWaveFormatMpeg; }

}  // namespace

uint32_t AcmMaxFormatSize() { return 256; }

void StoreMpegLayer3Format(const WaveFormat& format, const MpegLayer3Extra& extra,
                           uint8_t out[kMpegLayer3FormatBytes]) {
    StoreWaveFormat(format, out);
    uint8_t* p = out + kWaveFormatBytes;
    const auto put16 = [&](uint16_t v) {
        *p++ = static_cast<uint8_t>(v);
        *p++ = static_cast<uint8_t>(v >> 8);
    };
    put16(extra.id);
    put16(static_cast<uint16_t>(extra.flags));
    put16(static_cast<uint16_t>(extra.flags >> 16));
    put16(extra.block_size);
    put16(extra.frames_per_block);
    put16(extra.codec_delay);
}

bool AcmSuggestPcmFormat(const uint8_t* source_format, uint32_t source_format_bytes, WaveFormat* pcm) {
    if (AudioStepFails(AudioStep::kAcmSuggestFormat)) return false;
    SourceFormat source;
    if (!ReadSourceFormat(source_format, source_format_bytes, &source)) return false;
    if (IsMpegTag(source.format.format_tag)) return SuggestMpegFormat(source.format, pcm);
    return SuggestAdpcmOrPcmFormat(source.format, source.extra, source.extra_bytes, pcm);
}

std::unique_ptr<AcmStream> AcmStream::Open(const uint8_t* source_format, uint32_t source_format_bytes,
                                           const WaveFormat& pcm) {
    if (AudioStepFails(AudioStep::kAcmOpenStream)) return nullptr;
    SourceFormat source;
    WaveFormat suggested;
    if (!ReadSourceFormat(source_format, source_format_bytes, &source)) return nullptr;
    const bool mpeg = IsMpegTag(source.format.format_tag);
    const bool known = mpeg ? SuggestMpegFormat(source.format, &suggested)
                            : SuggestAdpcmOrPcmFormat(source.format, source.extra, source.extra_bytes, &suggested);
    // Each codec converts into exactly the format it suggests.
    if (!known || !(suggested == pcm)) return nullptr;
    std::unique_ptr<AcmCodec> codec =
        mpeg ? CreateMpegCodec(source.format) : CreateAdpcmOrPcmCodec(source.format, source.extra, source.extra_bytes);
    if (!codec) return nullptr;
    return std::unique_ptr<AcmStream>(new AcmStream(std::move(codec)));
}

AcmStream::AcmStream(std::unique_ptr<AcmCodec> codec) : codec_(std::move(codec)) {}
AcmStream::~AcmStream() = default;

uint32_t AcmStream::OutputBytesFor(const uint8_t* source, uint32_t source_bytes) const {
    return source == nullptr ? 0 : codec_->OutputBytesFor(source, source_bytes);
}

bool AcmStream::PrepareHeader(AcmStreamHeader* header) {
    if (header == nullptr || header->prepared || AudioStepFails(AudioStep::kAcmPrepareHeader)) return false;
    header->prepared = true;
    return true;
}

bool AcmStream::Convert(AcmStreamHeader* header) {
    if (header == nullptr || !header->prepared) return false;
    header->source_used = 0;
    header->destination_used = 0;
    if (header->source == nullptr || header->destination == nullptr) return false;
    codec_->Convert(*header);
    return true;
}

bool AcmStream::UnprepareHeader(AcmStreamHeader* header) {
    if (header == nullptr || !header->prepared) return false;
    header->prepared = false;
    return true;
}

}  // namespace velk::platform
