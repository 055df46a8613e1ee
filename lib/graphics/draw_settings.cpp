#include "lib/graphics/draw_settings.h"

#include <cmath>
#include <new>

#include "lib/core/log.h"
#include "lib/core/memory_tracker.h"
#include "lib/graphics/draw_path.h"
#include "lib/graphics/draw_settings_internal.h"
#include "lib/graphics/graph_table.h"
#include "lib/graphics/graphics_fatal.h"
#include "lib/graphics/graphics_log_texts.h"
#include "lib/core/handle_table.h"

namespace velk {

namespace draw_settings_detail {
DrawSettings g_settings;
}  // namespace draw_settings_detail

namespace {

using draw_settings_detail::g_settings;
bool g_initialized = false;

HandleTable<LightData>& Lights() {
    static HandleTable<LightData> table(kLightHandleSlots, kLightHandleType);
    return table;
}

int Clamp255(int v) { return v < 0 ? 0 : (v > 255 ? 255 : v); }

void WaitIfInactive() {
    if (!Host().WindowActive()) {
        Host().WaitWhileInactive();
    }
}

// Every path that is in use hears about a change of the colour state.
void ColorStateChanged() {
    if (Host().Direct3DReady()) {
        Direct3DPath().DrawColorStateChanged();
    }
    TwoDPath().DrawColorStateChanged();
}

const char* TargetName(int screen) {
    if (screen == kFrontScreen) {
        return "Front Buffer";
    }
    if (screen == kBackScreen) {
        return "Back Buffer";
    }
    return "Image Buffer";
}

int ApplyDrawArea() {
    const Rect& a = g_settings.draw_area;
    if (Host().Direct3DReady() && Direct3DPath().SetDrawArea(a) != 0) {
        WriteLogFormat(graphics_log::kLogViewportFailed, TargetName(g_settings.draw_screen));
    }
    TwoDPath().SetDrawArea(a);
    return 0;
}

void MultiplyInto(Matrix* out, const Matrix& a, const Matrix& b) { MultiplyMatrix(out, &a, &b); }

// World identity and a camera that shows the plane z = 0 at one unit per
// pixel of a width x height target.
void ResetMatrices(int width, int height) {
    DrawSettings& s = g_settings;
    MakeIdentityMatrix(&s.world);
    const float cx = static_cast<float>(width) / 2.0f;
    const float cy = static_cast<float>(height) / 2.0f;
    MakeViewportMatrix(&s.viewport, cx, cy, static_cast<float>(width), static_cast<float>(height));
    const float d = cy * 1.7320509f;
    const Vector eye{cx, cy, -d};
    const Vector target{cx, cy, -d + 1.0f};
    const Vector up{0.0f, 1.0f, 0.0f};
    MakeLookAtMatrix(&s.view, &eye, &target, &up);
    SetMatrixScreenSize(width, height);
    MakePerspectiveMatrix(&s.projection, 1.0471975f, 0.01f * d, d + 1000.0f, -1.0f);
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) {
            s.view_rotation[r * 3 + c] = s.view.m[c * 4 + r];
        }
    }
    s.combined_valid = 0;
    UpdateCombinedMatrix();
    if (Host().Direct3DReady()) {
        Direct3DPath().MatrixChanged(0, s.world);
        Direct3DPath().MatrixChanged(1, s.view);
        Direct3DPath().MatrixChanged(2, s.projection);
    }
}

bool WindowPlacementApplies(int screen) {
    GraphicsHost& host = Host();
    return screen == kFrontScreen && host.WindowMode() && !host.HasTemporaryPrimary() &&
           (!host.MaskScreenPresent() || !host.MasksInUse()) &&
           (!host.SoftwareRendering() || host.ScreenColorBits() == 8);
}

