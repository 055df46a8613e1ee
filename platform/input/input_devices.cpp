#include "platform/input/input_devices.h"

#include <mutex>

namespace velk::platform {

namespace {

std::mutex devices_mutex;
std::unique_ptr<InputDevices> installed;

}  // namespace

void SetInputDevices(std::unique_ptr<InputDevices> devices) {
    std::lock_guard lock(devices_mutex);
    installed = std::move(devices);
}

InputDevices& ActiveInputDevices() {
    std::lock_guard lock(devices_mutex);
    if (!installed) installed = CreateSdlInputDevices();
    return *installed;
}

int32_t ScaleJoystickPosition(uint32_t position) {
    constexpr int32_t kLowEdge = 24576;
    constexpr int32_t kHighEdge = 40960;
    constexpr int32_t kSpan = 24576;
    if (position == 0) return -1000;
    if (position >= 65535) return 1000;
    const auto value = static_cast<int32_t>(position);
    if (value < kLowEdge) return (value - kLowEdge) * 1000 / kSpan;
    if (value > kHighEdge) return (value - kHighEdge) * 1000 / kSpan;
    return 0;
}

int32_t ScaleSdlAxis(int16_t value) { return ScaleJoystickPosition(static_cast<uint32_t>(value + 32768)); }

}  // namespace velk::platform
