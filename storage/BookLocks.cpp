#include "storage/BookLocks.h"

#include "storage/SafeFiles.h"
#include "storage/StateRecords.h"

#include <climits>
#include <cstdlib>
#include <pwd.h>
#include <sstream>
#include <unistd.h>

namespace {

constexpr char kMagic[] = "tellwick lock 1";
constexpr std::size_t kLargestLock = 4096;

std::string UserName() {
    if (const passwd* entry = ::getpwuid(::geteuid()))
        return entry->pw_name;
    return std::to_string(::geteuid());
}

std::string HostName() {
    char name[HOST_NAME_MAX + 1] = {};
    return ::gethostname(name, sizeof name - 1) == 0 ? name : "";
}

} // namespace

LockHolder ThisProcess() {
    return {UserName(), HostName(), ::getpid()};
}

std::string RuntimeLockPath(const std::string& folder, dev_t device, ino_t inode) {
    return folder + "/lock-" + std::to_string(device) + '-' + std::to_string(inode);
}

std::string SideLockPath(const std::string& book) {
    const std::size_t slash = book.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : book.substr(0, slash);
    const std::string name = slash == std::string::npos ? book : book.substr(slash + 1);
    return folder + "/." + name + ".tellwick-lock";
}

// A lock is three lines after its first: user, host, process id. Names with line breaks
// cannot be told apart, so a lock holding one is not a lock.
bool ReadLock(const std::string& path, LockHolder& holder) {
    std::string bytes;
    if (!ReadSmallFile(path, kLargestLock, bytes))
        return false;
    std::istringstream lines(bytes);
    std::string magic, pid;
    if (!std::getline(lines, magic) || magic != kMagic || !std::getline(lines, holder.user) ||
        !std::getline(lines, holder.host) || !std::getline(lines, pid))
        return false;
    char* end = nullptr;
    const long value = std::strtol(pid.c_str(), &end, 10);
    holder.pid = pid_t(value);
    return !pid.empty() && *end == '\0' && value > 0;
}

bool HeldByOther(const LockHolder& holder) {
    if (holder.host != HostName())
        return true;
    return holder.pid != ::getpid() && ProcessRuns(holder.pid);
}

int WriteLock(const std::string& path) {
    const LockHolder self = ThisProcess();
    const std::string bytes = std::string(kMagic) + '\n' + self.user + '\n' + self.host + '\n' +
                              std::to_string(self.pid) + '\n';
    const FileOutcome outcome = SaveFileSafely(path, bytes.size(), [&bytes](std::ostream& out) {
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    });
    return outcome.ok() ? 0 : outcome.error;
}

void RemoveOwnLock(const std::string& path) {
    LockHolder holder;
    if (ReadLock(path, holder) && holder.pid == ::getpid() && holder.host == HostName())
        ::unlink(path.c_str());
}
