#include "ContactBuilder.h"

#include "GroupPath.h"
#include "Utf8.h"
#include "framework/Cp932.h"

#include <algorithm>
#include <utility>

namespace {

bool IsBookBlank(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

bool DropsLeadingBlanks(TextPlace place) {
    return place != TextPlace::LaterAddress;
}

// A name starting like this reads back as a comment or a keyword line.
bool ReadsAsKeyword(std::string_view name) {
    for (std::string_view keyword : {"#", "GROUP", "END GROUP", "SEPARATOR"}) {
        if (name.starts_with(keyword))
            return true;
    }
    return false;
}

// ASCII characters the place cannot hold: the reader splits lines at CR and LF, names at
// the first ":" and the addresses at every ",".
bool IsMisplacedAscii(char c, TextPlace place) {
    if (c == '\r' || c == '\n')
        return true;
    if (place == TextPlace::EntryName)
        return c == ':';
    if (place == TextPlace::FirstAddress || place == TextPlace::LaterAddress)
        return c == ',';
    return false;
}

bool HasMisplacedAscii(std::string_view text, TextPlace place) {
    for (char c : text) {
        if (IsMisplacedAscii(c, place))
            return true;
    }
    return false;
}

// The slow path, character by character, once the whole text has been seen not to fit.
std::string FittedText(std::string_view text, TextPlace place, RecordProblems& problems) {
    std::string bytes;
    bytes.reserve(text.size());
    const bool keyword = place == TextPlace::EntryName && ReadsAsKeyword(text);
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t length = std::max<std::size_t>(1, utf8::SequenceLength(text, at));
        const std::string_view character = text.substr(at, length);
        const bool first = at == 0;
        at += length;
        if ((first && keyword) || (length == 1 && IsMisplacedAscii(character[0], place))) {
            problems.AddMisplaced(character);
            bytes += '?';
        } else if (std::optional<std::string> encoded = Utf8ToCp932(character)) {
            bytes += *encoded;
        } else {
            problems.AddUnencodable(character);
            bytes += '?';
        }
    }
    return bytes;
}

} // namespace

void RecordProblems::Add(std::string_view character, std::string& list) {
    ++replaced_;
    List(character, list);
}

void RecordProblems::List(std::string_view character, std::string& list) {
    // The two lists never share a character, so one set serves both.
    if (seen_.emplace(character).second)
        list += character;
}

void RecordProblems::Include(const RecordProblems& other) {
    for (const auto& [from, to] : {std::pair{&other.unencodable_, &unencodable_},
                                   std::pair{&other.misplaced_, &misplaced_}}) {
        for (std::size_t at = 0; at < from->size();) {
            const std::size_t length = std::max<std::size_t>(1, utf8::SequenceLength(*from, at));
            List(std::string_view(*from).substr(at, length), *to);
            at += length;
        }
    }
}

std::string BookText(std::string_view text, TextPlace place, RecordProblems& problems) {
    if (DropsLeadingBlanks(place)) {
        while (!text.empty() && IsBookBlank(text.front()))
            text.remove_prefix(1);
    }
    if (!HasMisplacedAscii(text, place) &&
        !(place == TextPlace::EntryName && ReadsAsKeyword(text))) {
        if (std::optional<std::string> bytes = Utf8ToCp932(text))
            return std::move(*bytes);
    }
    return FittedText(text, place, problems);
}

void ContactBuilder::Add(const ContactRecord& record) {
    ++report_.records;
    RecordProblems problems;
    EntryNode* group = GroupFor(record.groupPath, problems);
    const std::string name = BookText(record.name, TextPlace::EntryName, problems);
    std::vector<std::string> addresses;
    for (const std::string& address : record.addresses) {
        const auto place = addresses.empty() ? TextPlace::FirstAddress : TextPlace::LaterAddress;
        addresses.push_back(BookText(address, place, problems));
    }
    if (addresses.empty())
        addresses.emplace_back(); // what the book reads back for an entry without addresses
    AppendTo(group,
             tree_.NewEntry(EntryKind::Address, name, std::span<const std::string>(addresses)));
    Report(record, problems);
}

