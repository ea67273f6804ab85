#include "ContactImport.h"

#include "ContactBuilder.h"
#include "ContactRecord.h"
#include "Utf8.h"

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

} // namespace

std::size_t LineAt(std::string_view text, std::size_t offset) {
    std::size_t line = 1;
    for (std::size_t i = 0; i < offset && i < text.size(); ++i) {
        if (text[i] == '\n' || (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n')))
            ++line;
    }
    return line;
}

ImportReport ImportContacts(ContactFormat format, std::string_view text, EntryTree& into,
                            bool replaceUnencodable) {
    if (format == ContactFormat::Ldif)
        throw ImportError("line 1: LDIF is written only, never read");
    if (text.starts_with(kByteOrderMark))
        text.remove_prefix(kByteOrderMark.size());
    if (const std::size_t bad = utf8::FindInvalid(text); bad != std::string_view::npos)
        throw ImportError("line " + std::to_string(LineAt(text, bad)) + ": not UTF-8");

    EntryTree imported;
    ImportReport report;
    ContactBuilder builder(imported, replaceUnencodable, report);
    const TakeRecord take = [&builder](ContactRecord&& record) { builder.Add(record); };
    if (format == ContactFormat::VCard)
        ReadVCards(text, take);
    else
        ReadCsv(text, take);
    if (report.unencodable.empty() || replaceUnencodable)
        into.TakeBookAfter(imported, nullptr);
    return report;
}
