// Least-safe stand-ins for graphics parts of the engine that are not built
// yet (none are left at the moment).
#include "kd-internal.h"
