#include "LineReader.h"

#include <algorithm>
#include <bit>
#include <cstdint>
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
    end_ = static_cast<std::size_t>(in_.gcount());
    if (end_ == 0) {
        atEnd_ = true;
        return false;
    }
    return true;
}

std::string ReadAll(std::istream& in) {
    std::string text;
    // A file tells its size: room for it at once spares growing and copying the text.
    std::streambuf& bytes = *in.rdbuf();
    const std::streampos here = bytes.pubseekoff(0, std::ios::cur, std::ios::in);
    if (here != std::streampos(-1)) {
        const std::streampos end = bytes.pubseekoff(0, std::ios::end, std::ios::in);
        if (end != std::streampos(-1)) {
            if (end > here)
                text.reserve(static_cast<std::size_t>(end - here));
            if (bytes.pubseekpos(here, std::ios::in) != here)
                in.setstate(std::ios::badbit); // the bytes ahead could not be found again
        }
    }
    std::vector<char> chunk(1 << 16);
    do {
        in.read(chunk.data(), static_cast<std::streamsize>(chunk.size()));
        text.append(chunk.data(), static_cast<std::size_t>(in.gcount()));
    } while (in);
    return text;
}

// The first CR or LF in [from, to), or to. Lines are short, so eight bytes are looked at
// together for either byte in one pass; a call of memchr per line end, one for each byte,
// cost more than the scan itself.
const char* FindLineEnd(const char* from, const char* to) {
    if constexpr (std::endian::native == std::endian::little) {
        constexpr std::uint64_t kOnes = 0x0101010101010101u;
        constexpr std::uint64_t kHighs = 0x8080808080808080u;
        for (; to - from >= 8; from += 8) {
            std::uint64_t word;
            std::memcpy(&word, from, sizeof word);
            const std::uint64_t cr = word ^ (kOnes * '\r');
            const std::uint64_t lf = word ^ (kOnes * '\n');
            // A zero byte of cr or lf sets its high bit here; a false one only ever follows a
            // true one, so the lowest set bit is the first line end.
            const std::uint64_t ends = (((cr - kOnes) & ~cr) | ((lf - kOnes) & ~lf)) & kHighs;
            if (ends != 0)
                return from + std::countr_zero(ends) / 8;
        }
    }
    while (from < to && *from != '\r' && *from != '\n')
        ++from;
    return from;
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
