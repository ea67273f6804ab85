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

const char* RunKey(const EntryNode& entry) {
    return entry.kind == EntryKind::Separator ? &kSeparatorKey : entry.text;
}

// A field of n bytes takes at least n + 1 bytes of the run and folds into at most
// FoldedRoom(n) + 1 bytes: never more than five times the run and five.
std::size_t FoldedFieldsRoom(const EntryNode& entry) {
    return 5 * entry.textSize + 5;
}

// Writes the entry's folded fields at to, which has FoldedFieldsRoom bytes; returns the end.
char* FoldFieldsInto(const EntryNode& entry, char* to) {
    to = FoldBookTextInto(entry.Name(), to);
    *to++ = kFieldEnd;
    for (std::string_view address : entry.Addresses()) {
        to = FoldBookTextInto(address, to);
        *to++ = kFieldEnd;
    }
    return to;
}

// The chunks of a folded book with their numbers, ordered by address for looking up.
template <typename Chunk>
std::vector<std::pair<const Chunk*, std::size_t>>
ChunksByAddress(const std::vector<std::shared_ptr<const Chunk>>& chunks) {
    std::vector<std::pair<const Chunk*, std::size_t>> sorted;
    sorted.reserve(chunks.size());
    for (std::size_t chunk = 0; chunk < chunks.size(); ++chunk)
        sorted.emplace_back(chunks[chunk].get(), chunk);
    std::sort(sorted.begin(), sorted.end());
    return sorted;
}

} // namespace

void AppendFoldedFields(const EntryNode& entry, std::string& text) {
    const std::size_t start = text.size();
    text.resize(start + FoldedFieldsRoom(entry));
    text.resize(static_cast<std::size_t>(FoldFieldsInto(entry, text.data() + start) - text.data()));
}

const EntryNode* NextInTreeOrder(const EntryNode* entry) {
    if (entry->firstChild)
        return entry->firstChild;
    while (entry && !entry->next)
        entry = entry->parent;
    return entry ? entry->next : nullptr;
}

// The places of a stretch of the book. Its text grows into room never written before, so
// that folding writes straight into it and nothing is filled twice.
struct FoldedBook::Chunk {
    std::unique_ptr<char[]> text;
    std::size_t textSize = 0;
    std::size_t textCapacity = 0;
    std::vector<std::size_t> ends; // where each place's fields end in text
    std::vector<const EntryNode*> entries;
    std::vector<const char*> runs; // compared, never read through

    explicit Chunk(std::size_t capacity) { Reserve(capacity); }

    std::size_t Size() const { return entries.size(); }
    std::string_view Text() const { return {text.get(), textSize}; }
    std::string_view FieldsAt(std::size_t index) const {
        const std::size_t begin = index == 0 ? 0 : ends[index - 1];
        return Text().substr(begin, ends[index] - begin);
    }

    void AddFolded(const EntryNode& entry) {
        if (entry.kind != EntryKind::Separator) {
            const char* end = FoldFieldsInto(entry, Room(FoldedFieldsRoom(entry)));
            textSize = static_cast<std::size_t>(end - text.get());
        }
        Place(&entry, RunKey(entry));
    }
    void AddCopy(const EntryNode& entry, std::string_view fields) {
        Append(fields.data(), fields.size());
        Place(&entry, RunKey(entry));
    }
    // Places [from, to) of another chunk.
    void CopyFrom(const Chunk& other, std::size_t from, std::size_t to) {
        if (from == to)
            return;
        const std::size_t begin = from == 0 ? 0 : other.ends[from - 1];
        for (std::size_t index = from; index < to; ++index)
            ends.push_back(textSize + other.ends[index] - begin);
        Append(other.text.get() + begin, other.ends[to - 1] - begin);
        entries.insert(entries.end(), other.entries.begin() + from, other.entries.begin() + to);
        runs.insert(runs.end(), other.runs.begin() + from, other.runs.begin() + to);
    }

private:
    // Separators have no text: a chunk of them alone has no room at all, which memcpy must
    // not be given even for no bytes.
    void Append(const char* bytes, std::size_t size) {
        if (size == 0)
            return;
        std::memcpy(Room(size), bytes, size);
        textSize += size;
    }
    void Place(const EntryNode* entry, const char* run) {
        ends.push_back(textSize);
        entries.push_back(entry);
        runs.push_back(run);
    }
    char* Room(std::size_t size) {
        if (textCapacity - textSize < size)
            Reserve(std::max(2 * textCapacity, textSize + size));
        return text.get() + textSize;
    }
    void Reserve(std::size_t capacity) {
        if (capacity <= textCapacity)
            return;
        auto bigger = std::make_unique_for_overwrite<char[]>(capacity);
        if (textSize > 0)
            std::memcpy(bigger.get(), text.get(), textSize);
        text = std::move(bigger);
        textCapacity = capacity;
    }
};

