#include "platform/direct3d/gl_backend.h"

#define GL_GLEXT_PROTOTYPES 1
#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/glcorearb.h>

#include <dlfcn.h>
#include <link.h>

#include <array>
#include <bit>
#include <map>
#include <cstdio>
#include <cstring>
#include <utility>
#include <vector>

#include "platform/direct3d/d3d_device.h"

namespace velk::platform {

namespace {

std::string g_problem;

// The pixel centres of the device lie on whole coordinates and its edges
// follow the top-left rule; the shift moves every edge that falls on a pixel
// centre just off it, so no tie is left to OpenGL's own rule.
constexpr float kEdgeShift = 1.0f / 128.0f;

const char* kVertexShader = R"(#version 330 core
layout(location = 0) in vec4 position;
layout(location = 1) in vec4 diffuse;
layout(location = 2) in vec4 specular;
layout(location = 3) in vec2 uv0;
layout(location = 4) in vec2 uv1;
uniform vec2 target_size;
uniform float edge_shift;
flat out vec4 v_diffuse;
flat out vec4 v_specular;
out vec2 v_uv0;
out vec2 v_uv1;
void main() {
    vec2 window = position.xy + vec2(0.5 - edge_shift);
    gl_Position = vec4(window * 2.0 / target_size - 1.0, 0.0, 1.0);
    v_diffuse = diffuse.bgra;
    v_specular = specular.bgra;
    v_uv0 = uv0;
    v_uv1 = uv1;
}
)";

// One stage's argument as GLSL.
std::string ArgText(uint32_t arg) {
    std::string v;
    switch (arg & 0xF) {
        case kTaDiffuse: v = "v_diffuse"; break;
        case kTaCurrent: v = "current"; break;
        case kTaTexture: v = "tex"; break;
        case kTaTFactor: v = "factor"; break;
        default: v = "v_specular"; break;
    }
    return (arg & kTaComplement) != 0 ? "(vec4(1.0) - " + v + ")" : v;
}

std::string OpText(uint32_t op, const std::string& a1, const std::string& a2) {
    switch (op) {
        case kTopSelectArg1: return a1;
        case kTopSelectArg2: return a2;
        case kTopModulate: return "(" + a1 + " * " + a2 + ")";
        case kTopModulate2x: return "clamp(" + a1 + " * " + a2 + " * 2.0, 0.0, 1.0)";
        case kTopModulate4x: return "clamp(" + a1 + " * " + a2 + " * 4.0, 0.0, 1.0)";
        case kTopAdd: return "clamp(" + a1 + " + " + a2 + ", 0.0, 1.0)";
        case kTopSubtract: return "clamp(" + a1 + " - " + a2 + ", 0.0, 1.0)";
        case kTopBlendDiffuseAlpha: return "mix(" + a2 + ", " + a1 + ", v_diffuse.a)";
        case kTopBlendCurrentAlpha: return "mix(" + a2 + ", " + a1 + ", current.a)";
        default: return "current";
    }
}

const char* CompareText(uint32_t func) {
    switch (func) {
        case kCmpNever: return "false";
        case kCmpLess: return "a < alpha_ref";
        case kCmpEqual: return "a == alpha_ref";
        case kCmpLessEqual: return "a <= alpha_ref";
        case kCmpGreater: return "a > alpha_ref";
        case kCmpNotEqual: return "a != alpha_ref";
        case kCmpGreaterEqual: return "a >= alpha_ref";
        default: return "true";
    }
}

// What a fragment program depends on: per stage the operations, arguments
// and texture facts, then colour key and alpha test.
struct ProgramKey {
    std::array<uint32_t, 4 * 9 + 3> words{};
    bool operator<(const ProgramKey& other) const { return words < other.words; }
};

// A fragment program with the stages written out, so the rasterizer runs
// only the operations the state asks for.
std::string FragmentSource(const ProgramKey& key) {
    std::string s = R"(#version 330 core
flat in vec4 v_diffuse;
flat in vec4 v_specular;
in vec2 v_uv0;
in vec2 v_uv1;
out vec4 color;
uniform sampler2D tex0;
uniform sampler2D tex1;
uniform sampler2D tex2;
uniform sampler2D tex3;
uniform vec4 factor;
uniform float alpha_ref;
void main() {
    vec4 current = v_diffuse;
    vec4 tex;
)";
    for (int i = 0; i < 4; ++i) {
        const uint32_t* w = &key.words[i * 9];
        const uint32_t color_op = w[0], alpha_op = w[3];
        if (color_op == kTopDisable) break;
        s += "    tex = vec4(1.0);\n";
        if (w[6] != 0) {
            s += "    tex = texture(tex" + std::to_string(i) + (w[8] == 0 ? ", v_uv0);\n" : ", v_uv1);\n");
            if (w[7] == 0) {
                if (key.words[36] != 0) s += "    if (tex.a < 0.5) discard;\n";
                s += "    tex.a = 1.0;\n";
            }
        }
        const std::string rgb = OpText(color_op, ArgText(w[1]), ArgText(w[2]));
        const std::string a =
            alpha_op == kTopDisable ? std::string("current") : OpText(alpha_op, ArgText(w[4]), ArgText(w[5]));
        s += "    current = vec4((" + rgb + ").rgb, (" + a + ").a);\n";
    }
    if (key.words[37] != 0) {
        s += "    float a = floor(current.a * 255.0 + 0.5);\n";
        s += std::string("    if (!(") + CompareText(key.words[38]) + ")) discard;\n";
    }
    s += "    color = current;\n}\n";
    return s;
}

struct Channel {
    int shift = 0;
    int width = 0;
};

Channel ChannelOf(uint32_t mask) {
    if (mask == 0) return {};
    return Channel{std::countr_zero(mask), std::popcount(mask)};
}

uint32_t Widen(uint32_t value, Channel c) {
    if (c.width == 0) return 0;
    const uint32_t max = (c.width >= 32) ? 0xFFFFFFFFu : ((1u << c.width) - 1);
    const uint32_t v = (value >> c.shift) & max;
    return c.width >= 8 ? v >> (c.width - 8) : (v * 255 + max / 2) / max;
}

uint32_t Narrow(uint32_t value8, Channel c) {
    if (c.width == 0) return 0;
    const uint32_t max = (1u << c.width) - 1;
    const uint32_t v = c.width >= 8 ? value8 << (c.width - 8) : (value8 * max + 127) / 255;
    return v << c.shift;
}

uint32_t ReadValue(const uint8_t* p, int bytes) {
    uint32_t v = 0;
    std::memcpy(&v, p, static_cast<size_t>(bytes));
    return v;
}

// The pixels of a surface as a texture or a frame buffer.
class GlMirror final : public SurfaceMirror {
public:
    GlMirror(DdSurface& surface, bool target) {
        const DdPixelFormat& f = surface.pixel_format();
        has_alpha_ = f.alpha_mask != 0;
        // A target of 16 bits quantises every blend as the display would.
        internal_ = target && f.rgb_bit_count == 16 && !has_alpha_ ? GL_RGB565 : GL_RGBA8;
        glGenTextures(1, &texture_);
        glBindTexture(GL_TEXTURE_2D, texture_);
        glTexImage2D(GL_TEXTURE_2D, 0, static_cast<GLint>(internal_), static_cast<GLsizei>(surface.width()),
                     static_cast<GLsizei>(surface.height()), 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
        width_ = surface.width();
        height_ = surface.height();
    }
    ~GlMirror() override {
        if (framebuffer_ != 0) glDeleteFramebuffers(1, &framebuffer_);
        glDeleteTextures(1, &texture_);
    }

    bool has_alpha() const { return has_alpha_; }
    GLuint texture() const { return texture_; }

    GLuint Framebuffer() {
        if (framebuffer_ == 0) {
            glGenFramebuffers(1, &framebuffer_);
            glBindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
            glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, texture_, 0);
        }
        return framebuffer_;
    }

