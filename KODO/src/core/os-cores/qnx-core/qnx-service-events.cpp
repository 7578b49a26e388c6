// The results of the platform's services (store, game centre) as engine
// events (KD_EVENT_GC_* and KD_EVENT_STORE_*).
//
// Each field is a number or a text. A text goes to the program as a
// pointer that stays valid for the delivery only (the platform keeps it
// until its next event), so the event is delivered at once and never
// queued, and the program copies what it keeps. The fifth word, which the
// device's record shares with the pointer events' button and wheel,
// cannot hold a pointer in those 16-bit fields here: it travels in `data`.
#include <host/service.h>

#include "kd-internal.h"
#include "qnx-kodo.h"

static intptr_t Field(bps_event_t* event, int index) {
    const char* text = nullptr;
    long long number = 0;
    int kind = service_event_get_field(event, index, &text, &number);
    if (kind == 1) return (intptr_t)text;
    if (kind == 0) return (intptr_t)number;
    return 0;
}

void KDQ_HandleServiceEvent(bps_event_t* event) {
    int type = service_event_get_type(event);
    const bool game_centre = type >= KD_EVENT_GC_FIRST && type <= KD_EVENT_GC_LAST;
    const bool store = type >= KD_EVENT_STORE_FIRST && type <= KD_EVENT_STORE_LAST;
    if (!game_centre && !store) return;
    kd_event_t e;
    memset(&e, 0, sizeof e);
    e.type = type;
    e.id = Field(event, 0);
    e.x = Field(event, 1);
    e.y = Field(event, 2);
    e.data = Field(event, 3);
    KDI_SendEvent(&e);
}
