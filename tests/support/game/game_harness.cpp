#include "tests/support/game/game_harness.h"

#include <gtest/gtest.h>

#include "game/data/game_objects.h"
#include "game/data/random_source.h"
#include "game/shell/shell_wait.h"
#include "lib/core/library.h"
#include "lib/core/log.h"
#include "lib/api/library_parts.h"
#include "lib/api/start_options.h"
#include "lib/core/system_information.h"
#include "lib/core/window/main_window.h"
#include "lib/core/window/window_services.h"
#include "lib/core/window/window_state.h"
#include "lib/graphics/screen/screen_state.h"
#include "platform/audio/audio_faults.h"
#include "platform/base/debug_output.h"
#include "platform/display/display_mode.h"
#include "platform/window/message_box.h"
#include "platform/window/single_instance.h"
#include "tools/gamedata/description_parser.h"
#include "tools/gamedata/game_folder_writer.h"

namespace velk::testing {

GameHarness::GameHarness(std::string_view description) {
    std::string error;
    std::optional<gamedata::GameDescription> game = gamedata::ParseGameDescription(description, &error);
    EXPECT_TRUE(game) << error;
    if (game) {
        EXPECT_TRUE(gamedata::WriteGameFolder(*game, scratch_.path(), &error)) << error;
    }

    platform::SetDebugOutputEnabled(false);
    // Each game starts as a fresh run of the player would, its random source
    // seeded from the clock (this harness's own) rather than going on from
    // where an earlier test left it.
    RestartRandomSource();
    previousFolder_ = std::filesystem::current_path();
    std::filesystem::current_path(scratch_.path());
    platform::SetInstanceLockFolder(scratch_.path().string());
    platform::ResetDisplayForTests();
    platform::ClearAudioFaults();
    Window().SetDesktop(Rect{0, 0, 1920, 1080});
    // The desktop shows message boxes and the player confirms each at once; a
    // test of a desktop without boxes takes the answer away.
    Window().SetMessageBoxAnswer(platform::kMessageBoxResultOk);
    SetIdleSleepFunction([this](uint32_t milliseconds) { Advance(static_cast<int>(milliseconds)); });
    // The game's waits step the clock a millisecond at a time, processing
    // messages as the library's wait does.
    SetShellWaitFunction([this](int milliseconds) {
        if (ProcessMessages() != 0) return;
        for (int i = 0; i < milliseconds; ++i) {
            Advance(1);
            if (ProcessMessages() != 0) return;
        }
    });
    ResetWindowState();
    ResetScreenState();
    ResetSystemInfoBlock();
    SetLibraryStartOptions(LibraryStartOptions{});
    RegisterLibraryParts();
}

GameHarness::~GameHarness() {
    if (program_ && !ended_) {
        Guarded([&] {
            program_->ShutDown();
            return true;
        });
    }
    program_.reset();
    // Latest first, so a code made dear twice gets its own handler back.
    for (auto it = cheapCommands_.rbegin(); it != cheapCommands_.rend(); ++it)
        ActiveCommandTable().Register(it->first, it->second.minimumArguments, it->second.minimumStrings,
                                      std::move(it->second.handler));
    EndLibrary();
    SetLibraryStartOptions(LibraryStartOptions{});
    ResetWindowState();
    ResetScreenState();
    SetIdleSleepFunction(nullptr);
    SetShellWaitFunction(nullptr);
    platform::ClearAudioFaults();
    platform::ResetDisplayForTests();
    platform::SetInstanceLockFolder("");
    SetLogStartDirectory("");
    RestartRandomSource();
    std::filesystem::current_path(previousFolder_);
}

template <typename Run>
bool GameHarness::Guarded(Run run) {
    stepStartMs_ = clock_.Microseconds() / 1000;
    try {
        return run();
    } catch (const ProgramEnded& end) {
        ended_ = true;
        result_ = end.exitCode;
        return false;
    }
}

std::optional<int> GameHarness::Start(const std::string& commandLine,
                                      const std::function<void(GameProgram&)>& prepare) {
    program_ = std::make_unique<GameProgram>(commandLine);
    program_->SetExitFunction([](int code) { throw ProgramEnded{code}; });
    if (prepare) prepare(*program_);
    bool running = Guarded([&] {
        if (std::optional<int> result = program_->StartUp()) {
            ended_ = true;
            result_ = *result;
            return false;
        }
        // The outer loop's first pass: the title/reset block.
        return program_->Step();
    });
    if (!running) return result_;
    return std::nullopt;
}

bool GameHarness::StepFrames(int frames) {
    if (!program_ || ended_) return false;
    for (int i = 0; i < frames; ++i) {
        bool going = Guarded([&] { return program_->Step(); });
        if (!going) {
            if (!ended_) {
                ended_ = true;
                result_ = program_->Result();
            }
            return false;
        }
    }
    return true;
}

void GameHarness::Advance(int milliseconds) {
    clock_.AdvanceMilliseconds(milliseconds);
    int64_t now = clock_.Microseconds() / 1000;
    if (!stuckReported_ && now - stepStartMs_ > kLongestStepMs) {
        stuckReported_ = true;
        ADD_FAILURE() << "one frame waited " << (now - stepStartMs_) / 1000
                      << " s of game time; the window is closed to end it";
        CloseWindow();
    }
    for (size_t i = 0; i < scheduled_.size();) {
        if (scheduled_[i].atMs <= now) {
            std::function<void()> action = std::move(scheduled_[i].action);
            scheduled_.erase(scheduled_.begin() + static_cast<std::ptrdiff_t>(i));
            action();
        } else {
            ++i;
        }
    }
}

void GameHarness::At(int32_t afterMs, std::function<void()> action) {
    scheduled_.push_back({clock_.Microseconds() / 1000 + afterMs, std::move(action)});
}

void GameHarness::MakeCommandsDear(CommandCode code, int milliseconds) {
    CommandTable& table = ActiveCommandTable();
    const CommandEntry* entry = table.Find(CodeValue(code));
    ASSERT_NE(entry, nullptr) << "no handler for command " << CodeValue(code);
    cheapCommands_.emplace_back(code, *entry);
    table.Register(code, entry->minimumArguments, entry->minimumStrings,
                   [this, handler = entry->handler, milliseconds](EventInterpreter& in, const EventCommand& command) {
                       const CommandResult result = handler(in, command);
                       if (result != CommandResult::kStopFrame) Advance(milliseconds);
                       return result;
                   });
}

void GameHarness::SetKey(uint8_t scanCode, bool down) { input_.devices().SetKey(scanCode, down); }

void GameHarness::CloseWindow() {
    platform::WindowEvent close;
    close.kind = platform::WindowEvent::Kind::kCloseRequested;
    close.window = GetMainWindowHWND();
    Window().Inject(close);
}

int32_t GameHarness::Variable(VariableId id) { return Home().variableStore.GetInt(id); }
std::string GameHarness::StringVariable(VariableId id) { return Home().variableStore.GetString(id); }

platform::PresentedFrame GameHarness::Shown() {
    platform::PresentedFrame frame;
    display_.output().ReadPresentedPixels(GetMainWindowHWND(), &frame);
    return frame;
}

}  // namespace velk::testing
