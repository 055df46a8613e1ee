#pragma once
// The values the Direct3D stand-in speaks: device description, render and
// texture-stage state numbers, combiner operations and arguments, blend
// factors, comparisons, filters, vertex formats and primitive types.

#include <cstdint>

namespace velk::platform {

// Device kinds the stand-in lists.
constexpr uint32_t kD3dDeviceHal = 1;
constexpr uint32_t kD3dDeviceTnLHal = 2;

// Render bit depths.
constexpr uint32_t kDdbd16 = 0x400;
constexpr uint32_t kDdbd32 = 0x100;

// Triangle texture capabilities.
constexpr uint32_t kD3dTextureCapsPow2 = 0x2;
constexpr uint32_t kD3dTextureCapsSquareOnly = 0x20;

struct D3dDeviceDesc {
    uint32_t device = 0;  // kD3dDevice*
    uint32_t render_bit_depths = 0;
    uint32_t texture_caps = 0;
    uint32_t min_texture_width = 0;
    uint32_t min_texture_height = 0;
    uint32_t max_texture_width = 0;
    uint32_t max_texture_height = 0;
    uint16_t max_texture_blend_stages = 0;
    uint16_t max_simultaneous_textures = 0;
};

// Render states.
enum D3dRenderState : uint32_t {
    kRsTexturePerspective = 4,
    kRsZEnable = 7,
    kRsShadeMode = 9,
    kRsZWriteEnable = 14,
    kRsAlphaTestEnable = 15,
    kRsSrcBlend = 19,
    kRsDestBlend = 20,
    kRsCullMode = 22,
    kRsZFunc = 23,
    kRsAlphaRef = 24,
    kRsAlphaFunc = 25,
    kRsDitherEnable = 26,
    kRsAlphaBlendEnable = 27,
    kRsFogEnable = 28,
    kRsSpecularEnable = 29,
    kRsColorKeyEnable = 41,
    kRsZBias = 47,
    kRsTextureFactor = 60,
    kRsLighting = 137,
    kRsColorKeyBlendEnable = 144,
    kRsDiffuseMaterialSource = 145,
    kRsSpecularMaterialSource = 146,
    kRenderStateCount = 160,
};

// Texture-stage states.
enum D3dStageState : uint32_t {
    kTssColorOp = 1,
    kTssColorArg1 = 2,
    kTssColorArg2 = 3,
    kTssAlphaOp = 4,
    kTssAlphaArg1 = 5,
    kTssAlphaArg2 = 6,
    kTssTexCoordIndex = 11,
    kTssAddress = 12,
    kTssMagFilter = 16,
    kTssMinFilter = 17,
    kTssMipFilter = 18,
    kStageStateCount = 24,
};

constexpr int kD3dStages = 8;

// Combiner operations.
constexpr uint32_t kTopDisable = 1;
constexpr uint32_t kTopSelectArg1 = 2;
constexpr uint32_t kTopSelectArg2 = 3;
constexpr uint32_t kTopModulate = 4;
constexpr uint32_t kTopModulate2x = 5;
constexpr uint32_t kTopModulate4x = 6;
constexpr uint32_t kTopAdd = 7;
constexpr uint32_t kTopSubtract = 10;
constexpr uint32_t kTopBlendDiffuseAlpha = 12;
constexpr uint32_t kTopBlendCurrentAlpha = 16;

// Combiner arguments and the modifier.
constexpr uint32_t kTaDiffuse = 0;
constexpr uint32_t kTaCurrent = 1;
constexpr uint32_t kTaTexture = 2;
constexpr uint32_t kTaTFactor = 3;
constexpr uint32_t kTaSpecular = 4;
constexpr uint32_t kTaComplement = 0x10;

// Blend factors.
constexpr uint32_t kBlendZero = 1;
constexpr uint32_t kBlendOne = 2;
constexpr uint32_t kBlendSrcColor = 3;
constexpr uint32_t kBlendInvSrcColor = 4;
constexpr uint32_t kBlendSrcAlpha = 5;
constexpr uint32_t kBlendInvSrcAlpha = 6;
constexpr uint32_t kBlendDestAlpha = 7;
constexpr uint32_t kBlendInvDestAlpha = 8;
constexpr uint32_t kBlendDestColor = 9;
constexpr uint32_t kBlendInvDestColor = 10;

// Comparisons.
constexpr uint32_t kCmpNever = 1;
constexpr uint32_t kCmpLess = 2;
constexpr uint32_t kCmpEqual = 3;
constexpr uint32_t kCmpLessEqual = 4;
constexpr uint32_t kCmpGreater = 5;
constexpr uint32_t kCmpNotEqual = 6;
constexpr uint32_t kCmpGreaterEqual = 7;
constexpr uint32_t kCmpAlways = 8;

// Filters (magnification, minification and mip share the numbers).
constexpr uint32_t kFilterPoint = 1;
constexpr uint32_t kFilterLinear = 2;

constexpr uint32_t kAddressClamp = 3;
constexpr uint32_t kCullNone = 1;
constexpr uint32_t kCullCcw = 3;
constexpr uint32_t kShadeFlat = 1;
constexpr uint32_t kShadeGouraud = 2;
constexpr uint32_t kMaterialColor1 = 1;
constexpr uint32_t kMaterialColor2 = 2;

// Vertex formats: pre-transformed positions (x, y, z, rhw) with a diffuse
// colour, and none, one or two texture coordinate sets (the two-set format
// has a specular colour too).
constexpr uint32_t kFvfUntextured = 0x44;
constexpr uint32_t kFvfOneTexture = 0x144;
constexpr uint32_t kFvfTwoTextures = 0x2C4;

struct VertexUntextured {
    float x, y, z, rhw;
    uint32_t diffuse;
};
struct VertexOneTexture {
    float x, y, z, rhw;
    uint32_t diffuse;
    float u, v;
};
struct VertexTwoTextures {
    float x, y, z, rhw;
    uint32_t diffuse, specular;
    float u1, v1;  // first set: the blend texture
    float u2, v2;  // second set: the graph
};

constexpr uint32_t kPrimitiveTriangleList = 4;
constexpr uint32_t kPrimitiveTriangleStrip = 5;

enum D3dTransformKind : uint32_t { kTransformWorld = 1, kTransformView = 2, kTransformProjection = 3 };

struct D3dViewport {
    uint32_t x = 0, y = 0, width = 0, height = 0;
    float min_z = 0.0f, max_z = 1.0f;
};

}  // namespace velk::platform
