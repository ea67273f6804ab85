#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <ostream>
#include <string>

// Writes what write puts on the stream to path exactly as the window saves a book
// (storage/SafeFiles.h): links followed, a regular file replaced only once everything is
// written and keeping its other names, owner, group and mode, a file the user may not write
// refused, a book too big for the disk refused before anything is created. size, when
// known, is the number of bytes write puts; unknown, a disk that fills up fails the write
// and leaves the old file as it was. A device or a FIFO is opened and written directly; a directory
// is refused. Throws ToolError naming path on any failure.
void WriteOutputFile(const std::string& path, std::optional<std::uint64_t> size,
                     const std::function<void(std::ostream&)>& write);
