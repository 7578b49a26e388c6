/* Event service: one queue of events from the window, the navigator and
 * the music renderer, fetched on the main thread. */
#ifndef KODO_HOST_BPS_BPS_H
#define KODO_HOST_BPS_BPS_H

#include <host/host_api.h>

#define BPS_SUCCESS 0
#define BPS_FAILURE (-1)

KODO_HOST_BEGIN

typedef struct bps_event_t bps_event_t;

/* Starts the event service (reference counted) and reads the input script
 * named by KODO_HOST_SCRIPT. Script times count from the first call. */
KODO_HOST_API int bps_initialize(void);
KODO_HOST_API int bps_shutdown(void);

/* Returns one event in *event, or NULL when none is pending. timeout_ms 0
 * never waits, a positive value waits at most that long, -1 waits until an
 * event arrives. The event stays valid until the next call. */
KODO_HOST_API int bps_get_event(bps_event_t **event, int timeout_ms);

KODO_HOST_API int bps_event_get_domain(bps_event_t *event);
KODO_HOST_API unsigned int bps_event_get_code(bps_event_t *event);

/* Frees memory handed out by the service (for example error texts). */
KODO_HOST_API void bps_free(void *ptr);

KODO_HOST_END

#endif
