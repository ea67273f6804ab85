#pragma once

#include <string>

// The folder part of path with its final '/', or "" for a bare name.
std::string FolderOf(const std::string& path);

// The name a write to path lands on, as an editor's save finds it: symbolic links are
// followed one at a time, a relative target read from the link's folder, up to the first
// name that is no link; that name may not exist yet. Throws ToolError naming path when the
// links go round or a link cannot be read.
std::string FollowLinks(const std::string& path);
