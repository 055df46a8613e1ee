#include "platform/direct3d/d3d_device.h"

#include <cstdlib>
#include <cstring>

#include "platform/direct3d/gl_backend.h"

namespace velk::platform {

namespace {

D3dBackendFactory& Factory() {
    static D3dBackendFactory factory;
    return factory;
}

DdPixelFormat RgbFormat(uint32_t bits, uint32_t a, uint32_t r, uint32_t g, uint32_t b) {
    DdPixelFormat f;
    f.flags = kPixelFormatRgb | (a != 0 ? kPixelFormatAlphaPixels : 0);
    f.rgb_bit_count = bits;
    f.alpha_mask = a;
    f.red_mask = r;
    f.green_mask = g;
    f.blue_mask = b;
    return f;
}

D3dDeviceDesc Describe(uint32_t device) {
    D3dDeviceDesc d;
    d.device = device;
    d.render_bit_depths = kDdbd16 | kDdbd32;
    d.texture_caps = kD3dTextureCapsPow2;
    d.min_texture_width = 1;
    d.min_texture_height = 1;
    d.max_texture_width = 4096;
    d.max_texture_height = 4096;
    d.max_texture_blend_stages = 8;
    d.max_simultaneous_textures = 8;
    return d;
}

// A triangle strip as a list: each new index makes one triangle with the
// two before it; every other one is turned to keep the winding, and
// triangles with two equal indices (the joins between rows) are dropped.
std::vector<uint8_t> StripToList(const uint8_t* vertices, int vertex_count, const uint16_t* indices,
                                 int index_count, int size, int* out_count) {
    std::vector<uint8_t> list;
    int count = 0;
    for (int i = 2; i < index_count; ++i) {
        uint16_t a = indices[i - 2], b = indices[i - 1], c = indices[i];
        if (a == b || b == c || a == c) continue;
        if (a >= vertex_count || b >= vertex_count || c >= vertex_count) continue;
        if ((i & 1) != 0) std::swap(a, b);
        for (const uint16_t index : {a, b, c})
            list.insert(list.end(), vertices + index * size, vertices + (index + 1) * size);
        count += 3;
    }
    *out_count = count;
    return list;
}

D3dCall MakeCall(D3dCallKind kind, uint32_t a = 0, uint32_t b = 0, uint32_t c = 0) {
    D3dCall call;
    call.kind = kind;
    call.a = a;
    call.b = b;
    call.c = c;
    return call;
}

}  // namespace

int VertexSize(uint32_t vertex_format) {
    switch (vertex_format) {
        case kFvfUntextured:
            return sizeof(VertexUntextured);
        case kFvfOneTexture:
            return sizeof(VertexOneTexture);
        case kFvfTwoTextures:
            return sizeof(VertexTwoTextures);
        default:
            return 0;
    }
}

void SetDirect3DBackendFactory(D3dBackendFactory factory) { Factory() = std::move(factory); }

namespace {

bool EnvironmentFlag(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && value[0] != '\0' && std::strcmp(value, "0") != 0;
}

}  // namespace

bool Direct3DSwitchedOff() { return EnvironmentFlag("VELK_NO_3D"); }

bool Direct3DOnSoftwareGlAsked() { return EnvironmentFlag("VELK_3D"); }

DdResult CreateDirect3D(std::unique_ptr<D3dObject>* out) {
    if (out == nullptr) return kDdErrInvalidParams;
    out->reset();
    std::shared_ptr<D3dBackend> backend;
    if (Factory()) {
        backend = Factory()();
    } else if (!Direct3DSwitchedOff()) {
        // A software rasterizer is no hardware device: the 2D path draws
        // the same pictures several times faster on the processor. The
        // context that found it out is let go at once, with its threads.
        if (Direct3DOnSoftwareGlAsked() || SharedGlBackendAccelerated()) {
            backend = SharedGlBackend();
        } else {
            ReleaseSharedGlBackend();
        }
    }
    if (!backend) return kDdErrNoDirect3D;
    *out = std::make_unique<D3dObject>(std::move(backend));
    return kDdOk;
}

DdResult D3dObject::EnumDevices(const std::function<bool(const D3dDeviceDesc&)>& visit) const {
    for (const uint32_t device : {kD3dDeviceHal, kD3dDeviceTnLHal})
        if (!visit(Describe(device))) break;
    return kDdOk;
}

DdResult D3dObject::EnumZBufferFormats(uint32_t, const std::function<bool(const DdPixelFormat&)>& visit) const {
    DdPixelFormat z;
    z.flags = kPixelFormatZBuffer;
    z.rgb_bit_count = 16;
    z.red_mask = 0xFFFF;  // the depth mask
    visit(z);
    return kDdOk;
}

DdResult D3dObject::CreateDevice(uint32_t device, std::shared_ptr<DdSurface> surface,
                                 std::unique_ptr<D3dDevice>* out) {
    if (out == nullptr || !surface) return kDdErrInvalidParams;
    if (device != kD3dDeviceHal && device != kD3dDeviceTnLHal) return kDdErrInvalidParams;
    *out = std::make_unique<D3dDevice>(backend_, device, std::move(surface));
    return kDdOk;
}

D3dDevice::D3dDevice(std::shared_ptr<D3dBackend> backend, uint32_t device, std::shared_ptr<DdSurface> target)
    : backend_(std::move(backend)), device_(device), target_(std::move(target)) {
    state_.target = target_.get();
    state_.viewport.width = target_->width();
    state_.viewport.height = target_->height();
    state_.render[kRsZEnable] = 1;
    state_.render[kRsZFunc] = kCmpLessEqual;
    state_.render[kRsShadeMode] = kShadeGouraud;
    state_.render[kRsSrcBlend] = kBlendOne;
    state_.render[kRsDestBlend] = kBlendZero;
    state_.render[kRsAlphaFunc] = kCmpAlways;
    state_.render[kRsTextureFactor] = 0xFFFFFFFF;
    for (int i = 0; i < kD3dStages; ++i) {
        auto& s = state_.stage[i];
        s[kTssColorOp] = i == 0 ? kTopModulate : kTopDisable;
        s[kTssColorArg1] = kTaTexture;
        s[kTssColorArg2] = kTaCurrent;
        s[kTssAlphaOp] = i == 0 ? kTopSelectArg1 : kTopDisable;
        s[kTssAlphaArg1] = kTaTexture;
        s[kTssAlphaArg2] = kTaCurrent;
        s[kTssTexCoordIndex] = static_cast<uint32_t>(i);
        s[kTssAddress] = 1;
        s[kTssMagFilter] = kFilterPoint;
        s[kTssMinFilter] = kFilterPoint;
        s[kTssMipFilter] = kFilterPoint;
    }
}

D3dDevice::~D3dDevice() { backend_->DeviceReleased(); }

DdResult D3dDevice::EnumTextureFormats(const std::function<bool(const DdPixelFormat&)>& visit) const {
    const DdPixelFormat formats[] = {
        RgbFormat(16, 0, 0xF800, 0x07E0, 0x001F),
        RgbFormat(16, 0x8000, 0x7C00, 0x03E0, 0x001F),
        RgbFormat(16, 0xF000, 0x0F00, 0x00F0, 0x000F),
        RgbFormat(32, 0, 0xFF0000, 0xFF00, 0xFF),
        RgbFormat(32, 0xFF000000, 0xFF0000, 0xFF00, 0xFF),
    };
    for (const DdPixelFormat& f : formats)
        if (!visit(f)) break;
    return kDdOk;
}

DdResult D3dDevice::SetRenderTarget(std::shared_ptr<DdSurface> surface) {
    if (!surface) return kDdErrInvalidParams;
    D3dCall call = MakeCall(D3dCallKind::kSetRenderTarget);
    call.surface = surface.get();
    backend_->Record(call);
    target_ = std::move(surface);
    state_.target = target_.get();
    return kDdOk;
}

DdResult D3dDevice::SetRenderState(uint32_t state, uint32_t value) {
    if (state >= kRenderStateCount) return kDdErrInvalidParams;
    D3dCall call = MakeCall(D3dCallKind::kSetRenderState, state, value);
    backend_->Record(call);
    state_.render[state] = value;
    return kDdOk;
}

DdResult D3dDevice::SetTextureStageState(uint32_t stage, uint32_t state, uint32_t value) {
    if (stage >= kD3dStages || state >= kStageStateCount) return kDdErrInvalidParams;
    D3dCall call = MakeCall(D3dCallKind::kSetStageState, stage, state, value);
    backend_->Record(call);
    state_.stage[stage][state] = value;
    return kDdOk;
}

DdResult D3dDevice::SetTexture(uint32_t stage, std::shared_ptr<DdSurface> texture) {
    if (stage >= kD3dStages) return kDdErrInvalidParams;
    D3dCall call = MakeCall(D3dCallKind::kSetTexture, stage);
    call.surface = texture.get();
    backend_->Record(call);
    textures_[stage] = std::move(texture);
    state_.texture[stage] = textures_[stage].get();
    return kDdOk;
}

DdResult D3dDevice::SetViewport(const D3dViewport& viewport) {
    if (viewport.x + viewport.width > target_->width() || viewport.y + viewport.height > target_->height())
        return kDdErrInvalidParams;
    D3dCall call = MakeCall(D3dCallKind::kSetViewport);
    call.viewport = viewport;
    backend_->Record(call);
    state_.viewport = viewport;
    return kDdOk;
}

DdResult D3dDevice::SetTransform(uint32_t kind, const float matrix[16]) {
    if (kind < kTransformWorld || kind > kTransformProjection || matrix == nullptr) return kDdErrInvalidParams;
    backend_->Record(MakeCall(D3dCallKind::kSetTransform, kind));
    // Kept only: every vertex arrives transformed.
    std::memcpy(&transforms_[(kind - 1) * 16], matrix, 16 * sizeof(float));
    return kDdOk;
}

DdResult D3dDevice::BeginScene() {
    if (in_scene_) return kDdErrGeneric;
    backend_->Record(MakeCall(D3dCallKind::kBeginScene));
    in_scene_ = true;
    return kDdOk;
}

DdResult D3dDevice::EndScene() {
    if (!in_scene_) return kDdErrGeneric;
    backend_->Record(MakeCall(D3dCallKind::kEndScene));
    in_scene_ = false;
    return kDdOk;
}

DdResult D3dDevice::DrawPrimitive(uint32_t primitive, uint32_t vertex_format, const void* vertices, int count,
                                  uint32_t) {
    const int size = VertexSize(vertex_format);
    if (size == 0 || vertices == nullptr || count < 0) return kDdErrInvalidParams;
    const auto* bytes = static_cast<const uint8_t*>(vertices);
    D3dCall call = MakeCall(D3dCallKind::kDrawPrimitive, primitive, vertex_format);
    call.count = count;
    call.vertices.assign(bytes, bytes + static_cast<size_t>(count) * size);
    backend_->Record(call);
    if (primitive == kPrimitiveTriangleList) {
        backend_->DrawTriangles(state_, vertex_format, bytes, count - count % 3);
    } else if (primitive == kPrimitiveTriangleStrip) {
        std::vector<uint16_t> indices(static_cast<size_t>(count));
        for (int i = 0; i < count; ++i) indices[i] = static_cast<uint16_t>(i);
        int list_count = 0;
        const std::vector<uint8_t> list = StripToList(bytes, count, indices.data(), count, size, &list_count);
        backend_->DrawTriangles(state_, vertex_format, list.data(), list_count);
    } else {
        return kDdErrInvalidParams;
    }
    return kDdOk;
}

DdResult D3dDevice::DrawIndexedPrimitive(uint32_t primitive, uint32_t vertex_format, const void* vertices,
                                         int vertex_count, const uint16_t* indices, int index_count, uint32_t) {
    const int size = VertexSize(vertex_format);
    if (size == 0 || vertices == nullptr || indices == nullptr || vertex_count < 0 || index_count < 0)
        return kDdErrInvalidParams;
    if (primitive != kPrimitiveTriangleStrip) return kDdErrInvalidParams;
    const auto* bytes = static_cast<const uint8_t*>(vertices);
    D3dCall call = MakeCall(D3dCallKind::kDrawIndexed, primitive, vertex_format);
    call.count = index_count;
    call.vertices.assign(bytes, bytes + static_cast<size_t>(vertex_count) * size);
    call.indices.assign(indices, indices + index_count);
    backend_->Record(call);
    int list_count = 0;
    const std::vector<uint8_t> list = StripToList(bytes, vertex_count, indices, index_count, size, &list_count);
    backend_->DrawTriangles(state_, vertex_format, list.data(), list_count);
    return kDdOk;
}

DdResult D3dDevice::Load(DdSurface& dest, int x, int y, DdSurface& source, const Rect* source_rect) {
    D3dCall call = MakeCall(D3dCallKind::kLoad);
    call.surface = &dest;
    call.a = static_cast<uint32_t>(x);
    call.b = static_cast<uint32_t>(y);
    backend_->Record(call);
    const Rect whole{0, 0, static_cast<int32_t>(source.width()), static_cast<int32_t>(source.height())};
    const Rect& from = source_rect != nullptr ? *source_rect : whole;
    if (x < 0 || y < 0 || x + (from.right - from.left) > static_cast<int32_t>(dest.width()) ||
        y + (from.bottom - from.top) > static_cast<int32_t>(dest.height()))
        return kDdErrInvalidParams;
    return dest.BltFast(x, y, &source, &from, kDdBltFastWait);
}

ScopedRecordingDirect3D::ScopedRecordingDirect3D() : backend_(std::make_shared<RecordingD3dBackend>()) {
    SetDirect3DBackendFactory([this]() -> std::shared_ptr<D3dBackend> {
        if (unavailable_) return nullptr;
        return backend_;
    });
}

ScopedRecordingDirect3D::~ScopedRecordingDirect3D() { SetDirect3DBackendFactory(nullptr); }

}  // namespace velk::platform
