#pragma once
// The event commands that act on the screen and on the running event: the
// picture command, the screen's colour tone and flash, the screen
// transition (its image, the capture and the start), freezing the screen,
// the frame wait, and the return to the title and the end of the game.

#include <cstdint>
#include <string>

#include "game/event/command_table.h"

namespace velk {

class Database;
class GameSystem;
class MainEventInterpreter;
class PictureDrawing;
class PictureList;
struct TextSettings;

// The game system's screen and run state as these commands change it. The
// shell implements it over its game system (and the main interpreter's
// map-visible byte); the defaults do nothing.
class ScreenStateLink {
public:
    virtual ~ScreenStateLink() = default;
    // 1 run, 0 back to the title, -1 quit.
    virtual void SetSceneState(int32_t state) {}
    virtual bool WindowBusy() { return false; }
    virtual bool TransitionPrepared() { return false; }
    virtual void SetTransitionPrepared(bool prepared) {}
    virtual bool TransitionRunning() { return false; }
    // The transition runs from now on with its whole length left.
    virtual void StartTransition() {}
    // The screen-sized graphs the start of a transition and a frozen screen
    // are captured into (0 while there are none).
    virtual int32_t TransitionStartScreen() { return 0; }
    virtual int32_t FrozenScreen() { return 0; }
    // False: the frame draws the frozen screen in place of the map.
    virtual void SetMapVisible(bool visible) {}
    // The transition image's graph (-1 or 0: none).
    virtual int32_t TransitionGraph() { return -1; }
    virtual void SetTransitionImage(const std::string& path, int32_t graph, bool plainFade, int32_t frames,
                                    uint8_t option) {}
};

// The screen state kept by the game system, with the byte that tells the
// frame to draw the live map (1) or the frozen screen (0).
class GameSystemScreen final : public ScreenStateLink {
public:
    GameSystemScreen(GameSystem& system, uint8_t& mapVisible) : system_(system), mapVisible_(mapVisible) {}

    void SetSceneState(int32_t state) override;
    bool WindowBusy() override;
    bool TransitionPrepared() override;
    void SetTransitionPrepared(bool prepared) override;
    bool TransitionRunning() override;
    void StartTransition() override;
    int32_t TransitionStartScreen() override;
    int32_t FrozenScreen() override;
    void SetMapVisible(bool visible) override { mapVisible_ = visible ? 1 : 0; }
    int32_t TransitionGraph() override;
    void SetTransitionImage(const std::string& path, int32_t graph, bool plainFade, int32_t frames,
                            uint8_t option) override;

private:
    GameSystem& system_;
    uint8_t& mapVisible_;
};

// Loads the transition image of a system-database row (type 11, item 0)
// in place of the current one, or none for a negative row (a plain fade),
// and keeps its frames and option byte.
void SetTransitionGraphic(ScreenStateLink& screen, PictureDrawing& drawing, Database& systemDatabase, int32_t row,
                          int32_t frames, uint8_t option);

class PictureCommands final : public CommandHandlerSet {
public:
    PictureCommands(PictureList& pictures, MainEventInterpreter& main, ScreenStateLink& screen, PictureDrawing& drawing,
                    Database& systemDatabase, const TextSettings& settings)
        : pictures_(pictures),
          main_(main),
          screen_(screen),
          drawing_(drawing),
          systemDatabase_(systemDatabase),
          settings_(settings) {}

    void RegisterInto(CommandTable& table) override;
    // Starts the screen transition as the transition command does (prepared
    // first when it was not); a loaded game comes in through it.
    CommandResult ExecuteTransition();

private:
    CommandResult PictureCommand(EventInterpreter& in, const EventCommand& command);
    CommandResult ScreenColor(const EventCommand& command);
    CommandResult SetTransition(const EventCommand& command);
    bool PrepareTransition();
    CommandResult EndGame(EventInterpreter& in, int32_t sceneState);
    CommandResult Freeze(bool frozen);
    // The whole 640 x 480 screen into a graph.
    void CaptureScreen(int32_t graph);

    PictureList& pictures_;
    MainEventInterpreter& main_;
    ScreenStateLink& screen_;
    PictureDrawing& drawing_;
    Database& systemDatabase_;
    const TextSettings& settings_;
};

}  // namespace velk
