#include "ContactWriters.h"
#include "CsvFormulaMark.h"

#include <algorithm>

namespace {

// RFC 4180: a field holding a comma, a quote or a line break is quoted, its quotes doubled.
// Text a spreadsheet would run as a formula gets its mark first.
void AppendField(std::string& out, std::string_view text) {
    const std::string field =
        csv_formula::NeedsMark(text) ? "'" + std::string(text) : std::string(text);
    if (std::none_of(field.begin(), field.end(),
                     [](char c) { return c == ',' || c == '"' || c == '\r' || c == '\n'; })) {
        out.append(field);
        return;
    }
    out += '"';
    for (char c : field) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
}

std::string Joined(const std::vector<std::string>& addresses) {
    std::string joined;
    for (std::size_t i = 0; i < addresses.size(); ++i) {
        if (i > 0)
            joined += ',';
        joined += addresses[i];
    }
    return joined;
}

} // namespace

void AppendCsvHeader(std::string& out) {
    out += "Group,Name,Addresses\r\n";
}

void AppendCsvRow(const ExportedContact& contact, std::string& out) {
    AppendField(out, contact.groupPath);
    out += ',';
    AppendField(out, contact.name);
    out += ',';
    AppendField(out, Joined(contact.addresses));
    out += "\r\n";
}
