#pragma once
// Shared pieces of the movie tests: a Theora decoder over bytes in memory and
// frame-image comparison.

#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "lib/core/files/mem_stream.h"
#include "lib/core/files/stream_functions.h"
#include "lib/image/graph_image.h"
#include "lib/movie/theora_movie.h"

namespace velk::testing {

// A decoder over a copy of the bytes; closes both at the end.
class MemoryTheora {
public:
    explicit MemoryTheora(std::vector<uint8_t> bytes, int stock = 10) : bytes_(std::move(bytes)) {
        stream_ = OpenMemStream(bytes_.data(), static_cast<uint32_t>(bytes_.size()));
        movie_ = OpenTheoraMovie(MakeMemStreamData(stream_), stock);
    }
    ~MemoryTheora() {
        CloseTheoraMovie(movie_);
        CloseMemStream(stream_);
    }
    TheoraMovieData* get() const { return movie_; }

private:
    std::vector<uint8_t> bytes_;
    MemStream* stream_ = nullptr;
    TheoraMovieData* movie_ = nullptr;
};

// The image's pixels, row by row without padding.
inline std::vector<uint8_t> Pixels(const GraphImage& image) {
    std::vector<uint8_t> out;
    for (int r = 0; r < image.height; ++r) {
        const uint8_t* row = image.pixels + static_cast<size_t>(r) * image.pitch;
        out.insert(out.end(), row, row + image.width * 4);
    }
    return out;
}

// Which reference frame the pixels are, -1 for none.
inline int WhichFrame(const std::vector<uint8_t>& pixels, const std::vector<std::vector<uint8_t>>& reference) {
    for (size_t i = 0; i < reference.size(); ++i) {
        if (reference[i] == pixels) return static_cast<int>(i);
    }
    return -1;
}

}  // namespace velk::testing
