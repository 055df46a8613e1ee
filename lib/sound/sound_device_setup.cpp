// Start-up and end of the sound device: the device object, its primary buffer
// (whose format sets the output), a looping silent buffer, and the report of
// the device and its capabilities in the log.

#include <algorithm>

#include "lib/core/log.h"
#include "lib/sound/sound.h"
#include "lib/sound/sound_data.h"
#include "lib/sound/sound_log_texts.h"

namespace velk {
namespace {

constexpr uint32_t kSilentBufferFlags = platform::kBufferGlobalFocus | platform::kBufferStatic;
constexpr uint32_t kMaxPrimaryRate = 44100;

int FailStart(const char* text) {
    Sounds().primary.reset();
    Sounds().device.reset();
    return WriteLog(text);
}

platform::WaveFormat PrimaryFormatFor(const platform::AudioDeviceCaps& caps) {
    const uint16_t channels = (caps.flags & platform::kCapsPrimaryStereo) ? 2 : 1;
    const uint16_t bits = (caps.flags & platform::kCapsPrimary16Bit) ? 16 : 8;
    return platform::MakePcmFormat(channels, std::min(caps.max_secondary_rate, kMaxPrimaryRate), bits);
}

void StartSilentBuffer() {
    SoundSystem& sound = Sounds();
    const platform::WaveFormat format = platform::MakePcmFormat(2, 44100, 16);
    sound.silent = sound.device->CreateBuffer(
        platform::SoundBufferDesc{kSilentBufferFlags, static_cast<uint32_t>(format.block_align) * 100, format});
    if (!sound.silent) {
        WriteLog(sound_text::kSilentBufferCreateFailed);
        return;
    }
    platform::LockedRegion region;
    if (!sound.silent->Lock(0, sound.silent->Bytes(), &region)) {
        WriteLog(sound_text::kSilentBufferLockFailed);
        sound.silent.reset();
        return;
    }
    std::fill_n(region.first, region.first_bytes, 0);
    if (region.second != nullptr) std::fill_n(region.second, region.second_bytes, 0);
    sound.silent->Unlock(region);
    sound.silent->Play(true);
}

const char* Yes(uint32_t flags, uint32_t flag) { return (flags & flag) ? "OK" : "NO"; }

void ReportDevice() {
    IncreaseLogIndent();
    platform::AudioDeviceCaps caps;
    Sounds().device->GetCaps(&caps);
    WriteLog(sound_text::kListingDevices);
    IncreaseLogIndent();
    std::unique_ptr<platform::AudioDriverModule> module = platform::AudioDriverModule::Load("DSOUND.DLL");
    platform::AudioDriverModule::ListFunction list;
    if (!module) {
        WriteLog(sound_text::kDriverModuleLoadFailed);
    } else {
        list = module->Find("DirectSoundEnumerateA");
        if (!list) WriteLog(sound_text::kListFunctionMissing);
    }
    if (!list) {
        DecreaseLogIndent();
        DecreaseLogIndent();
        return;
    }
    list([](const char* description, const char* module_name) {
        WriteLogFormat(sound_text::kDeviceFormat, module_name, description);
        return true;
    });
    DecreaseLogIndent();
    WriteLogFormat(sound_text::kRatesFormat, caps.max_secondary_rate * 0.001, caps.min_secondary_rate * 0.001);
    WriteLogFormat(sound_text::kMemoryFormat, caps.total_hardware_memory / 1024.0, caps.free_hardware_memory / 1024.0);
    WriteLogFormat("%s", sound_text::kPrecisionHeading);
    WriteLogFormat(sound_text::kPrimaryBitsFormat, Yes(caps.flags, platform::kCapsPrimary16Bit),
                   Yes(caps.flags, platform::kCapsPrimary8Bit));
    WriteLogFormat(sound_text::kSecondaryBitsFormat, Yes(caps.flags, platform::kCapsSecondary16Bit),
                   Yes(caps.flags, platform::kCapsSecondary8Bit));
    WriteLogFormat("%s", sound_text::kChannelHeading);
    WriteLogFormat(sound_text::kPrimaryChannelsFormat, Yes(caps.flags, platform::kCapsPrimaryMono),
                   Yes(caps.flags, platform::kCapsPrimaryStereo));
    WriteLogFormat(sound_text::kSecondaryChannelsFormat, Yes(caps.flags, platform::kCapsSecondaryMono),
                   Yes(caps.flags, platform::kCapsSecondaryStereo));
    DecreaseLogIndent();
}

}  // namespace

int InitDirectSound() {
    SoundSystem& sound = Sounds();
    if (sound.device) return -1;
    WriteLog(sound_text::kInitStarting);
    WriteLog(sound_text::kGettingInterface);
    sound.device = platform::AudioDevice::Create();
    if (!sound.device) return FailStart(sound_text::kInterfaceCreateFailed);
    WriteLog(sound_text::kSucceeded);
    WriteLog(sound_text::kInitializingInterface);
    if (!sound.device->Initialize()) return FailStart(sound_text::kInitializeFailed);
    WriteLog(sound_text::kSucceeded);
    if (!sound.device->SetCooperativeLevel()) return FailStart(sound_text::kCooperativeLevelFailed);
    sound.primary = sound.device->CreateBuffer(platform::SoundBufferDesc{platform::kBufferPrimary, 0, {}});
    if (!sound.primary) return FailStart(sound_text::kPrimaryBufferFailed);

    platform::AudioDeviceCaps caps;
    if (!sound.device->GetCaps(&caps) || !sound.primary->SetFormat(PrimaryFormatFor(caps))) {
        WriteLog(sound_text::kPrimaryFormatFailed);
    }
    StartSilentBuffer();
    sound.create_type = 0;
    SetOggOutputSampleBytes(2);
    sound.stream_list.clear();
    ReportDevice();
    WriteLog(sound_text::kInitFinished);
    DeleteAllSoundsBody();
    return 0;
}

int EndDirectSound() {
    SoundSystem& sound = Sounds();
    if (!sound.device) return -1;
    CloseSoundCaptureFile();
    DeleteAllSoundsBody();
    DeleteAllMidiHandles();
    if (sound.primary) sound.primary->Stop();
    sound.primary.reset();
    if (sound.silent) sound.silent->Stop();
    sound.silent.reset();
    sound.device.reset();
    WriteLog(sound_text::kEndFinished);
    return 0;
}

}  // namespace velk
