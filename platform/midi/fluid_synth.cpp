// The FluidSynth synthesiser, built into the plug-in only.

#include <algorithm>
#include <climits>
#include <mutex>

#include <fluidsynth.h>
#include <sys/stat.h>

#include "platform/midi/midi_synth.h"

namespace velk::platform {
namespace {

constexpr double kOutputRate = 44100.0;

// The synthesiser's own complaints would go to the terminal; what matters to
// the player is reported through the results of its calls.
void QuietFluidLog() {
    static std::once_flag once;
    std::call_once(once, [] {
        for (int level = FLUID_PANIC; level < LAST_LOG_LEVEL; ++level)
            fluid_set_log_function(level, nullptr, nullptr);
    });
}

bool IsFile(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

class FluidSynth final : public MidiSynth {
public:
    static std::unique_ptr<FluidSynth> Make(const std::vector<std::string>& soundFonts, std::string* failure) {
        QuietFluidLog();
        std::unique_ptr<FluidSynth> made(new FluidSynth);
        made->settings_ = new_fluid_settings();
        if (made->settings_ == nullptr) {
            *failure = "the MIDI synthesiser could not be set up";
            return nullptr;
        }
        fluid_settings_setnum(made->settings_, "synth.sample-rate", kOutputRate);
        fluid_settings_setstr(made->settings_, "player.timing-source", "sample");
        fluid_settings_setint(made->settings_, "synth.threadsafe-api", 0);
        made->synth_ = new_fluid_synth(made->settings_);
        if (made->synth_ == nullptr) {
            *failure = "the MIDI synthesiser could not be made";
            return nullptr;
        }
        for (const std::string& path : soundFonts) {
            if (IsFile(path) && fluid_synth_sfload(made->synth_, path.c_str(), 1) != FLUID_FAILED) return made;
        }
        *failure = MissingSoundFontMessage(soundFonts);
        return nullptr;
    }

    ~FluidSynth() override {
        DeletePlayer();
        if (synth_ != nullptr) delete_fluid_synth(synth_);
        if (settings_ != nullptr) delete_fluid_settings(settings_);
    }

    bool Play(std::span<const uint8_t> file, double tempo, int64_t startTick) override {
        Stop();
        fluid_synth_system_reset(synth_);
        player_ = new_fluid_player(synth_);
        // The player keeps its own copy of the file.
        if (player_ == nullptr || fluid_player_add_mem(player_, file.data(), file.size()) != FLUID_OK) {
            Stop();
            return false;
        }
        fluid_player_set_loop(player_, -1);
        fluid_player_set_tempo(player_, FLUID_PLAYER_TEMPO_INTERNAL, tempo);
        if (fluid_player_play(player_) != FLUID_OK) {
            Stop();
            return false;
        }
        if (startTick > 0) fluid_player_seek(player_, static_cast<int>(std::min<int64_t>(startTick, INT_MAX)));
        return true;
    }

    void Stop() override {
        DeletePlayer();
        fluid_synth_all_sounds_off(synth_, -1);
    }

    void SetTempo(double tempo) override {
        if (player_ != nullptr) fluid_player_set_tempo(player_, FLUID_PLAYER_TEMPO_INTERNAL, tempo);
    }

    void Render(float* left, float* right, uint32_t frames, uint32_t rate) override {
        if (static_cast<double>(rate) != rate_ && rate > 0) {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
            fluid_synth_set_sample_rate(synth_, static_cast<float>(rate));
#pragma GCC diagnostic pop
            rate_ = rate;
        }
        // The synthesiser renders in blocks it chooses; asking for the whole
        // span at once keeps its timing (and so the piece's) tied to the output.
        fluid_synth_write_float(synth_, static_cast<int>(frames), left, 0, 1, right, 0, 1);
    }

private:
    FluidSynth() = default;

    void DeletePlayer() {
        if (player_ == nullptr) return;
        fluid_player_stop(player_);
        delete_fluid_player(player_);
        player_ = nullptr;
    }

    fluid_settings_t* settings_ = nullptr;
    fluid_synth_t* synth_ = nullptr;
    fluid_player_t* player_ = nullptr;
    double rate_ = kOutputRate;
};

}  // namespace
}  // namespace velk::platform

extern "C" __attribute__((visibility("default"))) velk::platform::MidiSynth* VelkFluidSynthMake(
    const std::vector<std::string>& soundFonts, std::string* failure) {
    return velk::platform::FluidSynth::Make(soundFonts, failure).release();
}
