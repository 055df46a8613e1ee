// The data layer's own reporter: everything reaches the player in a system
// message box, and the program ends through the library's end.

#include "game/data/error_reporter.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

#include "lib/core/library.h"
#include "platform/window/message_box.h"

namespace velk {
namespace {

class SystemMessageBoxReporterTest : public ::testing::Test {
protected:
    SystemMessageBoxReporterTest() {
        SetErrorReporter(nullptr);
        previous_ = platform::SetMessageBoxHook([this](const platform::MessageBoxRequest& request) {
            shown.push_back(request);
            return platform::kMessageBoxResultOk;
        });
    }
    ~SystemMessageBoxReporterTest() override { platform::SetMessageBoxHook(std::move(previous_)); }

    std::vector<platform::MessageBoxRequest> shown;

private:
    platform::MessageBoxHook previous_;
};

TEST_F(SystemMessageBoxReporterTest, IsTheReporterWhenNoneIsInstalledAndShowsEverythingInAMessageBox) {
    EXPECT_EQ(&ActiveErrorReporter(), &SystemMessageBoxReporter());
    ActiveErrorReporter().ShowErrorBox("\x83\x47\x83\x89\x81\x5B", "", "line three");
    ActiveErrorReporter().ShowMessageBox("text", "caption", MessageBoxButtons::kOkCancel);
    ActiveErrorReporter().ShowMessageBox("more", "caption");
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_EQ(shown[0].text_utf8, "エラー\nline three");
    EXPECT_EQ(shown[0].flags, platform::kMessageBoxOk);
    EXPECT_EQ(shown[1].text_utf8, "text");
    EXPECT_EQ(shown[1].title_utf8, "caption");
    EXPECT_EQ(shown[1].flags, platform::kMessageBoxOkCancel);
    EXPECT_EQ(shown[2].flags, platform::kMessageBoxOk);
}

int ShutDownThatSaysSo() {
    std::fputs("the library ended\n", stderr);
    SetLibraryInitialized(false);
    return 0;
}

TEST_F(SystemMessageBoxReporterTest, EndingTheProgramEndsTheLibraryFirst) {
    GTEST_FLAG_SET(death_test_style, "fast");
    EXPECT_EXIT(
        {
            SetLibraryLifeBodies({nullptr, ShutDownThatSaysSo, nullptr});
            SetLibraryInitialized(true);
            SystemMessageBoxReporter().EndProgram(1);
        },
        ::testing::ExitedWithCode(1), "the library ended");
}

}  // namespace
}  // namespace velk
