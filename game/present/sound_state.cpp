#include "game/present/sound_state.h"

#include <algorithm>
#include <cstdlib>
#include <utility>

#include "game/data/database.h"
#include "game/data/error_reporter.h"
#include "game/data/game_file_source.h"
#include "game/data/game_objects.h"
#include "game/data/game_system.h"
#include "game/data/game_wide_values.h"
#include "game/data/player_settings.h"
#include "game/data/text_format.h"
#include "game/data/variable_store.h"
#include "game/present/sound_texts.h"
#include "lib/api/library_api.h"

namespace velk {
namespace {

constexpr int32_t kStreamCreateType = 2;
constexpr int32_t kWholeCreateType = 0;
constexpr int32_t kPlayBackground = 1;
constexpr int32_t kPlayLoop = 3;
constexpr int32_t kMidiOption = 1;
constexpr int32_t kMidiSilent = -2500;
constexpr int32_t kMidiTempoDelayFrames = 20;
constexpr char kDataFolder[] = "Data\\";
// The range of playback frequencies the sound device takes.
constexpr int64_t kLowestFrequency = 100;
constexpr int64_t kHighestFrequency = 200000;

// Whether the last five characters of a name hold `lower` or its capitals.
bool TailHas(const std::string& name, const char* lower, const char* upper) {
    const std::string tail = name.size() > 5 ? name.substr(name.size() - 5) : name;
    return tail.find(lower) != std::string::npos || tail.find(upper) != std::string::npos;
}

bool Contains(const std::string& name, const char* lower, const char* upper) {
    return name.find(lower) != std::string::npos || name.find(upper) != std::string::npos;
}

// A fade of n frames runs n + 1 updates; a fade below 0 from game data is 0.
int32_t FadeFrames(int32_t fade) { return fade < 0 ? 1 : fade == INT32_MAX ? fade : fade + 1; }

int32_t OrHundred(int32_t value) { return value == 0 ? 100 : value; }

int32_t Scaled(int64_t value, int64_t numerator, int64_t denominator) {
    if (denominator == 0) return 0;
    return static_cast<int32_t>(std::clamp<int64_t>(value * numerator / denominator, INT32_MIN, INT32_MAX));
}

}  // namespace

int32_t SoundSettings::Permission() const { return GlobalPlayerSettings().seAndBgm; }

int32_t SoundSettings::MasterVolume(int32_t kind) const {
    return GlobalVariableStore().GetSystemVariable(100 + std::clamp(kind, 0, 2));
}

int32_t SoundSettings::FrameStep() const { return GlobalGameWideValues().frameStep; }

std::optional<int32_t> SoundSettings::NextSpareRow(int32_t kind) const {
    return GlobalGameSystem().NextSpareSoundRow(kind);
}

void SoundSettings::TakeSpareRow(int32_t kind) { GlobalGameSystem().TakeSpareSoundRow(kind); }

SoundState::SoundState(Database& systemDatabase, MidiOutput& midi, SoundSettings& settings)
    : SoundState(systemDatabase, midi, NoSpeech(), settings) {}

SoundState::SoundState(Database& systemDatabase, MidiOutput& midi, SpeechOutput& speech, SoundSettings& settings) {
    database_ = &systemDatabase;
    midi_ = &midi;
    speech_ = &speech;
    settings_ = &settings;
}

SoundState::~SoundState() {
    if (owning_) SilenceAll();
}

SoundState::SoundState(SoundState&& other) noexcept : SoundStateFields(std::move(other)) { other.owning_ = false; }

SoundState& SoundState::operator=(SoundState&& other) noexcept {
    if (this == &other) return *this;
    if (owning_) SilenceAll();
    static_cast<SoundStateFields&>(*this) = std::move(other);
    other.owning_ = false;
    return *this;
}

// Every library sound goes, and the MIDI music stops with them: a fresh state
// knows of no music that could still be playing.
void SoundState::SilenceAll() {
    DeleteAllSounds();
    if (bgmIsMidi_ || bgmPreviousIsMidi_) midi_->Stop();
    for (auto& handles : handles_)
        handles.clear();
    namedSounds_.clear();
    effectQueue_.clear();
}

// ---------------------------------------------------------------------------
// Rows

int32_t SoundState::RowLimit(int32_t kind) const {
    if (kind < 0 || kind > 2) return 0;
    return std::max(database_->GetDataCount(kind + 1), 0);
}

// The spare rows are the last ten; a list shorter than that has none.
int32_t SoundState::SpareBase(int32_t kind) const {
    const int32_t rows = RowLimit(kind);
    return rows >= kSpareRows ? rows - kSpareRows : -1;
}

bool SoundState::RowExists(int32_t kind, int32_t row) const { return row >= 0 && row < RowLimit(kind); }

int32_t SoundState::RowInt(int32_t kind, int32_t row, int32_t item) const {
    if (!RowExists(kind, row) || item >= database_->GetItemCount(kind + 1)) return 0;
    if (database_->GetItemKindClass(kind + 1, item) != kNumberItemClass) return 0;
    return database_->GetInt(kind + 1, row, item);
}

std::string SoundState::RowString(int32_t kind, int32_t row, int32_t item) const {
    if (!RowExists(kind, row) || item >= database_->GetItemCount(kind + 1)) return {};
    if (database_->GetItemKindClass(kind + 1, item) != kStringItemClass) return {};
    return database_->GetString(kind + 1, row, item);
}

int32_t SoundState::RowHandle(int32_t kind, int32_t row) const {
    if (kind < 0 || kind > 2) return 0;
    auto found = handles_[kind].find(row);
    return found == handles_[kind].end() ? 0 : found->second;
}

bool SoundState::Allowed(int32_t kind) const {
    const int32_t permission = settings_->Permission();
    return kind == kSoundEffect ? (permission == 1 || permission == 3) : (permission == 2 || permission == 3);
}

int32_t SoundState::Master(int32_t kind) const { return settings_->MasterVolume(kind); }

int32_t SoundState::Flag(const std::vector<int32_t>& list, int32_t row) {
    return row >= 0 && static_cast<size_t>(row) < list.size() ? list[static_cast<size_t>(row)] : 0;
}

void SoundState::SetFlag(std::vector<int32_t>& list, int32_t row, int32_t value) {
    if (row >= 0 && static_cast<size_t>(row) < list.size()) list[static_cast<size_t>(row)] = value;
}

int32_t SoundState::FrequencyFor(int32_t handle, int32_t percent) {
    if (percent < 1) return -1;
    const int64_t own = GetSoundFrequency(handle);
    if (own <= 0) return -1;
    return static_cast<int32_t>(std::clamp(own * percent / 100, kLowestFrequency, kHighestFrequency));
}

int32_t SoundState::TempoDepthFor(int32_t percent) {
    const int64_t f = percent;
    return static_cast<int32_t>(std::clamp<int64_t>(f < 100 ? 2 * f - 200 : (f - 100) / 2, INT32_MIN, INT32_MAX));
}

void SoundState::SetMidiVolume(double volume) {
    midi_->MasterVolume(static_cast<int32_t>(std::clamp((volume - 100.0) * 25.0, -1e9, 1e9)));
}

// ---------------------------------------------------------------------------
// Lists

void SoundState::SizeTables() {
    bgmMidi_.assign(static_cast<size_t>(RowLimit(kMusic)) + 20, 0);
    oggFlags_[0].assign(static_cast<size_t>(RowLimit(kMusic)) + 20, 0);
    oggFlags_[1].assign(static_cast<size_t>(RowLimit(kBackgroundSound)) + 20, 0);
}

void SoundState::InitSoundLists() {
    if (bgmMidi_.empty()) SizeTables();
    for (int32_t kind : {kMusic, kBackgroundSound}) {
        for (int32_t row = 0; row < RowLimit(kind); ++row) {
            if (TailHas(RowString(kind, row, 0), ".ogg", ".OGG")) SetFlag(oggFlags_[kind], row, 1);
        }
    }
    if (!midi_->Present()) return;
    for (int32_t row = 0; row < RowLimit(kMusic); ++row) {
        const std::string name = RowString(kMusic, row, 0);
        if (!TailHas(name, ".mid", ".MID")) continue;
        const std::string path = kDataFolder + name;
        auto bytes = ReadGameFile(path);
        if (!bytes) {
            if (!name.empty()) {
                ActiveErrorReporter().ShowErrorBox(FormatText(texts::kMidiRowMissing, 1, row, path.c_str()),
                                                   texts::kMidiLoadErrorCaption, FormatErrorLocation());
            }
            continue;
        }
        midi_->ReadList(bytes->data(), static_cast<int32_t>(bytes->size()), kMidiOption, row + 1);
        SetFlag(bgmMidi_, row, 1);
    }
}

// ---------------------------------------------------------------------------
// Loading and releasing

bool SoundState::LoadSound(int32_t kind, int32_t number) {
    if (number == -1 || kind < 0 || kind > 2 || !Allowed(kind)) return true;
    if (kind == kMusic && Flag(bgmMidi_, number) == 1) return true;
    if (!RowExists(kind, number)) return true;
    if (kind == kSoundEffect) effectStamps_[number] = ++loadCounter_;
    if (RowHandle(kind, number) != 0) return true;
    const std::string name = RowString(kind, number, 0);
    const std::string path = kDataFolder + name;
    auto bytes = ReadGameFile(path);
    if (!bytes) {
        if (!name.empty()) {
            ActiveErrorReporter().ShowErrorBox(FormatText(texts::kSoundRowMissing, kind + 1, number, path.c_str()),
                                               texts::kSoundLoadErrorCaption, FormatErrorLocation());
        }
        return true;
    }
    const auto size = static_cast<uint32_t>(bytes->size());
    int32_t handle;
    if (kind == kSoundEffect) {
        SetSoundCreateType(kWholeCreateType);
        handle = LoadSoundFromMemoryWithBuffers(bytes->data(), size, 1, -1);
    } else {
        SetSoundCreateType(kStreamCreateType);
        handle = LoadSoundFromMemory(bytes->data(), size, -1);
        SetSoundCreateType(kWholeCreateType);
    }
    if (handle <= 0) return true;
    handles_[kind][number] = handle;
    if (kind == kSoundEffect) EvictEffects(number);
    return true;
}

// While too many sound effects are loaded, the one loaded longest ago that is
// neither playing nor waiting in the queue goes; the pass ends when none is
// left to choose.
void SoundState::EvictEffects(int32_t keptRow) {
    while (static_cast<int32_t>(handles_[kSoundEffect].size()) > kLoadedEffectLimit) {
        int32_t chosen = -1;
        int32_t oldest = INT32_MAX;
        for (const auto& [row, handle] : handles_[kSoundEffect]) {
            if (row == keptRow || CheckSoundPlaying(handle) == 1) continue;
            if (EffectQueued(handle)) continue;
            auto stamp = effectStamps_.find(row);
            const int32_t when = stamp == effectStamps_.end() ? 0 : stamp->second;
            if (when < oldest) {
                oldest = when;
                chosen = row;
            }
        }
        if (chosen < 0) return;
        const int32_t handle = handles_[kSoundEffect][chosen];
        DropHandle(kSoundEffect, handle);
    }
}

bool SoundState::EffectQueued(int32_t handle) {
    if (queuedHandlesOf_ != effectQueue_.size()) {
        queuedHandles_.clear();
        for (const QueuedEffect& entry : effectQueue_)
            queuedHandles_.insert(entry.handle);
        queuedHandlesOf_ = effectQueue_.size();
    }
    return queuedHandles_.count(handle) != 0;
}

// Deletes the sound and forgets every place that names it.
void SoundState::DropHandle(int32_t kind, int32_t handle) {
    StopSoundHandle(handle);
    DeleteSound(handle);
    for (auto it = handles_[kind].begin(); it != handles_[kind].end();) {
        it = it->second == handle ? handles_[kind].erase(it) : std::next(it);
    }
    for (auto it = namedSounds_.begin(); it != namedSounds_.end();) {
        it = it->second == handle ? namedSounds_.erase(it) : std::next(it);
    }
}

void SoundState::ReleaseHandle(int32_t kind, int32_t handle) {
    if (handle == 0) return;
    if (kind == kMusic && handle == bgmHandle_) return;
    if (kind == kBackgroundSound && handle == bgsHandle_) return;
    DropHandle(kind, handle);
}

bool SoundState::ReleaseSound(int32_t kind, int32_t number) {
    if (number < 0 || kind < 0 || kind > 2) return false;
    const int32_t handle = RowHandle(kind, number);
    if (handle == 0 || handle == bgmHandle_ || handle == bgsHandle_) return false;
    if (handle == bgmPreviousHandle_ || handle == bgsPreviousHandle_) return false;
    DropHandle(kind, handle);
    return true;
}

int32_t SoundState::CountLoadedSounds() const {
    return static_cast<int32_t>(handles_[0].size() + handles_[1].size() + handles_[2].size());
}

std::vector<SoundState::LoadedSound> SoundState::LoadedSounds() const {
    // A file named at run time keeps its name here: registering the next
    // one clears the name of the spare row before it, loaded or not.
    std::map<int32_t, std::string> namedFiles;
    for (const auto& [path, handle] : namedSounds_)
        namedFiles[handle] = path.substr(std::min(path.size(), sizeof kDataFolder - 1));
    std::vector<LoadedSound> sounds;
    for (int32_t kind : {kMusic, kBackgroundSound, kSoundEffect}) {
        for (const auto& [row, handle] : handles_[kind]) {
            auto named = namedFiles.find(handle);
            sounds.push_back({kind, row, named != namedFiles.end() ? named->second : RowString(kind, row, 0)});
        }
    }
    return sounds;
}

void SoundState::ReleaseUnusedSounds() {
    for (int32_t kind : {kMusic, kBackgroundSound, kSoundEffect}) {
        std::vector<int32_t> unused;
        for (const auto& [row, handle] : handles_[kind]) {
            if (row >= RowLimit(kind) || CheckSoundPlaying(handle) == 1) continue;
            // The music and background sound, and effects waiting for
            // their turn, are in use whether or not they sound now.
            if (handle == bgmHandle_ || handle == bgmPreviousHandle_ || handle == bgsHandle_ ||
                handle == bgsPreviousHandle_)
                continue;
            if (!EffectQueued(handle)) unused.push_back(handle);
        }
        for (int32_t handle : unused)
            DropHandle(kind, handle);
    }
}

int32_t SoundState::PlayPosition(int32_t kind) const {
    const int32_t handle = CurrentHandle(kind);
    if (handle == 0) return 0;
    return std::max(GetSoundPlayPosition(handle), 0);
}

// The length with the loop offset: an Ogg Vorbis sound counts a second
// shorter, never below 0.
int32_t SoundState::PlayLength(int32_t kind) const {
    const int32_t handle = CurrentHandle(kind);
    if (handle == 0) return 0;
    const int32_t length = GetSoundLength(handle);
    if (length <= 0) return 0;
    return std::max(length + GetLoopOffset(kind), 0);
}

// ---------------------------------------------------------------------------
// Play

void SoundState::Play(int32_t kind, int32_t number, int32_t fade, int32_t start) {
    if (number == 65535) number = -1;
    if (!listsLoaded_) {
        InitSoundLists();
        listsLoaded_ = 1;
    }
    if (kind == kSoundEffect) {
        if (Allowed(kind)) PlayEffect(number, fade);
        return;
    }
    if (kind != kMusic && kind != kBackgroundSound) return;
    if (!Allowed(kind)) {
        if (number >= -1) (kind == kMusic ? bgmNumber_ : bgsNumber_) = number;
        return;
    }
    if (kind == kMusic) {
        PlayMusic(number, fade, start);
    } else {
        PlayBackgroundSound(number, fade, start);
    }
}

void SoundState::PlayMusic(int32_t number, int32_t fade, int32_t start) {
    if (number == bgmNumber_) return;
    // A sound still fading out is cut.
    if (bgmPreviousHandle_ != 0) {
        SetSoundVolume(0, bgmPreviousHandle_);
        ReleaseHandle(kMusic, bgmPreviousHandle_);
    }
    if (bgmPreviousIsMidi_ && !bgmIsMidi_) midi_->Stop();
    bgmPreviousIsMidi_ = bgmIsMidi_;
    bgmPreviousHandle_ = bgmHandle_;
    const int32_t frames = FadeFrames(fade);
    auto stopMusic = [&] {
        bgmIsMidi_ = 0;
        bgmPreviousVolume_ = bgmVolume_;
        bgmVolume_ = 0;
        bgmNumber_ = -1;
        bgmHandle_ = 0;
        bgmStartVolume_ = 0;
        bgmName_.clear();
    };
    if (number < 0 || !RowExists(kMusic, number)) {
        const bool cutNow = fade <= 0 && RowExists(kMusic, bgmNumber_) && bgmPreviousHandle_ != 0;
        stopMusic();
        if (cutNow) {
            DropHandle(kMusic, bgmPreviousHandle_);
            bgmPreviousHandle_ = 0;
        }
        bgmFadeRemaining_ = bgmFadeTotal_ = frames;
        return;
    }
    const int32_t volumeItem = OrHundred(RowInt(kMusic, number, 1));
    const int32_t frequencyItem = RowInt(kMusic, number, 2);
    const int32_t loopItem = RowInt(kMusic, number, 3);
    if (Flag(bgmMidi_, number) == 1) {
        if (bgmPreviousIsMidi_) midi_->Stop();
        bgmIsMidi_ = 1;
        bgmHandle_ = 0;
        bgmPreviousVolume_ = bgmVolume_;
        midi_->MasterVolume(kMidiSilent);
        bgmSpeed_ = bgmFrequency_ = OrHundred(frequencyItem);
        midi_->TempoDepth(TempoDepthFor(bgmFrequency_));
        midiTempoDelay_ = kMidiTempoDelayFrames;
        midi_->Play(kMidiOption, number + 1, start);
        bgmVolume_ = Scaled(volumeItem, Master(kMusic), 100);
        bgmStartVolume_ = 0;
        bgmFadeRemaining_ = bgmFadeTotal_ = frames;
        bgmName_ = RowString(kMusic, number, 0);
        bgmNumber_ = number;
        bgmVolumeItem_ = volumeItem;
        bgmStatus_ = {RowInt(kMusic, number, 1), frequencyItem, loopItem};
        RememberIfNamed(kMusic, number);
        return;
    }
    bgmIsMidi_ = 0;
    LoadSound(kMusic, number);
    const int32_t handle = RowHandle(kMusic, number);
    if (handle == 0) {
        stopMusic();
        bgmFadeRemaining_ = bgmFadeTotal_ = frames;
        return;
    }
    bgmHandle_ = handle;
    bgmNumber_ = number;
    bgmPreviousVolume_ = bgmVolume_;
    bgmVolume_ = Scaled(volumeItem, Master(kMusic), 100);
    bgmStartVolume_ = 0;
    bgmFadeRemaining_ = bgmFadeTotal_ = frames;
    SetSoundLoopPosition(loopItem, handle);
    if (frequencyItem < 1) {
        bgmSpeed_ = 100;
        bgmFrequency_ = GetSoundFrequency(handle);
        SetSoundFrequency(-1, handle);
    } else {
        bgmSpeed_ = frequencyItem;
        bgmFrequency_ = FrequencyFor(handle, frequencyItem);
        SetSoundFrequency(bgmFrequency_, handle);
    }
    if (handle != bgmPreviousHandle_) SetSoundVolume(0, handle);
    if (start < 1) {
        if (handle != bgmPreviousHandle_) PlaySoundHandle(handle, kPlayLoop, 1);
    } else {
        SetSoundPlayPosition(start, handle);
        PlaySoundHandle(handle, kPlayLoop, 0);
    }
    if (handle == bgmPreviousHandle_) bgmPreviousHandle_ = 0;
    bgmName_ = RowString(kMusic, number, 0);
    bgmVolumeItem_ = volumeItem;
    bgmStatus_ = {RowInt(kMusic, number, 1), frequencyItem, loopItem};
    RememberIfNamed(kMusic, number);
}

void SoundState::PlayBackgroundSound(int32_t number, int32_t fade, int32_t start) {
    if (number == bgsNumber_) return;
    if (bgsPreviousHandle_ != 0) ReleaseHandle(kBackgroundSound, bgsPreviousHandle_);
    bgsPreviousHandle_ = 0;
    if (number >= 0) LoadSound(kBackgroundSound, number);
    bgsPreviousHandle_ = bgsHandle_;
    const int32_t frames = FadeFrames(fade);
    const int32_t handle = number >= 0 ? RowHandle(kBackgroundSound, number) : 0;
    if (handle == 0) {
        bgsNumber_ = -1;
        bgsPreviousVolume_ = bgsVolume_;
        bgsVolume_ = 0;
        bgsHandle_ = 0;
        bgsFadeRemaining_ = bgsFadeTotal_ = frames;
        bgsStartVolume_ = 0;
        bgsName_.clear();
        return;
    }
    const int32_t volumeItem = OrHundred(RowInt(kBackgroundSound, number, 1));
    const int32_t frequencyItem = RowInt(kBackgroundSound, number, 2);
    const int32_t loopItem = RowInt(kBackgroundSound, number, 3);
    bgsHandle_ = handle;
    bgsPreviousVolume_ = bgsVolume_;
    bgsVolume_ = Scaled(volumeItem, Master(kBackgroundSound), 100);
    bgsStartVolume_ = 0;
    bgsFadeRemaining_ = bgsFadeTotal_ = frames;
    SetSoundLoopPosition(loopItem, handle);
    bgsSpeed_ = bgsFrequency_ = frequencyItem < 1 ? 100 : frequencyItem;
    SetSoundFrequency(FrequencyFor(handle, frequencyItem), handle);
    SetSoundVolume(0, handle);
    if (start < 1) {
        PlaySoundHandle(handle, kPlayLoop, 1);
    } else {
        SetSoundPlayPosition(start, handle);
        PlaySoundHandle(handle, kPlayLoop, 0);
    }
    // The same file again keeps its handle: it fades in, not out.
    if (handle == bgsPreviousHandle_) bgsPreviousHandle_ = 0;
    bgsNumber_ = number;
    bgsName_ = RowString(kBackgroundSound, number, 0);
    bgsVolumeItem_ = volumeItem;
    bgsStatus_ = {RowInt(kBackgroundSound, number, 1), frequencyItem, loopItem};
    RememberIfNamed(kBackgroundSound, number);
}

void SoundState::PlayEffect(int32_t number, int32_t delay) {
    if (Master(kSoundEffect) <= 0) return;
    if (number >= 0) LoadSound(kSoundEffect, number);
    const int32_t handle = number == -1 ? -1 : number >= 0 ? RowHandle(kSoundEffect, number) : 0;
    if (handle == 0) return;
    // A queue that changed behind the handles gathered stays marked so: a
    // later length that matches again would not make them right.
    if (queuedHandlesOf_ == effectQueue_.size()) {
        queuedHandles_.insert(handle);
        ++queuedHandlesOf_;
    } else {
        queuedHandlesOf_ = kQueueNotGathered;
    }
    // A delay below 0 from game data plays at once.
    effectQueue_.push_back({handle, std::max(delay, 0), number >= 0 ? RowInt(kSoundEffect, number, 3) : 0});
    if (handle == -1) return;
    SetSoundVolume(Scaled(OrHundred(RowInt(kSoundEffect, number, 1)), Master(kSoundEffect), 100), handle);
    SetSoundFrequency(FrequencyFor(handle, RowInt(kSoundEffect, number, 2)), handle);
}

void SoundState::RestartMusic(int32_t fade) {
    int32_t music = bgmNumber_;
    int32_t background = bgsNumber_;
    bgmNumber_ = bgsNumber_ = kRestarting;
    // A sound the saved game had started by file name comes back through the
    // first spare row: the save holds only its mark, this state its file.
    if (music == kStartedByName) music = RegisterRememberedFile(kMusic);
    if (background == kStartedByName) background = RegisterRememberedFile(kBackgroundSound);
    Play(kMusic, music, fade, 0);
    Play(kBackgroundSound, background, fade, 0);
}

// ---------------------------------------------------------------------------
// Run-time sound files

int32_t SoundState::LoadSoundFile(const std::string& path, int32_t kind, int32_t row) {
    const bool midiPath = kind == kMusic && Contains(path, ".mid", ".MID");
    if (kind != kSoundEffect && !midiPath) {
        if (kind == kMusic) SetFlag(bgmMidi_, row, 0);
        SetFlag(oggFlags_[kind], row, Contains(path, ".ogg", ".OGG") ? 1 : 0);
    }
    if (!midiPath) {
        auto known = namedSounds_.find(path);
        if (known != namedSounds_.end()) {
            if (CheckSoundPlaying(known->second) != -1) return known->second;
            namedSounds_.erase(known);
        }
    }
    auto bytes = ReadGameFile(path);
    if (!bytes) {
        if (!path.empty()) {
            ActiveErrorReporter().ShowErrorBox(FormatText(texts::kSoundFileMissing, path.c_str()),
                                               texts::kSoundLoadErrorCaption, FormatErrorLocation());
        }
        return -1;
    }
    const auto size = static_cast<uint32_t>(bytes->size());
    if (midiPath) {
        if (midi_->ReadList(bytes->data(), static_cast<int32_t>(size), kMidiOption, row + 1) != 0 && midi_->Present()) {
            return -1;
        }
        SetFlag(bgmMidi_, row, 1);
        return 0;
    }
    int32_t handle;
    if (kind == kSoundEffect) {
        SetSoundCreateType(kWholeCreateType);
        handle = LoadSoundFromMemoryWithBuffers(bytes->data(), size, 1, -1);
    } else {
        if (kind == kMusic) midi_->DeleteList(row + 1);
        SetSoundCreateType(kStreamCreateType);
        handle = LoadSoundFromMemory(bytes->data(), size, -1);
        SetSoundCreateType(kWholeCreateType);
    }
    if (handle <= 0) return -1;
    namedSounds_[path] = handle;
    return handle;
}

int32_t SoundState::AddSoundFile(std::string text, int32_t kind, int32_t fade, int32_t loop, int32_t volume,
                                 int32_t frequency) {
    std::erase(text, '\r');
    const size_t firstBreak = text.find('\n');
    if (text.empty() || firstBreak == 0 || firstBreak == 1) return -1;
    if (kind < 0 || kind > 2) return kNotRegistered;
    std::vector<std::string> lines;
    for (size_t begin = 0;;) {
        const size_t end = text.find('\n', begin);
        lines.push_back(text.substr(begin, end == std::string::npos ? std::string::npos : end - begin));
        if (end == std::string::npos) break;
        begin = end + 1;
    }
    if (lines.size() > 1 && !lines[1].empty()) volume = std::atoi(lines[1].c_str());
    if (lines.size() > 2 && !lines[2].empty()) frequency = std::atoi(lines[2].c_str());
    if (lines.size() > 3 && !lines[3].empty()) loop = std::atoi(lines[3].c_str());
    const std::string& name = lines[0];
    const std::string path = kDataFolder + name;

    const int32_t base = SpareBase(kind);
    if (base < 0) return kNotRegistered;
    if (!listsLoaded_) {
        InitSoundLists();
        listsLoaded_ = 1;
    }
    const std::optional<int32_t> spare = settings_->NextSpareRow(kind);
    if (!spare || *spare < base || *spare >= base + kSpareRows) return kNotRegistered;
    const int32_t row = *spare;
    const int32_t handle = LoadSoundFile(path, kind, row);
    if (handle < 0) return kNotRegistered;

    // The sound playing already: only its volume and frequency change.
    const bool midi = kind == kMusic && Flag(bgmMidi_, row) == 1;
    const bool playingMusic = kind == kMusic && (midi ? (bgmIsMidi_ && bgmName_ == name) : handle == bgmHandle_);
    const bool playingBackground = kind == kBackgroundSound && handle == bgsHandle_;
    if (playingMusic || playingBackground) {
        const int32_t frames = std::max(1, FadeFrames(fade));
        const int32_t ownVolume = OrHundred(volume);
        if (kind == kMusic) {
            bgmFadeRemaining_ = bgmFadeTotal_ = frames;
            bgmStartVolume_ = bgmPreviousVolume_ = bgmVolume_;
            bgmVolume_ = Scaled(ownVolume, Master(kMusic), 100);
            bgmVolumeItem_ = ownVolume;
            if (midi) {
                bgmSpeed_ = bgmFrequency_ = OrHundred(frequency);
                midiTempoDelay_ = -1;
                midi_->TempoDepth(TempoDepthFor(bgmFrequency_));
            } else {
                bgmSpeed_ = frequency < 1 ? 100 : frequency;
                bgmFrequency_ = FrequencyFor(handle, frequency);
                SetSoundFrequency(bgmFrequency_, handle);
            }
            bgmStatus_ = {volume, frequency, loop};
        } else {
            bgsFadeRemaining_ = bgsFadeTotal_ = frames;
            bgsStartVolume_ = bgsPreviousVolume_ = bgsVolume_;
            bgsVolume_ = Scaled(ownVolume, Master(kBackgroundSound), 100);
            bgsVolumeItem_ = ownVolume;
            bgsSpeed_ = bgsFrequency_ = frequency < 1 ? 100 : frequency;
            SetSoundFrequency(FrequencyFor(handle, frequency), handle);
            bgsStatus_ = {volume, frequency, loop};
        }
        return kNotRegistered;
    }

    PlaceInRow(kind, row, handle);
    database_->SetString(kind + 1, row, 0, name);
    database_->SetInt(kind + 1, row, 1, volume);
    database_->SetInt(kind + 1, row, 2, frequency);
    if (kind != kSoundEffect) database_->SetInt(kind + 1, row, 3, loop);
    database_->SetString(kind + 1, base + (row - base + 9) % kSpareRows, 0, "");
    settings_->TakeSpareRow(kind);
    return row;
}

void SoundState::PlaceInRow(int32_t kind, int32_t row, int32_t handle) {
    // Whatever the row held before goes, unless it still sounds as the music
    // or background sound (its fade releases it then).
    const int32_t old = RowHandle(kind, row);
    if (old != 0 && old != handle) {
        handles_[kind].erase(row);
        const bool inUse =
            old == bgmHandle_ || old == bgmPreviousHandle_ || old == bgsHandle_ || old == bgsPreviousHandle_;
        if (!inUse) DropHandle(kind, old);
    }
    // A file registered before moves to the new row.
    if (handle != 0) {
        for (auto it = handles_[kind].begin(); it != handles_[kind].end();) {
            it = it->second == handle ? handles_[kind].erase(it) : std::next(it);
        }
        handles_[kind][row] = handle;
    }
}

void SoundState::RememberIfNamed(int32_t kind, int32_t number) {
    const int32_t base = SpareBase(kind);
    if (base < 0 || number < base || number >= base + kSpareRows) return;
    startedByName_[kind] = {RowString(kind, number, 0), RowInt(kind, number, 1), RowInt(kind, number, 2),
                            RowInt(kind, number, 3)};
}

int32_t SoundState::RegisterRememberedFile(int32_t kind) {
    const int32_t row = SpareBase(kind);
    const NamedSound& named = startedByName_[kind];
    if (row < 0 || named.name.empty()) return -1;
    if (!listsLoaded_) {
        InitSoundLists();
        listsLoaded_ = 1;
    }
    database_->SetString(kind + 1, row, 0, named.name);
    database_->SetInt(kind + 1, row, 1, named.volume);
    database_->SetInt(kind + 1, row, 2, named.frequency);
    database_->SetInt(kind + 1, row, 3, named.loop);
    const int32_t handle = LoadSoundFile(kDataFolder + named.name, kind, row);
    if (handle < 0) return -1;
    PlaceInRow(kind, row, handle);
    settings_->TakeSpareRow(kind);
    return row;
}

int32_t SoundState::GetLoopOffset(int32_t kind) const {
    if (kind == kMusic) return Flag(oggFlags_[0], bgmNumber_) == 1 ? -1000 : 0;
    if (kind == kBackgroundSound) return Flag(oggFlags_[1], bgsNumber_) == 1 ? -1000 : 0;
    return 0;
}

// ---------------------------------------------------------------------------
// Per frame

void SoundState::Update() {
    const int32_t step = std::max(settings_->FrameStep(), 1);
    UpdateMusic(step);
    UpdateBackgroundSound(step);
    UpdateEffects(step);
}

void SoundState::UpdateMusic(int32_t step) {
    // The tempo goes to the MIDI library again a while after the piece
    // started, whether or not a fade still runs by then.
    if (bgmIsMidi_ && midiTempoDelay_ >= 0) {
        --midiTempoDelay_;
        if (midiTempoDelay_ == 0) midi_->TempoDepth(TempoDepthFor(bgmFrequency_));
    }
    if (bgmFadeRemaining_ == -1) return;
    const int64_t r = bgmFadeRemaining_;
    const int64_t t = std::max(bgmFadeTotal_, 1);
    const bool outgoingMidi = bgmPreviousIsMidi_ && !bgmIsMidi_;
    if (bgmNumber_ != -1) {
        if (bgmPreviousHandle_ != 0 && bgmPreviousHandle_ != bgmHandle_) {
            SetSoundVolume(Scaled(bgmPreviousVolume_, r, t), bgmPreviousHandle_);
        }
        if (outgoingMidi) {
            midi_->MasterVolume(Scaled(int64_t{bgmPreviousVolume_} - 100, 25, 1) - Scaled(t - r, 2500, t));
            if (r == 0) midi_->Stop();
        }
        if (bgmIsMidi_) {
            const double level = static_cast<double>(bgmVolume_) * static_cast<double>(t - r) / static_cast<double>(t) +
                                 static_cast<double>(bgmStartVolume_) * static_cast<double>(r) / static_cast<double>(t);
            midi_->MasterVolume(static_cast<int32_t>(std::clamp((level - 100.0), -1e7, 1e7)) * 25);
        } else if (bgmHandle_ != 0) {
            SetSoundVolume(Scaled(bgmStartVolume_, r, t) + Scaled(bgmVolume_, t - r, t), bgmHandle_);
        }
    } else if (outgoingMidi) {
        midi_->MasterVolume(Scaled(int64_t{bgmPreviousVolume_} - 100, 25, 1) - Scaled(t - r, 2500, t));
        if (r == 0) midi_->Stop();
    } else if (bgmPreviousHandle_ != 0) {
        SetSoundVolume(Scaled(bgmPreviousVolume_, r, t), bgmPreviousHandle_);
    }
    if (bgmPreviousHandle_ != 0 && r == 0) {
        ReleaseHandle(kMusic, bgmPreviousHandle_);
        bgmPreviousHandle_ = 0;
    }
    if (r == 0 && outgoingMidi) bgmPreviousIsMidi_ = 0;
    bgmFadeRemaining_ = r > 0 ? static_cast<int32_t>(std::max<int64_t>(0, r - step)) : -1;
}

void SoundState::UpdateBackgroundSound(int32_t step) {
    if (bgsFadeRemaining_ == -1) return;
    const int64_t r = bgsFadeRemaining_;
    const int64_t t = std::max(bgsFadeTotal_, 1);
    if (bgsPreviousHandle_ != 0 && bgsPreviousHandle_ != bgsHandle_) {
        SetSoundVolume(Scaled(bgsPreviousVolume_, r, t), bgsPreviousHandle_);
    }
    if (bgsHandle_ != 0) SetSoundVolume(Scaled(bgsStartVolume_, r, t) + Scaled(bgsVolume_, t - r, t), bgsHandle_);
    if (bgsPreviousHandle_ != 0 && r == 0) {
        ReleaseHandle(kBackgroundSound, bgsPreviousHandle_);
        bgsPreviousHandle_ = 0;
    }
    bgsFadeRemaining_ = r > 0 ? static_cast<int32_t>(std::max<int64_t>(0, r - step)) : -1;
}

void RunEffectQueue(std::vector<SoundStateFields::QueuedEffect>& queue, int32_t step, EffectQueueSounds& sounds) {
    // The entries that stay are moved forward over the ones that leave, in
    // their order, so a frame in which many leave moves each entry once.
    size_t kept = 0;
    for (size_t at = 0; at < queue.size(); ++at) {
        SoundStateFields::QueuedEffect entry = queue[at];
        if (entry.delay == 0 && entry.handle == -1) {
            sounds.StopAll();
            queue.clear();
            return;
        }
        if (entry.delay == 0) {
            sounds.Play(entry.handle);
            if (entry.release < 1) continue;
        } else if (entry.delay < 0 && !sounds.Playing(entry.handle)) {
            sounds.Release(entry.handle);
            continue;
        }
        if (entry.delay > 0) {
            entry.delay = std::max(0, entry.delay - step);
        } else if (entry.delay == 0) {
            entry.delay = -1;
        }
        queue[kept++] = entry;
    }
    queue.resize(kept);
}

void SoundState::UpdateEffects(int32_t step) {
    class LibrarySounds final : public EffectQueueSounds {
    public:
        explicit LibrarySounds(SoundState& state) : state_(state) {}
        void Play(int32_t handle) override { PlaySoundHandle(handle, kPlayBackground, 1); }
        bool Playing(int32_t handle) override { return CheckSoundPlaying(handle) == 1; }
        void StopAll() override {
            for (const auto& [row, handle] : state_.handles_[kSoundEffect])
                StopSoundHandle(handle);
        }
        void Release(int32_t handle) override { state_.ReleaseHandle(kSoundEffect, handle); }

    private:
        SoundState& state_;
    } sounds(*this);
    RunEffectQueue(effectQueue_, step, sounds);
}

// ---------------------------------------------------------------------------
// The variable store's view

int32_t SoundState::Volume(SoundChannel channel) { return channel == SoundChannel::kMusic ? bgmVolume_ : bgsVolume_; }

// The same change as a run-time file that plays already: over two updates
// from the volume now heard to the new one.
void SoundState::StartVolumeChange(SoundChannel channel, int32_t volume) {
    volume = std::max(volume, 0);
    if (channel == SoundChannel::kMusic) {
        bgmFadeRemaining_ = bgmFadeTotal_ = 2;
        bgmStartVolume_ = bgmPreviousVolume_ = bgmVolume_;
        bgmVolume_ = volume;
    } else {
        bgsFadeRemaining_ = bgsFadeTotal_ = 2;
        bgsStartVolume_ = bgsPreviousVolume_ = bgsVolume_;
        bgsVolume_ = volume;
    }
}

int32_t SoundState::Speed(SoundChannel channel) { return channel == SoundChannel::kMusic ? bgmSpeed_ : bgsSpeed_; }

void SoundState::SetSpeed(SoundChannel channel, int32_t percent) {
    if (channel == SoundChannel::kMusic) {
        bgmSpeed_ = percent;
        if (bgmIsMidi_) {
            bgmFrequency_ = percent;
            midi_->TempoDepth(TempoDepthFor(percent));
        } else if (bgmHandle_ != 0) {
            bgmFrequency_ = FrequencyFor(bgmHandle_, percent);
            SetSoundFrequency(bgmFrequency_, bgmHandle_);
        }
        return;
    }
    bgsSpeed_ = bgsFrequency_ = percent;
    if (bgsHandle_ != 0) SetSoundFrequency(FrequencyFor(bgsHandle_, percent), bgsHandle_);
}

std::string SoundState::PlayingFileName(SoundChannel channel) {
    return channel == SoundChannel::kMusic ? bgmName_ : bgsName_;
}

int32_t SoundState::VolumeReference(SoundChannel channel) {
    return channel == SoundChannel::kMusic ? bgmVolumeItem_ : bgsVolumeItem_;
}

}  // namespace velk
