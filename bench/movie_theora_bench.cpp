// Theora movie playback: decoding and converting every frame of a 640 x 480
// movie through the movie decoder (decode thread, frame stock, fixed-point
// conversion to XRGB), beside libtheora's own front-to-back decode of the
// same file without conversion, timed in the same run. Reported as frames
// per second and as the ratio of the two.

#include <cstring>
#include <vector>

#include <benchmark/benchmark.h>
#include <ogg/ogg.h>
#include <theora/theoradec.h>

#include "bench/bench_timing.h"
#include "lib/core/files/mem_stream.h"
#include "lib/core/files/stream_functions.h"
#include "lib/movie/theora_movie.h"
#include "tests/lib/movie/theora_writer.h"

namespace {

constexpr int kFrames = 60;

const std::vector<uint8_t>& Movie() {
    static const std::vector<uint8_t> bytes = [] {
        velk::testing::TheoraMovieShape shape;
        shape.width = 640;
        shape.height = 480;
        shape.frames = kFrames;
        shape.key_interval = 30;
        return velk::testing::MakeTheoraMovie(shape);
    }();
    return bytes;
}

// libtheora alone: every packet decoded and its picture taken, in order.
int DecodeWithLibtheora(const std::vector<uint8_t>& file) {
    ogg_sync_state sync;
    ogg_sync_init(&sync);
    char* into = ogg_sync_buffer(&sync, static_cast<long>(file.size()));
    std::memcpy(into, file.data(), file.size());
    ogg_sync_wrote(&sync, static_cast<long>(file.size()));
    th_info info;
    th_info_init(&info);
    th_comment comment;
    th_comment_init(&comment);
    th_setup_info* setup = nullptr;
    th_dec_ctx* decoder = nullptr;
    ogg_stream_state stream;
    bool have = false;
    int frames = 0;
    ogg_page page;
    while (ogg_sync_pageout(&sync, &page) == 1) {
        if (!have) {
            ogg_stream_init(&stream, ogg_page_serialno(&page));
            have = true;
        }
        if (ogg_stream_pagein(&stream, &page) != 0) continue;
        ogg_packet p;
        while (ogg_stream_packetout(&stream, &p) == 1) {
            if (decoder == nullptr) {
                if (th_decode_headerin(&info, &comment, &setup, &p) > 0) continue;
                decoder = th_decode_alloc(&info, setup);
            }
            th_decode_packetin(decoder, &p, nullptr);
            th_ycbcr_buffer out;
            th_decode_ycbcr_out(decoder, out);
            benchmark::DoNotOptimize(out[0].data);
            ++frames;
        }
    }
    th_decode_free(decoder);
    th_setup_free(setup);
    ogg_stream_clear(&stream);
    th_comment_clear(&comment);
    th_info_clear(&info);
    ogg_sync_clear(&sync);
    return frames;
}

void BM_TheoraMovieDecodeAndConvert(benchmark::State& state) {
    const std::vector<uint8_t>& file = Movie();
    velk::MemStream* stream = velk::OpenMemStream(file.data(), static_cast<uint32_t>(file.size()));
    velk::TheoraMovieData* movie = velk::OpenTheoraMovie(velk::MakeMemStreamData(stream), 10);
    if (movie == nullptr) {
        state.SkipWithError("the movie did not open");
        return;
    }
    // One lap of the movie: every frame advanced to and converted.
    auto lap = [&] {
        for (int f = 0; f < kFrames; ++f) {
            velk::AdvanceTheoraFrame(movie, 1);
            velk::ConvertTheoraFrame(movie, 1, 0);
        }
    };
    auto reference = [&] { benchmark::DoNotOptimize(DecodeWithLibtheora(file)); };
    for (auto _ : state) {
        const std::vector<double> best = velk::bench::BestSecondsPerCall({lap, reference});
        state.counters["fps"] = kFrames / best[0];
        state.counters["libtheora_fps"] = kFrames / best[1];
        state.counters["of_libtheora"] = best[1] / best[0];
    }
    velk::CloseTheoraMovie(movie);
    velk::CloseMemStream(stream);
}
BENCHMARK(BM_TheoraMovieDecodeAndConvert)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
