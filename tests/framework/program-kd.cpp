// The program's side of the table handover. Kept apart from the engine's
// headers, whose own `kd` would clash with the program's.
#include "kodo.h"

extern kodo_t* kd;

void SetProgramKd(kodo_t* table) { kd = table; }
