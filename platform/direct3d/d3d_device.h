#pragma once
// The Direct3D stand-in. A D3dObject lists one hardware transform-and-
// lighting device that renders at 16 and 32 bits, a 16-bit Z format and five
// texture formats; its devices draw pre-transformed triangles onto display
// surfaces (the render target) with textures that are display surfaces too.
// States are kept by the device and handed to a back-end with each draw:
// OpenGL through EGL for real pixels, or a recording back-end in tests.
//
// What the device reports (fixed, so tests are stable): device kinds HAL
// then T&L HAL, both 16 and 32 bits; texture sizes 1 to 4096; power-of-two
// textures; 8 blend stages and 8 simultaneous textures; texture formats
// R5G6B5, A1R5G5B5, A4R4G4B4, X8R8G8B8, A8R8G8B8 in that order.

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "platform/direct3d/d3d_types.h"
#include "platform/display/display_surface.h"
#include "platform/display/display_types.h"

namespace velk::platform {

// The state a draw is made with.
struct D3dDrawState {
    std::array<uint32_t, kRenderStateCount> render{};
    std::array<std::array<uint32_t, kStageStateCount>, kD3dStages> stage{};
    std::array<DdSurface*, kD3dStages> texture{};
    DdSurface* target = nullptr;
    D3dViewport viewport;
};

// One call made on a device, as the recording back-end keeps it.
enum class D3dCallKind {
    kSetRenderState,    // a = state, b = value
    kSetStageState,     // a = stage, b = state, c = value
    kSetTexture,        // a = stage, surface
    kSetRenderTarget,   // surface
    kSetViewport,       // viewport
    kSetTransform,      // a = kind
    kBeginScene,
    kEndScene,
    kDrawPrimitive,     // a = primitive, b = vertex format, count, vertices
    kDrawIndexed,       // a = primitive, b = vertex format, count = index count, vertices, indices
    kLoad,              // surface = destination, a, b = where
};

struct D3dCall {
    D3dCallKind kind = D3dCallKind::kBeginScene;
    uint32_t a = 0, b = 0, c = 0;
    const DdSurface* surface = nullptr;
    D3dViewport viewport;
    int count = 0;
    std::vector<uint8_t> vertices;
    std::vector<uint16_t> indices;
};

class D3dBackend {
public:
    virtual ~D3dBackend() = default;
    // Every call, before it takes effect.
    virtual void Record(const D3dCall& call) {}
    // Triangles (a list; strips are expanded before) onto state.target.
    virtual void DrawTriangles(const D3dDrawState& state, uint32_t vertex_format, const uint8_t* vertices,
                               int vertex_count) = 0;
    // A device is going; the back-end drops what it holds for surfaces.
    virtual void DeviceReleased() {}
};

// Makes the back-end of a new Direct3D object; null when none can be made.
using D3dBackendFactory = std::function<std::shared_ptr<D3dBackend>()>;
// null: the OpenGL back-end (shared by every object; made once).
void SetDirect3DBackendFactory(D3dBackendFactory factory);
// Whether the environment asks for no hardware drawing (VELK_NO_3D=1).
bool Direct3DSwitchedOff();
// Whether the environment asks for the hardware path even where OpenGL is
// only a software rasterizer (VELK_3D=1).
bool Direct3DOnSoftwareGlAsked();

class D3dDevice;

class D3dObject {
public:
    explicit D3dObject(std::shared_ptr<D3dBackend> backend) : backend_(std::move(backend)) {}

    // Calls visit with each device until it returns false.
    DdResult EnumDevices(const std::function<bool(const D3dDeviceDesc&)>& visit) const;
    DdResult EnumZBufferFormats(uint32_t device, const std::function<bool(const DdPixelFormat&)>& visit) const;
    DdResult CreateDevice(uint32_t device, std::shared_ptr<DdSurface> surface, std::unique_ptr<D3dDevice>* out);
    D3dBackend& backend() { return *backend_; }

private:
    std::shared_ptr<D3dBackend> backend_;
};

// A new Direct3D object (kDdErrNoDirect3D when no back-end can be made or
// hardware drawing is switched off).
DdResult CreateDirect3D(std::unique_ptr<D3dObject>* out);

class D3dDevice {
public:
    D3dDevice(std::shared_ptr<D3dBackend> backend, uint32_t device, std::shared_ptr<DdSurface> target);
    ~D3dDevice();
    D3dDevice(const D3dDevice&) = delete;
    D3dDevice& operator=(const D3dDevice&) = delete;

    DdResult EnumTextureFormats(const std::function<bool(const DdPixelFormat&)>& visit) const;
    DdResult SetRenderTarget(std::shared_ptr<DdSurface> surface);
    DdSurface* render_target() const { return target_.get(); }
    DdResult SetRenderState(uint32_t state, uint32_t value);
    DdResult SetTextureStageState(uint32_t stage, uint32_t state, uint32_t value);
    DdResult SetTexture(uint32_t stage, std::shared_ptr<DdSurface> texture);
    DdResult SetViewport(const D3dViewport& viewport);
    DdResult SetTransform(uint32_t kind, const float matrix[16]);
    DdResult BeginScene();
    DdResult EndScene();
    DdResult DrawPrimitive(uint32_t primitive, uint32_t vertex_format, const void* vertices, int count,
                           uint32_t flags);
    DdResult DrawIndexedPrimitive(uint32_t primitive, uint32_t vertex_format, const void* vertices,
                                  int vertex_count, const uint16_t* indices, int index_count, uint32_t flags);
    // Copies source_rect of a texture (null: all of it) to (x, y) of another
    // of the same format; the rectangle must fit the destination there. A
    // locked destination answers busy.
    DdResult Load(DdSurface& dest, int x, int y, DdSurface& source, const Rect* source_rect);

    const D3dDrawState& state() const { return state_; }
    uint32_t device_kind() const { return device_; }

private:
    std::shared_ptr<D3dBackend> backend_;
    uint32_t device_;
    std::shared_ptr<DdSurface> target_;
    std::array<std::shared_ptr<DdSurface>, kD3dStages> textures_;
    D3dDrawState state_;
    bool in_scene_ = false;
    std::array<float, 48> transforms_{};
};

// A back-end that keeps every call and draws nothing (logic tests).
class RecordingD3dBackend final : public D3dBackend {
public:
    void Record(const D3dCall& call) override { calls.push_back(call); }
    void DrawTriangles(const D3dDrawState&, uint32_t, const uint8_t*, int) override {}
    std::vector<D3dCall> calls;
};

// Installs a recording back-end for its lifetime (tests).
class ScopedRecordingDirect3D {
public:
    ScopedRecordingDirect3D();
    ~ScopedRecordingDirect3D();
    RecordingD3dBackend& backend() { return *backend_; }
    // While set, no Direct3D object can be made.
    void SetUnavailable(bool unavailable) { unavailable_ = unavailable; }

private:
    std::shared_ptr<RecordingD3dBackend> backend_;
    bool unavailable_ = false;
};

// The bytes of one vertex of a format.
int VertexSize(uint32_t vertex_format);

}  // namespace velk::platform
