// The program's one processor clock: what the calling thread has spent,
// which neither other programs on a busy machine nor a process held
// stopped (a throttled host) make grow. Reading it is a system call
// (some hundreds of nanoseconds): the script limits read it only once the
// cheap wall clock says it could matter (lua-limits.cpp).
#ifndef FRAMEWORK_PROCESSOR_CLOCK_H
#define FRAMEWORK_PROCESSOR_CLOCK_H

#include <time.h>

inline long long ThreadProcessorNs() {
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return (long long)t.tv_sec * 1000000000LL + t.tv_nsec;
}

inline double ThreadProcessorSeconds() { return (double)ThreadProcessorNs() * 1e-9; }

#endif
