// Ogg Theora movies through the decoder's open (headers, page and key-frame
// index), then a seek, a wrap and conversions on whatever opened.
#include <cstddef>
#include <cstdint>

#include "lib/core/files/mem_stream.h"
#include "lib/core/files/stream_functions.h"
#include "lib/movie/theora_movie.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    velk::MemStream* stream = velk::OpenMemStream(data, static_cast<uint32_t>(size));
    if (stream == nullptr) return 0;
    velk::TheoraMovieData* movie = velk::OpenTheoraMovie(velk::MakeMemStreamData(stream), 3);
    if (movie != nullptr) {
        velk::TheoraMovieInfo info;
        velk::GetTheoraMovieInfo(movie, &info);
        velk::SeekTheoraFrame(movie, info.frame_count / 2);
        velk::ConvertTheoraFrame(movie, 1, 0);
        velk::AdvanceTheoraFrame(movie, info.frame_count - 1);
        velk::ConvertTheoraFrame(movie, 1, 0);
        velk::CloseTheoraMovie(movie);
    }
    velk::CloseMemStream(stream);
    return 0;
}
