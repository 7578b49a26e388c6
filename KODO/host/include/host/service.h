/* Results of the platform's services: the store and the game centre answer
 * the program's extension commands with events of their own (engine event
 * types 19-22 and 32-35). No such service exists on this host, so these
 * events come only from the input script's "service" lines (host.h); the
 * engine fetches them with the other events and hands them to the
 * program unchanged. */
#ifndef KODO_HOST_SERVICE_H
#define KODO_HOST_SERVICE_H

#include <bps/bps.h>

KODO_HOST_BEGIN

KODO_HOST_API int service_get_domain(void);

/* Whether the store can sell now: 1 when KODO_HOST_STORE is "open" (a
 * scripted run whose "service" lines answer the purchases), else 0. */
KODO_HOST_API int service_store_available(void);

/* The engine event type of a service result (19-22, 32-35), 0 for an
 * event of another domain. */
KODO_HOST_API int service_event_get_type(bps_event_t *event);

/* Field `index` of a service result: 0 id, 1 x, 2 y, 3 the fifth word
 * (the word of the device's event record that pointer events use for
 * button and wheel). Returns 1 with *text set (valid until the next
 * bps_get_event) for a text, 0 with *number set for a number (0 when the
 * script left the field out), -1 for a bad event or index. */
KODO_HOST_API int service_event_get_field(bps_event_t *event, int index, const char **text, long long *number);

KODO_HOST_END

#endif
