#include "RoundTrip.h"

#include "BookFormat.h"

#include <string>

namespace {

// The characters that end a line, a name or an address when ReadBook splits a line.
bool EndsLine(char c) {
    return c == '\r' || c == '\n';
}

char SplitterAt(TextPlace place) {
    switch (place) {
    case TextPlace::EntryName:
        return kNameEnd;
    case TextPlace::FirstAddress:
    case TextPlace::LaterAddress:
        return kAddressSeparator;
    case TextPlace::GroupName:
        break;
    }
    return '\n'; // a group name is the rest of its line: only line ends split it
}

RoundTripFault SplitFault(char c) {
    if (EndsLine(c))
        return RoundTripFault::LineBreak;
    return c == kNameEnd ? RoundTripFault::NameColon : RoundTripFault::AddressComma;
}

// The reader takes leading blanks away from every line, after "GROUP" and after ": ", so
// only an address after a "," keeps them.
bool LosesLeadingBlanks(TextPlace place) {
    return place != TextPlace::LaterAddress;
}

// How long the keyword is that a line starting with the name reads as, or 0 for an address
// line. The line is classified as the reader would classify what the writer writes; no
// keyword holds ":", so the name's first bytes alone decide.
std::size_t KeywordLength(std::string_view name) {
    constexpr std::size_t kLongestKeyword = 9;
    std::string line(name.substr(0, kLongestKeyword));
    line += kNameEnd;
    line += ' ';
    switch (ClassifyLine(line)) {
    case LineKind::Comment:
        return 1;
    case LineKind::Group:
        return 5;
    case LineKind::EndGroup:
    case LineKind::Separator:
        return kLongestKeyword;
    default:
        return 0;
    }
}

} // namespace

RoundTripCheck CheckRoundTrip(std::string_view text, TextPlace place, std::size_t from) {
    if (from == 0 && !text.empty()) {
        if (LosesLeadingBlanks(place) && IsBlank(text.front()))
            return {RoundTripFault::LeadingBlank, 0, 1};
        if (place == TextPlace::EntryName) {
            if (const std::size_t keyword = KeywordLength(text))
                return {RoundTripFault::Keyword, 0, keyword};
        }
    }
    const char splitter = SplitterAt(place);
    for (std::size_t at = from; at < text.size(); ++at) {
        const char c = text[at];
        if (c == splitter || EndsLine(c))
            return {SplitFault(c), at, 1};
    }
    return {};
}
