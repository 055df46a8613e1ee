// The real output. A frame of the window's own size in the window surface's
// layout is written straight into the window surface and shown; any other
// frame goes through an SDL renderer with one streaming texture of the
// frame's size, uploaded, stretched over the whole window and presented.
// Works with SDL's dummy video driver too (both draw into the dummy
// framebuffer).

#include <atomic>
#include <cstring>
#include <map>

#include <SDL.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "platform/base/debug_output.h"
#include "platform/display/display_output.h"
#include "platform/window/window_system.h"

namespace velk::platform {

namespace {

std::atomic<bool> capture_frames{false};

// The SDL texture format that takes the frame's pixels as they are, or 0 when
// the frame must be converted first.
Uint32 DirectTextureFormat(const DdPixelFormat& format) {
    if ((format.flags & kPixelFormatPaletteIndexed8) != 0) return 0;
    if (format.rgb_bit_count == 32 && format.red_mask == 0xFF0000 && format.green_mask == 0xFF00 &&
        format.blue_mask == 0xFF)
        return SDL_PIXELFORMAT_RGB888;
    if (format.rgb_bit_count == 16 && format.red_mask == 0xF800 && format.green_mask == 0x07E0 &&
        format.blue_mask == 0x001F)
        return SDL_PIXELFORMAT_RGB565;
    if (format.rgb_bit_count == 16 && format.red_mask == 0x7C00 && format.green_mask == 0x03E0 &&
        format.blue_mask == 0x001F)
        return SDL_PIXELFORMAT_RGB555;
    return 0;
}

#if defined(__SSE2__)
// How far ahead of the copy the frame's rows are asked for. The frame is
// shown after the wait for the vertical blank, which sleeps: by then its
// rows have mostly left this core's caches, and the copy's own reads alone
// keep too few misses in flight to read them at memory's pace. About one
// row of a 640-pixel frame ahead measured best (a fifth less time than no
// prefetch; half or four times that distance gained less).
constexpr size_t kReadAhead = 2560;
#endif

// One row into the window surface. Nothing here reads the surface again,
// so the stores bypass the cache: the frame is not read for ownership first
// and does not push the next frame's pixels out. The rows below are asked
// for ahead (a prefetch past the frame's end is a hint and never faults).
void StreamRow(uint8_t* out, const uint8_t* in, size_t bytes) {
#if defined(__SSE2__)
    size_t done = 0;
    const size_t head = (16 - (reinterpret_cast<uintptr_t>(out) & 15)) & 15;
    if (head % 4 == 0 && head <= bytes) {
        std::memcpy(out, in, head);
        done = head;
        for (; done + 64 <= bytes; done += 64) {
            _mm_prefetch(reinterpret_cast<const char*>(in + done + kReadAhead), _MM_HINT_T0);
            const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + done));
            const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + done + 16));
            const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + done + 32));
            const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + done + 48));
            _mm_stream_si128(reinterpret_cast<__m128i*>(out + done), a);
            _mm_stream_si128(reinterpret_cast<__m128i*>(out + done + 16), b);
            _mm_stream_si128(reinterpret_cast<__m128i*>(out + done + 32), c);
            _mm_stream_si128(reinterpret_cast<__m128i*>(out + done + 48), d);
        }
    }
    std::memcpy(out + done, in + done, bytes - done);
#else
    std::memcpy(out, in, bytes);
#endif
}

class SdlDisplayOutput final : public DisplayOutput {
public:
    // Renderers still held are left to SDL: at this point the windows (and
    // the window stand-in) may already be gone. ReleaseWindow is the orderly way.
    ~SdlDisplayOutput() override = default;

