// The one-instance rule: a flag in a data section that every process of the executable shares.
#include "app/instance_guard_internal.h"

#include <windows.h>

#if defined(_WIN32)
// The "shared" attribute marks the PE section read/write-shared across processes.
#define SHARED_SECTION __attribute__((section("Shared"), shared))
#else
#define SHARED_SECTION
#endif

static volatile LONG instanceFlag SHARED_SECTION = 0;

int ClaimSingleInstance()
{
    // One atomic test-and-set, so that two starts at the same moment cannot both pass.
    return InterlockedCompareExchange(&instanceFlag, 1, 0) == 0;
}
