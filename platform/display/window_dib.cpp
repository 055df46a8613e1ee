#include "platform/display/window_dib.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <map>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "platform/display/display_output.h"
#include "platform/window/window_system.h"

namespace velk::platform {

namespace {

// A window's picture: rows of its own, or, after a whole-window draw that
// the output keeps as it was handed over, the output's rows (ShownRows):
// then the frame was copied once, into what goes to the screen.
struct WindowPicture {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint32_t> pixels;  // in use unless held by the output
    bool held_by_output = false;
};

std::map<WindowHandle, WindowPicture>& Pictures() {
    static std::map<WindowHandle, WindowPicture> pictures;
    return pictures;
}

// The window's picture, resized (cleared to black) when the client area changed.
WindowPicture* PictureOf(WindowHandle window) {
    const Rect client = GetClientArea(window);
    const int32_t width = client.right - client.left;
    const int32_t height = client.bottom - client.top;
    if (width <= 0 || height <= 0) return nullptr;
    WindowPicture& picture = Pictures()[window];
    if (picture.width != width || picture.height != height) {
        picture.width = width;
        picture.height = height;
        picture.held_by_output = false;
        picture.pixels.assign(static_cast<size_t>(width) * height, 0);
    }
    return &picture;
}

// The output's rows of a picture it holds, or null if it has lost them
// (which only a break of the output's promise can bring about).
const uint8_t* RowsHeldByOutput(WindowHandle window, const WindowPicture& picture, int32_t* pitch) {
    ShownRowsLayout layout;
    const uint8_t* rows = ActiveDisplayOutput().ShownRows(window, &layout);
    if (rows == nullptr || layout.width != picture.width || layout.height != picture.height) return nullptr;
    *pitch = layout.pitch;
    return rows;
}

bool ValidDib(const DibImage& image) {
    return image.pixels != nullptr && image.width > 0 && image.height > 0 &&
           (image.bit_count == 16 || image.bit_count == 32) && image.pitch >= image.width * (image.bit_count / 8);
}

bool InsideDib(const Rect& r, const DibImage& image) {
    return r.left >= 0 && r.top >= 0 && r.right <= image.width && r.bottom <= image.height && r.right > r.left &&
           r.bottom > r.top;
}

uint32_t Narrow(uint32_t channel8, uint32_t mask) {
    if (mask == 0) return 0;
    const int shift = std::countr_zero(mask);
    const int width = std::popcount(mask);
    const uint32_t value = width >= 8 ? channel8 << (width - 8) : channel8 >> (8 - width);
    return (value << shift) & mask;
}

// A bitmap pixel as 0x00RRGGBB, each channel widened by WidenChannelTo8,
// whose place and width are found once per draw: narrow channels widen
// through a table that WidenChannelTo8 itself fills.
class DibPixelReader {
public:
    explicit DibPixelReader(const DibImage& image)
        : bytes_(image.bit_count / 8), red_(image.red_mask), green_(image.green_mask), blue_(image.blue_mask) {}

    uint32_t Read(const uint8_t* row, int x) const {
        uint32_t value = 0;
        std::memcpy(&value, row + x * bytes_, static_cast<size_t>(bytes_));
        return (red_.Widen(value) << 16) | (green_.Widen(value) << 8) | blue_.Widen(value);
    }

private:
    struct Channel {
        uint32_t mask = 0;
        int shift = 0;
        int width = 0;
        uint8_t table[128] = {};
        explicit Channel(uint32_t m) : mask(m) {
            if (mask == 0) return;
            shift = std::countr_zero(mask);
            width = std::popcount(mask);
            if (width < 8) {
                for (uint32_t c = 0; c < (1u << width); ++c) {
                    table[c] = static_cast<uint8_t>(WidenChannelTo8(c << shift, mask));
                }
            }
        }
        uint32_t Widen(uint32_t value) const {
            if (mask == 0) return 0;
            const uint32_t channel = (value & mask) >> shift;
            return width >= 8 ? channel >> (width - 8) : table[channel];
        }
    };

