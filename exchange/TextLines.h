#pragma once

#include "file/LineReader.h"

#include <cstddef>
#include <string_view>

// The lines of a text, each without its line end (CRLF, LF or CR), with their numbers; a
// line end at the very end makes no extra empty line. One line of look-ahead.
class TextLines {
public:
    explicit TextLines(std::string_view text) : rest_(text) {}

    bool AtEnd() const { return rest_.empty(); }
    // The next line, without taking it; only when not AtEnd.
    std::string_view Peek() const { return rest_.substr(0, LineLength()); }
    // Takes the next line; only when not AtEnd.
    std::string_view Take() {
        const std::size_t length = LineLength();
        std::string_view line = rest_.substr(0, length);
        std::size_t end = length;
        if (end < rest_.size())
            end += rest_.compare(end, 2, "\r\n") == 0 ? 2 : 1;
        rest_.remove_prefix(end);
        ++number_;
        return line;
    }
    // The number of the line last taken.
    std::size_t Number() const { return number_; }

private:
    std::size_t LineLength() const {
        return static_cast<std::size_t>(FindLineEnd(rest_.data(), rest_.data() + rest_.size()) -
                                        rest_.data());
    }

    std::string_view rest_;
    std::size_t number_ = 0;
};
