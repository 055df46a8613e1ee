#pragma once
// A headless window with manual input devices and fresh input and text
// input state.

#include "lib/core/input/device_input.h"
#include "lib/core/input/key_input.h"
#include "platform/input/key_codes.h"
#include "platform/input/manual_input_devices.h"
#include "tests/lib/core/window/window_fixture.h"

namespace velk {

class InputTest : public WindowTest {
protected:
    void SetUp() override {
        CreateWindowed();
        ProcessMessagesBody();
        InitCharBuffer();
    }

    void TearDown() override {
        TerminateInput();
        EndKeyInput();
        SetKeyInputDrawServices({});
    }

    platform::ScopedManualInputDevices scoped_devices;
    platform::ManualInputDevices& devices = scoped_devices.devices();
};

}  // namespace velk
