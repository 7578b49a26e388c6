// Least-safe stand-ins for the platform event conversions until input and
// music are built: screen and music events are dropped.
#include "qnx-kodo.h"

void HandleScreenEvent(bps_event_t* event) {}
void KDQ_HandleMusicEvent(bps_event_t* event) {}
