#include "AtomicWrite.h"

#include "ToolError.h"
#include "file/LineReader.h"

#include <cerrno>
#include <fcntl.h>
#include <streambuf>
#include <sys/stat.h>
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
    static std::string TemplateFor(const std::string& target) {
        std::size_t slash = target.rfind('/');
        std::string directory = slash == std::string::npos ? "" : target.substr(0, slash + 1);
        std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
        return directory + "." + name + ".XXXXXX";
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

void WriteContents(TemporaryFile& file, const std::string& path,
                   const std::function<void(std::ostream&)>& write) {
    FdStreamBuf buffer(file.Fd());
    std::ostream stream(&buffer);
    try {
        write(stream);
    } catch (const BookIoError&) {
        Check(buffer.Error() != 0 ? buffer.Error() : EIO, path);
    }
    stream.flush();
    Check(stream ? 0 : (buffer.Error() != 0 ? buffer.Error() : EIO), path);
}

} // namespace

void WriteFileAtomically(const std::string& path, const std::function<void(std::ostream&)>& write) {
    TemporaryFile file(path);
    Check(file.OpenError(), path);
    Check(::fchmod(file.Fd(), PermissionsFor(path)) == 0 ? 0 : errno, path);
    WriteContents(file, path, write);
    Check(::fsync(file.Fd()) == 0 ? 0 : errno, path);
    Check(file.Close(), path);
    Check(file.RenameTo(path), path);
    // Make the rename itself durable; the new file is in place whatever this gives.
    std::size_t slash = path.rfind('/');
    std::string directory = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    int dirFd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
}
