// The OpenGL ES 1.x renderer: the device side (EGL on the
// platform window, default state, projection, frame start and present,
// texture upload, render targets, shutdown) and the drawing side
// (the quad batch, blend modes, filter, scissor, clears,
// transforms, lines, triangles and render states).
#include "rendimp-gles.h"
#include "kd-bitmap-seq.h"

#include <EGL/egl.h>
#include <GLES/gl.h>
#include <GLES/glext.h>
#include <stdlib.h>
#include <string.h>

#include "qnx-kodo.h"
#include "rendimp-glx.h"

#include <host/host.h>

// --------------------------------------------------------------- module

namespace {

EGLDisplay egl_display = EGL_NO_DISPLAY;
EGLConfig egl_config = nullptr;
EGLSurface egl_surface = EGL_NO_SURFACE;
EGLContext egl_context = EGL_NO_CONTEXT;

struct GLCaps {
    GLenum framebuffer_format = GL_RGB;
    bool separate_blendfunc = false;
    bool npot = false;
    // GL_MAX_TEXTURE_SIZE, read with the extensions (0 until then).
    int max_texture_side = 0;
} gl_caps;

struct TestSwitches {
    bool force_power_of_two = false;
    bool force_rgba_fallback = false;
} test_switches;

kd_gles_stats_t stats;

kd_bitmap_t* bm_gl_rt = nullptr;
kd_eye_mode_t eye_mode = KD_EYE_MONO;
bool out_of_texture_memory = false;
bool out_of_memory_popup_shown = false;

kodo_t* r_kd = nullptr;
kd_state_t* r_state = nullptr;
kd_parms_t* r_parms = nullptr;
kd_prog_t* r_prog = nullptr;

RendImpOpenGLES* instance = nullptr;

// GL_OES_framebuffer_object, resolved through eglGetProcAddress: Debian's
// libGLESv1_CM does not export these.
PFNGLGENFRAMEBUFFERSOESPROC p_glGenFramebuffersOES = nullptr;
PFNGLBINDFRAMEBUFFEROESPROC p_glBindFramebufferOES = nullptr;
PFNGLDELETEFRAMEBUFFERSOESPROC p_glDeleteFramebuffersOES = nullptr;
PFNGLFRAMEBUFFERTEXTURE2DOESPROC p_glFramebufferTexture2DOES = nullptr;
PFNGLCHECKFRAMEBUFFERSTATUSOESPROC p_glCheckFramebufferStatusOES = nullptr;

void* GetProcAddress(const char* name) {
    if (KDID_GLX_Active()) return KDID_GLX_GetProcAddress(name);
    return (void*)eglGetProcAddress(name);
}

bool ResolveFramebufferEntryPoints() {
    if (p_glGenFramebuffersOES) return true;
    p_glGenFramebuffersOES = (PFNGLGENFRAMEBUFFERSOESPROC)GetProcAddress("glGenFramebuffersOES");
    p_glBindFramebufferOES = (PFNGLBINDFRAMEBUFFEROESPROC)GetProcAddress("glBindFramebufferOES");
    p_glDeleteFramebuffersOES = (PFNGLDELETEFRAMEBUFFERSOESPROC)GetProcAddress("glDeleteFramebuffersOES");
    p_glFramebufferTexture2DOES = (PFNGLFRAMEBUFFERTEXTURE2DOESPROC)GetProcAddress("glFramebufferTexture2DOES");
    p_glCheckFramebufferStatusOES = (PFNGLCHECKFRAMEBUFFERSTATUSOESPROC)GetProcAddress("glCheckFramebufferStatusOES");
    if (p_glGenFramebuffersOES && p_glBindFramebufferOES && p_glDeleteFramebuffersOES &&
        p_glFramebufferTexture2DOES && p_glCheckFramebufferStatusOES)
        return true;
    p_glGenFramebuffersOES = nullptr;
    return false;
}

void BindFramebuffer(GLuint fb) {
    if (p_glBindFramebufferOES) p_glBindFramebufferOES(GL_FRAMEBUFFER_OES, fb);
}

int ScreenWidth() { return kd_qnx_screen_width; }
int ScreenHeight() { return kd_qnx_screen_height; }

const GLuint kUnknownTexture = 0xFFFFFFFFu;

// The quad batch `br`.
struct BatchRenderer {
    GLushort indices[384];
    kd_vertex_t vertices[256];
    int count;
    GLuint bound_texture;
    bool arrays_set;

    BatchRenderer() {
        for (int q = 0; q < 64; q++) {
            GLushort b = (GLushort)(4 * q);
            GLushort* i = &indices[6 * q];
            i[0] = b;
            i[1] = (GLushort)(b + 1);
            i[2] = (GLushort)(b + 2);
            i[3] = (GLushort)(b + 1);
            i[4] = (GLushort)(b + 2);
            i[5] = (GLushort)(b + 3);
        }
        for (int v = 0; v < 256; v++) {
            memset(&vertices[v], 0, sizeof vertices[v]);
            vertices[v].z = 0.5f;
            vertices[v].color = 0xFFFFFFFFu;
        }
        count = 0;
        bound_texture = kUnknownTexture;
        arrays_set = false;
    }
    ~BatchRenderer() {}

