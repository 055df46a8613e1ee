// FFmpeg's libraries come with the first movie that needs them: the program
// starts without them, and the first open maps them through the plug-in.

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <unistd.h>

#include "platform/base/clock.h"
#include "platform/movie/media_stream.h"

namespace velk::platform {
namespace {

bool Mapped(const char* library) {
    std::ifstream maps("/proc/self/maps");
    const std::string text((std::istreambuf_iterator<char>(maps)), std::istreambuf_iterator<char>());
    return text.find(library) != std::string::npos;
}

std::filesystem::path Scratch(const char* name) {
    return std::filesystem::temp_directory_path() / (std::to_string(::getpid()) + "-" + name);
}

// The only test here, so that nothing opened a movie before it.
TEST(MediaStreamLoader, FfmpegIsMappedByTheFirstOpenAndStreamsRunOnTheProgramsClock) {
    // Only the process's first pass can see it unloaded (tests may repeat).
    static bool opened = false;
    if (!opened) {
        EXPECT_FALSE(Mapped("libavformat")) << "FFmpeg was loaded with the program";
        EXPECT_FALSE(Mapped("velk-ffmpeg-movies"));
    }
    opened = true;

    // Not a movie: FFmpeg's own reason, after the plug-in came in.
    const std::filesystem::path text = Scratch("text.mpg");
    std::ofstream(text, std::ios::binary) << std::string(300, 'x');
    std::string error;
    EXPECT_EQ(OpenMediaStream(text.string(), MediaPixelFormat::kXrgb32, &error), nullptr);
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(error.find("plug-in"), std::string::npos) << error;
    EXPECT_TRUE(Mapped("velk-ffmpeg-movies"));
    EXPECT_TRUE(Mapped("libavformat"));
    std::filesystem::remove(text);

    // A real movie is timed by the program's clock, here a manual one: no
    // frame is due before the clock moves on.
    const std::filesystem::path movie = Scratch("clip.mpg");
    const std::string command =
        "ffmpeg -loglevel error -y -f lavfi -i testsrc=size=32x16:rate=25 -frames:v 5 "
        "-c:v mpeg1video '" +
        movie.string() + "'";
    if (std::system(command.c_str()) != 0) GTEST_SKIP() << "ffmpeg made no movie";
    ManualClock clock(5000000);
    ScopedClock scoped(clock);
    auto stream = OpenMediaStream(movie.string(), MediaPixelFormat::kXrgb32, &error);
    ASSERT_NE(stream, nullptr) << error;
    EXPECT_EQ(stream->width(), 32);
    EXPECT_EQ(stream->height(), 16);
    std::vector<uint8_t> pixels(32 * 16 * 4);
    stream->SetState(MediaStreamState::kRun);
    EXPECT_EQ(stream->Update(pixels.data(), 32 * 4, false), MediaUpdate::kFrame);
    EXPECT_EQ(stream->Update(pixels.data(), 32 * 4, false), MediaUpdate::kPending);
    clock.AdvanceMilliseconds(40);
    EXPECT_EQ(stream->Update(pixels.data(), 32 * 4, false), MediaUpdate::kFrame);
    stream.reset();
    std::filesystem::remove(movie);
}

}  // namespace
}  // namespace velk::platform
