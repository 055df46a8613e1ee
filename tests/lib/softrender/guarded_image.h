#pragma once
// Test images with guard borders: a view in the middle of a larger base whose
// remaining pixels are filled with a pattern that every draw must leave as it
// was, so a loop that writes outside its destination is caught.

#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "lib/softrender/memimg.h"

namespace velk::testing {

class GuardedImage {
public:
    static constexpr int kGuard = 5;

    GuardedImage(int width, int height, int format, int palette_flag, int alpha_flag, uint32_t trans_color = 0) {
        CreateMemImg(&whole_, width + 2 * kGuard, height + 2 * kGuard, -1, trans_color, format, palette_flag,
                     alpha_flag, nullptr);
        for (int y = 0; y < whole_.height; ++y) {
            uint8_t* row = whole_.pixels + static_cast<ptrdiff_t>(y) * whole_.base->pitch;
            for (int i = 0; i < whole_.base->pitch; ++i) {
                row[i] = static_cast<uint8_t>(0xA7 ^ (i * 31 + y * 17));
            }
        }
        DeriveMemImg(&view_, &whole_, kGuard, kGuard, width, height);
        snapshot_ = Bytes();
    }
    ~GuardedImage() {
        ReleaseMemImg(&view_);
        ReleaseMemImg(&whole_);
    }
    GuardedImage(const GuardedImage&) = delete;
    GuardedImage& operator=(const GuardedImage&) = delete;

    MEMIMG* image() { return &view_; }
    const MEMIMG* image() const { return &view_; }
    MemImgBase* base() { return whole_.base; }
    int bytes_per_pixel() const { return MemImgBytesPerPixel(*whole_.base); }

    uint32_t Get(int x, int y) const {
        uint32_t value = 0;
        std::memcpy(&value, MemImgPixelAddress(view_, x, y), static_cast<size_t>(bytes_per_pixel()));
        return value;
    }
    void Set(int x, int y, uint32_t value) {
        std::memcpy(MemImgPixelAddress(view_, x, y), &value, static_cast<size_t>(bytes_per_pixel()));
    }

    // Fills the view with random pixels; `chooser` may replace a value (to
    // plant transparent colours, extreme alphas and so on).
    template <class Chooser>
    void Randomize(std::mt19937& rng, Chooser chooser) {
        for (int y = 0; y < view_.height; ++y) {
            for (int x = 0; x < view_.width; ++x) {
                Set(x, y, chooser(static_cast<uint32_t>(rng())));
            }
        }
        snapshot_ = Bytes();
    }
    void Randomize(std::mt19937& rng) {
        Randomize(rng, [](uint32_t v) { return v; });
    }

    // Takes the current content as the state the guards are compared with.
    void Snapshot() { snapshot_ = Bytes(); }

    // True when every byte outside the view is as at the last snapshot.
    bool GuardsIntact() const {
        const std::vector<uint8_t> now = Bytes();
        const int bpp = bytes_per_pixel();
        for (int y = 0; y < whole_.height; ++y) {
            for (int i = 0; i < whole_.base->pitch; ++i) {
                const bool inside = y >= kGuard && y < kGuard + view_.height && i >= kGuard * bpp &&
                                    i < (kGuard + view_.width) * bpp;
                const size_t at = static_cast<size_t>(y) * whole_.base->pitch + i;
                if (!inside && now[at] != snapshot_[at]) {
                    return false;
                }
            }
        }
        return true;
    }

private:
    std::vector<uint8_t> Bytes() const {
        const size_t size = static_cast<size_t>(whole_.base->pitch) * whole_.height;
        return std::vector<uint8_t>(whole_.pixels, whole_.pixels + size);
    }

    MEMIMG whole_;
    MEMIMG view_;
    std::vector<uint8_t> snapshot_;
};

}  // namespace velk::testing
