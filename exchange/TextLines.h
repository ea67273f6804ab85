#pragma once

#include "file/LineReader.h"

#include <cstddef>
#include <string_view>

// The lines of a text, each without its line end (CRLF, LF or CR), with their numbers; a
// line end at the very end makes no extra empty line. One line of look-ahead, whose end is
// found once for Peek and Take both.
class TextLines {
public:
    explicit TextLines(std::string_view text) : rest_(text) { FindNext(); }

    bool AtEnd() const { return rest_.empty(); }
    // The next line, without taking it; only when not AtEnd.
    std::string_view Peek() const { return rest_.substr(0, length_); }
    // Takes the next line; only when not AtEnd.
    std::string_view Take() {
        const std::string_view line = rest_.substr(0, length_);
        std::size_t end = length_;
        if (end < rest_.size())
            end += rest_[end] == '\r' && end + 1 < rest_.size() && rest_[end + 1] == '\n' ? 2 : 1;
        rest_.remove_prefix(end);
        ++number_;
        FindNext();
        return line;
    }
    // The number of the line last taken.
    std::size_t Number() const { return number_; }

private:
    void FindNext() {
        length_ = static_cast<std::size_t>(FindLineEnd(rest_.data(), rest_.data() + rest_.size()) -
                                           rest_.data());
    }

    std::string_view rest_;
    std::size_t length_ = 0; // of the next line
    std::size_t number_ = 0;
};
