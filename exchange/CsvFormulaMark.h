#pragma once

#include <string_view>

// A spreadsheet opening a CSV file runs a cell that starts with "=", "+", "-", "@", a tab or
// a CR as a formula. Export puts a "'" before such a field, and before one that already is
// "'"s followed by such a character, so that import can take exactly one "'" off again.
namespace csv_formula {

inline bool NeedsMark(std::string_view field) {
    const std::size_t first = field.find_first_not_of('\'');
    return first != std::string_view::npos &&
           std::string_view("=+-@\t\r").find(field[first]) != std::string_view::npos;
}

inline bool IsMarked(std::string_view field) {
    return field.starts_with('\'') && NeedsMark(field);
}

} // namespace csv_formula
