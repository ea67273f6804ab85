// Fuzzes the address dialog's box text, read from the input both as UTF-8 and as UTF-16 (so
// lone surrogates reach it), against stored addresses of every shape. The addresses must be
// exactly the box's non-blank lines without their edge blanks; each must keep the bytes of an
// unused stored address that shows the same text, or else be encoded without any character
// changed, dropped or stored as a look-alike; exactly the characters CP932 cannot hold must be
// refused; and what is stored must load back into a box that stores the same bytes again.
#include "framework/Cp932.h"
#include "views/AddressText.h"
#include "views/DisplayText.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>
#include <string>
#include <vector>

namespace {

void Require(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "fuzz_addresstext: %s\n", what);
        std::abort();
    }
}

// Stored addresses a box may show: the two forms of 纊, a byte that starts no character,
// half-width kana, a backslash, ソ (whose trail byte is a backslash), blanks around a text,
// blanks only, empty, and plain ASCII.
const std::vector<std::string> kStoredShapes = {"\xED\x40", "\xFA\x5C", "x\x80", "\xB1\xB2", "\\",
                                                "\x83\x5C", " a\t",     " \t",   "",         "a"};

bool IsBlank(QChar c) {
    return c == u' ' || (c >= u'\t' && c <= u'\r');
}

bool IsLineBreak(QChar c) {
    return c == u'\n' || c == u'\r';
}

// The text cut into characters: a surrogate pair is one, any other code unit one.
QStringList Characters(const QString& text) {
    QStringList characters;
    for (qsizetype at = 0; at < text.size();) {
        const qsizetype length =
            at + 1 < text.size() && text[at].isHighSurrogate() && text[at + 1].isLowSurrogate() ? 2
                                                                                                : 1;
        characters << text.mid(at, length);
        at += length;
    }
    return characters;
}

// A character alone: a lone surrogate is no character at all, so CP932 cannot hold it.
bool Storable(const QString& character) {
    return character.isValidUtf16() && Utf8ToCp932(character.toStdString()).has_value();
}

// The characters of `texts` that cannot be stored, each once, in order of first appearance;
// a lone surrogate shows as U+FFFD, so that two of them never read as one pair.
QString Unstorable(const QStringList& texts) {
    QStringList found;
    for (const QString& text : texts) {
        for (const QString& character : Characters(text)) {
            const QString shown =
                character.isValidUtf16() ? character : QString(QChar::ReplacementCharacter);
            if (!found.contains(shown) && !Storable(character))
                found << shown;
        }
    }
    return found.join(QString());
}

// The box text must be blanks, then the addresses with blanks between them, and every run of
// blanks between two addresses must hold a line break: so each address is a whole line
// without its edge blanks, and no line with anything but blanks is missing.
void CheckLines(const QString& text, const QStringList& lines) {
    qsizetype at = 0;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString& line = lines[i];
        Require(!line.isEmpty(), "an empty address");
        Require(!IsBlank(line.front()) && !IsBlank(line.back()), "an address with edge blanks");
        Require(std::none_of(line.begin(), line.end(), IsLineBreak), "an address spans lines");
        bool lineBreak = false;
        for (; at < text.size() && IsBlank(text[at]); ++at)
            lineBreak = lineBreak || IsLineBreak(text[at]);
        Require(i == 0 || lineBreak, "two addresses from one line");
        Require(QStringView(text).sliced(at).startsWith(line), "an address not in the box");
        at += line.size();
        Require(at == text.size() || IsBlank(text[at]), "an address cut short");
    }
    for (; at < text.size(); ++at)
        Require(IsBlank(text[at]), "text after the last address lost");
}

// Bytes encoded afresh for `text`: valid CP932 that shows as many characters, with every
// ASCII character of either in the same place, and that encodes to itself again.
void CheckFreshBytes(const QString& text, const std::string& bytes) {
    const QString shown = DisplayText(bytes);
    Require(!shown.contains(QChar::ReplacementCharacter), "encoded bytes that do not decode");
    const QList<uint> typed = text.toUcs4();
    const QList<uint> decoded = shown.toUcs4();
    Require(typed.size() == decoded.size(), "a character dropped or added in encoding");
    for (qsizetype i = 0; i < typed.size(); ++i) {
        if (typed[i] < 0x80 || decoded[i] < 0x80)
            Require(typed[i] == decoded[i], "a character stored as a look-alike");
    }
    Require(Utf8ToCp932(shown.toStdString()) == bytes, "encoded bytes do not encode alike");
    Require(bytes.find_first_of("\r\n") == std::string::npos, "a line break in stored bytes");
}

