#pragma once
// The game's music (BGM), background sound (BGS) and sound effects (SE), each
// named by its row in the system database's sound lists (types 1, 2, 3; items
// 0 file name under the data folder, 1 volume %, 2 frequency % (0 = the
// file's own), 3 loop start in ms for BGM and BGS, release-after-playing for
// SE). Rows are loaded once into library sound handles; music and background
// sound cross-fade over frames; MIDI music goes to the MIDI library; sound
// effects wait in a queue with delays. The last ten rows of every list are
// spare rows for files named at run time and for synthetic speech.
//
// Every call that starts or changes a sound takes effect in Update, once a
// frame. Assigning a fresh state (the title/reset block) silences everything.

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include "game/data/game_owners.h"
#include "game/present/midi_output.h"
#include "game/present/speech_output.h"

namespace velk {

class Database;

// What the sound state reads and takes of the run's other state; by default
// the run's settings, the main interpreter's system variables, the frame
// step and the game system's rotation of spare rows.
class SoundSettings {
public:
    virtual ~SoundSettings() = default;
    // Game.ini's choice: 0 nothing, 1 sound effects only, 2 music only, 3 both.
    virtual int32_t Permission() const;
    // The master volume (percent) of a kind: system variables 100-102.
    virtual int32_t MasterVolume(int32_t kind) const;
    // Ticks of 1/60 s per frame.
    virtual int32_t FrameStep() const;
    // The spare row the next file of the kind named at run time goes into
    // (the kind's ten spare rows in turn); nullopt when its list has none.
    // Taking it moves the turn on.
    virtual std::optional<int32_t> NextSpareRow(int32_t kind) const;
    virtual void TakeSpareRow(int32_t kind);
};

// The values the save and status code read of the music and background sound.
struct SoundStatus {
    int32_t volumeItem = 0;
    int32_t frequency = 0;
    int32_t loopItem = 0;
};

// Everything a sound state holds, apart so that taking over another state's
// holdings is one assignment.
struct SoundStateFields {
    struct QueuedEffect {
        int32_t handle = 0;  // -1: stop every sound effect
        int32_t delay = 0;
        int32_t release = 0;
    };

    Database* database_ = nullptr;
    MidiOutput* midi_ = nullptr;
    SpeechOutput* speech_ = nullptr;
    SoundSettings* settings_ = nullptr;
    // False once moved from: then it owns no sounds.
    bool owning_ = true;

    std::map<int32_t, int32_t> handles_[3];
    // The load count at each sound effect's last load: the oldest idle
    // effect is the one to release when too many are loaded.
    std::map<int32_t, int32_t> effectStamps_;
    int32_t loadCounter_ = 0;
    int32_t bgmPreviousHandle_ = 0, bgmHandle_ = 0, bgsPreviousHandle_ = 0, bgsHandle_ = 0;
    int32_t bgmFadeRemaining_ = -1, bgsFadeRemaining_ = -1, bgmFadeTotal_ = -1, bgsFadeTotal_ = -1;
    int32_t bgmVolume_ = 100, bgsVolume_ = 100;
    // The music's playback frequency in Hz (sound files) or tempo percent
    // (MIDI); the background sound's frequency percent.
    int32_t bgmFrequency_ = 100, bgsFrequency_ = 100;
    int32_t bgmSpeed_ = 100, bgsSpeed_ = 100;
    int32_t bgmPreviousVolume_ = 0, bgsPreviousVolume_ = 0;
    int32_t bgmStartVolume_ = 0, bgsStartVolume_ = 0;
    // The row volume (item 1, 0 read as 100) of the music and background
    // sound that last started: the base that master-volume writes scale.
    int32_t bgmVolumeItem_ = 100, bgsVolumeItem_ = 100;
    std::map<std::string, int32_t> namedSounds_;
    std::vector<QueuedEffect> effectQueue_;
    // The handles the queue names, so that asking whether a sound waits does
    // not walk the queue. They hold while queuedHandlesOf_ is the queue's
    // length: but for a push, which adds its handle, the queue only ever
    // loses entries (a frame's run, a clear, a speech taking its row back),
    // and a queue that got shorter has them gathered again on the next
    // question.
    static constexpr size_t kQueueNotGathered = SIZE_MAX;
    std::unordered_set<int32_t> queuedHandles_;
    size_t queuedHandlesOf_ = kQueueNotGathered;
    std::vector<int32_t> bgmMidi_;
    std::vector<int32_t> oggFlags_[2];
    uint8_t bgmIsMidi_ = 0, bgmPreviousIsMidi_ = 0;
    uint8_t listsLoaded_ = 0;
    int32_t midiTempoDelay_ = -1;

