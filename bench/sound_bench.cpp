// Sound decoding and mixing. Decoding 60 s of 44.1 kHz stereo Ogg Vorbis and
// MP3 through the sound converter is measured beside the libraries' own
// decode loops on the same data (the ratio is the converter's overhead);
// mixing 32 playing buffers is measured per second of output.

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "lib/sound/sound_convert.h"
#include "platform/audio/audio_device.h"
#include "platform/audio/manual_audio.h"
#include "tests/platform/audio/sound_test_data.h"

namespace {

using velk::testing::Bytes;

constexpr uint32_t kSeconds = 60;

const Bytes& OggMinute() {
    static const Bytes data = velk::testing::EncodeOggVorbis(velk::testing::Tone(44100 * kSeconds, 2, 44100), 2, 44100);
    return data;
}

const Bytes& Mp3Minute() {
    static const Bytes data = velk::testing::EncodeMp3(velk::testing::Tone(44100 * kSeconds, 2, 44100), 2, 44100, 128);
    return data;
}

// The converter read in 1/8-second pieces, as stream sounds read it.
void DecodeThroughConverter(benchmark::State& state, const Bytes& file) {
    std::vector<uint8_t> piece(44100 * 4 / 8);
    int64_t total = 0;
    for (auto _ : state) {
        velk::MemorySoundStream stream(file.data(), file.size());
        velk::SoundConvertData convert;
        velk::SetupSoundConvert(&convert, &stream);
        for (;;) {
            const int64_t got = velk::ReadSoundConvert(&convert, piece.data(), static_cast<int64_t>(piece.size()));
            if (got <= 0) break;
            total += got;
        }
        velk::CloseSoundConvert(&convert);
    }
    benchmark::DoNotOptimize(total);
}

void BM_OggConverter(benchmark::State& state) { DecodeThroughConverter(state, OggMinute()); }
void BM_OggReferenceLoop(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(velk::testing::DecodeOggReference(OggMinute()).size());
}
void BM_Mp3Converter(benchmark::State& state) { DecodeThroughConverter(state, Mp3Minute()); }
void BM_Mp3ReferenceLoop(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(velk::testing::DecodeMp3Reference(Mp3Minute()).size());
}

// One second of output with 32 looping buffers of mixed formats and rates.
void BM_Mix32BuffersPerSecond(benchmark::State& state) {
    velk::platform::ManualAudio audio;
    auto device = velk::platform::AudioDevice::Create();
    device->Initialize();
    std::vector<std::unique_ptr<velk::platform::AudioBuffer>> buffers;
    const uint32_t flags = velk::platform::kBufferCtrlVolume | velk::platform::kBufferCtrlFrequency;
    for (int i = 0; i < 32; ++i) {
        const auto format = velk::platform::MakePcmFormat(1 + i % 2, i % 3 == 0 ? 22050 : 44100, i % 4 == 0 ? 8 : 16);
        auto buffer = device->CreateBuffer({flags, format.bytes_per_second * 2, format});
        buffer->SetVolume(-100 * (i % 7));
        if (i % 5 == 0) buffer->SetFrequency(format.samples_per_second * 3 / 2);
        buffer->Play(true);
        buffers.push_back(std::move(buffer));
    }
    for (auto _ : state) {
        for (int chunk = 0; chunk < 44100 / 441; ++chunk) benchmark::DoNotOptimize(audio.RenderBytes(441).data());
    }
    state.SetLabel("time per second of audio");
}

BENCHMARK(BM_OggConverter)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OggReferenceLoop)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Mp3Converter)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Mp3ReferenceLoop)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Mix32BuffersPerSecond)->Unit(benchmark::kMicrosecond);

}  // namespace