    void PointArrays() {
        glVertexPointer(3, GL_FLOAT, sizeof(kd_vertex_t), &vertices[0].x);
        glColorPointer(4, GL_UNSIGNED_BYTE, sizeof(kd_vertex_t), &vertices[0].color);
        glTexCoordPointer(2, GL_FLOAT, sizeof(kd_vertex_t), &vertices[0].u);
        arrays_set = true;
    }

    void Draw() {
        if (count <= 0) return;
        if (!arrays_set) PointArrays();
        glDrawElements(GL_TRIANGLES, count * 6, GL_UNSIGNED_SHORT, indices);
        stats.draw_calls++;
        stats.quads += (unsigned long long)count;
        count = 0;
    }

    void Append(const kd_vertex_t* v) {
        memcpy(&vertices[count * 4], v, 4 * sizeof(kd_vertex_t));
        count++;
        if (count >= 64) Draw();
    }

    // The bitmap's texture for the batch; null turns texturing off.
    void Bind(const kd_bitmap_t* bm) {
        GLuint wanted = bm ? bm->hw.texture : 0;
        if (wanted == bound_texture) return;
        Draw();
        if (!wanted) {
            if (bound_texture != 0) {
                glDisable(GL_TEXTURE_2D);
                glDisableClientState(GL_TEXTURE_COORD_ARRAY);
            }
        } else {
            if (bound_texture == 0 || bound_texture == kUnknownTexture) {
                glEnable(GL_TEXTURE_2D);
                glEnableClientState(GL_TEXTURE_COORD_ARRAY);
            }
            glBindTexture(GL_TEXTURE_2D, wanted);
            stats.texture_binds++;
        }
        bound_texture = wanted;
    }

    void Reset() {
        count = 0;
        bound_texture = kUnknownTexture;
        arrays_set = false;
    }
};

BatchRenderer br;

// The EGL context has no depth buffer, so there the depth test never
// rejects anything; the GLX window's configuration may bring one, and the
// two must draw the same picture.
void EnableDepthTest(bool on) {
    if (on && !KDID_GLX_HasDepthBuffer())
        glEnable(GL_DEPTH_TEST);
    else
        glDisable(GL_DEPTH_TEST);
}

bool IsPowerOfTwo(int n) { return n > 0 && (n & (n - 1)) == 0; }

int NextPowerOfTwo(int n) {
    int p = 1;
    while (p < n && p < (1 << 30)) p <<= 1;
    return p;
}

// Checks an upload for running out of texture memory.
void CheckUploadError() {
    GLenum e = glGetError();
    if (e != GL_NO_ERROR) ProcessGLError((int)e);
}

// Makes a new texture the batch's bound one (texturing enabled when none
// was bound).
void AdoptBoundTexture(GLuint texture) {
    if (br.bound_texture == 0 || br.bound_texture == kUnknownTexture) {
        glEnable(GL_TEXTURE_2D);
        glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    }
    br.bound_texture = texture;
}

}  // namespace

// ------------------------------------------------------------ platform

void ProcessGLError(int error) {
    if (error == GL_OUT_OF_MEMORY) out_of_texture_memory = true;
}

int KD_Optimized_glGetError() { return 0; }

void KD_glOrtho(float left, float right, float bottom, float top, float n, float f) {
    GLfloat m[16] = {0};
    m[0] = 2.0f / (right - left);
    m[5] = 2.0f / (top - bottom);
    m[10] = -2.0f / (f - n);
    m[12] = -(right + left) / (right - left);
    m[13] = -(top + bottom) / (top - bottom);
    m[14] = -(f + n) / (f - n);
    m[15] = 1.0f;
    glMultMatrixf(m);
}

bool KDID_CreateWindow() { return true; }
void KDID_DestroyWindow() {}

bool KDID_IsResolutionSupported(int w, int h) {
    int dw = kd_state.device_width > 0 ? kd_state.device_width : kd_qnx_screen_width;
    int dh = kd_state.device_height > 0 ? kd_state.device_height : kd_qnx_screen_height;
    return (w == dw && h == dh) || (w == dh && h == dw);
}

bool KDID_OGLES_TryActivateContext() {
    if (KDID_GLX_Active()) return KDID_GLX_MakeCurrent();
    if (egl_display == EGL_NO_DISPLAY || egl_context == EGL_NO_CONTEXT) return false;
    return eglMakeCurrent(egl_display, egl_surface, egl_surface, egl_context) == EGL_TRUE;
}

