#include "BookFormat.h"

namespace {

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

void SplitAddresses(std::string_view part, std::vector<std::string>& addresses) {
    // Cut first and copy afterwards, so the vector is sized once; most lines have only a few
    // addresses, which fit the fixed array.
    constexpr std::size_t kInline = 8;
    std::string_view inlinePieces[kInline];
    std::vector<std::string_view> morePieces;
    std::size_t count = 0;
    auto keep = [&](std::string_view piece) {
        if (count < kInline)
            inlinePieces[count] = piece;
        else
            morePieces.push_back(piece);
        ++count;
    };
    for (std::size_t comma; (comma = part.find(',')) != std::string_view::npos;) {
        keep(part.substr(0, comma));
        part.remove_prefix(comma + 1);
    }
    keep(part);
    addresses.reserve(count);
    for (std::size_t i = 0; i < count; ++i)
        addresses.emplace_back(i < kInline ? inlinePieces[i] : morePieces[i - kInline]);
}

} // namespace

std::string_view TrimLeadingBlanks(std::string_view text) {
    std::size_t skip = 0;
    while (skip < text.size() && IsBlank(text[skip]))
        ++skip;
    return text.substr(skip);
}

LineKind ClassifyLine(std::string_view line) {
    if (line.empty())
        return LineKind::Ignored;
    // Most lines are address lines; one look at the first byte settles nearly all of them.
    switch (line.front()) {
    case '#':
        return LineKind::Comment;
    case 'G':
        if (StartsWith(line, "GROUP"))
            return LineKind::Group;
        break;
    case 'E':
        if (StartsWith(line, "END GROUP"))
            return LineKind::EndGroup;
        break;
    case 'S':
        if (StartsWith(line, "SEPARATOR"))
            return LineKind::Separator;
        break;
    default:
        break;
    }
    return LineKind::Address;
}

EntryNode* MakeEntry(std::string_view line, LineKind kind) {
    auto* entry = new EntryNode;
    switch (kind) {
    case LineKind::Group:
        entry->kind = EntryKind::Group;
        entry->name = TrimLeadingBlanks(line.substr(5));
        break;
    case LineKind::EndGroup:
        entry->kind = EntryKind::EndGroup;
        break;
    case LineKind::Separator:
        entry->kind = EntryKind::Separator;
        entry->name = kSeparatorName;
        break;
    default: {
        entry->kind = EntryKind::Address;
        std::string_view addressPart = line;
        if (std::size_t colon = line.find(':'); colon != std::string_view::npos) {
            entry->name = line.substr(0, colon);
            addressPart = line.substr(colon + 1);
        }
        SplitAddresses(TrimLeadingBlanks(addressPart), entry->addresses);
        break;
    }
    }
    return entry;
}

void BookBuilder::CloseGroup() {
    if (intoGroup_)
        intoGroup_ = false; // the group just opened stays empty; the next entry follows it
    else if (anchor_)
        anchor_ = anchor_->parent;
}

void BookBuilder::Append(EntryNode* entry) {
    // A null anchor means "end of the top level"; the last top-level entry is that place,
    // and starting there avoids walking the whole top-level chain after every END GROUP.
    EntryNode* from = anchor_ ? anchor_ : lastTopLevel_;
    anchor_ = tree_.AppendEntry(entry, from, intoGroup_);
    if (!anchor_->parent)
        lastTopLevel_ = anchor_;
    intoGroup_ = entry->IsGroup();
}

void BookBuilder::AddLine(std::string_view rawLine) {
    std::string_view line = TrimLeadingBlanks(rawLine);
    LineKind kind = ClassifyLine(line);
    if (kind == LineKind::Ignored || kind == LineKind::Comment)
        return;
    if (kind == LineKind::EndGroup) {
        CloseGroup();
        return;
    }
    Append(MakeEntry(line, kind));
}

void ReadBook(std::istream& archive, EntryTree& tree) {
    LineReader reader(archive);
    BookBuilder builder(tree);
    std::string_view line;
    while (reader.Next(line))
        builder.AddLine(line);
}
