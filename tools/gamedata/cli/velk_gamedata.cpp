// velk-gamedata <description> <game folder>: builds a game folder from a
// readable description of its data.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "tools/gamedata/description_parser.h"
#include "tools/gamedata/game_folder_writer.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: velk-gamedata <description> <game folder>\n");
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "velk-gamedata: cannot read %s\n", argv[1]);
        return 1;
    }
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::string error;
    auto description = velk::gamedata::ParseGameDescription(text, &error);
    if (!description) {
        std::fprintf(stderr, "%s: %s\n", argv[1], error.c_str());
        return 1;
    }
    if (!velk::gamedata::WriteGameFolder(*description, argv[2], &error)) {
        std::fprintf(stderr, "velk-gamedata: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
