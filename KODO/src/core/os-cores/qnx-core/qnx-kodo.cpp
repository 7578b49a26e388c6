// The platform layer: the process's entry, the event loop with frame
// pacing, and the navigator's life-cycle events.
#include <assert.h>
#include <bps/bps.h>
#include <bps/navigator.h>
#include <bps/screen.h>
#include <bps/virtualkeyboard.h>
#include <host/host.h>
#include <host/service.h>
#include <screen/screen.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "kd-internal.h"
#include "qnx-kodo.h"

static screen_context_t screen_ctx = nullptr;
static screen_window_t screen_win = nullptr;

screen_context_t KDQ_GetScreenContext() { return screen_ctx; }
screen_window_t KDQ_GetScreenWindow() { return screen_win; }

void KDID_GetDisplaySize(int* width, int* height) {
    *width = *height = 0;
    if (!screen_win) return;
    screen_display_t display = nullptr;
    if (screen_get_window_property_pv(screen_win, SCREEN_PROPERTY_DISPLAY, (void**)&display) != 0 || !display) return;
    int size[2] = {0, 0};
    if (screen_get_display_property_iv(display, SCREEN_PROPERTY_SIZE, size) == 0) {
        *width = size[0];
        *height = size[1];
    }
}

int kd_qnx_screen_width = 1024;
int kd_qnx_screen_height = 600;
int kd_qnx_nbuffers = 2;

static bool WindowFailed(const char* call) {
    KD_PrintDebugf(KD_LOG_ERROR, "%s", call);
    fprintf(stderr, "KODO: %s failed\n", call);
    if (screen_win) screen_destroy_window(screen_win);
    screen_win = nullptr;
    return false;
}

bool KD_QNX_InitWindowAndContexts() {
    if (screen_win) return true;
    if (!screen_ctx) return WindowFailed("screen_create_window");
    if (screen_create_window(&screen_win, screen_ctx) != 0) {
        screen_win = nullptr;
        return WindowFailed("screen_create_window");
    }
    int format = SCREEN_FORMAT_RGBX8888;
    if (screen_set_window_property_iv(screen_win, SCREEN_PROPERTY_FORMAT, &format) != 0)
        return WindowFailed("screen_set_window_property_iv(SCREEN_PROPERTY_FORMAT)");
    int usage = SCREEN_USAGE_OPENGL_ES1 | SCREEN_USAGE_ROTATION;
    if (screen_set_window_property_iv(screen_win, SCREEN_PROPERTY_USAGE, &usage) != 0)
        return WindowFailed("screen_set_window_property_iv(SCREEN_PROPERTY_USAGE)");
    screen_display_t display = nullptr;
    if (screen_get_window_property_pv(screen_win, SCREEN_PROPERTY_DISPLAY, (void**)&display) != 0 || !display)
        return WindowFailed("screen_get_window_property_pv");
    int size[2] = {0, 0};
    if (screen_get_display_property_iv(display, SCREEN_PROPERTY_SIZE, size) != 0)
        return WindowFailed("screen_get_display_property_iv");
    const char* env = getenv("ORIENTATION");
    int orientation = env ? atoi(env) : 0;
    screen_display_mode_t mode;
    memset(&mode, 0, sizeof mode);
    if (screen_get_display_property_iv(display, SCREEN_PROPERTY_MODE, (int*)&mode) != 0)
        return WindowFailed("screen_get_display_property_iv");
    int buffer[2] = {size[0], size[1]};
    screen_get_window_property_iv(screen_win, SCREEN_PROPERTY_BUFFER_SIZE, buffer);
    bool mode_landscape = mode.width > mode.height, buffer_landscape = buffer[0] > buffer[1];
    bool swap;
    if (orientation == 0 || orientation == 180)
        swap = mode_landscape != buffer_landscape;
    else if (orientation == 90 || orientation == 270)
        swap = mode_landscape == buffer_landscape;
    else
        return WindowFailed("rttt");
    if (swap) {
        int t = buffer[0];
        buffer[0] = buffer[1];
        buffer[1] = t;
    }
    kd_qnx_screen_width = buffer[0];
    kd_qnx_screen_height = buffer[1];
    if (screen_set_window_property_iv(screen_win, SCREEN_PROPERTY_BUFFER_SIZE, buffer) != 0 ||
        screen_set_window_property_iv(screen_win, SCREEN_PROPERTY_ROTATION, &orientation) != 0)
        return WindowFailed("screen_set_window_property_iv");
    if (screen_create_window_buffers(screen_win, kd_qnx_nbuffers) != 0) return WindowFailed("screen_create_window_buffers");
    return true;
}

