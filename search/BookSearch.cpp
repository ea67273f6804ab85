#include "BookSearch.h"

#include "TextFolding.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr char kFieldEnd = '\n';

void AppendFoldedFields(const EntryNode& entry, std::string& text) {
    if (entry.kind == EntryKind::Separator)
        return;
    AppendFoldedBookText(entry.Name(), text);
    text += kFieldEnd;
    for (std::string_view address : entry.Addresses()) {
        AppendFoldedBookText(address, text);
        text += kFieldEnd;
    }
}

} // namespace

const EntryNode* NextInTreeOrder(const EntryNode* entry) {
    if (entry->firstChild)
        return entry->firstChild;
    while (entry && !entry->next)
        entry = entry->parent;
    return entry ? entry->next : nullptr;
}

FoldedBook::FoldedBook(const EntryTree& tree) {
    for (const EntryNode* entry = tree.first; entry; entry = NextInTreeOrder(entry)) {
        AppendFoldedFields(*entry, text_);
        ends_.push_back(text_.size());
        entries_.push_back(entry);
    }
    text_.shrink_to_fit();
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