    // The file and row settings (items 1-3) of the last music and background
    // sound that played from a spare row, that is, started by file name.
    struct NamedSound {
        std::string name;
        int32_t volume = 0, frequency = 0, loop = 0;
    };
    NamedSound startedByName_[2];

    int32_t bgmNumber_ = -1, bgsNumber_ = -1;
    std::string bgmName_, bgsName_;
    SoundStatus bgmStatus_, bgsStatus_;
};

// What a frame's run of the sound-effect queue does to the sounds it names.
// None of these looks at the queue.
class EffectQueueSounds {
public:
    virtual ~EffectQueueSounds() = default;
    virtual void Play(int32_t handle) = 0;
    virtual bool Playing(int32_t handle) = 0;
    // Stops every sound effect of the list.
    virtual void StopAll() = 0;
    virtual void Release(int32_t handle) = 0;
};

// One frame of the sound-effect queue, entry by entry in queue order: a stop
// entry (handle -1) that is due stops every sound effect and empties the
// queue; a due entry plays and leaves unless it is to be released after
// playing; an entry that has played and fallen silent is released and
// leaves; the delays of the others count down by `step`, a due one's to -1.
void RunEffectQueue(std::vector<SoundStateFields::QueuedEffect>& queue, int32_t step, EffectQueueSounds& sounds);

class SoundState final : public SoundOwner, private SoundStateFields {
public:
    static constexpr int32_t kMusic = 0;
    static constexpr int32_t kBackgroundSound = 1;
    static constexpr int32_t kSoundEffect = 2;
    // Rows at the end of every list kept for files named at run time.
    static constexpr int32_t kSpareRows = 10;
    // Sound effects kept loaded before the least recently loaded idle one goes.
    static constexpr int32_t kLoadedEffectLimit = 30;
    // AddSoundFile: the sound plays already (only its volume and frequency
    // changed), or it could not be registered.
    static constexpr int32_t kNotRegistered = -10;
    // A saved music or background-sound number: the sound was started by
    // file name.
    static constexpr int32_t kStartedByName = -3;
    // Both numbers while the scene restarts.
    static constexpr int32_t kRestarting = -100;

    // Without a speech library: speech gives nothing.
    SoundState(Database& systemDatabase, MidiOutput& midi, SoundSettings& settings);
    SoundState(Database& systemDatabase, MidiOutput& midi, SpeechOutput& speech, SoundSettings& settings);
    ~SoundState() override;
    SoundState(const SoundState&) = delete;
    SoundState& operator=(const SoundState&) = delete;
    // Takes the other's state after silencing this one; the other is left
    // owning nothing.
    SoundState(SoundState&& other) noexcept;
    SoundState& operator=(SoundState&& other) noexcept;

    // number -1 (or 65535) stops the kind; `fade` is the fade frames, the
    // delay frames for a sound effect; `start` the start position in ms.
    void Play(int32_t kind, int32_t number, int32_t fade, int32_t start);
    // Loads the row's file unless loaded; true in every case.
    bool LoadSound(int32_t kind, int32_t number);
    // Stops and deletes a row's sound unless it is the current music or
    // background sound; false when there was nothing to release.
    bool ReleaseSound(int32_t kind, int32_t number);
    // Registers a file named at run time in the kind's next spare row: the
    // text's first line is the file name under the data folder, further
    // lines (volume, frequency, loop ms) replace the arguments. The row, -1
    // for an empty name, kNotRegistered when it could not be registered or
    // when it is the sound playing already (then only its volume and
    // frequency change).
    int32_t AddSoundFile(std::string text, int32_t kind, int32_t fade, int32_t loop, int32_t volume, int32_t frequency);
    // Whether the speech library can synthesise.
    bool SpeechAvailable() const { return speech_->Present(); }
    // Speaks the text into the next spare sound-effect row, to be played at
    // `pitch` percent of its frequency (20 at least) and released after
    // playing; the speech speed is scaled by the inverse so that the spoken
    // tempo stays `speed`. The row, kNotRegistered when nothing came out.
    int32_t AddSpeech(std::string text, int32_t speed, int32_t volume, int32_t pitch);
    // -1000 when the current sound of the kind is Ogg Vorbis, else 0.
    int32_t GetLoopOffset(int32_t kind) const;
    // Sounds loaded over the three lists.
    int32_t CountLoadedSounds() const;
    struct LoadedSound {
        int32_t kind = kMusic;
        int32_t row = 0;
        // The row's file name under the data folder.
        std::string fileName;
    };
    // The loaded sounds, list by list in row order.
    std::vector<LoadedSound> LoadedSounds() const;
    // A map change: every loaded sound that is not playing, not the music or
    // background sound and not waiting in the effect queue is deleted.
    void ReleaseUnusedSounds();
    // The music (kind 0) or background sound (1) now playing: its play
    // position, and its length with the loop offset, in milliseconds; 0 when
    // none plays or the music is MIDI (which has no library sound).
    int32_t PlayPosition(int32_t kind) const;
    int32_t PlayLength(int32_t kind) const;
    void Update();