// Makes `screen` the target on the paths; -1 (nothing changed) when it cannot be one.
int SelectDrawScreen(int screen) {
    GraphData* graph = nullptr;
    if (screen != kBackScreen && screen != kFrontScreen) {
        graph = GetGraphData(screen);
        if (graph == nullptr || graph->draw_valid == 0) {
            return -1;
        }
    }
    const bool direct3d_ok = Host().Direct3DReady() && Direct3DPath().SetDrawTarget(screen, graph) == 0;
    const bool two_d_ok = TwoDPath().SetDrawTarget(screen, graph) == 0;
    if (!direct3d_ok && !two_d_ok) {
        return -1;
    }
    DrawSettings& s = g_settings;
    const int previous_width = s.draw_screen_width;
    const int previous_height = s.draw_screen_height;
    s.draw_screen = screen;
    s.window_placement = WindowPlacementApplies(screen) ? Host().WindowClientRect() : Rect{};
    int width = 0, height = 0;
    GetGraphSize(screen, &width, &height);
    s.draw_screen_width = width;
    s.draw_screen_height = height;
    if (width == previous_width && height == previous_height) {
        const Rect a = s.draw_area;
        SetDrawArea(a.left, a.top, a.right, a.bottom);
    } else {
        SetDrawArea(0, 0, width, height);
    }
    ResetMatrices(width, height);
    return 0;
}

}  // namespace

SavedDrawArea SaveDrawArea() {
    const DrawSettings& s = g_settings;
    return SavedDrawArea{s.draw_area, {s.draw_area_f[0], s.draw_area_f[1], s.draw_area_f[2], s.draw_area_f[3]},
                         s.draw_area_empty};
}

void RestoreDrawArea(const SavedDrawArea& saved) {
    DrawSettings& s = g_settings;
    s.draw_area = saved.area;
    for (int i = 0; i < 4; ++i) {
        s.draw_area_f[i] = saved.area_f[i];
    }
    s.draw_area_empty = saved.empty;
    if (saved.empty == 0) {
        ApplyDrawArea();
    }
}

void DrawSettingsForMaking(int color_depth, int system_memory, int texture_setting) {
    g_settings.new_graph_color_depth = color_depth;
    g_settings.system_memory = system_memory;
    g_settings.texture_setting = texture_setting;
}

bool IsGraphManagementInitialized() { return g_initialized; }

int InitGraphManagement() {
    if (g_initialized) {
        return 0;
    }
    WriteLog(graphics_log::kLogGraphManagementStart);
    IncreaseLogIndent();
    ResetGraphTable();
    WriteLog(Host().Direct3DReady() ? graphics_log::kLogUse3D : graphics_log::kLogNoUse3D);
    g_initialized = true;
    ResetDrawSettings();
    Host().StartFonts();
    DecreaseLogIndent();
    WriteLog(graphics_log::kLogGraphManagementStarted);
    return 0;
}

int EndGraphManagement() {
    if (!g_initialized) {
        return 0;
    }
    Host().EndMasks();
    DeleteAllGraphs(0);
    DeleteAllLights();
    Host().EndFonts();
    g_initialized = false;
    WriteLog(graphics_log::kLogGraphManagementEnded);
    return 0;
}

int ResetDrawSettings() {
    const GraphRestoreCallback callback = g_settings.restore_callback;
    g_settings = DrawSettings{};
    DrawSettings& s = g_settings;
    s.restore_callback = callback;
    s.blend_graph = -1;
    s.bright_red = s.bright_green = s.bright_blue = 0;
    SetDrawBrightness(255, 255, 255);
    s.draw_screen = kBackScreen;
    SetDrawScreen(kFrontScreen);
    SetDrawArea(0, 0, s.draw_screen_width, s.draw_screen_height);
    s.default_light = CreateDirectionalLight(Vector{1.0f, -1.0f, 1.0f});
    return 0;
}

