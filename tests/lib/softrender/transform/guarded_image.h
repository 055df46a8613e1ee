#pragma once
// Test images whose MEMIMG view sits inside a larger image: the border around
// the view (the guard) holds random bytes that a draw must neither change nor
// show. Two images made alike hold the same bytes, so a whole-storage
// comparison checks the view and its guard at once.

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "lib/softrender/memimg.h"

namespace velk::testing {

class GuardedImage {
public:
    GuardedImage(int width, int height, int format, int palette_flag = 0, int alpha_flag = 0, int guard = 3);
    ~GuardedImage();
    GuardedImage(const GuardedImage&) = delete;
    GuardedImage& operator=(const GuardedImage&) = delete;

    MEMIMG* view() { return &view_; }
    const MEMIMG* view() const { return &view_; }
    MemImgBase& base() { return *view_.base; }
    int width() const { return view_.width; }
    int height() const { return view_.height; }
    int bytes_per_pixel() const { return MemImgBytesPerPixel(*view_.base); }
    // Address of pixel (x, y) of the view.
    uint8_t* Pixel(int x, int y);

    // Random pixels (and palette entries, the 16-bit ones as words) everywhere,
    // guard included.
    void FillRandom(std::mt19937& random);
    // Copies pixels, palette and transparent colour from an image made alike.
    void CopyFrom(const GuardedImage& other);
    bool SameBytes(const GuardedImage& other) const;
    // The first differing pixel's description, for failure messages.
    std::string DescribeDifference(const GuardedImage& other) const;

    // Raw pixel of the view (2 or 4 bytes, or 1 for indices) and its setter.
    uint32_t Get(int x, int y);
    void Set(int x, int y, uint32_t value);

private:
    std::vector<uint8_t> storage_;
    MEMIMG whole_{};
    MEMIMG view_{};
    int guard_ = 0;
};

}  // namespace velk::testing
