#pragma once

#include "exchange/ContactFormats.h"

#include <optional>
#include <string>

enum class Command { Help, Version, Normalize, Check, Tree, Export, Import, Find };

struct Arguments {
    Command command = Command::Help;
    std::string file;
    std::string text;                    // find: what to look for, UTF-8
    std::optional<std::string> output;   // normalize, export and import -o
    std::optional<ContactFormat> format; // export and import --format
    bool replaceUnencodable = false;     // import --replace-unencodable
    bool force = false;                  // export and import: -o may replace another kind
};

// Parses the command line (without the program name); throws ToolError when it is wrong.
Arguments ParseArguments(int count, const char* const* values);
