// Engine events, the cross-thread event queue and the key-state table.
#include "kd-internal.h"

static nArray<kd_event_t> event_queue;

bool KDI_ConsoleHandleEvent(kd_event_t* event);

// Before "render targets lost" the program hears, one event each, which
// render-target bitmaps it must draw again.
static void SendRenderTargetRestores() {
    nArray<kd_bitmap_t*> targets;
    KDI_LockCoreMutex(KD_MUTEX_GET_BITMAP);
    for (int i = 0; i < kd_state.num_bitmaps; i++) {
        kd_bitmap_t* bm = &kd_state.bitmaps[i];
        if (bm->name && (bm->flags & KD_BITMAP_RENDER_TARGET)) targets.InsertLast(bm);
    }
    KDI_UnlockCoreMutex(KD_MUTEX_GET_BITMAP);
    for (int i = 0; i < targets.count; i++) {
        kd_event_t restore;
        memset(&restore, 0, sizeof restore);
        restore.type = KD_EVENT_RENDER_TARGET_RESTORE;
        restore.id = (intptr_t)targets[i];
        kd_prog->EventProc(restore);
    }
    targets.Free();
}

void KDI_SendEvent(kd_event_t* event) {
    if (!event) return;
    if (KDI_ConsoleHandleEvent(event)) return;
    if (event->type == KD_EVENT_WINDOW_CLOSE) kd_state.quit = true;
    if (!kd_state.initialised || !kd_prog || !kd_prog->EventProc) return;
    if (event->type == KD_EVENT_RENDER_TARGETS_LOST) SendRenderTargetRestores();
    kd_prog->EventProc(*event);
}

void KDI_SendEventQueued(kd_event_t* event) {
    if (!event) return;
    KDI_LockCoreMutex(KD_MUTEX_RESOURCE_QUEUE);
    event_queue.InsertLast(*event);
    KDI_UnlockCoreMutex(KD_MUTEX_RESOURCE_QUEUE);
}

void KDI_ProcessEventQueue() {
    KDI_LockCoreMutex(KD_MUTEX_RESOURCE_QUEUE);
    nArray<kd_event_t> pending = event_queue;
    event_queue.count = 0;
    KDI_UnlockCoreMutex(KD_MUTEX_RESOURCE_QUEUE);
    // Delivered outside the queue lock: a handler may queue new events.
    for (int i = 0; i < pending.count; i++) {
        KDI_SendEvent(&pending[i]);
        KDI_FreeEvent(&pending[i]);
    }
}

void KDI_FreeEvent(kd_event_t* e) {
    if (!e) return;
    switch (e->type) {
        case KD_EVENT_GC_ACHIEVEMENT_REPORTED:
        case KD_EVENT_GC_SCORE_SUBMITTED:
            free((void*)e->id);
            e->id = 0;
            break;
        case KD_EVENT_GC_NO_DATA: {
            // An array of `button` 12-byte items whose first word is an owned text.
            struct item_t {
                char* text;
                intptr_t a, b;
            };
            item_t* items = (item_t*)e->prev_x;
            if (items) {
                for (int i = 0; i < e->button; i++) free(items[i].text);
                free(items);
            }
            e->prev_x = 0;
            break;
        }
        case KD_EVENT_STORE_ITEM_DATA:
        case KD_EVENT_STORE_PURCHASE:
            free((void*)e->x);
            free((void*)e->prev_x);
            free((void*)e->prev_y);
            e->x = e->prev_x = e->prev_y = 0;
            break;
        case KD_EVENT_STORE_BALANCE:
            free((void*)e->y);
            e->y = 0;
            break;
        default:
            break;
    }
}

static void Deliver(kd_event_t* e) {
    if (kd_state.queue_events)
        KDI_SendEventQueued(e);
    else
        KDI_SendEvent(e);
}

void KDI_SendKeyEvent(int type, int key) {
    if (key >= 1 && key < KD_NUM_KEY_STATES) {
        if (type == KD_EVENT_KEY_DOWN) KD_SetKeyStatei(key, 3);
        if (type == KD_EVENT_KEY_UP) KD_SetKeyStatei(key, 0);
    }
    kd_event_t e;
    memset(&e, 0, sizeof e);
    e.type = type;
    e.id = key;
    Deliver(&e);
}

void KDI_SendCharEvent(int character) {
    kd_event_t e;
    memset(&e, 0, sizeof e);
    e.type = KD_EVENT_CHAR;
    e.id = character;
    Deliver(&e);
}

void KDI_SendWindowActivationEvent(bool active) {
    if (kd_state.quit) return;
    kd_event_t e;
    memset(&e, 0, sizeof e);
    e.type = KD_EVENT_ACTIVATION;
    e.id = active ? 0 : 1;
    KDI_SendEvent(&e);
}

void KDI_SendWindowCloseEvent() {
    kd_event_t e;
    memset(&e, 0, sizeof e);
    e.type = KD_EVENT_WINDOW_CLOSE;
    KDI_SendEvent(&e);
    kd_state.quit = true;
}

int KD_GetKeyStatei(int key) {
    if (key < 0 || key >= KD_NUM_KEY_STATES) return 0;
    int v = kd_state.key_states[key];
    // Bit 0 marks "pressed since the last read".
    if (key < 1280) kd_state.key_states[key] = v & ~1;
    return v;
}

void KD_SetKeyStatei(int key, int value) {
    if (key < 0 || key >= KD_NUM_KEY_STATES) return;
    kd_state.key_states[key] = value;
}

float KD_GetKeyStatef(int key) {
    if (key < 0 || key >= KD_NUM_KEY_STATES) return 0;
    return kd_state.key_states_f[key];
}

void KD_SetKeyStatef(int key, float value) {
    if (key < 0 || key >= KD_NUM_KEY_STATES) return;
    kd_state.key_states_f[key] = value;
}

void KDI_ClearKeyStates() {
    for (int i = 0; i < 255; i++) KD_SetKeyStatei(i, 0);
}

void KDI_ResetKeyboardKeyStates() {
    for (int i = 0; i < 256; i++) KD_SetKeyStatei(i, 0);
    for (int i = 510; i <= 517; i++) KD_SetKeyStatei(i, 0);
}
