#include "BookFormat.h"

#include <cstdint>
#include <limits>
#include <string>

namespace {

constexpr std::uint64_t kMaxSize = std::numeric_limits<std::uint64_t>::max();

// Sizes a book cannot reach in memory still must not wrap: indentation alone grows with the
// square of the depth.
std::uint64_t SaturatingAdd(std::uint64_t a, std::uint64_t b) {
    return b > kMaxSize - a ? kMaxSize : a + b;
}

std::uint64_t IndentSize(std::size_t depth) {
    const std::uint64_t levels = depth;
    return levels > kMaxSize / 2 ? kMaxSize : 2 * levels;
}

// The text of one line between its indentation and its CR LF, as WriteBook puts it.
std::uint64_t LineTextSize(const EntryNode& entry) {
    switch (entry.kind) {
    case EntryKind::Group:
        return SaturatingAdd(std::char_traits<char>::length("GROUP "), entry.Name().size());
    case EntryKind::Separator:
        return std::char_traits<char>::length("SEPARATOR");
    default:
        break;
    }
    std::uint64_t size = SaturatingAdd(entry.Name().size(), 2); // ": "
    std::uint64_t count = 0;
    for (std::string_view address : entry.Addresses()) {
        size = SaturatingAdd(size, address.size());
        ++count;
    }
    return count == 0 ? size : SaturatingAdd(size, count - 1);
}

std::uint64_t LineSize(std::uint64_t textSize, std::size_t depth) {
    return SaturatingAdd(SaturatingAdd(IndentSize(depth), textSize), 2); // CR LF
}

std::uint64_t EndGroupSize(std::size_t depth) {
    return LineSize(std::char_traits<char>::length("END GROUP"), depth);
}

} // namespace

std::uint64_t BookOutputSize(const EntryTree& tree) {
    std::uint64_t size = 0;
    const EntryNode* entry = tree.first;
    std::size_t depth = 0;
    // The same walk as WriteBook's, adding up line sizes instead of writing the lines.
    while (entry) {
        size = SaturatingAdd(size, LineSize(LineTextSize(*entry), depth));
        if (entry->IsGroup()) {
            if (entry->firstChild) {
                entry = entry->firstChild;
                ++depth;
                continue;
            }
            size = SaturatingAdd(size, EndGroupSize(depth));
        }
        while (entry && !entry->next) {
            entry = entry->parent;
            if (entry)
                size = SaturatingAdd(size, EndGroupSize(--depth));
        }
        if (entry)
            entry = entry->next;
    }
    return size;
}
