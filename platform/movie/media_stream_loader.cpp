// OpenMediaStream of the program: loads the FFmpeg plug-in on the first call
// and keeps it for the process. Where it is not found, or FFmpeg's libraries
// are missing, every open fails with the loader's reason.

#include <climits>
#include <mutex>
#include <string>
#include <vector>

#include <dlfcn.h>
#include <unistd.h>

#include "platform/base/clock.h"
#include "platform/movie/ffmpeg_plugin_entry.h"
#include "platform/movie/media_stream.h"

namespace velk::platform {

namespace {

constexpr char kPluginFile[] = "velk-ffmpeg-movies.so";

struct Plugin {
    FfmpegOpenFunction open = nullptr;
    std::string problem;
};

// The folder of the running program, with a closing slash ("" when unknown).
std::string ProgramFolder() {
    char path[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0) return "";
    const std::string whole(path, static_cast<size_t>(length));
    const size_t slash = whole.rfind('/');
    return slash == std::string::npos ? "" : whole.substr(0, slash + 1);
}

Plugin LoadPlugin() {
    Plugin plugin;
    // Beside the program first, then where the build put it.
    std::vector<std::string> candidates = {ProgramFolder() + kPluginFile};
#ifdef VELK_PLUGIN_PATH_VELK_FFMPEG_MOVIES
    candidates.emplace_back(VELK_PLUGIN_PATH_VELK_FFMPEG_MOVIES);
#endif
    for (const std::string& path : candidates) {
        if (access(path.c_str(), F_OK) != 0) continue;
        void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (handle == nullptr) {
            const char* why = dlerror();
            plugin.problem = std::string("the movie libraries could not be loaded: ") + (why != nullptr ? why : path);
            return plugin;
        }
        plugin.open = reinterpret_cast<FfmpegOpenFunction>(dlsym(handle, kFfmpegOpenSymbol));
        if (plugin.open == nullptr) plugin.problem = "the movie plug-in " + path + " has no entry point";
        return plugin;
    }
    plugin.problem = std::string("the movie plug-in ") + kPluginFile + " was not found";
    return plugin;
}

}  // namespace

std::unique_ptr<MediaStream> OpenMediaStream(const std::string& native_path, MediaPixelFormat format,
                                             std::string* error) {
    static std::once_flag once;
    static Plugin plugin;
    std::call_once(once, [] { plugin = LoadPlugin(); });
    if (plugin.open == nullptr) {
        if (error != nullptr) *error = plugin.problem;
        return nullptr;
    }
    std::string reason;
    std::unique_ptr<MediaStream> stream(
        plugin.open(&ActiveClock, native_path.c_str(), static_cast<int>(format), &reason));
    if (!stream && error != nullptr) *error = reason;
    return stream;
}

}  // namespace velk::platform
