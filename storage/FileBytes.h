#pragma once

#include <string>
#include <sys/types.h>

// Whole-file byte transfers on descriptors, shared by the safe writer and the record of a
// rewrite in place. Each call retries after EINTR.

// Writes size bytes at offset; false, with errno set, on a failure.
bool WriteAll(int fd, const char* data, std::size_t size, off_t offset);
// Appends the descriptor's whole content, read from its start; 0 or an errno value.
int ReadWhole(int fd, std::string& bytes);
// Puts bytes at the start of fd, cuts the file there and syncs it; 0 or an errno value.
int Overwrite(int fd, const std::string& bytes);
// Syncs a folder, so that a name just made or removed in it lasts.
void SyncFolder(const std::string& folder);