    // Sends the surface's pixels when they changed since the last time.
    void Update(DdSurface& surface) {
        // While this copy was written last it is the current one.
        if (surface.mirror_newer() || uploaded_serial_ == surface.serial()) return;
        uploaded_serial_ = surface.serial();
        const DdPixelFormat& f = surface.pixel_format();
        const Channel r = ChannelOf(f.red_mask), g = ChannelOf(f.green_mask), b = ChannelOf(f.blue_mask),
                      a = ChannelOf(f.alpha_mask);
        const int bytes = surface.bytes_per_pixel();
        DdColorKey key;
        const bool keyed = !has_alpha_ && surface.GetColorKey(kDdCkeySrcBlt, &key) == kDdOk;
        const uint32_t used = f.red_mask | f.green_mask | f.blue_mask;
        std::vector<uint8_t> rgba(static_cast<size_t>(width_) * height_ * 4);
        for (uint32_t y = 0; y < height_; ++y) {
            const uint8_t* row = std::as_const(surface).row(y);
            uint8_t* out = rgba.data() + static_cast<size_t>(y) * width_ * 4;
            for (uint32_t x = 0; x < width_; ++x, out += 4) {
                const uint32_t v = ReadValue(row + x * bytes, bytes);
                out[0] = static_cast<uint8_t>(Widen(v, r));
                out[1] = static_cast<uint8_t>(Widen(v, g));
                out[2] = static_cast<uint8_t>(Widen(v, b));
                if (has_alpha_) {
                    out[3] = static_cast<uint8_t>(Widen(v, a));
                } else {
                    const uint32_t m = v & used;
                    out[3] = keyed && m >= (key.low & used) && m <= (key.high & used) ? 0 : 255;
                }
            }
        }
        glBindTexture(GL_TEXTURE_2D, texture_);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
        glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, static_cast<GLsizei>(width_), static_cast<GLsizei>(height_), GL_RGBA,
                        GL_UNSIGNED_BYTE, rgba.data());
    }