EntryNode* ContactBuilder::GroupFor(std::string_view groupPath, RecordProblems& problems) {
    lastSteps_.resize(StepsSharedWith(groupPath));
    for (const PathStep& step : lastSteps_) {
        if (step.problems)
            problems.Include(*step.problems);
    }
    EntryNode* parent = lastSteps_.empty() ? nullptr : lastSteps_.back().group;
    std::size_t from = lastSteps_.empty() ? 0 : lastSteps_.back().end + 1;
    while (!groupPath.empty() && from <= groupPath.size()) {
        const std::size_t end = std::min(groupPath.find('/', from), groupPath.size());
        parent = GroupNamed(groupPath.substr(from, end - from), parent, end, problems);
        from = end + 1;
    }
    lastPath_.assign(groupPath);
    return parent;
}

std::size_t ContactBuilder::StepsSharedWith(std::string_view groupPath) const {
    if (groupPath.empty())
        return 0;
    const std::size_t common = static_cast<std::size_t>(
        std::mismatch(groupPath.begin(), groupPath.end(), lastPath_.begin(), lastPath_.end())
            .first -
        groupPath.begin());
    std::size_t shared = 0;
    while (shared < lastSteps_.size() && lastSteps_[shared].end <= common &&
           (lastSteps_[shared].end == groupPath.size() || groupPath[lastSteps_[shared].end] == '/'))
        ++shared;
    return shared;
}

EntryNode* ContactBuilder::FirstIn(const EntryNode* group) const {
    return group ? group->firstChild : tree_.first;
}

// The groups of a chain are indexed when the chain is first searched; a group just made has
// no children to search, so the chain of a deep path is never indexed.
EntryNode* ContactBuilder::ExistingGroup(const EntryNode* parent, std::string_view name) {
    EntryNode* first = FirstIn(parent);
    if (!first)
        return nullptr;
    if (indexedChains_.insert(parent).second) {
        for (EntryNode* entry = first; entry; entry = entry->next) {
            if (entry->IsGroup())
                groups_.emplace(GroupKey{parent, entry->Name()}, entry);
        }
    }
    const auto found = groups_.find({parent, name});
    return found != groups_.end() ? found->second : nullptr;
}

EntryNode* ContactBuilder::GroupNamed(std::string_view piece, EntryNode* parent, std::size_t end,
                                      RecordProblems& problems) {
    RecordProblems nameProblems;
    const std::string bytes =
        BookText(group_path::NameOf(piece), TextPlace::GroupName, nameProblems);
    EntryNode* group = ExistingGroup(parent, bytes);
    if (!group) {
        group = tree_.NewEntry(EntryKind::Group, bytes);
        AppendTo(parent, group);
        if (indexedChains_.contains(parent))
            groups_.emplace(GroupKey{parent, group->Name()}, group);
        // A group's "?"s are written once, and counted with the record that made it.
        problems.AddReplaced(nameProblems.Replaced());
    }
    PathStep step{end, group, nullptr};
    if (!nameProblems.Empty()) {
        problems.Include(nameProblems);
        step.problems = std::make_unique<RecordProblems>(std::move(nameProblems));
    }
    lastSteps_.push_back(std::move(step));
    return group;
}

// An empty chain takes its first entry directly; a chain's last entry is remembered from
// its second entry on, so the chains of a deep path cost no look-up at all.
void ContactBuilder::AppendTo(EntryNode* group, EntryNode* entry) {
    EntryNode* first = FirstIn(group);
    if (!first) {
        tree_.AppendEntry(entry, group, group != nullptr);
        return;
    }
    EntryNode*& last = lastInChain_[group];
    if (!last) {
        for (last = first; last->next;) // one step: the chain held only its first entry
            last = last->next;
    }
    last = tree_.InsertAfter(entry, last);
}

void ContactBuilder::Report(const ContactRecord& record, RecordProblems& problems) {
    if (problems.Empty())
        return;
    if (replace_)
        report_.replaced += problems.Replaced();
    report_.unencodable.push_back({report_.records, record.line, std::move(problems.Unencodable()),
                                   std::move(problems.Misplaced())});
}
