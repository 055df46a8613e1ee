#include "lib/core/window/window_services.h"

#include "platform/base/sync.h"
#include "platform/window/window_system.h"

namespace velk {

namespace {

// Without a graphics side the display does not really change; the message
// that a real change ends with is sent all the same, so the window-mode
// switch finds its end.
int ChangeDisplayModeWithoutGraphics(int, int, int, int, int) {
    int width = 0;
    int height = 0;
    int bits = 0;
    WindowGraphics().get_screen_mode(&width, &height, &bits);
    platform::PostDisplayChange(bits, width, height);
    return 0;
}

WindowGraphicsServices& GraphicsSlot() {
    static WindowGraphicsServices services = [] {
        WindowGraphicsServices initial;
        initial.change_display_mode = ChangeDisplayModeWithoutGraphics;
        return initial;
    }();
    return services;
}

WindowSoundServices& SoundSlot() {
    static WindowSoundServices services;
    return services;
}

WindowInputServices& InputSlot() {
    static WindowInputServices services;
    return services;
}

WindowTextInputServices& TextInputSlot() {
    static WindowTextInputServices services;
    return services;
}

WindowNetworkServices& NetworkSlot() {
    static WindowNetworkServices services;
    return services;
}

std::function<void(uint32_t)>& SleepSlot() {
    static std::function<void(uint32_t)> sleep = [](uint32_t milliseconds) {
        platform::SleepMilliseconds(milliseconds);
    };
    return sleep;
}

}  // namespace

void SetWindowGraphicsServices(WindowGraphicsServices services) {
    if (!services.change_display_mode) services.change_display_mode = ChangeDisplayModeWithoutGraphics;
    GraphicsSlot() = std::move(services);
}

void SetWindowSoundServices(WindowSoundServices services) { SoundSlot() = std::move(services); }
void SetWindowInputServices(WindowInputServices services) { InputSlot() = std::move(services); }
void SetWindowTextInputServices(WindowTextInputServices services) { TextInputSlot() = std::move(services); }
void SetWindowNetworkServices(WindowNetworkServices services) { NetworkSlot() = std::move(services); }

const WindowGraphicsServices& WindowGraphics() { return GraphicsSlot(); }
const WindowSoundServices& WindowSound() { return SoundSlot(); }
const WindowInputServices& WindowInput() { return InputSlot(); }
const WindowTextInputServices& WindowTextInput() { return TextInputSlot(); }
const WindowNetworkServices& WindowNetwork() { return NetworkSlot(); }

void SetIdleSleepFunction(std::function<void(uint32_t)> sleep) {
    if (!sleep) sleep = [](uint32_t milliseconds) { platform::SleepMilliseconds(milliseconds); };
    SleepSlot() = std::move(sleep);
}

void IdleSleep(uint32_t milliseconds) { SleepSlot()(milliseconds); }

}  // namespace velk
