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
#include "nstring.h"

extern kodo_t* kd;

// The do-nothing table `kd` starts on.
extern kodo_t kd_null_table;

// A programmer's error: a call out of order (after start-up, before
// Init), a registry filled in the wrong order, an object given to two
// owners. Builds without NDEBUG (Debug: CI's sanitizer and thread
// stages) stop at once with the condition and its place, so such faults
// are loud there; builds with it (Release, RelWithDebInfo: the default
// tree, the quick check's and CI's optimised stage) check nothing. Never
// for input from outside or for what the program refuses, ignores or
// reports by design: those keep their line.
#ifdef NDEBUG
#define KD_ASSERT(condition) ((void)0)
#else
#define KD_ASSERT(condition) ((condition) ? (void)0 : KD_AssertFailed(#condition, __FILE__, __LINE__))
#endif
[[noreturn]] void KD_AssertFailed(const char* condition, const char* file, int line);

// A fault in the game's own data (a timeline, a layout, a file a world
// names): a popup in developer mode, where the author sees it, and a
// level-1 log line otherwise, where a popup would leave no trace.
void ReportDataFault(const char* format, ...) N_PRINTF_LIKE(1, 2);
// The program parameters whose developer mode ReportDataFault follows,
// handed down by the manager whenever it learns them (null: none yet).
void SetDataFaultParms(const kd_parms_t* parms);

#endif
