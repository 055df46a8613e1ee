#pragma once
// Sound test data made at test time: tones, hand-built WAVE files, and files
// written by the encoders of libsndfile (ADPCM, G.711), LAME (MP3) and
// libvorbisenc (Ogg Vorbis), with the reference decoders to compare against.
// Header-only so the platform and library sound tests can share it; test
// folders that include it list sndfile, mp3lame, vorbisenc, vorbisfile and
// mpg123 in their DEPS.

#include <lame/lame.h>
#include <mpg123.h>
#include <sndfile.h>
#include <vorbis/vorbisenc.h>
#include <vorbis/vorbisfile.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace velk::testing {

using Bytes = std::vector<uint8_t>;

// A tone with a little noise, so lossy coders have something to do.
inline std::vector<int16_t> Tone(uint32_t frames, uint32_t channels, uint32_t rate, double hz = 440.0,
                                 double amplitude = 12000.0, uint32_t seed = 1) {
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> noise(-300, 300);
    std::vector<int16_t> samples(static_cast<size_t>(frames) * channels);
    for (uint32_t i = 0; i < frames; ++i) {
        for (uint32_t c = 0; c < channels; ++c) {
            const double value = amplitude * std::sin(2.0 * M_PI * hz * (c + 1) * i / rate) + noise(random);
            samples[static_cast<size_t>(i) * channels + c] = static_cast<int16_t>(value);
        }
    }
    return samples;
}

inline void Put16(Bytes& out, uint32_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}
inline void Put32(Bytes& out, uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}
inline void PutTag(Bytes& out, const char* tag) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(tag[i]));
}
inline void Append(Bytes& out, const Bytes& more) { out.insert(out.end(), more.begin(), more.end()); }

inline Bytes SampleBytes(const std::vector<int16_t>& samples) {
    Bytes out(samples.size() * 2);
    std::memcpy(out.data(), samples.data(), out.size());
    return out;
}
inline std::vector<int16_t> Samples16(const Bytes& bytes) {
    std::vector<int16_t> out(bytes.size() / 2);
    std::memcpy(out.data(), bytes.data(), out.size() * 2);
    return out;
}

// The 16-byte PCM "fmt " body.
inline Bytes PcmFormatBody(uint32_t channels, uint32_t rate, uint32_t bits) {
    Bytes body;
    Put16(body, 1);
    Put16(body, channels);
    Put32(body, rate);
    Put32(body, rate * channels * bits / 8);
    Put16(body, channels * bits / 8);
    Put16(body, bits);
    return body;
}

// A WAVE file: "fmt " first, then any extra chunks, then "data" (whose size
// field can be given to lie about the bytes that follow).
struct WaveChunk {
    std::string tag;
    Bytes body;
};
inline Bytes WaveFile(const Bytes& format_body, const Bytes& data, const std::vector<WaveChunk>& before_data = {},
                      int64_t data_size_field = -1) {
    Bytes out;
    PutTag(out, "RIFF");
    Put32(out, 0);
    PutTag(out, "WAVE");
    PutTag(out, "fmt ");
    Put32(out, static_cast<uint32_t>(format_body.size()));
    Append(out, format_body);
    if (format_body.size() % 2) out.push_back(0);
    for (const WaveChunk& chunk : before_data) {
        PutTag(out, chunk.tag.c_str());
        Put32(out, static_cast<uint32_t>(chunk.body.size()));
        Append(out, chunk.body);
        if (chunk.body.size() % 2) out.push_back(0);
    }
    PutTag(out, "data");
    Put32(out, data_size_field >= 0 ? static_cast<uint32_t>(data_size_field) : static_cast<uint32_t>(data.size()));
    Append(out, data);
    const uint32_t riff = static_cast<uint32_t>(out.size() - 8);
    std::memcpy(out.data() + 4, &riff, 4);
    return out;
}

// The body of a chunk of a RIFF file (the first of that tag), or empty.
inline Bytes RiffChunk(const Bytes& file, const char* tag) {
    size_t at = 12;
    while (at + 8 <= file.size()) {
        uint32_t size;
        std::memcpy(&size, file.data() + at + 4, 4);
        if (std::memcmp(file.data() + at, tag, 4) == 0) {
            const size_t end = std::min<size_t>(file.size(), at + 8 + size);
            return Bytes(file.begin() + static_cast<long>(at + 8), file.begin() + static_cast<long>(end));
        }
        at += 8 + size + (size & 1);
    }
    return {};
}

// ---- libsndfile: writes and reads WAVE files in memory ----

