#pragma once

// Hands memory the program has freed back to the system. The allocator keeps the many small
// blocks of a freed book for reuse, so without this the process would stay at the size its
// biggest book gave it.
void ReleaseFreedMemory();

// Lets the big blocks of books come in huge pages where the system offers them on request:
// a million-entry book then takes a few dozen page faults instead of tens of thousands.
// Call once, before the first book is read.
void UseHugePagesForBooks();
