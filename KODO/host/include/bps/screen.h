/* Window events through the event service. */
#ifndef KODO_HOST_BPS_SCREEN_H
#define KODO_HOST_BPS_SCREEN_H

#include <bps/bps.h>
#include <screen/screen.h>

KODO_HOST_BEGIN

KODO_HOST_API int screen_get_domain(void);
/* Window input is delivered only between these two calls. */
KODO_HOST_API int screen_request_events(screen_context_t context);
KODO_HOST_API int screen_stop_events(screen_context_t context);
/* The screen event carried by a screen-domain event (NULL otherwise). */
KODO_HOST_API screen_event_t screen_event_get_event(bps_event_t *event);

KODO_HOST_END

#endif