    int bytes_;
    Channel red_, green_, blue_;
};

uint32_t ReadRgb(const uint8_t* pixel) {
    uint32_t value;
    std::memcpy(&value, pixel, 4);
    return value & 0xFFFFFF;
}

void CopyRgbRun(const uint8_t* from, uint32_t* to, size_t count) {
    for (size_t i = 0; i < count; ++i)
        to[i] = ReadRgb(from + i * 4);
}

// The same with stores that bypass the cache, for a picture that nothing
// reads until the window is read back or drawn in part.
void StreamRgbRun(const uint8_t* from, uint32_t* to, size_t count) {
    size_t i = 0;
#if defined(__SSE2__)
    const __m128i rgb = _mm_set1_epi32(0xFFFFFF);
    for (; i < count && (reinterpret_cast<uintptr_t>(to + i) & 15) != 0; ++i)
        to[i] = ReadRgb(from + i * 4);
    for (; i + 4 <= count; i += 4) {
        const __m128i pixels = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + i * 4));
        _mm_stream_si128(reinterpret_cast<__m128i*>(to + i), _mm_and_si128(pixels, rgb));
    }
#endif
    for (; i < count; ++i)
        to[i] = ReadRgb(from + i * 4);
}

// A picture the output holds copied into the picture's own rows: before it
// is drawn over in part and shown at once (cached stores), or before the
// output lets its rows go, when nothing may read them for long (streamed).
void TakeInFromOutput(WindowHandle window, WindowPicture* picture, bool streamed) {
    if (!picture->held_by_output) return;
    picture->held_by_output = false;
    picture->pixels.assign(static_cast<size_t>(picture->width) * picture->height, 0);
    int32_t pitch = 0;
    const uint8_t* rows = RowsHeldByOutput(window, *picture, &pitch);
    if (rows == nullptr) return;
    for (int32_t y = 0; y < picture->height; ++y) {
        const uint8_t* from = rows + static_cast<ptrdiff_t>(y) * pitch;
        uint32_t* to = picture->pixels.data() + static_cast<size_t>(y) * picture->width;
        if (streamed) {
            StreamRgbRun(from, to, static_cast<size_t>(picture->width));
        } else {
            CopyRgbRun(from, to, static_cast<size_t>(picture->width));
        }
    }
#if defined(__SSE2__)
    if (streamed) _mm_sfence();
#endif
}

void WriteDibPixel(const DibImage& image, int x, int y, uint32_t rgb) {
    const uint32_t value = Narrow((rgb >> 16) & 0xFF, image.red_mask) | Narrow((rgb >> 8) & 0xFF, image.green_mask) |
                           Narrow(rgb & 0xFF, image.blue_mask);
    uint8_t* row = image.pixels + static_cast<ptrdiff_t>(y) * image.pitch;
    std::memcpy(row + x * (image.bit_count / 8), &value, image.bit_count / 8);
}

void Show(WindowHandle window, const WindowPicture& picture) {
    ActiveDisplayOutput().Present(window, XrgbPresentImage(picture.pixels.data(), picture.width, picture.height));
}

}  // namespace

