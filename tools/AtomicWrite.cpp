#include "AtomicWrite.h"

#include "OutputPath.h"
#include "ToolError.h"
#include "file/LineReader.h"

#include <cerrno>
#include <fcntl.h>
#include <streambuf>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace {

// Unbuffered stream over a file descriptor that remembers why a write failed.
class FdStreamBuf : public std::streambuf {
public:
    explicit FdStreamBuf(int fd) : fd_(fd) {}
    int Error() const { return error_; }

protected:
    std::streamsize xsputn(const char* data, std::streamsize size) override {
        return WriteAll(data, static_cast<std::size_t>(size)) ? size : 0;
    }
    int_type overflow(int_type c) override {
        if (traits_type::eq_int_type(c, traits_type::eof()))
            return traits_type::not_eof(c);
        char byte = traits_type::to_char_type(c);
        return WriteAll(&byte, 1) ? c : traits_type::eof();
    }

private:
    bool WriteAll(const char* data, std::size_t size) {
        while (size > 0) {
            ssize_t written = ::write(fd_, data, size);
            if (written < 0 && errno == EINTR)
                continue;
            if (written < 0) {
                error_ = errno;
                return false;
            }
            data += written;
            size -= static_cast<std::size_t>(written);
        }
        return true;
    }

    int fd_;
    int error_ = 0;
};

// The temporary file, removed again unless it was renamed into place.
class TemporaryFile {
public:
    explicit TemporaryFile(const std::string& target) : path_(TemplateFor(target)) {
        fd_ = ::mkstemp(path_.data());
        openError_ = fd_ < 0 ? errno : 0;
        committed_ = fd_ < 0; // nothing was created: nothing to remove
    }
    ~TemporaryFile() {
        if (fd_ >= 0)
            ::close(fd_);
        if (!committed_)
            ::unlink(path_.c_str());
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    // 0, or the errno of the failed creation.
    int OpenError() const { return openError_; }
    int Fd() const { return fd_; }
    // Closes the descriptor; returns 0 or the errno of a failed close.
    int Close() {
        int result = ::close(fd_);
        fd_ = -1;
        return result == 0 ? 0 : errno;
    }
    int RenameTo(const std::string& target) {
        if (::rename(path_.c_str(), target.c_str()) != 0)
            return errno;
        committed_ = true;
        return 0;
    }

private:
    // Short whatever the target is called: a name near the longest allowed has no room for
    // more.
    static std::string TemplateFor(const std::string& target) {
        return FolderOf(target) + ".tlwXXXXXX";
    }

    std::string path_;
    int fd_ = -1;
    int openError_ = 0;
    bool committed_ = false;
};

// The permission bits the new file gets: the old file's, or what creating it would give.
mode_t PermissionsFor(const std::string& path) {
    struct stat info;
    if (::stat(path.c_str(), &info) == 0)
        return info.st_mode & 07777;
    mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

void Check(int error, const std::string& path) {
    if (error != 0)
        throw FileError("write", path, error);
}

void WriteContents(int fd, const std::string& path,
                   const std::function<void(std::ostream&)>& write) {
    FdStreamBuf buffer(fd);
    std::ostream stream(&buffer);
    try {
        write(stream);
    } catch (const BookIoError&) {
        Check(buffer.Error() != 0 ? buffer.Error() : EIO, path);
    }
    stream.flush();
    Check(stream ? 0 : (buffer.Error() != 0 ? buffer.Error() : EIO), path);
}

// Refuses a book the file system has no room for before anything is created, so that a huge
// one never fills the disk on its way to failing. The write still catches what this misses.
void CheckFreeSpace(const std::string& folder, std::uint64_t size, const std::string& path) {
    struct statvfs info;
    // A file system that reports no size at all (some virtual ones) tells nothing here.
    if (::statvfs(folder.empty() ? "." : folder.c_str(), &info) != 0 || info.f_blocks == 0 ||
        info.f_frsize == 0)
        return;
    const std::uint64_t blocks = info.f_bavail;
    const std::uint64_t blockSize = info.f_frsize;
    if (blocks > UINT64_MAX / blockSize)
        return; // more room than any size can ask for
    if (size > blocks * blockSize)
        throw FileError("write", path, ENOSPC);
}

void ReplaceFile(const std::string& target, const std::string& path,
                 const std::function<void(std::ostream&)>& write) {
    TemporaryFile file(target);
    Check(file.OpenError(), path);
    Check(::fchmod(file.Fd(), PermissionsFor(target)) == 0 ? 0 : errno, path);
    WriteContents(file.Fd(), path, write);
    Check(::fsync(file.Fd()) == 0 ? 0 : errno, path);
    Check(file.Close(), path);
    Check(file.RenameTo(target), path);
    // Make the rename itself durable; the new file is in place whatever this gives.
    const std::string folder = FolderOf(target);
    int folderFd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY);
    if (folderFd >= 0) {
        ::fsync(folderFd);
        ::close(folderFd);
    }
}

// A device or FIFO takes the bytes as they come: there is no file to replace, and nothing
// kept back to sync.
void WriteInPlace(const std::string& target, const std::string& path,
                  const std::function<void(std::ostream&)>& write) {
    const int fd = ::open(target.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
    Check(fd < 0 ? errno : 0, path);
    try {
        WriteContents(fd, path, write);
    } catch (...) {
        ::close(fd);
        throw;
    }
    Check(::close(fd) == 0 ? 0 : errno, path);
}

} // namespace

void WriteOutputFile(const std::string& path, std::uint64_t size,
                     const std::function<void(std::ostream&)>& write) {
    const std::string target = FollowLinks(path);
    struct stat info;
    const bool exists = ::stat(target.c_str(), &info) == 0;
    if (exists && S_ISDIR(info.st_mode))
        throw FileError("write", path, EISDIR);
    if (exists && !S_ISREG(info.st_mode)) {
        WriteInPlace(target, path, write);
        return;
    }
    CheckFreeSpace(FolderOf(target), size, path);
    ReplaceFile(target, path, write);
}
