#include "platform/audio/manual_audio.h"

#include "platform/audio/audio_backend.h"

namespace velk::platform {
namespace {

class ManualAudioBackend final : public AudioBackend {
public:
    explicit ManualAudioBackend(ManualAudio* owner) : owner_(owner) {}
    ~ManualAudioBackend() override { Stop(); }

    bool Start(std::shared_ptr<AudioMixer> mixer, const WaveFormat& output) override {
        owner_->Attach(std::move(mixer), output);
        started_ = true;
        return true;
    }

    void Stop() override {
        if (started_) owner_->Detach();
        started_ = false;
    }

    std::string Description() const override { return "Manual test output"; }
    std::string ModuleName() const override { return "manual"; }

private:
    ManualAudio* owner_;
    bool started_ = false;
};

}  // namespace

ManualAudio::ManualAudio() {
    SetAudioBackendFactory([this] { return std::make_unique<ManualAudioBackend>(this); });
}

ManualAudio::~ManualAudio() { SetAudioBackendFactory({}); }

bool ManualAudio::Started() const { return mixer_ != nullptr; }

WaveFormat ManualAudio::OutputFormat() const { return output_; }

void ManualAudio::Attach(std::shared_ptr<AudioMixer> mixer, const WaveFormat& output) {
    mixer_ = std::move(mixer);
    output_ = output;
    frames_rendered_ = 0;
}

void ManualAudio::Detach() { mixer_.reset(); }

std::vector<uint8_t> ManualAudio::RenderBytes(uint32_t frames) {
    std::vector<uint8_t> out(static_cast<size_t>(frames) * output_.block_align);
    if (mixer_) {
        mixer_->Render(out.data(), frames);
        frames_rendered_ += frames;
    }
    return out;
}

std::vector<int16_t> ManualAudio::RenderSamples(uint32_t frames) {
    const std::vector<uint8_t> bytes = RenderBytes(frames);
    std::vector<int16_t> samples;
    if (output_.bits_per_sample == 16) {
        samples.resize(bytes.size() / 2);
        for (size_t i = 0; i < samples.size(); ++i) {
            samples[i] = static_cast<int16_t>(static_cast<uint16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8)));
        }
    } else {
        samples.resize(bytes.size());
        for (size_t i = 0; i < bytes.size(); ++i) samples[i] = static_cast<int16_t>((bytes[i] - 128) * 256);
    }
    return samples;
}

}  // namespace velk::platform
