#pragma once
// The device record's state caches, the blend table, the stage programs and
// the vertex batch. Every state goes through a cached setter that sends the
// collected vertices first and skips unchanged values; the force flag makes
// them send anyway (after the device was made again).

#include <cstdint>

#include "lib/graphics/direct3d/device_3d.h"

namespace velk {

struct BlendTableRow {
    int dest_blend;
    int src_blend;
    int color_kind;  // 0 plain, 1 blended towards white by alpha, 2 inverted
};
const BlendTableRow& BlendRow(int mode);

// A stage of a program: -1 leaves a value as it is.
struct StageProgramStage {
    int16_t alpha_arg1, alpha_arg2, alpha_op, color_arg1, color_arg2, color_op;
};
struct StageProgram {
    int stage_count = 0;
    StageProgramStage stages[7];
};
inline constexpr int kStageProgramCount = 72;
// t transparency kind (0, 1 blended, 2 tested), a alpha use, d diffuse use,
// b blend graph, k colour kind.
int StageProgramIndex(int t, int a, int d, int b, int k);
const StageProgram& GetStageProgram(int index);

// Flag bits of SetDrawStateD3D.
inline constexpr int kDrawFlagTransparent = 1;
inline constexpr int kDrawFlagKeepAlphaTest = 2;
inline constexpr int kDrawFlagZBuffer = 4;
inline constexpr int kDrawFlagUntextured = 32;

int SetDrawStateD3D(const Surface3DData* texture, int flags);
int ApplyTextureStagesD3D(Device3D& d);

int SetPerspectiveD3D(Device3D& d, uint32_t value);
int SetColorKeyEnableD3D(Device3D& d, uint32_t value);
int SetZEnableD3D(Device3D& d, uint32_t value);
int SetZWriteEnableD3D(Device3D& d, uint32_t value);
int SetZFuncD3D(Device3D& d, uint32_t value);
int SetZBiasD3D(Device3D& d, uint32_t value);
int SetShadeModeD3D(Device3D& d, uint32_t value);
int SetCullModeD3D(Device3D& d, uint32_t flag);
int SetFogEnableD3D(Device3D& d, uint32_t value);
int SetTextureAddressD3D(Device3D& d, uint32_t value);
int SetFilterModeD3D(Device3D& d, int draw_mode);
int SetViewportD3D(Device3D& d, const Rect& area);
int SetLightingD3D(Device3D& d, uint32_t value);

int SetTextureD3D(Device3D& d, std::shared_ptr<platform::DdSurface> texture);
int SetBlendTextureD3D(Device3D& d, std::shared_ptr<platform::DdSurface> texture, int border_param,
                       int border_range);
int SetBlendStateD3D(Device3D& d, int blend_mode, int trans_a, int trans_b);
int SetDiffuseUseD3D(Device3D& d, int flag);
int SetAlphaUseD3D(Device3D& d, int flag);

int ReapplyDeviceState3D(Device3D& d);
int FlushVertexBufferDevice3D(Device3D& d);
int FlushVertexBufferD3D();
int UpdateDrawColorD3D();
int SetDrawModeD3D(int draw_mode);
int SetDrawAreaD3D(const Rect& area);

// The batch check before a draw adds n vertices (24 for a box outline may
// fill the array exactly).
void ReserveVertices(Device3D& d, int n);
// The next free vertex of each type, and the count moved on by n.
platform::VertexUntextured* NextVertices0(Device3D& d);
platform::VertexOneTexture* NextVertices1(Device3D& d);
platform::VertexTwoTextures* NextVertices2(Device3D& d);
void AdvanceVertices(Device3D& d, int n);

}  // namespace velk
