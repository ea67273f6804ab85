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
    std::string text;
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
bool NextContentLine(TextLines& lines, ContentLine& content, bool keepFoldBlank) {
    if (lines.AtEnd())
        return false;
    content.text.assign(lines.Take());
    content.number = lines.Number();
    content.continuations.clear();
    std::optional<bool> quotedPrintable;
    while (!lines.AtEnd()) {
        const std::string_view next = lines.Peek();
        const bool softBreak = !content.text.empty() && content.text.back() == '=' &&
                               IsQuotedPrintable(content.text, quotedPrintable);
        if (softBreak && IsWord(TrimmedBlanks(next), "END:VCARD")) {
            content.text.pop_back();
            break;
        }
        if (softBreak) {
            content.text.pop_back(); // the next line goes on verbatim
            content.continuations.emplace_back(content.text.size(), lines.Number() + 1);
            content.text.append(next);
        } else if (IsFolded(next)) {
            content.continuations.emplace_back(content.text.size(), lines.Number() + 1);
            content.text.append(next.substr(keepFoldBlank ? 0 : 1));
        } else {
            break;
        }
        lines.Take();
    }
    return true;
}

struct Parameter {
    std::string name; // upper case
    std::string value;
};

struct Property {
    std::string name; // upper case, without its group prefix
    std::vector<Parameter> parameters;
    std::string_view value;

    std::string Upper(std::string_view parameter) const {
        for (const Parameter& p : parameters) {
            if (p.name == parameter)
                return ::Upper(p.value);
        }
        return {};
    }
};

// vCard 2.1 writes some parameters bare: "TEL;CELL:", "NOTE;QUOTED-PRINTABLE:".
Parameter ParameterOf(std::string_view text) {
    const std::size_t equals = text.find('=');
    if (equals == std::string_view::npos) {
        std::string value = Upper(text);
        const bool encoding =
            value == "QUOTED-PRINTABLE" || value == "BASE64" || value == "8BIT" || value == "7BIT";
        return {encoding ? "ENCODING" : "TYPE", std::move(value)};
    }
    std::string_view value = text.substr(equals + 1);
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
        value = value.substr(1, value.size() - 2);
    return {Upper(text.substr(0, equals)), std::string(value)};
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
    Property property{Upper(name), {}, {}};
    std::size_t at = nameEnd;
    while (text[at] == ';') {
        const std::size_t start = ++at;
        for (bool quoted = false;
             at < text.size() && (quoted || (text[at] != ';' && text[at] != ':')); ++at)
            quoted ^= text[at] == '"';
        if (at == text.size())
            return std::nullopt;
        property.parameters.push_back(ParameterOf(text.substr(start, at - start)));
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
        if (charset == alias)
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

// Phones write Shift_JIS values as they are, naming the charset but no transfer encoding.
bool IsRawShiftJis(const Property& property) {
    const std::string encoding = property.Upper("ENCODING");
    return encoding != "QUOTED-PRINTABLE" && encoding != "B" && encoding != "BASE64" &&
           IsShiftJis(property.Upper("CHARSET"));
}

std::string InUtf8(std::string bytes, const std::string& charset, std::size_t line) {
    if (IsShiftJis(charset))
        return ShiftJisToUtf8(bytes, line);
    if (charset == "ISO-8859-1" || charset == "LATIN1")
        return Latin1ToUtf8(bytes);
    if (!charset.empty() && charset != "UTF-8" && charset != "UTF8" && charset != "US-ASCII")
        Fail(line, ImportProblem::UnsupportedCharset, charset);
    if (utf8::FindInvalid(bytes) != std::string::npos)
        Fail(line, ImportProblem::NotUtf8);
    return bytes;
}

// The value with its transfer encoding undone, as UTF-8; still escaped.
std::string DecodedValue(const Property& property, std::size_t line) {
    const std::string encoding = property.Upper("ENCODING");
    if (encoding == "QUOTED-PRINTABLE")
        return InUtf8(QuotedPrintableDecoded(property.value), property.Upper("CHARSET"), line);
    if (encoding == "B" || encoding == "BASE64")
        return InUtf8(Base64Decoded(property.value, line), property.Upper("CHARSET"), line);
    if (IsRawShiftJis(property))
        return ShiftJisToUtf8(property.value, line);
    return std::string(property.value);
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
    return std::move(*property);
}

// "\\", "\,", "\;", "\:" and "\n" or "\N" stand for the character and a line break; any
// other backslash is kept as it is.
std::string Unescaped(std::string_view text) {
    std::string plain;
    plain.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char next = i + 1 < text.size() ? text[i + 1] : '\0';
        if (text[i] != '\\' || std::string_view("\\,;:nN").find(next) == std::string_view::npos) {
            plain += text[i];
            continue;
        }
        plain += (next == 'n' || next == 'N') ? '\n' : next;
        ++i;
    }
    return plain;
}

// The pieces of a list or structured value, split at each separator no backslash escapes.
std::vector<std::string_view> SplitUnescaped(std::string_view text, char separator) {
    std::vector<std::string_view> pieces;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\') {
            ++i;
        } else if (text[i] == separator) {
            pieces.push_back(text.substr(start, i - start));
            start = i + 1;
        }
    }
    pieces.push_back(text.substr(start));
    return pieces;
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
        if (property.name == "BEGIN" && cardWord) {
            if (card_)
                Fail(line, ImportProblem::BeginVCardInsideCard);
            card_.emplace().line = line;
        } else if (!card_) {
            Fail(line, property.name == "END" && cardWord ? ImportProblem::EndVCardWithoutBegin
                                                          : ImportProblem::ExpectedBeginVCard);
        } else if (property.name == "END" && cardWord) {
            Finish();
        } else {
            TakeProperty(property, line);
        }
    }

    void TakeProperty(const Property& property, std::size_t line) {
        Card& card = *card_;
        const std::string& name = property.name;
        if (name == "VERSION") {
            card.version21 = TrimmedBlanks(property.value) == "2.1";
        } else if (name == "FN" && card.formattedName.empty()) {
            card.formattedName = Unescaped(DecodedValue(property, line));
        } else if (name == "N" && !card.structuredName) {
            card.structuredName = NameFromStructured(DecodedValue(property, line));
        } else if (name == "CATEGORIES" && card.category.empty()) {
            card.category = Unescaped(SplitUnescaped(DecodedValue(property, line), ',').front());
        } else if (name == "PRODID") {
            card.writtenByTellwick = TrimmedBlanks(property.value) == kOwnProductId;
        } else if (name == "EMAIL" || name == "NOTE") {
            card.addresses.push_back(Unescaped(DecodedValue(property, line)));
            card.isNote.push_back(name == "NOTE");
        } else if (name == "TEL") {
            card.addresses.push_back(WithoutTelScheme(Unescaped(DecodedValue(property, line))));
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
};

} // namespace

void ReadVCards(std::string_view text, const TakeRecord& take) {
    CardReader(take).Read(text);
}
