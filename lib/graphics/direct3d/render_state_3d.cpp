#include "lib/graphics/direct3d/render_state_3d.h"

#include <array>

#include "lib/core/log.h"
#include "lib/core/window/main_window.h"
#include "lib/graphics/direct3d/direct3d_log_texts.h"
#include "lib/graphics/direct3d/surface_3d.h"
#include "lib/graphics/draw_settings.h"
#include "lib/graphics/screen/surface_data.h"

namespace velk {

namespace {

using namespace platform;

constexpr BlendTableRow kBlendTable[12] = {
    {-1, -1, 0},
    {kBlendInvSrcAlpha, kBlendSrcAlpha, 0},
    {kBlendOne, kBlendSrcAlpha, 0},
    {kBlendZero, kBlendInvDestColor, 0},
    {kBlendSrcColor, kBlendZero, 0},
    {kBlendOne, kBlendSrcAlpha, 0},
    {-1, -1, 0},
    {-1, -1, 0},
    {kBlendOne, kBlendZero, 0},
    {kBlendZero, kBlendInvDestColor, 0},
    {kBlendInvSrcAlpha, kBlendSrcAlpha, 2},
    {kBlendSrcColor, kBlendZero, 1},
};

constexpr int16_t T = kTaTexture, D = kTaDiffuse, C = kTaCurrent, F = kTaTFactor, S = kTaSpecular;
constexpr int16_t NT = kTaTexture | kTaComplement, ND = kTaDiffuse | kTaComplement;

// alpha op(a1, a2), colour op(c1, c2)
StageProgramStage Stage(int alpha_op, int16_t a1, int16_t a2, int color_op, int16_t c1, int16_t c2) {
    return StageProgramStage{a1, a2, static_cast<int16_t>(alpha_op), c1, c2, static_cast<int16_t>(color_op)};
}

StageProgramStage GraphColor(int d, int alpha_op, int16_t a1, int16_t a2, int16_t texture = T) {
    return d != 0 ? Stage(alpha_op, a1, a2, kTopModulate, texture, D) : Stage(alpha_op, a1, a2, kTopSelectArg1, texture, D);
}

StageProgram MakeProgram(int t, int a, int d, int b, int k) {
    StageProgram p;
    if (b == 0) {
        const int16_t color_texture = k == 2 ? NT : T;
        if (t == 0) {
            p.stages[0] = GraphColor(d, kTopSelectArg2, T, D, color_texture);
        } else if (a == 0) {
            p.stages[0] = GraphColor(d, kTopSelectArg1, T, D, color_texture);
        } else {
            p.stages[0] = GraphColor(d, kTopModulate, T, D, color_texture);
        }
        p.stage_count = 1;
        if (k == 1) {
            p.stages[1] = Stage(kTopSelectArg1, C, D, kTopBlendCurrentAlpha, C, F);
            p.stage_count = 2;
        }
        return p;
    }
    // The blend graph samples stage 0; its alpha against the factor decides
    // how much of the graph shows.
    p.stages[0] = Stage(kTopAdd, T, F, kTopSelectArg2, T, D);
    if (t == 0) {
        p.stages[1] = GraphColor(d, kTopModulate, C, D);
        p.stage_count = 2;
    } else if (t == 1) {
        p.stages[1] = Stage(kTopModulate, S, C, kTopSelectArg1, C, D);
        p.stages[2] = GraphColor(d, kTopModulate, T, C);
        p.stage_count = 3;
        if (a != 0) p.stages[p.stage_count++] = Stage(kTopModulate, D, C, kTopSelectArg1, C, D);
    } else {
        p.stages[1] = GraphColor(d, kTopModulate, T, C);
        p.stage_count = 2;
        if (a != 0) p.stages[p.stage_count++] = Stage(kTopModulate, D, C, kTopSelectArg1, C, D);
    }
    return p;
}

const std::array<StageProgram, kStageProgramCount>& Programs() {
    static const std::array<StageProgram, kStageProgramCount> programs = [] {
        std::array<StageProgram, kStageProgramCount> all{};
        for (int k = 0; k < 3; ++k)
            for (int b = 0; b < 2; ++b)
                for (int d = 0; d < 2; ++d)
                    for (int a = 0; a < 2; ++a)
                        for (int t = 0; t < 3; ++t) {
                            // Colour kinds 1 and 2 with a blend graph are never chosen.
                            if (b == 1 && k != 0) continue;
                            all[StageProgramIndex(t, a, d, b, k)] = MakeProgram(t, a, d, b, k);
                        }
        return all;
    }();
    return programs;
}

bool Live(const Device3D& d) { return D3D().object && d.device; }

int SendRenderState(Device3D& d, uint32_t state, uint32_t* cache, uint32_t value) {
    if (!Live(d)) return -1;
    if (*cache == value && d.force == 0) return 0;
    FlushVertexBufferDevice3D(d);
    const DdResult result = d.device->SetRenderState(state, value);
    *cache = value;
    return result == kDdOk ? 0 : -1;
}

uint32_t FormatOfType(int type) {
    return type == 0 ? kFvfUntextured : type == 1 ? kFvfOneTexture : kFvfTwoTextures;
}

int CapacityOfType(int type) {
    return type == 0 ? kUntexturedCapacity : type == 1 ? kOneTextureCapacity : kTwoTextureCapacity;
}

void SendStageState(Device3D& d, int stage, uint32_t state, uint16_t* cache, int16_t value) {
    if (value == -1) return;
    const auto v = static_cast<uint16_t>(value);
    if (*cache == v && d.force == 0) return;
    d.device->SetTextureStageState(static_cast<uint32_t>(stage), state, v);
    *cache = v;
}

}  // namespace

const BlendTableRow& BlendRow(int mode) { return kBlendTable[(mode >= 0 && mode < 12) ? mode : 0]; }

int StageProgramIndex(int t, int a, int d, int b, int k) { return t + 3 * a + 6 * d + 12 * b + 24 * k; }

const StageProgram& GetStageProgram(int index) { return Programs()[static_cast<size_t>(index) % kStageProgramCount]; }

int SetPerspectiveD3D(Device3D& d, uint32_t v) { return SendRenderState(d, kRsTexturePerspective, &d.perspective, v); }
int SetColorKeyEnableD3D(Device3D& d, uint32_t v) { return SendRenderState(d, kRsColorKeyEnable, &d.color_key_enable, v); }
int SetZEnableD3D(Device3D& d, uint32_t v) { return SendRenderState(d, kRsZEnable, &d.z_enable, v == 1 ? 1 : 0); }
int SetZWriteEnableD3D(Device3D& d, uint32_t v) { return SendRenderState(d, kRsZWriteEnable, &d.z_write, v); }
int SetZFuncD3D(Device3D& d, uint32_t v) { return SendRenderState(d, kRsZFunc, &d.z_func, v); }
int SetZBiasD3D(Device3D& d, uint32_t v) { return SendRenderState(d, kRsZBias, &d.z_bias, v); }
int SetShadeModeD3D(Device3D& d, uint32_t v) { return SendRenderState(d, kRsShadeMode, &d.shade_mode, v); }
int SetFogEnableD3D(Device3D& d, uint32_t v) { return SendRenderState(d, kRsFogEnable, &d.fog_enable, v); }
int SetLightingD3D(Device3D& d, uint32_t v) { return SendRenderState(d, kRsLighting, &d.lighting, v); }

int SetCullModeD3D(Device3D& d, uint32_t flag) {
    if (!Live(d)) return -1;
    if (d.cull == flag && d.force == 0) return 0;
    FlushVertexBufferDevice3D(d);
    d.device->SetRenderState(kRsCullMode, flag != 0 ? kCullCcw : kCullNone);
    d.cull = flag;
    return 0;
}

int SetTextureAddressD3D(Device3D& d, uint32_t value) {
    if (!Live(d)) return -1;
    if (d.texture_address == value && d.force == 0) return 0;
    FlushVertexBufferDevice3D(d);
    for (int stage = 3; stage >= 0; --stage) d.device->SetTextureStageState(stage, kTssAddress, value);
    d.texture_address = value;
    return 0;
}

int SetFilterModeD3D(Device3D& d, int draw_mode) {
    if (!Live(d)) return -1;
    if (draw_mode != 0 && draw_mode != 1) return -1;
    const uint32_t value = draw_mode == 0 ? kFilterPoint : kFilterLinear;
    d.draw_mode = draw_mode;
    for (int stage = 0; stage < d.stages_in_use; ++stage) {
        StageCache3D& s = d.stages[stage];
        if (s.mag_filter == value && s.min_filter == value && d.force == 0) continue;
        FlushVertexBufferDevice3D(d);
        d.device->SetTextureStageState(stage, kTssMagFilter, value);
        d.device->SetTextureStageState(stage, kTssMinFilter, value);
        s.mag_filter = s.min_filter = value;
    }
    return 0;
}

int SetViewportD3D(Device3D& d, const Rect& area) {
    if (!Live(d)) return -1;
    if (d.viewport.left == area.left && d.viewport.top == area.top && d.viewport.right == area.right &&
        d.viewport.bottom == area.bottom && d.force == 0)
        return 0;
    FlushVertexBufferDevice3D(d);
    if (d.in_scene != 0) {
        d.device->EndScene();
        d.in_scene = 0;
    }
    D3dViewport v;
    v.x = static_cast<uint32_t>(area.left);
    v.y = static_cast<uint32_t>(area.top);
    v.width = static_cast<uint32_t>(area.right - area.left);
    v.height = static_cast<uint32_t>(area.bottom - area.top);
    const DdResult result = d.device->SetViewport(v);
    if (result != kDdOk) return WriteLogFormat(direct3d_log::kViewportFailed, static_cast<unsigned>(result));
    d.viewport = area;
    return 0;
}

int SetTextureD3D(Device3D& d, std::shared_ptr<DdSurface> texture) {
    if (!Live(d)) return -1;
    if (d.pending_texture == texture && d.force == 0) return 0;
    FlushVertexBufferDevice3D(d);
    if (!d.pending_texture != !texture) d.program_dirty = 1;
    d.pending_texture = std::move(texture);
    d.texture_dirty = 1;
    return 0;
}

int SetBlendTextureD3D(Device3D& d, std::shared_ptr<DdSurface> texture, int border_param, int border_range) {
    if (!Live(d)) return -1;
    FlushVertexBufferDevice3D(d);
    d.blend_texture = std::move(texture);
    if (border_param != -1) d.blend_border_param = border_param;
    if (border_range != -1) d.blend_border_range = border_range;
    d.program_dirty = 1;
    return 0;
}

int SetBlendStateD3D(Device3D& d, int blend_mode, int trans_a, int trans_b) {
    if (!Live(d)) return -1;
    if (d.blend_mode == blend_mode && d.trans_a == trans_a && d.trans_b == trans_b && d.force == 0) return 0;
    FlushVertexBufferDevice3D(d);
    d.blend_mode = blend_mode;
    d.trans_a = trans_a;
    d.trans_b = trans_b;
    d.program_dirty = 1;
    return 0;
}

int SetDiffuseUseD3D(Device3D& d, int flag) {
    if (!Live(d)) return -1;
    if (d.diffuse_use == flag && d.force == 0) return 0;
    FlushVertexBufferDevice3D(d);
    d.diffuse_use = flag;
    d.program_dirty = 1;
    return 0;
}

int SetAlphaUseD3D(Device3D& d, int flag) {
    if (!Live(d)) return -1;
    if (d.alpha_use == flag && d.force == 0) return 0;
    FlushVertexBufferDevice3D(d);
    d.alpha_use = flag;
    d.program_dirty = 1;
    return 0;
}

int ApplyTextureStagesD3D(Device3D& d) {
    if (!Live(d)) return -1;
    if (d.force == 0 && d.program_dirty == 0 && d.texture_dirty == 0) return -1;
    if (d.texture_dirty != 0 && d.program_dirty == 0 && d.force == 0) {
        const int stage = d.blend_texture ? (d.trans_a != 0 ? 2 : 1) : 0;
        d.device->SetTexture(static_cast<uint32_t>(stage), d.pending_texture);
        d.stages[stage].texture = d.pending_texture;
        d.texture_dirty = 0;
        return 0;
    }
    d.program_dirty = 0;
    d.texture_dirty = 0;
    const BlendTableRow& row = BlendRow(d.blend_mode);
    int src = row.src_blend, dest = row.dest_blend;
    bool blend_on = d.blend_mode != 0 && d.blend_mode != 6;
    uint32_t factor = 0xFFFFFFFF;
    uint32_t test_enable = d.alpha_test_enable, test_ref = d.alpha_ref, test_func = d.alpha_func;
    d.skip_draw = 0;
    StageProgram program;
    std::array<std::shared_ptr<DdSurface>, kD3dStages> textures{};
    int vertex_type;
    if (!d.pending_texture) {
        const int kind = row.color_kind;
        StageProgramStage& s = program.stages[0];
        if (d.blend_mode == 3) {
            s = Stage(kTopSelectArg2, D, D, kTopSelectArg1, D, D);
        } else if (kind == 1) {
            s = Stage(kTopSelectArg2, D, D, kTopBlendDiffuseAlpha, D, F);
        } else if (kind == 2) {
            s = Stage(kTopSelectArg2, D, D, kTopSelectArg1, ND, D);
        } else {
            s = Stage(kTopSelectArg2, D, D, kTopSelectArg2, D, D);
        }
        program.stage_count = 1;
        test_enable = 0;
        // Colour kind 1 blends towards the factor, which must be white here
        // too (a factor left by an earlier blend-graph draw would tint it).
        factor = 0xFFFFFFFF;
        vertex_type = 0;
    } else if (d.blend_texture) {
        const int t = d.trans_a != 0 ? 1 : d.trans_b != 0 ? 2 : 0;
        program = GetStageProgram(StageProgramIndex(t, d.alpha_use, d.diffuse_use, 1, 0));
        if (!blend_on) {
            src = kBlendSrcAlpha;
            dest = kBlendInvSrcAlpha;
        }
        d.skip_draw = d.blend_border_param == 255 ? 1 : 0;
        vertex_type = 2;
        textures[0] = d.blend_texture;
        textures[d.trans_a != 0 ? 2 : 1] = d.pending_texture;
        const int r = d.blend_border_range, p = d.blend_border_param;
        if (r <= 1) {
            test_enable = 1;
            test_ref = static_cast<uint32_t>(p);
            test_func = kCmpGreaterEqual;
            blend_on = false;
            factor = 0x00FFFFFF;
            if ((d.trans_a != 0 || d.trans_b != 0) && p == 0) test_ref = 1;
        } else {
            blend_on = true;
            test_enable = 0;
            int op, e, threshold, alpha, add_scale;
            if (r <= 64) {
                op = kTopModulate4x, e = 1280 - p * 1280 / 255, threshold = 1024, add_scale = 64;
            } else if (r <= 128) {
                op = kTopModulate2x, e = 768 - p * 768 / 255, threshold = 512, add_scale = 128;
            } else {
                op = kTopModulate, e = 512 - p * 512 / 255, threshold = 256, add_scale = 255;
            }
            program.stages[1].alpha_op = static_cast<int16_t>(op);
            if (e < threshold) {
                program.stages[0].alpha_op = kTopSubtract;
                alpha = 255 - e * 255 / threshold;
            } else {
                program.stages[0].alpha_op = kTopAdd;
                alpha = (e - threshold) * add_scale / 256;
            }
            factor = (static_cast<uint32_t>(alpha) << 24) | 0xFFFFFF;
        }
    } else {
        program = GetStageProgram(StageProgramIndex(d.trans_a != 0 ? 1 : d.trans_b != 0 ? 2 : 0, d.alpha_use,
                                                    d.diffuse_use, 0, row.color_kind));
        if (d.trans_b == 1) {
            test_enable = 1, test_ref = 16, test_func = kCmpGreater;
        } else if (d.z_enable != 0) {
            test_enable = 1, test_ref = 0, test_func = kCmpGreater;
        } else {
            test_enable = 0;
        }
        if (d.trans_a == 1 && !blend_on) {
            src = kBlendSrcAlpha;
            dest = kBlendInvSrcAlpha;
        }
        blend_on = blend_on || d.trans_a == 1;
        vertex_type = 1;
        textures[0] = d.pending_texture;
    }
    if (vertex_type != d.vertex_type) {
        d.vertex_type = vertex_type;
        d.vertex_count = 0;
    }
    if (program.stage_count != d.stages_in_use) {
        d.stages_in_use = program.stage_count;
        const int force = d.force;
        d.force = 1;
        SetFilterModeD3D(d, d.draw_mode);
        d.force = force;
    }
    // The terminating stage.
    const int count = program.stage_count + 1;
    program.stages[program.stage_count] = Stage(kTopDisable, -1, -1, kTopDisable, -1, -1);

    SendRenderState(d, kRsDiffuseMaterialSource, &d.diffuse_material_source, kMaterialColor1);
    SendRenderState(d, kRsSpecularMaterialSource, &d.specular_material_source, kMaterialColor2);
    SendRenderState(d, kRsSpecularEnable, &d.specular_enable, 0);
    SendRenderState(d, kRsAlphaFunc, &d.alpha_func, test_func);
    SendRenderState(d, kRsAlphaRef, &d.alpha_ref, test_ref);
    SendRenderState(d, kRsAlphaTestEnable, &d.alpha_test_enable, test_enable);
    SendRenderState(d, kRsAlphaBlendEnable, &d.alpha_blend_enable, blend_on ? 1 : 0);
    SendRenderState(d, kRsTextureFactor, &d.texture_factor, factor);
    // A factor the table leaves alone keeps the last one (re-sent when forced).
    SendRenderState(d, kRsSrcBlend, &d.src_blend, src != -1 ? static_cast<uint32_t>(src) : d.src_blend);
    SendRenderState(d, kRsDestBlend, &d.dest_blend, dest != -1 ? static_cast<uint32_t>(dest) : d.dest_blend);

    for (int i = 0; i < count; ++i) {
        if (i >= 2 && program.stages[i - 1].alpha_op == kTopDisable) break;
        StageCache3D& cache = d.stages[i];
        if (cache.texture != textures[i] || d.force != 0) {
            d.device->SetTexture(static_cast<uint32_t>(i), textures[i]);
            cache.texture = textures[i];
        }
        const StageProgramStage& s = program.stages[i];
        SendStageState(d, i, kTssAlphaOp, &cache.alpha_op, s.alpha_op);
        SendStageState(d, i, kTssAlphaArg1, &cache.alpha_arg1, s.alpha_arg1);
        SendStageState(d, i, kTssAlphaArg2, &cache.alpha_arg2, s.alpha_arg2);
        SendStageState(d, i, kTssColorOp, &cache.color_op, s.color_op);
        SendStageState(d, i, kTssColorArg1, &cache.color_arg1, s.color_arg1);
        SendStageState(d, i, kTssColorArg2, &cache.color_arg2, s.color_arg2);
    }
    return 0;
}

int SetDrawStateD3D(const Surface3DData* texture, int flags) {
    Device3D* device = CurrentDevice3D();
    if (device == nullptr) return -1;
    Device3D& d = *device;
    const DrawSettings& s = GetDrawSettings();
    if (d.lighting != 0) SetLightingD3D(d, 0);
    const SurfaceData* store = texture != nullptr ? GetSurfaceData(texture->surface_data) : nullptr;
    int a = 0, b = 0;
    uint32_t color_key = 0;
    if ((flags & kDrawFlagTransparent) != 0 && store != nullptr) {
        if (store->params.alpha_channel != 0 || store->params.alpha_test != 0) {
            if ((s.blend_mode == 0 || s.blend_mode == 8) && ((flags & kDrawFlagKeepAlphaTest) != 0 || s.draw_mode != 1)) {
                a = store->params.alpha_channel;
                b = store->params.alpha_test;
            } else {
                a = 1;
                b = 0;
            }
        } else {
            color_key = 1;
        }
    }
    const bool white = s.bright_red == 255 && s.bright_green == 255 && s.bright_blue == 255;
    SetPerspectiveD3D(d, 0);
    SetDiffuseUseD3D(d, ((flags & kDrawFlagUntextured) != 0 || !white) ? 1 : 0);
    SetAlphaUseD3D(d, s.blend_mode != 0 ? 1 : 0);
    SetTextureD3D(d, store != nullptr ? store->surface : nullptr);
    if (s.blend_mode != d.blend_mode || a != d.trans_a || b != d.trans_b) SetBlendStateD3D(d, s.blend_mode, a, b);
    if (d.program_dirty != 0 || d.texture_dirty != 0) ApplyTextureStagesD3D(d);
    SetColorKeyEnableD3D(d, color_key);
    SetShadeModeD3D(d, kShadeFlat);
    SetFilterModeD3D(d, s.draw_mode);
    SetCullModeD3D(d, 0);
    SetTextureAddressD3D(d, static_cast<uint32_t>(s.d3d_state[0] == 0 ? 3 : s.d3d_state[0]));
    if ((flags & kDrawFlagZBuffer) != 0) {
        SetZEnableD3D(d, 0);
        SetZWriteEnableD3D(d, 0);
        SetZFuncD3D(d, static_cast<uint32_t>(s.d3d_state[3]));
        SetZBiasD3D(d, 0);
    } else if (d.z_enable != 0) {
        FlushVertexBufferDevice3D(d);
        SetZEnableD3D(d, 0);
    }
    if (d.fog_enable != 0) SetFogEnableD3D(d, 0);
    d.last_texture = texture;
    d.last_flags = flags;
    return 0;
}

int ReapplyDeviceState3D(Device3D& d) {
    if (!Live(d)) return -1;
    d.force = 1;
    SetViewportD3D(d, d.viewport);
    SetColorKeyEnableD3D(d, d.color_key_enable);
    for (int stage = 0; stage < 4; ++stage) d.device->SetTextureStageState(stage, kTssAddress, d.texture_address);
    const uint32_t coord_sets[4] = {0, 1, 1, 0};
    for (int stage = 0; stage < 4; ++stage) d.device->SetTextureStageState(stage, kTssTexCoordIndex, coord_sets[stage]);
    SetPerspectiveD3D(d, d.perspective);
    SetShadeModeD3D(d, d.shade_mode);
    SetLightingD3D(d, d.lighting);
    d.device->SetRenderState(kRsCullMode, kCullNone);
    d.device->SetRenderState(kRsDitherEnable, 0);
    SetFilterModeD3D(d, d.draw_mode);
    // The device starts its stages with the current colour as second
    // argument where the caches say diffuse; a program only sends what
    // differs from the caches, so the device must first hold what they say.
    for (int stage = 0; stage < kD3dStages; ++stage) {
        const StageCache3D& cache = d.stages[stage];
        const uint32_t s = static_cast<uint32_t>(stage);
        d.device->SetTextureStageState(s, kTssAlphaOp, cache.alpha_op);
        d.device->SetTextureStageState(s, kTssAlphaArg1, cache.alpha_arg1);
        d.device->SetTextureStageState(s, kTssAlphaArg2, cache.alpha_arg2);
        d.device->SetTextureStageState(s, kTssColorOp, cache.color_op);
        d.device->SetTextureStageState(s, kTssColorArg1, cache.color_arg1);
        d.device->SetTextureStageState(s, kTssColorArg2, cache.color_arg2);
    }
    d.program_dirty = 1;
    ApplyTextureStagesD3D(d);
    SetZEnableD3D(d, d.z_enable);
    SetZWriteEnableD3D(d, d.z_write);
    SetZFuncD3D(d, d.z_func);
    SetZBiasD3D(d, d.z_bias);
    SetCullModeD3D(d, d.cull);
    d.force = 0;
    return 0;
}

int FlushVertexBufferDevice3D(Device3D& d) {
    if (d.vertex_count > 0 && d.device && GetWindowCloseFlag() == 0 && d.skip_draw == 0) {
        const void* vertices = d.vertex_type == 0   ? static_cast<const void*>(d.vertices0.data())
                               : d.vertex_type == 1 ? static_cast<const void*>(d.vertices1.data())
                                                    : static_cast<const void*>(d.vertices2.data());
        d.device->DrawPrimitive(d.primitive, FormatOfType(d.vertex_type), vertices, d.vertex_count, 0);
    }
    d.vertex_count = 0;
    return 0;
}

int FlushVertexBufferD3D() {
    Device3D* d = CurrentDevice3D();
    return d != nullptr ? FlushVertexBufferDevice3D(*d) : -1;
}

void ReserveVertices(Device3D& d, int n) {
    if (d.vertex_count == 0) return;
    const int capacity = CapacityOfType(d.vertex_type);
    const bool full = n == 24 ? d.vertex_count + n > capacity : d.vertex_count + n >= capacity;
    if (d.primitive != kPrimitiveTriangleList || full) FlushVertexBufferDevice3D(d);
}

VertexUntextured* NextVertices0(Device3D& d) { return d.vertices0.data() + d.vertex_count; }
VertexOneTexture* NextVertices1(Device3D& d) { return d.vertices1.data() + d.vertex_count; }
VertexTwoTextures* NextVertices2(Device3D& d) { return d.vertices2.data() + d.vertex_count; }

void AdvanceVertices(Device3D& d, int n) {
    d.primitive = kPrimitiveTriangleList;
    d.vertex_count += n;
}

int UpdateDrawColorD3D() {
    const DrawSettings& s = GetDrawSettings();
    const uint32_t alpha = s.blend_mode != 0 ? static_cast<uint32_t>(s.blend_param & 0xFF) : 255;
    D3D().draw_color = (alpha << 24) | (static_cast<uint32_t>(s.bright_red) << 16) |
                       (static_cast<uint32_t>(s.bright_green) << 8) | s.bright_blue;
    return 0;
}

int SetDrawModeD3D(int draw_mode) {
    Device3D* d = CurrentDevice3D();
    return d != nullptr ? SetFilterModeD3D(*d, draw_mode) : -1;
}

int SetDrawAreaD3D(const Rect& area) {
    Device3D* d = CurrentDevice3D();
    if (d == nullptr) return -1;
    if (area.right <= area.left || area.bottom <= area.top) return -1;
    if (D3D().draws_disabled != 0) return 0;
    const Rect placement = GetDrawSettings().window_placement;
    return SetViewportD3D(*d, Rect{area.left + placement.left, area.top + placement.top, area.right + placement.left,
                                   area.bottom + placement.top});
}

}  // namespace velk
