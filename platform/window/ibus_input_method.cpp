// The input method on the session's IBus daemon: one input context with the
// pre-edit and lookup-table capabilities, so that the daemon hands the
// composition with its attributes and the candidate list to us instead of
// drawing them itself. Its signals arrive through GLib's default main
// context, which is run without blocking whenever the window's events are
// pumped or a key was passed on.

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <set>
#include <string>

#include <ibus.h>

#include "platform/window/input_method.h"
#include "platform/window/window_messages.h"

namespace velk::platform {

namespace {

// The X key symbol IBus engines expect for a virtual key; 0 for keys an
// input method has no use for.
uint32_t KeySymbolOf(const InputMethodKey& key) {
    const uint32_t vk_code = key.virtual_key;
    if (vk_code >= vk::kLetterA && vk_code <= vk::kLetterA + 25) {
        return (key.shift ? 'A' : 'a') + (vk_code - vk::kLetterA);
    }
    if (vk_code >= vk::kDigit0 && vk_code <= vk::kDigit0 + 9 && !key.shift) return '0' + (vk_code - vk::kDigit0);
    switch (vk_code) {
        case vk::kSpace: return IBUS_KEY_space;
        case vk::kReturn: return IBUS_KEY_Return;
        case vk::kBack: return IBUS_KEY_BackSpace;
        case vk::kEscape: return IBUS_KEY_Escape;
        case vk::kTab: return IBUS_KEY_Tab;
        case vk::kDelete: return IBUS_KEY_Delete;
        case vk::kLeft: return IBUS_KEY_Left;
        case vk::kRight: return IBUS_KEY_Right;
        case vk::kUp: return IBUS_KEY_Up;
        case vk::kDown: return IBUS_KEY_Down;
        case vk::kHome: return IBUS_KEY_Home;
        case vk::kEnd: return IBUS_KEY_End;
        case vk::kPrior: return IBUS_KEY_Page_Up;
        case vk::kNext: return IBUS_KEY_Page_Down;
        case vk::kConvert: return IBUS_KEY_Henkan;
        case vk::kNonConvert: return IBUS_KEY_Muhenkan;
        case vk::kKanji: return IBUS_KEY_Zenkaku_Hankaku;
        case vk::kKana: return IBUS_KEY_Hiragana_Katakana;
        case vk::kOemMinus: return key.shift ? IBUS_KEY_equal : IBUS_KEY_minus;
        case vk::kOemComma: return key.shift ? IBUS_KEY_less : IBUS_KEY_comma;
        case vk::kOemPeriod: return key.shift ? IBUS_KEY_greater : IBUS_KEY_period;
        case vk::kOem2: return key.shift ? IBUS_KEY_question : IBUS_KEY_slash;
        default: break;
    }
    if (vk_code >= vk::kF1 && vk_code <= vk::kF1 + 11) return IBUS_KEY_F1 + (vk_code - vk::kF1);
    return 0;
}

std::string TextOf(IBusText* text) {
    const gchar* utf8 = text != nullptr ? ibus_text_get_text(text) : nullptr;
    return utf8 != nullptr ? std::string(utf8) : std::string();
}

// Clauses from the pre-edit's attributes: every attribute's edges divide
// the text, and the one drawn in other colours (foreground or background)
// is the clause being converted.
InputMethodEvent CompositionOf(IBusText* text, int cursor) {
    InputMethodEvent event;
    event.kind = InputMethodEvent::Kind::kComposition;
    event.text = TextOf(text);
    event.cursor = cursor;
    const int length = static_cast<int>(ibus_text_get_length(text));
    std::set<int> edges{0};
    int selected_start = -1;
    IBusAttrList* attributes = text->attrs;
    for (guint i = 0; attributes != nullptr; ++i) {
        IBusAttribute* attribute = ibus_attr_list_get(attributes, i);
        if (attribute == nullptr) break;
        const int start = static_cast<int>(ibus_attribute_get_start_index(attribute));
        const int end = static_cast<int>(ibus_attribute_get_end_index(attribute));
        if (start >= 0 && start < length) edges.insert(start);
        if (end > 0 && end < length) edges.insert(end);
        const guint type = ibus_attribute_get_attr_type(attribute);
        if ((type == IBUS_ATTR_TYPE_BACKGROUND || type == IBUS_ATTR_TYPE_FOREGROUND) && start < end) {
            selected_start = start;
        }
    }
    event.clause_starts.assign(edges.begin(), edges.end());
    if (selected_start >= 0) {
        const auto found = std::find(event.clause_starts.begin(), event.clause_starts.end(), selected_start);
        if (found != event.clause_starts.end())
            event.selected_clause = static_cast<int>(found - event.clause_starts.begin());
    }
    return event;
}

class IbusInputMethod final : public InputMethodBackend {
public:
    IbusInputMethod(IBusBus* bus, IBusInputContext* context, std::string engine)
        : bus_(bus), context_(context), engine_(std::move(engine)) {
        g_signal_connect(context_, "commit-text", G_CALLBACK(OnCommit), this);
        g_signal_connect(context_, "update-preedit-text", G_CALLBACK(OnUpdatePreedit), this);
        g_signal_connect(context_, "hide-preedit-text", G_CALLBACK(OnHidePreedit), this);
        g_signal_connect(context_, "update-lookup-table", G_CALLBACK(OnUpdateLookupTable), this);
        g_signal_connect(context_, "hide-lookup-table", G_CALLBACK(OnHideLookupTable), this);
    }

