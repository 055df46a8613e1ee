// Codecs that turn fixed-size source blocks into 16-bit PCM: IMA ADPCM,
// Microsoft ADPCM, mu-law, A-law, and integer or float PCM that the mixer
// cannot play directly (24/32-bit, more than two channels, extensible).

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <vector>

#include "platform/audio/acm_codecs.h"

namespace velk::platform {
namespace {

int16_t Read16(const uint8_t* p) { return static_cast<int16_t>(static_cast<uint16_t>(p[0] | (p[1] << 8))); }

uint16_t ReadU16(const uint8_t* extra, uint32_t extra_bytes, uint32_t offset) {
    return offset + 2 <= extra_bytes ? static_cast<uint16_t>(extra[offset] | (extra[offset + 1] << 8)) : 0;
}

void Write16(uint8_t* out, int32_t value) {
    const auto sample = static_cast<uint16_t>(static_cast<int16_t>(std::clamp(value, -32768, 32767)));
    out[0] = static_cast<uint8_t>(sample);
    out[1] = static_cast<uint8_t>(sample >> 8);
}

// Source blocks of `block_align` bytes, each giving up to `SamplesPerBlock()`
// frames of `out_channels` 16-bit samples.
class BlockCodec : public AcmCodec {
public:
    BlockCodec(uint32_t block_align, uint32_t samples_per_block, uint32_t out_channels)
        : block_align_(block_align), samples_per_block_(samples_per_block), out_frame_bytes_(2 * out_channels) {}

    uint32_t OutputBytesFor(const uint8_t*, uint32_t source_bytes) const override {
        const uint64_t frames = static_cast<uint64_t>(source_bytes / block_align_) * samples_per_block_ +
                                FramesInShortBlock(source_bytes % block_align_);
        return static_cast<uint32_t>(std::min<uint64_t>(frames * out_frame_bytes_, UINT32_MAX));
    }

    void Convert(AcmStreamHeader& header) override {
        const uint32_t block_bytes_out = samples_per_block_ * out_frame_bytes_;
        uint32_t in = 0;
        uint32_t out = 0;
        while (header.source_bytes - in >= block_align_ && header.destination_bytes - out >= block_bytes_out) {
            out += DecodeBlock(header.source + in, block_align_, header.destination + out) * out_frame_bytes_;
            in += block_align_;
        }
        // A source shorter than one block can only be the data's last block.
        if (header.source_bytes < block_align_ && in == 0) {
            const uint32_t frames = FramesInShortBlock(header.source_bytes);
            if (frames > 0 && frames * out_frame_bytes_ <= header.destination_bytes) {
                out += DecodeBlock(header.source, header.source_bytes, header.destination) * out_frame_bytes_;
                in = header.source_bytes;
            }
        }
        header.source_used = in;
        header.destination_used = out;
    }

protected:
    // Frames a block of `bytes` (< block_align) holds.
    virtual uint32_t FramesInShortBlock(uint32_t bytes) const = 0;
    // Decodes one block of `bytes` bytes; returns the frames written.
    virtual uint32_t DecodeBlock(const uint8_t* block, uint32_t bytes, uint8_t* out) = 0;

    uint32_t block_align_;
    uint32_t samples_per_block_;
    uint32_t out_frame_bytes_;
};

// ---- IMA ADPCM ----

constexpr int16_t kImaSteps[89] = {
    7,     8,     9,     10,    11,    12,    13,    14,    16,    17,    19,    21,    23,    25,    28,
    31,    34,    37,    41,    45,    50,    55,    60,    66,    73,    80,    88,    97,    107,   118,
    130,   143,   157,   173,   190,   209,   230,   253,   279,   307,   337,   371,   408,   449,   494,
    544,   598,   658,   724,   796,   876,   963,   1060,  1166,  1282,  1411,  1552,  1707,  1878,  2066,
    2272,  2499,  2749,  3024,  3327,  3660,  4026,  4428,  4871,  5358,  5894,  6484,  7132,  7845,  8630,
    9493,  10442, 11487, 12635, 13899, 15289, 16818, 18500, 20350, 22385, 24623, 27086, 29794, 32767};
constexpr int8_t kImaIndexShift[16] = {-1, -1, -1, -1, 2, 4, 6, 8, -1, -1, -1, -1, 2, 4, 6, 8};

struct ImaChannel {
    int32_t predictor = 0;
    int32_t index = 0;

