#pragma once
// Connects the sound layer to message processing and the window procedure:
// every pass refills the stream sounds and updates the MIDI state, and the
// sequencer's notifications reach the MIDI handles.

namespace velk {

void InstallSoundWindowServices();

}  // namespace velk
