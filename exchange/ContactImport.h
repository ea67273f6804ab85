#pragma once

#include "ContactFormats.h"
#include "model/EntryTree.h"

#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

// A record whose text a book cannot hold as it is.
struct UnencodableText {
    std::size_t record; // 1-based card or row number
    std::size_t line;   // 1-based line of the input where the record starts
    // Characters CP932 cannot store, in UTF-8, each once, in the order seen.
    std::string characters;
    // Characters CP932 has but a book line cannot keep where they stand, each once, in the
    // order seen: a line break anywhere, ":" in an entry's name, "," inside one address, and
    // the first character of a name that would read back as a comment or keyword ("#",
    // "GROUP", "END GROUP", "SEPARATOR").
    std::string misplaced = {};
};

struct ImportReport {
    std::size_t records = 0;                  // cards or rows read
    std::vector<UnencodableText> unencodable; // empty when everything fits
    std::size_t replaced = 0;                 // characters written as "?" (only with replace)
};

// Why input could not be read.
enum class ImportProblem {
    NotUtf8,
    LdifNotReadable,
    PropertyWithoutColon,
    InvalidBase64,
    UnsupportedCharset, // detail: the CHARSET named
    ExpectedBeginVCard,
    EndVCardWithoutBegin,
    BeginVCardInsideCard,
    CardNotClosed,
    CsvHeaderMissing,
    CsvFieldCount, // detail: the number of fields found
    CsvQuoteInUnquotedField,
    CsvTextAfterClosingQuote,
    CsvQuotedFieldNotClosed,
    InvalidShiftJis,  // a value whose CHARSET names Shift_JIS is not valid Shift_JIS
    GroupPathTooDeep, // detail: the most levels a path may have
};

// No address book a person keeps nests this deep; a path deeper than this is refused on
// import, as each level costs the saved book a line of indentation that grows with it.
inline constexpr std::size_t kMaxImportedGroupDepth = 256;

// Malformed input, found at a 1-based line. what() is the English message "line N: ..." for
// the command line; a window words its own message from problem(), line() and detail().
class ImportError : public std::runtime_error {
public:
    ImportError(ImportProblem problem, std::size_t line, std::string detail = {});

    ImportProblem problem() const { return problem_; }
    std::size_t line() const { return line_; }
    // What the problem names (see ImportProblem); empty for the others.
    const std::string& detail() const { return detail_; }

private:
    ImportProblem problem_;
    std::size_t line_;
    std::string detail_;
};

// Reads VCard or Csv text (UTF-8, optional BOM) and appends what it holds to the end of the
// tree's top level (an empty tree is the usual target). When text does not fit and
// replaceUnencodable is false, the tree is left as it was and the report lists the problems;
// with replaceUnencodable every such character is written as "?". On ImportError the tree is
// left as it was. Leading blanks of names, group names and first addresses are dropped, as
// the book cannot keep them.
//
// VCard: versions 2.1, 3.0 and 4.0. Each card gives one address entry: the name from FN, or
//   when FN is missing or empty from N as "family given additional"; EMAIL, TEL and NOTE in
//   the order they appear become its addresses (one empty address when it has none). The
//   first item of the first non-empty CATEGORIES is its group path (GroupPath.h): the groups
//   are made once each, in first-seen order, and a card without one stays at the top level.
//   A TEL written as a "tel:" URI loses the "tel:".
//   A card with neither name nor address still gives an entry, so no card goes missing.
//   QUOTED-PRINTABLE and BASE64 values are decoded, in UTF-8 or the CHARSET they name
//   (Shift_JIS and its aliases, ISO-8859-1); a value without a transfer encoding is read as
//   Shift_JIS bytes when its CHARSET names Shift_JIS, and as UTF-8 otherwise. Group prefixes,
//   parameters and other properties are ignored. Text outside BEGIN:VCARD ... END:VCARD other than
//   blank lines is an error. A quoted-printable soft line break never joins the END:VCARD line.
// Csv: the layout ExportContacts writes: the header "Group,Name,Addresses" exactly, then
//   rows of exactly three fields; the addresses are split at "," as the book splits them.
//   Line ends may be CRLF, LF or CR; the last row may lack one; empty lines are skipped. A
//   field of one or more "'" before "=", "+", "-", "@", a tab or a CR loses one "'" (the
//   mark export puts before text a spreadsheet would run as a formula).
// Either: a group path of more than kMaxImportedGroupDepth names is refused.
// Ldif is written only: importing it throws ImportError.
ImportReport ImportContacts(ContactFormat format, std::string_view text, EntryTree& into,
                            bool replaceUnencodable);
