#pragma once
// A headless display: a manual window back-end with a 640 x 480 popup window
// at (100, 50) on a 1024 x 768 desktop, a capturing output and a manual clock.

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "platform/base/clock.h"
#include "platform/display/display_device.h"
#include "platform/display/display_mode.h"
#include "platform/display/display_output.h"
#include "platform/display/display_surface.h"
#include "platform/window/manual_window_backend.h"
#include "platform/window/window_system.h"

namespace velk::platform::testing {

class DisplayTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetDisplayForTests();
        windows.backend().SetDesktop(Rect{0, 0, 1024, 768});
        ASSERT_TRUE(RegisterWindowClass("DisplayTest", DefaultWindowProcedure, 0));
        window = CreateAppWindow({"DisplayTest", "t", kStylePopup | kStyleVisible, 0, Rect{100, 50, 740, 530}});
        ASSERT_NE(window, 0);
        ASSERT_EQ(DdDevice::Create(&device), kDdOk);
        ASSERT_EQ(device->SetCooperativeLevel(window, kDdsclNormal), kDdOk);
    }
    void TearDown() override {
        device.reset();
        ResetDisplayForTests();
    }

    std::shared_ptr<DdSurface> MakeSurface(uint32_t width, uint32_t height, int bits) {
        DdSurfaceDesc desc;
        desc.flags = kDdsdCaps | kDdsdWidth | kDdsdHeight | kDdsdPixelFormat;
        desc.caps = kDdsCapsOffscreenPlain | kDdsCapsSystemMemory;
        desc.width = width;
        desc.height = height;
        desc.pixel_format = DisplayPixelFormatForBits(bits);
        std::shared_ptr<DdSurface> surface;
        EXPECT_EQ(device->CreateSurface(desc, &surface), kDdOk);
        return surface;
    }

    std::shared_ptr<DdSurface> MakePrimary() {
        DdSurfaceDesc desc;
        desc.flags = kDdsdCaps;
        desc.caps = kDdsCapsPrimarySurface;
        std::shared_ptr<DdSurface> surface;
        EXPECT_EQ(device->CreateSurface(desc, &surface), kDdOk);
        return surface;
    }

    static uint32_t Pixel32(DdSurface& surface, int x, int y) {
        uint32_t value;
        std::memcpy(&value, surface.row(y) + x * 4, 4);
        return value;
    }
    static void Put32(DdSurface& surface, int x, int y, uint32_t value) { std::memcpy(surface.row(y) + x * 4, &value, 4); }

    ManualClock clock{1000000};
    ScopedClock scoped_clock{clock};
    ScopedManualWindowBackend windows;
    ScopedCapturingDisplayOutput output;
    WindowHandle window = 0;
    std::unique_ptr<DdDevice> device;
};

}  // namespace velk::platform::testing
