/* Music renderer events through the event service. */
#ifndef KODO_HOST_BPS_MMRENDERER_H
#define KODO_HOST_BPS_MMRENDERER_H

#include <bps/bps.h>
#include <mm/renderer.h>

KODO_HOST_BEGIN

enum {
    MMRENDERER_STATE_CHANGE = 0x01
};

KODO_HOST_API int mmrenderer_get_domain(void);
/* Asks for the state events of the context with this name. Returns a
 * request id (> 0) to give to mmrenderer_stop_events, or BPS_FAILURE. */
KODO_HOST_API int mmrenderer_request_events(const char *context_name, int flags, int user_data);
KODO_HOST_API int mmrenderer_stop_events(int request);
KODO_HOST_API mmr_state_t mmrenderer_event_get_state(bps_event_t *event);
/* Never NULL for a renderer event; NULL for any other event. */
KODO_HOST_API const mmr_error_info_t *mmrenderer_event_get_error(bps_event_t *event);

KODO_HOST_END

#endif
