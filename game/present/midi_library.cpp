#include "game/present/midi_library.h"

#include "game/data/error_reporter.h"
#include "game/data/text_format.h"
#include "game/present/sound_texts.h"
#include "platform/midi/midi_player.h"

namespace velk {

MidiLibrary::MidiLibrary() : MidiLibrary(platform::DefaultSoundFontPaths()) {}

MidiLibrary::MidiLibrary(std::vector<std::string> soundFonts) : soundFonts_(std::move(soundFonts)) {}

MidiLibrary::~MidiLibrary() = default;

int32_t MidiLibrary::SetDevice(int32_t /*device*/, int32_t /*option*/) {
    if (player_) return 0;
    std::string failure;
    player_ = platform::MidiPlayer::Open(soundFonts_, &failure);
    if (player_) return 0;
    ActiveErrorReporter().ShowMessageBox(FormatText(texts::kMidiLibraryMissing, failure.c_str()),
                                         texts::kMidiLibraryMissingCaption);
    return -1;
}

void MidiLibrary::Free() { player_.reset(); }

int32_t MidiLibrary::ReadList(const void* data, int32_t size, int32_t option, int32_t list) {
    return player_ ? player_->ReadList(data, size, option, list) : -1;
}

void MidiLibrary::DeleteList(int32_t list) {
    if (player_) player_->DeleteList(list);
}

int32_t MidiLibrary::Play(int32_t option, int32_t list, int32_t start) {
    if (!player_) return -1;
    const int32_t result = player_->Play(option, list, start);
    if (result != 0) {
        // The synthesiser is made on the first play; when it cannot be, the
        // game says so as at start-up and goes on without MIDI music.
        const std::string failure = player_->Failure();
        if (!failure.empty()) {
            player_.reset();
            ActiveErrorReporter().ShowMessageBox(FormatText(texts::kMidiLibraryMissing, failure.c_str()),
                                                 texts::kMidiLibraryMissingCaption);
        }
    }
    return result;
}

void MidiLibrary::Stop() {
    if (player_) player_->Stop();
}

void MidiLibrary::MasterVolume(int32_t volume) {
    if (player_) player_->MasterVolume(volume);
}

void MidiLibrary::TempoDepth(int32_t depth) {
    if (player_) player_->TempoDepth(depth);
}

}  // namespace velk
