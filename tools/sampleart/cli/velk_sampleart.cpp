// velk-sampleart <game folder>: draws and synthesises the sample game's
// images and sounds into the folder's Data\.

#include <cstdio>
#include <string>

#include "tools/sampleart/sample_art.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: velk-sampleart <game folder>\n");
        return 2;
    }
    std::string error;
    if (!velk::sampleart::WriteSampleArt(argv[1], &error)) {
        std::fprintf(stderr, "velk-sampleart: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
