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
#include <memory>
#include <string>
#include <vector>

namespace velk {

class GameHome;
class GamePresentation;
class GameProgram;
class ParallelCommonEventRunner;
class Scene;

// Where the debug page reads what the game holds loaded: the presentation's
// pictures, picture images and character sprites, and the map's parallel
// common-event runners. The sounds are the home's.
struct DebugPageSources {
    const GamePresentation* presentation = nullptr;
    const std::vector<ParallelCommonEventRunner>* parallelRunners = nullptr;
};

// What the debug page shows under its headings.
struct DebugPageContents {
    std::string heading;
    std::vector<std::string> pictureFiles;
    std::vector<std::string> sounds;
    std::vector<std::string> characterGraphics;
    // "%d," for each running parallel common event.
    std::string parallelEvents;
};

// One line of the debug page as drawn; `width` in pixels of the page's font.
struct DebugPageLine {
    int x = 0;
    int y = 0;
    int width = 0;
    std::string text;
};

class TestPlayTools {
public:
    explicit TestPlayTools(GameHome& home) : home_(home) {}

    // Does nothing when `flag` is 1; the main loop passes 0.
    void HandleHotkeys(int flag);
    // The variable viewer (test play only); `first` resets the scroll.
    void ShowVariableViewer(bool first);
    void DrawTestPlayOverlay();
    // The debug page's lines: the pictures shown, the graphs in use and the
    // sounds loaded, then the lists.
    DebugPageContents DebugPage() const;
    DebugPageSources debugSources;

    int32_t WindowScaleStep() const { return scaleStep_; }
    int32_t FrameSkipStep() const { return skipStep_; }
    int32_t DrawnFramesPerSecond() const { return drawnFps_; }
    // The name of the last screenshot written ("" when none was).
    const std::string& LastScreenshot() const { return lastScreenshot_; }
    // The lines of the debug page drawn last, all but the four list headings:
    // inside the 640 x 480 screen, the heading on top, the picture files and
    // sounds down the left half, the character graphics and the parallel
    // events (wrapped) down the right; a list longer than its place is cut,
    // its last line telling how many more there are.
    const std::vector<DebugPageLine>& LastDebugPage() const { return lastDebugPage_; }

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
    std::vector<DebugPageLine> lastDebugPage_;
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
// The tools the scene's hooks own; null when none were connected.
TestPlayTools* ConnectedTestPlayTools(Scene& scene);

}  // namespace velk