    int16_t Decode(uint8_t nibble) {
        const int32_t step = kImaSteps[index];
        int32_t diff = step >> 3;
        if (nibble & 1) diff += step >> 2;
        if (nibble & 2) diff += step >> 1;
        if (nibble & 4) diff += step;
        predictor = std::clamp(nibble & 8 ? predictor - diff : predictor + diff, -32768, 32767);
        index = std::clamp(index + kImaIndexShift[nibble], 0, 88);
        return static_cast<int16_t>(predictor);
    }
};

class ImaAdpcmCodec final : public BlockCodec {
public:
    ImaAdpcmCodec(uint32_t block_align, uint32_t channels)
        : BlockCodec(block_align, (block_align - 4 * channels) * 2 / channels + 1, channels), channels_(channels) {}

    static bool Valid(const WaveFormat& f) {
        return f.bits_per_sample == 4 && (f.channels == 1 || f.channels == 2) && f.block_align > 4 * f.channels &&
               (f.block_align - 4 * f.channels) % (4 * f.channels) == 0;
    }

protected:
    uint32_t FramesInShortBlock(uint32_t bytes) const override {
        if (bytes < 4 * channels_) return 0;
        return 1 + (bytes - 4 * channels_) / (4 * channels_) * 8;
    }

    uint32_t DecodeBlock(const uint8_t* block, uint32_t bytes, uint8_t* out) override {
        const uint32_t frames = bytes == block_align_ ? samples_per_block_ : FramesInShortBlock(bytes);
        ImaChannel state[2];
        for (uint32_t c = 0; c < channels_; ++c) {
            state[c].predictor = Read16(block + 4 * c);
            state[c].index = std::min<int32_t>(block[4 * c + 2], 88);
            Write16(out + 2 * c, state[c].predictor);
        }
        // After the headers, each channel in turn gives 4 bytes = 8 samples.
        const uint8_t* data = block + 4 * channels_;
        for (uint32_t group = 0; 1 + group * 8 < frames; ++group) {
            for (uint32_t c = 0; c < channels_; ++c) {
                const uint8_t* word = data + (group * channels_ + c) * 4;
                for (uint32_t k = 0; k < 8; ++k) {
                    const uint8_t nibble = (k & 1) ? word[k / 2] >> 4 : word[k / 2] & 0x0F;
                    const uint32_t frame = 1 + group * 8 + k;
                    Write16(out + (frame * channels_ + c) * 2, state[c].Decode(nibble));
                }
            }
        }
        return frames;
    }

private:
    uint32_t channels_;
};

// ---- Microsoft ADPCM ----

constexpr int32_t kMsAdaptation[16] = {230, 230, 230, 230, 307, 409, 512, 614,
                                       768, 614, 512, 409, 307, 230, 230, 230};
constexpr int16_t kMsStandardCoefficients[7][2] = {{256, 0},  {512, -256}, {0, 0},     {192, 64},
                                                   {240, 0}, {460, -208}, {392, -232}};

class MsAdpcmCodec final : public BlockCodec {
public:
    MsAdpcmCodec(uint32_t block_align, uint32_t channels, std::vector<std::array<int16_t, 2>> coefficients)
        : BlockCodec(block_align, (block_align - 7 * channels) * 2 / channels + 2, channels),
          channels_(channels),
          coefficients_(std::move(coefficients)) {}

    static bool Valid(const WaveFormat& f) {
        return f.bits_per_sample == 4 && (f.channels == 1 || f.channels == 2) && f.block_align >= 7 * f.channels + 1;
    }

    // The coefficient table from the format's extra bytes; the standard seven
    // when the extra bytes hold none.
    static std::vector<std::array<int16_t, 2>> Coefficients(const uint8_t* extra, uint32_t extra_bytes) {
        std::vector<std::array<int16_t, 2>> table;
        const uint16_t count = ReadU16(extra, extra_bytes, 2);
        for (uint32_t i = 0; i < count && 4 + 4 * i + 4 <= extra_bytes; ++i) {
            table.push_back({Read16(extra + 4 + 4 * i), Read16(extra + 6 + 4 * i)});
        }
        if (table.empty()) {
            for (const auto& pair : kMsStandardCoefficients) table.push_back({pair[0], pair[1]});
        }
        return table;
    }

protected:
    uint32_t FramesInShortBlock(uint32_t bytes) const override {
        if (bytes < 7 * channels_) return 0;
        return 2 + (bytes - 7 * channels_) * 2 / channels_;
    }