    ~IbusInputMethod() override {
        g_signal_handlers_disconnect_by_data(context_, this);
        ibus_proxy_destroy(IBUS_PROXY(context_));
        g_object_unref(context_);
        g_object_unref(bus_);
    }

    void SetFocus(bool focused) override {
        if (focused) {
            ibus_input_context_focus_in(context_);
        } else {
            ibus_input_context_focus_out(context_);
        }
        Iterate();
    }

    bool FilterKey(const InputMethodKey& key) override {
        const uint32_t symbol = KeySymbolOf(key);
        if (symbol == 0) return false;
        EnsureEngine();
        guint state = 0;
        if (key.shift) state |= IBUS_SHIFT_MASK;
        if (key.control) state |= IBUS_CONTROL_MASK;
        if (key.alt) state |= IBUS_MOD1_MASK;
        if (key.release) state |= IBUS_RELEASE_MASK;
        const bool taken = ibus_input_context_process_key_event(context_, symbol, 0, state) != FALSE;
        Iterate();
        return taken;
    }

    void PumpEvents(std::vector<InputMethodEvent>& out) override {
        // The window's events are pumped several times in a row on every pass
        // of message processing; running the main context costs a poll of the
        // daemon's connection each time, so it runs at most once a
        // millisecond here. Keys passed on run it at once, and what it has
        // already delivered is handed over on every call.
        const auto now = std::chrono::steady_clock::now();
        if (now - last_iteration_ >= kIterationInterval) {
            last_iteration_ = now;
            Iterate();
        }
        for (auto& event : pending_)
            out.push_back(std::move(event));
        pending_.clear();
    }

    void Reset() override {
        ibus_input_context_reset(context_);
        Iterate();
    }

    // IBus pages its lookup table itself; the whole table is handed over.
    void SetCandidatePage(int, int) override {}

private:
    // An engine asked for while the daemon was still starting it is not
    // taken: it is asked for again until the context has it. Each request
    // makes the daemon give up the engine it is still starting for the
    // context, so on a loaded machine, where an engine takes seconds to
    // start, asking on every key would never let one finish: the wait
    // between requests doubles.
    void EnsureEngine() {
        if (engine_.empty() || engine_ready_) return;
        IBusEngineDesc* current = ibus_input_context_get_engine(context_);
        if (current != nullptr && engine_ == ibus_engine_desc_get_name(current)) {
            engine_ready_ = true;
            return;
        }
        const auto now = std::chrono::steady_clock::now();
        if (now < next_engine_request_) return;
        ibus_input_context_set_engine(context_, engine_.c_str());
        next_engine_request_ = now + engine_request_wait_;
        engine_request_wait_ = std::min(engine_request_wait_ * 2, kLongestEngineRequestWait);
    }

