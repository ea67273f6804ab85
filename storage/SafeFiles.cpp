#include "storage/SafeFiles.h"

#include "storage/FdStreamBuf.h"
#include "storage/FileBytes.h"
#include "storage/SaveJournal.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <dirent.h>
#include <fcntl.h>
#include <random>
#include <sstream>
#include <string_view>
#include <sys/statvfs.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

constexpr int kMaxLinkHops = 40; // as many as the system follows in one path
constexpr char kTemporaryPrefix[] = ".tlw-";
constexpr std::size_t kTemporarySuffixLength = 6;

bool namedTemporariesOnly = false;

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".")
           : slash == 0               ? std::string("/")
                                      : path.substr(0, slash);
}

// The name a write to path lands on; that name may not exist yet. 0 or an errno value.
int FollowLinks(const std::string& path, std::string& target) {
    target = path;
    for (int hops = 0;; ++hops) {
        struct stat info {};
        if (::lstat(target.c_str(), &info) != 0 || !S_ISLNK(info.st_mode))
            return 0;
        if (hops == kMaxLinkHops)
            return ELOOP;
        std::string link(PATH_MAX, '\0');
        const ssize_t length = ::readlink(target.c_str(), link.data(), link.size());
        if (length < 0)
            return errno;
        link.resize(std::size_t(length));
        target = link.starts_with('/') ? link : FolderOf(target) + '/' + link;
    }
}

bool InGroups(gid_t group) {
    if (group == ::getegid())
        return true;
    const int count = ::getgroups(0, nullptr);
    std::vector<gid_t> groups(count > 0 ? count : 0);
    if (count > 0 && ::getgroups(count, groups.data()) == count)
        return std::find(groups.begin(), groups.end(), group) != groups.end();
    return false;
}

// Whether a new file made by this user could be given the old one's owner and group.
bool CanGiveOwnership(const struct stat& old) {
    return ::geteuid() == 0 || (old.st_uid == ::geteuid() && InGroups(old.st_gid));
}

bool NeedsRewriteInPlace(const std::string& target, const struct stat& old) {
    return old.st_nlink > 1 || !CanGiveOwnership(old) ||
           ::faccessat(AT_FDCWD, FolderOf(target).c_str(), W_OK, AT_EACCESS) != 0;
}

mode_t NewFileMode() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

// Writes through the stream into fd; 0 or the errno of the failure.
int StreamInto(int fd, const std::function<void(std::ostream&)>& write) {
    FdStreamBuf buffer(fd);
    std::ostream out(&buffer);
    try {
        write(out);
        out.flush();
    } catch (const std::bad_alloc&) {
        return ENOMEM;
    } catch (const std::exception&) {
    }
    if (out && buffer.error() == 0)
        return 0;
    return buffer.error() != 0 ? buffer.error() : EIO;
}

// The process id in a name ".tlw-PID-XXXXXX" this program gives its temporaries; 0 for
// any other name.
pid_t TemporaryOwner(const char* name) {
    const std::string_view text(name);
    const std::size_t prefix = sizeof kTemporaryPrefix - 1;
    if (!text.starts_with(kTemporaryPrefix) || text.size() < prefix + 2 + kTemporarySuffixLength)
        return 0;
    const std::size_t dash = text.size() - kTemporarySuffixLength - 1;
    if (text[dash] != '-' || dash == prefix || dash - prefix > 9)
        return 0;
    pid_t pid = 0;
    for (std::size_t i = prefix; i < dash; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return 0;
        pid = pid * 10 + (text[i] - '0');
    }
    const auto isNameChar = [](char c) {
        return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    };
    return std::all_of(text.begin() + long(dash) + 1, text.end(), isNameChar) ? pid : 0;
}

