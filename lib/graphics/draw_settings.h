#pragma once
// The one block of draw state that every draw reads, its setters and the
// lights.

#include <cstdint>

#include "lib/core/math.h"

namespace velk {

using GraphRestoreCallback = void (*)();

struct DrawSettings {
    GraphRestoreCallback restore_callback = nullptr;  // survives a reset
    int draw_screen = -2;
    Rect window_placement{};  // the screen's place in the window (front screen in window mode only)
    Rect draw_area{};
    float draw_area_f[4] = {};  // left, top, right, bottom as floats
    int draw_area_empty = 0;
    int draw_screen_width = 0;
    int draw_screen_height = 0;
    int draw_mode = 0;
    int blend_mode = 0;
    int blend_param = 0;
    int blend_graph = -1;
    int blend_border_param = 0;
    int blend_border_range = 0;
    uint8_t bright_blue = 255, bright_green = 255, bright_red = 255;
    int use_3d = 1;
    // Settings for graphs made later.
    int new_graph_color_depth = 0;  // 0: automatic
    int create_draw_valid = 0;
    int alpha_test = 1;
    int empty_graph_alpha = 0;
    int system_memory = 0;
    int texture_setting = 0;
    uint32_t graph_option = 0;
    uint32_t transparent_color = 0;  // 0x00RRGGBB
    int vsync_off = 0;               // 0: the flip waits for the vertical blank
    uint64_t present_count = 0;
    Matrix world, view, projection, viewport;
    int world_set = 0, view_set = 0, projection_set = 0;
    Matrix combined;  // world x view x projection x viewport
    int combined_valid = 0;
    float view_rotation[9] = {};  // the view's 3x3 transposed
    int default_light = -1;
    int light_changed = 0;
    // Read only by the Direct3D render-state set-up and draws.
    int d3d_state[4] = {3, 0, 0, 4};
    float d3d_float = 0.2f;
};

namespace draw_settings_detail {
// Written only through draw_settings.cpp's setters.
extern DrawSettings g_settings;
}  // namespace draw_settings_detail

// Inline: a draw reads the settings a handful of times, and a frame draws
// hundreds of times.
inline const DrawSettings& GetDrawSettings() { return draw_settings_detail::g_settings; }

// Graph management: started by the display-mode change, ended before the
// next one and at library end.
int InitGraphManagement();
int EndGraphManagement();
bool IsGraphManagementInitialized();

int ResetDrawSettings();
int SetDrawScreen(int screen);
int GetDrawScreen();
int SetDrawArea(int x1, int y1, int x2, int y2);
int GetDrawArea(Rect* area);
int SetDrawMode(int mode);
int GetDrawMode();
int SetDrawBlendMode(int mode, int param);
int GetDrawBlendMode(int* mode, int* param);
int SetDrawBrightness(int red, int green, int blue);
int SetDrawBrightnessColor(uint32_t rgb);
int SetTransparentColor(int red, int green, int blue);
int SetUse3DFlag(int flag);
int GetUse3DFlag();
int SetGraphRestoreCallback(GraphRestoreCallback callback);
int CheckRestoreGraphCallback();
int SetFlipVSyncWaitFlag(int flag);
int GetFlipVSyncWaitFlag();
// graph -1 clears the blend graph; the two numbers are kept in 0..255.
int SetBlendGraph(int graph, int border_param, int border_range);
int GetScreenModeInfo(int* width, int* height, int* color_bits);
int SetDrawScreenWindowRect(const Rect& rect);

// New-graph settings.
int SetCreateGraphColorDepth(int depth);
int GetCreateGraphColorDepth();
int SetCreateDrawValidGraph(int flag);
int GetCreateDrawValidGraph();
int SetUseAlphaTestFlag(int flag);
int GetUseAlphaTestFlag();
int SetEmptyGraphAlpha(int flag);
int GetEmptyGraphAlpha();
int SetUseTextureManageFlag(int flag);
int GetUseTextureManageFlag();
int SetUseSystemMemGraph(int flag);
int SetUseVideoMemGraph(int flag);  // stores 1 unless its argument is 1
int GetUseSystemMemGraph();
int SetGraphOption(uint32_t option);
uint32_t GetGraphOption();

// Matrices: stored, the product recomputed and handed to the Direct3D path.
int SetWorldMatrix(const Matrix& matrix);
int SetViewMatrix(const Matrix& matrix);
int SetProjectionMatrix(const Matrix& matrix);
int UpdateCombinedMatrix();

// The present count.
int ResetScreenPresentCount();
int CountScreenPresent();
uint64_t GetScreenPresentCount();

// Lights (kind 0x60000000, 4096 slots).
inline constexpr uint32_t kLightHandleType = 0x60000000;
inline constexpr int kLightHandleSlots = 4096;

struct LightParameters {
    int type = 1;  // 1 point, 2 spot, 3 directional
    float diffuse[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    float specular[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    float ambient[4] = {0.33f, 0.33f, 0.33f, 0.33f};
    Vector position;
    Vector direction;
    float range = 2000.0f;
    float falloff = 1.0f;
    float attenuation[3] = {0.1f, 0.0f, 0.0f};
    float theta = 2.0f;
    float phi = 2.0f;
};

struct LightData {
    uint32_t check = 0;
    int32_t handle = 0;
    LightParameters parameters;
    int device_index = -1;
    int enabled = 1;
    int changed = 1;
};

int CreateLight();
int CreateDirectionalLight(const Vector& direction);
LightData* GetLightData(int handle);
int DeleteLight(int handle);
int DeleteAllLights();

}  // namespace velk
