#pragma once

#include "model/EntryTree.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Appends the entry's name and each of its addresses folded for finding (see TextFolding.h),
// each ended by a line feed, which no folded text holds, so a match never spans two fields.
void AppendFoldedFields(const EntryNode& entry, std::string& text);

// The entry after entry in tree order (pre-order: a group before its children), or null.
const EntryNode* NextInTreeOrder(const EntryNode* entry);

// The names and addresses of a whole book folded for finding (see TextFolding.h), built
// once and searched as often as the user types. Every entry has a place, separators too
// (they never match), numbered in tree order.
class FoldedBook {
public:
    FoldedBook() = default;
    explicit FoldedBook(const EntryTree& tree);
    // The same, after the book changed since previous was built: an entry whose text run
    // previous folded (the book's text runs never change) has its folded text copied, not
    // folded again, so an edit costs a copy of the book's folded text. A previous of another
    // book, or of this one before it was cleared or swapped, is not used.
    FoldedBook(const EntryTree& tree, const FoldedBook& previous);

    std::size_t EntryCount() const { return entries_.size(); }
    // The entry at a place. The pointers are the tree's at the time of building: valid
    // only while the tree's revision has not changed since.
    const EntryNode* EntryAt(std::size_t place) const { return entries_[place]; }
    // The places, in tree order, of the entries whose name or one of whose addresses
    // contains the folded text; none for an empty text.
    std::vector<std::size_t> PlacesContaining(std::string_view folded) const;
    // The same, looking only at the places given, in tree order: a text is found only where
    // every part of it was found too, so typing on narrows the last result.
    std::vector<std::size_t> PlacesContaining(std::string_view folded,
                                              const std::vector<std::size_t>& among) const;

    // The folded fields of the entry at a place, each ended by a line feed.
    std::string_view FieldsAt(std::size_t place) const;

private:
    class Reuse;
    void FoldWhole(const EntryTree& tree);
    void Build(const EntryTree& tree, Reuse* reuse);

    // Every field of every entry folded and ended by a line feed, which no folded text
    // holds, so a match never spans two fields.
    std::string text_;
    std::vector<std::size_t> ends_; // where each entry's fields end in text_
    std::vector<const EntryNode*> entries_;
    std::vector<const char*> runs_; // each place's text run: compared, never read through
    std::uint64_t bookId_ = 0;
};
