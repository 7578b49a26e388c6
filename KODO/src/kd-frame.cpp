// One engine frame, window activation and display re-initialisation.
#include "kd-internal.h"
#include "rendimp.h"

unsigned int KDI_WaitForFrame(unsigned int last, int frame_ms, unsigned int (*clock)(), void (*sleep_ms)(int)) {
    unsigned int now = clock();
    while ((int)(now - last) < frame_ms - 2) {
        sleep_ms(1);
        now = clock();
    }
    // The last 2 ms are spun: a sleep would overshoot the target.
    while ((int)(now - last) < frame_ms) now = clock();
    return now;
}

int KDI_ClampElapsed(int elapsed_ms) {
    if (elapsed_ms > 200) return 30;
    if (elapsed_ms < 0) {
        if (kd_state.developer_mode)
            KD_PrintDebugf(KD_LOG_WARNING, "********************* Found negative time delta in KDI_Frame: %d\n",
                           elapsed_ms);
        return 1;
    }
    return elapsed_ms;
}

void KDI_SetDefaultStates() {
    kd->SetAlpha(1.0f);
    kd->SetColor(1, 1, 1);
    kd->SetBlend(0);
    kd->SetTextTransform(1.0f, 1.0f, 0.0f);
}

bool KDI_ValidateParms(kd_parms_t* parms) {
    if (!parms) return false;
    if (!parms->windowed && (parms->width < 640 || parms->height < 480)) parms->windowed = true;
    return true;
}

bool KDI_RevertProgramParameters() {
    if (!kd_prog) return false;
    kd_prog->parms.width = kd_parms.width;
    kd_prog->parms.height = kd_parms.height;
    kd_prog->parms.windowed = kd_parms.windowed;
    return true;
}

void KDI_BeginHibernate() {
    KD_PrintDebugf(KD_LOG_SYSTEM, "Begin Hibernate.\n");
    KDI_ShutdownRendImp();
}

void KDI_EndHibernate() {
    KD_PrintDebugf(KD_LOG_SYSTEM, "End Hibernate.\n");
    KDI_InitRendImp();
}

void KDI_CustomFrame(float) {}
void KDI_DrawMinimizedPlaceholder() {}

void KDI_ActivateApp(bool active) {
    if (kd_state.active == active) return;
    kd_state.active = active;
    KDI_SendWindowActivationEvent(active);
    if (ri && kd_state.renderer_ready) ri->ActivateWindow(active);
    KDI_SoundActivateWindow(active);
    for (int i = 0; i < 255; i++) KD_SetKeyStatei(i, 0);
}

static void SendReinitEvent() {
    kd_event_t ev;
    memset(&ev, 0, sizeof ev);
    ev.type = KD_EVENT_RENDERER_REINIT;
    ev.id = 1;
    KDI_SendEvent(&ev);
}

void KDI_ReInitRenderer() {
    SendReinitEvent();
    // The tables are held while the device changes; GFX_HW, which comes
    // after them, is only passed through, so that texture work another
    // thread has begun ends first.
    KDI_LockCoreMutex(KD_MUTEX_GET_BITMAP);
    KDI_LockCoreMutex(KD_MUTEX_GET_SOUND);
    KDI_LockCoreMutex(KD_MUTEX_GFX_HW);
    KDI_UnlockCoreMutex(KD_MUTEX_GFX_HW);
    bool in_place = ri && ri->AttemptReinitialize(kd_prog->parms.width, kd_prog->parms.height, kd_prog->parms.windowed);
    // The tables are released before a full restart: shutting the renderer
    // down and initialising it again takes the bitmap lock itself, and the
    // locks are not recursive.
    KDI_UnlockCoreMutex(KD_MUTEX_GET_BITMAP);
    KDI_UnlockCoreMutex(KD_MUTEX_GET_SOUND);
    if (in_place) {
        kd_parms = kd_prog->parms;
    } else {
        KDI_ShutdownRendImp();
        kd_parms = kd_prog->parms;
        KDI_InitRendImp();
    }
    KDI_FitProgramToDevice();
    KDI_ResetKeyboardKeyStates();
    SendReinitEvent();
}

bool KDI_IsResolutionSupportedByDevice(int w, int h, bool windowed);
bool KDI_SelectOptimalResolution(bool windowed, bool forcing);

