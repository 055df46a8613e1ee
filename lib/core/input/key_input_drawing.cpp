// Drawing a key-input handle: its text laid out as one long row that wraps
// at the draw area's right edge, the selection, the blinking cursor, and the
// input method's composition.

#include <algorithm>

#include "lib/core/input/key_input.h"
#include "lib/core/input/key_input_internal.h"
#include "platform/base/clock.h"
#include "platform/window/window_system.h"

namespace velk {

using namespace key_input_internal;

namespace key_input_internal {

namespace {
KeyInputDrawServices& DrawSlot() {
    static KeyInputDrawServices services;
    return services;
}
}  // namespace

const KeyInputDrawServices& DrawServices() { return DrawSlot(); }

}  // namespace key_input_internal

void SetKeyInputDrawServices(KeyInputDrawServices services) { DrawSlot() = std::move(services); }

namespace {

// Places things on the wrapping row: an item that crosses the right edge is
// drawn there (cut by the area) and once more one line lower, shifted left
// by the area's width.
class RowLayout {
public:
    RowLayout(const Rect& area, int x, int y, int pitch) : area_(area), x_(x), y_(y), pitch_(pitch) {}

    int x() const { return x_; }
    int y() const { return y_; }
    bool Visible() const { return y_ < area_.bottom; }

    // Calls draw(x, y) for each place the item of this width shows at.
    template <typename Draw>
    void Place(int width, Draw&& draw) const {
        draw(x_, y_);
        if (x_ + width > area_.right) draw(x_ - (area_.right - area_.left), y_ + pitch_);
    }

