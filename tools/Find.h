#pragma once

#include <cstddef>
#include <ostream>
#include <string>
#include <string_view>

// Prints every entry of the book at path whose name or one of whose addresses contains text
// (UTF-8, compared as the window's find bar compares), one line each, in the order of the
// file:
//   LINE: PATH ENTRY
// LINE is the entry's line in the file; PATH the groups around it, each name quoted and
// behind a "/", just "/" at the top level (beyond 32 levels the outer ones are counted:
// /…(N groups)…); ENTRY the entry as tree prints it. Returns the number of entries printed.
// Throws ToolError when the book cannot be read, BookIoError when out fails.
std::size_t FindInBook(const std::string& path, std::string_view text, std::ostream& out);
