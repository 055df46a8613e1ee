#pragma once
// The game runtime started headless on a game folder made from a description
// in the game-data writer's language (tools/gamedata/description_parser.h).
// The library runs on a manual clock (its waits step the clock), a manual
// window, a capturing display, manual sound output and manual input devices;
// the current folder is the game folder for the harness's life. A test
// scripts input, steps the game frame by frame and reads variables and files
// back.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "game/data/variable_id.h"
#include "game/event/command_table.h"
#include "game/shell/game_program.h"
#include "platform/audio/manual_audio.h"
#include "platform/base/clock.h"
#include "platform/display/display_output.h"
#include "platform/input/manual_input_devices.h"
#include "platform/window/manual_window_backend.h"
#include "platform/window/window_system.h"
#include "tests/support/scratch_dir.h"

namespace velk::testing {

// Thrown in place of the process's end after a fatal data error.
struct ProgramEnded {
    int exitCode;
};

class GameHarness {
public:
    // Writes the folder; a description that does not parse or write fails
    // the test (and leaves an empty folder).
    explicit GameHarness(std::string_view description);
    ~GameHarness();
    GameHarness(const GameHarness&) = delete;
    GameHarness& operator=(const GameHarness&) = delete;

    // Start-up and, when it goes on, the first title/reset block and the
    // first frame. nullopt while the game runs, else the program's result (or
    // the exit code of a fatal error).
    // `prepare` may fill the program's hooks before start-up runs.
    std::optional<int> Start(const std::string& commandLine = "",
                             const std::function<void(GameProgram&)>& prepare = nullptr);
    // Runs `frames` passes of the main loop; false as soon as the program
    // has ended.
    bool StepFrames(int frames);
    bool Ended() const { return ended_; }
    int Result() const { return result_; }

    // Scripted input, held until changed.
    void SetKey(uint8_t scanCode, bool down);
    void SetMouseButtons(uint32_t buttons) { input_.devices().SetMouseButtons(buttons); }
    void CloseWindow();
    // Runs `action` once the clock has moved `afterMs` past now, from inside
    // the library's waits: input for loops that block, like the error box.
    void At(int32_t afterMs, std::function<void()> action);
    // Every command of `code` takes `milliseconds` of game time after it has
    // run (what At scheduled runs when due), as a dear command takes real
    // time: a long string copied, a big file read. One that waits for the
    // next frame did nothing and takes none. Until the harness ends; call it
    // after Start, which registers the handlers.
    void MakeCommandsDear(CommandCode code, int milliseconds);

    int32_t Variable(VariableId id);
    std::string StringVariable(VariableId id);
    // A file of the game folder ("" when missing).
    std::string ReadFile(const std::string& relative) const { return scratch_.ReadFile(relative); }
    const std::filesystem::path& Folder() const { return scratch_.path(); }

    GameProgram& Program() { return *program_; }
    GameHome& Home() { return program_->Home(); }
    platform::ManualClock& Clock() { return clock_; }
    platform::ManualWindowBackend& Window() { return window_.backend(); }
    // The frame last shown in the window (empty before the first flip).
    platform::PresentedFrame Shown();
    // Message boxes asked for so far (text and caption in Shift-JIS).
    const std::vector<platform::MessageBoxRequest>& MessageBoxes() { return window_.backend().message_boxes(); }

private:
    template <typename Run>
    bool Guarded(Run run);
    void Advance(int milliseconds);

    ScratchDir scratch_;
    std::filesystem::path previousFolder_;
    platform::ManualClock clock_{5000000};
    platform::ScopedClock installedClock_{clock_};
    platform::ScopedManualWindowBackend window_;
    platform::ScopedCapturingDisplayOutput display_;
    platform::ManualAudio audio_;
    platform::ScopedManualInputDevices input_;
    struct Scheduled {
        int64_t atMs;
        std::function<void()> action;
    };
    std::vector<Scheduled> scheduled_;
    std::vector<std::pair<CommandCode, CommandEntry>> cheapCommands_;
    // A frame that waits this long in game time waits on something no test
    // answers (a box nothing closes): the test fails and the window closes,
    // rather than the run hanging until the suite's timeout.
    static constexpr int64_t kLongestStepMs = 10 * 60 * 1000;
    int64_t stepStartMs_ = 0;
    bool stuckReported_ = false;
    std::unique_ptr<GameProgram> program_;
    bool ended_ = false;
    int result_ = 0;
};

}  // namespace velk::testing
