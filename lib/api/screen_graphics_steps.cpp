#include "lib/api/screen_graphics_steps.h"

#include <cstring>
#include <string>

#include "lib/core/system_information.h"
#include "lib/graphics/screen/display_system.h"
#include "lib/graphics/screen/screen_state.h"
#include "lib/graphics/screen/screen_surfaces.h"
#include "lib/graphics/system/graphics_system.h"
#include "platform/display/display_device.h"

namespace velk {

namespace {

// The display device's own account of itself goes into the
// system-information record.
void RecordVideoDriver() {
    platform::DdDevice* device = GetDirectDrawObject();
    if (device == nullptr) return;
    platform::DdDeviceIdentifier identifier;
    device->GetDeviceIdentifier(&identifier, 0);
    uint32_t total = 0;
    uint32_t free = 0;
    device->GetAvailableVidMem(platform::kDdsCapsVideoMemory, &total, &free);
    const auto text = [](const char (&field)[512]) { return std::string(field, strnlen(field, sizeof field)); };
    SetVideoDriverInfo(text(identifier.driver), text(identifier.description), free, total);
}

// The font side starts and ends with graph management inside the graphics.
int StartGraphics() {
    const int result = InitGraphicsSystem();
    if (result < 0) return result;
    RecordVideoDriver();
    return result;
}

int EndGraphics() { return TermGraphicsSystem(); }

}  // namespace

GraphicsStartSteps ScreenGraphicsStartSteps() {
    GraphicsStartSteps steps;
    steps.soft_render_requested = [] { return GetSoftRenderRequestFlag(); };
    steps.set_use_hardware_render = [](int flag) { return SetUseHardwareRenderFlagBody(flag); };
    steps.requested_color_bits = [] { return GetColorBitDepth(); };
    steps.set_temp_primary = [](int flag) { return SetTempPrimaryFlag(flag); };
    steps.apply_start_options = [](const LibraryStartOptions& options) {
        SetFpuPreserveOption(options.fpu_preserve);
        SetNoGraphicsOption(options.no_graphics);
        SetBackgroundColor(options.background_red, options.background_green, options.background_blue);
    };
    steps.start = StartGraphics;
    steps.end = EndGraphics;
    return steps;
}

}  // namespace velk