// Where the previous folded book holds the fields of a text run, when an entry is not the
// one the previous book had next. It looks a few places ahead, where an edit leaves almost
// every entry. Where the order changed (a group moved or deleted), every 64th previous
// place is indexed by its run: within 64 entries of a moved stretch one is found there, and
// the walk goes on from it; the few before it are folded again.
class FoldedBook::Reuse {
public:
    explicit Reuse(const FoldedBook& previous) : previous_(previous) {}

    std::optional<std::size_t> PlaceOf(const char* run, std::size_t from) {
        const std::size_t stop = std::min(previous_.EntryCount(), from + kLookAhead);
        for (std::size_t place = from; place < stop; ++place) {
            if (RunAt(place) == run)
                return place;
        }
        if (index_.empty())
            IndexEveryStride();
        return IndexedPlaceOf(run);
    }

private:
    static constexpr std::size_t kLookAhead = 8;
    static constexpr std::size_t kStride = 64;
    static constexpr std::size_t kNoPlace = std::numeric_limits<std::size_t>::max();

    struct Slot {
        const char* run = nullptr;
        std::size_t place = kNoPlace;
    };

    const char* RunAt(std::size_t place) const {
        const auto [chunk, index] = previous_.Locate(place);
        return previous_.chunks_[chunk]->runs[index];
    }

