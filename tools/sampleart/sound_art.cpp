#include "tools/sampleart/sample_art.h"

#include <vorbis/vorbisenc.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>

namespace velk::sampleart {
namespace {

constexpr double kPi = 3.14159265358979323846;

double NoteFrequency(int midi_note) { return 440.0 * std::pow(2.0, (midi_note - 69) / 12.0); }

// A soft plucked voice: a triangle with a little octave, fading out.
void AddNote(std::vector<float>& out, int rate, double start_seconds, double seconds, int note, double volume) {
    const size_t first = static_cast<size_t>(start_seconds * rate);
    const size_t count = static_cast<size_t>(seconds * rate);
    const double frequency = NoteFrequency(note);
    for (size_t i = 0; i < count && first + i < out.size(); ++i) {
        const double t = static_cast<double>(i) / rate;
        const double phase = std::fmod(t * frequency, 1.0);
        const double triangle = 4.0 * std::abs(phase - 0.5) - 1.0;
        const double octave = std::sin(2 * kPi * t * frequency * 2) * 0.25;
        const double attack = std::min(1.0, t / 0.01);
        const double release = std::min(1.0, (seconds - t) / 0.05);
        const double envelope = attack * release * std::exp(-t * 2.2);
        out[first + i] += static_cast<float>((triangle + octave) * envelope * volume);
    }
}

struct Tune {
    double beat_seconds;
    std::vector<int> melody;  // one note a beat, 0 a rest
    std::vector<int> bass;    // one note a bar of four beats
};

std::vector<float> PlayTune(const Tune& tune, int rate) {
    const double total = tune.melody.size() * tune.beat_seconds;
    std::vector<float> out(static_cast<size_t>(total * rate), 0.0f);
    for (size_t beat = 0; beat < tune.melody.size(); ++beat) {
        if (tune.melody[beat] != 0) {
            AddNote(out, rate, beat * tune.beat_seconds, tune.beat_seconds * 0.95, tune.melody[beat], 0.30);
        }
    }
    for (size_t bar = 0; bar < tune.bass.size(); ++bar) {
        for (int beat = 0; beat < 4; beat += 2) {
            AddNote(out, rate, (bar * 4 + beat) * tune.beat_seconds, tune.beat_seconds * 1.9, tune.bass[bar], 0.22);
        }
    }
    return out;
}

std::vector<float> Sweep(int rate, double seconds, double from_hz, double to_hz, double volume) {
    std::vector<float> out(static_cast<size_t>(seconds * rate));
    double phase = 0;
    for (size_t i = 0; i < out.size(); ++i) {
        const double t = static_cast<double>(i) / out.size();
        phase += (from_hz + (to_hz - from_hz) * t) / rate;
        const double square = std::fmod(phase, 1.0) < 0.5 ? 1.0 : -1.0;
        out[i] = static_cast<float>(square * volume * (1.0 - t) * std::min(1.0, i / (rate * 0.004)));
    }
    return out;
}

std::vector<float> Wind(int rate, double seconds) {
    std::vector<float> out(static_cast<size_t>(seconds * rate));
    uint32_t state = 12345;
    double low = 0;
    for (size_t i = 0; i < out.size(); ++i) {
        state = state * 1664525u + 1013904223u;
        const double noise = (state >> 8) / double(1 << 24) * 2 - 1;
        low += (noise - low) * 0.04;
        const double t = static_cast<double>(i) / rate;
        // Gusts that repeat exactly over the length, so the loop has no seam.
        const double gust = 0.55 + 0.45 * std::sin(2 * kPi * t * 2 / seconds);
        out[i] = static_cast<float>(low * gust * 1.6);
    }
    return out;
}

bool WriteWav(const std::string& path, const std::vector<float>& samples, int rate) {
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "wb"), std::fclose);
    if (!file) return false;
    auto u32 = [&](uint32_t v) {
        const uint8_t b[4] = {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
        std::fwrite(b, 1, 4, file.get());
    };
    auto u16 = [&](uint16_t v) {
        const uint8_t b[2] = {uint8_t(v), uint8_t(v >> 8)};
        std::fwrite(b, 1, 2, file.get());
    };
    const uint32_t data_bytes = static_cast<uint32_t>(samples.size() * 2);
    std::fwrite("RIFF", 1, 4, file.get());
    u32(36 + data_bytes);
    std::fwrite("WAVEfmt ", 1, 8, file.get());
    u32(16);
    u16(1);  // PCM
    u16(1);  // mono
    u32(static_cast<uint32_t>(rate));
    u32(static_cast<uint32_t>(rate * 2));
    u16(2);
    u16(16);
    std::fwrite("data", 1, 4, file.get());
    u32(data_bytes);
    for (float s : samples) u16(static_cast<uint16_t>(static_cast<int16_t>(std::clamp(s, -1.0f, 1.0f) * 32000)));
    return std::ferror(file.get()) == 0;
}

bool WriteOgg(const std::string& path, const std::vector<float>& samples, int rate) {
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "wb"), std::fclose);
    if (!file) return false;
    vorbis_info info;
    vorbis_info_init(&info);
    if (vorbis_encode_init_vbr(&info, 1, rate, 0.3f) != 0) {
        vorbis_info_clear(&info);
        return false;
    }
    vorbis_comment comment;
    vorbis_comment_init(&comment);
    vorbis_comment_add_tag(&comment, "ENCODER", "velk-sampleart");
    vorbis_dsp_state dsp;
    vorbis_block block;
    vorbis_analysis_init(&dsp, &info);
    vorbis_block_init(&dsp, &block);
    ogg_stream_state stream;
    ogg_stream_init(&stream, 0x76656C6B);  // a fixed serial keeps the files the same from build to build
    ogg_packet header, header_comment, header_code;
    vorbis_analysis_headerout(&dsp, &comment, &header, &header_comment, &header_code);
    ogg_stream_packetin(&stream, &header);
    ogg_stream_packetin(&stream, &header_comment);
    ogg_stream_packetin(&stream, &header_code);
    ogg_page page;
    auto write_page = [&] {
        std::fwrite(page.header, 1, static_cast<size_t>(page.header_len), file.get());
        std::fwrite(page.body, 1, static_cast<size_t>(page.body_len), file.get());
    };
    while (ogg_stream_flush(&stream, &page) != 0) write_page();

    constexpr size_t kChunk = 4096;
    size_t position = 0;
    bool ended = false;
    while (!ended) {
        const size_t count = std::min(kChunk, samples.size() - position);
        if (count == 0) {
            vorbis_analysis_wrote(&dsp, 0);
        } else {
            float** buffer = vorbis_analysis_buffer(&dsp, static_cast<int>(count));
            std::memcpy(buffer[0], samples.data() + position, count * sizeof(float));
            vorbis_analysis_wrote(&dsp, static_cast<int>(count));
            position += count;
        }
        while (vorbis_analysis_blockout(&dsp, &block) == 1) {
            vorbis_analysis(&block, nullptr);
            vorbis_bitrate_addblock(&block);
            ogg_packet packet;
            while (vorbis_bitrate_flushpacket(&dsp, &packet) != 0) {
                ogg_stream_packetin(&stream, &packet);
                while (ogg_stream_pageout(&stream, &page) != 0) {
                    write_page();
                    if (ogg_page_eos(&page)) ended = true;
                }
            }
        }
    }
    ogg_stream_clear(&stream);
    vorbis_block_clear(&block);
    vorbis_dsp_clear(&dsp);
    vorbis_comment_clear(&comment);
    vorbis_info_clear(&info);
    return std::ferror(file.get()) == 0;
}

}  // namespace

