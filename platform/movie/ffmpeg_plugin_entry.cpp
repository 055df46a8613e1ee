// Built into the plug-in only, with media_stream.cpp.

#include "platform/movie/ffmpeg_plugin_entry.h"

namespace velk::platform {

namespace {
Clock& (*host_active_clock)() = nullptr;
}  // namespace

// The decoder's clock is the program's active one (a test's manual clock too).
Clock& ActiveClock() { return host_active_clock(); }

}  // namespace velk::platform

extern "C" __attribute__((visibility("default"))) velk::platform::MediaStream* VelkFfmpegOpenMediaStream(
    velk::platform::Clock& (*active_clock)(), const char* native_path, int format, std::string* error) {
    velk::platform::host_active_clock = active_clock;
    return velk::platform::OpenMediaStream(native_path, static_cast<velk::platform::MediaPixelFormat>(format), error)
        .release();
}
