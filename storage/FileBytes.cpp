#include "storage/FileBytes.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

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

int Overwrite(int fd, const std::string& bytes) {
    if (!WriteAll(fd, bytes.data(), bytes.size(), 0))
        return errno ? errno : EIO;
    if (::ftruncate(fd, off_t(bytes.size())) != 0)
        return errno;
    return ::fsync(fd) == 0 ? 0 : errno;
}

void SyncFolder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}
