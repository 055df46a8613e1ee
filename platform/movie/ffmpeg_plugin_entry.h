#pragma once
// The one entry point of the FFmpeg movie plug-in. The plug-in keeps no state
// of the program's own: the clock it times streams by is the program's,
// handed in with every open.

#include <string>

#include "platform/base/clock.h"
#include "platform/movie/media_stream.h"

namespace velk::platform {

// A stream the caller owns (delete it), or null with the reason in `error`.
using FfmpegOpenFunction = MediaStream* (*)(Clock& (*active_clock)(), const char* native_path, int format,
                                            std::string* error);

inline constexpr char kFfmpegOpenSymbol[] = "VelkFfmpegOpenMediaStream";

}  // namespace velk::platform
