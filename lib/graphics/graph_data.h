#pragma once
// The record behind a graph handle.

#include <cstdint>
#include <string>

namespace velk {

inline constexpr uint32_t kGraphHandleType = 0x08000000;
inline constexpr int kGraphHandleSlots = 32768;
inline constexpr int kMaxGraphParts = 64;

// The special graph handles that name the screens.
inline constexpr int kBackScreen = -2;
inline constexpr int kFrontScreen = -4;
inline constexpr int kNoGraph = -1;

// The fields every draw reads come first, so that a draw touches one or two
// cache lines of the record rather than four (a map draws hundreds of graphs
// a frame, each record cold by the time the next frame reaches it).
struct GraphData {
    uint32_t check = 0;
    int32_t handle = 0;
    int32_t width = 0;
    int32_t height = 0;
    int32_t movie = -1;             // the movie whose frames it shows, -1 for none
    int32_t part_count = 0;
    uint8_t texture = 0;            // 1: parts are Direct3D surface data; 0: 2D surfaces
    uint8_t alpha_channel = 0;
    uint8_t draw_valid = 0;         // can be a draw target
    uint8_t system_memory = 0;      // 2D graphs: from the new-graph system-memory setting
    uint8_t texture_setting = 0;    // texture graphs: 1 leaves the textures unmanaged
    uint8_t alpha_test = 0;
    uint8_t color_depth = 0;        // 16 or 32
    uint8_t one_texture = 0;        // low byte of the option word (not for draw-valid graphs)
    uint8_t palette_image = 0;      // 2D graphs made from an 8-bit image without alpha
    int32_t parts[kMaxGraphParts] = {};  // 2D-surface or surface-data handles, filled by the paths
    int* lost_flag = nullptr;       // written 1 when the graph is deleted
    uint32_t image_kind = 0;        // same file, same kind: one re-load serves both on restore
    uint32_t option = 0;            // graph option word; 1 keeps the graph in one texture
    std::string file_name;          // the image file the graph came from ("" for none)
    std::string directory;          // the current directory when the name was set
    int32_t offset_x = 0;           // position inside the graph it was derived from
    int32_t offset_y = 0;
    uint32_t needs_restore = 0;     // 1 from a surface loss until re-loaded
};

}  // namespace velk
