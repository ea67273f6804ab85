#include "ContactBuilder.h"

#include "GroupPath.h"
#include "Utf8.h"
#include "framework/Cp932.h"

#include <algorithm>
#include <cstring>

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

std::string PointerKey(const EntryNode* node) {
    std::string key(sizeof node, '\0');
    std::memcpy(key.data(), &node, sizeof node);
    return key;
}

} // namespace

void RecordProblems::Add(std::string_view character, std::string& list) {
    ++replaced_;
    // The two lists never share a character, so one set serves both.
    if (seen_.emplace(character).second)
        list += character;
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
    EntryNode* parent = nullptr;
    for (const std::string& name : group_path::Split(groupPath)) {
        const std::size_t replacedBefore = problems.Replaced();
        const std::string bytes = BookText(name, TextPlace::GroupName, problems);
        auto [place, added] = groups_.try_emplace(PointerKey(parent) + bytes, nullptr);
        if (added) {
            place->second = tree_.NewEntry(EntryKind::Group, bytes);
            AppendTo(parent, place->second);
        } else {
            // The group's "?"s were written, and counted, with the record that made it.
            problems.Unreplace(problems.Replaced() - replacedBefore);
        }
        parent = place->second;
    }
    return parent;
}

void ContactBuilder::AppendTo(EntryNode* group, EntryNode* entry) {
    EntryNode*& last = lastInChain_[group];
    if (last)
        tree_.InsertAfter(entry, last);
    else if (group)
        tree_.AppendEntry(entry, group, true);
    else
        tree_.AppendEntry(entry, nullptr, false);
    last = entry;
}

void ContactBuilder::Report(const ContactRecord& record, RecordProblems& problems) {
    if (problems.Empty())
        return;
    if (replace_)
        report_.replaced += problems.Replaced();
    report_.unencodable.push_back({report_.records, record.line, std::move(problems.Unencodable()),
                                   std::move(problems.Misplaced())});
}
