#ifndef KODO_HOST_BPS_EVENT_H
#define KODO_HOST_BPS_EVENT_H
#include <bps/bps.h>
#endif
