#include "platform/audio/audio_backend.h"

#include <mutex>

namespace velk::platform {
namespace {

std::mutex factory_mutex;
AudioBackendFactory installed_factory;

}  // namespace

void SetAudioBackendFactory(AudioBackendFactory factory) {
    std::lock_guard lock(factory_mutex);
    installed_factory = std::move(factory);
}

std::unique_ptr<AudioBackend> CreateAudioBackend() {
    std::lock_guard lock(factory_mutex);
    return installed_factory ? installed_factory() : CreateSdlAudioBackend();
}

}  // namespace velk::platform