// GLX where the X server offers shared memory (rendimp-glx.h), else EGL.
bool KDID_OGLES_Initialize() {
    if (!KD_QNX_InitWindowAndContexts()) return false;
    if (KDID_GLX_Start(host_get_x11_display(), (unsigned long)(uintptr_t)KDQ_GetScreenWindow())) {
        KD_Printf("OpenGL ES 1.1 through GLX, presented through X shared memory\n");
        KD_Printf("OpenGL window size %dx%d\n", ScreenWidth(), ScreenHeight());
        glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_FASTEST);
        return true;
    }
    egl_display = eglGetDisplay(EGL_DEFAULT_DISPLAY);
    if (egl_display == EGL_NO_DISPLAY) return false;
    EGLint major = 0, minor = 0;
    EGLBoolean initialised = eglInitialize(egl_display, &major, &minor);
    KD_Printf("OpenGL ES version %d.%d\n", major, minor);
    if (!eglBindAPI(EGL_OPENGL_ES_API)) {
        KD_PrintDebugf(KD_LOG_ERROR, "OpenGL ES eglBindAPI failed.");
        return false;
    }
    bool have_config = false;
    if (!initialised) {
        KD_Popupf(2, "Unable to eglInitialize\n");
        KD_Popupf(2, "Unable to eglGetConfigs\n");
    } else {
        EGLint available = 0;
        if (!eglGetConfigs(egl_display, nullptr, 0, &available)) {
            KD_Popupf(2, "Unable to eglGetConfigs\n");
        } else {
            const EGLint attributes[] = {EGL_RED_SIZE,     8, EGL_GREEN_SIZE,   8,
                                         EGL_BLUE_SIZE,    8, EGL_ALPHA_SIZE,   8,
                                         EGL_DEPTH_SIZE,   0, EGL_SURFACE_TYPE, EGL_WINDOW_BIT,
                                         EGL_RENDERABLE_TYPE, EGL_OPENGL_ES_BIT, EGL_NONE};
            EGLint n = 0;
            have_config = eglChooseConfig(egl_display, attributes, &egl_config, 1, &n) && n == 1;
        }
    }

    bool created = false;
    if (have_config) {
        egl_surface = eglCreateWindowSurface(egl_display, egl_config, (EGLNativeWindowType)KDQ_GetScreenWindow(),
                                             nullptr);
        if (egl_surface == EGL_NO_SURFACE) {
            KD_Popupf(2, "eglCreateWindowSurface failed\n");
        } else {
            egl_context = eglCreateContext(egl_display, egl_config, EGL_NO_CONTEXT, nullptr);
            if (egl_context == EGL_NO_CONTEXT)
                KD_Popupf(2, "eglCreateContext failed\n");
            else
                created = eglMakeCurrent(egl_display, egl_surface, egl_surface, egl_context) == EGL_TRUE;
        }
    }
    if (!created) KD_Popupf(2, "eglCreateContext failed\n");

    EGLint error = eglGetError();
    if (error != EGL_SUCCESS) KD_PrintDebugf(KD_LOG_ERROR, "EGL Init error 0x%04x\n", error);
    EGLBoolean interval = eglSwapInterval(egl_display, 1);
    if (interval != 1) KD_PrintDebugf(KD_LOG_ERROR, "EGL Init error eglSwapInterval\n");

    EGLint w = 0, h = 0;
    if (egl_surface != EGL_NO_SURFACE) {
        eglQuerySurface(egl_display, egl_surface, EGL_WIDTH, &w);
        eglQuerySurface(egl_display, egl_surface, EGL_HEIGHT, &h);
    }
    KD_Printf("OpenGL window size %dx%d\n", w, h);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_FASTEST);
    return interval != 0;
}

// The window stays: it belongs to the platform entry, which created it
// before pre-initialisation and destroys it at exit, so that a renderer
// re-initialisation can make a new surface on it.
void KDID_OGLES_Shutdown() {
    if (KDID_GLX_Active()) {
        KDID_GLX_Stop();
        return;
    }
    if (egl_display != EGL_NO_DISPLAY) {
        eglMakeCurrent(egl_display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
        if (egl_context != EGL_NO_CONTEXT) eglDestroyContext(egl_display, egl_context);
        if (egl_surface != EGL_NO_SURFACE) eglDestroySurface(egl_display, egl_surface);
        eglTerminate(egl_display);
    }
    egl_display = EGL_NO_DISPLAY;
    egl_surface = EGL_NO_SURFACE;
    egl_context = EGL_NO_CONTEXT;
    egl_config = nullptr;
    eglReleaseThread();
}

bool KD_OpenGL_NPOT_Test() {
    glEnable(GL_TEXTURE_2D);
    GLuint tex = 0;
    glGenTextures(1, &tex);
    glBindTexture(GL_TEXTURE_2D, tex);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    while (glGetError() != GL_NO_ERROR) {
    }
    static const unsigned char pixels[5 * 5 * 4] = {0};
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 5, 5, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels);
    bool ok = glGetError() == GL_NO_ERROR;
    glDeleteTextures(1, &tex);
    return ok;
}

void KDID_OGLES_SetTestSwitches(bool force_power_of_two, bool force_rgba_fallback) {
    test_switches.force_power_of_two = force_power_of_two;
    test_switches.force_rgba_fallback = force_rgba_fallback;
    if (force_power_of_two) gl_caps.npot = false;
}

unsigned int KDID_OGLES_GetFramebufferFormat() { return gl_caps.framebuffer_format; }
bool KDID_OGLES_NonPowerOfTwoSupported() { return gl_caps.npot; }
void KDID_OGLES_ResetCaps() { gl_caps.framebuffer_format = GL_RGB; }
const kd_gles_stats_t* KDID_OGLES_GetStats() { return &stats; }
void KDID_OGLES_ResetStats() { memset(&stats, 0, sizeof stats); }

// -------------------------------------------------------------- renderer

RendImp* KODO_RendImpOpenGLES_GetInterface() {
    if (!instance) instance = new RendImpOpenGLES();
    return instance;
}

