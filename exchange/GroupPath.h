#pragma once

#include <string>
#include <string_view>

// How the groups around an entry are written in one text field (a vCard category, the CSV
// "Group" column): the group names from the top level down, joined by "/". Inside a name
// "%" is written "%25" and "/" is written "%2F", and a name that is empty is written as a
// lone "%", so any path splits back into exactly its names. Other clients see a readable
// label such as "家族/親戚"; a category of theirs containing "/" nests on import.
namespace group_path {

// Appends one group name (UTF-8) to a path being built.
void AppendName(std::string& path, std::string_view name, bool first);
// The name that one piece of a path (the text between two "/", or before the first or after
// the last) stands for. An empty path holds no names at all: it is the top level.
std::string NameOf(std::string_view piece);

} // namespace group_path
