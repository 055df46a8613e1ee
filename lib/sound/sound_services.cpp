#include "lib/sound/sound_services.h"

#include "lib/core/window/window_services.h"
#include "lib/sound/sound.h"

namespace velk {

void InstallSoundWindowServices() {
    WindowSoundServices services = WindowSound();
    services.refill_all_stream_sounds = [] { return RefillAllStreamSounds(); };
    services.update_midi_play_state = [] { return UpdateMidiPlayState(); };
    services.handle_midi_mci_notify = [] { return HandleMidiMciNotify(); };
    SetWindowSoundServices(services);
}

}  // namespace velk
