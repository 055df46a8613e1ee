// Drawing a key-input handle: its text laid out as one long row that wraps
// at the draw area's right edge, the selection, the blinking cursor, and the
// input method's composition.

#include <algorithm>
#include <string>
#include <vector>

#include "lib/core/input/key_input.h"
#include "lib/core/input/key_input_internal.h"
#include "lib/core/string_format.h"
#include "platform/base/clock.h"
#include "platform/window/input_method.h"
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

// The candidate window below the composition (above it when there is no
// room below): the page of entries as "n:text", the selected one in the
// selected colours, and "selection/count" right-aligned under them.
void DrawCandidateWindow(int x, int y, int size, int font) {
    const ImeState& ime = Ime();
    const KeyInputDrawServices& draw = DrawServices();
    const auto& colours = Settings().colours;
    const int count = ime.candidates.Count();
    if (count <= 0) return;
    const int selection = std::clamp(ime.candidates.Selection(), 0, count - 1);
    const int page_start = (selection / kCandidatePageSize) * kCandidatePageSize;
    const int entries = std::min(kCandidatePageSize, count - page_start);
    std::vector<std::string> lines;
    for (int k = 0; k < entries; ++k) {
        lines.push_back(FormatString("%d:%s", k + 1, ime.candidates.Entry(page_start + k).c_str()));
    }
    const std::string position = FormatString("%d/%d", selection + 1, count);
    int widest = Width(position, 0, static_cast<int>(position.size()), font);
    for (const std::string& line : lines) widest = std::max(widest, Width(line, 0, static_cast<int>(line.size()), font));

    const int third = size / 3;
    const int half = size / 2;
    // The frame holds a margin of a third of a line around the entries and
    // the position line.
    const int height = 2 * third + (entries + 1) * size;
    Rect window{x, y + size + half, x + widest + 2 * third, y + size + half + height};
    const Rect area = draw.get_draw_area();
    if (window.bottom > area.bottom) {
        const int above_top = y - 2 * third - (entries + 1) * size - half;
        const int bottom = above_top >= area.top ? y - half : area.bottom;
        window.top = bottom - height;
        window.bottom = bottom;
    }
    if (window.right > area.right) {
        const int excess = window.right - area.right;
        window.left -= excess;
        window.right -= excess;
    }
    draw.draw_box(window.left, window.top, window.right, window.bottom, colours[kCandidateBackground], 1);
    draw.draw_box(window.left, window.top, window.right, window.bottom, colours[kCandidateFrame], 0);
    const int text_x = window.left + third;
    const int text_y = window.top + third;
    for (int k = 0; k < entries; ++k) {
        const bool selected = page_start + k == selection;
        draw.draw_string(text_x, text_y + k * size, lines[static_cast<size_t>(k)].c_str(),
                         selected ? colours[kImeSelected] : colours[kText], font,
                         selected ? colours[kSelectedCandidateEdge] : colours[kTextEdge]);
    }
    const int position_width = Width(position, 0, static_cast<int>(position.size()), font);
    draw.draw_string(text_x + widest - position_width, text_y + entries * size, position.c_str(), colours[kText], font,
                     colours[kTextEdge]);
    platform::SetCandidatePage(kCandidatePageSize, page_start);
}

void DrawComposition(const RowLayout& at, int size, int font) {
    const ImeState& ime = Ime();
    if (!ime.enabled || !ime.open || ime.composition.empty()) return;
    const KeyInputDrawServices& draw = DrawServices();
    const auto& colours = Settings().colours;
    const std::string& text = ime.composition;
    const int length = static_cast<int>(text.size());
    const int width = Width(text, 0, length, font);
    // A box over part of the composition, wrapping with the row.
    auto mark = [&](int from, int to, int top, int bottom, uint32_t colour) {
        if (to <= from) return;
        RowLayout place = at;
        place.Advance(from);
        const int mark_width = to - from;
        place.Place(mark_width, [&](int x, int y) { draw.draw_box(x, y + top, x + mark_width, y + bottom, colour, 1); });
    };
    mark(0, width, 0, size, colours[kImeBackground]);

    int cursor_bytes = 0;
    for (int i = 0; i < ime.composition_cursor && cursor_bytes < length; ++i) {
        cursor_bytes += std::max(1, CharSizeAt(text, cursor_bytes));
    }
    // The clauses as the system gives them; without clause data, one.
    std::vector<int> edges;
    for (uint32_t offset : ime.clauses) edges.push_back(std::min(static_cast<int>(offset), length));
    if (ime.clauses.size() != 2) {
        for (size_t i = 0; i + 1 < edges.size(); ++i) {
            if (edges[i] == cursor_bytes) {
                mark(Width(text, 0, edges[i], font), Width(text, 0, edges[i + 1], font), 0, size,
                     colours[kImeSelected]);
            }
        }
    }
    at.Place(width, [&](int x, int y) {
        draw.draw_string(x, y, text.c_str(), draw.get_color_value(0, 0, 0), font, colours[kImeBackground]);
    });
    if (ime.candidates.empty() && Settings().cursor_shown) {
        const int cursor_x = Width(text, 0, cursor_bytes, font);
        mark(cursor_x, cursor_x + 2, 0, size, colours[kImeCursor]);
    }
    if (edges.size() < 2) edges = {0, length};
    const int tenth = size / 10;
    for (size_t i = 0; i + 1 < edges.size(); ++i) {
        mark(Width(text, 0, edges[i], font) + 2 * tenth, Width(text, 0, edges[i + 1], font) - 2 * tenth,
             size + tenth, size + 2 * tenth, colours[kImeUnderline]);
    }
    if (!ime.candidates.empty()) DrawCandidateWindow(at.x(), at.y(), size, font);
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