    void Filled(DdSurface& surface, const Rect& area, uint32_t value) override {
        // Only a copy that was current before the fill (one write behind).
        if (uploaded_serial_ + 1 != surface.serial()) return;
        const DdPixelFormat& f = surface.pixel_format();
        const float r = static_cast<float>(Widen(value, ChannelOf(f.red_mask))) / 255.0f;
        const float g = static_cast<float>(Widen(value, ChannelOf(f.green_mask))) / 255.0f;
        const float b = static_cast<float>(Widen(value, ChannelOf(f.blue_mask))) / 255.0f;
        float a = has_alpha_ ? static_cast<float>(Widen(value, ChannelOf(f.alpha_mask))) / 255.0f : 1.0f;
        DdColorKey key;
        const uint32_t used = f.red_mask | f.green_mask | f.blue_mask;
        if (!has_alpha_ && surface.GetColorKey(kDdCkeySrcBlt, &key) == kDdOk && (value & used) >= (key.low & used) &&
            (value & used) <= (key.high & used))
            a = 0.0f;
        glBindFramebuffer(GL_FRAMEBUFFER, Framebuffer());
        glEnable(GL_SCISSOR_TEST);
        glScissor(area.left, area.top, area.right - area.left, area.bottom - area.top);
        glClearColor(r, g, b, a);
        glClear(GL_COLOR_BUFFER_BIT);
        uploaded_serial_ = surface.serial();
    }