struct VirtualFile {
    Bytes bytes;
    sf_count_t position = 0;

    static sf_count_t Length(void* self) { return static_cast<sf_count_t>(static_cast<VirtualFile*>(self)->bytes.size()); }
    static sf_count_t Seek(sf_count_t offset, int whence, void* self) {
        auto* f = static_cast<VirtualFile*>(self);
        const sf_count_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? f->position : static_cast<sf_count_t>(f->bytes.size());
        f->position = base + offset;
        return f->position;
    }
    static sf_count_t Read(void* ptr, sf_count_t count, void* self) {
        auto* f = static_cast<VirtualFile*>(self);
        const sf_count_t left = std::max<sf_count_t>(0, static_cast<sf_count_t>(f->bytes.size()) - f->position);
        const sf_count_t n = std::min(count, left);
        std::memcpy(ptr, f->bytes.data() + f->position, static_cast<size_t>(n));
        f->position += n;
        return n;
    }
    static sf_count_t Write(const void* ptr, sf_count_t count, void* self) {
        auto* f = static_cast<VirtualFile*>(self);
        const auto end = static_cast<size_t>(f->position + count);
        if (f->bytes.size() < end) f->bytes.resize(end);
        std::memcpy(f->bytes.data() + f->position, ptr, static_cast<size_t>(count));
        f->position += count;
        return count;
    }
    static sf_count_t Tell(void* self) { return static_cast<VirtualFile*>(self)->position; }
    static SF_VIRTUAL_IO Io() { return SF_VIRTUAL_IO{&Length, &Seek, &Read, &Write, &Tell}; }
};

// A WAVE file in the given libsndfile sub-format (SF_FORMAT_IMA_ADPCM, ...).
inline Bytes EncodeWithSndfile(int subformat, const std::vector<int16_t>& samples, int channels, int rate) {
    VirtualFile file;
    SF_VIRTUAL_IO io = VirtualFile::Io();
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    info.format = SF_FORMAT_WAV | subformat;
    SNDFILE* sf = sf_open_virtual(&io, SFM_WRITE, &info, &file);
    if (sf == nullptr) return {};
    if (subformat == SF_FORMAT_FLOAT) {
        // Float files hold -1..1; short writes would store the raw values.
        std::vector<float> values(samples.begin(), samples.end());
        for (float& v : values) v /= 32768.0f;
        sf_writef_float(sf, values.data(), static_cast<sf_count_t>(values.size() / channels));
    } else {
        sf_writef_short(sf, samples.data(), static_cast<sf_count_t>(samples.size() / channels));
    }
    sf_close(sf);
    return file.bytes;
}

inline std::vector<int16_t> DecodeWithSndfile(const Bytes& bytes) {
    VirtualFile file{bytes, 0};
    SF_VIRTUAL_IO io = VirtualFile::Io();
    SF_INFO info{};
    SNDFILE* sf = sf_open_virtual(&io, SFM_READ, &info, &file);
    if (sf == nullptr) return {};
    std::vector<int16_t> samples(static_cast<size_t>(info.frames * info.channels));
    const sf_count_t got = sf_readf_short(sf, samples.data(), info.frames);
    samples.resize(static_cast<size_t>(got * info.channels));
    sf_close(sf);
    return samples;
}

// ---- LAME: MP3 ----

inline Bytes EncodeMp3(const std::vector<int16_t>& samples, int channels, int rate, int kbps,
                       bool info_frame = true) {
    lame_global_flags* lame = lame_init();
    lame_set_num_channels(lame, channels);
    lame_set_in_samplerate(lame, rate);
    lame_set_out_samplerate(lame, rate);
    lame_set_brate(lame, kbps);
    lame_set_mode(lame, channels == 1 ? MONO : JOINT_STEREO);
    lame_set_bWriteVbrTag(lame, info_frame ? 1 : 0);
    lame_set_quality(lame, 7);
    lame_init_params(lame);
    const int frames = static_cast<int>(samples.size() / channels);
    Bytes out(static_cast<size_t>(1.25 * frames + 7200) * 2);
    int written;
    if (channels == 2) {
        written = lame_encode_buffer_interleaved(lame, const_cast<short*>(samples.data()), frames, out.data(),
                                                 static_cast<int>(out.size()));
    } else {
        written = lame_encode_buffer(lame, samples.data(), samples.data(), frames, out.data(), static_cast<int>(out.size()));
    }
    written += lame_encode_flush(lame, out.data() + written, static_cast<int>(out.size()) - written);
    out.resize(static_cast<size_t>(written));
    if (info_frame) {
        // The info frame is written over the first frame once encoding ends.
        Bytes tag(out.size());
        const size_t size = lame_get_lametag_frame(lame, tag.data(), tag.size());
        if (size > 0 && size <= out.size()) std::memcpy(out.data(), tag.data(), size);
    }
    lame_close(lame);
    return out;
}

