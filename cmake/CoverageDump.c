/* Linked into every module of the coverage build that holds instrumented
 * code (Windows only). mingw runs the destructor that writes gcov's counters
 * before the destructors of static objects, so lines run at unload (the
 * application object's destructor) would show as never run. The counters'
 * writer is wrapped (-Wl,--wrap=__gcov_exit): the compiler's call does
 * nothing, and the real one runs from an atexit handler registered before
 * any static object is constructed, so it runs after all of them. */
#include <stdlib.h>

void __real___gcov_exit(void);

void __wrap___gcov_exit(void) {}

static void WriteCounters(void) { __real___gcov_exit(); }

__attribute__((constructor(101))) static void WriteCountersLast(void) { atexit(WriteCounters); }