RendImp* KODO_RendImp_GetInterface() { return KODO_RendImpOpenGLES_GetInterface(); }

RendImpOpenGLES::RendImpOpenGLES()
    : tex_env_mode(GL_MODULATE),
      near_depth(0.1f),
      default_depth(0.5f),
      far_depth(200.0f),
      depth_test(false),
      depth_write(false) {}

int RendImpOpenGLES::GetMaxTextureSide() {
    int side = gl_caps.max_texture_side;
    return side > 0 && side < KD_RENDERER_MAX_TEXTURE_SIDE ? side : KD_RENDERER_MAX_TEXTURE_SIDE;
}

bool RendImpOpenGLES::IsResolutionSupported(int w, int h) { return KDID_IsResolutionSupported(w, h); }

void RendImpOpenGLES::LoadExtensions() {
    gl_caps.framebuffer_format = gl_caps.framebuffer_format == GL_RGBA ? GL_RGBA : GL_RGB;  // stays RGBA once set
    gl_caps.separate_blendfunc = false;
    gl_caps.npot = false;
    while (glGetError() != GL_NO_ERROR) {
    }
    GLint side = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &side);
    gl_caps.max_texture_side = glGetError() == GL_NO_ERROR ? side : 0;
    const char* ext = (const char*)glGetString(GL_EXTENSIONS);
    GLenum error = glGetError();
    if (error != GL_NO_ERROR || !ext) {
        KD_Printf("GL_EXTENSIONS ERROR %i", (int)error);
    } else {
        gl_caps.npot = strstr(ext, "GL_APPLE_texture_2D_limited_npot") || strstr(ext, "GL_IMG_texture_npot");
        KD_Printf(strstr(ext, "GL_OES_blend_func_separate") ? "gl_caps.separate_blendfunc == true"
                                                              : "gl_caps.separate_blendfunc == false");
    }
    if (!ResolveFramebufferEntryPoints())
        KD_PrintDebugf(KD_LOG_WARNING,
                       "GL_OES_framebuffer_object entry points not found; render targets are unavailable.\n");
}

void RendImpOpenGLES::SetProjection(int width, int height) {
    if (width <= 0 || height <= 0) return;
    float N = near_depth, F = far_depth, D = default_depth;
    float k = ((float)height / 600.0f) * 8.0f;
    float A = D * k, B = A + D;
    GLfloat m[16] = {0};
    m[0] = 2.0f * B / (float)width;
    m[5] = -2.0f * B / (float)height;
    m[10] = F / (F - N);
    m[11] = 1.0f;
    m[12] = -B;
    m[13] = B;
    m[14] = -N * F / (F - N) + 0.99f * A;
    m[15] = A;
    glMatrixMode(GL_PROJECTION);
    glLoadMatrixf(m);
    glMatrixMode(GL_MODELVIEW);
}

void RendImpOpenGLES::UpdateProjection() {
    if (bm_gl_rt)
        SetProjection(bm_gl_rt->hw.tex_width, bm_gl_rt->hw.tex_height);
    else
        SetProjection(ScreenWidth(), ScreenHeight());
}

void RendImpOpenGLES::SetDepthRange(float n, float d, float f) {
    near_depth = n;
    default_depth = d;
    far_depth = f > n ? f : n + 0.001f;  // keeps F - N away from 0
    UpdateProjection();
}

void RendImpOpenGLES::SetDefaultState() {
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glAlphaFuncx(GL_GREATER, 0);
    glDisable(GL_STENCIL_TEST);
    glDisable(GL_CULL_FACE);
    glDisable(GL_LIGHTING);
    glFrontFace(GL_CW);
    EnableDepthTest(depth_test);
    glDepthFunc(GL_LEQUAL);
    glDisable(GL_ALPHA_TEST);
    glEnable(GL_BLEND);
    glEnable(GL_TEXTURE_2D);
    r_state->blend_mode = 1;
    SetBlend(0);
    r_state->pixel_filter = 0;
    SetPixelFilter(1);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    tex_env_mode = GL_MODULATE;
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_COLOR_ARRAY);
}