    void Present(WindowHandle window, const PresentImage& image) override {
        ++present_count_;
        auto* sdl_window = static_cast<SDL_Window*>(NativeWindowOf(window));
        if (sdl_window == nullptr) {
            fallback_.Present(window, image);
            return;
        }
        Target* target = TargetFor(window, sdl_window);
        target->shown_rows = nullptr;
        if (PresentToWindowSurface(target, image)) return;
        if (!EnsureRenderer(target)) return;
        // The frame reaches the texture in one pass: copied as it is, or
        // converted straight into the locked texture.
        const Uint32 direct = DirectTextureFormat(image.format);
        const Uint32 format = direct != 0 ? direct : static_cast<Uint32>(SDL_PIXELFORMAT_RGB888);
        if (!PrepareTexture(target, format, image.width, image.height)) return;
        if (direct != 0) {
            SDL_UpdateTexture(target->texture, nullptr, image.pixels, image.pitch);
        } else {
            void* pixels = nullptr;
            int pitch = 0;
            if (SDL_LockTexture(target->texture, nullptr, &pixels, &pitch) != 0) return;
            ConvertPresentImageInto(image, static_cast<uint32_t*>(pixels), pitch);
            SDL_UnlockTexture(target->texture);
        }
        // The texture covers the whole window, so nothing is cleared first.
        SDL_RenderCopy(target->renderer, target->texture, nullptr, nullptr);
        if (capture_frames.load()) Capture(target);
        SDL_RenderPresent(target->renderer);
    }

    bool ReadPresentedPixels(WindowHandle window, PresentedFrame* out) override {
        auto found = targets_.find(window);
        if (found == targets_.end()) return fallback_.ReadPresentedPixels(window, out);
        if (found->second.captured.width == 0) return false;
        *out = found->second.captured;
        return true;
    }

    const uint8_t* ShownRows(WindowHandle window, ShownRowsLayout* layout) override {
        void* native = NativeWindowOf(window);
        if (native == nullptr) return fallback_.ShownRows(window, layout);
        auto found = targets_.find(window);
        if (found == targets_.end() || found->second.window != native || found->second.shown_rows == nullptr)
            return nullptr;
        *layout = found->second.shown_layout;
        return found->second.shown_rows;
    }

    void ReleaseWindow(WindowHandle window) override {
        fallback_.ReleaseWindow(window);
        auto found = targets_.find(window);
        if (found == targets_.end()) return;
        DestroyTarget(window, found->second);
        targets_.erase(found);
    }

    uint64_t present_count() const override { return present_count_; }

private:
    struct Target {
        SDL_Window* window = nullptr;
        SDL_Renderer* renderer = nullptr;
        SDL_Texture* texture = nullptr;
        Uint32 texture_format = 0;
        int texture_width = 0;
        int texture_height = 0;
        PresentedFrame captured;
        const uint8_t* shown_rows = nullptr;  // see NoteShownRows
        ShownRowsLayout shown_layout;
    };

    Target* TargetFor(WindowHandle window, SDL_Window* sdl_window) {
        auto found = targets_.find(window);
        if (found != targets_.end() && found->second.window != sdl_window) {
            // The native window was replaced; its renderer went with it.
            targets_.erase(found);
            found = targets_.end();
        }
        if (found != targets_.end()) return &found->second;
        // The frames come from memory; the window's framebuffer in memory
        // keeps this thread free of an OpenGL context of the window's own,
        // which would stop the hardware drawing's context from being made
        // current here.
        SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
        Target& target = targets_[window];
        target.window = sdl_window;
        return &target;
    }

