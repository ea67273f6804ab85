#include "ContactImport.h"
#include "ContactRecord.h"
#include "CsvFormulaMark.h"

#include <algorithm>
#include <utility>

namespace {

constexpr std::string_view kHeader[] = {"Group", "Name", "Addresses"};
constexpr std::size_t kFields = std::size(kHeader);

[[noreturn]] void Fail(std::size_t line, ImportProblem problem, std::string detail = {}) {
    throw ImportError(problem, line, std::move(detail));
}

// RFC 4180 records: fields split at ",", quoted fields may hold ",", '"' (doubled) and line
// breaks; a quote anywhere else is an error, not text.
class CsvRecords {
public:
    explicit CsvRecords(std::string_view text) : text_(text) {}

    bool AtEnd() const { return at_ == text_.size(); }
    // Editors and other programs leave empty lines between and after the rows.
    void SkipEmptyLines() {
        while (at_ < text_.size() && (text_[at_] == '\r' || text_[at_] == '\n')) {
            at_ += text_.compare(at_, 2, "\r\n") == 0 ? 2 : 1;
            ++line_;
        }
    }
    std::size_t Line() const { return line_; }
    // Reads one record; only when not AtEnd.
    std::vector<std::string> Next() {
        std::vector<std::string> fields;
        for (;;) {
            fields.push_back(AtQuote() ? QuotedField() : PlainField());
            if (csv_formula::IsMarked(fields.back()))
                fields.back().erase(0, 1);
            if (at_ == text_.size())
                return fields;
            if (text_[at_++] == ',')
                continue;
            SkipLineEnd();
            return fields;
        }
    }

private:
    bool AtQuote() const { return at_ < text_.size() && text_[at_] == '"'; }

    std::string PlainField() {
        // A loop, not find_first_of, which calls memchr on its set for every byte.
        const auto stop =
            std::find_if(text_.begin() + static_cast<std::ptrdiff_t>(at_), text_.end(),
                         [](char c) { return c == ',' || c == '\r' || c == '\n'; });
        const auto end = static_cast<std::size_t>(stop - text_.begin());
        const std::string_view field = text_.substr(at_, end - at_);
        if (field.find('"') != std::string_view::npos)
            Fail(line_, ImportProblem::CsvQuoteInUnquotedField);
        at_ = end;
        return std::string(field);
    }

    std::string QuotedField() {
        const std::size_t startLine = line_;
        std::string field;
        for (++at_;;) {
            const std::size_t quote = text_.find('"', at_);
            if (quote == std::string_view::npos)
                Fail(startLine, ImportProblem::CsvQuotedFieldNotClosed);
            CountLines(text_.substr(at_, quote - at_));
            field.append(text_.substr(at_, quote - at_));
            at_ = quote + 1;
            if (!AtQuote())
                break;
            field += '"';
            ++at_;
        }
        if (at_ < text_.size() &&
            std::string_view(",\r\n").find(text_[at_]) == std::string_view::npos)
            Fail(line_, ImportProblem::CsvTextAfterClosingQuote);
        return field;
    }

    // The "\r" that ended the record's last field is taken already.
    void SkipLineEnd() {
        if (text_[at_ - 1] == '\r' && at_ < text_.size() && text_[at_] == '\n')
            ++at_;
        ++line_;
    }

    void CountLines(std::string_view quoted) {
        for (std::size_t i = 0; i < quoted.size(); ++i) {
            if (quoted[i] == '\n' ||
                (quoted[i] == '\r' && (i + 1 == quoted.size() || quoted[i + 1] != '\n')))
                ++line_;
        }
    }

    std::string_view text_;
    std::size_t at_ = 0;
    std::size_t line_ = 1;
};

bool IsHeader(const std::vector<std::string>& fields) {
    if (fields.size() != kFields)
        return false;
    for (std::size_t i = 0; i < kFields; ++i) {
        if (fields[i] != kHeader[i])
            return false;
    }
    return true;
}

// The addresses part as the book splits it: at every ",", an empty part giving one empty
// address.
std::vector<std::string> SplitAddresses(std::string_view part) {
    std::vector<std::string> addresses;
    for (std::size_t comma; (comma = part.find(',')) != std::string_view::npos;) {
        addresses.emplace_back(part.substr(0, comma));
        part.remove_prefix(comma + 1);
    }
    addresses.emplace_back(part);
    return addresses;
}

} // namespace

void ReadCsv(std::string_view text, const TakeRecord& take) {
    CsvRecords records(text);
    if (records.AtEnd() || !IsHeader(records.Next()))
        Fail(1, ImportProblem::CsvHeaderMissing);
    for (records.SkipEmptyLines(); !records.AtEnd(); records.SkipEmptyLines()) {
        const std::size_t line = records.Line();
        std::vector<std::string> fields = records.Next();
        if (fields.size() != kFields)
            Fail(line, ImportProblem::CsvFieldCount, std::to_string(fields.size()));
        take({line, std::move(fields[0]), std::move(fields[1]), SplitAddresses(fields[2])});
    }
}