bool RendImpOpenGLES::Initialize(kodo_t* k, kd_state_t* state, kd_parms_t* parms) {
    r_kd = k;
    r_state = state;
    r_parms = parms;
    r_prog = kd_prog;
    kodo_engine::kd = k;
    state->pack_into_atlas = true;
    parms->graphics_ready = true;

    if (!KDID_OGLES_Initialize()) {
        KD_Printf("KDID_OGLES_Initialize failed\n");
        return false;
    }
    LoadExtensions();

    glViewport(0, 0, ScreenWidth(), ScreenHeight());
    SetProjection(ScreenWidth(), ScreenHeight());
    glLoadIdentity();

    glDisable(GL_FOG);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_STENCIL_TEST);
    glDisable(GL_CULL_FACE);
    glDisable(GL_LIGHTING);
    glDisable(GL_ALPHA_TEST);
    glEnable(GL_BLEND);
    glEnable(GL_TEXTURE_2D);
    glTexParameteri(GL_TEXTURE_2D, GL_GENERATE_MIPMAP, GL_FALSE);

    glEnableClientState(GL_VERTEX_ARRAY);
    GLenum error = glGetError();
    if (error != GL_NO_ERROR) KD_Printf("*****************KDID_OGLES_Initialize GL_VERTEX_ARRAY ERROR %i \n", (int)error);
    glEnableClientState(GL_COLOR_ARRAY);
    error = glGetError();
    if (error != GL_NO_ERROR) KD_Printf("*****************KDID_OGLES_Initialize GL_COLOR_ARRAY ERROR %i \n", (int)error);

    // A new context: quads left from an earlier one are dropped.
    br.count = 0;
    if (br.bound_texture != 0) {
        glDisable(GL_TEXTURE_2D);
        glDisableClientState(GL_TEXTURE_COORD_ARRAY);
        br.bound_texture = 0;
    }
    br.PointArrays();
    bm_gl_rt = nullptr;
    eye_mode = KD_EYE_MONO;

    SetDefaultState();
    KD_PrintDebugf(KD_LOG_SYSTEM, "OpenGL ES Init ok.\n");

    gl_caps.npot = KD_OpenGL_NPOT_Test();
    if (test_switches.force_power_of_two) gl_caps.npot = false;
    return true;
}

void RendImpOpenGLES::Shutdown() {
    br.Reset();
    bm_gl_rt = nullptr;
    KDID_OGLES_Shutdown();
}

void RendImpOpenGLES::FrameStart(kd_eye_mode_t eye) {
    eye_mode = eye;
    int W = ScreenWidth(), H = ScreenHeight();
    if (eye == KD_EYE_LEFT)
        glViewport(0, 0, W / 2, H);
    else if (eye == KD_EYE_RIGHT)
        glViewport(W / 2, 0, W / 2, H);
    else
        glViewport(0, 0, W, H);
    SetProjection(W, H);
    glLoadIdentity();
    br.PointArrays();
}

void RendImpOpenGLES::FrameReady() {
    bool glx = KDID_GLX_Active();
    if (!glx && egl_display == EGL_NO_DISPLAY) return;
    br.Draw();
    if (glx)
        KDID_GLX_Swap();
    else
        eglSwapBuffers(egl_display, egl_surface);
    // Start-up is timed to here (bench/bench_compare).
    if (stats.frames++ == 0) host_trace("first frame presented");
    if (out_of_texture_memory && !out_of_memory_popup_shown) {
        out_of_memory_popup_shown = true;
        KD_Popupf(1,
                  "Running out of graphics memory. The game will run, but you may encounter visual errors. To fix "
                  "the issue, please reboot the device.");
    }
}

// ---------------------------------------------------------------- textures

bool RendImpOpenGLES::LoadBitmap(kd_bitmap_t* bm) {
    if (!bm || !bm->pixels) {
        KD_PrintDebugf(KD_LOG_WARNING, "RendImpOpenGLES::LoadBitmap invalid parameters (bm=%x)",
                       (unsigned)(uintptr_t)bm);
        return false;
    }
    br.Draw();
    if (bm->hw.loaded) {
        GLuint old = bm->hw.texture;
        if (old) glDeleteTextures(1, &old);
        if (old == br.bound_texture) br.bound_texture = kUnknownTexture;
        bm->hw.texture = 0;
        bm->hw.loaded = 0;
    }
    glEnable(GL_TEXTURE_2D);

    int W = bm->pb_width, H = bm->pb_height;
    if (W <= 0 || H <= 0) {
        bm->pb_width = W = bm->width;
        bm->pb_height = H = bm->height;
    }
    if (W <= 0 || H <= 0) {
        KD_PrintDebugf(KD_LOG_WARNING, "RendImpOpenGLES::LoadBitmap '%s' has no size.\n", bm->name ? bm->name : "");
        return false;
    }
    if (IsPowerOfTwo(W) && IsPowerOfTwo(H)) bm->pack_mode = KD_PACK_NONE;
    if (bm->pack_mode == KD_PACK_TRANSPARENT && !(bm->flags & KD_BITMAP_HAS_ALPHA)) bm->pack_mode = KD_PACK_EXPAND;
    int bx = 0, by = 0;
    if (bm->pack_mode == KD_PACK_EXPAND || bm->pack_mode == KD_PACK_BORDER || bm->pack_mode == KD_PACK_TRANSPARENT)
        bx = by = 1;
    if (W >= 1024 && IsPowerOfTwo(W)) bx = 0;
    if (W >= 1023 && W == NextPowerOfTwo(W) - bx) bx = 0;
    if (H >= 1024 && IsPowerOfTwo(H)) by = 0;
    if (H >= 1023 && H == NextPowerOfTwo(H) - by) by = 0;
    if (!bx && !by) bm->pack_mode = KD_PACK_NONE;

    int TW = W + 2 * bx, TH = H + 2 * by;
    if (!gl_caps.npot) {
        TW = NextPowerOfTwo(TW);
        TH = NextPowerOfTwo(TH);
    }

    GLuint tex = 0;
    glGenTextures(1, &tex);
    glBindTexture(GL_TEXTURE_2D, tex);
    stats.texture_binds++;
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    bm->hw.filter = 1;
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);

    const uint8_t* data = bm->pixels;
    uint8_t* packed = nullptr;
    if (TW != W || TH != H) {
        packed = (uint8_t*)calloc((size_t)TW * (size_t)TH, 4);
        if (!packed) {
            KD_PrintDebugf(KD_LOG_WARNING, "BitmapTexturePacker unable to get target pixel memory.\n");
        } else {
            for (int y = 0; y < H; y++)
                memcpy(packed + ((size_t)(y + by) * TW + bx) * 4, bm->pixels + (size_t)y * W * 4, (size_t)W * 4);
            KDI_FillTextureBorder(packed, (size_t)TW * 4, TW, TH, W, H, bx, by, bm->pack_mode);
        }
        data = packed;
    }
    while (glGetError() != GL_NO_ERROR) {
    }
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, TW, TH, 0, GL_RGBA, GL_UNSIGNED_BYTE, data);
    CheckUploadError();
    free(packed);

    bm->hw.tex_width = TW;
    bm->hw.tex_height = TH;
    bm->hw.texture = tex;
    bm->hw.framebuffer = 0;
    bm->hw.loaded = 1;
    bm->hw.left_u = (float)bx / (float)TW;
    bm->hw.top_v = (float)by / (float)TH;
    bm->hw.right_u = (float)(bx + W) / (float)TW;
    bm->hw.bottom_v = (float)(by + H) / (float)TH;
    AdoptBoundTexture(tex);
    return true;
}

