#include "platform/audio/audio_device.h"

#include <algorithm>
#include <cctype>
#include <mutex>

#include "platform/audio/audio_backend.h"
#include "platform/audio/audio_faults.h"

namespace velk::platform {
namespace {

// Largest buffer the stand-in makes (the platform's own limit).
constexpr uint32_t kMaxBufferBytes = 0x0FFFFFFF;
constexpr uint32_t kMinBufferBytes = 4;

std::mutex caps_mutex;
bool caps_overridden = false;
AudioDeviceCaps caps_override;

WaveFormat DefaultOutputFormat() { return MakePcmFormat(2, 44100, 16); }

bool IsOutputFormat(const WaveFormat& format) {
    return IsMixablePcmFormat(format) && format.samples_per_second >= 8000 &&
           format.samples_per_second <= 192000;
}

}  // namespace

AudioDeviceCaps DefaultAudioDeviceCaps() {
    AudioDeviceCaps caps;
    caps.flags = kCapsPrimaryMono | kCapsPrimaryStereo | kCapsPrimary8Bit | kCapsPrimary16Bit | kCapsSecondaryMono |
                 kCapsSecondaryStereo | kCapsSecondary8Bit | kCapsSecondary16Bit;
    caps.min_secondary_rate = kMinSoundFrequency;
    caps.max_secondary_rate = kMaxSoundFrequency;
    return caps;
}

void SetAudioDeviceCapsOverride(const AudioDeviceCaps* caps) {
    std::lock_guard lock(caps_mutex);
    caps_overridden = caps != nullptr;
    if (caps != nullptr) caps_override = *caps;
}

// ---- AudioDevice ----

AudioDevice::AudioDevice() : mixer_(std::make_shared<AudioMixer>(DefaultOutputFormat())) {}

std::unique_ptr<AudioDevice> AudioDevice::Create() {
    if (AudioStepFails(AudioStep::kCreateDevice)) return nullptr;
    return std::unique_ptr<AudioDevice>(new AudioDevice());
}

AudioDevice::~AudioDevice() {
    if (backend_) backend_->Stop();
}

bool AudioDevice::Initialize() {
    if (initialized_ || AudioStepFails(AudioStep::kInitializeDevice)) return false;
    backend_ = CreateAudioBackend();
    if (!backend_ || !backend_->Start(mixer_, mixer_->OutputFormat())) {
        backend_.reset();
        return false;
    }
    initialized_ = true;
    return true;
}

bool AudioDevice::SetCooperativeLevel() {
    return initialized_ && !AudioStepFails(AudioStep::kSetCooperativeLevel);
}

bool AudioDevice::GetCaps(AudioDeviceCaps* caps) {
    if (!initialized_ || caps == nullptr || AudioStepFails(AudioStep::kGetCaps)) return false;
    std::lock_guard lock(caps_mutex);
    *caps = caps_overridden ? caps_override : DefaultAudioDeviceCaps();
    return true;
}

bool AudioDevice::ChangeOutputFormat(const WaveFormat& format) {
    if (!IsOutputFormat(format)) return false;
    if (format == mixer_->OutputFormat()) return true;
    const WaveFormat previous = mixer_->OutputFormat();
    backend_->Stop();
    mixer_->SetOutputFormat(format);
    if (backend_->Start(mixer_, format)) return true;
    mixer_->SetOutputFormat(previous);
    backend_->Start(mixer_, previous);
    return false;
}

std::unique_ptr<AudioBuffer> AudioDevice::CreateBuffer(const SoundBufferDesc& desc) {
    if (!initialized_) return nullptr;
    if ((desc.flags & kBufferPrimary) != 0) {
        if (AudioStepFails(AudioStep::kCreatePrimaryBuffer)) return nullptr;
        return std::unique_ptr<AudioBuffer>(new AudioBuffer(this, mixer_, desc.flags));
    }
    if (AudioStepFails(AudioStep::kCreateBuffer)) return nullptr;
    if (!IsMixablePcmFormat(desc.format) || desc.bytes < kMinBufferBytes || desc.bytes > kMaxBufferBytes) {
        return nullptr;
    }
    std::unique_ptr<AudioBuffer> buffer(new AudioBuffer(this, mixer_, desc.flags));
    buffer->bytes_ = desc.bytes;
    AudioVoice& voice = buffer->voice_;
    voice.memory = std::make_shared<SampleMemory>(desc.bytes, desc.format.bits_per_sample == 8 ? 0x80 : 0x00);
    voice.format = desc.format;
    voice.frames = desc.bytes / desc.format.block_align;
    std::lock_guard lock(mixer_->Mutex());
    mixer_->Attach(&voice);
    return buffer;
}

std::unique_ptr<AudioBuffer> AudioDevice::DuplicateBuffer(const AudioBuffer& source) {
    if (!initialized_ || source.IsPrimary() || source.device_ != this) return nullptr;
    if (AudioStepFails(AudioStep::kDuplicateBuffer)) return nullptr;
    std::unique_ptr<AudioBuffer> buffer(new AudioBuffer(this, mixer_, source.flags_));
    buffer->bytes_ = source.bytes_;
    std::lock_guard lock(mixer_->Mutex());
    AudioVoice& voice = buffer->voice_;
    voice.memory = source.voice_.memory;
    voice.format = source.voice_.format;
    voice.frames = source.voice_.frames;
    voice.frequency = source.voice_.frequency;
    voice.volume = source.voice_.volume;
    voice.gain = source.voice_.gain;
    mixer_->Attach(&voice);
    return buffer;
}

// ---- AudioBuffer ----

AudioBuffer::AudioBuffer(AudioDevice* device, std::shared_ptr<AudioMixer> mixer, uint32_t flags)
    : device_(device), mixer_(std::move(mixer)), flags_(flags) {}

AudioBuffer::~AudioBuffer() {
    if (IsPrimary()) return;
    std::lock_guard lock(mixer_->Mutex());
    mixer_->Detach(&voice_);
}

WaveFormat AudioBuffer::Format() const {
    return IsPrimary() ? mixer_->OutputFormat() : voice_.format;
}

bool AudioBuffer::Play(bool looping) {
    if (IsPrimary()) return true;
    std::lock_guard lock(mixer_->Mutex());
    voice_.looping = looping;
    voice_.playing = voice_.frames > 0;
    return true;
}

bool AudioBuffer::Stop() {
    if (IsPrimary()) return true;
    std::lock_guard lock(mixer_->Mutex());
    voice_.playing = false;
    return true;
}

bool AudioBuffer::GetStatus(uint32_t* status) {
    if (status == nullptr || AudioStepFails(AudioStep::kGetStatus)) return false;
    if (IsPrimary()) {
        *status = kBufferStatusPlaying | kBufferStatusLooping;
        return true;
    }
    std::lock_guard lock(mixer_->Mutex());
    *status = 0;
    if (voice_.playing) *status = kBufferStatusPlaying | (voice_.looping ? kBufferStatusLooping : 0);
    return true;
}

bool AudioBuffer::GetCurrentPosition(uint32_t* play, uint32_t* write) {
    if (IsPrimary() || AudioStepFails(AudioStep::kGetCurrentPosition)) return false;
    std::lock_guard lock(mixer_->Mutex());
    const uint32_t frame = static_cast<uint32_t>(voice_.position >> 32);
    const uint32_t block = voice_.format.block_align;
    if (play != nullptr) *play = frame * block;
    if (write != nullptr) {
        // The mixer reads a voice only while it renders, so the next frame is
        // the first one that is safe to write.
        const uint32_t next = voice_.frames == 0 ? 0 : (frame + 1) % voice_.frames;
        *write = next * block;
    }
    return true;
}

bool AudioBuffer::SetCurrentPosition(uint32_t bytes) {
    if (IsPrimary()) return false;
    std::lock_guard lock(mixer_->Mutex());
    const uint32_t frame = bytes / voice_.format.block_align;
    if (frame >= voice_.frames) return false;
    voice_.position = static_cast<uint64_t>(frame) << 32;
    return true;
}

bool AudioBuffer::SetVolume(int32_t hundredths_db) {
    if (IsPrimary() || (flags_ & kBufferCtrlVolume) == 0) return false;
    if (hundredths_db < kVolumeMin || hundredths_db > kVolumeMax) return false;
    std::lock_guard lock(mixer_->Mutex());
    voice_.volume = hundredths_db;
    voice_.gain = GainForVolume(hundredths_db);
    return true;
}

bool AudioBuffer::GetVolume(int32_t* hundredths_db) {
    if (IsPrimary() || hundredths_db == nullptr) return false;
    std::lock_guard lock(mixer_->Mutex());
    *hundredths_db = voice_.volume;
    return true;
}

bool AudioBuffer::SetFrequency(uint32_t hz) {
    if (IsPrimary() || (flags_ & kBufferCtrlFrequency) == 0) return false;
    if (hz != 0 && (hz < kMinSoundFrequency || hz > kMaxSoundFrequency)) return false;
    std::lock_guard lock(mixer_->Mutex());
    voice_.frequency = hz;
    return true;
}

bool AudioBuffer::GetFrequency(uint32_t* hz) {
    if (IsPrimary() || hz == nullptr) return false;
    std::lock_guard lock(mixer_->Mutex());
    *hz = voice_.frequency != 0 ? voice_.frequency : voice_.format.samples_per_second;
    return true;
}

bool AudioBuffer::Lock(uint32_t offset, uint32_t bytes, LockedRegion* region) {
    if (IsPrimary() || region == nullptr || AudioStepFails(AudioStep::kLock)) return false;
    if (offset >= bytes_ || bytes == 0 || bytes > bytes_) return false;
    uint8_t* base = voice_.memory->data();
    const uint32_t first = std::min(bytes, bytes_ - offset);
    region->first = base + offset;
    region->first_bytes = first;
    region->second = bytes > first ? base : nullptr;
    region->second_bytes = bytes - first;
    return true;
}

bool AudioBuffer::Unlock(const LockedRegion& region) {
    if (IsPrimary() || AudioStepFails(AudioStep::kUnlock)) return false;
    const uint8_t* begin = voice_.memory->data();
    const uint8_t* end = begin + bytes_;
    const auto inside = [&](const uint8_t* part, uint32_t size) {
        return part == nullptr ? size == 0 : part >= begin && part + size <= end;
    };
    return inside(region.first, region.first_bytes) && inside(region.second, region.second_bytes);
}

bool AudioBuffer::SetFormat(const WaveFormat& format) {
    if (!IsPrimary() || AudioStepFails(AudioStep::kSetPrimaryFormat)) return false;
    return device_->ChangeOutputFormat(format);
}

// ---- AudioDriverModule ----

std::unique_ptr<AudioDriverModule> AudioDriverModule::Load(const std::string& name) {
    std::string upper = name;
    std::transform(upper.begin(), upper.end(), upper.begin(), [](unsigned char c) { return std::toupper(c); });
    if (upper != "DSOUND.DLL" || AudioStepFails(AudioStep::kLoadDriverModule)) return nullptr;
    return std::make_unique<AudioDriverModule>();
}

AudioDriverModule::ListFunction AudioDriverModule::Find(const std::string& name) const {
    if (name != "DirectSoundEnumerateA" || AudioStepFails(AudioStep::kFindEnumerateFunction)) return {};
    return [](const AudioDeviceListCallback& callback) {
        std::unique_ptr<AudioBackend> backend = CreateAudioBackend();
        if (backend) callback(backend->Description().c_str(), backend->ModuleName().c_str());
    };
}

}  // namespace velk::platform