    static constexpr auto kIterationInterval = std::chrono::microseconds(900);
    static constexpr auto kFirstEngineRequestWait = std::chrono::milliseconds(100);
    static constexpr auto kLongestEngineRequestWait = std::chrono::milliseconds(30000);

    static void Iterate() {
        while (g_main_context_iteration(nullptr, FALSE)) {
        }
    }

    static void OnCommit(IBusInputContext*, IBusText* text, gpointer self) {
        InputMethodEvent event;
        event.kind = InputMethodEvent::Kind::kCommit;
        event.text = TextOf(text);
        static_cast<IbusInputMethod*>(self)->pending_.push_back(std::move(event));
    }

    static void OnUpdatePreedit(IBusInputContext*, IBusText* text, guint cursor, gboolean visible, gpointer self) {
        auto* method = static_cast<IbusInputMethod*>(self);
        if (visible == FALSE || text == nullptr) {
            OnHidePreedit(nullptr, self);
            return;
        }
        method->pending_.push_back(CompositionOf(text, static_cast<int>(cursor)));
    }

    static void OnHidePreedit(IBusInputContext*, gpointer self) {
        InputMethodEvent event;
        event.kind = InputMethodEvent::Kind::kComposition;
        static_cast<IbusInputMethod*>(self)->pending_.push_back(std::move(event));
    }

    static void OnUpdateLookupTable(IBusInputContext*, IBusLookupTable* table, gboolean visible, gpointer self) {
        auto* method = static_cast<IbusInputMethod*>(self);
        const guint count = table != nullptr ? ibus_lookup_table_get_number_of_candidates(table) : 0;
        if (visible == FALSE || count == 0) {
            OnHideLookupTable(nullptr, self);
            return;
        }
        InputMethodEvent event;
        event.kind = InputMethodEvent::Kind::kCandidates;
        for (guint i = 0; i < count; ++i)
            event.candidates.push_back(TextOf(ibus_lookup_table_get_candidate(table, i)));
        event.selection = static_cast<int>(ibus_lookup_table_get_cursor_pos(table));
        event.page_size = static_cast<int>(ibus_lookup_table_get_page_size(table));
        method->pending_.push_back(std::move(event));
    }

    static void OnHideLookupTable(IBusInputContext*, gpointer self) {
        InputMethodEvent event;
        event.kind = InputMethodEvent::Kind::kCandidatesClosed;
        static_cast<IbusInputMethod*>(self)->pending_.push_back(std::move(event));
    }

    IBusBus* bus_;
    IBusInputContext* context_;
    std::string engine_;
    bool engine_ready_ = false;
    std::chrono::steady_clock::time_point next_engine_request_{};
    std::chrono::milliseconds engine_request_wait_ = kFirstEngineRequestWait;
    std::vector<InputMethodEvent> pending_;
    std::chrono::steady_clock::time_point last_iteration_{};
};

}  // namespace

std::unique_ptr<InputMethodBackend> CreateIbusInputMethod(const std::string& engine) {
    ibus_init();
    const gchar* address = ibus_get_address();
    if (address == nullptr) return nullptr;
    // SDL talks to the daemon on its own unless it finds no address file;
    // it takes this variable for the file's name, while IBus takes it for
    // the address, so our context alone sees the keys.
    setenv("IBUS_ADDRESS", address, 1);
    IBusBus* bus = ibus_bus_new();
    if (bus == nullptr) return nullptr;
    if (ibus_bus_is_connected(bus) == FALSE) {
        g_object_unref(bus);
        return nullptr;
    }
    IBusInputContext* context = ibus_bus_create_input_context(bus, "velk-player");
    if (context == nullptr) {
        g_object_unref(bus);
        return nullptr;
    }
    ibus_input_context_set_capabilities(context, IBUS_CAP_PREEDIT_TEXT | IBUS_CAP_LOOKUP_TABLE | IBUS_CAP_FOCUS);
    return std::make_unique<IbusInputMethod>(bus, context, engine);
}

}  // namespace velk::platform