int SetDrawScreen(int screen) {
    if (!g_initialized) {
        return -1;
    }
    WaitIfInactive();
    const bool mask_use = Host().MasksInUse();
    Host().RefreshMaskScreenArea(0);
    const int previous = g_settings.draw_screen;
    int result = SelectDrawScreen(screen);
    if (result != 0) {
        // Back to the previous target; when that cannot be had either (its
        // graph is gone), to the back screen. Never round again.
        result = -1;
        if (screen == previous || SelectDrawScreen(previous) != 0) {
            SelectDrawScreen(kBackScreen);
        }
    }
    Host().RefreshMaskScreenArea(mask_use ? 1 : 0);
    return result;
}

int GetDrawScreen() { return g_settings.draw_screen; }

int SetDrawArea(int x1, int y1, int x2, int y2) {
    Host().RememberDrawArea(Rect{x1, y1, x2, y2});
    DrawSettings& s = g_settings;
    int width = 0, height = 0;
    if (s.draw_screen == kFrontScreen) {
        GetScreenModeInfo(&width, &height, nullptr);
        const Rect client = Host().WindowClientRect();
        // The part of the screen beyond the desktop's edges is not shown.
        if (client.left < 0) {
            x1 = -client.left;
        }
        if (client.top < 0) {
            y1 = -client.top;
        }
        if (client.left + width >= Host().DesktopWidth()) {
            width = Host().DesktopWidth() - client.left;
        }
        if (client.top + height >= Host().DesktopHeight()) {
            height = Host().DesktopHeight() - client.top;
        }
    } else if (GetGraphSize(s.draw_screen, &width, &height) != 0) {
        return 0;
    }
    if (x1 > x2) {
        std::swap(x1, x2);
    }
    if (y1 > y2) {
        std::swap(y1, y2);
    }
    auto clamp = [](int v, int limit) { return v < 0 ? 0 : (v > limit ? limit : v); };
    width = width < 0 ? 0 : width;
    height = height < 0 ? 0 : height;
    s.draw_area = Rect{clamp(x1, width), clamp(y1, height), clamp(x2, width), clamp(y2, height)};
    s.draw_area_f[0] = static_cast<float>(s.draw_area.left);
    s.draw_area_f[1] = static_cast<float>(s.draw_area.top);
    s.draw_area_f[2] = static_cast<float>(s.draw_area.right);
    s.draw_area_f[3] = static_cast<float>(s.draw_area.bottom);
    if (s.draw_area.left == s.draw_area.right || s.draw_area.top == s.draw_area.bottom) {
        s.draw_area_empty = 1;
        return 0;
    }
    s.draw_area_empty = 0;
    return ApplyDrawArea();
}

int GetDrawArea(Rect* area) {
    *area = g_settings.draw_area;
    return 0;
}

int SetDrawMode(int mode) {
    if (g_settings.draw_mode == mode) {
        return 0;
    }
    g_settings.draw_mode = mode;
    if (Host().Direct3DReady()) {
        Direct3DPath().DrawModeChanged();
    }
    TwoDPath().DrawModeChanged();
    return 0;
}

int GetDrawMode() { return g_settings.draw_mode; }

int SetDrawBlendMode(int mode, int param) {
    if (g_settings.blend_mode == mode && g_settings.blend_param == Clamp255(param)) {
        return 0;
    }
    WaitIfInactive();
    g_settings.blend_mode = mode;
    g_settings.blend_param = Clamp255(param);
    ColorStateChanged();
    return 0;
}

int GetDrawBlendMode(int* mode, int* param) {
    if (mode != nullptr) {
        *mode = g_settings.blend_mode;
    }
    if (param != nullptr) {
        *param = g_settings.blend_param;
    }
    return 0;
}

int SetDrawBrightness(int red, int green, int blue) {
    DrawSettings& s = g_settings;
    if (s.bright_red == red && s.bright_green == green && s.bright_blue == blue) {
        return 0;
    }
    s.bright_red = static_cast<uint8_t>(Clamp255(red));
    s.bright_green = static_cast<uint8_t>(Clamp255(green));
    s.bright_blue = static_cast<uint8_t>(Clamp255(blue));
    ColorStateChanged();
    return 0;
}

