// Loading, initialising and shutting down the current renderer, and the
// table operations that only forward to it.
#include "rendimp.h"
#include "rendimp-gles.h"

RendImp* ri = nullptr;

static RendImp* (*rendimp_factory)() = nullptr;

void KDID_SetRendImpFactory(RendImp* (*factory)()) { rendimp_factory = factory; }

// This platform loads the OpenGL ES renderer; a factory set by tests picks
// another (the null renderer, a recording one).
RendImp* KDID_LoadRendImp() {
    if (rendimp_factory) return rendimp_factory();
    return KODO_RendImp_GetInterface();
}

void KDID_UnloadRendImp() { ri = nullptr; }

void KDI_LoadRendImp() {
    if (ri) return;
    ri = KDID_LoadRendImp();
    kd_state.renderer = ri;
    if (ri) {
        KDI_SetBasicInterface(kd);
        ri->FillKodoInterface(kd);
    }
}

static void AfterSuccessfulInit() {
    if (kd_prog) kd_prog->parms.graphics_ready = true;
    kd_state.texture_format = ri->GetTextureFormat();
    KDI_LockCoreMutex(KD_MUTEX_GFX_HW);
    KD_SetDepthDefault(kd_state.depth_default);
    KD_SetDepthRange(kd_state.depth_near, kd_state.depth_default, kd_state.depth_far);
    KDI_UnlockCoreMutex(KD_MUTEX_GFX_HW);
    // Takes the bitmap locks itself, in their order.
    KDI_RecreateBitmapsAfterInit();
    KDI_RefreshFontsAfterInit();
    kd_state.renderer_ready = true;
}

bool KDI_InitRendImp() {
    static int failed_attempts = 0;
    for (;;) {
        if (!ri) {
            KD_Printf("Renderer doesn't exist, can't continue with init.\n");
            return false;
        }
        if (kd_state.renderer_ready) {
            KD_Printf("Renderer in ready state, shutting it down before new init.\n");
            KDI_ShutdownRendImp();
        }
        kd_state.renderer_ready = false;

        kd_parms_t saved = kd_parms;
        if (kd_prog) {
            kd_parms.width = kd_prog->parms.width;
            kd_parms.height = kd_prog->parms.height;
            kd_parms.windowed = kd_prog->parms.windowed;
        }
        KD_PrintDebugf(KD_LOG_SYSTEM, "Initializing RendImp.\n");
        if (!kd_parms.windowed && (kd_parms.width < 640 || kd_parms.height < 480)) kd_parms.windowed = true;
        KD_PrintDebugf(KD_LOG_SYSTEM, "Initializing RendImp: %dx%d %s..\n", kd_parms.width, kd_parms.height,
                       kd_parms.windowed ? "windowed" : "fullscreen");

        KDI_LockCoreMutex(KD_MUTEX_GFX_HW);
        bool ok = ri->Initialize(kd, &kd_state, &kd_parms);
        if (!ok) {
            failed_attempts++;
            bool nothing_to_roll_back = kd_parms.width == saved.width && kd_parms.height == saved.height &&
                                        kd_parms.windowed == saved.windowed;
            if (failed_attempts > 2 || nothing_to_roll_back) {
                KDI_UnlockCoreMutex(KD_MUTEX_GFX_HW);
                KD_Popupf(2, "Unable to initialize the renderer.\n\nPlease try updating your display adapter drivers "
                             "and rebooting.\n");
                return false;
            }
            kd_parms = saved;
            KD_PrintDebugf(KD_LOG_SYSTEM, "Rolling back parms..\n");
            ok = ri->Initialize(kd, &kd_state, &kd_parms);
            if (!ok) {
                KDI_UnlockCoreMutex(KD_MUTEX_GFX_HW);
                continue;  // try the requested parameters again
            }
        }
        failed_attempts = 0;
        KDI_UnlockCoreMutex(KD_MUTEX_GFX_HW);
        AfterSuccessfulInit();
        return true;
    }
}

void KDI_ShutdownRendImp() {
    KD_PrintDebugf(KD_LOG_SYSTEM, "Kodo RendImp Shutdown.\n");
    if (!ri) return;
    // The table, each record, then the renderer: the order every bitmap
    // operation takes them in (kd-internal.h).
    KDI_LockCoreMutex(KD_MUTEX_GET_BITMAP);
    KDI_FreeHardwareDataForShutdown();
    KDI_LockCoreMutex(KD_MUTEX_GFX_HW);
    ri->Shutdown();
    kd_state.renderer_ready = false;
    KDI_UnlockCoreMutex(KD_MUTEX_GFX_HW);
    KDI_UnlockCoreMutex(KD_MUTEX_GET_BITMAP);
}

void KDI_FinalShutdownRendImp() {
    KDI_LockCoreMutex(KD_MUTEX_GFX_HW);
    KDID_UnloadRendImp();
    kd_state.renderer = nullptr;
    KDI_UnlockCoreMutex(KD_MUTEX_GFX_HW);
}

void KD_ClearScreen(float r, float g, float b) {
    if (ri) ri->ClearScreen(r, g, b);
}

void KD_SetBlend(int mode) {
    if (ri) ri->SetBlend(mode);
}

void KD_SetPixelFilter(int filter) {
    if (ri) ri->SetPixelFilter(filter);
}

void KD_DrawLine(float x0, float y0, float x1, float y1) {
    if (ri) ri->DrawLine(x0, y0, x1, y1);
}

void KD_DrawTriangles(kd_bitmap_t* bm, kd_vertex3d_t* v, int vertex_count, unsigned short* indices,
                      int index_count) {
    if (ri) ri->DrawTriangles(bm, v, vertex_count, indices, index_count);
}

void KD_SetDepthRange(float near_depth, float default_depth, float far_depth) {
    if (!ri) return;
    ri->Flush();
    if (!(near_depth > 0.1f)) near_depth = 0.1f;
    if (!(far_depth > near_depth)) far_depth = near_depth;
    kd_state.depth_near = near_depth;
    kd_state.depth_default = default_depth;
    kd_state.depth_far = far_depth;
    ri->SetDepthRange(near_depth, default_depth, far_depth);
}

void KD_ClearDepth(float depth) {
    if (ri) ri->ClearDepth(depth);
}

void KD_SetRenderStateb(kd_render_state_e state, bool value) {
    if (!ri) return;
    ri->Flush();
    ri->SetRenderStateb(state, value);
}

void KD_SetRenderStatef(kd_render_state_e state, float value) {
    if (!ri) return;
    ri->Flush();
    ri->SetRenderStatef(state, value);
}

void KD_SetRenderStatei(kd_render_state_e state, int value) {
    if (!ri) return;
    ri->Flush();
    ri->SetRenderStatei(state, value);
}