bool WriteSampleSounds(const std::string& data_folder) {
    constexpr int kRate = 22050;
    // C major, 112 beats a minute: eight bars that end where they began.
    const Tune village{60.0 / 112,
                       {72, 74, 76, 79, 76, 74, 72, 0, 69, 72, 74, 76, 74, 72, 69, 0,
                        72, 74, 76, 79, 81, 79, 76, 74, 72, 76, 74, 71, 72, 0, 0, 0},
                       {48, 45, 48, 43, 48, 45, 43, 48}};
    // A minor, slower, for the forest path.
    const Tune forest{60.0 / 88,
                      {69, 0, 72, 71, 69, 67, 64, 0, 65, 0, 69, 67, 65, 64, 62, 0,
                       64, 0, 69, 71, 72, 71, 69, 67, 65, 64, 62, 64, 69, 0, 0, 0},
                      {45, 41, 38, 40, 45, 41, 38, 45}};
    bool ok = WriteOgg(data_folder + "/BGM/village.ogg", PlayTune(village, kRate), kRate);
    ok = WriteOgg(data_folder + "/BGM/forest.ogg", PlayTune(forest, kRate), kRate) && ok;
    ok = WriteOgg(data_folder + "/BGS/wind.ogg", Wind(kRate, 8.0), kRate) && ok;
    ok = WriteWav(data_folder + "/SE/decide.wav", Sweep(kRate, 0.12, 880, 1320, 0.35), kRate) && ok;
    ok = WriteWav(data_folder + "/SE/cursor.wav", Sweep(kRate, 0.05, 1200, 1200, 0.25), kRate) && ok;
    ok = WriteWav(data_folder + "/SE/cancel.wav", Sweep(kRate, 0.15, 660, 330, 0.35), kRate) && ok;
    return ok;
}

}  // namespace velk::sampleart