int SetDrawBrightnessColor(uint32_t rgb) {
    return SetDrawBrightness(static_cast<int>((rgb >> 16) & 0xFF), static_cast<int>((rgb >> 8) & 0xFF),
                             static_cast<int>(rgb & 0xFF));
}

int SetTransparentColor(int red, int green, int blue) {
    if (Host().ScreenColorBits() == 8) {
        return 0;
    }
    g_settings.transparent_color = (static_cast<uint32_t>(red & 0xFF) << 16) |
                                   (static_cast<uint32_t>(green & 0xFF) << 8) | static_cast<uint32_t>(blue & 0xFF);
    return 0;
}

int SetUse3DFlag(int flag) {
    g_settings.use_3d = flag;
    if (!Host().DirectDrawExists()) {
        Host().SetSoftwareRenderRequest(flag == 0);
    }
    return 0;
}

int GetUse3DFlag() {
    return g_settings.use_3d == 1 && Host().Direct3DReady() && !Host().SoftwareRendering() ? 1 : 0;
}

int SetGraphRestoreCallback(GraphRestoreCallback callback) {
    g_settings.restore_callback = callback;
    return 0;
}

int CheckRestoreGraphCallback() { return g_settings.restore_callback != nullptr ? 1 : 0; }

int SetFlipVSyncWaitFlag(int flag) {
    g_settings.vsync_off = flag == 0 ? 1 : 0;
    return 0;
}

int GetFlipVSyncWaitFlag() { return g_settings.vsync_off == 0 ? 1 : 0; }

int SetBlendGraph(int graph, int border_param, int border_range) {
    DrawSettings& s = g_settings;
    if (s.blend_graph == graph && s.blend_border_param == border_param && s.blend_border_range == border_range) {
        return 0;
    }
    if (graph != -1 && GetGraphData(graph) == nullptr) {
        return -1;
    }
    WaitIfInactive();
    s.blend_graph = graph;
    s.blend_border_param = Clamp255(border_param);
    s.blend_border_range = Clamp255(border_range);
    if (Host().Direct3DReady()) {
        Direct3DPath().BlendGraphChanged();
    }
    TwoDPath().BlendGraphChanged();
    return 0;
}

int GetScreenModeInfo(int* width, int* height, int* color_bits) {
    const GraphicsHost& host = Host();
    const int w = host.ScreenWidth();
    const int h = host.ScreenHeight();
    const int bits = host.ScreenColorBits();
    if (width != nullptr) {
        *width = w == 0 ? 640 : w;
    }
    if (height != nullptr) {
        *height = h == 0 ? 480 : h;
    }
    if (color_bits != nullptr) {
        *color_bits = bits == 0 ? 16 : bits;
    }
    return 0;
}

int SetDrawScreenWindowRect(const Rect& rect) {
    g_settings.window_placement = rect;
    return 0;
}

int SetCreateGraphColorDepth(int depth) {
    g_settings.new_graph_color_depth = depth;
    return 0;
}
int GetCreateGraphColorDepth() { return g_settings.new_graph_color_depth; }
int SetCreateDrawValidGraph(int flag) {
    g_settings.create_draw_valid = flag;
    return 0;
}
int GetCreateDrawValidGraph() { return g_settings.create_draw_valid; }
int SetUseAlphaTestFlag(int flag) {
    g_settings.alpha_test = flag;
    return 0;
}
int GetUseAlphaTestFlag() { return g_settings.alpha_test; }
int SetEmptyGraphAlpha(int flag) {
    g_settings.empty_graph_alpha = flag;
    return 0;
}
int GetEmptyGraphAlpha() { return g_settings.empty_graph_alpha; }
int SetUseTextureManageFlag(int flag) {
    g_settings.texture_setting = flag;
    return 0;
}
int GetUseTextureManageFlag() { return g_settings.texture_setting; }
int SetUseSystemMemGraph(int flag) {
    g_settings.system_memory = Host().DirectDrawOff() ? 1 : flag;
    return 0;
}
int SetUseVideoMemGraph(int flag) {
    g_settings.system_memory = (Host().DirectDrawOff() || flag != 1) ? 1 : 0;
    return 0;
}
int GetUseSystemMemGraph() { return g_settings.system_memory; }
int SetGraphOption(uint32_t option) {
    g_settings.graph_option = option;
    return 0;
}
uint32_t GetGraphOption() { return g_settings.graph_option; }

