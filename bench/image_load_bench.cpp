// Loading a 1024 x 1024 PNG and JPEG through the library against libpng's and
// libjpeg's own simplest reads of the same bytes, reported as ratios.

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <vector>

#include <jpeglib.h>
#include <png.h>

#include "lib/image/color_convert.h"
#include "lib/image/image_loader.h"
#include "lib/image/image_writer.h"

namespace {

constexpr int kSide = 1024;

// Smooth colour fields with some texture, like a background picture.
velk::GraphImage MakePicture() {
    velk::GraphImage image;
    velk::CreateXRGB32GraphImage(kSide, kSide, &image);
    uint32_t noise = 12345;
    for (int y = 0; y < kSide; ++y) {
        for (int x = 0; x < kSide; ++x) {
            noise = noise * 1103515245u + 12345u;
            const uint32_t n = (noise >> 16) & 15;
            const uint32_t r = (x / 4 + n) & 0xFF, g = (y / 4 + n) & 0xFF, b = ((x + y) / 8) & 0xFF;
            velk::WritePixelValue(image.pixels + y * image.pitch, x, 4, (r << 16) | (g << 8) | b);
        }
    }
    return image;
}

const std::vector<uint8_t>& PngFile() {
    static std::vector<uint8_t> bytes = [] {
        velk::GraphImage image = MakePicture();
        std::vector<uint8_t> out;
        velk::EncodeGraphImageToPng(&image, 6, &out);
        velk::ReleaseGraphImage(&image);
        return out;
    }();
    return bytes;
}

const std::vector<uint8_t>& JpegFile() {
    static std::vector<uint8_t> bytes = [] {
        velk::GraphImage image = MakePicture();
        std::vector<uint8_t> out;
        velk::EncodeGraphImageToJpeg(&image, 90, &out);
        velk::ReleaseGraphImage(&image);
        return out;
    }();
    return bytes;
}

void LoadOurs(const std::vector<uint8_t>& bytes) {
    velk::GraphImage image;
    if (velk::OpenGraphImageFromMemory(bytes.data(), bytes.size(), &image) != 0) {
        std::abort();
    }
    benchmark::DoNotOptimize(image.pixels);
    velk::ReleaseGraphImage(&image);
}

void LoadPngReference(const std::vector<uint8_t>& bytes) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    png_image_begin_read_from_memory(&image, bytes.data(), bytes.size());
    image.format = PNG_FORMAT_BGR;
    std::vector<uint8_t> pixels(PNG_IMAGE_SIZE(image));
    png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr);
    benchmark::DoNotOptimize(pixels.data());
}

void LoadJpegReference(const std::vector<uint8_t>& bytes) {
    jpeg_decompress_struct info;
    jpeg_error_mgr error;
    info.err = jpeg_std_error(&error);
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, bytes.data(), static_cast<unsigned long>(bytes.size()));
    jpeg_read_header(&info, TRUE);
    jpeg_start_decompress(&info);
    const size_t row = static_cast<size_t>(info.output_width) * info.output_components;
    std::vector<uint8_t> pixels(row * info.output_height);
    while (info.output_scanline < info.output_height) {
        JSAMPROW rows[1] = {pixels.data() + row * info.output_scanline};
        jpeg_read_scanlines(&info, rows, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    benchmark::DoNotOptimize(pixels.data());
}

template <typename Ours, typename Reference>
void Ratio(benchmark::State& state, Ours ours, Reference reference) {
    double ours_time = 0, reference_time = 0;
    for (auto _ : state) {
        auto t0 = std::chrono::steady_clock::now();
        ours();
        auto t1 = std::chrono::steady_clock::now();
        reference();
        auto t2 = std::chrono::steady_clock::now();
        ours_time += std::chrono::duration<double>(t1 - t0).count();
        reference_time += std::chrono::duration<double>(t2 - t1).count();
    }
    state.counters["ratio"] = ours_time / reference_time;
}

void BM_PngLoadRatio(benchmark::State& state) {
    const auto& bytes = PngFile();
    Ratio(state, [&] { LoadOurs(bytes); }, [&] { LoadPngReference(bytes); });
}
BENCHMARK(BM_PngLoadRatio)->Unit(benchmark::kMillisecond);

void BM_JpegLoadRatio(benchmark::State& state) {
    const auto& bytes = JpegFile();
    Ratio(state, [&] { LoadOurs(bytes); }, [&] { LoadJpegReference(bytes); });
}
BENCHMARK(BM_JpegLoadRatio)->Unit(benchmark::kMillisecond);

void BM_ConvertRgb24ToXrgb32(benchmark::State& state) {
    velk::GraphImage source, dest;
    velk::CreateRGB24GraphImage(kSide, kSide, &source);
    velk::CreateXRGB32GraphImage(kSide, kSide, &dest);
    const velk::Rect rect{0, 0, kSide, kSide};
    for (auto _ : state) {
        velk::BltColorConvert(dest.pixels, dest.pitch, &dest.color_data, source.pixels, source.pitch,
                              &source.color_data, nullptr, 0, nullptr, 0, 0, &rect, 0, 0, 0, 0, 0, 0, 0, 0);
        benchmark::DoNotOptimize(dest.pixels);
    }
    state.SetBytesProcessed(state.iterations() * kSide * kSide * 4);
    velk::ReleaseGraphImage(&source);
    velk::ReleaseGraphImage(&dest);
}
BENCHMARK(BM_ConvertRgb24ToXrgb32)->Unit(benchmark::kMillisecond);

}  // namespace
