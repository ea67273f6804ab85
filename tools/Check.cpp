#include "Check.h"

#include "file/BookFormat.h"

#include <algorithm>
#include <iterator>
#include <memory>

namespace {

constexpr const char kComment[] = "comment, dropped on save";
constexpr const char kSeparatorText[] = "text after SEPARATOR is dropped";
constexpr const char kEndGroupText[] = "text after END GROUP is dropped";
constexpr const char kStrayEndGroup[] = "END GROUP with no open group is dropped";
constexpr const char kGroupNoSpace[] = "no space between GROUP and the name; one is added";
constexpr const char kGroupBlanks[] = "blanks between GROUP and the name become one space";
constexpr const char kNoColon[] =
    "no ':', read as an address with an empty name (saved with ': ' in front)";
constexpr const char kAddressBlanks[] = "blanks before the first address become one space";
constexpr const char kUnclosed[] = "group not closed; END GROUP will be added";

constexpr std::size_t kGroupKeyword = 5;  // "GROUP"
constexpr std::size_t kOtherKeywords = 9; // "END GROUP", "SEPARATOR"

// Blanks alone at the end of a line are not content worth a warning.
bool HasText(std::string_view text) {
    return !TrimLeadingBlanks(text).empty();
}

// Follows the reader's nesting: a GROUP line opens a level, an END GROUP line closes the
// innermost open one.
class BookChecker {
public:
    void AddLine(std::size_t number, std::string_view rawLine);
    CheckReport Finish();

private:
    void CountEntry(std::size_t& counter);
    void CheckGroup(std::size_t number, std::string_view line);
    void CheckEndGroup(std::size_t number, std::string_view line);
    void CheckAddress(std::size_t number, std::string_view line);
    void Note(std::size_t number, const char* reason) {
        report_.findings.push_back({number, reason});
    }

    CheckReport report_;
    std::vector<std::size_t> openGroups_; // line numbers of the GROUP lines still open
};

void BookChecker::AddLine(std::size_t number, std::string_view rawLine) {
    std::string_view line = TrimLeadingBlanks(rawLine);
    switch (ClassifyLine(line)) {
    case LineKind::Ignored:
        break;
    case LineKind::Comment:
        Note(number, kComment);
        break;
    case LineKind::Group:
        CheckGroup(number, line);
        break;
    case LineKind::EndGroup:
        CheckEndGroup(number, line);
        break;
    case LineKind::Separator:
        CountEntry(report_.separators);
        if (HasText(line.substr(kOtherKeywords)))
            Note(number, kSeparatorText);
        break;
    case LineKind::Address:
        CheckAddress(number, line);
        break;
    }
}

void BookChecker::CountEntry(std::size_t& counter) {
    ++counter;
    report_.deepestNesting = std::max(report_.deepestNesting, openGroups_.size());
}

// No entry is made here: the check looks at a million lines in the time a plain line count
// takes.
void BookChecker::CheckGroup(std::size_t number, std::string_view line) {
    CountEntry(report_.groups);
    openGroups_.push_back(number);
    std::string_view afterKeyword = line.substr(kGroupKeyword);
    const std::string_view name = GroupName(line);
    // An empty name comes back as "GROUP ", which holds nothing more than "GROUP" did.
    if (name.empty())
        return;
    if (afterKeyword.size() == name.size() + 1 && afterKeyword.front() == ' ')
        return;
    Note(number, IsBlank(afterKeyword.front()) ? kGroupBlanks : kGroupNoSpace);
}

void BookChecker::CheckEndGroup(std::size_t number, std::string_view line) {
    if (openGroups_.empty()) {
        Note(number, kStrayEndGroup);
        return;
    }
    openGroups_.pop_back();
    if (HasText(line.substr(kOtherKeywords)))
        Note(number, kEndGroupText);
}

// The reader splits what follows the colon, leading blanks trimmed, at its commas: the
// addresses and their commas are that text whole.
void BookChecker::CheckAddress(std::size_t number, std::string_view line) {
    CountEntry(report_.addresses);
    const std::size_t colon = line.find(kNameEnd);
    if (colon == std::string_view::npos) {
        Note(number, kNoColon);
        return;
    }
    const std::string_view afterColon = line.substr(colon + 1);
    const std::size_t addressText = TrimLeadingBlanks(afterColon).size();
    const std::size_t lostBlanks = afterColon.size() - addressText;
    // The writer puts one space after the colon: missing, it is merely added.
    if (addressText == 0 || lostBlanks == 0 || (lostBlanks == 1 && afterColon.front() == ' '))
        return;
    Note(number, kAddressBlanks);
}

CheckReport BookChecker::Finish() {
    std::vector<CheckFinding> unclosed;
    unclosed.reserve(openGroups_.size());
    for (std::size_t number : openGroups_)
        unclosed.push_back({number, kUnclosed});
    // Both lists are in line order already; merging keeps the whole report linear.
    std::vector<CheckFinding> merged;
    merged.reserve(report_.findings.size() + unclosed.size());
    std::merge(report_.findings.begin(), report_.findings.end(), unclosed.begin(), unclosed.end(),
               std::back_inserter(merged),
               [](const CheckFinding& a, const CheckFinding& b) { return a.line < b.line; });
    report_.findings = std::move(merged);
    return std::move(report_);
}

} // namespace

CheckReport CheckBook(std::istream& in) {
    LineReader reader(in);
    BookChecker checker;
    std::string_view line;
    while (reader.Next(line))
        checker.AddLine(reader.LineNumber(), line);
    return checker.Finish();
}

void PrintCheckReport(const CheckReport& report, std::ostream& out) {
    out << "groups: " << report.groups << '\n'
        << "addresses: " << report.addresses << '\n'
        << "separators: " << report.separators << '\n'
        << "deepest nesting: " << report.deepestNesting << '\n';
    for (const CheckFinding& finding : report.findings)
        out << "line " << finding.line << ": " << finding.reason << '\n';
}