bool KDQ_CreateWindow() {
    if (screen_create_context(&screen_ctx, 0) != 0) {
        screen_ctx = nullptr;
        return false;
    }
    if (!KD_QNX_InitWindowAndContexts()) {
        screen_destroy_context(screen_ctx);
        screen_ctx = nullptr;
        return false;
    }
    return true;
}

void KDQ_DestroyWindow() {
    if (screen_win) screen_destroy_window(screen_win);
    screen_win = nullptr;
    if (screen_ctx) screen_destroy_context(screen_ctx);
    screen_ctx = nullptr;
}

void HandleNavigatorEvent(bps_event_t* event) {
    switch (bps_event_get_code(event)) {
        case NAVIGATOR_WINDOW_STATE:
            KDI_ActivateApp(navigator_event_get_window_state(event) == NAVIGATOR_WINDOW_FULLSCREEN);
            break;
        case NAVIGATOR_SWIPE_DOWN:
            KDI_SendKeyEvent(KD_EVENT_KEY_DOWN, KD_KEY_SWIPE_DOWN);
            KDI_SendKeyEvent(KD_EVENT_KEY_UP, KD_KEY_SWIPE_DOWN);
            break;
        case NAVIGATOR_EXIT:
            kd_state.quit = true;
            break;
        default:
            break;
    }
}

void KDQ_DrainEvents() {
    for (;;) {
        bps_event_t* event = nullptr;
        int rc = bps_get_event(&event, 0);
        assert(rc == BPS_SUCCESS);
        (void)rc;
        if (!event) break;
        int domain = bps_event_get_domain(event);
        if (domain == screen_get_domain())
            HandleScreenEvent(event);
        else if (domain == navigator_get_domain())
            HandleNavigatorEvent(event);
        else if (domain == service_get_domain())
            KDQ_HandleServiceEvent(event);
        else
            KDQ_HandleMusicEvent(event);
    }
}

static void SleepMs(int ms) { KDT_Sleep(ms); }

static int FrameMs() { return kd_parms.frame_ms > 0 ? kd_parms.frame_ms : 8; }

unsigned int KDQ_LoopTurn(unsigned int last) {
    KDQ_DrainEvents();
    if (!kd_prog) return last;
    // After an exit request the last frame (which still handles what came
    // with the request) runs at once rather than at its time.
    unsigned int now = kd_state.quit ? KDT_GetTime() : KDI_WaitForFrame(last, FrameMs(), KDT_GetTime, SleepMs);
    if (kd_state.active)
        KDI_Frame((int)(now - last));
    else
        KDT_Sleep(15);
    return now;
}

int KDQ_Main(int argc, char** argv) {
    KDI_SetCommandLine(argc, argv);
    if (!KDI_CheckForMultipleProgramInstances()) return 1;
    if (!KDQ_CreateWindow()) {
        fprintf(stderr, "Unable to create the window; is a display available? (DISPLAY=%s)\n",
                getenv("DISPLAY") ? getenv("DISPLAY") : "");
        return 1;
    }
    if (!KDI_PreInit(nullptr)) {
        KDQ_DestroyWindow();
        return 1;
    }
    bps_initialize();
    if (!KDI_Init()) {
        KD_Popupf(2, "Core initialization failed. See generated log for details.\n");
        KDI_FlushPopups();
        bps_shutdown();
        KDQ_DestroyWindow();
        return 1;
    }
    if (screen_request_events(screen_ctx) != BPS_SUCCESS) {
        KD_PrintDebugf(KD_LOG_ERROR, "screen_request_events failed\n");
        KDQ_DestroyWindow();
        return 1;
    }
    if (navigator_request_events(0) != BPS_SUCCESS) {
        KD_PrintDebugf(KD_LOG_ERROR, "navigator_request_events failed\n");
        KDQ_DestroyWindow();
        return 1;
    }
    if (navigator_rotation_lock(false) != BPS_SUCCESS) {
        KD_PrintDebugf(KD_LOG_ERROR, "navigator_rotation_lock failed\n");
        KDQ_DestroyWindow();
        return 1;
    }
    virtualkeyboard_request_events(0);
    if (kd_state.developer_mode) {
        int keep_awake = 1;
        screen_set_window_property_iv(screen_win, SCREEN_PROPERTY_IDLE_MODE, &keep_awake);
    }

    // The first frame is due at once, with a whole frame's time to tell:
    // until it is presented the window shows nothing.
    unsigned int last = KDT_GetTime() - (unsigned int)FrameMs();
    kd_state.active = true;
    while (!kd_state.quit) last = KDQ_LoopTurn(last);

    screen_stop_events(screen_ctx);
    KODO_Shutdown();
    bps_shutdown();
    KDQ_DestroyWindow();
    // An input script whose wait ran out of frames ends the run as failed.
    return host_script_failed() ? 1 : 0;
}
