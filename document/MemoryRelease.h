#pragma once

// Hands memory the program has freed back to the system. The allocator keeps the many small
// blocks of a freed book for reuse, so without this the process would stay at the size its
// biggest book gave it.
void ReleaseFreedMemory();
