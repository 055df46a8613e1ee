#pragma once
// The OpenGL back-end of the Direct3D stand-in: one OpenGL 3.3 core context
// made through EGL without a window (Mesa's software rasterizer works), made
// on first use and kept for the process, on the main thread. Each display
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
// rasterizer such as Mesa's llvmpipe (false when there is no context).
bool SharedGlBackendAccelerated();
// Whether a renderer name (GL_RENDERER) is one of Mesa's software
// rasterizers.
bool IsSoftwareRasterizerName(const std::string& renderer);

}  // namespace velk::platform