    void PullPixels(DdSurface& surface) override {
        std::vector<uint8_t> rgba(static_cast<size_t>(width_) * height_ * 4);
        glBindFramebuffer(GL_READ_FRAMEBUFFER, Framebuffer());
        glPixelStorei(GL_PACK_ALIGNMENT, 4);
        glReadPixels(0, 0, static_cast<GLsizei>(width_), static_cast<GLsizei>(height_), GL_RGBA, GL_UNSIGNED_BYTE,
                     rgba.data());
        const DdPixelFormat& f = surface.pixel_format();
        const Channel r = ChannelOf(f.red_mask), g = ChannelOf(f.green_mask), b = ChannelOf(f.blue_mask),
                      a = ChannelOf(f.alpha_mask);
        const uint32_t unused = ~(f.red_mask | f.green_mask | f.blue_mask | f.alpha_mask);
        const int bytes = surface.bytes_per_pixel();
        for (uint32_t y = 0; y < height_; ++y) {
            uint8_t* row = surface.row(y);
            const uint8_t* in = rgba.data() + static_cast<size_t>(y) * width_ * 4;
            for (uint32_t x = 0; x < width_; ++x, in += 4) {
                const uint32_t old = ReadValue(row + x * bytes, bytes);
                const uint32_t v = Narrow(in[0], r) | Narrow(in[1], g) | Narrow(in[2], b) | Narrow(in[3], a) |
                                   (old & unused);
                std::memcpy(row + x * bytes, &v, static_cast<size_t>(bytes));
            }
        }
    }

private:
    GLuint texture_ = 0;
    GLuint framebuffer_ = 0;
    GLenum internal_ = GL_RGBA8;
    bool has_alpha_ = false;
    uint32_t width_ = 0;
    uint32_t height_ = 0;
    uint64_t uploaded_serial_ = 0;
};

struct GlVertex {
    float x, y, z, rhw;
    uint32_t diffuse, specular;
    float u0, v0, u1, v1;
};

GLenum BlendFactor(uint32_t factor) {
    switch (factor) {
        case kBlendZero: return GL_ZERO;
        case kBlendOne: return GL_ONE;
        case kBlendSrcColor: return GL_SRC_COLOR;
        case kBlendInvSrcColor: return GL_ONE_MINUS_SRC_COLOR;
        case kBlendSrcAlpha: return GL_SRC_ALPHA;
        case kBlendInvSrcAlpha: return GL_ONE_MINUS_SRC_ALPHA;
        case kBlendDestAlpha: return GL_DST_ALPHA;
        case kBlendInvDestAlpha: return GL_ONE_MINUS_DST_ALPHA;
        case kBlendDestColor: return GL_DST_COLOR;
        case kBlendInvDestColor: return GL_ONE_MINUS_DST_COLOR;
        default: return GL_ONE;
    }
}

// Mesa unmaps its driver when the display ends, and what the driver keeps
// allocated for good would then belong to no library (leak checkers cannot
// tell it from ours). The driver stays mapped; its threads and its screen go.
void KeepDriversMapped() {
    std::vector<std::string> drivers;
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void* found) {
            const std::string name = info->dlpi_name != nullptr ? info->dlpi_name : "";
            if (name.find("_dri.so") != std::string::npos || name.find("libgallium") != std::string::npos)
                static_cast<std::vector<std::string>*>(found)->push_back(name);
            return 0;
        },
        &drivers);
    for (const std::string& driver : drivers) dlopen(driver.c_str(), RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
}

class GlBackend final : public D3dBackend {
public:
    GlBackend() = default;
    GlBackend(const GlBackend&) = delete;
    GlBackend& operator=(const GlBackend&) = delete;
    // The context and the display go with the back-end, so that a driver
    // that was only tried (its threads and its memory) is let go.
    ~GlBackend() override {
        if (display_ == EGL_NO_DISPLAY) return;
        eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
        if (context_ != EGL_NO_CONTEXT) eglDestroyContext(display_, context_);
        KeepDriversMapped();
        eglTerminate(display_);
        eglReleaseThread();
    }

