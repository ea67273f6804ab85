#include "BookSearch.h"

#include "TextFolding.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <optional>

namespace {

constexpr char kFieldEnd = '\n';
// A separator's place holds no fields; it carries the address of this in place of a run.
constexpr char kSeparatorKey = 0;

} // namespace

void AppendFoldedFields(const EntryNode& entry, std::string& text) {
    AppendFoldedBookText(entry.Name(), text);
    text += kFieldEnd;
    for (std::string_view address : entry.Addresses()) {
        AppendFoldedBookText(address, text);
        text += kFieldEnd;
    }
}

const EntryNode* NextInTreeOrder(const EntryNode* entry) {
    if (entry->firstChild)
        return entry->firstChild;
    while (entry && !entry->next)
        entry = entry->parent;
    return entry ? entry->next : nullptr;
}

// Where the previous folded book holds the fields of a text run. It looks along the previous
// places in the tree's order, where an edit leaves almost every entry. Where the order
// changed (a group moved or deleted), every 64th previous place is indexed by its run:
// within 64 entries of a moved stretch one is found there, and the look along goes on from
// it; the few before it are folded again.
class FoldedBook::Reuse {
public:
    explicit Reuse(const FoldedBook& previous) : previous_(previous) {}

    std::optional<std::string_view> FieldsOf(const char* run) {
        const std::vector<const char*>& runs = previous_.runs_;
        const std::size_t stop = std::min(runs.size(), next_ + kLookAhead);
        for (std::size_t place = next_; place < stop; ++place) {
            if (runs[place] == run)
                return TakeFieldsAt(place);
        }
        if (index_.empty())
            IndexEveryStride();
        const std::optional<std::size_t> place = IndexedPlaceOf(run);
        return place ? std::optional(TakeFieldsAt(*place)) : std::nullopt;
    }

private:
    static constexpr std::size_t kLookAhead = 8;
    static constexpr std::size_t kStride = 64;
    static constexpr std::size_t kNoPlace = std::numeric_limits<std::size_t>::max();

    struct Slot {
        const char* run = nullptr;
        std::size_t place = kNoPlace;
    };

    // The fields at a place; the look along goes on after it.
    std::string_view TakeFieldsAt(std::size_t place) {
        next_ = place + 1;
        return previous_.FieldsAt(place);
    }

    std::size_t FirstSlot(const char* run) const {
        auto hash = static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(run));
        hash *= 0x9E3779B97F4A7C15u;
        return static_cast<std::size_t>(hash ^ (hash >> 32)) & (index_.size() - 1);
    }

    // Open addressing, at most half full. A run at several places (only entries without
    // any text share one) folds alike wherever it is found.
    void IndexEveryStride() {
        const std::vector<const char*>& runs = previous_.runs_;
        std::size_t size = 16;
        while (size < 2 * (runs.size() / kStride + 1))
            size *= 2;
        index_.resize(size);
        for (std::size_t place = 0; place < runs.size(); place += kStride) {
            if (runs[place] == &kSeparatorKey)
                continue;
            std::size_t slot = FirstSlot(runs[place]);
            while (index_[slot].place != kNoPlace && index_[slot].run != runs[place])
                slot = (slot + 1) & (size - 1);
            if (index_[slot].place == kNoPlace)
                index_[slot] = {runs[place], place};
        }
    }

    std::optional<std::size_t> IndexedPlaceOf(const char* run) const {
        for (std::size_t slot = FirstSlot(run); index_[slot].place != kNoPlace;
             slot = (slot + 1) & (index_.size() - 1)) {
            if (index_[slot].run == run)
                return index_[slot].place;
        }
        return std::nullopt;
    }

    const FoldedBook& previous_;
    std::size_t next_ = 0;
    std::vector<Slot> index_;
};

FoldedBook::FoldedBook(const EntryTree& tree) {
    FoldWhole(tree);
}

FoldedBook::FoldedBook(const EntryTree& tree, const FoldedBook& previous) {
    if (previous.bookId_ != tree.BookId()) {
        FoldWhole(tree);
        return;
    }
    // Room for the book as it was and a little more, so that the copy never moves.
    const std::size_t places = previous.ends_.size() + previous.ends_.size() / 64 + 64;
    text_.reserve(previous.text_.size() + previous.text_.size() / 64 + 4096);
    ends_.reserve(places);
    entries_.reserve(places);
    runs_.reserve(places);
    Reuse reuse(previous);
    Build(tree, &reuse);
    if (text_.capacity() > text_.size() + text_.size() / 4)
        text_.shrink_to_fit();
}

// The folded text is about as long as the book's own, which the book's memory holds:
// reserved once, it never moves while it grows, and room never written is never given
// pages, so it costs no memory.
void FoldedBook::FoldWhole(const EntryTree& tree) {
    text_.reserve(tree.MemoryBytes());
    Build(tree, nullptr);
}

void FoldedBook::Build(const EntryTree& tree, Reuse* reuse) {
    bookId_ = tree.BookId();
    for (const EntryNode* entry = tree.first; entry; entry = NextInTreeOrder(entry)) {
        if (entry->kind == EntryKind::Separator) {
            runs_.push_back(&kSeparatorKey);
        } else {
            const std::optional<std::string_view> kept =
                reuse ? reuse->FieldsOf(entry->text) : std::nullopt;
            if (kept)
                text_.append(*kept);
            else
                AppendFoldedFields(*entry, text_);
            runs_.push_back(entry->text);
        }
        ends_.push_back(text_.size());
        entries_.push_back(entry);
    }
}

std::string_view FoldedBook::FieldsAt(std::size_t place) const {
    const std::size_t begin = place == 0 ? 0 : ends_[place - 1];
    return std::string_view(text_).substr(begin, ends_[place] - begin);
}

// glibc's memmem is several times faster here than a Boyer-Moore-Horspool search: it looks
// at two bytes at a time, which suits UTF-8 kana that all begin with the same byte.
std::vector<std::size_t> FoldedBook::PlacesContaining(std::string_view folded) const {
    std::vector<std::size_t> places;
    if (folded.empty())
        return places;
    const char* const begin = text_.data();
    const char* const end = begin + text_.size();
    auto endsFrom = ends_.begin();
    for (const char* from = begin; from < end;) {
        const void* hit =
            ::memmem(from, static_cast<std::size_t>(end - from), folded.data(), folded.size());
        if (!hit)
            break;
        // The entry whose fields hold the hit; the search goes on after its last field.
        const auto offset = static_cast<std::size_t>(static_cast<const char*>(hit) - begin);
        endsFrom = std::upper_bound(endsFrom, ends_.end(), offset);
        places.push_back(static_cast<std::size_t>(endsFrom - ends_.begin()));
        from = begin + *endsFrom;
        ++endsFrom;
    }
    return places;
}

std::vector<std::size_t> FoldedBook::PlacesContaining(std::string_view folded,
                                                      const std::vector<std::size_t>& among) const {
    std::vector<std::size_t> places;
    if (folded.empty())
        return places;
    for (std::size_t place : among) {
        const std::string_view fields = FieldsAt(place);
        if (::memmem(fields.data(), fields.size(), folded.data(), folded.size()))
            places.push_back(place);
    }
    return places;
}
