#include "storage/SaveJournal.h"

#include "storage/FileBytes.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr char kMagic[] = "tellwick rewrite 1\n";
constexpr char kRecordPrefix[] = "rewrite-";

bool ReadFile(const std::string& path, std::string& bytes) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat info {};
    const bool ok = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && ReadWhole(fd, bytes) == 0;
    ::close(fd);
    return ok;
}

// Makes each missing folder of path with mode 0700.
int MakeFolders(const std::string& path) {
    for (std::size_t slash = 1; slash != std::string::npos;) {
        slash = path.find('/', slash + 1);
        const std::string part = path.substr(0, slash);
        if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST)
            return errno;
    }
    return 0;
}

bool ProcessRuns(pid_t pid) {
    return pid > 0 && (::kill(pid, 0) == 0 || errno == EPERM);
}

// The pid in a record's name "rewrite-PID-N", or 0.
pid_t PidOf(const std::string& name) {
    if (name.rfind(kRecordPrefix, 0) != 0)
        return 0;
    return pid_t(std::strtol(name.c_str() + sizeof kRecordPrefix - 1, nullptr, 10));
}

// Parses a whole record; false for one cut short or not a record at all.
bool Parse(const std::string& bytes, CutSave& save) {
    if (bytes.rfind(kMagic, 0) != 0)
        return false;
    std::istringstream header(bytes.substr(sizeof kMagic - 1, 64));
    std::size_t targetSize = 0, oldSize = 0, newSize = 0;
    if (!(header >> targetSize >> oldSize >> newSize))
        return false;
    const std::size_t start = bytes.find('\n', sizeof kMagic - 1);
    if (start == std::string::npos || bytes.size() - start - 1 != targetSize + oldSize + newSize)
        return false;
    save.target = bytes.substr(start + 1, targetSize);
    save.oldBytes = bytes.substr(start + 1 + targetSize, oldSize);
    save.newBytes = bytes.substr(start + 1 + targetSize + oldSize, newSize);
    return true;
}

} // namespace

std::string SaveRecordFolder() {
    const char* state = std::getenv("XDG_STATE_HOME");
    if (state && *state == '/')
        return std::string(state) + "/tellwick/saves";
    const char* home = std::getenv("HOME");
    return std::string(home && *home ? home : "/tmp") + "/.local/state/tellwick/saves";
}

std::string BeginRewriteRecord(const std::string& target, const std::string& oldBytes,
                               const std::string& newBytes, int& error) {
    const std::string folder = SaveRecordFolder();
    if ((error = MakeFolders(folder)) != 0)
        return {};
    static unsigned counter = 0;
    const std::string record =
        folder + '/' + kRecordPrefix + std::to_string(::getpid()) + '-' + std::to_string(++counter);
    const int fd = ::open(record.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
        error = errno;
        return {};
    }
    const std::string header = kMagic + std::to_string(target.size()) + ' ' +
                               std::to_string(oldBytes.size()) + ' ' +
                               std::to_string(newBytes.size()) + '\n';
    off_t at = 0;
    const auto append = [&](const std::string& bytes) {
        const bool ok = WriteAll(fd, bytes.data(), bytes.size(), at);
        at += off_t(bytes.size());
        return ok;
    };
    const bool written = append(header) && append(target) && append(oldBytes) && append(newBytes) &&
                         ::fsync(fd) == 0;
    error = written ? 0 : (errno ? errno : EIO);
    ::close(fd);
    if (!written) {
        ::unlink(record.c_str());
        return {};
    }
    SyncFolder(folder);
    return record;
}

void EndRewriteRecord(const std::string& record) {
    ::unlink(record.c_str());
}

std::vector<CutSave> FindCutSaves() {
    std::vector<CutSave> cut;
    const std::string folder = SaveRecordFolder();
    DIR* listing = ::opendir(folder.c_str());
    if (!listing)
        return cut;
    std::vector<std::string> names;
    while (const dirent* entry = ::readdir(listing)) {
        const std::string name = entry->d_name;
        const pid_t pid = PidOf(name);
        if (pid != 0 && pid != ::getpid() && !ProcessRuns(pid))
            names.push_back(name);
    }
    ::closedir(listing);
    for (const std::string& name : names) {
        CutSave save;
        save.record = folder + '/' + name;
        std::string bytes;
        if (!ReadFile(save.record, bytes))
            continue;
        std::string now;
        // A record cut short was being written before the file's first byte changed.
        if (!Parse(bytes, save) ||
            (ReadFile(save.target, now) && (now == save.oldBytes || now == save.newBytes))) {
            ::unlink(save.record.c_str());
            continue;
        }
        cut.push_back(std::move(save));
    }
    return cut;
}

int PutBack(const CutSave& save, const std::string& bytes) {
    const int fd = ::open(save.target.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return errno;
    struct stat info {};
    int error = ::fstat(fd, &info) != 0 ? errno : S_ISREG(info.st_mode) ? 0 : EINVAL;
    if (!error)
        error = Overwrite(fd, bytes);
    ::close(fd);
    if (!error)
        Forget(save);
    return error;
}

void Forget(const CutSave& save) {
    ::unlink(save.record.c_str());
}
