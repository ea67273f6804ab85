#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

// Kind of one entry. EndGroup never enters the tree: the reader uses it for one line only.
enum class EntryKind : std::uint8_t {
    Address = 0,
    Group = 1,
    Separator = 2,
    EndGroup = 3,
};

// An entry's text is one immutable run of bytes: the name, then every address, each piece
// behind its length as a little-endian base-128 number. One run per entry, no per-string
// headers, is what keeps a million-entry book small; a change writes a new run.
namespace entry_text {

// Bytes a length takes in front of its piece.
constexpr std::size_t LengthSize(std::size_t length) {
    std::size_t bytes = 1;
    for (; length >= 0x80; length >>= 7)
        ++bytes;
    return bytes;
}

inline char* PutLength(char* to, std::size_t length) {
    for (; length >= 0x80; length >>= 7)
        *to++ = static_cast<char>((length & 0x7F) | 0x80);
    *to++ = static_cast<char>(length);
    return to;
}

// The piece starting at from; from moves past it.
inline std::string_view TakePiece(const char*& from) {
    std::size_t length = 0;
    unsigned shift = 0;
    for (;;) {
        const auto byte = static_cast<unsigned char>(*from++);
        length |= static_cast<std::size_t>(byte & 0x7F) << shift;
        if (byte < 0x80)
            break;
        shift += 7;
    }
    std::string_view piece(from, length);
    from += length;
    return piece;
}

inline char* PutPiece(char* to, std::string_view piece) {
    to = PutLength(to, piece.size());
    piece.copy(to, piece.size());
    return to + piece.size();
}

} // namespace entry_text

// The addresses of an entry, read in place from its text run.
class AddressList {
public:
    class iterator {
    public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = std::string_view;
        using difference_type = std::ptrdiff_t;
        using pointer = const std::string_view*;
        using reference = std::string_view;

        iterator() = default;
        explicit iterator(const char* at) : at_(at) {}
        std::string_view operator*() const {
            const char* from = at_;
            return entry_text::TakePiece(from);
        }
        iterator& operator++() {
            entry_text::TakePiece(at_);
            return *this;
        }
        iterator operator++(int) {
            iterator before = *this;
            ++*this;
            return before;
        }
        bool operator==(const iterator&) const = default;

    private:
        const char* at_ = nullptr;
    };

    AddressList() = default;
    AddressList(const char* begin, const char* end) : begin_(begin), end_(end) {}

    iterator begin() const { return iterator(begin_); }
    iterator end() const { return iterator(end_); }
    bool empty() const { return begin_ == end_; }
    // Both walk the run: entries hold a few addresses.
    std::size_t size() const { return static_cast<std::size_t>(std::distance(begin(), end())); }
    std::string_view operator[](std::size_t index) const { return *std::next(begin(), index); }
    std::vector<std::string> ToStrings() const { return {begin(), end()}; }

private:
    const char* begin_ = nullptr;
    const char* end_ = nullptr;
};

// One entry of the book. Links are non-owning; the EntryTree owns every node and every text
// run, and sets them (nodes are made by the tree, never by new).
// Names and addresses hold the file's bytes (CP932) and are never converted here.
struct EntryNode {
    EntryNode* parent = nullptr;
    EntryNode* firstChild = nullptr;
    EntryNode* next = nullptr;
    EntryNode* prev = nullptr;
    const char* text = nullptr; // the run; null for an empty name and no addresses
    std::size_t textSize = 0;
    EntryKind kind = EntryKind::Address;

    bool IsGroup() const { return kind == EntryKind::Group; }
    std::string_view Name() const {
        if (!text)
            return {};
        const char* from = text;
        return entry_text::TakePiece(from);
    }
    AddressList Addresses() const {
        if (!text)
            return {};
        const std::string_view name = Name();
        return {name.data() + name.size(), text + textSize};
    }
};

// The name every separator carries ("セパレータ" in CP932), and the text run all separators
// share: that name behind its length.
inline constexpr char kSeparatorName[] = "\x83\x5A\x83\x70\x83\x8C\x81\x5B\x83\x5E";
inline constexpr char kSeparatorRun[] = "\x0A\x83\x5A\x83\x70\x83\x8C\x81\x5B\x83\x5E";
