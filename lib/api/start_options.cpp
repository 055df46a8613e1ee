#include "lib/api/start_options.h"

#include <algorithm>

namespace velk {

namespace {

LibraryStartOptions& Options() {
    static LibraryStartOptions options;
    return options;
}

int ColorChannel(int value) { return std::clamp(value, 0, 255); }

}  // namespace

const LibraryStartOptions& GetLibraryStartOptions() { return Options(); }

int SetLibraryStartOptions(const LibraryStartOptions& options) {
    LibraryStartOptions& stored = Options();
    stored = options;
    stored.background_red = ColorChannel(options.background_red);
    stored.background_green = ColorChannel(options.background_green);
    stored.background_blue = ColorChannel(options.background_blue);
    return 0;
}

}  // namespace velk