    // A frame that needs no stretching or conversion by SDL is written once,
    // into what goes to the screen: no texture and no renderer's copy.
    // Windows with a renderer (someone else's, or ours once a frame needed
    // stretching) keep it, so that the two never draw over each other.
    static bool PresentToWindowSurface(Target* target, const PresentImage& image) {
        if (target->renderer != nullptr || SDL_GetRenderer(target->window) != nullptr) return false;
        const Uint32 direct = DirectTextureFormat(image.format);
        // 16-bit frames stay with the renderer, which widens them by its own rule.
        if (direct != 0 && direct != SDL_PIXELFORMAT_RGB888) return false;
        SDL_Surface* surface = SDL_GetWindowSurface(target->window);
        if (surface == nullptr || surface->format->format != SDL_PIXELFORMAT_RGB888 || surface->w != image.width ||
            surface->h != image.height)
            return false;
        if (SDL_MUSTLOCK(surface) && SDL_LockSurface(surface) != 0) return false;
        auto* out = static_cast<uint8_t*>(surface->pixels);
        if (direct != 0) {
            const size_t row_bytes = static_cast<size_t>(image.width) * 4;
            for (int y = 0; y < image.height; ++y)
                StreamRow(out + static_cast<ptrdiff_t>(y) * surface->pitch,
                          image.pixels + static_cast<ptrdiff_t>(y) * image.pitch, row_bytes);
#if defined(__SSE2__)
            _mm_sfence();
#endif
        } else {
            ConvertPresentImageInto(image, reinterpret_cast<uint32_t*>(out), surface->pitch);
        }
        if (capture_frames.load()) {
            target->captured.width = surface->w;
            target->captured.height = surface->h;
            target->captured.pixels.resize(static_cast<size_t>(surface->w) * surface->h);
            for (int y = 0; y < surface->h; ++y) {
                const auto* row = reinterpret_cast<const uint32_t*>(out + static_cast<ptrdiff_t>(y) * surface->pitch);
                uint32_t* captured = target->captured.pixels.data() + static_cast<size_t>(y) * surface->w;
                for (int x = 0; x < surface->w; ++x)
                    captured[x] = row[x] & 0xFFFFFF;
            }
        }
        if (SDL_MUSTLOCK(surface)) {
            SDL_UnlockSurface(surface);
        } else {
            NoteShownRows(target, surface);
        }
        SDL_UpdateWindowSurface(target->window);
        return true;
    }

    // The window surface holds the frame in 0x00RRGGBB rows until the next
    // present: the window's picture may be read from there (ShownRows) rather
    // than copied. Only Present and ReleaseWindow replace or free the surface.
    static void NoteShownRows(Target* target, const SDL_Surface* surface) {
        target->shown_rows = static_cast<const uint8_t*>(surface->pixels);
        target->shown_layout = ShownRowsLayout{surface->w, surface->h, surface->pitch};
    }

    static bool EnsureRenderer(Target* target) {
        if (target->renderer != nullptr) return true;
        SDL_Renderer* renderer = SDL_GetRenderer(target->window);
        if (renderer == nullptr) renderer = SDL_CreateRenderer(target->window, -1, SDL_RENDERER_SOFTWARE);
        if (renderer == nullptr) {
            DebugOutput(std::string("The window's renderer could not be made: ") + SDL_GetError() + "\n");
            return false;
        }
        SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
        target->renderer = renderer;
        return true;
    }

    static bool PrepareTexture(Target* target, Uint32 format, int width, int height) {
        if (target->texture != nullptr && target->texture_format == format && target->texture_width == width &&
            target->texture_height == height)
            return true;
        if (target->texture != nullptr) SDL_DestroyTexture(target->texture);
        target->texture = SDL_CreateTexture(target->renderer, format, SDL_TEXTUREACCESS_STREAMING, width, height);
        if (target->texture == nullptr) return false;
        target->texture_format = format;
        target->texture_width = width;
        target->texture_height = height;
        return true;
    }

    static void Capture(Target* target) {
        int width = 0;
        int height = 0;
        if (SDL_GetRendererOutputSize(target->renderer, &width, &height) != 0 || width <= 0 || height <= 0) return;
        target->captured.width = width;
        target->captured.height = height;
        target->captured.pixels.assign(static_cast<size_t>(width) * height, 0);
        SDL_RenderReadPixels(target->renderer, nullptr, SDL_PIXELFORMAT_RGB888, target->captured.pixels.data(),
                             width * 4);
        for (uint32_t& pixel : target->captured.pixels)
            pixel &= 0xFFFFFF;
    }

    void DestroyTarget(WindowHandle window, Target& target) {
        // Only while the native window still stands: its renderer dies with it.
        if (NativeWindowOf(window) != target.window) return;
        if (target.texture != nullptr) SDL_DestroyTexture(target.texture);
        if (target.renderer != nullptr) SDL_DestroyRenderer(target.renderer);
        target.texture = nullptr;
        target.renderer = nullptr;
    }

    std::map<WindowHandle, Target> targets_;
    CapturingDisplayOutput fallback_;
    uint64_t present_count_ = 0;
};

}  // namespace

std::unique_ptr<DisplayOutput> CreateSdlDisplayOutput() { return std::make_unique<SdlDisplayOutput>(); }

void SetCapturePresentedFrames(bool capture) { capture_frames = capture; }

}  // namespace velk::platform
