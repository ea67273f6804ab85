#pragma once

#include "EntryNode.h"

#include <utility>

// The book in memory: chains of siblings, groups nesting to any depth.
// The operations keep the link invariants given their preconditions and report nothing.
// Every walk over nesting is iterative, so arbitrarily deep books are safe.
class EntryTree {
public:
    EntryTree() = default;
    ~EntryTree() { Clear(); }
    EntryTree(const EntryTree&) = delete;
    EntryTree& operator=(const EntryTree&) = delete;

    // Links an unlinked node at the end of anchor's chain, or as the last child of anchor
    // when intoGroup is set, or at the end of the top level when anchor is null.
    EntryNode* AppendEntry(EntryNode* node, EntryNode* anchor, bool intoGroup);
    // Links an unlinked node directly after anchor (never into it).
    EntryNode* InsertAfter(EntryNode* node, EntryNode* anchor);
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
    void FreeChildren(EntryNode* group);
    void Clear();
    // Exchanges the whole books of two trees; lets a reader fill a fresh tree first.
    void Swap(EntryTree& other) noexcept { std::swap(first, other.first); }
    // A new heap node with the source's links, kind, name and addresses; no children copied.
    static EntryNode* CopyEntry(const EntryNode& source);

    EntryNode* first = nullptr;

private:
    EntryNode* LastTopLevel() const;
    void Unlink(EntryNode* node);
    void LinkAfter(EntryNode* node, EntryNode* anchor);
    static EntryNode* UnlinkedCopy(const EntryNode& templ);
    static EntryNode* AdoptTopLevel(EntryTree& other, EntryNode* parent);
    static void FreeChain(EntryNode*& head);
    static void TakeContent(EntryNode* to, const EntryNode& from);
};