    // The scene restart after a load: both numbers are forgotten and the
    // remembered music and background sound start again with this fade; one
    // saved as started by file name is registered again in its kind's first
    // spare row from what this state remembers of it.
    void RestartMusic(int32_t fade);
    // A load's music and background sound (numbers as its game saved them):
    // what the next RestartMusic starts. Nothing of them plays before.
    void RememberForRestart(int32_t music, int32_t background) {
        bgmNumber_ = music;
        bgsNumber_ = background;
    }

    int32_t CurrentNumber(int32_t kind) const { return kind == kMusic ? bgmNumber_ : bgsNumber_; }
    const SoundStatus& Status(int32_t kind) const { return kind == kMusic ? bgmStatus_ : bgsStatus_; }
    bool MusicIsMidi() const { return bgmIsMidi_ != 0; }
    // The handle of the music or background sound now playing (0 none).
    int32_t CurrentHandle(int32_t kind) const { return kind == kMusic ? bgmHandle_ : bgsHandle_; }
    // The library sound of a row, 0 when it has none.
    int32_t RowHandle(int32_t kind, int32_t row) const;
    // The first of the kind's ten spare rows; -1 when its list has none.
    int32_t SpareBase(int32_t kind) const;

    // What the variable store reaches (system variables 95-101, strings 33-34).
    int32_t Volume(SoundChannel channel) override;
    void StartVolumeChange(SoundChannel channel, int32_t volume) override;
    int32_t Speed(SoundChannel channel) override;
    void SetSpeed(SoundChannel channel, int32_t percent) override;
    std::string PlayingFileName(SoundChannel channel) override;
    int32_t VolumeReference(SoundChannel channel) override;

private:
    void PlayMusic(int32_t number, int32_t fade, int32_t start);
    void PlayBackgroundSound(int32_t number, int32_t fade, int32_t start);
    void PlayEffect(int32_t number, int32_t delay);
    void UpdateMusic(int32_t step);
    void UpdateBackgroundSound(int32_t step);
    void UpdateEffects(int32_t step);
    void InitSoundLists();
    void SizeTables();
    // Stops and deletes a handle that is not the current music or background
    // sound, with its row and its run-time name.
    void ReleaseHandle(int32_t kind, int32_t handle);
    void DropHandle(int32_t kind, int32_t handle);
    // Loads a run-time file into the row; the handle, 0 for MIDI, -1 failed.
    int32_t LoadSoundFile(const std::string& path, int32_t kind, int32_t row);
    void EvictEffects(int32_t keptRow);
    // Whether an entry of the effect queue names the handle.
    bool EffectQueued(int32_t handle);
    // Puts a run-time file's handle in the row, dropping what it held.
    void PlaceInRow(int32_t kind, int32_t row, int32_t handle);
    void RememberIfNamed(int32_t kind, int32_t number);
    // The row of the remembered file once registered again, -1 when none.
    int32_t RegisterRememberedFile(int32_t kind);
    void SilenceAll();

    int32_t RowLimit(int32_t kind) const;
    bool RowExists(int32_t kind, int32_t row) const;
    int32_t RowInt(int32_t kind, int32_t row, int32_t item) const;
    std::string RowString(int32_t kind, int32_t row, int32_t item) const;
    bool Allowed(int32_t kind) const;
    int32_t Master(int32_t kind) const;
    static int32_t Flag(const std::vector<int32_t>& list, int32_t row);
    static void SetFlag(std::vector<int32_t>& list, int32_t row, int32_t value);
    // The library frequency for `percent` of the sound's own (-1 = its own).
    static int32_t FrequencyFor(int32_t handle, int32_t percent);
    static int32_t TempoDepthFor(int32_t percent);
    void SetMidiVolume(double volume);
};

}  // namespace velk
