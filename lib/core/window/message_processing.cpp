#include "lib/core/window/message_processing.h"

#include "lib/core/library.h"
#include "lib/core/window/main_window.h"
#include "lib/core/window/window_services.h"
#include "lib/core/window/window_state.h"
#include "platform/base/sync.h"
#include "platform/window/window_system.h"

namespace velk {

namespace {

constexpr int kMessagesPerBatch = 5;

// Takes the next message: anything waiting for the thread first, else a
// message of the thread itself, else one of the main window.
bool TakeMessage(platform::WindowHandle main_window, platform::Message* message) {
    if (platform::PeekWindowMessage(message, 0, false)) return platform::PeekWindowMessage(message, 0, true);
    return platform::PeekWindowMessage(message, platform::kThreadMessagesOnly, true) ||
           platform::PeekWindowMessage(message, main_window, true);
}

bool Waiting(const WindowState& state) { return state.active == 0 && state.always_run == 0; }

// Sound, movies and the network go on while the program waits inactive.
void RunInactivePumps() {
    WindowNetwork().process_network_messages(1);
    WindowNetwork().process_http_requests();
    WindowSound().refill_all_stream_sounds();
    WindowSound().update_all_movie_overlays();
}

void RunFramePumps(WindowState& state) {
    WindowSound().refill_all_stream_sounds();
    WindowSound().update_midi_play_state();
    WindowInput().poll_input();
    WindowNetwork().process_network_messages(1);
    WindowNetwork().process_used_http_requests();
    state.reentry_guard = 1;
    WindowTextInput().process_key_input();
    state.reentry_guard = 0;
}

}  // namespace

int ProcessMessagesBody() {
    WindowState& state = MainWindowState();
    if (state.reentry_guard != 0) return 0;
    if (state.main_window == 0) return state.closed != 0 ? -1 : 0;
    const bool on_window_thread = platform::CurrentThreadId() == state.window_thread;

    int dispatched = 0;
    bool previous_pass_idle = false;
    for (bool first_pass = true;; first_pass = false) {
        if (!first_pass && (state.close_posted != 0 || state.active != 0 || state.always_run != 0) &&
            (previous_pass_idle || state.closed != 0)) {
            break;
        }
        if (Waiting(state)) IdleSleep(1);

        bool busy = false;
        bool leave = false;
        platform::Message message;
        while (TakeMessage(state.main_window, &message)) {
            if (message.message == platform::msg::kActivateApp && state.window_mode != 0) {
                state.active = platform::LowWord(message.wparam) != 0 ? 1 : 0;
            }
            if (state.closed != 0) {
                leave = true;
                break;
            }
            if (message.message == platform::msg::kQuit) state.closed = 1;
            platform::TranslateWindowMessage(message);
            platform::DispatchWindowMessage(message);
            if (++dispatched == kMessagesPerBatch) {
                // The message that completes a batch does not make the pass busy.
                dispatched = 0;
                break;
            }
            busy = true;
        }
        if (leave) break;
        previous_pass_idle = !busy;

        if (Waiting(state)) {
            RunInactivePumps();
            IdleSleep(1);
        }
        if (state.closed != 0 || !on_window_thread) break;
    }

    if (on_window_thread && state.window_mode == 0) {
        WindowGraphics().reapply_flip_to_gdi_mode();
        SetMouseCursorShowFlag(state.cursor_requested);
    }
    RunFramePumps(state);
    return state.closed != 0 ? -1 : 0;
}

bool MainWindowClosePending() {
    const WindowState& state = MainWindowState();
    if (state.closed != 0) return true;
    return state.main_window != 0 && platform::WindowClosePending();
}

void RegisterMessageProcessingBody() {
    LibraryLifeBodies bodies = GetLibraryLifeBodies();
    bodies.process_messages = &ProcessMessagesBody;
    SetLibraryLifeBodies(bodies);
}

void WaitWhileInactive() {
    WindowState& state = MainWindowState();
    // Without a window there is no activation to wait for.
    if (state.main_window == 0 || state.inside_paint != 0 || state.active != 0) return;
    if (state.always_run != 0 && (WindowGraphics().get_flip_to_gdi_mode() != 0 || state.window_mode != 0)) return;
    // Message processing returns at once when the always-run flag is set, so
    // each pass also gives up the processor.
    while (ProcessMessagesBody() == 0 && state.active == 0) IdleSleep(1);
    WindowGraphics().refresh_all_graph_surface();
}

}  // namespace velk