namespace {

int StoreMatrix(Matrix* slot, int* set_flag, int kind, const Matrix& matrix) {
    *slot = matrix;
    g_settings.combined_valid = 0;
    UpdateCombinedMatrix();
    if (Host().Direct3DReady()) {
        Direct3DPath().MatrixChanged(kind, matrix);
        *set_flag = 1;
    }
    TwoDPath().SetDrawArea(g_settings.draw_area);
    return 0;
}

}  // namespace

int SetWorldMatrix(const Matrix& matrix) { return StoreMatrix(&g_settings.world, &g_settings.world_set, 0, matrix); }
int SetViewMatrix(const Matrix& matrix) {
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) {
            g_settings.view_rotation[r * 3 + c] = matrix.m[c * 4 + r];
        }
    }
    return StoreMatrix(&g_settings.view, &g_settings.view_set, 1, matrix);
}
int SetProjectionMatrix(const Matrix& matrix) {
    return StoreMatrix(&g_settings.projection, &g_settings.projection_set, 2, matrix);
}

int UpdateCombinedMatrix() {
    DrawSettings& s = g_settings;
    if (s.combined_valid != 0) {
        return 0;
    }
    Matrix a, b;
    MultiplyInto(&a, s.world, s.view);
    MultiplyInto(&b, a, s.projection);
    MultiplyInto(&s.combined, b, s.viewport);
    s.combined_valid = 1;
    return 0;
}

int ResetScreenPresentCount() {
    g_settings.present_count = 0;
    return 0;
}
int CountScreenPresent() {
    ++g_settings.present_count;
    return 0;
}
uint64_t GetScreenPresentCount() { return g_settings.present_count; }

int CreateLight() {
    if (Lights().full()) {
        return -1;
    }
    void* block = VELK_CALLOC(sizeof(LightData));
    if (block == nullptr) {
        GraphicsFatalError(graphics_log::kLogLightMemoryFailed);
    }
    auto* light = new (block) LightData{};
    g_settings.light_changed = 1;
    return Lights().Add(light);
}

int CreateDirectionalLight(const Vector& direction) {
    const int handle = CreateLight();
    LightData* light = GetLightData(handle);
    if (light == nullptr) {
        return -1;
    }
    light->parameters.type = 3;
    const float length =
        std::sqrt(direction.x * direction.x + direction.y * direction.y + direction.z * direction.z);
    if (length > 0.0f) {
        light->parameters.direction = Vector{direction.x / length, direction.y / length, direction.z / length};
    }
    return handle;
}

LightData* GetLightData(int handle) { return Lights().Get(handle); }

int DeleteLight(int handle) {
    LightData* light = Lights().Remove(handle);
    if (light == nullptr) {
        return -1;
    }
    light->~LightData();
    MemFree(light);
    g_settings.light_changed = 1;
    return 0;
}

int DeleteAllLights() {
    for (int slot = Lights().end() - 1; slot >= 0; --slot) {
        if (LightData* light = Lights().AtSlot(slot)) {
            DeleteLight(light->handle);
        }
    }
    g_settings.default_light = -1;
    return 0;
}

}  // namespace velk