bool RendImpOpenGLES::CreateBitmap(kd_bitmap_t* bm) {
    if (!bm) return false;
    bm->flags |= KD_BITMAP_RENDER_TARGET;
    int TW = NextPowerOfTwo(bm->width), TH = NextPowerOfTwo(bm->height);
    br.Draw();
    if (!r_parms || !r_parms->graphics_ready) return false;
    if (bm->hw.loaded) return true;
    if (bm->width <= 0 || bm->height <= 0 || !p_glGenFramebuffersOES) {
        KD_PrintDebugf(KD_LOG_WARNING, "RendImpOpenGLES::CreateBitmap '%s': no render target possible.\n",
                       bm->name ? bm->name : "");
        return false;
    }

    GLuint tex = 0, fb = 0;
    glGenTextures(1, &tex);
    glBindTexture(GL_TEXTURE_2D, tex);
    stats.texture_binds++;
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    GLenum status = 0;
    for (int attempt = 0; attempt < 2; attempt++) {
        while (glGetError() != GL_NO_ERROR) {
        }
        GLenum f = gl_caps.framebuffer_format;
        glTexImage2D(GL_TEXTURE_2D, 0, f, TW, TH, 0, f, GL_UNSIGNED_BYTE, nullptr);
        CheckUploadError();
        bm->hw.filter = 1;
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
        tex_env_mode = GL_MODULATE;
        glAlphaFuncx(GL_GREATER, 0);
        glDisable(GL_ALPHA_TEST);
        p_glGenFramebuffersOES(1, &fb);
        p_glBindFramebufferOES(GL_FRAMEBUFFER_OES, fb);
        p_glFramebufferTexture2DOES(GL_FRAMEBUFFER_OES, GL_COLOR_ATTACHMENT0_OES, GL_TEXTURE_2D, tex, 0);
        status = p_glCheckFramebufferStatusOES(GL_FRAMEBUFFER_OES);
        bool complete = status == GL_FRAMEBUFFER_COMPLETE_OES;
        if (attempt == 0 && test_switches.force_rgba_fallback && gl_caps.framebuffer_format != GL_RGBA)
            complete = false;
        if (complete || attempt == 1) break;
        p_glBindFramebufferOES(GL_FRAMEBUFFER_OES, 0);
        p_glDeleteFramebuffersOES(1, &fb);
        fb = 0;
        gl_caps.framebuffer_format = GL_RGBA;
    }
    KD_Printf(gl_caps.framebuffer_format == GL_RGBA ? "Rendertarget uses GL_RGBA" : "Rendertarget uses GL_RGB");
    if (status != GL_FRAMEBUFFER_COMPLETE_OES)
        KD_Popupf(1, "glCheckFramebufferStatusOES failed (fb=%d color_tex=%d)\n", (int)fb, (int)tex);

    glDisable(GL_DEPTH_TEST);
    glDisable(GL_STENCIL_TEST);
    glDisable(GL_CULL_FACE);
    glDisable(GL_LIGHTING);
    glDisable(GL_ALPHA_TEST);
    glEnable(GL_BLEND);
    glEnable(GL_TEXTURE_2D);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    tex_env_mode = GL_MODULATE;
    if (gl_caps.framebuffer_format == GL_RGBA) {
        glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
        glClearColor(1, 1, 1, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        int mode = r_state->blend_mode;
        SetBlend(-1);
        SetBlend(mode);
    }

    // Back to the framebuffer drawn into before (the screen's unless a
    // render target is bound).
    BindFramebuffer(bm_gl_rt ? bm_gl_rt->hw.framebuffer : 0);
    bm->hw.left_u = 0;
    bm->hw.top_v = 1.0f;
    bm->hw.right_u = (float)bm->width / (float)TW;
    bm->hw.bottom_v = (float)(TH - bm->height) / (float)TH;
    bm->hw.tex_width = TW;
    bm->hw.tex_height = TH;
    bm->hw.texture = tex;
    bm->hw.framebuffer = fb;
    bm->hw.loaded = 1;
    AdoptBoundTexture(tex);
    return true;
}

bool RendImpOpenGLES::SetRenderTarget(kd_bitmap_t* bm) {
    if (bm && (!(bm->flags & KD_BITMAP_RENDER_TARGET) || !bm->hw.texture || !bm->hw.framebuffer)) return false;
    br.Draw();
    if (!bm) {
        BindFramebuffer(0);
        glViewport(0, 0, ScreenWidth(), ScreenHeight());
        SetProjection(ScreenWidth(), ScreenHeight());
        bm_gl_rt = nullptr;
    } else {
        BindFramebuffer(bm->hw.framebuffer);
        glViewport(0, 0, bm->hw.tex_width, bm->hw.tex_height);
        SetProjection(bm->hw.tex_width, bm->hw.tex_height);
        bm_gl_rt = bm;
    }
    if (gl_caps.framebuffer_format == GL_RGBA) {
        int mode = r_state ? r_state->blend_mode : 0;
        SetBlend(-1);
        SetBlend(mode);
    }
    return true;
}

void RendImpOpenGLES::FreeBitmap(kd_bitmap_hw_data_t* hw) {
    br.Draw();
    if (!hw || !hw->loaded) return;
    hw->loaded = 0;
    if (hw->texture) {
        GLuint tex = hw->texture;
        glDeleteTextures(1, &tex);
        if (tex == br.bound_texture) br.bound_texture = kUnknownTexture;
        hw->texture = 0;
    }
    if (hw->framebuffer) {
        GLuint fb = hw->framebuffer;
        if (bm_gl_rt && bm_gl_rt->hw.framebuffer == fb) {
            BindFramebuffer(0);
            bm_gl_rt = nullptr;
        }
        if (p_glDeleteFramebuffersOES) p_glDeleteFramebuffersOES(1, &fb);
        hw->framebuffer = 0;
    }
}

// ----------------------------------------------------------------- drawing

void RendImpOpenGLES::SetTexture(kd_bitmap_t* bm) { br.Bind(bm); }

void RendImpOpenGLES::ApplyFilter(kd_bitmap_t* bm) {
    if (!bm) return;
    int filter = r_state ? r_state->pixel_filter : 1;
    if (bm->hw.filter != filter) {
        if (filter == 0) {
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        } else if (filter == 1) {
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        }
    }
    bm->hw.filter = filter;
}

void RendImpOpenGLES::Flush() { br.Draw(); }

void RendImpOpenGLES::ClearScreen(float r, float g, float b) {
    br.Draw();
    glClearColor(r, g, b, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
}

void RendImpOpenGLES::ClearDepth(float depth) {
    br.Draw();
    glClearDepthf(depth);
    glClear(GL_DEPTH_BUFFER_BIT);
}

void RendImpOpenGLES::SetTransform(nTransform* m) {
    Flush();
    const nTransform& t = m ? *m : kd_transform_identity;
    GLfloat g[16];
    for (int row = 0; row < 4; row++)
        for (int col = 0; col < 4; col++) g[col * 4 + row] = t.m[row * 4 + col];
    glLoadMatrixf(g);
}

bool RendImpOpenGLES::SetScissorRect(int x, int y, int w, int h) {
    br.Draw();
    const kd_parms_t* p = kd_prog ? &kd_prog->parms : r_parms;
    int pw = p ? p->width : ScreenWidth(), ph = p ? p->height : ScreenHeight();
    if (x <= 0 && y <= 0 && w >= pw && h >= ph) {
        glDisable(GL_SCISSOR_TEST);
        return true;
    }
    KD_TranslateRectByOrientation(&x, &y, &w, &h);
    if (eye_mode == KD_EYE_LEFT) {
        x /= 2;
        w /= 2;
    } else if (eye_mode == KD_EYE_RIGHT) {
        w /= 2;
        x = ScreenWidth() / 2 + x / 2;
    }
    if (w < 0) w = 0;
    if (h < 0) h = 0;
    glEnable(GL_SCISSOR_TEST);
    glScissor(x, ScreenHeight() - y - h, w, h);
    return true;
}

void RendImpOpenGLES::SetBlend(int mode) {
    br.Draw();
    int stored = r_state ? r_state->blend_mode : 0;
    if (mode != 2 && stored == 2) glEnable(GL_BLEND);
    GLint env = GL_MODULATE;
    switch (mode) {
        case 1:
            glBlendFunc(GL_SRC_ALPHA, GL_ONE);
            glEnable(GL_BLEND);
            break;
        case 2:
            glDisable(GL_BLEND);
            env = GL_REPLACE;
            break;
        case 3:
            glBlendFunc(GL_DST_COLOR, GL_ONE_MINUS_SRC_ALPHA);
            glEnable(GL_BLEND);
            break;
        case 4:
            glBlendFunc(GL_DST_COLOR, GL_SRC_ALPHA);
            glEnable(GL_BLEND);
            break;
        default:
            glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
            glEnable(GL_BLEND);
            break;
    }
    if (gl_caps.framebuffer_format == GL_RGBA) {
        bool alpha_writes = mode >= 1 && mode <= 4 && bm_gl_rt != nullptr;
        glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, alpha_writes ? GL_TRUE : GL_FALSE);
    }
    if (r_state) r_state->blend_mode = mode;
    if (env != tex_env_mode) {
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, env);
        tex_env_mode = env;
    }
}

