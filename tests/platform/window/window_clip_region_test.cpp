// The clip box of a window's client area: the whole area, the rectangle left
// by a window covering one whole edge, a complex region for a cover inside,
// and nothing for a hidden, minimised or wholly covered window.

#include "platform/window/window_clip_region.h"

#include <gtest/gtest.h>

#include "platform/window/manual_window_backend.h"
#include "platform/window/window_system.h"

namespace velk::platform {
namespace {

class WindowClipRegionTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(RegisterWindowClass("ClipClass", DefaultWindowProcedure, 0));
        // A popup: the client area is the window, 640 x 480 at (10, 20).
        window = CreateAppWindow({"ClipClass", "t", kStylePopup | kStyleVisible, 0, Rect{10, 20, 650, 500}});
        ASSERT_NE(window, 0);
    }
    void TearDown() override {
        SetWindowCoveredArea(window, Rect{});
        DestroyAppWindow(window);
        UnregisterWindowClass("ClipClass");
    }
    ScopedManualWindowBackend scoped;
    WindowHandle window = 0;
};

TEST_F(WindowClipRegionTest, CoversAlongAWholeEdgeLeaveARectangleAndOthersAComplexRegion) {
    Rect box;
    EXPECT_EQ(GetWindowClipBox(window, &box), ClipRegionKind::kSimple);
    EXPECT_EQ(box, (Rect{0, 0, 640, 480}));
    struct Case {
        Rect cover;  // on the screen
        ClipRegionKind kind;
        Rect box;
    };
    const Case cases[] = {
        {Rect{0, 0, 700, 30}, ClipRegionKind::kSimple, Rect{0, 10, 640, 480}},       // the top
        {Rect{0, 450, 700, 600}, ClipRegionKind::kSimple, Rect{0, 0, 640, 430}},     // the bottom
        {Rect{0, 0, 110, 600}, ClipRegionKind::kSimple, Rect{100, 0, 640, 480}},     // the left
        {Rect{600, 0, 700, 600}, ClipRegionKind::kSimple, Rect{0, 0, 590, 480}},     // the right
        {Rect{100, 100, 200, 200}, ClipRegionKind::kComplex, Rect{0, 0, 640, 480}},  // inside
        {Rect{0, 100, 700, 200}, ClipRegionKind::kComplex, Rect{0, 0, 640, 480}},    // a band across
        {Rect{0, 0, 2000, 2000}, ClipRegionKind::kNull, Rect{}},                     // all of it
        {Rect{700, 0, 800, 600}, ClipRegionKind::kSimple, Rect{0, 0, 640, 480}},     // beside it
    };
    for (const Case& c : cases) {
        SetWindowCoveredArea(window, c.cover);
        EXPECT_EQ(GetWindowClipBox(window, &box), c.kind) << c.cover.left << "," << c.cover.top;
        EXPECT_EQ(box, c.box) << c.cover.left << "," << c.cover.top;
    }
}

TEST_F(WindowClipRegionTest, HiddenMinimisedAndUnknownWindowsShowNothing) {
    Rect box;
    ShowAppWindow(window, kShowMinimized);
    EXPECT_EQ(GetWindowClipBox(window, &box), ClipRegionKind::kNull);
    ShowAppWindow(window, kShowNormal);
    EXPECT_EQ(GetWindowClipBox(window, &box), ClipRegionKind::kSimple);
    ShowAppWindow(window, kShowHide);
    EXPECT_EQ(GetWindowClipBox(window, &box), ClipRegionKind::kNull);
    EXPECT_EQ(GetWindowClipBox(window + 1000, &box), ClipRegionKind::kError);
}

}  // namespace
}  // namespace velk::platform
