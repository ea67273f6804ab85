#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

// A failure the tool reports as one line on standard error, then exits with status 2.
class ToolError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A path or argument in quotes, control characters shown as "?" so the message stays on
// one line.
std::string Quoted(std::string_view text);
// "cannot <action> '<path>': <strerror text>"
ToolError FileError(std::string_view action, std::string_view path, int error);