void RendImpOpenGLES::SetPixelFilter(int filter) {
    if (r_state) r_state->pixel_filter = filter;
}

void RendImpOpenGLES::DrawQuad(kd_bitmap_t* bm, kd_vertex_t* v) {
    if (!v) return;
    br.Bind(bm);
    ApplyFilter(bm);
    br.Append(v);
}

void RendImpOpenGLES::DrawNonTexturedQuad(kd_vertex_t* v) {
    if (!v) return;
    br.Bind(nullptr);
    br.Append(v);
}

bool RendImpOpenGLES::DrawLine(float x0, float y0, float x1, float y1) {
    br.Draw();
    if (br.bound_texture != 0) {
        glDisable(GL_TEXTURE_2D);
        glDisableClientState(GL_TEXTURE_COORD_ARRAY);
        br.bound_texture = 0;
    }
    GLfloat positions[6] = {x0, y0, default_depth, x1, y1, default_depth};
    uint32_t color = r_state ? r_state->current_color : 0xFFFFFFFFu;
    uint32_t colors[2] = {color, color};
    glVertexPointer(3, GL_FLOAT, 0, positions);
    glColorPointer(4, GL_UNSIGNED_BYTE, 0, colors);
    glDrawArrays(GL_LINES, 0, 2);
    stats.draw_calls++;
    br.PointArrays();
    return true;
}

