// Pointer input: touch and pointer positions become pointer
// events in program coordinates, with the previous position of the same
// pointer and the pointer's key states; and the mapping of rectangles from
// program to device orientation.
#include <string.h>

#include "kd-internal.h"

// Float-table slots of pointer k: 524 + 20k and 525 + 20k; k = -1 uses
// 504/505. k is the id's low 8 bits read as a signed number. Slots outside
// the 2048-entry table are never touched: such a pointer keeps no previous
// position.
static bool PointerSlots(intptr_t id, int* sx, int* sy) {
    int k = (int8_t)(uint8_t)(id & 0xFF);
    if (k == -1) {
        *sx = KD_KEY_POINTER_X;
        *sy = KD_KEY_POINTER_Y;
        return true;
    }
    int x = 524 + 20 * k, y = 525 + 20 * k;
    if (x < 0 || y >= KD_NUM_KEY_STATES) return false;
    *sx = x;
    *sy = y;
    return true;
}

// (int) of a float without undefined behaviour for NaN or huge values.
static int Truncate(float f) {
    if (!(f == f)) return 0;
    if (f >= 2147483520.0f) return 2147483520;
    if (f <= -2147483520.0f) return -2147483520;
    return (int)f;
}

static void Deliver(kd_event_t* e) {
    if (kd_state.queue_events)
        KDI_SendEventQueued(e);
    else
        KDI_SendEvent(e);
}

void KDI_SendMouseEvent(kd_event_t* e) {
    if (!e) return;
    if (kd_state.autoscale) {
        e->x = Truncate((float)Truncate((float)e->x - kd_state.offset_x) * kd_state.inv_scale_x);
        e->y = Truncate((float)Truncate((float)e->y - kd_state.offset_y) * kd_state.inv_scale_y);
    }
    int sx, sy;
    if (PointerSlots(e->id, &sx, &sy)) {
        e->prev_x = Truncate(kd_state.key_states_f[sx]);
        e->prev_y = Truncate(kd_state.key_states_f[sy]);
        kd_state.key_states_f[sx] = (float)e->x;
        kd_state.key_states_f[sy] = (float)e->y;
    } else {
        e->prev_x = e->x;
        e->prev_y = e->y;
    }
    if (e->id == 0) {
        KD_SetKeyStatei(KD_KEY_POINTER_X, (int)e->x);
        KD_SetKeyStatei(KD_KEY_POINTER_Y, (int)e->y);
        KD_SetKeyStatef(KD_KEY_POINTER_X, (float)e->x);
        KD_SetKeyStatef(KD_KEY_POINTER_Y, (float)e->y);
        if (e->type == KD_EVENT_BUTTON_DOWN) KD_SetKeyStatei(KD_KEY_MOUSE_BUTTON_0, 2);
        if (e->type == KD_EVENT_BUTTON_UP) KD_SetKeyStatei(KD_KEY_MOUSE_BUTTON_0, 0);
    }
    Deliver(e);
}

void KDI_SendMouseMoveEvent(int id, float x, float y) {
    kd_event_t e;
    memset(&e, 0, sizeof e);
    e.type = KD_EVENT_POINTER_MOVE;
    e.id = id;
    e.x = Truncate(x);
    e.y = Truncate(y);
    KDI_SendMouseEvent(&e);
}

void KDI_SendMouseButtonEvent(int type, int id, int button, float x, float y) {
    kd_event_t e;
    memset(&e, 0, sizeof e);
    e.type = type;
    e.id = id;
    e.button = (int16_t)button;
    e.x = Truncate(x);
    e.y = Truncate(y);
    KDI_SendMouseEvent(&e);
}

void KDI_SendMouseWheelEvent(int type, int id, int wheel, float x, float y) {
    kd_event_t e;
    memset(&e, 0, sizeof e);
    e.type = type;
    e.id = id;
    e.wheel = (int16_t)wheel;
    e.x = Truncate(x);
    e.y = Truncate(y);
    KDI_SendMouseEvent(&e);
}

void KD_TranslateRectByOrientation(int* x, int* y, int* w, int* h) {
    if (!x || !y || !w || !h) return;
    int dw = kd_state.device_width, dh = kd_state.device_height;
    bool program_landscape = kd_prog ? kd_prog->parms.width > kd_prog->parms.height : kd_parms.width > kd_parms.height;
    if (dw < dh && program_landscape) {
        int nx = dw - *y - *h, ny = *x;
        int nw = *h, nh = *w;
        *x = nx;
        *y = ny;
        *w = nw;
        *h = nh;
    }
    if (kd_state.orientation_current == 2 || kd_state.orientation_current == 4) {
        *x = dw - *x - *w;
        *y = dh - *y - *h;
    }
}
