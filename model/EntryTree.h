#pragma once

#include "EntryArena.h"
#include "EntryNode.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <utility>

// Where an entry is linked: its group (null for the top level) and the sibling right
// before it (null when it comes first).
struct EntryPlace {
    EntryNode* parent = nullptr;
    EntryNode* prev = nullptr;
    bool operator==(const EntryPlace&) const = default;
};

// One entry's text run, as EntryNode holds it.
struct TextRun {
    const char* text = nullptr;
    std::size_t size = 0;
};

// The book in memory: chains of siblings, groups nesting to any depth.
// The operations keep the link invariants given their preconditions and report nothing.
// Every walk over nesting is iterative, so arbitrarily deep books are safe. The tree owns its
// nodes and their text: they are made and changed here, and all go at once with the book.
class EntryTree {
public:
    EntryTree() = default;
    EntryTree(const EntryTree&) = delete;
    EntryTree& operator=(const EntryTree&) = delete;

    // An unlinked node of this tree; link it with AppendEntry or InsertAfter.
    EntryNode* NewEntry(EntryKind kind, std::string_view name = {},
                        std::span<const std::string_view> addresses = {});
    EntryNode* NewEntry(EntryKind kind, std::string_view name,
                        std::span<const std::string> addresses);
    EntryNode* NewSeparator();
    void SetName(EntryNode* node, std::string_view name);
    void SetAddresses(EntryNode* node, std::span<const std::string_view> addresses);
    void SetAddresses(EntryNode* node, std::span<const std::string> addresses);

    // Links an unlinked node at the end of anchor's chain, or as the last child of anchor
    // when intoGroup is set, or at the end of the top level when anchor is null.
    EntryNode* AppendEntry(EntryNode* node, EntryNode* anchor, bool intoGroup);
    // Links an unlinked node directly after anchor (never into it).
    EntryNode* InsertAfter(EntryNode* node, EntryNode* anchor);
    // A copy of the template's kind and text (from this tree or any other) after anchor.
    EntryNode* InsertCopyAfter(const EntryNode& templ, EntryNode* anchor);
    // A copy of the template as the first child of group.
    EntryNode* InsertCopyInto(const EntryNode& templ, EntryNode* group);
    // Takes every entry of other's book, in order with their subtrees, directly after anchor
    // (at the end of the top level when anchor is null), or to the front of group's chain.
    // other is left empty. Returns the first entry taken, or null when other was empty.
    EntryNode* TakeBookAfter(EntryTree& other, EntryNode* anchor);
    EntryNode* TakeBookInto(EntryTree& other, EntryNode* group);
    // Relinks node with its subtree: to the head of the top level (null target), as first
    // child of a group target, or directly after any other target.
    void MoveEntry(EntryNode* node, EntryNode* target);
    // Exchanges the contents (kind, name, addresses, children) of two siblings in place.
    void SwapEntries(EntryNode* a, EntryNode* b);
    void RemoveEntry(EntryNode* node);

    // Reversible editing: nothing below frees memory or gives a text run up, so whatever an
    // edit took away can be put back exactly, node for node.
    static EntryPlace PlaceOf(const EntryNode& node) { return {node.parent, node.prev}; }
    // A run of text for the name and addresses; no node uses it yet.
    TextRun NewText(std::string_view name, std::span<const std::string_view> addresses);
    TextRun NewText(std::string_view name, std::span<const std::string> addresses);
    // Gives node the run and hands back the one it had, which stays valid.
    TextRun ExchangeText(EntryNode* node, TextRun run);
    // Unlinks the siblings first to last, with everything below them, and keeps them
    // together: LinkRun puts them back, FreeRun frees them.
    void UnlinkRun(EntryNode* first, EntryNode* last);
    // Links an unlinked run at place, which names entries of this book.
    void LinkRun(EntryNode* first, EntryNode* last, EntryPlace place);
    // Frees an unlinked run with everything below it.
    void FreeRun(EntryNode* first);
    // Entries in the run and below it, and whether any is a group; a walk of the whole
    // subtree.
    struct RunSize {
        std::size_t entries = 0;
        bool hasGroup = false;
    };
    static RunSize MeasureRun(const EntryNode* first, const EntryNode* last);
    void FreeChildren(EntryNode* group);
    // Frees the whole book at once, without visiting its entries.
    void Clear();
    // Empties the book like Clear but keeps a block of memory for the next entries: for a
    // scratch tree that holds one line of a book at a time.
    void ClearForReuse();
    // Exchanges the whole books of two trees; lets a reader fill a fresh tree first.
    void Swap(EntryTree& other) noexcept {
        std::swap(first, other.first);
        arena_.Swap(other.arena_);
        ++revision_;
        ++other.revision_;
        bookId_ = NewBookId();
        other.bookId_ = NewBookId();
    }
    // Changes with every operation that may change the book's entries, their text or their
    // order (also when it ends up changing nothing), so a reader can tell that what it
    // derived from the book, pointers included, may no longer hold.
    std::uint64_t Revision() const { return revision_; }
    // Changes only when the book's memory may be given back (Clear, Swap): until then a text
    // run is never freed or reused, so its address stands for the same text, and what was
    // derived from a run can be kept by its address across edits.
    std::uint64_t BookId() const { return bookId_; }
    // Bytes the book's memory took from the system.
    std::size_t MemoryBytes() const { return arena_.BytesReserved(); }

    EntryNode* first = nullptr;

private:
    template <typename Address>
    TextRun MakeText(std::string_view name, std::span<const Address> addresses);
    template <typename Address>
    void SetText(EntryNode* node, std::string_view name, std::span<const Address> addresses);
    template <typename Address>
    EntryNode* NewEntryWith(EntryKind kind, std::string_view name,
                            std::span<const Address> addresses);
    EntryNode* LastTopLevel() const;
    void Unlink(EntryNode* node);
    void LinkAfter(EntryNode* node, EntryNode* anchor);
    EntryNode* UnlinkedCopy(const EntryNode& templ);
    void FreeChain(EntryNode* head);
    static EntryNode* AdoptTopLevel(EntryTree& other, EntryNode* parent);
    static std::uint64_t NewBookId();
    void ForgetBook();

    EntryArena arena_;
    std::uint64_t revision_ = 0;
    std::uint64_t bookId_ = NewBookId();
};