void RendImpOpenGLES::DrawTriangles(kd_bitmap_t* bm, kd_vertex3d_t* v, int, unsigned short* indices,
                                    int index_count) {
    br.Draw();
    if (!v || !indices || index_count <= 0) return;
    glVertexPointer(3, GL_FLOAT, sizeof(kd_vertex3d_t), &v[0].x);
    glColorPointer(4, GL_UNSIGNED_BYTE, sizeof(kd_vertex3d_t), &v[0].color);
    glTexCoordPointer(2, GL_FLOAT, sizeof(kd_vertex3d_t), &v[0].u);
    br.arrays_set = false;
    br.Bind(bm);  // the batch is empty: nothing is drawn here
    glDrawElements(GL_TRIANGLES, index_count, GL_UNSIGNED_SHORT, indices);
    stats.draw_calls++;
}

void RendImpOpenGLES::SetRenderStateb(kd_render_state_e state, bool value) {
    if (state == KD_RS_DEPTH_TEST) {
        depth_test = value;
        EnableDepthTest(value);
    } else if (state == KD_RS_DEPTH_WRITE) {
        depth_write = value;
        glDepthMask(value ? GL_TRUE : GL_FALSE);
    } else {
        KD_Popupf(1, "SetRenderStateb (%d, %s) state not supported with this method.", (int)state,
                  value ? "true" : "false");
    }
}

void RendImpOpenGLES::SetRenderStatei(kd_render_state_e state, int value) {
    if (state != KD_RS_CULL_MODE) {
        KD_Popupf(1, "SetRenderStatei (%d, %d) state not supported with this method.", (int)state, value);
        return;
    }
    if (value == 1) {
        glEnable(GL_CULL_FACE);
        glCullFace(GL_FRONT);
    } else if (value == 2) {
        glEnable(GL_CULL_FACE);
        glCullFace(GL_BACK);
    } else if (value == 0) {
        glDisable(GL_CULL_FACE);
    }
}

void RendImpOpenGLES::SetRenderStatef(kd_render_state_e state, float value) {
    KD_Popupf(1, "SetRenderStatef (%d, %g) state not supported with this method.", (int)state, (double)value);
}

bool RendImpOpenGLES::FillKodoInterface(kodo_t* table) {
    if (!table) return false;
    table->SetColor = KD_SetColor_BGR;
    table->BeginBatch = KDID_BeginBatch;
    table->BatchDrawQuad = KDID_BatchDrawQuad;
    table->EndBatch = KDID_EndBatch;
    return true;
}

// ----------------------------------------------- entries in the table

static inline uint8_t ComponentByte(float f) {
    float v = f * 255.0f;
    if (!(v == v)) return 0;
    if (v >= 2147483520.0f) v = 2147483520.0f;
    if (v <= -2147483520.0f) v = -2147483520.0f;
    return (uint8_t)(int)v;
}

void KD_SetColor_BGR(float r, float g, float b) {
    uint8_t* p = reinterpret_cast<uint8_t*>(&kd_state.current_color);
    p[0] = ComponentByte(r);
    p[1] = ComponentByte(g);
    p[2] = ComponentByte(b);
    for (int i = 0; i < 4; i++) kd_state.quad[i].color = kd_state.current_color;
}

void KDID_BeginBatch(kd_bitmap_t* bm) {
    br.Bind(bm);
    if (bm && instance) instance->ApplyFilter(bm);
}

void KDID_BatchDrawQuad(kd_bitmap_t*, kd_vertex_t* v) {
    if (!v) return;
    br.Append(v);
}

void KDID_EndBatch() { br.Draw(); }
