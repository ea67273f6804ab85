#include "ContactImport.h"
#include "ContactRecord.h"
#include "TextLines.h"
#include "Utf8.h"
#include "framework/Cp932.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <utility>

namespace {

[[noreturn]] void Fail(std::size_t line, ImportProblem problem, std::string detail = {}) {
    throw ImportError(problem, line, std::move(detail));
}

// Whether text is word, which is in capitals, in any case.
bool IsWord(std::string_view text, std::string_view word) {
    return text.size() == word.size() &&
           std::equal(text.begin(), text.end(), word.begin(), [](char c, char capital) {
               return (c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c) == capital;
           });
}

std::string Upper(std::string_view text) {
    std::string upper(text);
    for (char& c : upper) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    }
    return upper;
}

std::string_view TrimmedBlanks(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

// One property with its folded lines and soft line breaks joined.
struct ContentLine {
    std::size_t number = 0;
    // The input line itself, or joined when the property goes on over more lines.
    std::string_view text;
    std::string joined;
    // Where each input line after the first starts in text, and its number.
    std::vector<std::pair<std::size_t, std::size_t>> continuations;

    std::size_t LineAt(std::size_t offset) const {
        const auto after =
            std::upper_bound(continuations.begin(), continuations.end(), offset,
                             [](std::size_t at, const std::pair<std::size_t, std::size_t>& c) {
                                 return at < c.first;
                             });
        return after == continuations.begin() ? number : std::prev(after)->second;
    }
};

// vCard 2.1 marks quoted-printable values in the parameters, before the first ":"; known
// keeps the answer, so a value with many soft line breaks is looked at once.
bool IsQuotedPrintable(std::string_view line, std::optional<bool>& known) {
    if (!known) {
        const std::string head = Upper(line.substr(0, line.find(':')));
        known = head.find("QUOTED-PRINTABLE") != std::string::npos;
    }
    return *known;
}

bool IsFolded(std::string_view line) {
    return !line.empty() && (line.front() == ' ' || line.front() == '\t');
}

// Unfolding takes away the line break and, from 3.0 on, the one blank that follows it;
// vCard 2.1 folds before a blank that belongs to the value, so there the blank stays. A
// quoted-printable line ending in "=" goes on at the start of the next line, unless that line
// ends the card: a writer that put a soft line break after the last value did not mean to
// take the card's end into it.
// Most properties stand on one line: those are viewed where they are, and only a property
// that goes on over more lines is copied to be joined.
bool NextContentLine(TextLines& lines, ContentLine& content, bool keepFoldBlank) {
    if (lines.AtEnd())
        return false;
    content.text = lines.Take();
    content.number = lines.Number();
    content.continuations.clear();
    std::optional<bool> quotedPrintable;
    bool joining = false;
    while (!lines.AtEnd()) {
        const std::string_view next = lines.Peek();
        const bool softBreak = !content.text.empty() && content.text.back() == '=' &&
                               IsQuotedPrintable(content.text, quotedPrintable);
        if (softBreak && IsWord(TrimmedBlanks(next), "END:VCARD")) {
            content.text.remove_suffix(1);
            break;
        }
        if (!softBreak && !IsFolded(next))
            break;
        if (!joining) {
            content.joined.assign(content.text);
            joining = true;
        }
        if (softBreak) {
            content.joined.pop_back(); // the next line goes on verbatim
            content.continuations.emplace_back(content.joined.size(), lines.Number() + 1);
            content.joined.append(next);
        } else {
            content.continuations.emplace_back(content.joined.size(), lines.Number() + 1);
            content.joined.append(next.substr(keepFoldBlank ? 0 : 1));
        }
        content.text = content.joined;
        lines.Take();
    }
    return true;
}

// Of the parameters only the first ENCODING and the first CHARSET are ever asked for. All
// parts view the content line, as written: compare them in any case (IsWord).
struct Property {
    std::string_view name; // without its group prefix
    std::string_view value;
    std::string_view encoding; // empty when none is named
    std::string_view charset;  // empty when none is named
};

// Takes a parameter into property unless one of its name came before. vCard 2.1 writes
// some parameters bare: "TEL;CELL:", "NOTE;QUOTED-PRINTABLE:".
void TakeParameter(std::string_view text, Property& property, bool& hasEncoding, bool& hasCharset) {
    const auto take = [](std::string_view value, std::string_view& into, bool& has) {
        if (!has)
            into = value;
        has = true;
    };
    const std::size_t equals = text.find('=');
    if (equals == std::string_view::npos) {
        if (IsWord(text, "QUOTED-PRINTABLE") || IsWord(text, "BASE64") || IsWord(text, "8BIT") ||
            IsWord(text, "7BIT"))
            take(text, property.encoding, hasEncoding);
        return;
    }
    const std::string_view name = text.substr(0, equals);
    std::string_view value = text.substr(equals + 1);
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
        value = value.substr(1, value.size() - 2);
    if (IsWord(name, "ENCODING"))
        take(value, property.encoding, hasEncoding);
    else if (IsWord(name, "CHARSET"))
        take(value, property.charset, hasCharset);
}

// NAME *(";" PARAM) ":" VALUE, the name perhaps behind a group ("item1.EMAIL"); a quoted
// parameter value may hold ";" and ":". nullopt when there is no ":" to end the parameters.
std::optional<Property> ParsedProperty(std::string_view text) {
    const std::size_t nameEnd = static_cast<std::size_t>(
        std::find_if(text.begin(), text.end(), [](char c) { return c == ';' || c == ':'; }) -
        text.begin());
    if (nameEnd == text.size())
        return std::nullopt;
    std::string_view name = text.substr(0, nameEnd);
    if (const std::size_t dot = name.rfind('.'); dot != std::string_view::npos)
        name.remove_prefix(dot + 1);
    Property property{name, {}, {}, {}};
    bool hasEncoding = false;
    bool hasCharset = false;
    std::size_t at = nameEnd;
    while (text[at] == ';') {
        const std::size_t start = ++at;
        for (bool quoted = false;
             at < text.size() && (quoted || (text[at] != ';' && text[at] != ':')); ++at)
            quoted ^= text[at] == '"';
        if (at == text.size())
            return std::nullopt;
        TakeParameter(text.substr(start, at - start), property, hasEncoding, hasCharset);
    }
    property.value = text.substr(at + 1);
    return property;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

std::string QuotedPrintableDecoded(std::string_view value) {
    std::string bytes;
    bytes.reserve(value.size());
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '=' && i + 2 < value.size()) {
            const int high = HexValue(value[i + 1]);
            const int low = HexValue(value[i + 2]);
            if (high >= 0 && low >= 0) {
                bytes += static_cast<char>(high * 16 + low);
                i += 2;
                continue;
            }
        }
        bytes += value[i]; // a "=" that starts no escape is kept
    }
    return bytes;
}

