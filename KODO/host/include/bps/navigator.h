/* Navigator: window state, swipe-down and exit requests, opening URLs. */
#ifndef KODO_HOST_BPS_NAVIGATOR_H
#define KODO_HOST_BPS_NAVIGATOR_H

#include <stdbool.h>
#include <bps/bps.h>

KODO_HOST_BEGIN

enum {
    NAVIGATOR_EXIT = 0x01,
    NAVIGATOR_WINDOW_STATE = 0x02,
    NAVIGATOR_SWIPE_DOWN = 0x03
};

typedef enum {
    NAVIGATOR_WINDOW_FULLSCREEN = 0,
    NAVIGATOR_WINDOW_THUMBNAIL = 1,
    NAVIGATOR_WINDOW_INVISIBLE = 2
} navigator_window_state_t;

KODO_HOST_API int navigator_get_domain(void);
/* Navigator events are delivered only after this call (flags unused);
 * from then on SIGINT and SIGTERM arrive as NAVIGATOR_EXIT (a third
 * unanswered signal ends the process as usual). */
KODO_HOST_API int navigator_request_events(int flags);
KODO_HOST_API int navigator_stop_events(int flags);
KODO_HOST_API int navigator_rotation_lock(bool locked);
/* There is no browser here: the URL is written to the trace. On failure
 * *err (when err is not NULL) receives a text to release with bps_free. */
KODO_HOST_API int navigator_invoke(const char *uri, char **err);
KODO_HOST_API navigator_window_state_t navigator_event_get_window_state(bps_event_t *event);

KODO_HOST_END

#endif
