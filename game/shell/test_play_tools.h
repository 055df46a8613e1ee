#pragma once
// The tools for the game's author: the function keys (window scale, frame
// skip, information mode, the variable viewer in test play, back to the
// title in every run), the screenshot key, the window title with its
// information line, and the on-screen overlays (the played time of a
// replay, and in test play the debug page while F8 is held).
//
// The hotkeys run once per pass of the main loop, after the frame; the
// overlay once per drawn frame, just before the flip.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace velk {

class GameHome;
class GameProgram;

class TestPlayTools {
public:
    explicit TestPlayTools(GameHome& home) : home_(home) {}

    // Does nothing when `flag` is 1; the main loop passes 0.
    void HandleHotkeys(int flag);
    // The variable viewer (test play only); `first` resets the scroll.
    void ShowVariableViewer(bool first);
    void DrawTestPlayOverlay();
    // The debug page's first line: the pictures shown, the graphs in use and
    // the sounds loaded.
    std::string DebugHeading() const;
    // The pictures shown now; the presentation, which owns them, sets it.
    std::function<int32_t()> countPictures;

    int32_t WindowScaleStep() const { return scaleStep_; }
    int32_t FrameSkipStep() const { return skipStep_; }
    int32_t DrawnFramesPerSecond() const { return drawnFps_; }
    // The name of the last screenshot written ("" when none was).
    const std::string& LastScreenshot() const { return lastScreenshot_; }

private:
    void StepWindowScale();
    void TakeScreenshot();
    void SetWindowTitle(int32_t mode);
    void DrawDebugPage();
    int32_t MessageFontSize() const;

    GameHome& home_;
    int32_t scaleStep_ = 0;
    int32_t skipStep_ = 0;
    int32_t viewerOffset_ = 0;
    int32_t drawnCount_ = 0;
    int32_t drawnFps_ = 0;
    bool markSet_ = false;
    uint32_t markMs_ = 0;
    int32_t lastMode_ = -1;
    std::string lastScreenshot_;
};

// The viewer's lines, in order: the interpreter's place, then every normal
// variable, string variable, system variable and system string with its
// name.
std::vector<std::string> VariableViewerLines(GameHome& home);
// "ScreenShot_%d_%02d%02d_%02d_%02d_%02d.png" of the local time now.
std::string ScreenshotFileName();
// The event-processing text of the title: the largest of the last five
// frames' times and a bar of at most 21 symbols.
std::string EventTimeText(int32_t largest);
// "%.2i:%.2i:%.2i" of a played frame count at 60 frames a second.
std::string PlayedTimeText(int32_t frames);

// Builds the tools for the program's scene: the hotkeys after each frame
// and the overlay as the frame's last draw layer. The scene's hooks own them.
std::shared_ptr<TestPlayTools> ConnectTestPlayTools(GameProgram& program);

}  // namespace velk