    bool Start() {
        display_ = eglGetPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
        if (display_ == EGL_NO_DISPLAY) display_ = eglGetDisplay(EGL_DEFAULT_DISPLAY);
        if (display_ == EGL_NO_DISPLAY) return Fail("no EGL display");
        if (eglInitialize(display_, nullptr, nullptr) != EGL_TRUE) return Fail("EGL does not start");
        if (eglBindAPI(EGL_OPENGL_API) != EGL_TRUE) return Fail("EGL offers no OpenGL");
        const EGLint config_attributes[] = {EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT, EGL_NONE};
        EGLConfig config = nullptr;
        EGLint configs = 0;
        eglChooseConfig(display_, config_attributes, &config, 1, &configs);
        const EGLint context_attributes[] = {EGL_CONTEXT_MAJOR_VERSION, 3, EGL_CONTEXT_MINOR_VERSION, 3,
                                             EGL_CONTEXT_OPENGL_PROFILE_MASK,
                                             EGL_CONTEXT_OPENGL_CORE_PROFILE_BIT, EGL_NONE};
        context_ = eglCreateContext(display_, configs > 0 ? config : nullptr, EGL_NO_CONTEXT, context_attributes);
        if (context_ == EGL_NO_CONTEXT) return Fail("no OpenGL 3.3 core context");
        if (eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, context_) != EGL_TRUE)
            return Fail("the OpenGL context cannot be made current");
        vertex_shader_ = Compile(GL_VERTEX_SHADER, kVertexShader);
        if (vertex_shader_ == 0 || Program(ProgramKey{}) == nullptr) return false;
        glGenVertexArrays(1, &vertex_array_);
        glBindVertexArray(vertex_array_);
        glGenBuffers(1, &buffer_);
        glBindBuffer(GL_ARRAY_BUFFER, buffer_);
        const auto stride = static_cast<GLsizei>(sizeof(GlVertex));
        glEnableVertexAttribArray(0);
        glVertexAttribPointer(0, 4, GL_FLOAT, GL_FALSE, stride, reinterpret_cast<void*>(offsetof(GlVertex, x)));
        glEnableVertexAttribArray(1);
        glVertexAttribPointer(1, 4, GL_UNSIGNED_BYTE, GL_TRUE, stride,
                              reinterpret_cast<void*>(offsetof(GlVertex, diffuse)));
        glEnableVertexAttribArray(2);
        glVertexAttribPointer(2, 4, GL_UNSIGNED_BYTE, GL_TRUE, stride,
                              reinterpret_cast<void*>(offsetof(GlVertex, specular)));
        glEnableVertexAttribArray(3);
        glVertexAttribPointer(3, 2, GL_FLOAT, GL_FALSE, stride, reinterpret_cast<void*>(offsetof(GlVertex, u0)));
        glEnableVertexAttribArray(4);
        glVertexAttribPointer(4, 2, GL_FLOAT, GL_FALSE, stride, reinterpret_cast<void*>(offsetof(GlVertex, u1)));
        // Flat shading takes a triangle's colour from its first vertex.
        glProvokingVertex(GL_FIRST_VERTEX_CONVENTION);
        // The device draws without dithering (16-bit targets would get noise).
        glDisable(GL_DITHER);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
        const auto* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
        accelerated_ = renderer != nullptr && !IsSoftwareRasterizerName(renderer);
        return glGetError() == GL_NO_ERROR || Fail("OpenGL set-up failed");
    }

    bool accelerated() const { return accelerated_; }

    void DrawTriangles(const D3dDrawState& state, uint32_t format, const uint8_t* vertices, int count) override {
        if (count < 3 || state.target == nullptr) return;
        DdSurface& target = *state.target;
        GlMirror& target_mirror = MirrorOf(target, true);
        target_mirror.Update(target);
        glBindFramebuffer(GL_FRAMEBUFFER, target_mirror.Framebuffer());
        glViewport(0, 0, static_cast<GLsizei>(target.width()), static_cast<GLsizei>(target.height()));
        // The device's viewport clips; it does not move the vertices.
        glEnable(GL_SCISSOR_TEST);
        glScissor(static_cast<GLint>(state.viewport.x), static_cast<GLint>(state.viewport.y),
                  static_cast<GLsizei>(state.viewport.width), static_cast<GLsizei>(state.viewport.height));
        const ProgramKey key = SetStages(state, format);
        const LinkedProgram* program = Program(key);
        if (program == nullptr) return;
        glUseProgram(program->id);
        glUniform2f(program->target_size, static_cast<float>(target.width()), static_cast<float>(target.height()));
        const uint32_t f = state.render[kRsTextureFactor];
        glUniform4f(program->factor, ((f >> 16) & 0xFF) / 255.0f, ((f >> 8) & 0xFF) / 255.0f, (f & 0xFF) / 255.0f,
                    (f >> 24) / 255.0f);
        glUniform1f(program->alpha_ref, static_cast<float>(state.render[kRsAlphaRef] & 0xFF));
        SetBlend(state);
        Upload(format, vertices, count);
        glDrawArrays(GL_TRIANGLES, 0, count);
        target.MarkMirrorNewer();
    }

