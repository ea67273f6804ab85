#include "ToolError.h"

#include <cstring>

std::string Quoted(std::string_view text) {
    std::string quoted = "'";
    for (char c : text)
        quoted += (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) ? '?' : c;
    return quoted + "'";
}

ToolError FileError(std::string_view action, std::string_view path, int error) {
    return ToolError("cannot " + std::string(action) + " " + Quoted(path) + ": " +
                     std::strerror(error));
}
