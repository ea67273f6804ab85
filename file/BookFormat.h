#pragma once

#include "LineReader.h"
#include "model/EntryTree.h"

#include <cstdint>
#include <istream>
#include <ostream>
#include <span>
#include <string_view>
#include <vector>

// The first of these ends an address line's name; each of these ends one of its addresses.
inline constexpr char kNameEnd = ':';
inline constexpr char kAddressSeparator = ',';

// How one line of a book is taken, after its leading blanks are removed.
enum class LineKind { Ignored, Comment, Group, EndGroup, Separator, Address };

// Blanks are the single-byte space and TAB to CR (0x09 to 0x0D), nothing else.
inline bool IsBlank(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}
inline std::string_view TrimLeadingBlanks(std::string_view text) {
    std::size_t skip = 0;
    while (skip < text.size() && IsBlank(text[skip]))
        ++skip;
    return text.substr(skip);
}
// Classifies a line whose leading blanks are already removed.
LineKind ClassifyLine(std::string_view line);
// The name of a trimmed Group line: what follows the keyword, leading blanks trimmed.
inline std::string_view GroupName(std::string_view line) {
    return TrimLeadingBlanks(line.substr(5));
}
// A trimmed Address line as the reader takes it: the name before the first colon (empty
// without one), and the address text after it, leading blanks trimmed, which the commas
// split into the addresses.
struct AddressLine {
    std::string_view name;
    std::string_view addresses;
};
inline AddressLine SplitAddressLine(std::string_view line) {
    const std::size_t colon = line.find(kNameEnd);
    if (colon == std::string_view::npos)
        return {{}, TrimLeadingBlanks(line)};
    return {line.substr(0, colon), TrimLeadingBlanks(line.substr(colon + 1))};
}
// The entry a trimmed Group, EndGroup, Separator or Address line stands for: a new, unlinked
// node of tree.
EntryNode* MakeEntry(EntryTree& tree, std::string_view line, LineKind kind);
// The entry of one line at a time, for readers that look at a book line by line without
// building it: each line's entry reuses the memory of the one before.
class LineEntry {
public:
    // Valid until the next call.
    const EntryNode& Make(std::string_view line, LineKind kind);

private:
    EntryTree scratch_;
    std::vector<std::string_view> pieces_;
};

// Builds a tree line by line; ReadBook feeds it every line of the stream.
class BookBuilder {
public:
    explicit BookBuilder(EntryTree& tree) : tree_(tree) {}
    void AddLine(std::string_view rawLine);

private:
    void CloseGroup();
    void Append(EntryNode* entry);

    EntryTree& tree_;
    EntryNode* anchor_ = nullptr;
    EntryNode* lastTopLevel_ = nullptr; // lets top-level appends skip walking the chain
    bool intoGroup_ = false;
    std::vector<std::string_view> pieces_; // one line's addresses, reused line after line
};

// Fills an empty tree from the stream. Throws BookIoError on a read failure; what was read
// before it stays in the tree.
void ReadBook(std::istream& archive, EntryTree& tree);
// Writes the whole tree with CR LF line ends; an empty tree writes nothing.
// Throws BookIoError when the stream fails.
void WriteBook(std::ostream& archive, const EntryTree& tree);
// Writes each entry with everything below it, as the top level of a book of their own.
void WriteEntries(std::ostream& archive, std::span<const EntryNode* const> entries);
// Reads a book from in and writes it to out exactly as ReadBook and then WriteBook would,
// a line at a time, never holding more of the book than one line: for normalizing a book of
// any size. Throws BookIoError when either stream fails (out's state tells which).
void NormalizeBook(std::istream& in, std::ostream& out);
// The exact number of bytes WriteBook writes for the tree, UINT64_MAX when that does not fit;
// lets a caller see before writing whether the book fits where it goes.
std::uint64_t BookOutputSize(const EntryTree& tree);
