#pragma once
// What the window, its procedure and the message processing need of the
// rest of the library. Graphics, sound and movies fill their parts when they
// start; device input, text input and the network layer fill theirs through
// their Register... functions. Every hook has a default that does nothing
// harmful, so the window runs before the other parts exist.

#include <cstdint>
#include <functional>

#include "lib/core/math.h"

namespace velk {

// The graphics side (screens, surfaces, the back buffer).
struct WindowGraphicsServices {
    // The draw screen's size (640 by 480 until the graphics side says more).
    std::function<void(int* width, int* height)> get_draw_screen_size = [](int* width, int* height) {
        *width = 640;
        *height = 480;
    };
    // The current draw target: -2 back screen, -4 front screen, or a graph.
    std::function<int()> get_draw_screen = [] { return -2; };
    // The screen mode in use (width, height, colour bits).
    std::function<void(int* width, int* height, int* bits)> get_screen_mode = [](int* width, int* height, int* bits) {
        *width = 640;
        *height = 480;
        *bits = 32;
    };
    // Shows the back buffer's area (client coordinates) in the window.
    std::function<int(const Rect* area)> copy_back_buffer_to_window = [](const Rect*) { return 0; };
    std::function<int()> get_flip_vsync_wait_flag = [] { return 1; };
    std::function<int(int flag)> set_flip_vsync_wait_flag = [](int) { return 0; };
    // 1 when a graph-restore routine is set (the built-in one counts).
    std::function<int()> check_restore_graph_callback = [] { return 1; };
    // After a display change that can be survived.
    std::function<int()> setup_screen_color_data = [] { return 0; };
    std::function<int()> restore_graphics_system = [] { return 0; };
    // On activation.
    std::function<int()> check_surface_2d_lost = [] { return 0; };
    std::function<int()> check_surface_3d_lost = [] { return 0; };
    // Full-screen deactivation.
    std::function<int()> get_display_mode_changed_flag = [] { return 0; };
    std::function<int()> get_use_direct_draw_flag = [] { return 1; };
    std::function<bool()> has_direct_draw_object = [] { return false; };
    std::function<int()> release_direct_draw_object = [] { return 0; };
    std::function<int()> release_direct3d_object = [] { return 0; };
    // The window moved while the front screen is the draw target: switch the
    // mask screen off, take the new client rectangle (unless the temporary
    // primary surface is in use) and switch the mask back.
    std::function<void(const Rect& client_on_screen)> window_rect_moved = [](const Rect&) {};
    // Sets the draw area again to the last one set.
    std::function<void()> restore_draw_area = [] {};
    // Changes the display mode; called by the window-mode switch with
    // (-1, -1, -1, 1, -1). It is expected to end with a display-change
    // message (platform PostDisplayChange); the switch waits for it.
    std::function<int(int width, int height, int bits, int flag, int refresh)> change_display_mode;
    // Applies the stored GDI-visible presentation request again.
    std::function<void()> reapply_flip_to_gdi_mode = [] {};
    std::function<int()> get_flip_to_gdi_mode = [] { return 0; };
    // After an inactive wait.
    std::function<int()> refresh_all_graph_surface = [] { return 0; };
};

// Sound, MIDI and movies.
struct WindowSoundServices {
    std::function<int()> refill_all_stream_sounds = [] { return 0; };
    std::function<int()> update_midi_play_state = [] { return 0; };
    std::function<int()> update_all_movie_overlays = [] { return 0; };
    std::function<int()> pause_all_movies = [] { return 0; };
    std::function<int()> resume_all_movies = [] { return 0; };
    std::function<int()> release_all_movie_streams = [] { return 0; };
    std::function<int()> handle_midi_mci_notify = [] { return 0; };
};

// Device input (lib/core/input fills it).
struct WindowInputServices {
    std::function<void()> poll_input = [] {};
    std::function<void()> reacquire_input_devices = [] {};
    std::function<void()> update_joypad_effects = [] {};
    std::function<void(bool held)> set_f10_held = [](bool) {};
};

// Text input (lib/core/input fills it).
struct WindowTextInputServices {
    std::function<bool()> char_buffer_full = [] { return false; };
    std::function<int(unsigned char byte)> stock_input_char = [](unsigned char) { return 0; };
    std::function<int64_t(uint64_t wparam, int64_t lparam, uint32_t message, int32_t window)> handle_ime_message =
        [](uint64_t, int64_t, uint32_t, int32_t) { return int64_t{0}; };
    // Whether key-input handles keep the input method in use.
    std::function<bool()> ime_enabled = [] { return false; };
    // The window became active while the input method is enabled and open.
    std::function<void()> request_ime_reopen = [] {};
    std::function<int()> process_key_input = [] { return 0; };
    std::function<void()> end_key_input = [] {};
};

// The network layer (lib/core/network fills it).
struct WindowNetworkServices {
    std::function<int(int flag)> process_network_messages = [](int) { return 0; };
    std::function<int()> process_http_requests = [] { return 0; };
    // Runs the per-frame step of every used HTTP request slot.
    std::function<void()> process_used_http_requests = [] {};
    std::function<int64_t(uint64_t wparam, int64_t lparam)> handle_network_event = [](uint64_t, int64_t) {
        return int64_t{0};
    };
};

void SetWindowGraphicsServices(WindowGraphicsServices services);
void SetWindowSoundServices(WindowSoundServices services);
void SetWindowInputServices(WindowInputServices services);
void SetWindowTextInputServices(WindowTextInputServices services);
void SetWindowNetworkServices(WindowNetworkServices services);

const WindowGraphicsServices& WindowGraphics();
const WindowSoundServices& WindowSound();
const WindowInputServices& WindowInput();
const WindowTextInputServices& WindowTextInput();
const WindowNetworkServices& WindowNetwork();

// How the library's waits give up the processor between passes (1 ms
// sleeps). Tests install a function that steps a manual clock instead.
void SetIdleSleepFunction(std::function<void(uint32_t milliseconds)> sleep);
void IdleSleep(uint32_t milliseconds);

}  // namespace velk
