// The program's handle on the engine. It lives with the framework so that
// the framework can be linked (and tested) without the program record.
#include "kodo.h"

kodo_t* kd = nullptr;

