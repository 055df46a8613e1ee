#include "platform/midi/midi_player.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <span>

#include <sys/stat.h>

#include "platform/midi/midi_synth.h"

namespace velk::platform {
namespace {

constexpr int32_t kSilentVolume = -2500;

bool IsFile(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

}  // namespace

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

}  // namespace

std::unique_ptr<MidiPlayer> MidiPlayer::Open(const std::vector<std::string>& soundFonts, std::string* failure) {
    // The synthesiser (threads, several megabytes of samples) is made on the
    // first play; a game that plays no MIDI never pays for it.
    std::vector<std::string> usable;
    for (const std::string& path : soundFonts)
        if (LooksLikeSoundFont(path)) usable.push_back(path);
    if (usable.empty()) {
        if (failure != nullptr) *failure = MissingSoundFontMessage(soundFonts);
        return nullptr;
    }
    std::unique_ptr<MidiPlayer> player(new MidiPlayer(std::move(usable)));
    AttachAudioSource(player.get());
    return player;
}

bool MidiPlayer::SynthReadyLocked() {
    if (synth_) return true;
    if (!failure_.empty()) return false;
    synth_ = MakeMidiSynth(soundFonts_, &failure_);
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
    const int64_t startTick = startMs > 0 && facts ? MidiTicksForMilliseconds(*facts, startMs) : 0;
    if (!synth_->Play(bytes, tempo_, startTick)) return -1;
    playing_ = true;
    return 0;
}

void MidiPlayer::StopLocked() {
    playing_ = false;
    if (synth_) synth_->Stop();
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
    if (synth_) synth_->SetTempo(tempo_);
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
    left_.assign(frames, 0.0f);
    right_.assign(frames, 0.0f);
    synth_->Render(left_.data(), right_.data(), frames, rate);
    const double gain = 32767.0 * static_cast<double>(volume_ - kSilentVolume) / -kSilentVolume;
    if (gain <= 0.0) return;
    for (uint32_t i = 0; i < frames; ++i) {
        accumulator[2 * i] += static_cast<int32_t>(std::lrint(std::clamp(left_[i] * gain, -65536.0, 65536.0)));
        accumulator[2 * i + 1] += static_cast<int32_t>(std::lrint(std::clamp(right_[i] * gain, -65536.0, 65536.0)));
    }
}

}  // namespace velk::platform
