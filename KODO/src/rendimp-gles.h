// The OpenGL ES 1.x renderer: EGL on the platform
// window, textures and render targets, and one batch of up to 64 quads
// sent in a single indexed draw.
#ifndef RENDIMP_GLES_H
#define RENDIMP_GLES_H

#include "rendimp.h"

class RendImpOpenGLES : public RendImp {
public:
    RendImpOpenGLES();

    bool IsSupported() override { return true; }
    bool IsThreadSafe() override { return false; }
    const char* GetName() override { return "OpenGL ES 1"; }
    bool IsResolutionSupported(int width, int height) override;
    int GetTextureFormat() override { return 0; }
    int GetMaxTextureSide() override;
    bool Initialize(kodo_t* kd, kd_state_t* state, kd_parms_t* parms) override;
    bool AttemptReinitialize(int, int, bool) override { return false; }
    void Shutdown() override;
    void ActivateWindow(bool) override {}
    bool SetRenderTarget(kd_bitmap_t* bm) override;
    bool CopyRenderTargetToBitmapPixels(kd_bitmap_t*) override { return true; }
    bool CreateBitmap(kd_bitmap_t* bm) override;
    bool LoadBitmap(kd_bitmap_t* bm) override;
    void FreeBitmap(kd_bitmap_hw_data_t* hw) override;
    void FrameStart(kd_eye_mode_t eye) override;
    void FrameReady() override;
    void Flush() override;
    void ClearScreen(float r, float g, float b) override;
    void ClearDepth(float depth) override;
    void SetTransform(nTransform* m) override;
    bool SetScissorRect(int x, int y, int width, int height) override;
    void SetBlend(int mode) override;
    void SetPixelFilter(int filter) override;
    void DrawQuad(kd_bitmap_t* bm, kd_vertex_t* v) override;
    void DrawNonTexturedQuad(kd_vertex_t* v) override;
    bool DrawLine(float x0, float y0, float x1, float y1) override;
    bool FillKodoInterface(kodo_t* kd) override;
    const char* CallExtension(const char*, const char*) override { return nullptr; }
    void SetDepthRange(float near_depth, float default_depth, float far_depth) override;
    void DrawTriangles(kd_bitmap_t* bm, kd_vertex3d_t* v, int vertex_count, unsigned short* indices,
                       int index_count) override;
    void SetRenderStateb(kd_render_state_e state, bool value) override;
    void SetRenderStatef(kd_render_state_e state, float value) override;
    void SetRenderStatei(kd_render_state_e state, int value) override;

    // Binds the bitmap's texture (null: texturing off) for the batch.
    void SetTexture(kd_bitmap_t* bm);

    // Internal steps, public for the batch entry points.
    void LoadExtensions();
    void SetDefaultState();
    void SetProjection(int width, int height);
    void UpdateProjection();
    void ApplyFilter(kd_bitmap_t* bm);

    int tex_env_mode;
    float near_depth, default_depth, far_depth;
    bool depth_test, depth_write;
};

RendImp* KODO_RendImpOpenGLES_GetInterface();
RendImp* KODO_RendImp_GetInterface();

// Entries the renderer installs in kodo_t (slots 97, 110, 111, 112).
void KD_SetColor_BGR(float r, float g, float b);
void KDID_BeginBatch(kd_bitmap_t* bm);
void KDID_BatchDrawQuad(kd_bitmap_t* bm, kd_vertex_t* v);
void KDID_EndBatch();

// Platform functions.
bool KDID_OGLES_Initialize();
void KDID_OGLES_Shutdown();
bool KDID_OGLES_TryActivateContext();
bool KDID_CreateWindow();
void KDID_DestroyWindow();
bool KDID_IsResolutionSupported(int width, int height);
bool KD_OpenGL_NPOT_Test();
void KD_glOrtho(float left, float right, float bottom, float top, float near_depth, float far_depth);
void ProcessGLError(int error);
int KD_Optimized_glGetError();

// Test switches for the paths that Mesa never takes by itself: treat
// non-power-of-two textures as unsupported, and take the first render
// target framebuffer as incomplete (so the GL_RGBA fallback runs).
void KDID_OGLES_SetTestSwitches(bool force_power_of_two, bool force_rgba_fallback);
// The capability record: the render-target framebuffer format (GL_RGB or
// GL_RGBA) and whether non-power-of-two textures are used.
unsigned int KDID_OGLES_GetFramebufferFormat();
bool KDID_OGLES_NonPowerOfTwoSupported();
// Resets the framebuffer format to GL_RGB (tests only: in a run it
// switches to GL_RGBA at most once and stays).
void KDID_OGLES_ResetCaps();

// Counters of what reached the graphics library, for tests and the
// benchmark.
struct kd_gles_stats_t {
    unsigned long long draw_calls;  // glDrawElements and glDrawArrays
    unsigned long long quads;       // quads sent in batches
    unsigned long long frames;      // presents
    unsigned long long texture_binds;
};
const kd_gles_stats_t* KDID_OGLES_GetStats();
void KDID_OGLES_ResetStats();

#endif
