// The library's life as the game lives it: start-up, a frame, shut-down, in
// every render mode, and the log's account of it.

#include <png.h>

#include <vector>

#include "lib/core/memory_tracker.h"
#include "lib/api/library_api.h"
#include "lib/api/startup_log_texts.h"
#include "lib/core/input/input_log_texts.h"
#include "lib/core/window/window_log_texts.h"
#include "lib/graphics/font/font_handles.h"
#include "lib/graphics/font/font_table.h"
#include "lib/graphics/screen/display_system.h"
#include "lib/graphics/screen/screen_log_texts.h"
#include "lib/sound/sound.h"
#include "lib/sound/sound_log_texts.h"
#include "tests/lib/api/startup_fixture.h"

namespace velk::testing {
namespace {

// A 4 x 4 opaque picture of one colour.
void WriteSolidPng(const std::string& path, uint8_t red, uint8_t green, uint8_t blue) {
    std::vector<uint8_t> rgb;
    for (int i = 0; i < 16; ++i) rgb.insert(rgb.end(), {red, green, blue});
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = 4;
    image.height = 4;
    image.format = PNG_FORMAT_RGB;
    ASSERT_NE(png_image_write_to_file(&image, path.c_str(), 0, rgb.data(), 0, nullptr), 0);
}

// As the game's picture cache does: the file's bytes through the library's
// file access, then a graph made from them.
int LoadPicture(const char* name) {
    const int64_t length = GetFileLength(name);
    if (length <= 0) return -1;
    std::vector<uint8_t> bytes(static_cast<size_t>(length));
    const FileAccessHandle file = OpenFileForRead(name, 0);
    if (file == 0) return -1;
    const int read = ReadFromFile(bytes.data(), bytes.size(), file);
    CloseFile(file);
    if (read != 1) return -1;
    return CreateGraphFromMemoryImage(bytes.data(), bytes.size(), nullptr, 0, 0, 0);
}

bool AnyLit(const platform::PresentedFrame& frame, const Rect& area) {
    for (int y = area.top; y < area.bottom; ++y) {
        for (int x = area.left; x < area.right; ++x) {
            if (frame.at(x, y) != 0) return true;
        }
    }
    return false;
}

enum class Mode { kDirectDraw, kSoftware, kSoftwareAfterStart };

class LibraryFrame : public StartupTest, public ::testing::WithParamInterface<Mode> {
protected:
    // Starts at 640 x 480, switching to software drawing before or after the start.
    void Start() {
        SetScreenMode(640, 480, 32, 60);
        if (GetParam() == Mode::kSoftware) SetUseHardwareRenderFlag(0);
        ASSERT_EQ(InitLibrary(), 0);
        if (GetParam() == Mode::kSoftwareAfterStart) SetUseHardwareRenderFlag(0);
    }

