#pragma once

#include <functional>
#include <ostream>
#include <string>

// Replaces the file at path with what write puts on the stream, or leaves it untouched:
// the bytes go to a temporary file in the same directory, which is synced and renamed over
// path. An existing file's permission bits are kept. Throws ToolError naming path on any
// failure, after removing the temporary file; write may throw BookIoError when its stream
// fails.
void WriteFileAtomically(const std::string& path, const std::function<void(std::ostream&)>& write);
