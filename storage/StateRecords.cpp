#include "storage/StateRecords.h"

#include "storage/FileBytes.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A regular file, not through a symbolic link, of at most limit bytes; when privateOnly, one
// this user owns and nobody else may read or write.
bool ReadRegularFile(const std::string& path, std::size_t limit, bool privateOnly,
                     std::string& bytes) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat info {};
    const bool ok = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) &&
                    static_cast<std::size_t>(info.st_size) <= limit &&
                    (!privateOnly || (info.st_uid == ::geteuid() && (info.st_mode & 077) == 0)) &&
                    ReadWhole(fd, bytes) == 0;
    ::close(fd);
    return ok;
}

} // namespace

std::string StateFolder(const std::string& kind) {
    const char* state = std::getenv("XDG_STATE_HOME");
    if (state && *state == '/')
        return std::string(state) + "/tellwick/" + kind;
    const char* home = std::getenv("HOME");
    return std::string(home && *home ? home : "/tmp") + "/.local/state/tellwick/" + kind;
}

int MakeFolders(const std::string& path) {
    for (std::size_t slash = 1; slash != std::string::npos;) {
        slash = path.find('/', slash + 1);
        const std::string part = path.substr(0, slash);
        if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST)
            return errno;
    }
    return 0;
}

// A process that ended but is not reaped yet still answers kill; its state says it is gone.
bool ProcessRuns(pid_t pid) {
    if (pid <= 0 || (::kill(pid, 0) != 0 && errno != EPERM))
        return false;
    std::string stat;
    if (ReadSmallFile("/proc/" + std::to_string(pid) + "/stat", 4096, stat)) {
        const std::size_t nameEnd = stat.rfind(')');
        if (nameEnd != std::string::npos && nameEnd + 2 < stat.size() && stat[nameEnd + 2] == 'Z')
            return false;
    }
    return true;
}

pid_t OwnerOf(const std::string& name, const std::string& prefix) {
    if (name.size() <= prefix.size() + 1 || name.compare(0, prefix.size(), prefix) != 0 ||
        name[prefix.size()] != '-')
        return 0;
    return pid_t(std::strtol(name.c_str() + prefix.size() + 1, nullptr, 10));
}

std::string NewRecordName(const std::string& prefix) {
    static std::atomic<unsigned> counter{0};
    return prefix + '-' + std::to_string(::getpid()) + '-' + std::to_string(++counter);
}

std::vector<std::string> LeftRecords(const std::string& folder, const std::string& prefix) {
    std::vector<std::string> names;
    DIR* listing = ::opendir(folder.c_str());
    if (!listing)
        return names;
    while (const dirent* entry = ::readdir(listing)) {
        const std::string name = entry->d_name;
        const pid_t pid = OwnerOf(name, prefix);
        if (pid != 0 && pid != ::getpid() && !ProcessRuns(pid))
            names.push_back(name);
    }
    ::closedir(listing);
    return names;
}

bool ReadPrivateFile(const std::string& path, std::string& bytes) {
    return ReadRegularFile(path, SIZE_MAX, true, bytes);
}

bool ReadSmallFile(const std::string& path, std::size_t limit, std::string& bytes) {
    return ReadRegularFile(path, limit, false, bytes);
}