int Base64Value(char c) {
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    return c == '+' ? 62 : c == '/' ? 63 : -1;
}

std::string Base64Decoded(std::string_view value, std::size_t line) {
    std::string bytes;
    std::uint32_t bits = 0;
    int count = 0;
    for (char c : value) {
        if (c == ' ' || c == '\t' || c == '=')
            continue;
        const int digit = Base64Value(c);
        if (digit < 0)
            Fail(line, ImportProblem::InvalidBase64);
        bits = (bits << 6) | static_cast<std::uint32_t>(digit);
        if (++count == 4) {
            bytes += static_cast<char>(bits >> 16);
            bytes += static_cast<char>(bits >> 8);
            bytes += static_cast<char>(bits);
            bits = 0;
            count = 0;
        }
    }
    if (count == 1)
        Fail(line, ImportProblem::InvalidBase64);
    if (count >= 2)
        bytes += static_cast<char>(bits >> (6 * count - 8));
    if (count == 3)
        bytes += static_cast<char>(bits >> 2);
    return bytes;
}

bool IsShiftJis(std::string_view charset) {
    for (std::string_view alias :
         {"SHIFT_JIS", "SHIFT-JIS", "SJIS", "CP932", "WINDOWS-31J", "MS_KANJI", "X-SJIS"}) {
        if (IsWord(charset, alias))
            return true;
    }
    return false;
}

std::string Latin1ToUtf8(std::string_view bytes) {
    std::string text;
    for (char c : bytes)
        utf8::Append(text, static_cast<unsigned char>(c));
    return text;
}

std::string ShiftJisToUtf8(std::string_view bytes, std::size_t line) {
    std::string text = Cp932ToUtf8(bytes);
    // The codec marks what it cannot read with U+FFFD, which no CP932 character maps to.
    if (text.find("\xEF\xBF\xBD") != std::string::npos)
        Fail(line, ImportProblem::InvalidShiftJis);
    return text;
}

