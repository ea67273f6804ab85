#include "BookFile.h"

#include "file/BookFormat.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

std::ifstream OpenBookFile(const std::string& path) {
    struct stat info;
    if (::stat(path.c_str(), &info) != 0)
        throw FileError("open", path, errno);
    // A directory opens fine as a stream and only fails on the first read.
    if (S_ISDIR(info.st_mode))
        throw FileError("read", path, EISDIR);
    if (!S_ISREG(info.st_mode))
        throw ToolError("cannot read " + Quoted(path) + ": not a regular file");
    errno = 0;
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw FileError("open", path, errno != 0 ? errno : EIO);
    return in;
}

void ThrowReadError(const std::string& path) {
    // The stream keeps no error code; errno still holds the failed read's.
    throw FileError("read", path, errno != 0 ? errno : EIO);
}

void LoadBook(const std::string& path, EntryTree& tree) {
    ReadingBook(path, [&tree](std::istream& in) { ReadBook(in, tree); });
}
