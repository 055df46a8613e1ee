#include "platform/midi/midi_player.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <span>

#include <fluidsynth.h>
#include <sys/stat.h>

namespace velk::platform {
namespace {

constexpr double kOutputRate = 44100.0;
constexpr int32_t kSilentVolume = -2500;

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

}  // namespace

struct MidiPlayer::Synth {
    fluid_settings_t* settings = nullptr;
    fluid_synth_t* synth = nullptr;
    fluid_player_t* player = nullptr;
    double rate = kOutputRate;

    ~Synth() {
        if (player != nullptr) {
            fluid_player_stop(player);
            delete_fluid_player(player);
        }
        if (synth != nullptr) delete_fluid_synth(synth);
        if (settings != nullptr) delete_fluid_settings(settings);
    }
};

std::vector<std::string> DefaultSoundFontPaths() {
    return {"/usr/share/sounds/sf2/default-GM.sf2", "/usr/share/sounds/sf2/TimGM6mb.sf2",
            "/usr/share/sounds/sf2/FluidR3_GM.sf2"};
}

namespace {

// Whether the file starts as a soundfont does (a RIFF form of type "sfbk"):
// enough to promise MIDI music without loading the synthesiser yet.
bool LooksLikeSoundFont(const std::string& path) {
    if (!IsFile(path)) return false;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return false;
    char head[12] = {};
    const size_t got = std::fread(head, 1, sizeof head, file);
    std::fclose(file);
    return got == sizeof head && std::memcmp(head, "RIFF", 4) == 0 && std::memcmp(head + 8, "sfbk", 4) == 0;
}

std::string MissingSoundFont(const std::vector<std::string>& soundFonts) {
    std::string failure = "no General MIDI soundfont:";
    for (const std::string& path : soundFonts)
        failure += " " + path;
    return failure;
}

}  // namespace

std::unique_ptr<MidiPlayer> MidiPlayer::Open(const std::vector<std::string>& soundFonts, std::string* failure) {
    // The synthesiser (threads, several megabytes of samples) is made on the
    // first play; a game that plays no MIDI never pays for it.
    std::vector<std::string> usable;
    for (const std::string& path : soundFonts)
        if (LooksLikeSoundFont(path)) usable.push_back(path);
    if (usable.empty()) {
        if (failure != nullptr) *failure = MissingSoundFont(soundFonts);
        return nullptr;
    }
    std::unique_ptr<MidiPlayer> player(new MidiPlayer(std::move(usable)));
    AttachAudioSource(player.get());
    return player;
}

std::unique_ptr<MidiPlayer::Synth> MidiPlayer::MakeSynth(const std::vector<std::string>& soundFonts,
                                                         std::string* failure) {
    QuietFluidLog();
    auto synth = std::make_unique<Synth>();
    synth->settings = new_fluid_settings();
    if (synth->settings == nullptr) {
        *failure = "the MIDI synthesiser could not be set up";
        return nullptr;
    }
    fluid_settings_setnum(synth->settings, "synth.sample-rate", kOutputRate);
    fluid_settings_setstr(synth->settings, "player.timing-source", "sample");
    fluid_settings_setint(synth->settings, "synth.threadsafe-api", 0);
    synth->synth = new_fluid_synth(synth->settings);
    if (synth->synth == nullptr) {
        *failure = "the MIDI synthesiser could not be made";
        return nullptr;
    }
    for (const std::string& path : soundFonts) {
        if (IsFile(path) && fluid_synth_sfload(synth->synth, path.c_str(), 1) != FLUID_FAILED) return synth;
    }
    *failure = MissingSoundFont(soundFonts);
    return nullptr;
}

bool MidiPlayer::SynthReadyLocked() {
    if (synth_) return true;
    if (!failure_.empty()) return false;
    synth_ = MakeSynth(soundFonts_, &failure_);
    if (!synth_ && failure_.empty()) failure_ = "the MIDI synthesiser could not be made";
    return synth_ != nullptr;
}

bool MidiPlayer::SynthLoaded() const {
    std::lock_guard lock(mutex_);
    return synth_ != nullptr;
}

std::string MidiPlayer::Failure() const {
    std::lock_guard lock(mutex_);
    return failure_;
}

MidiPlayer::MidiPlayer(std::vector<std::string> soundFonts) : soundFonts_(std::move(soundFonts)) {}

MidiPlayer::~MidiPlayer() { DetachAudioSource(this); }

int32_t MidiPlayer::ReadList(const void* data, int32_t size, int32_t /*option*/, int32_t list) {
    if (data == nullptr || size <= 0) return -1;
    std::span<const uint8_t> bytes(static_cast<const uint8_t*>(data), static_cast<size_t>(size));
    if (!ReadMidiFileFacts(bytes)) return -1;
    std::lock_guard lock(mutex_);
    lists_[list].assign(bytes.begin(), bytes.end());
    return 0;
}

void MidiPlayer::DeleteList(int32_t list) {
    std::lock_guard lock(mutex_);
    lists_.erase(list);
}

int32_t MidiPlayer::Play(int32_t /*option*/, int32_t list, int32_t startMs) {
    std::lock_guard lock(mutex_);
    StopLocked();
    auto found = lists_.find(list);
    if (found == lists_.end()) return -1;
    if (!SynthReadyLocked()) return -1;
    const std::vector<uint8_t>& bytes = found->second;
    const std::optional<MidiFileFacts> facts = ReadMidiFileFacts(bytes);
    fluid_synth_system_reset(synth_->synth);
    synth_->player = new_fluid_player(synth_->synth);
    if (synth_->player == nullptr || fluid_player_add_mem(synth_->player, bytes.data(), bytes.size()) != FLUID_OK) {
        StopLocked();
        return -1;
    }
    fluid_player_set_loop(synth_->player, -1);
    fluid_player_set_tempo(synth_->player, FLUID_PLAYER_TEMPO_INTERNAL, tempo_);
    if (fluid_player_play(synth_->player) != FLUID_OK) {
        StopLocked();
        return -1;
    }
    if (startMs > 0 && facts) {
        const int64_t ticks = MidiTicksForMilliseconds(*facts, startMs);
        fluid_player_seek(synth_->player, static_cast<int>(std::min<int64_t>(ticks, INT_MAX)));
    }
    playing_ = true;
    return 0;
}

void MidiPlayer::StopLocked() {
    playing_ = false;
    if (!synth_) return;
    if (synth_->player != nullptr) {
        fluid_player_stop(synth_->player);
        delete_fluid_player(synth_->player);
        synth_->player = nullptr;
    }
    fluid_synth_all_sounds_off(synth_->synth, -1);
}

void MidiPlayer::Stop() {
    std::lock_guard lock(mutex_);
    StopLocked();
}

void MidiPlayer::MasterVolume(int32_t volume) {
    std::lock_guard lock(mutex_);
    volume_ = std::clamp(volume, kSilentVolume, 0);
}

void MidiPlayer::TempoDepth(int32_t depth) {
    const double percent = depth < 0 ? (static_cast<double>(depth) + 200.0) / 2.0 : 100.0 + 2.0 * depth;
    std::lock_guard lock(mutex_);
    // The synthesiser's player takes factors from 0.001 to 1000.
    tempo_ = std::clamp(percent / 100.0, 0.01, 100.0);
    if (synth_ && synth_->player != nullptr)
        fluid_player_set_tempo(synth_->player, FLUID_PLAYER_TEMPO_INTERNAL, tempo_);
}

bool MidiPlayer::Playing() const {
    std::lock_guard lock(mutex_);
    return playing_;
}

int32_t MidiPlayer::Volume() const {
    std::lock_guard lock(mutex_);
    return volume_;
}

double MidiPlayer::TempoFactor() const {
    std::lock_guard lock(mutex_);
    return tempo_;
}

void MidiPlayer::MixInto(int32_t* accumulator, uint32_t frames, uint32_t rate) {
    std::lock_guard lock(mutex_);
    if (!playing_ || frames == 0) return;
    if (static_cast<double>(rate) != synth_->rate && rate > 0) {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
        fluid_synth_set_sample_rate(synth_->synth, static_cast<float>(rate));
#pragma GCC diagnostic pop
        synth_->rate = rate;
    }
    left_.assign(frames, 0.0f);
    right_.assign(frames, 0.0f);
    // The synthesiser renders in blocks it chooses; asking for the whole span
    // at once keeps its timing (and so the piece's) tied to the output.
    fluid_synth_write_float(synth_->synth, static_cast<int>(frames), left_.data(), 0, 1, right_.data(), 0, 1);
    const double gain = 32767.0 * static_cast<double>(volume_ - kSilentVolume) / -kSilentVolume;
    if (gain <= 0.0) return;
    for (uint32_t i = 0; i < frames; ++i) {
        accumulator[2 * i] += static_cast<int32_t>(std::lrint(std::clamp(left_[i] * gain, -65536.0, 65536.0)));
        accumulator[2 * i + 1] += static_cast<int32_t>(std::lrint(std::clamp(right_[i] * gain, -65536.0, 65536.0)));
    }
}

}  // namespace velk::platform