// An ID3v2 tag of `body` bytes (size as a sync-safe integer).
inline Bytes Id3v2Tag(uint8_t major, uint8_t flags, uint32_t body) {
    Bytes out = {'I', 'D', '3', major, 0, flags, static_cast<uint8_t>((body >> 21) & 0x7F),
                 static_cast<uint8_t>((body >> 14) & 0x7F), static_cast<uint8_t>((body >> 7) & 0x7F),
                 static_cast<uint8_t>(body & 0x7F)};
    out.resize(out.size() + body, 0);
    if (flags & 0x10) {
        const Bytes footer = {'3', 'D', 'I', major, 0, flags, out[6], out[7], out[8], out[9]};
        Append(out, footer);
    }
    return out;
}

inline Bytes Id3v1Tag() {
    Bytes tag(128, ' ');
    tag[0] = 'T';
    tag[1] = 'A';
    tag[2] = 'G';
    return tag;
}

// The reference: libmpg123 decoding the whole data in one go, with gapless
// trimming off and an info frame decoded as audio.
inline std::vector<int16_t> DecodeMp3Reference(const Bytes& bytes, int* channels = nullptr, long* rate = nullptr) {
    mpg123_init();
    mpg123_handle* handle = mpg123_new(nullptr, nullptr);
    mpg123_param(handle, MPG123_FLAGS, MPG123_QUIET | MPG123_IGNORE_INFOFRAME, 0);
    mpg123_open_feed(handle);
    mpg123_feed(handle, bytes.data(), bytes.size());
    std::vector<int16_t> out;
    for (;;) {
        off_t number;
        unsigned char* audio;
        size_t size;
        const int result = mpg123_decode_frame(handle, &number, &audio, &size);
        if (result == MPG123_NEW_FORMAT) {
            int encoding;
            int ch;
            long r;
            mpg123_getformat(handle, &r, &ch, &encoding);
            if (channels) *channels = ch;
            if (rate) *rate = r;
            continue;
        }
        if (result != MPG123_OK) break;
        const auto* samples = reinterpret_cast<const int16_t*>(audio);
        out.insert(out.end(), samples, samples + size / 2);
    }
    mpg123_delete(handle);
    return out;
}

// A valid silent MPEG-1 Layer III frame: 128 kbit/s, 44.1 kHz, stereo.
inline Bytes SilentLayer3Frame() {
    Bytes frame(417, 0);
    frame[0] = 0xFF;
    frame[1] = 0xFB;
    frame[2] = 0x90;
    frame[3] = 0x00;
    return frame;
}

// An MPEG-1 Layer I frame (384 kbit/s, 44.1 kHz, stereo, 416 bytes) with
// random bit allocations, scale factors and samples: decodes to non-silent
// audio that any decoder must reproduce exactly.
inline Bytes RandomLayer1Frame(std::mt19937& random) {
    struct BitWriter {
        Bytes bytes = Bytes(416, 0);
        size_t bit = 32;
        void Put(uint32_t value, int count) {
            for (int i = count - 1; i >= 0; --i, ++bit) {
                if ((value >> i) & 1) bytes[bit / 8] |= static_cast<uint8_t>(0x80 >> (bit % 8));
            }
        }
    } writer;
    writer.bytes[0] = 0xFF;
    writer.bytes[1] = 0xFF;  // MPEG-1, Layer I, no CRC
    writer.bytes[2] = 0xC0;  // 384 kbit/s, 44.1 kHz, no padding
    writer.bytes[3] = 0x00;  // stereo
    uint32_t allocation[32][2];
    for (auto& band : allocation) {
        for (uint32_t& a : band) {
            a = random() % 3 == 0 ? 0 : 1 + random() % 4;  // 2..5 bits per sample
            writer.Put(a, 4);
        }
    }
    for (auto& band : allocation) {
        for (uint32_t a : band) {
            if (a) writer.Put(20 + random() % 30, 6);
        }
    }
    for (int s = 0; s < 12; ++s) {
        for (auto& band : allocation) {
            for (uint32_t a : band) {
                if (a) writer.Put(random() % ((1u << (a + 1)) - 1), static_cast<int>(a + 1));
            }
        }
    }
    return writer.bytes;
}

// ---- libvorbisenc: Ogg Vorbis ----