// Removes the temporaries a killed save of this user left in folder: only names this program
// gives, only regular files of this user, only when their process is gone.
void RemoveDeadTemporaries(const std::string& folder) {
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return;
    const int dirFd = ::dirfd(dir);
    while (const dirent* entry = ::readdir(dir)) {
        const pid_t owner = TemporaryOwner(entry->d_name);
        if (owner <= 0 || owner == ::getpid())
            continue;
        // A process of another user answers EPERM: alive, and not ours to judge.
        if (::kill(owner, 0) == 0 || errno != ESRCH)
            continue;
        struct stat info {};
        if (::fstatat(dirFd, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISREG(info.st_mode) && info.st_uid == ::geteuid())
            ::unlinkat(dirFd, entry->d_name, 0);
    }
    ::closedir(dir);
}

// A fresh name ".tlw-PID-XXXXXX" in folder; collisions are caught where it is created.
std::string TemporaryName(const std::string& folder) {
    static constexpr char kChars[] =
        "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ";
    static std::mt19937 random{std::random_device{}()};
    std::uniform_int_distribution<std::size_t> pick(0, sizeof kChars - 2);
    std::string name = folder + '/' + kTemporaryPrefix + std::to_string(::getpid()) + '-';
    for (std::size_t i = 0; i < kTemporarySuffixLength; ++i)
        name += kChars[pick(random)];
    return name;
}

// The new content's file in the target's folder: unnamed while it is written where the file
// system allows, so that a killed save leaves nothing behind; removed again unless it was
// renamed into place.
class NewFileBeside {
public:
    explicit NewFileBeside(const std::string& folder) : folder_(folder) {
        if (!namedTemporariesOnly) {
            fd_ = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
            if (fd_ >= 0 || (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)) {
                error_ = fd_ < 0 ? errno : 0;
                return;
            }
        }
        for (int attempt = 0; attempt < 100; ++attempt) {
            path_ = TemporaryName(folder);
            fd_ = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
            if (fd_ >= 0 || errno != EEXIST)
                break;
        }
        error_ = fd_ < 0 ? errno : 0;
        if (fd_ < 0)
            path_.clear();
    }
    ~NewFileBeside() {
        if (fd_ >= 0)
            ::close(fd_);
        if (!path_.empty())
            ::unlink(path_.c_str());
    }
    NewFileBeside(const NewFileBeside&) = delete;
    NewFileBeside& operator=(const NewFileBeside&) = delete;

    int fd() const { return fd_; }
    int error() const { return error_; }

    // Gives the complete file its name: 0 or an errno value.
    int renameTo(const std::string& target) {
        if (path_.empty()) {
            if (const int error = giveName())
                return error;
        }
        // Closed before the rename: a file system that reports a failed write only then
        // (NFS) must not have it take the target's place.
        if (::close(std::exchange(fd_, -1)) != 0)
            return errno;
        if (::rename(path_.c_str(), target.c_str()) != 0)
            return errno;
        path_.clear();
        return 0;
    }

private:
    int giveName() {
        const std::string self = "/proc/self/fd/" + std::to_string(fd_);
        for (int attempt = 0; attempt < 100; ++attempt) {
            std::string name = TemporaryName(folder_);
            if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
                path_ = std::move(name);
                return 0;
            }
            if (errno != EEXIST)
                return errno;
        }
        return EEXIST;
    }

    std::string folder_;
    std::string path_; // empty while the file has no name
    int fd_ = -1;
    int error_ = 0;
};

FileOutcome Failed(int error, bool beforeWriting) {
    return {error, beforeWriting};
}

FileOutcome ReplaceAtomically(const std::string& target, const struct stat* old,
                              const std::function<void(std::ostream&)>& write) {
    const std::string folder = FolderOf(target);
    RemoveDeadTemporaries(folder);
    NewFileBeside file(folder);
    if (file.error() != 0)
        return Failed(file.error(), true);
    if (old && ::fchown(file.fd(), old->st_uid, old->st_gid) != 0)
        return Failed(errno, true);
    if (::fchmod(file.fd(), old ? old->st_mode & 07777 : NewFileMode()) != 0)
        return Failed(errno, true);
    if (const int error = StreamInto(file.fd(), write))
        return Failed(error, false);
    if (::fsync(file.fd()) != 0)
        return Failed(errno, false);
    if (const int error = file.renameTo(target))
        return Failed(error, false);
    SyncFolder(folder);
    return {};
}

