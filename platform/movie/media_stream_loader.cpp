// OpenMediaStream of the program: loads the FFmpeg plug-in on the first call
// and keeps it for the process. Where it is not found, or FFmpeg's libraries
// are missing, every open fails with the loader's reason.

#include <mutex>
#include <string>

#include "platform/base/clock.h"
#include "platform/base/plugin_loader.h"
#include "platform/movie/ffmpeg_plugin_entry.h"
#include "platform/movie/media_stream.h"

namespace velk::platform {

namespace {

PluginEntry LoadMoviePlugin() {
    constexpr PluginNames kNames{"velk-ffmpeg-movies.so", "movie", "movie libraries"};
#ifdef VELK_PLUGIN_PATH_VELK_FFMPEG_MOVIES
    return LoadPlugin(kNames, VELK_PLUGIN_PATH_VELK_FFMPEG_MOVIES, kFfmpegOpenSymbol);
#else
    return LoadPlugin(kNames, nullptr, kFfmpegOpenSymbol);
#endif
}

}  // namespace

std::unique_ptr<MediaStream> OpenMediaStream(const std::string& native_path, MediaPixelFormat format,
                                             std::string* error) {
    static std::once_flag once;
    static PluginEntry plugin;
    std::call_once(once, [] { plugin = LoadMoviePlugin(); });
    if (plugin.entry == nullptr) {
        if (error != nullptr) *error = plugin.problem;
        return nullptr;
    }
    const auto open = reinterpret_cast<FfmpegOpenFunction>(plugin.entry);
    std::string reason;
    std::unique_ptr<MediaStream> stream(open(&ActiveClock, native_path.c_str(), static_cast<int>(format), &reason));
    if (!stream && error != nullptr) *error = reason;
    return stream;
}

}  // namespace velk::platform