bool IsQuotedPrintableEncoded(const Property& property) {
    return IsWord(property.encoding, "QUOTED-PRINTABLE");
}

bool IsBase64Encoded(const Property& property) {
    return IsWord(property.encoding, "B") || IsWord(property.encoding, "BASE64");
}

// Phones write Shift_JIS values as they are, naming the charset but no transfer encoding.
bool IsRawShiftJis(const Property& property) {
    return !property.charset.empty() && !IsQuotedPrintableEncoded(property) &&
           !IsBase64Encoded(property) && IsShiftJis(property.charset);
}

std::string InUtf8(std::string bytes, std::string_view charset, std::size_t line) {
    if (IsShiftJis(charset))
        return ShiftJisToUtf8(bytes, line);
    if (IsWord(charset, "ISO-8859-1") || IsWord(charset, "LATIN1"))
        return Latin1ToUtf8(bytes);
    if (!charset.empty() && !IsWord(charset, "UTF-8") && !IsWord(charset, "UTF8") &&
        !IsWord(charset, "US-ASCII"))
        Fail(line, ImportProblem::UnsupportedCharset, Upper(charset));
    if (utf8::FindInvalid(bytes) != std::string::npos)
        Fail(line, ImportProblem::NotUtf8);
    return bytes;
}

// The value with its transfer encoding undone, as UTF-8; still escaped. A plain value, the
// usual one, is the property's own (its line is known to be UTF-8); a decoded one is kept
// in bytes.
std::string_view DecodedValue(const Property& property, std::size_t line, std::string& bytes) {
    if (IsQuotedPrintableEncoded(property))
        bytes = InUtf8(QuotedPrintableDecoded(property.value), property.charset, line);
    else if (IsBase64Encoded(property))
        bytes = InUtf8(Base64Decoded(property.value, line), property.charset, line);
    else if (IsRawShiftJis(property))
        bytes = ShiftJisToUtf8(property.value, line);
    else
        return property.value;
    return bytes;
}

// The property of a non-blank content line. Only a raw Shift_JIS value may hold bytes that
// are not UTF-8.
Property PropertyOf(const ContentLine& content) {
    std::optional<Property> property = ParsedProperty(content.text);
    const std::size_t bad = utf8::FindInvalid(content.text);
    if (bad != std::string::npos &&
        !(property && IsRawShiftJis(*property) &&
          bad >= static_cast<std::size_t>(property->value.data() - content.text.data())))
        Fail(content.LineAt(bad), ImportProblem::NotUtf8);
    if (!property)
        Fail(content.number, ImportProblem::PropertyWithoutColon);
    return *property;
}

// "\\", "\,", "\;", "\:" and "\n" or "\N" stand for the character and a line break; any
// other backslash is kept as it is. The text between backslashes, most often all of it,
// goes over in one piece.
std::string Unescaped(std::string_view text) {
    std::string plain;
    plain.reserve(text.size());
    for (std::size_t backslash = text.find('\\'); backslash != std::string_view::npos;
         backslash = text.find('\\')) {
        plain.append(text.substr(0, backslash));
        const char next = backslash + 1 < text.size() ? text[backslash + 1] : '\0';
        const bool escape =
            next == '\\' || next == ',' || next == ';' || next == ':' || next == 'n' || next == 'N';
        plain += !escape ? '\\' : (next == 'n' || next == 'N') ? '\n' : next;
        text.remove_prefix(backslash + (escape ? 2 : 1));
    }
    plain.append(text);
    return plain;
}

// Where the first separator no backslash escapes stands, or the end of text.
std::size_t UnescapedSeparator(std::string_view text, char separator) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\')
            ++i;
        else if (text[i] == separator)
            return i;
    }
    return text.size();
}

// The pieces of a list or structured value, split at each separator no backslash escapes.
std::vector<std::string_view> SplitUnescaped(std::string_view text, char separator) {
    std::vector<std::string_view> pieces;
    for (;;) {
        const std::size_t end = UnescapedSeparator(text, separator);
        pieces.push_back(text.substr(0, end));
        if (end == text.size())
            return pieces;
        text.remove_prefix(end + 1);
    }
}

void AppendWord(std::string& text, std::string_view word) {
    if (word.empty())
        return;
    if (!text.empty())
        text += ' ';
    text += word;
}

