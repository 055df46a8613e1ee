// The message queue of the window stand-in: posting, peeking in the
// system's order of precedence, sending, dispatching, painting, timers, and
// the back-end's events turned into messages.

#include <algorithm>
#include <optional>

#include "platform/base/clock.h"
#include "platform/base/sync.h"
#include "platform/base/text_encoding.h"
#include "platform/window/window_system.h"
#include "platform/window/window_system_internal.h"

namespace velk::platform {

using namespace window_internal;

namespace {

bool Matches(WindowHandle filter, WindowHandle window) {
    if (filter == 0) return true;
    if (filter == kThreadMessagesOnly) return window == 0;
    return filter == window;
}

// The hit-test code of the client area, carried by set-cursor messages.
constexpr LParam kHitClient = 1;

void PostLocked(WindowSystem& system, uint32_t thread, const Message& message) {
    system.queues[thread].posted.push_back(message);
}

WindowHandle EventWindow(WindowSystem& system, WindowHandle window) {
    if (window != 0 && system.windows.count(window) != 0) return window;
    return system.windows.empty() ? 0 : system.windows.begin()->first;
}

void PostToWindowLocked(WindowSystem& system, WindowHandle window, uint32_t message, WParam wparam,
                        LParam lparam) {
    WindowRecord* record = FindWindow(window);
    if (record == nullptr) return;
    PostLocked(system, record->thread, Message{window, message, wparam, lparam});
}

LParam KeyData(const WindowEvent& event, bool up) {
    LParam data = 1;
    if (event.repeat) data |= LParam{1} << 30;
    if (up) data |= (LParam{1} << 30) | (LParam{1} << 31);
    if (event.alt) data |= LParam{1} << 29;
    if (event.control) data |= kKeyDataControl;
    if (event.shift) data |= kKeyDataShift;
    if (event.alt) data |= kKeyDataAlt;
    return data;
}

void EndComposition(WindowSystem& system, WindowHandle window) {
    if (!system.composing) return;
    system.composing = false;
    system.composition = {};
    PostToWindowLocked(system, window, msg::kImeEndComposition, 0, 0);
}

// Makes `composition` the current one, a composition starting first unless
// one runs; `parts` tells the window which of its parts are set.
void PostComposition(WindowSystem& system, WindowHandle window, Composition composition, LParam parts) {
    if (!system.composing) {
        system.composing = true;
        PostToWindowLocked(system, window, msg::kImeStartComposition, 0, 0);
    }
    system.composition = std::move(composition);
    PostToWindowLocked(system, window, msg::kImeComposition, 0, parts);
}

void PostTypedText(WindowSystem& system, WindowHandle window, const std::string& utf8) {
    EndComposition(system, window);
    for (char byte : Utf8ToShiftJis(utf8)) {
        PostToWindowLocked(system, window, msg::kChar, static_cast<uint8_t>(byte), 1);
    }
}

// The input method sees the keys first while text input is on.
bool InputMethodTakesKey(WindowSystem& system, const WindowEvent& event) {
    if (!system.input_method || !system.input_method_focused) return false;
    InputMethodKey key;
    key.virtual_key = event.key;
    key.shift = event.shift;
    key.control = event.control;
    key.alt = event.alt;
    key.release = event.kind == WindowEvent::Kind::kKeyUp;
    const bool taken = system.input_method->FilterKey(key);
    if (!key.release) system.drop_next_text = taken;
    return taken;
}

// The composition in the system's form: Shift-JIS, the cursor in
// characters and the clauses as byte offsets. Each character is converted
// alone, so the offsets fall between characters.
Composition ComposedText(const InputMethodEvent& event) {
    Composition composition;
    std::vector<uint32_t> offsets;  // of each character, then the end
    size_t at = 0;
    while (at < event.text.size()) {
        size_t next = at + 1;
        while (next < event.text.size() && (static_cast<uint8_t>(event.text[next]) & 0xC0) == 0x80) ++next;
        offsets.push_back(static_cast<uint32_t>(composition.text.size()));
        composition.text += Utf8ToShiftJis(event.text.substr(at, next - at));
        at = next;
    }
    const int characters = static_cast<int>(offsets.size());
    offsets.push_back(static_cast<uint32_t>(composition.text.size()));
    composition.cursor = std::clamp(event.cursor, 0, characters);
    for (int start : event.clause_starts) {
        if (start < 0 || start >= characters) continue;
        if (!composition.clauses.empty() && offsets[start] <= composition.clauses.back()) continue;
        composition.clauses.push_back(offsets[start]);
    }
    if (composition.clauses.empty() || composition.clauses.front() != 0) {
        composition.clauses.insert(composition.clauses.begin(), 0);
    }
    composition.clauses.push_back(offsets.back());
    // As the system does, the cursor stands at the start of the clause
    // being converted.
    const auto selected = static_cast<size_t>(event.selected_clause);
    if (event.selected_clause >= 0 && selected + 1 < composition.clauses.size()) {
        const uint32_t start = composition.clauses[selected];
        composition.cursor = static_cast<int>(std::find(offsets.begin(), offsets.end(), start) - offsets.begin());
    }
    return composition;
}

void TranslateInputMethodEvent(WindowSystem& system, WindowHandle window, const InputMethodEvent& event) {
    using Kind = InputMethodEvent::Kind;
    switch (event.kind) {
        case Kind::kComposition:
            if (event.text.empty()) {
                EndComposition(system, window);
                break;
            }
            PostComposition(system, window, ComposedText(event),
                            kCompositionString | kCompositionCursor | kCompositionClause);
            break;
        case Kind::kCommit:
            PostTypedText(system, window, event.text);
            break;
        case Kind::kCandidates: {
            const bool was_open = system.candidates.open;
            CandidateState& list = system.candidates;
            list.open = true;
            list.items.clear();
            for (const std::string& candidate : event.candidates) list.items.push_back(Utf8ToShiftJis(candidate));
            list.selection = std::clamp(event.selection, 0, std::max(0, static_cast<int>(list.items.size()) - 1));
            list.page_size = event.page_size;
            PostToWindowLocked(system, window, msg::kImeNotify,
                               was_open ? kImeNotifyChangeCandidate : kImeNotifyOpenCandidate, 1);
            break;
        }
        case Kind::kCandidatesClosed:
            if (!system.candidates.open) break;
            system.candidates = CandidateState{};
            PostToWindowLocked(system, window, msg::kImeNotify, kImeNotifyCloseCandidate, 1);
            break;
    }
}

void TranslateEvent(WindowSystem& system, const WindowEvent& event) {
    const WindowHandle window = EventWindow(system, event.window);
    WindowRecord* record = FindWindow(window);
    if (record == nullptr) return;
    using Kind = WindowEvent::Kind;
    switch (event.kind) {
        case Kind::kFocusGained:
            PostToWindowLocked(system, window, msg::kActivateApp, 1, 0);
            PostToWindowLocked(system, window, msg::kActivate,
                               kActivateActive | (record->minimized ? 0x10000u : 0u), 0);
            break;
        case Kind::kFocusLost:
            PostToWindowLocked(system, window, msg::kActivate,
                               kActivateInactive | (record->minimized ? 0x10000u : 0u), 0);
            PostToWindowLocked(system, window, msg::kActivateApp, 0, 0);
            break;
        case Kind::kMinimized:
            record->minimized = true;
            break;
        case Kind::kRestored:
            record->minimized = false;
            record->needs_paint = true;
            break;
        case Kind::kCloseRequested:
            PostToWindowLocked(system, window, msg::kClose, 0, 0);
            break;
        case Kind::kDisplayLost:
            // As if the player closed each window: the program's own close
            // handling ends its waits and then the program.
            for (const auto& [handle, other] : system.windows) {
                PostLocked(system, other.thread, Message{handle, msg::kClose, 0, 0});
            }
            break;
        case Kind::kMoved: {
            Rect client = ClientRectOf(*record);
            const int dx = event.x - client.left;
            const int dy = event.y - client.top;
            if (dx == 0 && dy == 0) break;
            record->window_rect = Rect{record->window_rect.left + dx, record->window_rect.top + dy,
                                       record->window_rect.right + dx, record->window_rect.bottom + dy};
            PostToWindowLocked(system, window, msg::kMove, 0, MakeLParam(event.x, event.y));
            break;
        }
        case Kind::kResized: {
            Rect client = ClientRectOf(*record);
            const int dw = event.x - (client.right - client.left);
            const int dh = event.y - (client.bottom - client.top);
            if (dw == 0 && dh == 0) break;
            record->window_rect.right += dw;
            record->window_rect.bottom += dh;
            record->needs_paint = true;
            PostToWindowLocked(system, window, msg::kSize, kSizeRestored, MakeLParam(event.x, event.y));
            break;
        }
        case Kind::kExposed:
            record->needs_paint = true;
            break;
        case Kind::kKeyDown:
        case Kind::kKeyUp: {
            if (InputMethodTakesKey(system, event)) break;
            const bool up = event.kind == Kind::kKeyUp;
            // The system treats F10 and keys pressed with Alt as system keys.
            const bool system_key = event.alt || event.key == vk::kF1 + 9;
            const uint32_t message = system_key ? (up ? msg::kSysKeyUp : msg::kSysKeyDown)
                                                : (up ? msg::kKeyUp : msg::kKeyDown);
            PostToWindowLocked(system, window, message, event.key, KeyData(event, up));
            break;
        }
        case Kind::kText: {
            if (system.drop_next_text) {
                system.drop_next_text = false;
                break;
            }
            PostTypedText(system, window, event.text);
            break;
        }
        case Kind::kComposition: {
            // The input method's own composition replaces SDL's.
            if (system.input_method) break;
            if (event.text.empty()) {
                EndComposition(system, window);
                break;
            }
            PostComposition(system, window, Composition{Utf8ToShiftJis(event.text), event.x, {}},
                            kCompositionString | kCompositionCursor);
            break;
        }
        case Kind::kMouseMove: {
            Rect client = ClientRectOf(*record);
            system.cursor_x = client.left + event.x;
            system.cursor_y = client.top + event.y;
            PostToWindowLocked(system, window, msg::kMouseMove, 0, MakeLParam(event.x, event.y));
            break;
        }
        case Kind::kMouseButtonDown:
        case Kind::kMouseButtonUp: {
            const bool up = event.kind == Kind::kMouseButtonUp;
            uint32_t message = 0;
            if (event.button == 1) message = up ? msg::kLeftButtonUp : msg::kLeftButtonDown;
            if (event.button == 2) message = up ? msg::kMiddleButtonUp : msg::kMiddleButtonDown;
            if (event.button == 3) message = up ? msg::kRightButtonUp : msg::kRightButtonDown;
            if (message != 0) PostToWindowLocked(system, window, message, 0, MakeLParam(event.x, event.y));
            break;
        }
        case Kind::kMouseWheel: {
            if (event.y == 0) break;
            const int delta = event.y * 120;
            const WParam wparam = static_cast<WParam>(static_cast<uint16_t>(static_cast<int16_t>(delta))) << 16;
            PostToWindowLocked(system, window, msg::kMouseWheel, wparam,
                               MakeLParam(system.cursor_x, system.cursor_y));
            break;
        }
        case Kind::kDropFile:
            system.pending_drop.push_back(Utf8ToShiftJis(event.text));
            break;
        case Kind::kDropComplete: {
            if (system.pending_drop.empty()) break;
            const uint64_t drop = system.next_drop++;
            system.drops[drop] = std::move(system.pending_drop);
            system.pending_drop.clear();
            PostToWindowLocked(system, window, msg::kDropFiles, drop, 0);
            break;
        }
        case Kind::kDisplayChanged:
            for (const auto& [handle, other] : system.windows) {
                PostLocked(system, other.thread,
                           Message{handle, msg::kDisplayChange, 32, MakeLParam(event.x, event.y)});
            }
            break;
    }
}

// The timer of the thread that is due first among those matching the filter.
TimerRecord* DueTimer(WindowSystem& system, uint32_t thread, WindowHandle filter) {
    // Most looks at the queue find no timer at all; only those that do read the clock.
    std::optional<uint32_t> now;
    for (auto& timer : system.timers) {
        if (timer.thread != thread || !Matches(filter, timer.window)) continue;
        if (!now) now = ActiveClock().Milliseconds();
        if (static_cast<int32_t>(*now - timer.due_ms) >= 0) return &timer;
    }
    return nullptr;
}

WindowProcedure ProcedureOf(WindowHandle window) {
    auto& system = System();
    std::lock_guard lock(system.mutex);
    WindowRecord* record = FindWindow(window);
    return record == nullptr ? WindowProcedure() : record->procedure;
}

}  // namespace

namespace window_internal {

void PumpBackendEvents() {
    auto& system = System();
    std::lock_guard lock(system.mutex);
    if (system.windows.empty()) return;
    std::vector<WindowEvent> events;
    Backend().PumpEvents(events);
    for (const auto& event : events) TranslateEvent(system, event);
    if (!system.input_method) return;
    std::vector<InputMethodEvent> reports;
    system.input_method->PumpEvents(reports);
    if (!system.input_method_focused) return;
    const WindowHandle window = EventWindow(system, 0);
    for (const auto& report : reports) TranslateInputMethodEvent(system, window, report);
}

}  // namespace window_internal

bool PostWindowMessage(WindowHandle window, uint32_t message, WParam wparam, LParam lparam) {
    auto& system = System();
    std::lock_guard lock(system.mutex);
    if (window == 0) {
        PostLocked(system, CurrentThreadId(), Message{0, message, wparam, lparam});
        return true;
    }
    WindowRecord* record = FindWindow(window);
    if (record == nullptr) return false;
    PostLocked(system, record->thread, Message{window, message, wparam, lparam});
    return true;
}

void PostQuit(int exit_code) {
    auto& system = System();
    std::lock_guard lock(system.mutex);
    ThreadQueue& queue = system.queues[CurrentThreadId()];
    queue.quit_posted = true;
    queue.quit_code = exit_code;
}

MessageResult SendWindowMessage(WindowHandle window, uint32_t message, WParam wparam, LParam lparam) {
    WindowProcedure procedure = ProcedureOf(window);
    if (!procedure) return 0;
    return procedure(window, message, wparam, lparam);
}

bool PeekWindowMessage(Message* out, WindowHandle filter, bool remove) {
    auto& system = System();
    const uint32_t thread = CurrentThreadId();
    std::lock_guard lock(system.mutex);
    if (thread == system.event_thread) PumpBackendEvents();

    ThreadQueue& queue = system.queues[thread];
    for (auto it = queue.posted.begin(); it != queue.posted.end(); ++it) {
        if (!Matches(filter, it->window)) continue;
        *out = *it;
        if (remove) queue.posted.erase(it);
        return true;
    }
    if (queue.quit_posted && (filter == 0 || filter == kThreadMessagesOnly)) {
        *out = Message{0, msg::kQuit, static_cast<WParam>(queue.quit_code), 0};
        if (remove) queue.quit_posted = false;
        return true;
    }
    for (auto& [handle, record] : system.windows) {
        if (record.thread != thread || !record.needs_paint || !Matches(filter, handle)) continue;
        if ((record.style & kStyleVisible) == 0 || record.minimized) continue;
        *out = Message{handle, msg::kPaint, 0, 0};
        return true;
    }
    if (TimerRecord* timer = DueTimer(system, thread, filter)) {
        *out = Message{timer->window, msg::kTimer, timer->id, 0};
        if (remove) timer->due_ms = ActiveClock().Milliseconds() + timer->elapse_ms;
        return true;
    }
    return false;
}

bool WindowClosePending() {
    auto& system = System();
    const uint32_t thread = CurrentThreadId();
    std::lock_guard lock(system.mutex);
    auto queue = system.queues.find(thread);
    if (queue != system.queues.end()) {
        if (queue->second.quit_posted) return true;
        for (const Message& message : queue->second.posted) {
            if (message.message == msg::kClose) return true;
        }
    }
    return thread == system.event_thread && !system.windows.empty() && Backend().ClosePending();
}

bool TranslateWindowMessage(const Message& message) {
    if (message.message != msg::kKeyDown) return false;
    const bool control = (message.lparam & kKeyDataControl) != 0;
    const auto key = static_cast<uint32_t>(message.wparam);
    int character = -1;
    if (key == vk::kReturn) {
        character = control ? 10 : 13;
    } else if (key == vk::kBack) {
        character = control ? 0x7F : 8;
    } else if (key == vk::kTab && !control) {
        character = 9;
    } else if (key == vk::kEscape) {
        character = 27;
    } else if (control && key >= vk::kLetterA && key <= vk::kLetterA + 25) {
        character = static_cast<int>(key - vk::kLetterA + 1);
    } else if (control && key == vk::kOem4) {
        character = 27;
    } else if (control && key == vk::kOem5) {
        character = 28;
    } else if (control && key == vk::kOem6) {
        character = 29;
    }
    if (character < 0) return false;
    return PostWindowMessage(message.window, msg::kChar, static_cast<WParam>(character), 1);
}

MessageResult DispatchWindowMessage(const Message& message) {
    if (message.message == msg::kTimer) {
        TimerCallback callback;
        {
            auto& system = System();
            std::lock_guard lock(system.mutex);
            for (const auto& timer : system.timers) {
                if (timer.window == message.window && timer.id == message.wparam) callback = timer.callback;
            }
        }
        if (callback) {
            callback(message.window, static_cast<uint32_t>(message.wparam));
            return 0;
        }
    }
    return SendWindowMessage(message.window, message.message, message.wparam, message.lparam);
}

MessageResult DefaultWindowProcedure(WindowHandle window, uint32_t message, WParam wparam, LParam lparam) {
    switch (message) {
        case msg::kClose:
            DestroyAppWindow(window);
            return 0;
        case msg::kSetCursor:
            if (LowWord(static_cast<uint64_t>(lparam)) == kHitClient) RestoreClassCursor();
            return 0;
        case msg::kSysCommand:
            if ((wparam & 0xFFF0u) == kSysCommandClose) SendWindowMessage(window, msg::kClose, 0, 0);
            return 0;
        case msg::kPaint:
            BeginWindowPaint(window);
            EndWindowPaint(window);
            return 0;
        default:
            return 0;
    }
}

void PostDisplayChange(int bits, int width, int height) {
    auto& system = System();
    std::lock_guard lock(system.mutex);
    for (const auto& [handle, record] : system.windows) {
        PostLocked(system, record.thread,
                   Message{handle, msg::kDisplayChange, static_cast<WParam>(bits), MakeLParam(width, height)});
    }
}

void InvalidateWindow(WindowHandle window) {
    auto& system = System();
    std::lock_guard lock(system.mutex);
    if (WindowRecord* record = FindWindow(window)) record->needs_paint = true;
}

Rect BeginWindowPaint(WindowHandle window) {
    auto& system = System();
    std::lock_guard lock(system.mutex);
    WindowRecord* record = FindWindow(window);
    if (record == nullptr) return Rect{};
    record->needs_paint = false;
    Rect client = ClientRectOf(*record);
    return Rect{0, 0, client.right - client.left, client.bottom - client.top};
}

void EndWindowPaint(WindowHandle window) {}

bool SetWindowTimer(WindowHandle window, uint32_t timer_id, uint32_t elapse_ms, TimerCallback callback) {
    auto& system = System();
    std::lock_guard lock(system.mutex);
    WindowRecord* record = FindWindow(window);
    if (record == nullptr) return false;
    if (elapse_ms == 0) elapse_ms = 1;
    const uint32_t due = ActiveClock().Milliseconds() + elapse_ms;
    for (auto& timer : system.timers) {
        if (timer.window == window && timer.id == timer_id) {
            timer.elapse_ms = elapse_ms;
            timer.due_ms = due;
            timer.callback = std::move(callback);
            return true;
        }
    }
    system.timers.push_back(TimerRecord{window, timer_id, elapse_ms, due, record->thread, std::move(callback)});
    return true;
}

bool KillWindowTimer(WindowHandle window, uint32_t timer_id) {
    auto& system = System();
    std::lock_guard lock(system.mutex);
    return std::erase_if(system.timers, [&](const TimerRecord& timer) {
               return timer.window == window && timer.id == timer_id;
           }) != 0;
}

void SetCompositionString(WindowHandle window, const std::string& text) {
    auto& system = System();
    std::lock_guard lock(system.mutex);
    if (text.empty() || !system.text_input_enabled) return;
    int characters = 0;
    for (size_t at = 0; at < text.size(); at += IsShiftJisLeadByte(static_cast<uint8_t>(text[at])) ? 2 : 1) {
        ++characters;
    }
    PostComposition(system, window, Composition{text, characters, {}}, kCompositionString | kCompositionCursor);
}

}  // namespace velk::platform