    void Advance(int width) {
        x_ += width;
        while (x_ > area_.right) {
            x_ -= area_.right - area_.left;
            y_ += pitch_;
        }
    }

private:
    Rect area_;
    int x_;
    int y_;
    int pitch_;
};

int Width(const std::string& text, int from, int to, int font) {
    if (to <= from) return 0;
    return DrawServices().get_string_width(text.data() + from, to - from, font);
}

void UpdateBlink() {
    KeyInputSettings& settings = Settings();
    if (!settings.blink) {
        settings.cursor_shown = true;
        return;
    }
    const int32_t now = platform::Milliseconds31();
    if (platform::ElapsedMilliseconds31(settings.blink_start, now) > settings.blink_interval) {
        settings.cursor_shown = !settings.cursor_shown;
        settings.blink_start = now;
    }
}

// Keeps the cursor in view when the text is wider than the room.
void Scroll(KeyInputData& data, int room, int font) {
    const int length = static_cast<int>(data.text.size());
    if (Width(data.text, 0, length, font) + 4 < room) {
        data.first_visible = 0;
        return;
    }
    if (data.first_visible > data.cursor) {
        data.first_visible = data.cursor;
    } else if (Width(data.text, data.first_visible, data.cursor, font) > room) {
        int start = data.cursor;
        while (start > 0) {
            const int previous = PreviousCharStart(data.text, start);
            if (Width(data.text, previous, data.cursor, font) > room) break;
            start = previous;
        }
        data.first_visible = start;
    }
}

void DrawComposition(const RowLayout& at, int size, int font) {
    const ImeState& ime = Ime();
    if (!ime.enabled || !ime.open || ime.composition.empty()) return;
    const KeyInputDrawServices& draw = DrawServices();
    const auto& colours = Settings().colours;
    const std::string& text = ime.composition;
    const int width = Width(text, 0, static_cast<int>(text.size()), font);
    RowLayout layout = at;
    layout.Place(width, [&](int x, int y) { draw.draw_box(x, y, x + width, y + size, colours[kImeBackground], 1); });
    layout.Place(width, [&](int x, int y) {
        draw.draw_string(x, y, text.c_str(), draw.get_color_value(0, 0, 0), font, colours[kImeBackground]);
    });
    if (Settings().cursor_shown) {
        int cursor_bytes = 0;
        for (int i = 0; i < ime.composition_cursor && cursor_bytes < static_cast<int>(text.size()); ++i) {
            cursor_bytes += std::max(1, CharSizeAt(text, cursor_bytes));
        }
        RowLayout cursor = at;
        cursor.Advance(Width(text, 0, cursor_bytes, font));
        cursor.Place(2, [&](int x, int y) { draw.draw_box(x, y, x + 2, y + size, colours[kImeCursor], 1); });
    }
    // The whole composition is one clause: one underline, inset at both ends.
    const int tenth = size / 10;
    RowLayout underline = at;
    underline.Advance(2 * tenth);
    const int line_width = std::max(0, width - 4 * tenth);
    underline.Place(line_width, [&](int x, int y) {
        draw.draw_box(x, y + size + tenth, x + line_width, y + size + 2 * tenth, colours[kImeUnderline], 1);
    });
}

}  // namespace

int DrawKeyInputStringBody(int x, int y, int handle) {
    KeyInputData* data = Find(handle);
    if (data == nullptr || data->finished) return -1;
    const KeyInputDrawServices& draw = DrawServices();
    const KeyInputSettings& settings = Settings();
    const int saved_3d = draw.get_use_3d();
    draw.set_use_3d(0);

    const int font = settings.font == -1 ? draw.get_default_font_handle() : settings.font;
    const int size = draw.get_font_size(font);
    const int pitch = size + (size / 10) * 3;
    UpdateBlink();

    const Rect area = draw.get_draw_area();
    // An empty draw area has no room for anything.
    if (area.right <= area.left || area.bottom <= area.top || pitch <= 0) {
        draw.set_use_3d(saved_3d);
        return 0;
    }
    x = std::max(x, area.left);
    y = std::max(y, area.top);
    while (x > area.right) {
        x -= area.right - area.left;
        y += pitch;
    }
    const int lines = (area.bottom - y) / pitch;
    const int room = lines <= 0 ? area.right - x : (area.right - area.left) * (lines - 1) + (area.right - x);
    Scroll(*data, room, font);

    const auto& colours = settings.colours;
    const bool active = settings.active == handle;
    const bool has_selection = data->selection_start >= 0 && data->selection_end >= 0;
    const int selection_start = std::min(data->selection_start, data->selection_end);
    const int selection_end = std::max(data->selection_start, data->selection_end);

    RowLayout layout(area, x, y, pitch);
    RowLayout cursor_at = layout;
    const int length = static_cast<int>(data->text.size());
    for (int position = data->first_visible; position <= length && layout.Visible();) {
        if (position == data->cursor) cursor_at = layout;
        if (position == length) break;
        const int char_size = std::max(1, CharSizeAt(data->text, position));
        const std::string character = data->text.substr(static_cast<size_t>(position), static_cast<size_t>(char_size));
        const int width = Width(data->text, position, position + char_size, font);
        const bool selected = has_selection && position >= selection_start && position < selection_end;
        layout.Place(width, [&](int at_x, int at_y) {
            if (selected) {
                draw.draw_box(at_x, at_y, at_x + width, at_y + size, colours[kSelectionBackground], 1);
                draw.draw_string(at_x, at_y, character.c_str(), colours[kSelectedText], font,
                                 colours[kSelectedTextEdge]);
            } else {
                draw.draw_string(at_x, at_y, character.c_str(), colours[kText], font, colours[kTextEdge]);
            }
        });
        layout.Advance(width);
        position += char_size;
    }
    if (data->cursor > length) cursor_at = layout;

    if (settings.cursor_shown && active) {
        cursor_at.Place(2, [&](int at_x, int at_y) {
            draw.draw_box(at_x, at_y, at_x + 2, at_y + size, colours[kCursor], 1);
        });
    }
    if (active) DrawComposition(cursor_at, size, font);
    draw.set_use_3d(saved_3d);
    return 0;
}

}  // namespace velk
