#include "AddressKind.h"
#include "ContactRecord.h"
#include "ContactWriters.h"
#include "Utf8.h"

namespace {

constexpr std::size_t kLineOctets = 75;
constexpr std::string_view kReplacement = "\xEF\xBF\xBD"; // U+FFFD

// Text value escaping of RFC 6350: backslash, comma and semicolon get a backslash, a line
// break becomes "\n". Other control characters cannot appear in a vCard value at all and
// are written as U+FFFD, like bytes that are not CP932.
std::string EscapedText(std::string_view text) {
    std::string escaped;
    escaped.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\\' || c == ',' || c == ';') {
            escaped += '\\';
            escaped += c;
        } else if (c == '\r' || c == '\n') {
            escaped += "\\n";
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
        } else if ((static_cast<unsigned char>(c) < 0x20 && c != '\t') || c == 0x7F) {
            escaped += kReplacement;
        } else {
            escaped += c;
        }
    }
    return escaped;
}

// Where a folded piece of line may end: at most limit octets on, never inside a UTF-8
// sequence.
std::size_t PieceEnd(std::string_view line, std::size_t from, std::size_t limit) {
    std::size_t end = from + limit;
    if (end >= line.size())
        return line.size();
    while (end > from && utf8::IsContinuation(line[end]))
        --end;
    return end > from ? end : from + limit; // only reached for text that is not UTF-8
}

// Appends a content line folded to 75 octets a line: the continuation lines start with a
// space, which counts towards their 75.
void AppendFolded(std::string& out, std::string_view line) {
    std::size_t from = 0;
    std::size_t end = PieceEnd(line, from, kLineOctets);
    out.append(line.substr(0, end));
    out += "\r\n";
    for (from = end; from < line.size(); from = end) {
        end = PieceEnd(line, from, kLineOctets - 1);
        out += ' ';
        out.append(line.substr(from, end - from));
        out += "\r\n";
    }
}

void AppendProperty(std::string& out, std::string_view name, std::string_view value) {
    std::string line(name);
    line += ':';
    line += EscapedText(value);
    AppendFolded(out, line);
}

std::string_view PropertyFor(std::string_view address) {
    switch (ClassifyAddress(address)) {
    case AddressKind::Email:
        return "EMAIL";
    case AddressKind::Telephone:
        return "TEL";
    case AddressKind::Other:
        break;
    }
    return "NOTE";
}

bool OnlyAnEmptyAddress(const ExportedContact& contact) {
    return contact.addresses.size() == 1 && contact.addresses.front().empty();
}

} // namespace

void AppendVCard(const ExportedContact& contact, std::string& out) {
    out += "BEGIN:VCARD\r\nVERSION:4.0\r\n";
    AppendProperty(out, "PRODID", kOwnProductId);
    AppendProperty(out, "FN", contact.name);
    if (!contact.groupPath.empty())
        AppendProperty(out, "CATEGORIES", contact.groupPath);
    if (!OnlyAnEmptyAddress(contact)) {
        for (const std::string& address : contact.addresses)
            AppendProperty(out, PropertyFor(address), address);
    }
    out += "END:VCARD\r\n";
}
