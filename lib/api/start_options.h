#pragma once
// The options the program sets before it starts the library, handed on to
// the graphics side when the library starts.

namespace velk {

struct LibraryStartOptions {
    // Every cooperative-level call of the display keeps the FPU's settings.
    int fpu_preserve = 0;
    // Graphics are not started at all: no display device, no screen.
    int no_graphics = 0;
    // What screen surfaces and screen images are filled with when made.
    int background_red = 0;
    int background_green = 0;
    int background_blue = 0;
};

const LibraryStartOptions& GetLibraryStartOptions();
// Takes effect at the next start-up; colours are cut to 0-255. Returns 0.
int SetLibraryStartOptions(const LibraryStartOptions& options);

}  // namespace velk
