// The renderer interface. The engine keeps one current renderer in `ri`;
// the drawing API builds vertices and hands them to it.
#ifndef RENDIMP_H
#define RENDIMP_H

#include "kd-internal.h"

struct kd_bitmap_hw_data_t;

// The largest texture side the renderers are written for: the devices'
// graphics take no more, and the fonts' widest sheet (3097) needs it.
enum { KD_RENDERER_MAX_TEXTURE_SIDE = 4096 };

class RendImp {
public:
    virtual bool IsSupported() = 0;
    // The largest side of a texture this renderer can make.
    virtual int GetMaxTextureSide() { return KD_RENDERER_MAX_TEXTURE_SIDE; }
    virtual bool IsThreadSafe() { return false; }
    virtual const char* GetName() = 0;
    virtual bool IsResolutionSupported(int width, int height) = 0;
    virtual int GetTextureFormat() = 0;
    virtual bool Initialize(kodo_t* kd, kd_state_t* state, kd_parms_t* parms) = 0;
    virtual bool AttemptReinitialize(int width, int height, bool windowed) { return false; }
    virtual void Shutdown() = 0;
    virtual void ActivateWindow(bool active) = 0;
    virtual bool SetRenderTarget(kd_bitmap_t* bm) = 0;
    virtual bool CopyRenderTargetToBitmapPixels(kd_bitmap_t* bm) = 0;
    virtual bool CreateBitmap(kd_bitmap_t* bm) = 0;
    virtual bool LoadBitmap(kd_bitmap_t* bm) = 0;
    virtual void FreeBitmap(kd_bitmap_hw_data_t* hw) = 0;
    virtual bool LoadShader(kd_shader_t* shader) { return true; }
    virtual void FreeShader(kd_shader_t* shader) {}
    virtual void SetShader(kd_shader_t* shader) {}
    virtual void SetShaderParm(kd_shader_t* shader, int index, float* values) {}
    virtual void SetBitmap(int stage, kd_bitmap_t* bm) {}
    virtual void DrawShadedQuad(kd_bitmap_t* bm, kd_vertex_t* v) {}
    virtual void FrameStart(kd_eye_mode_t eye) = 0;
    virtual void FrameReady() = 0;
    virtual void Flush() = 0;
    virtual void ClearScreen(float r, float g, float b) = 0;
    virtual void ClearDepth(float depth) {}
    virtual void SetTransform(nTransform* m) = 0;
    virtual bool SetScissorRect(int x, int y, int width, int height) = 0;
    virtual void SetBlend(int mode) = 0;
    virtual void SetPixelFilter(int filter) = 0;
    virtual void DrawQuad(kd_bitmap_t* bm, kd_vertex_t* v) = 0;
    virtual void DrawNonTexturedQuad(kd_vertex_t* v) = 0;
    virtual bool DrawLine(float x0, float y0, float x1, float y1) = 0;
    virtual bool FillKodoInterface(kodo_t* kd) = 0;
    virtual const char* CallExtension(const char* command, const char* parameter) = 0;
    virtual void Activate() {}
    virtual void Deactivate() {}
    virtual void SetDepthRange(float near_depth, float default_depth, float far_depth) {}
    virtual void DrawTriangles(kd_bitmap_t* bm, kd_vertex3d_t* v, int vertex_count, unsigned short* indices,
                               int index_count) {}
    virtual void SetRenderStateb(kd_render_state_e state, bool value) {}
    virtual void SetRenderStatef(kd_render_state_e state, float value) {}
    virtual void SetRenderStatei(kd_render_state_e state, int value) {}
};

// A complete renderer that draws nothing.
class RendImpNull : public RendImp {
public:
    bool IsSupported() override { return true; }
    const char* GetName() override { return "Null"; }
    bool IsResolutionSupported(int, int) override { return true; }
    int GetTextureFormat() override { return 0; }
    bool Initialize(kodo_t*, kd_state_t*, kd_parms_t*) override { return true; }
    void Shutdown() override {}
    void ActivateWindow(bool) override {}
    bool SetRenderTarget(kd_bitmap_t*) override { return true; }
    bool CopyRenderTargetToBitmapPixels(kd_bitmap_t*) override { return true; }
    bool CreateBitmap(kd_bitmap_t*) override { return true; }
    bool LoadBitmap(kd_bitmap_t*) override { return true; }
    void FreeBitmap(kd_bitmap_hw_data_t*) override {}
    bool LoadShader(kd_shader_t*) override { return true; }
    void FreeShader(kd_shader_t*) override {}
    void SetShader(kd_shader_t*) override {}
    void SetShaderParm(kd_shader_t*, int, float*) override {}
    void SetBitmap(int, kd_bitmap_t*) override {}
    void DrawShadedQuad(kd_bitmap_t*, kd_vertex_t*) override {}
    void FrameStart(kd_eye_mode_t) override {}
    void FrameReady() override {}
    void Flush() override {}
    void ClearScreen(float, float, float) override {}
    void SetTransform(nTransform*) override {}
    bool SetScissorRect(int, int, int, int) override { return true; }
    void SetBlend(int) override {}
    void SetPixelFilter(int) override {}
    void DrawQuad(kd_bitmap_t*, kd_vertex_t*) override {}
    void DrawNonTexturedQuad(kd_vertex_t*) override {}
    bool DrawLine(float, float, float, float) override { return false; }
    bool FillKodoInterface(kodo_t*) override { return true; }
    const char* CallExtension(const char*, const char*) override { return nullptr; }
};

RendImp* GetRendImpNull();

// The platform loader can be pointed at another renderer (tests use the
// null renderer or a recording one).
void KDID_SetRendImpFactory(RendImp* (*factory)());

// Recreating GPU resources after a new device; filled in by the bitmap and
// font tables.
void KDI_RecreateBitmapsAfterInit();
void KDI_RefreshFontsAfterInit();
void KDI_FreeHardwareDataForShutdown();

#endif
