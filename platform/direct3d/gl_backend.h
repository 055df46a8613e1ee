#pragma once
// The OpenGL back-end of the Direct3D stand-in: one OpenGL 3.3 core context
// made through EGL without a window (Mesa's software rasterizer works), made
// on first use and kept until released, on the main thread. Each display
// surface a device touches gets a texture (and, as a render target, a frame
// buffer) that mirrors its pixels; the surface and its mirror hand the pixels
// over whenever the other side was written last.

#include <memory>
#include <string>

namespace velk::platform {

class D3dBackend;

// The shared back-end; null when no context can be made (then Direct3D is
// reported absent and the library draws without it).
std::shared_ptr<D3dBackend> SharedGlBackend();
// Why the context could not be made ("" when it was).
std::string GlBackendProblem();
// Whether the shared context draws on a GPU rather than through a software
// rasterizer such as Mesa's llvmpipe (false when there is no context). When
// EGL's devices all draw in software the answer comes without a context;
// else from the first context, and it is kept after that was released.
bool SharedGlBackendAccelerated();
// Whether EGL tells, before any driver is started, that each of its devices
// draws in software (Mesa marks such a device with EGL_MESA_device_software);
// false when it cannot tell.
bool EglDevicesAllSoftware();
// Releases the shared back-end (its context, its display and the driver's
// threads) when nothing else holds it; true when it was released. The next
// SharedGlBackend makes a new one.
bool ReleaseSharedGlBackend();
// Whether the shared back-end is made and held now.
bool SharedGlBackendLive();
// Whether a renderer name (GL_RENDERER) is one of Mesa's software
// rasterizers.
bool IsSoftwareRasterizerName(const std::string& renderer);

}  // namespace velk::platform
