#pragma once

#include <cstdint>
#include <functional>
#include <ostream>
#include <string>

// Writes what write puts on the stream to path exactly as the window saves a book
// (storage/SafeFiles.h): links followed, a regular file replaced only once everything is
// written and keeping its other names, owner, group and mode, a file the user may not write
// refused, a book too big for the disk refused before anything is created. size is the
// number of bytes write puts. A device or a FIFO is opened and written directly; a directory
// is refused. Throws ToolError naming path on any failure.
void WriteOutputFile(const std::string& path, std::uint64_t size,
                     const std::function<void(std::ostream&)>& write);
