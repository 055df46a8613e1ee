#pragma once
// The sound-device stand-in: a device object, its primary buffer (whose format
// sets the mixer's output) and secondary sound buffers of 8- or 16-bit PCM,
// mono or stereo, at any rate, with duplicates that share one sample memory.
// Calls report success as true; each failure the library handles can be
// forced with FailAudioStep (audio_faults.h).

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/audio/audio_mixer.h"
#include "platform/audio/wave_format.h"

namespace velk::platform {

class AudioBackend;

// Buffer capability flags.
inline constexpr uint32_t kBufferPrimary = 0x00001;
inline constexpr uint32_t kBufferStatic = 0x00002;
inline constexpr uint32_t kBufferCtrlFrequency = 0x00020;
inline constexpr uint32_t kBufferCtrlPan = 0x00040;
inline constexpr uint32_t kBufferCtrlVolume = 0x00080;
inline constexpr uint32_t kBufferGlobalFocus = 0x08000;
inline constexpr uint32_t kBufferGetCurrentPosition2 = 0x10000;

// Status bits.
inline constexpr uint32_t kBufferStatusPlaying = 0x1;
inline constexpr uint32_t kBufferStatusLooping = 0x4;

// Volume range in hundredths of a decibel.
inline constexpr int32_t kVolumeMin = -10000;
inline constexpr int32_t kVolumeMax = 0;

// Device capability flags.
inline constexpr uint32_t kCapsPrimaryMono = 0x001;
inline constexpr uint32_t kCapsPrimaryStereo = 0x002;
inline constexpr uint32_t kCapsPrimary8Bit = 0x004;
inline constexpr uint32_t kCapsPrimary16Bit = 0x008;
inline constexpr uint32_t kCapsSecondaryMono = 0x100;
inline constexpr uint32_t kCapsSecondaryStereo = 0x200;
inline constexpr uint32_t kCapsSecondary8Bit = 0x400;
inline constexpr uint32_t kCapsSecondary16Bit = 0x800;

struct AudioDeviceCaps {
    uint32_t flags = 0;
    uint32_t min_secondary_rate = 0;
    uint32_t max_secondary_rate = 0;
    uint32_t total_hardware_memory = 0;
    uint32_t free_hardware_memory = 0;
};

// What the stand-in reports: everything supported, all mixing in software.
AudioDeviceCaps DefaultAudioDeviceCaps();
// Tests may pretend to be a lesser device; nullptr restores the default.
void SetAudioDeviceCapsOverride(const AudioDeviceCaps* caps);

struct SoundBufferDesc {
    uint32_t flags = 0;
    uint32_t bytes = 0;       // 0 for the primary buffer
    WaveFormat format;        // ignored for the primary buffer
};

// The one or two parts of a locked span of a buffer's ring.
struct LockedRegion {
    uint8_t* first = nullptr;
    uint32_t first_bytes = 0;
    uint8_t* second = nullptr;
    uint32_t second_bytes = 0;
};

class AudioBuffer {
public:
    ~AudioBuffer();
    AudioBuffer(const AudioBuffer&) = delete;
    AudioBuffer& operator=(const AudioBuffer&) = delete;

    bool IsPrimary() const { return (flags_ & kBufferPrimary) != 0; }
    uint32_t Bytes() const { return bytes_; }
    WaveFormat Format() const;

    // Starts at the current position; looping wraps at the end, otherwise the
    // buffer stops at its end and its position returns to 0. Playing an
    // already playing buffer only changes the looping flag.
    bool Play(bool looping);
    // Halts and keeps the position.
    bool Stop();
    bool GetStatus(uint32_t* status);
    // The play cursor in bytes (whole blocks); the write cursor may be null.
    bool GetCurrentPosition(uint32_t* play, uint32_t* write);
    // Rounded down to whole blocks; false beyond the end.
    bool SetCurrentPosition(uint32_t bytes);
    bool SetVolume(int32_t hundredths_db);
    bool GetVolume(int32_t* hundredths_db);
    // 0 restores the format's own rate.
    bool SetFrequency(uint32_t hz);
    bool GetFrequency(uint32_t* hz);
    bool Lock(uint32_t offset, uint32_t bytes, LockedRegion* region);
    bool Unlock(const LockedRegion& region);
    // Primary buffer only: sets the output format of the mixer.
    bool SetFormat(const WaveFormat& format);

private:
    friend class AudioDevice;
    AudioBuffer(class AudioDevice* device, std::shared_ptr<AudioMixer> mixer, uint32_t flags);

    class AudioDevice* device_;
    std::shared_ptr<AudioMixer> mixer_;
    uint32_t flags_;
    uint32_t bytes_ = 0;
    AudioVoice voice_;
};

// Called once per device found; return false to stop the listing.
using AudioDeviceListCallback = std::function<bool(const char* description, const char* module)>;

class AudioDevice {
public:
    // Makes the device object; null on failure. It plays nothing until
    // Initialize opened its output.
    static std::unique_ptr<AudioDevice> Create();
    ~AudioDevice();
    AudioDevice(const AudioDevice&) = delete;
    AudioDevice& operator=(const AudioDevice&) = delete;

    // Opens the default output (44100 Hz, 16-bit stereo until the primary
    // buffer's format changes it).
    bool Initialize();
    // The stand-in shares the output with everyone; kept as a failure point.
    bool SetCooperativeLevel();
    bool GetCaps(AudioDeviceCaps* caps);
    std::unique_ptr<AudioBuffer> CreateBuffer(const SoundBufferDesc& desc);
    // A new buffer over the same sample memory, stopped at position 0, with
    // the source's volume and frequency.
    std::unique_ptr<AudioBuffer> DuplicateBuffer(const AudioBuffer& source);

private:
    friend class AudioBuffer;
    AudioDevice();
    bool ChangeOutputFormat(const WaveFormat& format);

    std::shared_ptr<AudioMixer> mixer_;
    std::unique_ptr<AudioBackend> backend_;
    bool initialized_ = false;
};

// The stand-in for loading the sound driver's module at run time and taking
// its device-listing function from it.
class AudioDriverModule {
public:
    // Null when the module cannot be loaded (only "DSOUND.DLL" exists).
    static std::unique_ptr<AudioDriverModule> Load(const std::string& name);
    // Lists the output devices: one, the output the back-end in use opens.
    using ListFunction = std::function<void(const AudioDeviceListCallback& callback)>;
    // Empty when the module has no function of that name.
    ListFunction Find(const std::string& name) const;
};

}  // namespace velk::platform
