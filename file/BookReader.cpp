#include "BookFormat.h"

namespace {

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

void SplitAddresses(std::string_view part, std::vector<std::string_view>& pieces) {
    pieces.clear();
    for (std::size_t comma; (comma = part.find(kAddressSeparator)) != std::string_view::npos;) {
        pieces.push_back(part.substr(0, comma));
        part.remove_prefix(comma + 1);
    }
    pieces.push_back(part);
}

// pieces is scratch space the caller keeps, so a whole book's lines share one allocation.
EntryNode* MakeEntryWith(EntryTree& tree, std::string_view line, LineKind kind,
                         std::vector<std::string_view>& pieces) {
    switch (kind) {
    case LineKind::Group:
        return tree.NewEntry(EntryKind::Group, GroupName(line));
    case LineKind::EndGroup:
        return tree.NewEntry(EntryKind::EndGroup);
    case LineKind::Separator:
        return tree.NewSeparator();
    default:
        break;
    }
    const AddressLine parts = SplitAddressLine(line);
    SplitAddresses(parts.addresses, pieces);
    return tree.NewEntry(EntryKind::Address, parts.name, std::span<const std::string_view>(pieces));
}

} // namespace

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

EntryNode* MakeEntry(EntryTree& tree, std::string_view line, LineKind kind) {
    std::vector<std::string_view> pieces;
    return MakeEntryWith(tree, line, kind, pieces);
}

const EntryNode& LineEntry::Make(std::string_view line, LineKind kind) {
    scratch_.ClearForReuse();
    return *MakeEntryWith(scratch_, line, kind, pieces_);
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
    Append(MakeEntryWith(tree_, line, kind, pieces_));
}

void ReadBook(std::istream& archive, EntryTree& tree) {
    LineReader reader(archive);
    BookBuilder builder(tree);
    std::string_view line;
    while (reader.Next(line))
        builder.AddLine(line);
}
