#include "GroupPath.h"

namespace group_path {

namespace {

// True when text[at] is a "%" followed by "2" and the given digit or letter (either case).
bool IsEscape(std::string_view text, std::size_t at, char digit) {
    return text[at] == '%' && at + 2 < text.size() && text[at + 1] == '2' &&
           (text[at + 2] | 0x20) == (digit | 0x20);
}

} // namespace

// "%25" and "%2F" (either letter case) stand for "%" and "/"; any other "%" is itself, so
// categories that other clients write with a "%" in them come through unchanged.
std::string NameOf(std::string_view piece) {
    if (piece == "%")
        return {};
    std::string name;
    name.reserve(piece.size());
    for (std::size_t i = 0; i < piece.size(); ++i) {
        if (IsEscape(piece, i, '5')) {
            name += '%';
            i += 2;
        } else if (IsEscape(piece, i, 'F')) {
            name += '/';
            i += 2;
        } else {
            name += piece[i];
        }
    }
    return name;
}

void AppendName(std::string& path, std::string_view name, bool first) {
    if (!first)
        path += '/';
    if (name.empty()) {
        path += '%';
        return;
    }
    for (char c : name) {
        if (c == '%')
            path += "%25";
        else if (c == '/')
            path += "%2F";
        else
            path += c;
    }
}

} // namespace group_path
