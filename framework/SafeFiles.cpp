#include "framework/SafeFiles.h"

#include "framework/FdStreamBuf.h"
#include "framework/FileErrors.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <sstream>
#include <sys/statvfs.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kMaxLinkHops = 40; // as many as the system follows in one path

QByteArray FolderOf(const QByteArray& path) {
    const qsizetype slash = path.lastIndexOf('/');
    return slash < 0 ? QByteArray(".") : slash == 0 ? QByteArray("/") : path.first(slash);
}

// The name a write to path lands on; that name may not exist yet. 0 or an errno value.
int FollowLinks(const QByteArray& path, QByteArray& target) {
    target = path;
    for (int hops = 0;; ++hops) {
        struct stat info {};
        if (::lstat(target.constData(), &info) != 0 || !S_ISLNK(info.st_mode))
            return 0;
        if (hops == kMaxLinkHops)
            return ELOOP;
        QByteArray link(PATH_MAX, '\0');
        const ssize_t length = ::readlink(target.constData(), link.data(), link.size());
        if (length < 0)
            return errno;
        link.truncate(length);
        target = link.startsWith('/') ? link : FolderOf(target) + '/' + link;
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

bool NeedsRewriteInPlace(const QByteArray& target, const struct stat& old) {
    return old.st_nlink > 1 || !CanGiveOwnership(old) ||
           ::faccessat(AT_FDCWD, FolderOf(target).constData(), W_OK, AT_EACCESS) != 0;
}

mode_t NewFileMode() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

bool WriteAll(int fd, const char* data, std::size_t size, off_t offset) {
    while (size > 0) {
        const ssize_t written = ::pwrite(fd, data, size, offset);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        data += written;
        size -= std::size_t(written);
        offset += written;
    }
    return true;
}

int SyncFolder(const QByteArray& folder) {
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
    return 0;
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

class TemporaryBeside {
public:
    explicit TemporaryBeside(const QByteArray& target) : path_(FolderOf(target) + "/.tlwXXXXXX") {
        fd_ = ::mkostemp(path_.data(), O_CLOEXEC);
        error_ = fd_ < 0 ? errno : 0;
    }
    ~TemporaryBeside() {
        if (fd_ >= 0)
            ::close(fd_);
        if (!renamed_ && error_ == 0)
            ::unlink(path_.constData());
    }
    int fd() const { return fd_; }
    int error() const { return error_; }
    int closeAndRenameTo(const QByteArray& target) {
        const int closed = ::close(std::exchange(fd_, -1));
        if (closed != 0)
            return errno;
        if (::rename(path_.constData(), target.constData()) != 0)
            return errno;
        renamed_ = true;
        return 0;
    }

private:
    QByteArray path_;
    int fd_ = -1;
    int error_ = 0;
    bool renamed_ = false;
};

FileOutcome Failed(int error, bool beforeWriting) {
    return {error, beforeWriting};
}

FileOutcome ReplaceAtomically(const QByteArray& target, const struct stat* old,
                              const std::function<void(std::ostream&)>& write) {
    TemporaryBeside temporary(target);
    if (temporary.error() != 0)
        return Failed(temporary.error(), true);
    if (old && ::fchown(temporary.fd(), old->st_uid, old->st_gid) != 0)
        return Failed(errno, true);
    if (::fchmod(temporary.fd(), old ? old->st_mode & 07777 : NewFileMode()) != 0)
        return Failed(errno, true);
    if (const int error = StreamInto(temporary.fd(), write))
        return Failed(error, false);
    if (::fsync(temporary.fd()) != 0)
        return Failed(errno, false);
    if (const int error = temporary.closeAndRenameTo(target))
        return Failed(error, false);
    SyncFolder(FolderOf(target));
    return {};
}

int ReadWhole(int fd, std::string& bytes) {
    char chunk[64 * 1024];
    for (off_t offset = 0;;) {
        const ssize_t got = ::pread(fd, chunk, sizeof chunk, offset);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return errno;
        if (got == 0)
            return 0;
        bytes.append(chunk, std::size_t(got));
        offset += got;
    }
}

// Puts bytes at the start of fd and cuts the file there; 0 or an errno value.
int Overwrite(int fd, const std::string& bytes) {
    if (!WriteAll(fd, bytes.data(), bytes.size(), 0))
        return errno ? errno : EIO;
    if (::ftruncate(fd, off_t(bytes.size())) != 0)
        return errno;
    return ::fsync(fd) == 0 ? 0 : errno;
}

FileOutcome RewriteInPlace(const QByteArray& target, const struct stat& old,
                           const std::function<void(std::ostream&)>& write) {
    std::ostringstream built;
    try {
        write(built);
    } catch (const std::bad_alloc&) {
        return Failed(ENOMEM, true);
    } catch (const std::exception&) {
        return Failed(EIO, true);
    }
    const std::string bytes = std::move(built).str();
    const int fd = ::open(target.constData(), O_RDWR | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return Failed(errno, true);
    std::string oldBytes;
    int error = ReadWhole(fd, oldBytes);
    // Room for the longer content first, so a full disk stops us before a byte changes.
    if (!error && bytes.size() > std::size_t(old.st_size)) {
        const int result = ::posix_fallocate(fd, 0, off_t(bytes.size()));
        error = result == EOPNOTSUPP || result == EINVAL ? 0 : result;
    }
    if (error) {
        ::close(fd);
        return Failed(error, true);
    }
    error = Overwrite(fd, bytes);
    if (error)
        Overwrite(fd, oldBytes);
    ::close(fd);
    return error ? Failed(error, false) : FileOutcome{};
}

} // namespace

int OpenRegularFileForReading(const QByteArray& path, struct stat& info, int& error) {
    // Checked before opening: opening a FIFO for reading waits for a writer, and opening a
    // device may act on it.
    if (::stat(path.constData(), &info) != 0) {
        error = errno;
        return -1;
    }
    if (!S_ISREG(info.st_mode)) {
        error = S_ISDIR(info.st_mode) ? EISDIR : kNotRegularFileError;
        return -1;
    }
    const int fd = ::open(path.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
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

std::optional<std::uint64_t> FreeBytes(const QByteArray& folder) {
    struct statvfs info {};
    // A file system that reports no size at all (some virtual ones) tells nothing.
    if (::statvfs(folder.constData(), &info) != 0 || info.f_blocks == 0 || info.f_frsize == 0)
        return std::nullopt;
    if (info.f_bavail > UINT64_MAX / info.f_frsize)
        return UINT64_MAX;
    return std::uint64_t(info.f_bavail) * info.f_frsize;
}

FileOutcome SaveFileSafely(const QByteArray& path, std::optional<std::uint64_t> size,
                           const std::function<void(std::ostream&)>& write) {
    QByteArray target;
    if (const int error = FollowLinks(path, target))
        return Failed(error, true);
    struct stat old {};
    const bool exists = ::stat(target.constData(), &old) == 0;
    if (!exists && errno != ENOENT)
        return Failed(errno, true);
    if (exists && !S_ISREG(old.st_mode))
        return Failed(S_ISDIR(old.st_mode) ? EISDIR : kNotRegularFileError, true);
    // A file the user may not write stays as it is, though its folder would let us
    // replace it.
    if (exists && ::faccessat(AT_FDCWD, target.constData(), W_OK, AT_EACCESS) != 0)
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