    std::size_t FirstSlot(const char* run) const {
        auto hash = static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(run));
        hash *= 0x9E3779B97F4A7C15u;
        return static_cast<std::size_t>(hash ^ (hash >> 32)) & (index_.size() - 1);
    }

    // Open addressing, at most half full. A run at several places (only entries without
    // any text share one) folds alike wherever it is found.
    void IndexEveryStride() {
        const std::size_t places = previous_.EntryCount();
        std::size_t size = 16;
        while (size < 2 * (places / kStride + 1))
            size *= 2;
        index_.resize(size);
        for (std::size_t place = 0; place < places; place += kStride) {
            const char* run = RunAt(place);
            if (run == &kSeparatorKey)
                continue;
            std::size_t slot = FirstSlot(run);
            while (index_[slot].place != kNoPlace && index_[slot].run != run)
                slot = (slot + 1) & (size - 1);
            if (index_[slot].place == kNoPlace)
                index_[slot] = {run, place};
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
    std::vector<Slot> index_;
};

// Walks the book once. A cursor follows the previous book where the walk is expected to
// be; while entries are the ones it had, in its order, its chunks are shared. Entries since
// the last chunk given to the book are either the previous chunk's places [sharedFrom_,
// index_), not copied yet, or, once something differed, an open chunk being filled.
class FoldedBook::Builder {
public:
    Builder(FoldedBook& book, const FoldedBook* previous) : book_(book), previous_(previous) {
        if (previous)
            reuse_.emplace(*previous);
    }

    void Add(const EntryNode& entry) {
        if (AtCursor(entry)) {
            if (open_)
                open_->CopyFrom(PreviousChunk(), index_, index_ + 1);
            Advance();
            return;
        }
        if (!open_)
            OpenWithPending();
        const std::optional<std::size_t> kept =
            reuse_ ? reuse_->PlaceOf(RunKey(entry), CursorPlace()) : std::nullopt;
        if (kept) {
            open_->AddCopy(entry, previous_->FieldsAt(*kept));
            MoveCursorTo(*kept + 1);
        } else {
            open_->AddFolded(entry);
        }
        if (open_ && open_->Size() >= (previous_ ? 2 : 1) * book_.chunkPlaces_) {
            Close();
            sharedFrom_ = index_;
        }
    }

    void Finish() {
        if (!open_ && previous_ && chunk_ < previous_->chunks_.size() && index_ > sharedFrom_)
            OpenWithPending();
        Close();
    }

private:
    const Chunk& PreviousChunk() const { return *previous_->chunks_[chunk_]; }

    bool AtCursor(const EntryNode& entry) const {
        if (!previous_ || chunk_ == previous_->chunks_.size())
            return false;
        const Chunk& chunk = PreviousChunk();
        return chunk.entries[index_] == &entry && chunk.runs[index_] == RunKey(entry);
    }

    std::size_t CursorPlace() const {
        return chunk_ == previous_->chunks_.size() ? previous_->EntryCount()
                                                   : previous_->firstPlaces_[chunk_] + index_;
    }

    // Past the end of a previous chunk, what came from it goes to the book: the chunk itself
    // when all of it was met in order, else a copy of the part met, or the open chunk.
    void Advance() {
        if (++index_ < PreviousChunk().Size())
            return;
        if (!open_ && sharedFrom_ == 0)
            book_.Push(previous_->chunks_[chunk_]);
        else if (!open_)
            OpenWithPending();
        Close();
        ++chunk_;
        index_ = sharedFrom_ = 0;
    }

    void MoveCursorTo(std::size_t place) {
        if (place >= previous_->EntryCount()) {
            chunk_ = previous_->chunks_.size();
            index_ = sharedFrom_ = 0;
            return;
        }
        std::tie(chunk_, index_) = previous_->Locate(place);
        sharedFrom_ = index_;
        if (index_ == 0)
            Close(); // the chunk ahead may be shared whole
    }

    void OpenWithPending() {
        open_ = std::make_unique<Chunk>(lastTextSize_ + lastTextSize_ / 8);
        if (previous_ && chunk_ < previous_->chunks_.size())
            open_->CopyFrom(PreviousChunk(), sharedFrom_, index_);
    }

    void Close() {
        if (!open_)
            return;
        lastTextSize_ = open_->textSize;
        if (open_->Size() > 0)
            book_.Push(std::move(open_));
        open_.reset();
    }

    FoldedBook& book_;
    const FoldedBook* previous_;
    std::optional<Reuse> reuse_; // with a previous book only
    std::size_t chunk_ = 0;      // the cursor: a previous chunk
    std::size_t index_ = 0;      // and a place in it
    std::size_t sharedFrom_ = 0; // where the entries met since the last chunk given begin
    std::unique_ptr<Chunk> open_;
    std::size_t lastTextSize_ = 0; // of the last chunk filled, a guess at the next one's
};

FoldedBook::FoldedBook(const EntryTree& tree, std::size_t chunkPlaces)
    : FoldedBook(Folding(tree, nullptr, chunkPlaces).Finish()) {}

FoldedBook::FoldedBook(const EntryTree& tree, const FoldedBook& previous)
    : FoldedBook(Folding(tree, &previous, previous.chunkPlaces_).Finish()) {}

FoldedBook::Folding::Folding(const EntryTree& tree, const FoldedBook* previous,
                             std::size_t chunkPlaces)
    : book_(std::make_unique<FoldedBook>()), next_(tree.first) {
    book_->firstPlaces_ = {0};
    book_->chunkPlaces_ = std::max<std::size_t>(chunkPlaces, 1);
    book_->bookId_ = tree.BookId();
    builder_ = std::make_unique<Builder>(
        *book_, previous && previous->bookId_ == tree.BookId() ? previous : nullptr);
}

FoldedBook::Folding::~Folding() = default;

bool FoldedBook::Folding::Continue(std::size_t places) {
    for (; next_ && places > 0; --places) {
        builder_->Add(*next_);
        next_ = NextInTreeOrder(next_);
    }
    return !next_;
}

FoldedBook FoldedBook::Folding::Finish() {
    while (!Continue(std::numeric_limits<std::size_t>::max())) {
    }
    builder_->Finish();
    return std::move(*book_);
}

void FoldedBook::Push(std::shared_ptr<const Chunk> chunk) {
    firstPlaces_.push_back(firstPlaces_.back() + chunk->Size());
    chunks_.push_back(std::move(chunk));
}

std::pair<std::size_t, std::size_t> FoldedBook::Locate(std::size_t place) const {
    const auto after = std::upper_bound(firstPlaces_.begin(), firstPlaces_.end(), place);
    const auto chunk = static_cast<std::size_t>(after - firstPlaces_.begin()) - 1;
    return {chunk, place - firstPlaces_[chunk]};
}

const EntryNode* FoldedBook::EntryAt(std::size_t place) const {
    const auto [chunk, index] = Locate(place);
    return chunks_[chunk]->entries[index];
}

std::string_view FoldedBook::FieldsAt(std::size_t place) const {
    const auto [chunk, index] = Locate(place);
    return chunks_[chunk]->FieldsAt(index);
}

std::size_t FoldedBook::ChunksSharedWith(const FoldedBook& other) const {
    const auto mine = ChunksByAddress(chunks_);
    return static_cast<std::size_t>(
        std::count_if(other.chunks_.begin(), other.chunks_.end(), [&](const auto& chunk) {
            const auto found =
                std::lower_bound(mine.begin(), mine.end(), std::pair(chunk.get(), std::size_t{0}));
            return found != mine.end() && found->first == chunk.get();
        }));
}

// glibc's memmem is several times faster here than a Boyer-Moore-Horspool search: it looks
// at two bytes at a time, which suits UTF-8 kana that all begin with the same byte. No
// match spans two chunks: each ends with a field's line feed.
std::vector<std::size_t> FoldedBook::PlacesContaining(std::string_view folded) const {
    std::vector<std::size_t> places;
    if (folded.empty())
        return places;
    for (std::size_t chunk = 0; chunk < chunks_.size(); ++chunk)
        SearchChunk(chunk, folded, places);
    return places;
}

std::vector<std::size_t>
FoldedBook::PlacesContaining(std::string_view folded, const FoldedBook& previous,
                             const std::vector<std::size_t>& placesThere) const {
    std::vector<std::size_t> places;
    if (folded.empty())
        return places;
    const auto previousChunks = ChunksByAddress(previous.chunks_);
    for (std::size_t chunk = 0; chunk < chunks_.size(); ++chunk) {
        const auto shared = std::lower_bound(previousChunks.begin(), previousChunks.end(),
                                             std::pair(chunks_[chunk].get(), std::size_t{0}));
        if (shared == previousChunks.end() || shared->first != chunks_[chunk].get()) {
            SearchChunk(chunk, folded, places);
            continue;
        }
        const std::size_t first = previous.firstPlaces_[shared->second];
        const std::size_t last = previous.firstPlaces_[shared->second + 1];
        for (auto place = std::lower_bound(placesThere.begin(), placesThere.end(), first);
             place != placesThere.end() && *place < last; ++place)
            places.push_back(*place - first + firstPlaces_[chunk]);
    }
    return places;
}

// glibc's memmem is several times faster here than a Boyer-Moore-Horspool search: it looks
// at two bytes at a time, which suits UTF-8 kana that all begin with the same byte. No
// match spans two chunks: each ends with a field's line feed.
void FoldedBook::SearchChunk(std::size_t index, std::string_view folded,
                             std::vector<std::size_t>& places) const {
    const Chunk& chunk = *chunks_[index];
    const char* const begin = chunk.text.get();
    const char* const end = begin + chunk.textSize;
    auto endsFrom = chunk.ends.begin();
    for (const char* from = begin; from < end;) {
        const void* hit =
            ::memmem(from, static_cast<std::size_t>(end - from), folded.data(), folded.size());
        if (!hit)
            break;
        // The entry whose fields hold the hit; the search goes on after its last field.
        const auto offset = static_cast<std::size_t>(static_cast<const char*>(hit) - begin);
        endsFrom = std::upper_bound(endsFrom, chunk.ends.end(), offset);
        places.push_back(firstPlaces_[index] +
                         static_cast<std::size_t>(endsFrom - chunk.ends.begin()));
        from = begin + *endsFrom;
        ++endsFrom;
    }
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