    platform::PresentedFrame Shown() {
        platform::PresentedFrame frame;
        EXPECT_TRUE(output.output().ReadPresentedPixels(GetMainWindowHWND(), &frame));
        return frame;
    }
};

TEST_P(LibraryFrame, StartsDrawsALoadedPictureAndTextFlipsAndEndsWithNothingLeaked) {
    WriteSolidPng((scratch.path() / "picture.png").string(), 200, 100, 50);
    ASSERT_NO_FATAL_FAILURE(Start());
    EXPECT_EQ(GetSoftRenderFlag(), GetParam() == Mode::kDirectDraw ? 0 : 1);

    const int picture = LoadPicture("picture.png");
    ASSERT_NE(picture, -1);
    SetDrawScreen(kBackScreen);
    ASSERT_EQ(ClearDrawScreen(), 0);
    ASSERT_EQ(DrawGraph(10, 20, picture, 0), 0);
    ASSERT_EQ(DrawString(300, 200, "Velk", GetColorValue(255, 255, 255)), 0);
    ASSERT_EQ(FlipScreen(), 0);
    const platform::PresentedFrame frame = Shown();
    ASSERT_EQ(frame.width, 640);
    ASSERT_EQ(frame.height, 480);
    EXPECT_EQ(frame.at(11, 21), 0xC86432u);
    EXPECT_EQ(frame.at(0, 0), 0u);
    EXPECT_TRUE(AnyLit(frame, Rect{300, 200, 300 + GetStringWidth("Velk", 4), 216}));
    EXPECT_EQ(ProcessMessages(), 0);
    DeleteGraph(picture);

    ASSERT_EQ(EndLibrary(), 0);
    EXPECT_FALSE(IsLibraryInitialized());
    std::vector<std::string> lines = LogLines();
    while (!lines.empty() && lines.back().empty()) lines.pop_back();
    ASSERT_GE(lines.size(), 3u);

    EXPECT_EQ(lines.front() + "\n", startup_log_text::kSystemReport);
    EXPECT_EQ(lines[lines.size() - 2], "Alloc memory dump");
    EXPECT_NE(lines.back().find("Alloc num:0"), std::string::npos) << lines.back();
}

TEST_P(LibraryFrame, KeyInputDrawsItsTextWithTheLibraryFont) {
    ASSERT_NO_FATAL_FAILURE(Start());
    const int input = CreateKeyInput(20, 1, 0, 0);
    ASSERT_NE(input, -1);
    ASSERT_EQ(SetKeyInputText("Velk", input), 0);
    SetDrawScreen(kBackScreen);
    ClearDrawScreen();
    ASSERT_EQ(DrawKeyInputString(40, 60, input), 0);
    ASSERT_EQ(FlipScreen(), 0);
    EXPECT_TRUE(AnyLit(Shown(), Rect{40, 60, 40 + GetStringWidth("Velk", 4), 76}));
    DeleteKeyInput(input);
    EXPECT_EQ(EndLibrary(), 0);
}

INSTANTIATE_TEST_SUITE_P(Modes, LibraryFrame,
                         ::testing::Values(Mode::kDirectDraw, Mode::kSoftware, Mode::kSoftwareAfterStart));

TEST_F(StartupTest, StartsThePartsInTheirOrderAndEndsThemInTheirs) {
    ASSERT_EQ(InitLibrary(), 0);
    const int report = LineOf(startup_log_text::kSystemReport);
    const int com = LineOf(startup_log_text::kComStart);
    const int window = LineOf(window_log_text::kDoubleLaunchCheck);
    const int input = LineOf(input_log_text::kStart);
    const int graphics = LineOf(screen_log::kDdInitStart);
    EXPECT_EQ(report, 0);
    EXPECT_LT(report, com);
    EXPECT_LT(com, window);
    EXPECT_LT(window, input);
    EXPECT_LT(input, graphics);
    EXPECT_TRUE(IsInputStarted());
    EXPECT_TRUE(audio.Started());
    EXPECT_FALSE(IsLibraryStarting());
    // The warm-up leaves the front screen selected and no graph behind but
    // the default font's glyph texture (where Direct3D draws).
    EXPECT_EQ(GetDrawScreen(), kFrontScreen);
    const FontData* font = GetFontData(GetDefaultFontHandle());
    ASSERT_NE(font, nullptr);
    EXPECT_EQ(GetGraphCount(), font->texture_mode != 0 ? 1 : 0);

    ASSERT_EQ(EndLibrary(), 0);
    const int graphics_end = LineOf(screen_log::kDdTermStart);
    const int sound_end = LineOf(sound_text::kEndFinished);
    const int com_end = LineOf(startup_log_text::kComEnded);
    const int dump = LineOf("Alloc memory dump");
    EXPECT_LT(graphics, graphics_end);
    EXPECT_LT(graphics_end, sound_end);
    EXPECT_LT(sound_end, com_end);
    EXPECT_LT(com_end, dump);
    EXPECT_EQ(GetMainWindowHWND(), 0u);
    EXPECT_FALSE(IsInputStarted());
    EXPECT_FALSE(audio.Started());
}

TEST_F(StartupTest, ASecondStartChangesNothingAndAnEndWithoutAStartDoesNothing) {
    EXPECT_EQ(EndLibrary(), 0);
    EXPECT_FALSE(scratch.path().empty());
    EXPECT_FALSE(std::filesystem::exists(scratch.path() / "Log.txt"));

    ASSERT_EQ(InitLibrary(), 0);
    const platform::WindowHandle window = GetMainWindowHWND();
    const std::string log = LogBytes();
    EXPECT_EQ(InitLibrary(), 0);
    EXPECT_EQ(GetMainWindowHWND(), window);
    EXPECT_EQ(LogBytes(), log);

    ASSERT_EQ(EndLibrary(), 0);
    const std::string ended = LogBytes();
    EXPECT_EQ(EndLibrary(), 0);
    EXPECT_EQ(LogBytes(), ended);

    // It starts again after the end, with a fresh log.
    ASSERT_EQ(InitLibrary(), 0);
    EXPECT_NE(GetMainWindowHWND(), 0u);
    EXPECT_EQ(LineOf(startup_log_text::kSystemReport), 0);
    EXPECT_EQ(LineOf("Alloc memory dump"), -1);
}

TEST_F(StartupTest, TheEndGoesBackToTheFolderTheLibraryStartedIn) {
    ASSERT_EQ(InitLibrary(), 0);
    std::filesystem::create_directory(scratch.path() / "Save");
    std::filesystem::current_path(scratch.path() / "Save");
    ASSERT_EQ(EndLibrary(), 0);
    EXPECT_EQ(std::filesystem::current_path(), scratch.path());
}

TEST_F(StartupTest, RefusesA24BitDesktopInWindowModeOnlyAndStartsNothing) {
    platform::SetDesktopColorBits(24);
    EXPECT_EQ(InitLibrary(), -1);
    EXPECT_EQ(LogLines().back() + "\n", startup_log_text::kNo24BitColor);
    EXPECT_FALSE(IsLibraryInitialized());
    EXPECT_TRUE(IsLibraryStarting()) << "the refusal returns before anything, the flag's clearing included";
    EXPECT_EQ(GetMainWindowHWND(), 0u);
    EXPECT_EQ(LineOf(startup_log_text::kSystemReport), -1);

    // Full screen starts on the same desktop.
    MainWindowState().window_mode = 0;
    ASSERT_EQ(InitLibrary(), 0);
    EXPECT_EQ(LineOf(startup_log_text::kNo24BitColor), -1);
}

TEST_F(StartupTest, RefusesA24BitScreenAskedFor) {
    GraphicsStartSteps steps;
    steps.requested_color_bits = [] { return 24; };
    SetGraphicsStartSteps(steps);
    EXPECT_EQ(InitLibrary(), -1);
    EXPECT_NE(LineOf(startup_log_text::kNo24BitColor), -1);
    EXPECT_TRUE(IsLibraryStarting());
    EXPECT_EQ(GetMainWindowHWND(), 0u);
}

TEST_F(StartupTest, RunsSilentWhenTheSoundDeviceCannotStart) {
    platform::FailAudioStep(platform::AudioStep::kCreateDevice, 1000);
    ASSERT_EQ(InitLibrary(), 0);
    EXPECT_FALSE(audio.Started());
    EXPECT_EQ(LoadSoundFromMemory("RIFF", 4, -1), -1);
    EXPECT_EQ(EndLibrary(), 0);
}

}  // namespace
}  // namespace velk::testing
