#include "platform/window/window_system.h"

#include <cstring>

#include "platform/base/sync.h"
#include "platform/base/text_encoding.h"
#include "platform/window/manual_window_backend.h"
#include "platform/window/message_box.h"
#include "platform/window/window_system_internal.h"

namespace velk::platform {

namespace window_internal {

WindowSystem& System() {
    static WindowSystem system;
    return system;
}

WindowRecord* FindWindow(WindowHandle window) {
    auto& system = System();
    auto found = system.windows.find(window);
    return found == system.windows.end() ? nullptr : &found->second;
}

WindowBackend& Backend() {
    auto& system = System();
    std::lock_guard lock(system.mutex);
    if (!system.backend) {
        // The IBus connection comes first: once it is made, SDL leaves the
        // daemon to it (see the IBus back-end).
        if (!system.input_method) system.input_method = CreateIbusInputMethod();
        system.backend = CreateSdlWindowBackend();
    }
    return *system.backend;
}

Rect ClientRectOf(const WindowRecord& record) {
    FrameInsets frame = Backend().FrameFor(record.style, record.ex_style);
    Rect client{record.window_rect.left + frame.left, record.window_rect.top + frame.top,
                record.window_rect.right - frame.right, record.window_rect.bottom - frame.bottom};
    if (client.right < client.left) client.right = client.left;
    if (client.bottom < client.top) client.bottom = client.top;
    return client;
}

NativeWindowState NativeStateOf(const WindowRecord& record) {
    NativeWindowState state;
    state.title_utf8 = ShiftJisToUtf8(record.title);
    state.client = ClientRectOf(record);
    state.visible = (record.style & kStyleVisible) != 0;
    state.minimized = record.minimized;
    state.decorated = (record.style & kStyleCaption) == kStyleCaption;
    state.topmost = (record.ex_style & kExStyleTopmost) != 0;
    // A captionless topmost popup is the full-screen window.
    state.fullscreen = !state.decorated && state.topmost && (record.style & kStylePopup) != 0;
    return state;
}

void ApplyCursorVisibility() {
    auto& system = System();
    Backend().SetCursorVisible(system.cursor_count >= 0 && !system.cursor_cleared);
}

}  // namespace window_internal

using namespace window_internal;

namespace {

void ResetSystemLocked(WindowSystem& system) {
    system.classes.clear();
    system.windows.clear();
    system.queues.clear();
    system.timers.clear();
    system.event_thread = 0;
    system.pending_drop.clear();
    system.drops.clear();
    system.composition = {};
    system.composing = false;
    system.text_input_enabled = true;
    system.input_method_focused = false;
    system.drop_next_text = false;
    system.candidates = CandidateState{};
    system.cursor_count = 0;
    system.cursor_cleared = false;
    system.cursor_x = 0;
    system.cursor_y = 0;
}

void SyncNative(WindowHandle window) {
    WindowRecord* record = FindWindow(window);
    if (record != nullptr) Backend().UpdateWindow(window, NativeStateOf(*record));
}

}  // namespace

void SetWindowBackend(std::unique_ptr<WindowBackend> backend) {
    auto& system = System();
    std::lock_guard lock(system.mutex);
    if (system.backend) {
        for (auto& [handle, record] : system.windows) system.backend->CloseWindow(handle);
    }
    ResetSystemLocked(system);
    system.backend = std::move(backend);
    ForgetMessageBoxFailure();
}

WindowBackend& ActiveWindowBackend() { return Backend(); }

ScopedManualWindowBackend::ScopedManualWindowBackend() {
    auto backend = std::make_unique<ManualWindowBackend>();
    backend_ = backend.get();
    SetWindowBackend(std::move(backend));
}

ScopedManualWindowBackend::~ScopedManualWindowBackend() {
    SetWindowBackend(std::make_unique<ManualWindowBackend>());
}

bool RegisterWindowClass(const std::string& class_name, WindowProcedure procedure, int icon_id) {
    auto& system = System();
    std::lock_guard lock(system.mutex);
    if (class_name.empty() || system.classes.count(class_name) != 0) return false;
    system.classes[class_name] = WindowClassRecord{std::move(procedure), icon_id};
    return true;
}

bool UnregisterWindowClass(const std::string& class_name) {
    auto& system = System();
    std::lock_guard lock(system.mutex);
    for (const auto& [handle, record] : system.windows) {
        if (record.class_name == class_name) return false;  // still in use
    }
    return system.classes.erase(class_name) != 0;
}

bool IsWindowClassRegistered(const std::string& class_name) {
    auto& system = System();
    std::lock_guard lock(system.mutex);
    return system.classes.count(class_name) != 0;
}

bool SetWindowClassIcon(const std::string& class_name, int icon_id) {
    auto& system = System();
    std::lock_guard lock(system.mutex);
    auto found = system.classes.find(class_name);
    if (found == system.classes.end()) return false;
    found->second.icon_id = icon_id;
    return true;
}

WindowHandle CreateAppWindow(const WindowCreateParams& params) {
    auto& system = System();
    std::lock_guard lock(system.mutex);
    auto found = system.classes.find(params.class_name);
    if (found == system.classes.end()) return 0;
    WindowRecord record;
    record.class_name = params.class_name;
    record.procedure = found->second.procedure;
    record.title = params.title;
    record.style = params.style;
    record.ex_style = params.ex_style;
    record.window_rect = params.window_rect;
    record.thread = CurrentThreadId();
    WindowHandle handle = system.next_handle;
    if (!Backend().OpenWindow(handle, NativeStateOf(record))) return 0;
    system.next_handle += 2;
    system.windows[handle] = std::move(record);
    if (system.event_thread == 0) system.event_thread = CurrentThreadId();
    return handle;
}

bool DestroyAppWindow(WindowHandle window) {
    auto& system = System();
    {
        std::lock_guard lock(system.mutex);
        WindowRecord* record = FindWindow(window);
        if (record == nullptr || record->destroying) return false;
        record->destroying = true;
    }
    SendWindowMessage(window, msg::kDestroy, 0, 0);
    std::lock_guard lock(system.mutex);
    if (system.windows.erase(window) == 0) return false;
    std::erase_if(system.timers, [window](const TimerRecord& timer) { return timer.window == window; });
    Backend().CloseWindow(window);
    if (system.windows.empty()) system.event_thread = 0;
    return true;
}

bool IsAppWindow(WindowHandle window) {
    auto& system = System();
    std::lock_guard lock(system.mutex);
    return FindWindow(window) != nullptr;
}

uint32_t WindowThreadOf(WindowHandle window) {
    auto& system = System();
    std::lock_guard lock(system.mutex);
    WindowRecord* record = FindWindow(window);
    return record == nullptr ? 0 : record->thread;
}

void* NativeWindowOf(WindowHandle window) {
    auto& system = System();
    std::lock_guard lock(system.mutex);
    return FindWindow(window) == nullptr ? nullptr : Backend().NativeHandle(window);
}

Rect GetWindowRectangle(WindowHandle window) {
    auto& system = System();
    std::lock_guard lock(system.mutex);
    WindowRecord* record = FindWindow(window);
    return record == nullptr ? Rect{} : record->window_rect;
}

Rect GetClientArea(WindowHandle window) {
    Rect client = GetClientAreaOnScreen(window);
    return Rect{0, 0, client.right - client.left, client.bottom - client.top};
}

Rect GetClientAreaOnScreen(WindowHandle window) {
    auto& system = System();
    std::lock_guard lock(system.mutex);
    WindowRecord* record = FindWindow(window);
    return record == nullptr ? Rect{} : ClientRectOf(*record);
}

Rect AdjustRectForStyle(const Rect& client, uint32_t style, uint32_t ex_style) {
    FrameInsets frame = Backend().FrameFor(style, ex_style);
    return Rect{client.left - frame.left, client.top - frame.top, client.right + frame.right,
                client.bottom + frame.bottom};
}

bool MoveAppWindow(WindowHandle window, const Rect& window_rect) {
    auto& system = System();
    Rect old_client;
    Rect new_client;
    {
        std::lock_guard lock(system.mutex);
        WindowRecord* record = FindWindow(window);
        if (record == nullptr) return false;
        old_client = ClientRectOf(*record);
        record->window_rect = window_rect;
        new_client = ClientRectOf(*record);
        record->needs_paint = true;
        Backend().UpdateWindow(window, NativeStateOf(*record));
    }
    const int width = new_client.right - new_client.left;
    const int height = new_client.bottom - new_client.top;
    if (width != old_client.right - old_client.left || height != old_client.bottom - old_client.top) {
        SendWindowMessage(window, msg::kSize, kSizeRestored, MakeLParam(width, height));
    }
    if (new_client.left != old_client.left || new_client.top != old_client.top) {
        SendWindowMessage(window, msg::kMove, 0, MakeLParam(new_client.left, new_client.top));
    }
    return true;
}

uint32_t GetWindowStyle(WindowHandle window) {
    auto& system = System();
    std::lock_guard lock(system.mutex);
    WindowRecord* record = FindWindow(window);
    return record == nullptr ? 0 : record->style;
}

uint32_t GetWindowExStyle(WindowHandle window) {
    auto& system = System();
    std::lock_guard lock(system.mutex);
    WindowRecord* record = FindWindow(window);
    return record == nullptr ? 0 : record->ex_style;
}

void SetWindowStyles(WindowHandle window, uint32_t style, uint32_t ex_style) {
    auto& system = System();
    std::lock_guard lock(system.mutex);
    WindowRecord* record = FindWindow(window);
    if (record == nullptr) return;
    record->style = style;
    record->ex_style = ex_style;
    SyncNative(window);
}

bool ShowAppWindow(WindowHandle window, int show_command) {
    auto& system = System();
    std::lock_guard lock(system.mutex);
    WindowRecord* record = FindWindow(window);
    if (record == nullptr) return false;
    const bool was_visible = (record->style & kStyleVisible) != 0;
    if (show_command == kShowHide) {
        record->style &= ~kStyleVisible;
    } else {
        record->style |= kStyleVisible;
        record->minimized = show_command == kShowMinimized || show_command == 2 || show_command == 7;
        record->needs_paint = true;
    }
    SyncNative(window);
    return was_visible;
}

bool IsWindowMinimized(WindowHandle window) {
    auto& system = System();
    std::lock_guard lock(system.mutex);
    WindowRecord* record = FindWindow(window);
    return record != nullptr && record->minimized;
}

bool IsWindowVisible(WindowHandle window) {
    return (GetWindowStyle(window) & kStyleVisible) != 0;
}

void SetWindowTitle(WindowHandle window, std::string_view title) {
    auto& system = System();
    std::lock_guard lock(system.mutex);
    WindowRecord* record = FindWindow(window);
    if (record == nullptr) return;
    record->title = std::string(title);
    SyncNative(window);
}

std::string GetWindowTitle(WindowHandle window) {
    auto& system = System();
    std::lock_guard lock(system.mutex);
    WindowRecord* record = FindWindow(window);
    return record == nullptr ? std::string() : record->title;
}

void BringAppWindowToTop(WindowHandle window) {
    if (IsAppWindow(window)) Backend().RaiseWindow(window);
}

int ShowCursorCount(bool show) {
    auto& system = System();
    std::lock_guard lock(system.mutex);
    system.cursor_count += show ? 1 : -1;
    ApplyCursorVisibility();
    return system.cursor_count;
}

void ClearCursorShape() {
    auto& system = System();
    std::lock_guard lock(system.mutex);
    system.cursor_cleared = true;
    ApplyCursorVisibility();
}

void RestoreClassCursor() {
    auto& system = System();
    std::lock_guard lock(system.mutex);
    system.cursor_cleared = false;
    ApplyCursorVisibility();
}

void GetCursorScreenPosition(int* x, int* y) {
    auto& system = System();
    std::lock_guard lock(system.mutex);
    if (x != nullptr) *x = system.cursor_x;
    if (y != nullptr) *y = system.cursor_y;
}

void SetCursorScreenPosition(int x, int y) {
    auto& system = System();
    std::lock_guard lock(system.mutex);
    system.cursor_x = x;
    system.cursor_y = y;
    // The cursor can only be placed inside one of our windows.
    for (auto& [handle, record] : system.windows) {
        Rect client = ClientRectOf(record);
        Backend().WarpCursor(handle, x - client.left, y - client.top);
        break;
    }
}

Rect DesktopRectangle() { return Backend().DesktopRect(); }

Rect WorkAreaRectangle() { return Backend().WorkArea(); }

std::optional<std::string> CurrentDisplayName() { return Backend().DisplayName(); }

void SetScreenSaverActive(bool active) { Backend().SetScreenSaverEnabled(active); }

void SetTextInputEnabled(bool enabled) {
    auto& system = System();
    std::lock_guard lock(system.mutex);
    system.text_input_enabled = enabled;
    if (!enabled) {
        system.composition = {};
        system.composing = false;
        system.candidates = CandidateState{};
        system.drop_next_text = false;
    }
    if (system.input_method) {
        if (!enabled) system.input_method->Reset();
        system.input_method->SetFocus(enabled);
        system.input_method_focused = enabled;
    }
    Backend().SetTextInputEnabled(enabled);
}

std::unique_ptr<InputMethodBackend> SetInputMethodBackend(std::unique_ptr<InputMethodBackend> backend) {
    auto& system = System();
    std::lock_guard lock(system.mutex);
    std::unique_ptr<InputMethodBackend> previous = std::move(system.input_method);
    system.input_method = std::move(backend);
    system.input_method_focused = false;
    system.candidates = CandidateState{};
    system.drop_next_text = false;
    return previous;
}

InputMethodBackend* ActiveInputMethod() {
    auto& system = System();
    std::lock_guard lock(system.mutex);
    return system.input_method.get();
}

size_t ReadCandidateList(void* buffer, size_t size) {
    auto& system = System();
    std::lock_guard lock(system.mutex);
    const CandidateState& list = system.candidates;
    if (!list.open) return 0;
    const size_t count = list.items.size();
    size_t needed = 6 * 4 + count * 4;
    for (const std::string& item : list.items) needed += item.size() + 1;
    if (buffer == nullptr) return needed;
    if (size < needed) return 0;
    auto* bytes = static_cast<uint8_t*>(buffer);
    auto put = [&](size_t at, uint32_t value) { std::memcpy(bytes + at, &value, 4); };
    put(0, static_cast<uint32_t>(needed));
    put(4, 1);  // the style of a plain list of readings
    put(8, static_cast<uint32_t>(count));
    put(12, static_cast<uint32_t>(list.selection));
    put(16, static_cast<uint32_t>(list.page_start));
    put(20, static_cast<uint32_t>(list.page_size));
    size_t text_at = 6 * 4 + count * 4;
    for (size_t i = 0; i < count; ++i) {
        put(24 + i * 4, static_cast<uint32_t>(text_at));
        std::memcpy(bytes + text_at, list.items[i].c_str(), list.items[i].size() + 1);
        text_at += list.items[i].size() + 1;
    }
    return needed;
}

void SetCandidatePage(int page_size, int page_start) {
    auto& system = System();
    std::lock_guard lock(system.mutex);
    system.candidates.page_start = page_start;
    if (system.input_method) system.input_method->SetCandidatePage(page_size, page_start);
}

bool TextInputEnabled() {
    auto& system = System();
    std::lock_guard lock(system.mutex);
    return system.text_input_enabled;
}

Composition CurrentComposition() {
    auto& system = System();
    std::lock_guard lock(system.mutex);
    return system.composition;
}

std::vector<std::string> TakeDroppedFiles(WParam drop) {
    auto& system = System();
    std::lock_guard lock(system.mutex);
    auto found = system.drops.find(drop);
    if (found == system.drops.end()) return {};
    std::vector<std::string> names = std::move(found->second);
    system.drops.erase(found);
    return names;
}

}  // namespace velk::platform
