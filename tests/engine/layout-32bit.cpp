// Compiled for a 32-bit device target by the test engine_layout_32bit and
// never run: kodo.h checks its records against the device's 32-bit layout
// only where pointers are 32 bits wide, which no host build is.
#include "kodo.h"

static_assert(sizeof(void*) == 4, "compile this for a 32-bit target: the layout checks of kodo.h are skipped");
