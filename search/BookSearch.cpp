#include "BookSearch.h"

#include "TextFolding.h"

#include <algorithm>
#include <functional>

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

std::vector<std::size_t> FoldedBook::PlacesContaining(std::string_view folded) const {
    std::vector<std::size_t> places;
    if (folded.empty())
        return places;
    const std::boyer_moore_horspool_searcher searcher(folded.begin(), folded.end());
    auto from = text_.begin();
    auto endsFrom = ends_.begin();
    for (;;) {
        const auto hit = std::search(from, text_.end(), searcher);
        if (hit == text_.end())
            break;
        // The entry whose fields hold the hit; the search goes on after its last field.
        const auto offset = static_cast<std::size_t>(hit - text_.begin());
        endsFrom = std::upper_bound(endsFrom, ends_.end(), offset);
        places.push_back(static_cast<std::size_t>(endsFrom - ends_.begin()));
        from = text_.begin() + static_cast<std::ptrdiff_t>(*endsFrom);
        ++endsFrom;
    }
    return places;
}
