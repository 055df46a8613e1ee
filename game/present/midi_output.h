#pragma once
// What the game's sound asks of the MIDI player library: a Standard MIDI File
// registered under a list number, played, stopped, its master volume (-2500
// silent to 0 full) and its tempo depth. Every call does nothing (or gives -1)
// while the library is absent.

#include <cstdint>

namespace velk {

class MidiOutput {
public:
    virtual ~MidiOutput() = default;
    virtual bool Present() const = 0;
    virtual int32_t ReadList(const void* data, int32_t size, int32_t option, int32_t list) = 0;
    virtual void DeleteList(int32_t list) = 0;
    virtual int32_t Play(int32_t option, int32_t list, int32_t start) = 0;
    virtual void Stop() = 0;
    virtual void MasterVolume(int32_t volume) = 0;
    virtual void TempoDepth(int32_t depth) = 0;
};

}  // namespace velk
