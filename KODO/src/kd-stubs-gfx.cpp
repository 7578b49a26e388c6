// Least-safe stand-ins for drawing, bitmaps, fonts, text, shaders and
// screen transforms until they are built: nothing is loaded or drawn.
#include "kd-internal.h"

const nTransform kd_transform_identity = {{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}};

kd_font_t* KD_GetFont(const char* name) { return nullptr; }
kd_font_t* KD_LoadFont(const char* name) { return nullptr; }
void KD_RefreshFont(kd_font_t* font) {}
void KD_ReleaseFont(kd_font_t* font) {}
void KD_SaveFont(kd_font_t* font, const char* path) {}
void KD_PushTransform(nTransform* m) {}
void KD_PopTransform() {}
nTransform* KD_PeekTransform() { return const_cast<nTransform*>(&kd_transform_identity); }
void KD_PushVertexProcessor(kd_vertex_processor_fn fn, void* user) {}
void KD_PopVertexProcessor() {}
void KD_RemoveVertexProcessor(kd_vertex_processor_fn fn, void* user) {}
void KD_ProcessVertex(kd_vertex_t* v) {}
kd_bitmap_t* KD_GetBitmap(const char* name) { return nullptr; }
kd_bitmap_t* KD_GetBitmapEx(const char* name, int cache_mode) { return nullptr; }
kd_bitmap_t* KD_LoadBitmap(const char* name, int cache_mode) { return nullptr; }
void KD_ReleaseBitmap(kd_bitmap_t* bm) {}
int KD_SaveBitmap(kd_bitmap_t* bm, const char* path, int quality) { return 0; }
void KD_RefreshBitmap(kd_bitmap_t* bm) {}
void KD_SetBitmapCacheMode(kd_bitmap_t* bm, int mode) {}
kd_bitmap_t* KD_CreateBitmap(const char* name, int width, int height, int render_target) { return nullptr; }
void KD_SetBitmapFrame(kd_bitmap_t* bm, int frame) {}
bool KD_SetScissorRect(int x, int y, int w, int h) { return false; }
void KD_DisableScissorRect() {}
bool KD_SetRenderTarget(kd_bitmap_t* bm) { return false; }
void KD_SetColor(float r, float g, float b) {}
void KD_SetAlpha(float a) {}
void KD_SetTextAlign(int flags) {}
void KD_SetTextboxWidth(int width) {}
void KD_SetTextTransform(float scale_x, float scale_y, float angle) {}
void KD_DrawBitmap(kd_bitmap_t* bm, float x, float y) {}
void KD_DrawBitmapRS(kd_bitmap_t* bm, float x, float y, float rotation, float scale) {}
void KD_DrawBitmapLine(kd_bitmap_t* bm, vec2_t* from, vec2_t* to, float w0, float w1, color_t* c0, color_t* c1) {}
void KD_DrawSubBitmap(kd_bitmap_t* bm, float x, float y, float sx, float sy, float sw, float sh) {}
void KD_DrawTextf(kd_font_t* font, float x, float y, const char* format, ...) {}
void KD_DrawRect(float x, float y, float w, float h) {}
void KD_DrawBitmap4V(kd_bitmap_t* bm, kd_vertex_t* v) {}
void KD_BeginBatch(kd_bitmap_t* bm) {}
void KD_BatchDrawQuad(kd_bitmap_t* bm, kd_vertex_t* v) {}
void KD_EndBatch() {}
void KD_GetTextSizef(kd_font_t* font, float* w, float* h, const char* format, ...) {
    if (w) *w = 0;
    if (h) *h = 0;
}
float KD_GetTextWidthf(kd_font_t* font, const char* format, ...) { return 0; }
float KD_GetTextHeightf(kd_font_t* font, const char* format, ...) { return 0; }
void KD_SetDepthDefault(float depth) { kd_state.depth_default = depth; }
float KD_GetDepthDefault() { return kd_state.depth_default; }
kd_shader_t* KD_GetShader(const char* name) { return nullptr; }
void KD_SetShader(kd_shader_t* shader) {}
void KD_SetShaderBitmap(int unit, kd_bitmap_t* bm) {}
void KD_SetShaderParm(kd_shader_t* shader, int index, float* values) {}
void KDE_DrawBitmapRS(kd_bitmap_t* bm, float x, float y, float angle, float scale) {}

bool KDI_InitImageLoader() { return true; }
void KDI_SelectResolution(bool windowed) {}
void KDI_SetupAutoscaling() {}
void KDI_UpdateScreenTransforms(float dt) {}
void KDI_PushScreenTransforms() {}
void KDI_PopScreenTransforms() {}
void KDI_DrawScreenBorders() {}
void KDI_UpdateAndDrawOverlays(float dt) {}
void KDI_ProcessResourceQueues() {}
void KDI_ReleaseBitmapsAtExit() {}
void KDI_ReleaseFontsAtExit() {}
void KDI_InitTextAndDrawingState() {}

// Bitmap and font tables do not exist yet: nothing to recreate or free.
#include "rendimp.h"
void KDI_RecreateBitmapsAfterInit() {}
void KDI_RefreshFontsAfterInit() {}
void KDI_FreeHardwareDataForShutdown() {}

// Until screen resolutions are built: any size the renderer accepts, and
// the program keeps the size it has.
bool KDI_IsResolutionSupportedByDevice(int w, int h, bool windowed) {
    return ri && ri->IsResolutionSupported(w, h);
}
bool KDI_SelectOptimalResolution(bool windowed, bool forcing) { return false; }