bool DrawDibToWindow(WindowHandle window, const Rect& dest, const DibImage& image, const Rect& source) {
    if (!ValidDib(image) || !InsideDib(source, image)) return false;
    if (dest.right <= dest.left || dest.bottom <= dest.top) return false;
    WindowPicture* picture = PictureOf(window);
    if (picture == nullptr) return false;
    const int64_t dest_width = dest.right - dest.left;
    const int64_t dest_height = dest.bottom - dest.top;
    const int64_t source_width = source.right - source.left;
    const int64_t source_height = source.bottom - source.top;
    // A bitmap already in the picture's layout is copied as it is, but for
    // the unused top byte; unscaled, a row is one run of pixels.
    const bool same_layout =
        image.bit_count == 32 && image.red_mask == 0xFF0000 && image.green_mask == 0xFF00 && image.blue_mask == 0xFF;
    const bool unscaled = dest_width == source_width;
    if (same_layout && unscaled && dest_height == source_height && dest.left == 0 && dest.top == 0 &&
        dest_width == picture->width && dest_height == picture->height) {
        // The whole picture anew, as it is: the frame is shown from the
        // bitmap's rows, which the drawing just left in the cache. The output
        // ignores the top byte the picture clears. Where the output keeps
        // the frame's rows as they were handed over, those are the picture;
        // else the picture keeps its copy without pushing them out.
        const uint8_t* first = image.pixels + static_cast<ptrdiff_t>(source.top) * image.pitch + source.left * 4;
        PresentImage frame =
            XrgbPresentImage(reinterpret_cast<const uint32_t*>(first), picture->width, picture->height);
        frame.pixels = first;
        frame.pitch = image.pitch;
        ActiveDisplayOutput().Present(window, frame);
        int32_t pitch = 0;
        if (RowsHeldByOutput(window, *picture, &pitch) != nullptr) {
            picture->held_by_output = true;
            std::vector<uint32_t>().swap(picture->pixels);
            return true;
        }
        picture->held_by_output = false;
        picture->pixels.resize(static_cast<size_t>(picture->width) * picture->height);
        for (int32_t y = 0; y < picture->height; ++y)
            StreamRgbRun(first + static_cast<ptrdiff_t>(y) * image.pitch,
                         picture->pixels.data() + static_cast<size_t>(y) * picture->width,
                         static_cast<size_t>(picture->width));
#if defined(__SSE2__)
        _mm_sfence();
#endif
        return true;
    }
    // Drawn over in part: the rest of the picture stays as it was.
    TakeInFromOutput(window, picture, false);
    // Each window pixel shows the bitmap pixel under its centre; the columns
    // are the same for every row.
    const int32_t x_begin = std::max(dest.left, 0), x_end = std::min(dest.right, picture->width);
    if (x_begin >= x_end) {
        Show(window, *picture);
        return true;
    }
    thread_local std::vector<int> columns;
    columns.resize(static_cast<size_t>(x_end - x_begin));
    for (int32_t x = x_begin; x < x_end; ++x) {
        columns[static_cast<size_t>(x - x_begin)] =
            static_cast<int>(source.left + ((x - dest.left) * 2 + 1) * source_width / (dest_width * 2));
    }
    const DibPixelReader reader(image);
    for (int32_t y = std::max(dest.top, 0); y < std::min(dest.bottom, picture->height); ++y) {
        const int sy = static_cast<int>(source.top + ((y - dest.top) * 2 + 1) * source_height / (dest_height * 2));
        const uint8_t* row = image.pixels + static_cast<ptrdiff_t>(sy) * image.pitch;
        uint32_t* target = picture->pixels.data() + static_cast<size_t>(y) * picture->width + x_begin;
        if (same_layout && unscaled) {
            CopyRgbRun(row + static_cast<ptrdiff_t>(columns[0]) * 4, target, columns.size());
        } else if (same_layout) {
            for (size_t i = 0; i < columns.size(); ++i)
                target[i] = ReadRgb(row + static_cast<ptrdiff_t>(columns[i]) * 4);
        } else {
            for (size_t i = 0; i < columns.size(); ++i)
                target[i] = reader.Read(row, columns[i]);
        }
    }
    Show(window, *picture);
    return true;
}

bool ReadWindowToDib(WindowHandle window, const Rect& source, DibImage* image, int x, int y) {
    if (image == nullptr || !ValidDib(*image)) return false;
    const Rect target{x, y, x + source.right - source.left, y + source.bottom - source.top};
    if (!InsideDib(target, *image)) return false;
    WindowPicture* picture = PictureOf(window);
    if (picture == nullptr) return false;
    // Read where the picture is: its own rows, or the output's.
    int32_t held_pitch = 0;
    const uint8_t* held = picture->held_by_output ? RowsHeldByOutput(window, *picture, &held_pitch) : nullptr;
    const auto at = [&](int32_t column, int32_t row) -> uint32_t {
        if (!picture->held_by_output) return picture->pixels[static_cast<size_t>(row) * picture->width + column];
        return held == nullptr ? 0 : ReadRgb(held + static_cast<ptrdiff_t>(row) * held_pitch + column * 4);
    };
    for (int32_t row = source.top; row < source.bottom; ++row) {
        for (int32_t column = source.left; column < source.right; ++column) {
            const bool inside = row >= 0 && column >= 0 && row < picture->height && column < picture->width;
            const uint32_t rgb = inside ? at(column, row) : 0;
            WriteDibPixel(*image, x + column - source.left, y + row - source.top, rgb);
        }
    }
    return true;
}

void TakeInPicturesShownByOutput() {
    for (auto& [window, picture] : Pictures())
        TakeInFromOutput(window, &picture, true);
}

void ReleaseWindowDib(WindowHandle window) { Pictures().erase(window); }

}  // namespace velk::platform
