#include "document/MemoryRelease.h"

#include <cstdlib> // defines __GLIBC__ on glibc

#ifdef __GLIBC__
#include <malloc.h>
#endif

void ReleaseFreedMemory() {
#ifdef __GLIBC__
    ::malloc_trim(0);
#endif
}
