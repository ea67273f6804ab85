#pragma once

#include <istream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

// A failure of the underlying byte stream while a book is read or written.
class BookIoError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Everything left in the stream, read a chunk at a time (a character at a time through
// stream iterators cost a sixth of a contact import); in.bad() tells a read error.
std::string ReadAll(std::istream& in);

// The first CR or LF in [from, to), or to.
const char* FindLineEnd(const char* from, const char* to);

// Splits a byte stream into lines ended by CR LF, LF or a lone CR. Lines of any length are
// returned whole, without their line end; a final line end adds no empty line.
class LineReader {
public:
    explicit LineReader(std::istream& in, std::size_t chunkSize = 1 << 16);

    // The next line, valid until the following call; false at the end of the stream.
    bool Next(std::string_view& line);
    // 1-based number of the line last returned.
    std::size_t LineNumber() const { return lineNumber_; }

private:
    bool Refill();

    std::istream& in_;
    std::vector<char> buffer_;
    std::size_t pos_ = 0;
    std::size_t end_ = 0;
    std::string spill_;   // a line that crosses a chunk boundary
    bool skipLf_ = false; // the previous line ended with CR: an LF right after it belongs to it
    bool atEnd_ = false;
    std::size_t lineNumber_ = 0;
};