FileOutcome RewriteInPlace(const std::string& target, const struct stat& old,
                           const std::function<void(std::ostream&)>& write) {
    std::ostringstream built;
    try {
        write(built);
    } catch (const std::bad_alloc&) {
        return Failed(ENOMEM, true);
    } catch (const std::exception&) {
        return Failed(EIO, true);
    }
    if (!built)
        return Failed(EIO, true);
    const std::string bytes = std::move(built).str();
    const int fd = ::open(target.c_str(), O_RDWR | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return Failed(errno, true);
    std::string oldBytes;
    int error = ReadWhole(fd, oldBytes);
    // Both contents are safe elsewhere before the file changes at all, its length included: a
    // save cut from here on can be undone or finished at the next start.
    std::string record;
    if (!error)
        record = BeginRewriteRecord(target, oldBytes, bytes, error);
    // Room for the longer content first, so a full disk stops us before a byte changes.
    if (!error && bytes.size() > std::size_t(old.st_size)) {
        const int result = ::posix_fallocate(fd, 0, off_t(bytes.size()));
        error = result == EOPNOTSUPP || result == EINVAL ? 0 : result;
        if (error && ::ftruncate(fd, off_t(oldBytes.size())) != 0)
            record.clear(); // the room taken stays: keep the record of the old content
    }
    if (error) {
        ::close(fd);
        if (!record.empty())
            EndRewriteRecord(record);
        return Failed(error, true);
    }
    error = Overwrite(fd, bytes);
    const bool whole = !error || Overwrite(fd, oldBytes) == 0;
    ::close(fd);
    if (whole)
        EndRewriteRecord(record);
    return error ? Failed(error, false) : FileOutcome{};
}

// A device or FIFO takes the bytes as they come: there is no file to replace.
FileOutcome WriteDirectly(const std::string& target,
                          const std::function<void(std::ostream&)>& write) {
    const int fd = ::open(target.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return Failed(errno, true);
    const int error = StreamInto(fd, write);
    const int closed = ::close(fd) == 0 ? 0 : errno;
    return error || closed ? Failed(error ? error : closed, false) : FileOutcome{};
}

} // namespace

int OpenRegularFileForReading(const std::string& path, struct stat& info, int& error) {
    // Checked before opening: opening a FIFO for reading waits for a writer, and opening a
    // device may act on it.
    if (::stat(path.c_str(), &info) != 0) {
        error = errno;
        return -1;
    }
    if (!S_ISREG(info.st_mode)) {
        error = S_ISDIR(info.st_mode) ? EISDIR : kNotRegularFileError;
        return -1;
    }
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error = errno;
        return -1;
    }
    // The name may have been swapped for something else in between.
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        error = kNotRegularFileError;
        ::close(fd);
        return -1;
    }
    return fd;
}

std::optional<std::uint64_t> FreeBytes(const std::string& folder) {
    struct statvfs info {};
    // A file system that reports no size at all (some virtual ones) tells nothing.
    if (::statvfs(folder.c_str(), &info) != 0 || info.f_blocks == 0 || info.f_frsize == 0)
        return std::nullopt;
    if (info.f_bavail > UINT64_MAX / info.f_frsize)
        return UINT64_MAX;
    return std::uint64_t(info.f_bavail) * info.f_frsize;
}

FileOutcome SaveFileSafely(const std::string& path, std::optional<std::uint64_t> size,
                           const std::function<void(std::ostream&)>& write, SpecialFiles special) {
    std::string target;
    if (const int error = FollowLinks(path, target))
        return Failed(error, true);
    struct stat old {};
    const bool exists = ::stat(target.c_str(), &old) == 0;
    if (!exists && errno != ENOENT)
        return Failed(errno, true);
    if (exists && S_ISDIR(old.st_mode))
        return Failed(EISDIR, true);
    if (exists && !S_ISREG(old.st_mode)) {
        if (special == SpecialFiles::WriteDirectly)
            return WriteDirectly(target, write);
        return Failed(kNotRegularFileError, true);
    }
    // A file the user may not write stays as it is, though its folder would let us
    // replace it.
    if (exists && ::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0)
        return Failed(errno, true);
    const bool inPlace = exists && NeedsRewriteInPlace(target, old);
    const std::uint64_t reusable = inPlace ? std::uint64_t(old.st_size) : 0;
    const auto free = FreeBytes(FolderOf(target));
    if (size && free && *size > *free && *size - *free > reusable)
        return Failed(ENOSPC, false); // a write that would fail, refused before it starts
    if (inPlace)
        return RewriteInPlace(target, old, write);
    const FileOutcome replaced = ReplaceAtomically(target, exists ? &old : nullptr, write);
    // Rights the checks above could not see (access lists, say) refused the new file.
    const bool refused = replaced.error == EACCES || replaced.error == EPERM;
    if (exists && replaced.beforeWriting && refused)
        return RewriteInPlace(target, old, write);
    return replaced;
}

void UseNamedTemporariesForTesting(bool named) {
    namedTemporariesOnly = named;
}
