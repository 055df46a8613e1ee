// Plays the mixer through an SDL audio device. SDL converts to whatever the
// real device wants, so the mixer always renders the primary buffer's format.

#include <SDL.h>
#include <alsa/asoundlib.h>

#include "platform/audio/audio_backend.h"

namespace velk::platform {
namespace {

// The ALSA library prints every device it fails to open (no sound card, no
// default device) straight to the terminal. Whether sound starts is reported
// by the library's own log, so its messages are dropped.
void DropAlsaMessage(const char*, int, const char*, int, const char*, ...) {}

// About 12 ms at 44.1 kHz: the play cursor moves in steps this small, well
// below the eighth of a second the stream refill works in.
constexpr Uint16 kCallbackFrames = 512;

class SdlAudioBackend final : public AudioBackend {
public:
    ~SdlAudioBackend() override { Stop(); }

    bool Start(std::shared_ptr<AudioMixer> mixer, const WaveFormat& output) override {
        Stop();
        snd_lib_error_set_handler(&DropAlsaMessage);
        if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
        mixer_ = std::move(mixer);
        frame_bytes_ = output.block_align;
        SDL_AudioSpec wanted{};
        wanted.freq = static_cast<int>(output.samples_per_second);
        wanted.format = output.bits_per_sample == 8 ? AUDIO_U8 : AUDIO_S16LSB;
        wanted.channels = static_cast<Uint8>(output.channels);
        wanted.samples = kCallbackFrames;
        wanted.callback = &SdlAudioBackend::Callback;
        wanted.userdata = this;
        SDL_AudioSpec obtained{};
        device_ = SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained, 0);
        if (device_ == 0) {
            mixer_.reset();
            SDL_QuitSubSystem(SDL_INIT_AUDIO);
            return false;
        }
        SDL_PauseAudioDevice(device_, 0);
        return true;
    }

    void Stop() override {
        if (device_ == 0) return;
        SDL_CloseAudioDevice(device_);
        device_ = 0;
        mixer_.reset();
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }

    std::string Description() const override { return "SDL audio output"; }

    std::string ModuleName() const override {
        const char* driver = SDL_GetCurrentAudioDriver();
        return driver != nullptr ? driver : "sdl";
    }

private:
    static void SDLCALL Callback(void* self, Uint8* stream, int length) {
        auto* backend = static_cast<SdlAudioBackend*>(self);
        backend->mixer_->Render(stream, static_cast<uint32_t>(length) / backend->frame_bytes_);
    }

    SDL_AudioDeviceID device_ = 0;
    std::shared_ptr<AudioMixer> mixer_;
    uint32_t frame_bytes_ = 4;
};

}  // namespace

std::unique_ptr<AudioBackend> CreateSdlAudioBackend() { return std::make_unique<SdlAudioBackend>(); }

}  // namespace velk::platform
