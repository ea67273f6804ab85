#include "ContactBuilder.h"

#include "GroupPath.h"
#include "Utf8.h"
#include "framework/Cp932.h"

#include <algorithm>
#include <utility>

namespace {

// The CP932 bytes of UTF-8 text, each character CP932 cannot hold written as "?".
std::string EncodedOrMarked(std::string_view text, RecordProblems& problems) {
    if (std::optional<std::string> bytes = Utf8ToCp932(text))
        return std::move(*bytes);
    std::string bytes;
    bytes.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t length = std::max<std::size_t>(1, utf8::SequenceLength(text, at));
        const std::string_view character = text.substr(at, length);
        at += length;
        if (std::optional<std::string> encoded = Utf8ToCp932(character)) {
            bytes += *encoded;
        } else {
            problems.AddUnencodable(character);
            bytes += '?';
        }
    }
    return bytes;
}

// Leading blanks go, as the book would drop them; every other fault is a single ASCII byte
// or the first byte of a keyword, listed and written as "?".
void MendForPlace(std::string& bytes, TextPlace place, RecordProblems& problems) {
    std::size_t blanks = 0;
    RoundTripCheck check = CheckRoundTrip(bytes, place);
    while (check.fault == RoundTripFault::LeadingBlank)
        check = CheckRoundTrip(std::string_view(bytes).substr(++blanks), place);
    bytes.erase(0, blanks);
    while (!check.Survives()) {
        problems.AddMisplaced(std::string_view(bytes).substr(check.at, 1));
        bytes[check.at] = '?';
        check = CheckRoundTrip(bytes, place, check.at + 1);
    }
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
    std::string bytes = EncodedOrMarked(text, problems);
    MendForPlace(bytes, place, problems);
    return bytes;
}

// BookText as a view: text itself when the book keeps it as it is, the usual case, which
// costs no copy; otherwise bytes, which holds it.
std::string_view BookTextIn(std::string_view text, TextPlace place, RecordProblems& problems,
                            std::string& bytes) {
    if (IsSameInCp932(text) && CheckRoundTrip(text, place).Survives())
        return text;
    bytes = BookText(text, place, problems);
    return bytes;
}

void ContactBuilder::Add(const ContactRecord& record) {
    if (!record.groupPath.empty() &&
        static_cast<std::size_t>(std::count(record.groupPath.begin(), record.groupPath.end(),
                                            '/')) >= kMaxImportedGroupDepth)
        throw ImportError(ImportProblem::GroupPathTooDeep, record.line,
                          std::to_string(kMaxImportedGroupDepth));
    ++report_.records;
    RecordProblems problems;
    EntryNode* group = GroupFor(record.groupPath, problems);
    // Sized before any view is taken of them, so no view moves.
    if (bytes_.size() < record.addresses.size() + 1)
        bytes_.resize(record.addresses.size() + 1);
    const std::string_view name =
        BookTextIn(record.name, TextPlace::EntryName, problems, bytes_[0]);
    addresses_.clear();
    for (const std::string& address : record.addresses) {
        const auto place = addresses_.empty() ? TextPlace::FirstAddress : TextPlace::LaterAddress;
        addresses_.push_back(BookTextIn(address, place, problems, bytes_[addresses_.size() + 1]));
    }
    if (addresses_.empty())
        addresses_.emplace_back(); // what the book reads back for an entry without addresses
    AppendTo(group, tree_.NewEntry(EntryKind::Address, name,
                                   std::span<const std::string_view>(addresses_)));
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