    uint32_t DecodeBlock(const uint8_t* block, uint32_t bytes, uint8_t* out) override {
        const uint32_t frames = bytes == block_align_ ? samples_per_block_ : FramesInShortBlock(bytes);
        struct State {
            int32_t c1 = 0, c2 = 0, delta = 0, s1 = 0, s2 = 0;
        } state[2];
        const uint32_t n = channels_;
        for (uint32_t c = 0; c < n; ++c) {
            const uint32_t predictor = block[c];
            if (predictor < coefficients_.size()) {
                state[c].c1 = coefficients_[predictor][0];
                state[c].c2 = coefficients_[predictor][1];
            }
            state[c].delta = Read16(block + n + 2 * c);
            state[c].s1 = Read16(block + 3 * n + 2 * c);
            state[c].s2 = Read16(block + 5 * n + 2 * c);
            Write16(out + 2 * c, state[c].s2);
            Write16(out + 2 * (n + c), state[c].s1);
        }
        const uint8_t* data = block + 7 * n;
        // Nibbles run high first, alternating between the channels.
        for (uint32_t i = 0; i < (frames - 2) * n; ++i) {
            const uint8_t byte = data[i / 2];
            const int32_t nibble = (i & 1) ? byte & 0x0F : byte >> 4;
            const int32_t signed_nibble = nibble >= 8 ? nibble - 16 : nibble;
            State& s = state[i % n];
            // Damaged blocks can carry any delta; 64-bit sums and a bounded
            // delta keep the arithmetic defined (valid data never comes near).
            int64_t predicted = (int64_t{s.s1} * s.c1 + int64_t{s.s2} * s.c2) >> 8;
            predicted = std::clamp<int64_t>(predicted + int64_t{signed_nibble} * s.delta, -32768, 32767);
            s.s2 = s.s1;
            s.s1 = static_cast<int32_t>(predicted);
            s.delta = static_cast<int32_t>(std::clamp<int64_t>((int64_t{kMsAdaptation[nibble]} * s.delta) >> 8, 16, 1 << 24));
            Write16(out + 2 * (2 * n + i), static_cast<int32_t>(predicted));
        }
        return frames;
    }

private:
    uint32_t channels_;
    std::vector<std::array<int16_t, 2>> coefficients_;
};

// ---- mu-law and A-law ----

int16_t MuLawToLinear(uint8_t code) {
    code = static_cast<uint8_t>(~code);
    const int32_t exponent = (code >> 4) & 7;
    const int32_t magnitude = (((code & 0x0F) << 3) + 0x84) << exponent;
    return static_cast<int16_t>(code & 0x80 ? 0x84 - magnitude : magnitude - 0x84);
}

int16_t ALawToLinear(uint8_t code) {
    code ^= 0x55;
    const int32_t exponent = (code >> 4) & 7;
    int32_t magnitude = (code & 0x0F) << 4;
    magnitude = exponent == 0 ? magnitude + 8 : (magnitude + 0x108) << (exponent - 1);
    return static_cast<int16_t>(code & 0x80 ? magnitude : -magnitude);
}

class LawCodec final : public BlockCodec {
public:
    LawCodec(uint32_t channels, bool mu_law) : BlockCodec(channels, 1, channels), mu_law_(mu_law) {}

protected:
    uint32_t FramesInShortBlock(uint32_t) const override { return 0; }
    uint32_t DecodeBlock(const uint8_t* block, uint32_t bytes, uint8_t* out) override {
        for (uint32_t i = 0; i < bytes; ++i) Write16(out + 2 * i, mu_law_ ? MuLawToLinear(block[i]) : ALawToLinear(block[i]));
        return 1;
    }

private:
    bool mu_law_;
};

// ---- PCM the mixer does not play directly ----

class PcmReformatCodec final : public BlockCodec {
public:
    PcmReformatCodec(uint32_t channels, uint32_t bytes_per_sample, bool is_float)
        : BlockCodec(channels * bytes_per_sample, 1, std::min<uint32_t>(channels, 2)),
          channels_(channels),
          bytes_per_sample_(bytes_per_sample),
          float_(is_float) {}

protected:
    uint32_t FramesInShortBlock(uint32_t) const override { return 0; }
    uint32_t DecodeBlock(const uint8_t* block, uint32_t, uint8_t* out) override {
        // More than two channels keep the first two (front left and right).
        for (uint32_t c = 0; c < std::min<uint32_t>(channels_, 2); ++c) {
            Write16(out + 2 * c, Sample(block + c * bytes_per_sample_));
        }
        return 1;
    }

private:
    int32_t Sample(const uint8_t* p) const {
        if (float_) {
            double value;
            if (bytes_per_sample_ == 4) {
                float f;
                std::memcpy(&f, p, 4);
                value = f;
            } else {
                std::memcpy(&value, p, 8);
            }
            if (!std::isfinite(value)) return 0;
            return static_cast<int32_t>(std::lround(std::clamp(value, -1.0, 1.0) * 32767.0));
        }
        switch (bytes_per_sample_) {
            case 1: return (static_cast<int32_t>(p[0]) - 128) * 256;
            case 2: return Read16(p);
            default: return Read16(p + bytes_per_sample_ - 2);  // the top 16 bits
        }
    }

