/* Virtual keyboard: there is no on-screen keyboard on the host; every
 * request is recorded in the trace. */
#ifndef KODO_HOST_BPS_VIRTUALKEYBOARD_H
#define KODO_HOST_BPS_VIRTUALKEYBOARD_H

#include <bps/bps.h>

KODO_HOST_BEGIN

typedef enum {
    VIRTUALKEYBOARD_LAYOUT_DEFAULT = 0,
    VIRTUALKEYBOARD_LAYOUT_URL = 1,
    VIRTUALKEYBOARD_LAYOUT_EMAIL = 2,
    VIRTUALKEYBOARD_LAYOUT_NUMBER = 3
} virtualkeyboard_layout_t;

typedef enum {
    VIRTUALKEYBOARD_ENTER_DEFAULT = 0,
    VIRTUALKEYBOARD_ENTER_GO = 1,
    VIRTUALKEYBOARD_ENTER_SEND = 2,
    VIRTUALKEYBOARD_ENTER_DONE = 3
} virtualkeyboard_enter_t;

KODO_HOST_API int virtualkeyboard_request_events(int flags);
KODO_HOST_API void virtualkeyboard_change_options(int layout, int enter);
KODO_HOST_API void virtualkeyboard_show(void);
KODO_HOST_API void virtualkeyboard_hide(void);

KODO_HOST_END

#endif