private:
    bool Fail(const char* why) {
        char code[32];
        std::snprintf(code, sizeof code, " (EGL error 0x%X)", static_cast<unsigned>(eglGetError()));
        g_problem = std::string(why) + code;
        return false;
    }

    GLuint Compile(GLenum kind, const char* source) {
        const GLuint shader = glCreateShader(kind);
        glShaderSource(shader, 1, &source, nullptr);
        glCompileShader(shader);
        GLint ok = 0;
        glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
        if (ok == 0) {
            char log[1024] = {};
            glGetShaderInfoLog(shader, sizeof log, nullptr, log);
            Fail(log);
            return 0;
        }
        return shader;
    }

    struct LinkedProgram {
        GLuint id = 0;
        GLint target_size = -1, factor = -1, alpha_ref = -1;
    };

    // The program of a key, made on first use and kept.
    const LinkedProgram* Program(const ProgramKey& key) {
        if (auto found = programs_.find(key); found != programs_.end()) return &found->second;
        const std::string source = FragmentSource(key);
        const GLuint fs = Compile(GL_FRAGMENT_SHADER, source.c_str());
        if (fs == 0) return nullptr;
        LinkedProgram p;
        p.id = glCreateProgram();
        glAttachShader(p.id, vertex_shader_);
        glAttachShader(p.id, fs);
        glLinkProgram(p.id);
        glDeleteShader(fs);
        GLint ok = 0;
        glGetProgramiv(p.id, GL_LINK_STATUS, &ok);
        if (ok == 0) {
            Fail("the shaders do not link");
            glDeleteProgram(p.id);
            return nullptr;
        }
        glUseProgram(p.id);
        for (int i = 0; i < 4; ++i) {
            const std::string name = "tex" + std::to_string(i);
            glUniform1i(glGetUniformLocation(p.id, name.c_str()), i);
        }
        glUniform1f(glGetUniformLocation(p.id, "edge_shift"), kEdgeShift);
        p.target_size = glGetUniformLocation(p.id, "target_size");
        p.factor = glGetUniformLocation(p.id, "factor");
        p.alpha_ref = glGetUniformLocation(p.id, "alpha_ref");
        return &programs_.emplace(key, p).first->second;
    }

    GlMirror& MirrorOf(DdSurface& surface, bool target) {
        if (auto* mirror = dynamic_cast<GlMirror*>(surface.mirror())) return *mirror;
        auto mirror = std::make_shared<GlMirror>(surface, target || (surface.caps() & kDdsCaps3DDevice) != 0);
        GlMirror& ref = *mirror;
        surface.SetMirror(std::move(mirror));
        return ref;
    }

    // Binds the stages' textures and gives the program key of the state.
    ProgramKey SetStages(const D3dDrawState& state, uint32_t format) {
        ProgramKey key;
        for (int i = 0; i < 4; ++i) {
            const auto& s = state.stage[i];
            uint32_t* w = &key.words[i * 9];
            w[0] = s[kTssColorOp];
            w[1] = s[kTssColorArg1];
            w[2] = s[kTssColorArg2];
            w[3] = s[kTssAlphaOp];
            w[4] = s[kTssAlphaArg1];
            w[5] = s[kTssAlphaArg2];
            w[8] = format == kFvfTwoTextures ? (s[kTssTexCoordIndex] & 1) : 0;
            DdSurface* texture = format == kFvfUntextured ? nullptr : state.texture[i];
            glActiveTexture(GL_TEXTURE0 + i);
            if (texture != nullptr && texture != state.target && w[0] != kTopDisable) {
                GlMirror& mirror = MirrorOf(*texture, false);
                mirror.Update(*texture);
                w[6] = 1;
                w[7] = mirror.has_alpha() ? 1 : 0;
                glBindTexture(GL_TEXTURE_2D, mirror.texture());
                const GLint mag = s[kTssMagFilter] == kFilterLinear ? GL_LINEAR : GL_NEAREST;
                const GLint min = s[kTssMinFilter] == kFilterLinear ? GL_LINEAR : GL_NEAREST;
                glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, mag);
                glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, min);
                glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
                glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
            } else {
                glBindTexture(GL_TEXTURE_2D, 0);
            }
            if (w[0] == kTopDisable) {
                for (int rest = i * 9; rest < 36; ++rest) key.words[rest] = 0;
                key.words[i * 9] = kTopDisable;
                break;
            }
        }
        key.words[36] = state.render[kRsColorKeyEnable] != 0 ? 1 : 0;
        key.words[37] = state.render[kRsAlphaTestEnable] != 0 ? 1 : 0;
        key.words[38] = key.words[37] != 0 ? state.render[kRsAlphaFunc] : 0;
        return key;
    }

    void SetBlend(const D3dDrawState& state) {
        if (state.render[kRsAlphaBlendEnable] == 0) {
            glDisable(GL_BLEND);
            return;
        }
        glEnable(GL_BLEND);
        glBlendFunc(BlendFactor(state.render[kRsSrcBlend]), BlendFactor(state.render[kRsDestBlend]));
    }

    void Upload(uint32_t format, const uint8_t* vertices, int count) {
        staged_.resize(static_cast<size_t>(count));
        const int size = VertexSize(format);
        for (int i = 0; i < count; ++i) {
            const uint8_t* p = vertices + static_cast<size_t>(i) * size;
            GlVertex& v = staged_[i];
            v = GlVertex{};
            v.specular = 0xFFFFFFFF;
            if (format == kFvfUntextured) {
                VertexUntextured in;
                std::memcpy(&in, p, sizeof in);
                v.x = in.x, v.y = in.y, v.z = in.z, v.rhw = in.rhw, v.diffuse = in.diffuse;
            } else if (format == kFvfOneTexture) {
                VertexOneTexture in;
                std::memcpy(&in, p, sizeof in);
                v.x = in.x, v.y = in.y, v.z = in.z, v.rhw = in.rhw, v.diffuse = in.diffuse;
                v.u0 = v.u1 = in.u;
                v.v0 = v.v1 = in.v;
            } else {
                VertexTwoTextures in;
                std::memcpy(&in, p, sizeof in);
                v.x = in.x, v.y = in.y, v.z = in.z, v.rhw = in.rhw, v.diffuse = in.diffuse, v.specular = in.specular;
                v.u0 = in.u1, v.v0 = in.v1, v.u1 = in.u2, v.v1 = in.v2;
            }
        }
        glBindBuffer(GL_ARRAY_BUFFER, buffer_);
        glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(staged_.size() * sizeof(GlVertex)), staged_.data(),
                     GL_STREAM_DRAW);
    }

    EGLDisplay display_ = EGL_NO_DISPLAY;
    EGLContext context_ = EGL_NO_CONTEXT;
    bool accelerated_ = false;
    GLuint vertex_shader_ = 0;
    std::map<ProgramKey, LinkedProgram> programs_;
    GLuint vertex_array_ = 0;
    GLuint buffer_ = 0;
    std::vector<GlVertex> staged_;
};

}  // namespace