bool KD_ReInit() {
    if (!kd_prog || !ri) return false;
    kd_parms_t* p = &kd_prog->parms;
    KD_PrintDebugf(KD_LOG_SYSTEM, "Attempting ReInit to %dx%d (windowed=%d)\n", p->width, p->height,
                   p->windowed ? 1 : 0);
    if (kd_state.allow_all_resolutions) {
        KD_PrintDebugf(KD_LOG_SYSTEM, "Allowing all resolutions.\n");
        kd_state.reinit_pending = true;
        return true;
    }
    KDI_SelectOptimalResolution(p->windowed, false);
    KD_Printf("Selected resolution %dx%d\n", p->width, p->height);
    if (KDI_IsResolutionSupportedByDevice(p->width, p->height, p->windowed)) {
        kd_state.reinit_pending = true;
        return true;
    }
    p->windowed = true;
    KDI_SelectOptimalResolution(true, false);
    if (KDI_IsResolutionSupportedByDevice(p->width, p->height, true)) {
        kd_state.reinit_pending = true;
        return true;
    }
    KD_PrintDebugf(KD_LOG_WARNING, "Requested resolution %dx%d (windowed=%d) not available.\n", p->width, p->height,
                   p->windowed ? 1 : 0);
    KDI_RevertProgramParameters();
    kd_state.reinit_pending = false;
    return false;
}

static void ApplyPendingReInit() {
    kd_state.reinit_pending = false;
    KDI_ValidateParms(&kd_prog->parms);
    KDI_ValidateParms(&kd_parms);
    if (kd_parms.no_sound && !kd_prog->parms.no_sound) {
        kd_parms.no_sound = false;
        if (KDI_LoadSoundImp()) KD_PrintDebugf(KD_LOG_SYSTEM, "SoundImp initialized.\n");
    }
    kd_parms_t* p = &kd_prog->parms;
    if (!kd_state.platform_handle_given &&
        (p->width != kd_parms.width || p->height != kd_parms.height || p->windowed != kd_parms.windowed)) {
        KD_PrintDebugf(KD_LOG_SYSTEM, "Applying ReInit: %dx%d (%s) -> %dx%d (%s)\n", kd_parms.width, kd_parms.height,
                       kd_parms.windowed ? "w" : "fs", p->width, p->height, p->windowed ? "w" : "fs");
        KDI_ReInitRenderer();
    }
}

void KDI_Frame(int elapsed_ms) {
    if (!kd_state.initialised) return;
    KDI_LockCoreMutex(KD_MUTEX_MAIN_LOOP);
    KDI_ProcessEventQueue();

    int step = KDI_ClampElapsed(elapsed_ms);
    float dt = step * 0.001f;

    if (kd_state.renderer_ready && kd_prog) {
        KDI_SoundFrameStart();
        if (kd_state.orientation_target != kd_state.orientation_current) {
            kd_state.orientation_time += dt;
            if (kd_state.orientation_time >= kd_state.orientation_duration) {
                kd_state.orientation_current = kd_state.orientation_target;
                kd_state.orientation_time = 0;
            }
        }
        if (kd_prog->Update) kd_prog->Update(dt);

        int first_eye = kd_state.render_stereo ? KD_EYE_LEFT : KD_EYE_MONO;
        int last_eye = kd_state.render_stereo ? KD_EYE_RIGHT : KD_EYE_MONO;
        for (int eye = first_eye; eye <= last_eye; eye++) {
            kd_state.current_eye = eye;
            ri->FrameStart((kd_eye_mode_t)eye);
            KDI_SetDefaultStates();
            KDI_UpdateScreenTransforms(dt);
            KDI_PushScreenTransforms();
            if (kd_prog->Draw) kd_prog->Draw(dt);
            KDI_SetDefaultStates();
            KDI_DrawScreenBorders();
            KDI_PopScreenTransforms();
            KDI_UpdateAndDrawOverlays(dt);
        }
        KDI_SoundFrameReady();
        ri->FrameReady();
    }

    // Give a thread waiting to synchronise with the main thread its turn.
    KDI_UnlockCoreMutex(KD_MUTEX_MAIN_LOOP);
    KDI_LockCoreMutex(KD_MUTEX_MAIN_LOOP);

    if (kd_state.reinit_pending && kd_prog) {
        ApplyPendingReInit();
    } else if (kd_state.initialised && kd_state.renderer_ready) {
        KDI_ProcessResourceQueues();
    }

    KDI_FlushPopups();

    if (kd_state.transform_index >= 0)
        KD_Popupf(1,
                  "Transform stack is not empty at frame end: there are %d more kd->PushTransform calls than "
                  "kd->PopTransform calls.",
                  kd_state.transform_index + 1);

    KDI_UnlockCoreMutex(KD_MUTEX_MAIN_LOOP);
}
