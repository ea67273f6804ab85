#include "LineReader.h"

#include <algorithm>
#include <cstring>

LineReader::LineReader(std::istream& in, std::size_t chunkSize)
    : in_(in), buffer_(std::max<std::size_t>(chunkSize, 1)) {}

bool LineReader::Refill() {
    if (atEnd_)
        return false;
    in_.read(buffer_.data(), static_cast<std::streamsize>(buffer_.size()));
    if (in_.bad())
        throw BookIoError("read error");
    pos_ = 0;
    nextCr_ = nextLf_ = nullptr;
    end_ = static_cast<std::size_t>(in_.gcount());
    if (end_ == 0) {
        atEnd_ = true;
        return false;
    }
    return true;
}

// The first CR or LF in [from, to), or to. Each byte value is searched with memchr and the
// hit is kept until the lines pass it, so a chunk that has no CR (or no LF) is scanned once,
// not once per line.
const char* LineReader::FindLineEnd(const char* from, const char* to) {
    auto size = static_cast<std::size_t>(to - from);
    if (!nextCr_ || nextCr_ < from) {
        nextCr_ = static_cast<const char*>(std::memchr(from, '\r', size));
        if (!nextCr_)
            nextCr_ = to;
    }
    if (!nextLf_ || nextLf_ < from) {
        nextLf_ = static_cast<const char*>(std::memchr(from, '\n', size));
        if (!nextLf_)
            nextLf_ = to;
    }
    return std::min(nextCr_, nextLf_);
}

bool LineReader::Next(std::string_view& line) {
    spill_.clear();
    bool haveText = false;
    for (;;) {
        if (pos_ == end_ && !Refill()) {
            if (!haveText)
                return false;
            line = spill_;
            ++lineNumber_;
            return true;
        }
        if (skipLf_) {
            skipLf_ = false;
            if (buffer_[pos_] == '\n' && ++pos_ == end_)
                continue;
        }
        const char* start = buffer_.data() + pos_;
        const char* stop = FindLineEnd(start, buffer_.data() + end_);
        if (stop == buffer_.data() + end_) {
            spill_.append(start, stop);
            haveText = true;
            pos_ = end_;
            continue;
        }
        pos_ = static_cast<std::size_t>(stop - buffer_.data()) + 1;
        skipLf_ = (*stop == '\r');
        if (haveText) {
            spill_.append(start, stop);
            line = spill_;
        } else {
            line = std::string_view(start, static_cast<std::size_t>(stop - start));
        }
        ++lineNumber_;
        return true;
    }
}
