#pragma once

#include "file/LineReader.h"

#include <ostream>
#include <string>
#include <string_view>

// Gathers text and hands it to the stream in large pieces, so that printing a huge book
// costs few writes and little memory. Throws BookIoError when the stream fails.
class ChunkedOutput {
public:
    explicit ChunkedOutput(std::ostream& out) : out_(out) {}

    // The text not yet written, for appending in place; call Appended() afterwards.
    std::string& Pending() { return text_; }
    void Appended() {
        if (text_.size() >= kChunk)
            Flush();
    }
    void Append(std::string_view text) {
        text_.append(text);
        Appended();
    }
    void Flush() {
        out_.write(text_.data(), static_cast<std::streamsize>(text_.size()));
        if (!out_)
            throw BookIoError("write error");
        text_.clear();
    }

private:
    static constexpr std::size_t kChunk = 1 << 16;
    std::ostream& out_;
    std::string text_;
};