namespace {

// The shared back-end and what the first context told of the machine. A
// context that was declined is released; its verdict is kept so that it is
// not made again only to be declined again.
struct SharedGlState {
    std::shared_ptr<GlBackend> backend;
    bool failed = false;
    bool verdict_known = false;
    bool accelerated = false;
};

SharedGlState& SharedState() {
    // Never destroyed: at the process's exit EGL may already be gone, and
    // the system takes the context back anyway.
    static SharedGlState* state = new SharedGlState;
    return *state;
}

std::shared_ptr<GlBackend> SharedGl() {
    SharedGlState& state = SharedState();
    if (!state.backend && !state.failed) {
        auto made = std::make_shared<GlBackend>();
        if (made->Start()) {
            state.backend = std::move(made);
            state.verdict_known = true;
            state.accelerated = state.backend->accelerated();
        } else {
            state.failed = true;
        }
    }
    return state.backend;
}

}  // namespace

std::shared_ptr<D3dBackend> SharedGlBackend() { return SharedGl(); }

std::string GlBackendProblem() { return g_problem; }

bool EglDevicesAllSoftware() {
    const char* client = eglQueryString(EGL_NO_DISPLAY, EGL_EXTENSIONS);
    if (client == nullptr || std::strstr(client, "EGL_EXT_device_enumeration") == nullptr) return false;
    const auto query_devices = reinterpret_cast<PFNEGLQUERYDEVICESEXTPROC>(eglGetProcAddress("eglQueryDevicesEXT"));
    const auto query_string =
        reinterpret_cast<PFNEGLQUERYDEVICESTRINGEXTPROC>(eglGetProcAddress("eglQueryDeviceStringEXT"));
    if (query_devices == nullptr || query_string == nullptr) return false;
    std::array<EGLDeviceEXT, 16> devices{};
    EGLint count = 0;
    if (query_devices(static_cast<EGLint>(devices.size()), devices.data(), &count) != EGL_TRUE || count <= 0)
        return false;
    for (EGLint i = 0; i < count; ++i) {
        const char* extensions = query_string(devices[static_cast<size_t>(i)], EGL_EXTENSIONS);
        if (extensions == nullptr || std::strstr(extensions, "EGL_MESA_device_software") == nullptr) return false;
    }
    return true;
}

bool SharedGlBackendAccelerated() {
    SharedGlState& state = SharedState();
    if (state.verdict_known) return state.accelerated;
    // A machine whose only devices draw in software needs no context to be
    // told so: the driver (tens of megabytes and a thread per processor)
    // is never started.
    if (!state.backend && EglDevicesAllSoftware()) {
        state.verdict_known = true;
        state.accelerated = false;
        return false;
    }
    return SharedGl() && state.accelerated;
}

bool ReleaseSharedGlBackend() {
    SharedGlState& state = SharedState();
    if (!state.backend || state.backend.use_count() > 1) return false;
    state.backend.reset();
    return true;
}

bool SharedGlBackendLive() { return SharedState().backend != nullptr; }

bool IsSoftwareRasterizerName(const std::string& renderer) {
    for (const char* name : {"llvmpipe", "softpipe", "Software Rasterizer", "swrast"}) {
        if (renderer.find(name) != std::string::npos) return true;
    }
    return false;
}

}  // namespace velk::platform
