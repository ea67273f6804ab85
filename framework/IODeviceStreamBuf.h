#pragma once

#include <QIODevice>

#include <stdexcept>
#include <streambuf>
#include <vector>

// Lets standard streams read from and write to a QIODevice through a fixed buffer, so a
// book is never copied whole into memory. A device error throws; the stream turns it into
// badbit, which the book reader and writer report.
class IODeviceStreamBuf : public std::streambuf {
public:
    explicit IODeviceStreamBuf(QIODevice& device, std::size_t bufferSize = 1 << 16)
        : device_(device), buffer_(bufferSize) {
        setp(buffer_.data(), buffer_.data() + buffer_.size());
    }
    ~IODeviceStreamBuf() override = default;

protected:
    int_type underflow() override {
        qint64 got = device_.read(buffer_.data(), static_cast<qint64>(buffer_.size()));
        if (got < 0)
            throw std::runtime_error(device_.errorString().toStdString());
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
        const qint64 pending = pptr() - pbase();
        if (pending > 0 && device_.write(pbase(), pending) != pending)
            return -1;
        setp(buffer_.data(), buffer_.data() + buffer_.size());
        return 0;
    }

private:
    QIODevice& device_;
    std::vector<char> buffer_;
};
