// The program's handle on the engine: the one declaration of `kd`.
//
// The program reaches the engine only through this table. Until the
// engine hands its own table over (the parameters event, then the program
// record before KD_Init), `kd` points at a table whose every slot does
// nothing and answers zero, null or false, so code that runs early (static
// construction, tests without an engine) needs no check of its own.
#ifndef FRAMEWORK_KD_H
#define FRAMEWORK_KD_H

#include "kodo.h"

extern kodo_t* kd;

// The do-nothing table `kd` starts on.
extern kodo_t kd_null_table;

#endif
