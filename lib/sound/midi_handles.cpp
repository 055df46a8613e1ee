// MIDI handles played through the system sequencer, the current music and the
// sound capture file: the stop, delete and close paths the rest of the library
// runs on them. Nothing in the library makes a MIDI handle or opens a capture
// file yet, so these paths find their tables empty unless something fills them.

#include <algorithm>
#include <cstdio>

#include "lib/core/library.h"
#include "lib/core/handle_table.h"
#include "lib/sound/midi_handles.h"
#include "lib/sound/sound.h"
#include "lib/sound/sound_data.h"

namespace velk {
namespace {

constexpr int32_t kMidiHandleType = 0x58000000;
constexpr int32_t kMaxMidiHandles = 256;
constexpr int kNotifyRounds = 5;

using MidiTable = HandleTable<MidiData, std::unique_ptr<MidiData>>;

struct MidiState {
    MidiTable table{kMaxMidiHandles, kMidiHandleType};
    int32_t loop_play = 0;
    int32_t mci_playing = 0;
    std::string temporary_file;
    bool temporary_file_written = false;
    CurrentMusic current_music;
    SoundCaptureFile capture;
};

MidiState& Midi() {
    static MidiState state;
    return state;
}

void Put32(uint8_t* out, uint32_t value) {
    for (int i = 0; i < 4; ++i) out[i] = static_cast<uint8_t>(value >> (8 * i));
}
void Put16(uint8_t* out, uint16_t value) {
    out[0] = static_cast<uint8_t>(value);
    out[1] = static_cast<uint8_t>(value >> 8);
}

}  // namespace

int32_t AddMidiHandle(std::unique_ptr<MidiData> data) {
    MidiTable& table = Midi().table;
    const int32_t slot = table.NextSlot();
    if (slot < 0) return -1;
    return table.AddAt(slot, table.TakeNextCheck(), std::move(data));
}

MidiData* FindMidiHandle(int32_t handle) { return Midi().table.Get(handle); }

void SetMidiLoopPlay(int32_t flag) { Midi().loop_play = flag; }
int32_t MidiMciPlaying() { return Midi().mci_playing; }
void SetMidiTemporaryFile(const std::string& path) {
    Midi().temporary_file = path;
    Midi().temporary_file_written = !path.empty();
}
void SetCurrentMusic(int32_t handle, int32_t kind) { Midi().current_music = CurrentMusic{handle, kind}; }
CurrentMusic GetCurrentMusic() { return Midi().current_music; }
SoundCaptureFile& GetSoundCaptureFile() { return Midi().capture; }

int HandleMidiMciNotify() {
    MidiState& state = Midi();
    if (state.loop_play == 1) {
        // The sequencer stand-in plays nothing; a loop only keeps the flag up.
        state.mci_playing = 1;
    } else if (state.mci_playing == 1) {
        state.mci_playing = 0;
    }
    return 0;
}

int CheckMidiHandlePlaying(int32_t handle) {
    return FindMidiHandle(handle) == nullptr ? -1 : Midi().mci_playing;
}

int StopMidiHandle(int32_t handle) {
    MidiData* data = FindMidiHandle(handle);
    if (data == nullptr) return -1;
    MidiState& state = Midi();
    state.loop_play = 0;
    HandleMidiMciNotify();
    for (int i = 0; i < kNotifyRounds; ++i) ProcessMessages();
    if (state.temporary_file_written) {
        std::remove(state.temporary_file.c_str());
        state.temporary_file_written = false;
    }
    data->playing = 0;
    data->started = 0;
    return 0;
}

int DeleteMidiHandle(int32_t handle) {
    MidiData* data = FindMidiHandle(handle);
    if (data == nullptr) return -1;
    if (CheckMidiHandlePlaying(handle) == 1) StopMidiHandle(handle);
    std::fill(data->bytes.begin(), data->bytes.end(), 0);
    Midi().table.Remove(handle);
    return 0;
}

int DeleteAllMidiHandles() {
    if (!SoundStarted()) return -1;
    MidiTable& table = Midi().table;
    for (int32_t slot = 0; slot < table.end(); ++slot) {
        if (table.AtSlot(slot) != nullptr) DeleteMidiHandle(table.HandleOf(slot));
    }
    MidiState& state = Midi();
    if (state.temporary_file_written) {
        std::remove(state.temporary_file.c_str());
        state.temporary_file_written = false;
    }
    return 0;
}

int UpdateMidiPlayState() {
    // With the sequencer the playing state comes from its notifications.
    return SoundStarted() ? 0 : -1;
}

int StopCurrentMusic() {
    MidiState& state = Midi();
    const CurrentMusic music = state.current_music;
    if (music.handle == 0) return 0;
    if (music.kind == 1) {
        StopSoundHandleBody(music.handle);
        DeleteSoundBody(music.handle);
    } else {
        StopMidiHandle(music.handle);
        DeleteMidiHandle(music.handle);
    }
    state.current_music = CurrentMusic{};
    return 0;
}

std::array<uint8_t, kSoundCaptureHeaderBytes> SoundCaptureHeader(uint32_t frames) {
    std::array<uint8_t, kSoundCaptureHeaderBytes> header{};
    uint8_t* p = header.data();
    std::memcpy(p, "RIFF", 4);
    Put32(p + 4, frames * 4 + 38);
    std::memcpy(p + 8, "WAVEfmt ", 8);
    Put32(p + 16, 18);
    Put16(p + 20, 1);
    Put16(p + 22, 2);
    Put32(p + 24, 44100);
    Put32(p + 28, 176400);
    Put16(p + 32, 4);
    Put16(p + 34, 16);
    Put16(p + 36, 0);
    std::memcpy(p + 38, "data", 4);
    Put32(p + 42, frames * 4);
    return header;
}

int CloseSoundCaptureFile() {
    SoundCaptureFile& capture = Midi().capture;
    if (!capture.open) return -1;
    const auto header = SoundCaptureHeader(capture.frames);
    if (capture.file != nullptr) {
        std::fseek(capture.file, 0, SEEK_SET);
        std::fwrite(header.data(), 1, header.size(), capture.file);
        std::fclose(capture.file);
    }
    capture.file = nullptr;
    capture.open = 0;
    return 0;
}

}  // namespace velk
