#include "lib/core/window/window_procedure.h"

#include "lib/core/library.h"
#include "lib/core/log.h"
#include "lib/core/window/main_window.h"
#include "lib/core/window/window_log_texts.h"
#include "lib/core/window/window_services.h"
#include "lib/core/window/window_state.h"
#include "platform/display/window_dib.h"
#include "platform/window/window_system.h"

namespace velk {

namespace {

namespace msg = platform::msg;
namespace vk = platform::vk;
using platform::LParam;
using platform::MessageResult;
using platform::WindowHandle;
using platform::WParam;

constexpr int kFrontScreen = -4;
constexpr int kBackScreen = -2;

// Editing keys and the control codes the character buffer receives for them.
struct EditingKey {
    uint32_t key;
    unsigned char code;
};
constexpr EditingKey kEditingKeys[] = {
    {vk::kDelete, 0x10}, {vk::kLeft, 0x1D},  {vk::kRight, 0x1C}, {vk::kUp, 0x1E},   {vk::kDown, 0x1F},
    {vk::kHome, 0x1A},   {vk::kEnd, 0x19},   {vk::kPrior, 0x17}, {vk::kNext, 0x15},
};

bool IsTypedControlCharacter(uint32_t character) {
    switch (character) {
        case 1: case 3: case 8: case 9: case 13: case 16: case 22: case 24: case 27:
            return true;
        default:
            return false;
    }
}

WindowState& State() { return MainWindowState(); }

void PostCloseOnce(WindowHandle window) {
    if (State().close_posted != 0) return;
    State().close_posted = 1;
    platform::PostWindowMessage(window, msg::kClose, 0, 0);
}

void HandleActivation(WindowHandle window, bool active, WParam wparam) {
    WindowState& state = State();
    state.active = active ? 1 : 0;
    if (state.creating != 0) return;
    const WindowGraphicsServices& graphics = WindowGraphics();
    const WindowSoundServices& sound = WindowSound();
    if (active) {
        WindowTextInput().request_ime_reopen();
        graphics.check_surface_2d_lost();
        graphics.check_surface_3d_lost();
        if (state.window_mode == 0 && IsLibraryInitialized()) {
            if (platform::HighWord(wparam) == 0) graphics.restore_graphics_system();
            sound.resume_all_movies();
        } else if (state.always_run == 0) {
            sound.resume_all_movies();
        }
        WindowInput().reacquire_input_devices();
    } else if (state.window_mode == 0 && graphics.get_display_mode_changed_flag() != 0) {
        if (graphics.get_use_direct_draw_flag() == 0) {
            graphics.release_direct_draw_object();
            platform::ShowAppWindow(window, platform::kShowMinimized);
        } else {
            graphics.release_direct3d_object();
        }
        if (graphics.has_direct_draw_object()) {
            if (graphics.check_restore_graph_callback() == 0) {
                WriteLog(window_log_text::kNoRestoreFunction);
                PostCloseOnce(window);
                return;
            }
            sound.pause_all_movies();
        } else {
            if (state.always_run == 0) sound.pause_all_movies();
            WindowInput().reacquire_input_devices();
        }
    } else {
        if (state.always_run == 0) sound.pause_all_movies();
        WindowInput().reacquire_input_devices();
    }
    WindowInput().update_joypad_effects();
}

void HandlePaint(WindowHandle window) {
    WindowState& state = State();
    const Rect area = platform::BeginWindowPaint(window);
    if (state.window_mode != 0) {
        state.inside_paint = 1;
        if (!IsLibraryInitialized()) {
            // Nothing of ours to copy yet: the area shows black rather than
            // whatever lay under the window.
            uint32_t black = 0;
            const platform::DibImage dot{1, 1, 4, 32, 0xFF0000u, 0x00FF00u, 0x0000FFu,
                                         reinterpret_cast<uint8_t*>(&black)};
            platform::DrawDibToWindow(window, area, dot, Rect{0, 0, 1, 1});
        } else if (WindowGraphics().get_draw_screen() == kBackScreen) {
            const WindowGraphicsServices& graphics = WindowGraphics();
            const int wait = graphics.get_flip_vsync_wait_flag();
            graphics.set_flip_vsync_wait_flag(0);
            graphics.copy_back_buffer_to_window(&area);
            graphics.set_flip_vsync_wait_flag(wait);
        }
        state.inside_paint = 0;
    }
    platform::EndWindowPaint(window);
}

// A display change that cannot be survived closes the program; one that can
// rebuilds the graphics.
void HandleDisplayChange(WindowHandle window, WParam wparam, LParam lparam) {
    WindowState& state = State();
    if (state.window_mode != 0 && state.mode_changing == 0) {
        const int bits = static_cast<int>(wparam);
        const int width = platform::LowWord(static_cast<uint64_t>(lparam));
        const int height = platform::HighWord(static_cast<uint64_t>(lparam));
        int screen_width = 0;
        int screen_height = 0;
        int screen_bits = 0;
        const WindowGraphicsServices& graphics = WindowGraphics();
        graphics.get_screen_mode(&screen_width, &screen_height, &screen_bits);
        if (bits != screen_bits || width != screen_width || height != screen_height) {
            if (graphics.check_restore_graph_callback() == 0 || bits == 24 || (bits == 8 && screen_bits != 8) ||
                width < screen_width || height < screen_height) {
                WriteLog(window_log_text::kDisplayChangeFatal1);
                WriteLog(window_log_text::kDisplayChangeFatal2);
                PostCloseOnce(window);
                return;
            }
            WindowSound().release_all_movie_streams();
            graphics.setup_screen_color_data();
            graphics.restore_graphics_system();
            WindowSound().resume_all_movies();
        }
    }
    state.display_changed = 1;
}

void HandleSizing(WindowHandle window, WParam edge, LParam lparam) {
    if (State().window_mode == 0 || lparam == 0) return;
    auto* proposed = reinterpret_cast<Rect*>(lparam);
    int screen_width = 0;
    int screen_height = 0;
    WindowGraphics().get_draw_screen_size(&screen_width, &screen_height);
    const Rect window_rect = platform::GetWindowRectangle(window);
    const Rect client = platform::GetClientAreaOnScreen(window);
    const int frame_width = (window_rect.right - window_rect.left) - (client.right - client.left);
    const int frame_height = (window_rect.bottom - window_rect.top) - (client.bottom - client.top);
    const int client_width = KeepAspectWhileSizing(static_cast<int>(edge), proposed, frame_width, frame_height,
                                                   screen_width, screen_height);
    State().size_rate = static_cast<double>(client_width) / screen_width;
}

void HandleDroppedFiles(WParam drop) {
    WindowState& state = State();
    for (auto& name : platform::TakeDroppedFiles(drop)) {
        if (static_cast<int>(state.dropped_files.size()) >= kMaxDroppedFiles) break;
        state.dropped_files.push_back(std::move(name));
    }
}

}  // namespace

MessageResult MainWindowProc(WindowHandle window, uint32_t message, WParam wparam, LParam lparam) {
    WindowState& state = State();
    switch (message) {
        case msg::kDestroy:
            WriteLog(window_log_text::kDestroying);
            WriteLog(window_log_text::kReadyToEnd);
            platform::PostQuit(0);
            state.closed = 1;
            break;
        case msg::kMove:
            if (state.window_mode != 0 && state.mode_changing == 0) UpdateClientRectOnMove(lparam);
            break;
        case msg::kSize:
            if (wparam != platform::kSizeMaximized) FitWindowToDrawScreen();
            break;
        case msg::kActivate:
            HandleActivation(window, platform::LowWord(wparam) != 0, wparam);
            break;
        case msg::kActivateApp:
            if (wparam == 0) HandleActivation(window, false, wparam);
            break;
        case msg::kPaint:
            HandlePaint(window);
            return 0;
        case msg::kClose:
            WriteLog(window_log_text::kClosing);
            platform::DestroyAppWindow(window);
            if (state.ending_state == 0) state.ending_state = 4;
            return 0;
        case msg::kSetCursor:
        case msg::kMouseMove:
        case msg::kLeftButtonDown:
        case msg::kLeftButtonUp:
        case msg::kRightButtonDown:
        case msg::kRightButtonUp:
        case msg::kMiddleButtonDown:
        case msg::kMiddleButtonUp:
            if (state.cursor_effective == 0) {
                platform::ClearCursorShape();
                while (platform::ShowCursorCount(false) >= 0) {
                }
            }
            break;
        case msg::kDisplayChange:
            HandleDisplayChange(window, wparam, lparam);
            break;
        case msg::kKeyDown:
            if (!WindowTextInput().char_buffer_full()) {
                for (const auto& key : kEditingKeys) {
                    if (key.key == wparam) WindowTextInput().stock_input_char(key.code);
                }
            }
            break;
        case msg::kChar: {
            const auto character = static_cast<uint32_t>(wparam & 0xFF);
            if (character == 10) {
                WindowTextInput().stock_input_char(13);
            } else if (character >= 0x20 || IsTypedControlCharacter(character)) {
                WindowTextInput().stock_input_char(static_cast<unsigned char>(character));
            }
            break;
        }
        case msg::kImeStartComposition:
        case msg::kImeEndComposition:
        case msg::kImeComposition:
        case msg::kImeSetContext:
        case msg::kImeNotify:
            return WindowTextInput().handle_ime_message(wparam, lparam, message, window);
        case msg::kSysCommand:
            if ((wparam & 0xFFF0u) == platform::kSysCommandScreenSave ||
                (wparam & 0xFFF0u) == platform::kSysCommandMonitorPower) {
                return 1;
            }
            break;
        case msg::kMouseWheel:
            state.wheel_count += platform::SignedHighWord(wparam) > 0 ? 1 : -1;
            break;
        case msg::kSizing:
            HandleSizing(window, wparam, lparam);
            break;
        case msg::kMoving:
            if (state.window_mode == 0 && lparam != 0) {
                *reinterpret_cast<Rect*>(lparam) = platform::GetWindowRectangle(window);
            }
            break;
        case msg::kDropFiles:
            HandleDroppedFiles(wparam);
            break;
        case msg::kMciNotify:
            WindowSound().handle_midi_mci_notify();
            break;
        case msg::kF10Held:
            WindowInput().set_f10_held(wparam == 1);
            break;
        case msg::kNetworkEvent:
            return WindowNetwork().handle_network_event(wparam, lparam);
        default:
            break;
    }
    return platform::DefaultWindowProcedure(window, message, wparam, lparam);
}

int UpdateClientRectOnMove(LParam lparam) {
    WindowState& state = State();
    if (!platform::IsAppWindow(state.main_window)) return 0;
    const Rect client = platform::GetClientArea(state.main_window);
    const int left = platform::SignedLowWord(static_cast<uint64_t>(lparam));
    const int top = platform::SignedHighWord(static_cast<uint64_t>(lparam));
    state.client_rect = Rect{left, top, left + client.right, top + client.bottom};
    if (WindowGraphics().get_draw_screen() == kFrontScreen) WindowGraphics().window_rect_moved(state.client_rect);
    WindowGraphics().restore_draw_area();
    return 0;
}

int KeepAspectWhileSizing(int edge, Rect* proposed, int frame_width, int frame_height, int screen_width,
                          int screen_height) {
    int width = (proposed->right - proposed->left) - frame_width;
    int height = (proposed->bottom - proposed->top) - frame_height;
    if (screen_width <= 0 || screen_height <= 0) return width;
    bool width_follows_height = false;
    switch (edge) {
        case 1:
        case 2:
            width_follows_height = false;
            break;
        case 3:
        case 6:
            width_follows_height = true;
            break;
        default:
            // A corner: the side that is larger relative to the screen leads.
            width_follows_height = static_cast<int64_t>(width) * screen_height <=
                                   static_cast<int64_t>(height) * screen_width;
            break;
    }
    if (width_follows_height) {
        width = height * screen_width / screen_height;
        proposed->right = proposed->left + width + frame_width;
    } else {
        height = width * screen_height / screen_width;
        proposed->bottom = proposed->top + height + frame_height;
    }
    return width;
}

}  // namespace velk
