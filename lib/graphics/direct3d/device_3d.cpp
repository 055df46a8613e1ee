#include "lib/graphics/direct3d/device_3d.h"

#include "lib/core/log.h"
#include "lib/graphics/direct3d/direct3d_log_texts.h"
#include "lib/graphics/direct3d/render_state_3d.h"
#include "lib/graphics/direct3d/surface_3d.h"
#include "lib/graphics/draw_settings.h"
#include "lib/graphics/screen/screen_state.h"
#include "lib/graphics/screen/surface_data.h"

namespace velk {

namespace {

using platform::DdPixelFormat;

Direct3DContext g_context;
std::array<Device3D, kDevice3DSlots> g_devices;

std::shared_ptr<platform::DdSurface> Shared(platform::DdSurface* surface) {
    return surface != nullptr ? surface->shared_from_this() : nullptr;
}

uint32_t AddressSetting() {
    const int address = GetDrawSettings().d3d_state[0];
    return address == 0 ? platform::kAddressClamp : static_cast<uint32_t>(address);
}

bool SameFormat(const DdPixelFormat& a, const DdPixelFormat& b) {
    return a.rgb_bit_count == b.rgb_bit_count && a.red_mask == b.red_mask && a.green_mask == b.green_mask &&
           a.blue_mask == b.blue_mask && a.alpha_mask == b.alpha_mask;
}

int Width(uint32_t mask) { return std::popcount(mask); }

void LogFormats() {
    Direct3DContext& c = g_context;
    IncreaseLogIndent();
    WriteLogFormat(direct3d_log::kTextureSizes, static_cast<unsigned>(c.max_texture_size),
                   static_cast<unsigned>(c.min_texture_size));
    WriteLogFormat(direct3d_log::kTextureCaps, (c.description.texture_caps & platform::kD3dTextureCapsPow2) != 0 ? 1 : 0,
                   (c.description.texture_caps & platform::kD3dTextureCapsSquareOnly) != 0 ? 1 : 0);
    WriteLogFormat(direct3d_log::kStageCounts, c.description.max_texture_blend_stages,
                   c.description.max_simultaneous_textures);
    if (c.description.max_texture_blend_stages < 4) WriteLog(direct3d_log::kFewStages);
    WriteLog(direct3d_log::kTextureFormats);
    WriteLog(direct3d_log::kPlainFormats);
    for (int slot = 0; slot < 2; ++slot) {
        const DdPixelFormat& f = c.formats[slot];
        WriteLogFormat(direct3d_log::kPlainFormatBits, f.rgb_bit_count, Width(f.red_mask), Width(f.green_mask),
                       Width(f.blue_mask));
        WriteLogFormat(direct3d_log::kPlainFormatMasks, f.red_mask, f.green_mask, f.blue_mask);
    }
    WriteLog(direct3d_log::kAlphaFormats);
    for (int slot = 2; slot < 4; ++slot) {
        const DdPixelFormat& f = c.formats[slot];
        WriteLogFormat(direct3d_log::kAlphaFormatBits, f.rgb_bit_count, Width(f.alpha_mask), Width(f.red_mask),
                       Width(f.green_mask), Width(f.blue_mask));
        WriteLogFormat(direct3d_log::kAlphaFormatMasks, f.alpha_mask, f.red_mask, f.green_mask, f.blue_mask);
    }
    DecreaseLogIndent();
}

void CopySlot(int to, int from) {
    if (g_context.formats[to].rgb_bit_count != 0) return;
    g_context.formats[to] = g_context.formats[from];
    g_context.format_colors[to] = g_context.format_colors[from];
}

// Fills the nine texture-format slots from the device's list; false when it
// offers no plain 16-bit format.
bool ChooseTextureFormats(platform::D3dDevice& device) {
    Direct3DContext& c = g_context;
    c.formats = {};
    c.format_colors = {};
    bool found = false;
    const DdPixelFormat& display = Screen().display_format;
    auto fill = [&](int slot, const DdPixelFormat& f, const ColorData& color, bool prefer_display) {
        if (c.formats[slot].rgb_bit_count != 0 && !(prefer_display && SameFormat(f, display))) return;
        c.formats[slot] = f;
        c.format_colors[slot] = color;
    };
    device.EnumTextureFormats([&](const DdPixelFormat& f) {
        if ((f.flags & 0xE0000) != 0 || (f.flags & platform::kPixelFormatFourCc) != 0 ||
            (f.flags & 0x2) != 0)  // luminance, bump map, FourCC, alpha-only
            return true;
        ColorData color;
        CreateColorDataFromPixelFormat(&f, &color);
        if ((f.flags & platform::kPixelFormatAlphaPixels) != 0) {
            if (f.alpha_mask == 0xF000) {
                fill(2, f, color, false);
            } else if (f.alpha_mask == 0xFF000000) {
                fill(3, f, color, false);
                fill(5, f, color, false);
            } else if (f.alpha_mask == 0x8000) {
                fill(4, f, color, false);
            }
        } else if (f.rgb_bit_count == 16) {
            fill(0, f, color, true);
            found = true;
        } else if (f.rgb_bit_count == 32) {
            fill(1, f, color, true);
        }
        return true;
    });
    if (!found) return false;
    CopySlot(1, 0);
    CopySlot(3, 2);
    CopySlot(4, 2);
    CopySlot(5, 3);
    CopySlot(6, 0);
    CopySlot(7, 1);
    CopySlot(8, 3);
    return true;
}

void ReleaseObject() { g_context.object.reset(); }

}  // namespace

Direct3DContext& D3D() { return g_context; }
Device3D& DeviceRecord(int handle) { return g_devices[static_cast<size_t>(handle) % kDevice3DSlots]; }

Device3D* CurrentDevice3D() {
    if (!g_context.object) return nullptr;
    Device3D& d = DeviceRecord(g_context.current_device);
    return d.in_use != 0 && d.device ? &d : nullptr;
}

bool Direct3DUsable() { return CurrentDevice3D() != nullptr; }

int InitializeDirect3D() {
    Direct3DContext& c = g_context;
    if (c.object) return -1;
    WriteLog(direct3d_log::kInitStart);
    c = Direct3DContext{};
    WriteLog(direct3d_log::kObjectGet);
    if (platform::CreateDirect3D(&c.object) != platform::kDdOk) return WriteLog(direct3d_log::kObjectFailed);
    WriteLog(direct3d_log::kObjectGot);

    bool found = false;
    const int bits = Screen().display_bits;
    c.object->EnumDevices([&](const platform::D3dDeviceDesc& desc) {
        if (desc.device != platform::kD3dDeviceHal && desc.device != platform::kD3dDeviceTnLHal) return true;
        const uint32_t needed = bits == 16 ? platform::kDdbd16 : bits == 32 ? platform::kDdbd32 : 0;
        if (needed == 0 || (desc.render_bit_depths & needed) == 0) return true;
        found = true;
        c.description = desc;
        if (desc.device == platform::kD3dDeviceHal) {
            WriteLog(direct3d_log::kHalFound);
            return true;
        }
        WriteLog(direct3d_log::kTnLHalFound);
        c.hardware_tnl = 1;
        return false;
    });
    if (!found) {
        WriteLog(direct3d_log::kNoDevice);
        ReleaseObject();
        return -1;
    }
    bool z_found = false;
    c.object->EnumZBufferFormats(platform::kD3dDeviceHal, [&](const DdPixelFormat& f) {
        if (f.flags == platform::kPixelFormatZBuffer && f.rgb_bit_count == 16) {
            c.z_format = f;
            z_found = true;
            return false;
        }
        return true;
    });
    if (!z_found) WriteLog(direct3d_log::kNoZBuffer);

    const std::shared_ptr<platform::DdSurface> main = Shared(GetMainDrawSurface());
    const int device = main ? CreateDevice3D(main) : -1;
    if (device < 0) {
        ReleaseObject();
        return -1;
    }
    c.current_device = device;
    Device3D& d = DeviceRecord(device);
    d.render_target = main;

    const uint32_t address = AddressSetting();
    for (int stage = 3; stage >= 1; --stage) d.device->SetTextureStageState(stage, platform::kTssAddress, address);
    if (d.device->SetTextureStageState(0, platform::kTssAddress, address) != platform::kDdOk) {
        DeleteAllDevices3D();
        ReleaseObject();
        return -1;
    }
    if (!ChooseTextureFormats(*d.device)) {
        WriteLog(direct3d_log::kNoTextureFormat);
        DeleteAllDevices3D();
        ReleaseObject();
        return -1;
    }
    c.end_scene_each_draw = 1;
    const auto& desc = c.description;
    const uint32_t min_size = std::min(desc.min_texture_width, desc.min_texture_height);
    const uint32_t max_size = std::min(desc.max_texture_width, desc.max_texture_height);
    c.min_texture_size = min_size == 0 ? 32 : static_cast<int>(min_size);
    c.max_texture_size = max_size == 0 ? 256 : static_cast<int>(max_size);
    if (desc.max_texture_blend_stages < 4) {
        platform::DdSurfaceDesc work;
        work.flags = platform::kDdsdCaps | platform::kDdsdWidth | platform::kDdsdHeight | platform::kDdsdPixelFormat;
        work.width = work.height = 256;
        work.caps = platform::kDdsCapsTexture | platform::kDdsCaps3DDevice;
        work.pixel_format = c.formats[8];
        if (Screen().device) Screen().device->CreateSurface(work, &c.blend_work_texture);
        c.blend_work_attempted = 1;
    }
    c.read_back_memory[0] = c.read_back_memory[1] = -1;
    c.draws_disabled = 0;
    SetTexturePixelFormats(c.formats.data());
    LogFormats();
    WriteLog(direct3d_log::kInitDone);
    c.ready = 1;
    UpdateDrawColorD3D();
    return 0;
}

int TerminateDirect3D() {
    Direct3DContext& c = g_context;
    if (!c.object) return -1;
    WriteLog(direct3d_log::kTermStart);
    EndSceneD3D();
    c.end_scene_each_draw = 0;
    Device3D& d = DeviceRecord(c.current_device);
    if (d.pending_texture || d.force != 0) {
        FlushVertexBufferDevice3D(d);
        d.texture_dirty = 1;
        if (d.pending_texture) d.program_dirty = 1;
        d.pending_texture.reset();
    }
    DeleteAllSurface3DData();
    DeleteAllDevices3D();
    c.blend_work_texture.reset();
    ReleaseObject();
    SetTexturePixelFormats(nullptr);
    WriteLog(direct3d_log::kTermDone);
    c.ready = 0;
    return 0;
}

int ReleaseDirect3DObject() {
    Direct3DContext& c = g_context;
    if (c.ready == 0) return -1;
    DeleteDevice3D(c.current_device);
    WriteLog(direct3d_log::kObjectRelease);
    if (c.object) {
        ReleaseObject();
        WriteLog(direct3d_log::kObjectReleased);
    } else {
        WriteLog(direct3d_log::kObjectAlreadyReleased);
    }
    return 0;
}

int AcquireDirect3DObject() {
    Direct3DContext& c = g_context;
    if (c.ready == 0) return 0;
    WriteLog(direct3d_log::kObjectGet);
    if (c.object) {
        WriteLog(direct3d_log::kObjectAlreadyGot);
        return 0;
    }
    if (platform::CreateDirect3D(&c.object) != platform::kDdOk) return WriteLog(direct3d_log::kObjectFailed);
    WriteLog(direct3d_log::kObjectGotAgain);
    Device3D& d = DeviceRecord(c.current_device);
    d.creation_surface = Shared(GetMainDrawSurface());
    platform::DdSurface* target = GetDrawTargetSurface();
    d.render_target = target != nullptr ? Shared(target) : d.creation_surface;
    return RestoreDevice3D(c.current_device);
}

int CreateDevice3D(std::shared_ptr<platform::DdSurface> surface) {
    Direct3DContext& c = g_context;
    if (!c.object || !surface) return -1;
    int slot = -1;
    for (int i = 0; i < kDevice3DSlots; ++i) {
        if (g_devices[i].in_use == 0) {
            slot = i;
            break;
        }
    }
    if (slot < 0) return -1;
    Device3D& d = g_devices[slot];
    d = Device3D{};
    WriteLog(direct3d_log::kDeviceCreate);
    if (c.object->CreateDevice(c.description.device, surface, &d.device) != platform::kDdOk) {
        WriteLog(direct3d_log::kDeviceCreateFailed);
        return -1;
    }
    d.vertices0.assign(kUntexturedCapacity, platform::VertexUntextured{0, 0, 0, 1.0f, 0});
    d.vertices1.assign(kOneTextureCapacity, platform::VertexOneTexture{0, 0, 0, 1.0f, 0, 0, 0});
    d.vertices2.assign(kTwoTextureCapacity, platform::VertexTwoTextures{0, 0, 0, 1.0f, 0, 0xFFFFFFFF, 0, 0, 0, 0});
    const uint32_t address = AddressSetting();
    for (int stage = 0; stage < platform::kD3dStages; ++stage) {
        d.device->SetTextureStageState(stage, platform::kTssAddress, address);
        d.device->SetTextureStageState(stage, platform::kTssMagFilter, platform::kFilterPoint);
        d.device->SetTextureStageState(stage, platform::kTssMinFilter, platform::kFilterPoint);
        d.device->SetTextureStageState(stage, platform::kTssMipFilter, platform::kFilterPoint);
    }
    d.device->SetRenderState(platform::kRsColorKeyBlendEnable, 0);
    d.device->SetRenderState(platform::kRsCullMode, platform::kCullNone);
    d.device->SetRenderState(platform::kRsLighting, 0);
    d.device->SetRenderState(platform::kRsTexturePerspective, 0);
    d.device->SetRenderState(platform::kRsShadeMode, platform::kShadeFlat);
    d.device->SetRenderState(platform::kRsColorKeyEnable, 0);
    d.device->SetRenderState(platform::kRsDitherEnable, 0);
    d.texture_address = address;
    d.in_use = 1;
    d.creation_surface = surface;
    d.render_target = surface;
    ReapplyDeviceState3D(d);
    WriteLog(direct3d_log::kDeviceCreated);
    return slot;
}

int DeleteDevice3D(int handle) {
    if (handle < 0 || handle >= kDevice3DSlots) return -1;
    Device3D& d = g_devices[handle];
    ReleaseAllSurface3DTextures();
    d.pending_texture.reset();
    d.blend_texture.reset();
    for (StageCache3D& s : d.stages) s.texture.reset();
    d.in_scene = 0;
    d.vertex_count = 0;
    d.device.reset();
    WriteLog(direct3d_log::kDeviceDeleted);
    return 0;
}

int DeleteAllDevices3D() {
    for (Device3D& d : g_devices) {
        if (d.in_use == 0) continue;
        d = Device3D{};
        WriteLog(direct3d_log::kDeviceSlotDeleted);
    }
    return 0;
}

int RestoreDevice3D(int handle) {
    if (handle < 0 || handle >= kDevice3DSlots || !g_context.object) return -1;
    Device3D& d = g_devices[handle];
    if (d.device) return 0;
    WriteLog(direct3d_log::kDeviceCreate);
    if (!d.creation_surface ||
        g_context.object->CreateDevice(g_context.description.device, d.creation_surface, &d.device) !=
            platform::kDdOk) {
        WriteLog(direct3d_log::kDeviceCreateFailed);
        return -1;
    }
    d.device->SetRenderState(platform::kRsDitherEnable, 0);
    WriteLog(direct3d_log::kDeviceCreated);
    d.force = 1;
    if (d.render_target && d.render_target != d.creation_surface) d.device->SetRenderTarget(d.render_target);
    d.pending_texture.reset();
    d.vertex_count = 0;
    ReapplyDeviceState3D(d);
    d.force = 1;
    d.program_dirty = 1;
    ApplyTextureStagesD3D(d);
    RecreateAllSurface3DTextures();
    d.force = 0;
    return 0;
}

int SetRenderTargetD3D(std::shared_ptr<platform::DdSurface> surface, int handle) {
    Device3D& d = DeviceRecord(handle);
    if (!d.device) return -1;
    if (surface == d.render_target && d.force == 0) return 0;
    if (surface) {
        FlushVertexBufferDevice3D(d);
        d.device->SetRenderTarget(surface);
        d.render_target = std::move(surface);
    } else if (d.render_target) {
        FlushVertexBufferDevice3D(d);
        d.device->SetRenderTarget(d.creation_surface);
        d.render_target = d.creation_surface;
    }
    return 0;
}

int BeginSceneD3D(int handle) {
    Device3D& d = DeviceRecord(handle);
    if (!d.device) return -1;
    if (d.in_scene != 0) return 0;
    d.device->BeginScene();
    d.in_scene = 1;
    return 0;
}

int EndSceneDevice3D(int handle) {
    Device3D& d = DeviceRecord(handle);
    if (!d.device || d.in_scene == 0) return 0;
    FlushVertexBufferDevice3D(d);
    d.device->EndScene();
    d.in_scene = 0;
    return 0;
}

int EndSceneD3D() {
    if (!g_context.object) return -1;
    return EndSceneDevice3D(g_context.current_device);
}

platform::D3dDevice* GetDevice3DInterface() {
    Device3D* d = CurrentDevice3D();
    return d != nullptr ? d->device.get() : nullptr;
}

int TextureFormatSlot(const TextureCreateParams& p) {
    const int wide = p.color_depth == 32 ? 1 : 0;
    if (p.draw_valid != 0) return (p.alpha_channel != 0 || p.alpha_test != 0) ? 8 : 6 + wide;
    if (p.alpha_channel != 0) return 2 + wide;
    if (p.alpha_test == 0) return wide;
    return 4 + wide;
}

const ColorData* GetTextureColorData(const TextureCreateParams& params) {
    return &g_context.format_colors[TextureFormatSlot(params)];
}

const ColorData* GetTextureColorDataByFlags(int alpha_channel, int alpha_test, int wide, int draw_valid) {
    TextureCreateParams p;
    p.alpha_channel = alpha_channel;
    p.alpha_test = alpha_test;
    p.color_depth = wide != 0 ? 32 : 16;
    p.draw_valid = draw_valid;
    return GetTextureColorData(p);
}

const platform::DdPixelFormat* GetTextureFormatPixelFormat(int slot) {
    if (slot < 0 || slot >= kTextureFormatSlots) return nullptr;
    return &g_context.formats[slot];
}

const ColorData* GetTextureFormatColorData(int slot) {
    if (slot < 0 || slot >= kTextureFormatSlots) return nullptr;
    return &g_context.format_colors[slot];
}

const platform::DdPixelFormat* GetZBufferPixelFormat() { return &g_context.z_format; }

}  // namespace velk
