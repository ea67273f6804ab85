#include "OutputPath.h"

#include "ToolError.h"

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// As many links as the system itself follows in one path.
constexpr int kMaxLinkHops = 40;

// The target of the link at path; throws ToolError naming shownPath when it cannot be read.
std::string ReadLink(const std::string& path, const std::string& shownPath) {
    std::string target(256, '\0');
    for (;;) {
        const ssize_t length = ::readlink(path.c_str(), target.data(), target.size());
        if (length < 0)
            throw FileError("write", shownPath, errno);
        // A full buffer may have cut the target short.
        if (static_cast<std::size_t>(length) < target.size()) {
            target.resize(static_cast<std::size_t>(length));
            return target;
        }
        target.resize(2 * target.size());
    }
}

bool IsLink(const std::string& path) {
    struct stat info;
    return ::lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode);
}

} // namespace

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string FollowLinks(const std::string& path) {
    std::string current = path;
    for (int hops = 0; IsLink(current); ++hops) {
        if (hops == kMaxLinkHops)
            throw FileError("write", path, ELOOP);
        const std::string target = ReadLink(current, path);
        current = target.starts_with('/') ? target : FolderOf(current) + target;
    }
    return current;
}