    uint32_t channels_;
    uint32_t bytes_per_sample_;
    bool float_;
};

// The format an extensible record stands for: its sub-format's tag.
WaveFormat Unwrap(const WaveFormat& source, const uint8_t* extra, uint32_t extra_bytes) {
    WaveFormat format = source;
    if (source.format_tag == kWaveFormatExtensible) format.format_tag = extra_bytes >= 22 ? ReadU16(extra, extra_bytes, 6) : 0;
    return format;
}

bool IsReformattablePcm(const WaveFormat& f) {
    if (f.channels < 1 || f.channels > 8) return false;
    const uint32_t bytes = f.bits_per_sample / 8;
    if (f.bits_per_sample % 8 != 0 || f.block_align != f.channels * bytes) return false;
    if (f.format_tag == kWaveFormatIeeeFloat) return bytes == 4 || bytes == 8;
    return f.format_tag == kWaveFormatPcm && bytes >= 1 && bytes <= 4;
}

}  // namespace

bool SuggestAdpcmOrPcmFormat(const WaveFormat& source, const uint8_t* extra, uint32_t extra_bytes, WaveFormat* pcm) {
    const WaveFormat format = Unwrap(source, extra, extra_bytes);
    if (format.samples_per_second < kMinSoundFrequency || format.samples_per_second > kMaxSoundFrequency) return false;
    bool known = false;
    uint16_t out_channels = format.channels;
    switch (format.format_tag) {
        case kWaveFormatImaAdpcm: known = ImaAdpcmCodec::Valid(format); break;
        case kWaveFormatMsAdpcm: known = MsAdpcmCodec::Valid(format); break;
        case kWaveFormatMuLaw:
        case kWaveFormatALaw:
            known = (format.channels == 1 || format.channels == 2) && format.block_align == format.channels;
            break;
        case kWaveFormatPcm:
        case kWaveFormatIeeeFloat:
            known = IsReformattablePcm(format);
            out_channels = std::min<uint16_t>(format.channels, 2);
            break;
        default: break;
    }
    if (!known) return false;
    *pcm = MakePcmFormat(out_channels, format.samples_per_second, 16);
    return true;
}

std::unique_ptr<AcmCodec> CreateAdpcmOrPcmCodec(const WaveFormat& source, const uint8_t* extra, uint32_t extra_bytes) {
    WaveFormat pcm;
    if (!SuggestAdpcmOrPcmFormat(source, extra, extra_bytes, &pcm)) return nullptr;
    const WaveFormat format = Unwrap(source, extra, extra_bytes);
    switch (format.format_tag) {
        case kWaveFormatImaAdpcm: return std::make_unique<ImaAdpcmCodec>(format.block_align, format.channels);
        case kWaveFormatMsAdpcm:
            return std::make_unique<MsAdpcmCodec>(format.block_align, format.channels,
                                                  MsAdpcmCodec::Coefficients(extra, extra_bytes));
        case kWaveFormatMuLaw: return std::make_unique<LawCodec>(format.channels, true);
        case kWaveFormatALaw: return std::make_unique<LawCodec>(format.channels, false);
        default:
            return std::make_unique<PcmReformatCodec>(format.channels, format.bits_per_sample / 8,
                                                      format.format_tag == kWaveFormatIeeeFloat);
    }
}

}  // namespace velk::platform
