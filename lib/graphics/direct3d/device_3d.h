#pragma once
// The Direct3D side's state: the context (the Direct3D object, the chosen
// device's description, the texture formats, the flags every Direct3D
// operation reads) and the device records with their cached render states,
// texture-stage states and vertex batch. Start-up, shut-down, the loss
// cycle and the scene bracket live here; the state setters in
// render_state_3d.h.

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "lib/core/math.h"
#include "lib/image/color_data.h"
#include "platform/direct3d/d3d_device.h"
#include "platform/display/display_surface.h"

namespace velk {

inline constexpr int kDevice3DSlots = 4;
inline constexpr int kTextureFormatSlots = 9;
inline constexpr int kUntexturedCapacity = 3225;
inline constexpr int kOneTextureCapacity = 2340;
inline constexpr int kTwoTextureCapacity = 1638;

struct StageCache3D {
    std::shared_ptr<platform::DdSurface> texture;
    uint16_t alpha_arg1 = 2, alpha_arg2 = 0, alpha_op = 1, color_arg1 = 2, color_arg2 = 0, color_op = 1;
    uint32_t mag_filter = 1, min_filter = 1, mip_filter = 1;
};

struct Surface3DData;

struct Device3D {
    int in_use = 0;
    std::unique_ptr<platform::D3dDevice> device;
    std::shared_ptr<platform::DdSurface> creation_surface;
    std::shared_ptr<platform::DdSurface> render_target;

    std::shared_ptr<platform::DdSurface> pending_texture;
    std::shared_ptr<platform::DdSurface> blend_texture;
    int blend_border_param = -1;
    int blend_border_range = 0;
    int diffuse_use = 0, alpha_use = 0, blend_mode = 0, trans_a = 0, trans_b = 0;
    int program_dirty = 1, texture_dirty = 0, skip_draw = 0, force = 0;

    uint32_t alpha_test_enable = 0, alpha_ref = 0, alpha_func = 0, alpha_blend_enable = 0;
    uint32_t diffuse_material_source = 0, specular_material_source = 0, specular_enable = 0;
    uint32_t texture_factor = 0, src_blend = 0, dest_blend = 0;
    int stages_in_use = 0;
    std::array<StageCache3D, platform::kD3dStages> stages;

    int in_scene = 0;
    int draw_mode = 0;
    uint32_t z_enable = 1, z_write = 0, z_func = 4, z_bias = 0, shade_mode = 1, cull = 0, texture_address = 3;
    uint32_t fog_enable = 0, perspective = 0, lighting = 0, color_key_enable = 0;
    Rect viewport{};

    int vertex_count = 0;
    int vertex_type = 1;
    uint32_t primitive = platform::kPrimitiveTriangleList;
    std::vector<platform::VertexUntextured> vertices0;
    std::vector<platform::VertexOneTexture> vertices1;
    std::vector<platform::VertexTwoTextures> vertices2;

    const Surface3DData* last_texture = nullptr;
    int last_flags = 0;
};

struct Direct3DContext {
    std::unique_ptr<platform::D3dObject> object;
    int current_device = 0;
    int hardware_tnl = 0;
    platform::D3dDeviceDesc description;
    int min_texture_size = 0;
    int max_texture_size = 0;
    std::array<platform::DdPixelFormat, kTextureFormatSlots> formats{};
    std::array<ColorData, kTextureFormatSlots> format_colors{};
    platform::DdPixelFormat z_format;
    std::shared_ptr<platform::DdSurface> blend_work_texture;
    int blend_work_attempted = 0;
    int end_scene_each_draw = 0;
    int draws_disabled = 0;
    int read_back_memory[2] = {-1, -1};
    int ready = 0;
    // The draw colour: brightness in RGB, the blend parameter (255 without
    // blending) in alpha.
    uint32_t draw_color = 0xFFFFFFFF;
    // The blend graph's texture size and its reciprocals.
    float blend_width = 0, blend_height = 0, blend_width_inv = 0, blend_height_inv = 0;
};

Direct3DContext& D3D();
Device3D& DeviceRecord(int handle);
// The current device while Direct3D and its device exist, else null.
Device3D* CurrentDevice3D();

int InitializeDirect3D();
int TerminateDirect3D();
int ReleaseDirect3DObject();
int AcquireDirect3DObject();
int CreateDevice3D(std::shared_ptr<platform::DdSurface> surface);
int DeleteDevice3D(int handle);
int DeleteAllDevices3D();
int RestoreDevice3D(int handle);
int SetRenderTargetD3D(std::shared_ptr<platform::DdSurface> surface, int handle);
int BeginSceneD3D(int handle);
int EndSceneDevice3D(int handle);
int EndSceneD3D();
platform::D3dDevice* GetDevice3DInterface();

struct TextureCreateParams {
    int alpha_channel = 0;
    int draw_valid = 0;
    int alpha_test = 0;
    int color_depth = 16;
};
int TextureFormatSlot(const TextureCreateParams& params);
const ColorData* GetTextureColorData(const TextureCreateParams& params);
const ColorData* GetTextureColorDataByFlags(int alpha_channel, int alpha_test, int wide, int draw_valid);
// A slot's format and its descriptor; null for a slot outside the nine.
const platform::DdPixelFormat* GetTextureFormatPixelFormat(int slot);
const ColorData* GetTextureFormatColorData(int slot);
// The 16-bit depth format found at start-up (zeroed when there was none).
const platform::DdPixelFormat* GetZBufferPixelFormat();

// Whether Direct3D can draw now (the object and the current device exist).
bool Direct3DUsable();

}  // namespace velk
