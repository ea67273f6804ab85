#pragma once

#include <cerrno>
#include <stdexcept>
#include <streambuf>
#include <unistd.h>
#include <vector>

// A standard stream buffer over a file descriptor, read or written through a fixed buffer,
// that remembers the errno of a failed call. It does not own the descriptor.
class FdStreamBuf : public std::streambuf {
public:
    explicit FdStreamBuf(int fd, std::size_t bufferSize = 1 << 16) : fd_(fd), buffer_(bufferSize) {
        setp(buffer_.data(), buffer_.data() + buffer_.size());
    }
    int error() const { return error_; }

protected:
    int_type underflow() override {
        ssize_t got;
        do {
            got = ::read(fd_, buffer_.data(), buffer_.size());
        } while (got < 0 && errno == EINTR);
        if (got < 0) {
            // The stream turns this into badbit, which the book reader reports.
            error_ = errno;
            throw std::runtime_error("read error");
        }
        if (got == 0)
            return traits_type::eof();
        setg(buffer_.data(), buffer_.data(), buffer_.data() + got);
        return traits_type::to_int_type(buffer_[0]);
    }
    int_type overflow(int_type c) override {
        if (sync() != 0)
            return traits_type::eof();
        if (!traits_type::eq_int_type(c, traits_type::eof())) {
            *pptr() = traits_type::to_char_type(c);
            pbump(1);
        }
        return traits_type::not_eof(c);
    }
    int sync() override {
        for (char* from = pbase(); from < pptr();) {
            const ssize_t written = ::write(fd_, from, std::size_t(pptr() - from));
            if (written < 0 && errno == EINTR)
                continue;
            if (written <= 0) {
                error_ = written < 0 ? errno : EIO;
                return -1;
            }
            from += written;
        }
        setp(buffer_.data(), buffer_.data() + buffer_.size());
        return 0;
    }

private:
    int fd_;
    std::vector<char> buffer_;
    int error_ = 0;
};
