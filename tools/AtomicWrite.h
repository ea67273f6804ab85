#pragma once

#include <cstdint>
#include <functional>
#include <ostream>
#include <string>

// Writes what write puts on the stream to path, as an editor's save does. Symbolic links are
// followed and kept: the file they lead to is written. A regular file there, or none, is
// replaced only once everything is written: the bytes go to a temporary file in the same
// folder, which is synced and renamed over it, keeping an existing file's permission bits.
// size is the number of bytes write puts: a file system with less free space is refused
// before anything is created. Any other file there (a device, a FIFO) is opened and written
// directly, never replaced; a directory is refused.
// Throws ToolError naming path on any failure, after removing the temporary file; write may
// throw BookIoError when its stream fails.
void WriteOutputFile(const std::string& path, std::uint64_t size,
                     const std::function<void(std::ostream&)>& write);
