#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
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

// The longest run an entry may have: its size is kept in 32 bits.
inline constexpr std::size_t kMaxTextSize = 0xFFFFFFFF;

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

struct EntryNode;

// Where every node lives: blocks made of whole granules of 16 KiB, each granule aligned to
// its size (a small book's first block is one granule, so granules stay small). A granule's first
// 32-byte slot holds the number of its first node slot, so a link between nodes is a 32-bit slot
// number instead of a 64-bit pointer, and both ways between the two are a few instructions. That
// halves the links of a million-entry book.
namespace node_space {

inline constexpr unsigned kSlotShift = 5; // 32-byte nodes
inline constexpr unsigned kGranuleShift = 14;
inline constexpr std::size_t kSlotSize = std::size_t{1} << kSlotShift;
inline constexpr std::size_t kGranuleSize = std::size_t{1} << kGranuleShift;
inline constexpr std::uint32_t kSlotsPerGranule = kGranuleSize / kSlotSize;
// 2^30 nodes, 32 GiB of them, in a table of 16 MiB that is only touched where used.
inline constexpr std::size_t kMaxGranules = std::size_t{1} << 21;
// Where in its header slot a granule keeps the number of its first slot.
inline constexpr std::size_t kFirstSlotAt = 16;

// Granules by number; null where none is registered.
extern char* granules[kMaxGranules];

inline EntryNode* At(std::uint32_t slot) {
    return reinterpret_cast<EntryNode*>(granules[slot / kSlotsPerGranule] +
                                        std::size_t{slot % kSlotsPerGranule} * kSlotSize);
}

inline std::uint32_t SlotOf(const EntryNode* node) {
    const auto address = reinterpret_cast<std::uintptr_t>(node);
    const auto granule = address & ~std::uintptr_t{kGranuleSize - 1};
    std::uint32_t first;
    std::memcpy(&first, reinterpret_cast<const char*>(granule) + kFirstSlotAt, sizeof first);
    return first + static_cast<std::uint32_t>((address - granule) >> kSlotShift);
}

// Numbers the granules of a block (size a multiple of kGranuleSize, the block aligned to
// kGranuleSize) and writes each one's first slot number. Throws std::bad_alloc when every
// number is taken.
void AddGranules(char* block, std::size_t size);
// Gives the numbers of a block's granules back.
void RemoveGranules(char* block, std::size_t size);

} // namespace node_space

// A link to a node, or none; reads and assigns like an EntryNode*.
class NodeLink {
public:
    NodeLink() = default;
    NodeLink(std::nullptr_t) {}
    // Explicit, so that a choice between a link and a pointer is a pointer.
    explicit NodeLink(EntryNode* node) : slot_(node ? node_space::SlotOf(node) : 0) {}
    NodeLink& operator=(EntryNode* node) { return *this = NodeLink(node); }
    operator EntryNode*() const { return slot_ ? node_space::At(slot_) : nullptr; }
    EntryNode* operator->() const { return *this; }

private:
    std::uint32_t slot_ = 0; // 0, a granule's header slot, is never a node
};

// One entry of the book. Links are non-owning; the EntryTree owns every node and every text
// run, and sets them (nodes are made by the tree, never by new).
// Names and addresses hold the file's bytes (CP932) and are never converted here.
struct EntryNode {
    NodeLink parent;
    NodeLink firstChild;
    NodeLink next;
    NodeLink prev;
    const char* text = nullptr; // the run; null for an empty name and no addresses
    std::uint32_t textSize = 0; // at most entry_text::kMaxTextSize
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

static_assert(sizeof(EntryNode) == node_space::kSlotSize);
