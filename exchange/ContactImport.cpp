#include "ContactImport.h"

#include "ContactBuilder.h"
#include "ContactRecord.h"
#include "Utf8.h"

#include <utility>

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

std::string EnglishText(ImportProblem problem, const std::string& detail) {
    switch (problem) {
    case ImportProblem::NotUtf8:
        return "not UTF-8";
    case ImportProblem::LdifNotReadable:
        return "LDIF is written only, never read";
    case ImportProblem::PropertyWithoutColon:
        return "property without ':'";
    case ImportProblem::InvalidBase64:
        return "invalid base64 value";
    case ImportProblem::UnsupportedCharset:
        return "unsupported CHARSET " + detail;
    case ImportProblem::ExpectedBeginVCard:
        return "expected BEGIN:VCARD";
    case ImportProblem::EndVCardWithoutBegin:
        return "END:VCARD without BEGIN:VCARD";
    case ImportProblem::BeginVCardInsideCard:
        return "BEGIN:VCARD inside a card";
    case ImportProblem::CardNotClosed:
        return "card not closed by END:VCARD";
    case ImportProblem::CsvHeaderMissing:
        return "the first line must be the header Group,Name,Addresses";
    case ImportProblem::CsvFieldCount:
        return "expected 3 fields, found " + detail;
    case ImportProblem::CsvQuoteInUnquotedField:
        return "quote inside an unquoted field";
    case ImportProblem::CsvTextAfterClosingQuote:
        return "text after a closing quote";
    case ImportProblem::CsvQuotedFieldNotClosed:
        return "quoted field not closed";
    case ImportProblem::InvalidShiftJis:
        return "invalid Shift_JIS value";
    case ImportProblem::GroupPathTooDeep:
        return "group path deeper than " + detail + " levels";
    }
    return "malformed input";
}

} // namespace

ImportError::ImportError(ImportProblem problem, std::size_t line, std::string detail)
    : runtime_error("line " + std::to_string(line) + ": " + EnglishText(problem, detail)),
      problem_(problem), line_(line), detail_(std::move(detail)) {}

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
        throw ImportError(ImportProblem::LdifNotReadable, 1);
    if (text.starts_with(kByteOrderMark))
        text.remove_prefix(kByteOrderMark.size());
    // A vCard may hold Shift_JIS values; its reader checks the rest line by line.
    if (const std::size_t bad =
            format == ContactFormat::Csv ? utf8::FindInvalid(text) : std::string_view::npos;
        bad != std::string_view::npos)
        throw ImportError(ImportProblem::NotUtf8, LineAt(text, bad));

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