// N is "family;given;additional;prefixes;suffixes": the first three, in that order.
std::string NameFromStructured(std::string_view value) {
    std::string name;
    const std::vector<std::string_view> components = SplitUnescaped(value, ';');
    for (std::size_t i = 0; i < components.size() && i < 3; ++i) {
        for (std::string_view item : SplitUnescaped(components[i], ','))
            AppendWord(name, Unescaped(item));
    }
    return name;
}

std::string WithoutTelScheme(std::string number) {
    if (IsWord(std::string_view(number).substr(0, 4), "TEL:"))
        number.erase(0, 4);
    return number;
}

struct Card {
    std::size_t line = 0;
    bool version21 = false;
    std::string formattedName;
    std::optional<std::string> structuredName;
    std::string category;
    std::vector<std::string> addresses;
    std::vector<bool> isNote; // beside addresses
    bool writtenByTellwick = false;
};

// Another program's NOTE is a remark (often lines long), not one of the addresses.
void DropForeignNotes(Card& card) {
    if (card.writtenByTellwick)
        return;
    std::size_t kept = 0;
    for (std::size_t i = 0; i < card.addresses.size(); ++i) {
        if (card.isNote[i])
            continue;
        if (kept != i)
            card.addresses[kept] = std::move(card.addresses[i]);
        ++kept;
    }
    card.addresses.resize(kept);
}

class CardReader {
public:
    explicit CardReader(const TakeRecord& take) : take_(take) {}

    void Read(std::string_view text) {
        TextLines lines(text);
        ContentLine content;
        while (NextContentLine(lines, content, card_ && card_->version21)) {
            if (!TrimmedBlanks(content.text).empty())
                Handle(PropertyOf(content), content.number);
        }
        if (card_)
            Fail(card_->line, ImportProblem::CardNotClosed);
    }

private:
    void Handle(const Property& property, std::size_t line) {
        const bool cardWord = IsWord(TrimmedBlanks(property.value), "VCARD");
        const bool end = cardWord && IsWord(property.name, "END");
        if (cardWord && IsWord(property.name, "BEGIN")) {
            if (card_)
                Fail(line, ImportProblem::BeginVCardInsideCard);
            card_.emplace().line = line;
        } else if (!card_) {
            Fail(line,
                 end ? ImportProblem::EndVCardWithoutBegin : ImportProblem::ExpectedBeginVCard);
        } else if (end) {
            Finish();
        } else {
            TakeProperty(property, line);
        }
    }

    void TakeProperty(const Property& property, std::size_t line) {
        Card& card = *card_;
        const std::string_view name = property.name;
        const auto value = [&] { return DecodedValue(property, line, decoded_); };
        if (IsWord(name, "VERSION")) {
            card.version21 = TrimmedBlanks(property.value) == "2.1";
        } else if (IsWord(name, "FN")) {
            if (card.formattedName.empty())
                card.formattedName = Unescaped(value());
        } else if (IsWord(name, "N")) {
            if (!card.structuredName)
                card.structuredName = NameFromStructured(value());
        } else if (IsWord(name, "CATEGORIES")) {
            if (card.category.empty()) {
                const std::string_view categories = value();
                card.category =
                    Unescaped(categories.substr(0, UnescapedSeparator(categories, ',')));
            }
        } else if (IsWord(name, "PRODID")) {
            card.writtenByTellwick = TrimmedBlanks(property.value) == kOwnProductId;
        } else if (const bool note = IsWord(name, "NOTE"); note || IsWord(name, "EMAIL")) {
            card.addresses.push_back(Unescaped(value()));
            card.isNote.push_back(note);
        } else if (IsWord(name, "TEL")) {
            card.addresses.push_back(WithoutTelScheme(Unescaped(value())));
            card.isNote.push_back(false);
        }
    }

    void Finish() {
        Card& card = *card_;
        DropForeignNotes(card);
        ContactRecord record{card.line, std::move(card.category), std::move(card.formattedName),
                             std::move(card.addresses)};
        if (record.name.empty() && card.structuredName)
            record.name = std::move(*card.structuredName);
        card_.reset();
        take_(std::move(record));
    }

    const TakeRecord& take_;
    std::optional<Card> card_;
    std::string decoded_; // the last value that had to be decoded
};

} // namespace

void ReadVCards(std::string_view text, const TakeRecord& take) {
    CardReader(take).Read(text);
}
