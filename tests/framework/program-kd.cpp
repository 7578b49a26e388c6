// The program's side of the table handover. Kept apart from the engine's
// headers, whose own `kd` would clash with the program's.
#include "framework-kd.h"

// Null puts the program back on its do-nothing table.
void SetProgramKd(kodo_t* table) { kd = table ? table : &kd_null_table; }
