#pragma once

#include "model/EntryTree.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// Appends the entry's name and each of its addresses folded for finding (see TextFolding.h),
// each ended by a line feed, which no folded text holds, so a match never spans two fields.
void AppendFoldedFields(const EntryNode& entry, std::string& text);

// The entry after entry in tree order (pre-order: a group before its children), or null.
const EntryNode* NextInTreeOrder(const EntryNode* entry);

// The names and addresses of a whole book folded for finding (see TextFolding.h), built
// once and searched as often as the user types. Every entry has a place, separators too
// (they never match), numbered in tree order.
//
// The places are kept in chunks that later builds share: after an edit, a chunk whose
// entries and text runs are all still there in the same order is taken over as it is, so an
// edit costs a walk of the book and the folding of the chunks it touched.
class FoldedBook {
public:
    static constexpr std::size_t kChunkPlaces = 4096;

    class Folding;

    FoldedBook() = default;
    explicit FoldedBook(const EntryTree& tree, std::size_t chunkPlaces = kChunkPlaces);
    // The same, after the book changed since previous was built: an entry whose text run
    // previous folded (the book's text runs never change) is not folded again. A previous
    // of another book, or of this one before it was cleared or swapped, is not used.
    FoldedBook(const EntryTree& tree, const FoldedBook& previous);

    std::size_t EntryCount() const { return firstPlaces_.empty() ? 0 : firstPlaces_.back(); }
    // The entry at a place. The pointers are the tree's at the time of building: valid
    // only while the tree's revision has not changed since.
    const EntryNode* EntryAt(std::size_t place) const;
    // The places, in tree order, of the entries whose name or one of whose addresses
    // contains the folded text; none for an empty text.
    std::vector<std::size_t> PlacesContaining(std::string_view folded) const;
    // The same, looking only at the places given, in tree order: a text is found only where
    // every part of it was found too, so typing on narrows the last result.
    std::vector<std::size_t> PlacesContaining(std::string_view folded,
                                              const std::vector<std::size_t>& among) const;
    // The same as the first, knowing the places of the same text in a folded book this one
    // was built from: the chunks shared with it are not searched again.
    std::vector<std::size_t> PlacesContaining(std::string_view folded, const FoldedBook& previous,
                                              const std::vector<std::size_t>& placesThere) const;

    // The folded fields of the entry at a place, each ended by a line feed.
    std::string_view FieldsAt(std::size_t place) const;
    // How many chunks the book is kept in, and how many of them it shares with another
    // folded book: for tests and measurements.
    std::size_t ChunkCount() const { return chunks_.size(); }
    std::size_t ChunksSharedWith(const FoldedBook& other) const;

private:
    struct Chunk;
    class Builder;
    class Reuse;

    // The chunk holding a place, and the place's index in it.
    std::pair<std::size_t, std::size_t> Locate(std::size_t place) const;
    void Push(std::shared_ptr<const Chunk> chunk);
    void SearchChunk(std::size_t chunk, std::string_view folded,
                     std::vector<std::size_t>& places) const;

    std::vector<std::shared_ptr<const Chunk>> chunks_;
    // The place of each chunk's first entry, and last the number of places.
    std::vector<std::size_t> firstPlaces_;
    std::size_t chunkPlaces_ = kChunkPlaces;
    std::uint64_t bookId_ = 0;
};

// Folds a book a part at a time, so that a window can go on between the parts. The tree
// must not change until it is done, and a previous book given must outlive it.
class FoldedBook::Folding {
public:
    Folding(const EntryTree& tree, const FoldedBook* previous,
            std::size_t chunkPlaces = kChunkPlaces);
    ~Folding();
    Folding(const Folding&) = delete;
    Folding& operator=(const Folding&) = delete;

    // Folds up to places more entries; true once the whole book is folded.
    bool Continue(std::size_t places);
    // The book, folding what is left first.
    FoldedBook Finish();

private:
    std::unique_ptr<FoldedBook> book_;
    std::unique_ptr<Builder> builder_;
    const EntryNode* next_;
};