inline Bytes EncodeOggVorbis(const std::vector<int16_t>& samples, int channels, int rate, float quality = 0.3f) {
    vorbis_info info;
    vorbis_info_init(&info);
    vorbis_encode_init_vbr(&info, channels, rate, quality);
    vorbis_comment comment;
    vorbis_comment_init(&comment);
    vorbis_dsp_state dsp;
    vorbis_analysis_init(&dsp, &info);
    vorbis_block block;
    vorbis_block_init(&dsp, &block);
    ogg_stream_state stream;
    ogg_stream_init(&stream, 1234);
    Bytes out;
    const auto write_page = [&](const ogg_page& page) {
        out.insert(out.end(), page.header, page.header + page.header_len);
        out.insert(out.end(), page.body, page.body + page.body_len);
    };
    ogg_packet header, header_comment, header_code;
    vorbis_analysis_headerout(&dsp, &comment, &header, &header_comment, &header_code);
    ogg_stream_packetin(&stream, &header);
    ogg_stream_packetin(&stream, &header_comment);
    ogg_stream_packetin(&stream, &header_code);
    ogg_page page;
    while (ogg_stream_flush(&stream, &page)) write_page(page);
    const size_t frames = samples.size() / channels;
    size_t done = 0;
    bool eos = false;
    while (!eos) {
        const size_t chunk = std::min<size_t>(1024, frames - done);
        if (chunk == 0) {
            vorbis_analysis_wrote(&dsp, 0);
        } else {
            float** buffer = vorbis_analysis_buffer(&dsp, static_cast<int>(chunk));
            for (size_t i = 0; i < chunk; ++i) {
                for (int c = 0; c < channels; ++c) buffer[c][i] = samples[(done + i) * channels + c] / 32768.0f;
            }
            vorbis_analysis_wrote(&dsp, static_cast<int>(chunk));
            done += chunk;
        }
        while (vorbis_analysis_blockout(&dsp, &block) == 1) {
            vorbis_analysis(&block, nullptr);
            vorbis_bitrate_addblock(&block);
            ogg_packet packet;
            while (vorbis_bitrate_flushpacket(&dsp, &packet)) {
                ogg_stream_packetin(&stream, &packet);
                while (ogg_stream_pageout(&stream, &page)) {
                    write_page(page);
                    if (ogg_page_eos(&page)) eos = true;
                }
            }
        }
        if (chunk == 0 && !eos) {
            while (ogg_stream_flush(&stream, &page)) write_page(page);
            eos = true;
        }
    }
    ogg_stream_clear(&stream);
    vorbis_block_clear(&block);
    vorbis_dsp_clear(&dsp);
    vorbis_comment_clear(&comment);
    vorbis_info_clear(&info);
    return out;
}

struct MemoryReader {
    const Bytes* bytes;
    size_t position = 0;
    static size_t Read(void* ptr, size_t size, size_t count, void* self) {
        auto* r = static_cast<MemoryReader*>(self);
        const size_t n = std::min(size * count, r->bytes->size() - r->position);
        std::memcpy(ptr, r->bytes->data() + r->position, n);
        r->position += n;
        return size ? n / size : 0;
    }
    static int Seek(void* self, ogg_int64_t offset, int whence) {
        auto* r = static_cast<MemoryReader*>(self);
        const int64_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? static_cast<int64_t>(r->position) : static_cast<int64_t>(r->bytes->size());
        const int64_t target = base + offset;
        if (target < 0 || target > static_cast<int64_t>(r->bytes->size())) return -1;
        r->position = static_cast<size_t>(target);
        return 0;
    }
    static long Tell(void* self) { return static_cast<long>(static_cast<MemoryReader*>(self)->position); }
};

// The reference: vorbisfile's own read loop over the whole file.
inline std::vector<int16_t> DecodeOggReference(const Bytes& bytes) {
    MemoryReader reader{&bytes};
    OggVorbis_File file;
    ov_callbacks callbacks{&MemoryReader::Read, &MemoryReader::Seek, nullptr, &MemoryReader::Tell};
    if (ov_open_callbacks(&reader, &file, nullptr, 0, callbacks) != 0) return {};
    std::vector<int16_t> out;
    char buffer[4096];
    int section;
    for (;;) {
        const long got = ov_read(&file, buffer, sizeof buffer, 0, 2, 1, &section);
        if (got <= 0) break;
        const auto* s = reinterpret_cast<const int16_t*>(buffer);
        out.insert(out.end(), s, s + got / 2);
    }
    ov_clear(&file);
    return out;
}

}  // namespace velk::testing
