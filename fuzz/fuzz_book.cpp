// Fuzzes the book reader and writer: any input must read and write without faults, writing
// what was read must be a fixed point after one round, and line splitting must not depend on
// how the stream is chunked.
#include "file/BookFormat.h"
#include "file/LineReader.h"
#include "model/EntryTree.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace {

[[noreturn]] void Fail(const char* what) {
    std::fprintf(stderr, "fuzz_book: %s\n", what);
    std::abort();
}

std::string ReadThenWrite(const std::string& bytes) {
    std::istringstream in(bytes);
    EntryTree tree;
    ReadBook(in, tree);
    std::ostringstream out;
    WriteBook(out, tree);
    std::istringstream again(bytes);
    std::ostringstream streamed;
    NormalizeBook(again, streamed);
    if (streamed.str() != out.str())
        Fail("the line-at-a-time normalizer wrote other bytes than read and write");
    return std::move(out).str();
}

std::vector<std::string> SplitWithReader(const std::string& bytes, std::size_t chunkSize) {
    std::istringstream in(bytes);
    LineReader reader(in, chunkSize);
    std::vector<std::string> lines;
    std::string_view line;
    while (reader.Next(line)) {
        lines.emplace_back(line);
        if (reader.LineNumber() != lines.size())
            Fail("line number out of step with the lines returned");
    }
    return lines;
}

// A plain splitter written from the line-end rules alone, as an independent reference.
std::vector<std::string> SplitDirectly(std::string_view bytes) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    std::size_t i = 0;
    while (i < bytes.size()) {
        char c = bytes[i];
        if (c != '\r' && c != '\n') {
            ++i;
            continue;
        }
        lines.emplace_back(bytes.substr(start, i - start));
        i += (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ? 2 : 1;
        start = i;
    }
    if (start < bytes.size())
        lines.emplace_back(bytes.substr(start));
    return lines;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);

    const std::string first = ReadThenWrite(bytes);
    const std::string second = ReadThenWrite(first);
    if (first != second)
        Fail("writing a book read from written output changed it");

    // Tiny chunks put every line end, CR LF pairs included, across a chunk boundary.
    const std::size_t smallChunk = size > 0 ? 1 + data[0] % 7 : 1;
    const std::vector<std::string> whole = SplitWithReader(bytes, 1 << 16);
    if (SplitWithReader(bytes, smallChunk) != whole)
        Fail("lines depend on the reader's chunk size");
    if (SplitDirectly(bytes) != whole)
        Fail("lines differ from a direct split on CR LF, LF and CR");
    return 0;
}