// A name goes through the same encoding: it fails exactly when some character is refused.
void CheckEncodeText(const QString& text) {
    QString refused;
    const std::optional<std::string> bytes = EncodeText(text, refused);
    Require(refused == Unstorable({text}), "refused characters differ from the unstorable");
    Require(bytes.has_value() == refused.isEmpty(), "refusal and failure disagree");
    if (bytes && !text.contains(u'\r') && !text.contains(u'\n'))
        CheckFreshBytes(text, *bytes);
}

// Which stored address each line must keep: per shown text, the stored ones in order.
std::vector<const std::string*> ExpectedKept(const QStringList& lines,
                                             const std::vector<std::string>& stored) {
    std::map<QString, std::deque<const std::string*>> byText;
    for (const std::string& bytes : stored)
        byText[DisplayText(bytes)].push_back(&bytes);
    std::vector<const std::string*> kept;
    for (const QString& line : lines) {
        std::deque<const std::string*>& unused = byText[line];
        kept.push_back(unused.empty() ? nullptr : unused.front());
        if (!unused.empty())
            unused.pop_front();
    }
    return kept;
}

// Stores the box text again after loading what was stored: it must come back byte for byte.
void CheckReload(const std::vector<std::string>& stored) {
    Require(WithoutBlankAddresses(stored) == stored, "a stored address of blanks only");
    QString refused;
    const QStringList lines = AddressLines(AddressBoxText(stored));
    Require(EncodeAddressLines(lines, stored, refused) == stored && refused.isEmpty(),
            "stored addresses do not store alike once loaded");
}

std::vector<std::string> CheckEncodeAddressLines(const QStringList& lines,
                                                 const std::vector<std::string>& stored) {
    const std::vector<const std::string*> kept = ExpectedKept(lines, stored);
    QStringList fresh;
    for (std::size_t i = 0; i < kept.size(); ++i) {
        if (!kept[i])
            fresh << lines[qsizetype(i)];
    }
    QString refused;
    const std::optional<std::vector<std::string>> bytes =
        EncodeAddressLines(lines, stored, refused);
    Require(refused == Unstorable(fresh), "refused characters differ from the unstorable");
    Require(bytes.has_value() == refused.isEmpty(), "refusal and failure disagree");
    if (!bytes)
        return {};
    Require(bytes->size() == kept.size(), "not one address a line");
    for (std::size_t i = 0; i < kept.size(); ++i) {
        if (kept[i])
            Require((*bytes)[i] == *kept[i], "a line left alone lost its stored bytes");
        else
            CheckFreshBytes(lines[qsizetype(i)], (*bytes)[i]);
    }
    return *bytes;
}

// Stored addresses whose box lines are themselves (none blank-edged, none broken over lines)
// or that the box drops (blanks only): loading them and storing the unchanged lines must give
// what an untouched box gives.
void CheckUntouchedBox(const std::vector<std::string>& stored) {
    std::vector<std::string> shapes;
    for (const std::string& bytes : stored) {
        const QString shown = DisplayText(bytes);
        const QString trimmed = TrimBlanks(shown);
        if (trimmed.isEmpty() ||
            (trimmed == shown && std::none_of(shown.begin(), shown.end(), IsLineBreak)))
            shapes.push_back(bytes);
    }
    QString refused;
    const QStringList lines = AddressLines(AddressBoxText(shapes));
    Require(EncodeAddressLines(lines, shapes, refused) == WithoutBlankAddresses(shapes),
            "an unchanged box stores other bytes than an untouched one");
}

// The stored shapes, the input's own bytes line by line (anything a book may hold), and the
// encoding of the box's first lines (so lines find stored twins, JIS variants included).
std::vector<std::string> StoredFor(const QByteArray& input, const QStringList& lines) {
    std::vector<std::string> stored = kStoredShapes;
    for (const QByteArray& piece : input.split('\n').mid(0, 3))
        stored.push_back(piece.toStdString());
    for (const QString& line : lines.mid(0, 3)) {
        if (std::optional<std::string> bytes = Utf8ToCp932(line.toStdString()))
            stored.push_back(*bytes);
    }
    return stored;
}

void CheckBox(const QString& text, const QByteArray& input) {
    const QStringList lines = AddressLines(text);
    CheckLines(text, lines);
    CheckEncodeText(text);
    const std::vector<std::string> stored = StoredFor(input, lines);
    const std::vector<std::string> bytes = CheckEncodeAddressLines(lines, stored);
    CheckReload(bytes);
    CheckUntouchedBox(stored);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray input(reinterpret_cast<const char*>(data), qsizetype(size));
    CheckBox(QString::fromUtf8(input), input);
    std::u16string units(size / 2, u'\0');
    std::memcpy(units.data(), data, units.size() * sizeof(char16_t));
    CheckBox(QString::fromStdU16String(units), input);
    return 0;
}
