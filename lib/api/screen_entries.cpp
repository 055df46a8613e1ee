#include "lib/api/screen_entries.h"

#include "lib/graphics/screen/display_system.h"
#include "lib/graphics/screen/screen_present.h"
#include "lib/graphics/screen/screen_state.h"

namespace velk {

namespace {

constexpr int kSaveFormatPng = 2;
// PNG ignores it; the save takes a JPEG quality all the same.
constexpr int kUnusedJpegQuality = 80;
constexpr int kUnusedJpegOption = 0;

}  // namespace

int SetUseHardwareRenderFlag(int flag) { return SetUseHardwareRenderFlagBody(flag); }

int SetUseDirectDrawFlag(int flag) { return SetUseDirectDrawFlagBody(flag); }

const platform::DdPixelFormat* GetDisplayPixelFormat() { return GetDisplayPixelFormatBody(); }

int FlipScreen() { return FlipScreenBody(); }

int SetScreenMode(int width, int height, int color_bits, int refresh_rate) {
    return SetScreenModeBody(width, height, color_bits, refresh_rate);
}

int SaveDrawScreenToPNG(int x1, int y1, int x2, int y2, const char* file_name, int compression_level) {
    return SaveDrawScreenToFile(x1, y1, x2, y2, file_name, kSaveFormatPng, kUnusedJpegQuality, kUnusedJpegOption,
                                compression_level);
}

}  // namespace velk
