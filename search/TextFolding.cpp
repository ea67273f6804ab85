#include "TextFolding.h"

#include "framework/Cp932.h"

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

constexpr char32_t kReplacement = 0xFFFD;
constexpr char32_t kNothing = 0xFFFFFFFF;
constexpr char32_t kVoicedMark = 0x309B;
constexpr char32_t kSemiVoicedMark = 0x309C;

// The full-width forms of U+FF61 (｡) to U+FF9F (ﾟ), in order.
constexpr std::array<char16_t, 63> kHalfWidthKana = {
    0x3002, 0x300C, 0x300D, 0x3001, 0x30FB, 0x30F2, 0x30A1, 0x30A3,      0x30A5,
    0x30A7, 0x30A9, 0x30E3, 0x30E5, 0x30E7, 0x30C3, 0x30FC, 0x30A2,      0x30A4,
    0x30A6, 0x30A8, 0x30AA, 0x30AB, 0x30AD, 0x30AF, 0x30B1, 0x30B3,      0x30B5,
    0x30B7, 0x30B9, 0x30BB, 0x30BD, 0x30BF, 0x30C1, 0x30C4, 0x30C6,      0x30C8,
    0x30CA, 0x30CB, 0x30CC, 0x30CD, 0x30CE, 0x30CF, 0x30D2, 0x30D5,      0x30D8,
    0x30DB, 0x30DE, 0x30DF, 0x30E0, 0x30E1, 0x30E2, 0x30E4, 0x30E6,      0x30E8,
    0x30E9, 0x30EA, 0x30EB, 0x30EC, 0x30ED, 0x30EF, 0x30F3, kVoicedMark, kSemiVoicedMark};

char32_t FoldCharacter(char32_t c) {
    if (c >= 0xFF01 && c <= 0xFF5E) // full-width ASCII
        c -= 0xFEE0;
    if (c >= 'A' && c <= 'Z')
        return c + ('a' - 'A');
    if (c >= 0xFF61 && c <= 0xFF9F)
        return kHalfWidthKana[c - 0xFF61];
    if ((c >= 0x3041 && c <= 0x3096) || c == 0x309D || c == 0x309E) // hiragana
        return c + 0x60;
    switch (c) {
    case 0x3000: // ideographic space
        return ' ';
    case 0x00A5: // yen signs: CP932 shows its backslash as one
    case 0xFFE5:
        return '\\';
    case 0x3099: // combining marks, as some input methods send them
        return kVoicedMark;
    case 0x309A:
        return kSemiVoicedMark;
    case '\n':
        return '\r';
    default:
        return c;
    }
}

bool IsHaRow(char32_t kana) { // ハ ヒ フ ヘ ホ
    return kana >= 0x30CF && kana <= 0x30DB && (kana - 0x30CF) % 3 == 0;
}

// The katakana a voiced mark makes of kana, or kNothing.
char32_t Voiced(char32_t kana) {
    if ((kana >= 0x30AB && kana <= 0x30C1 && (kana - 0x30AB) % 2 == 0) || kana == 0x30C4 ||
        kana == 0x30C6 || kana == 0x30C8 || IsHaRow(kana) || kana == 0x30FD)
        return kana + 1;
    if (kana == 0x30A6) // ウ
        return 0x30F4;
    if (kana >= 0x30EF && kana <= 0x30F2) // ワ ヰ ヱ ヲ
        return kana + 8;
    return kNothing;
}

char32_t SemiVoiced(char32_t kana) {
    return IsHaRow(kana) ? kana + 2 : kNothing;
}

char* PutUtf8(char32_t c, char* to) {
    if (c < 0x80) {
        *to++ = static_cast<char>(c);
    } else if (c < 0x800) {
        *to++ = static_cast<char>(0xC0 | (c >> 6));
        *to++ = static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        *to++ = static_cast<char>(0xE0 | (c >> 12));
        *to++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        *to++ = static_cast<char>(0x80 | (c & 0x3F));
    } else {
        *to++ = static_cast<char>(0xF0 | (c >> 18));
        *to++ = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        *to++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        *to++ = static_cast<char>(0x80 | (c & 0x3F));
    }
    return to;
}

// The code point starting at text[at]; at moves past it. A malformed sequence gives U+FFFD
// and moves one byte.
char32_t TakeUtf8(std::string_view text, std::size_t& at) {
    const auto lead = static_cast<unsigned char>(text[at++]);
    if (lead < 0x80)
        return lead;
    const int length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
    if (length == 0 || lead > 0xF4 || at + length - 1 > text.size())
        return kReplacement;
    char32_t c = lead & (0x7F >> length);
    for (int i = 1; i < length; ++i) {
        const auto byte = static_cast<unsigned char>(text[at + i - 1]);
        if ((byte & 0xC0) != 0x80)
            return kReplacement;
        c = (c << 6) | (byte & 0x3F);
    }
    static constexpr char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (c < kSmallest[length] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
        return kReplacement;
    at += length - 1;
    return c;
}

// The single code point a CP932 sequence decodes to, or kNothing when it is not one
// character.
char32_t DecodedCharacter(std::string_view cp932) {
    const std::string utf8 = Cp932ToUtf8(cp932);
    std::size_t at = 0;
    const char32_t c = TakeUtf8(utf8, at);
    return at == utf8.size() ? c : kNothing;
}

// What each CP932 byte and each two-byte character folds to, decoded once by the codec so
// that finding reads the bytes exactly as the screen shows them.
class Cp932Table {
public:
    Cp932Table() : pairs_(0x80 * 0x100, kNothing) {
        for (int byte = 0; byte < 0x100; ++byte)
            singles_[byte] = DecodedCharacter(std::string(1, static_cast<char>(byte)));
        for (int lead = 0x80; lead < 0x100; ++lead) {
            if (singles_[lead] != kReplacement)
                continue; // not a lead byte
            for (int trail = 0x40; trail < 0x100; ++trail) {
                const char pair[] = {static_cast<char>(lead), static_cast<char>(trail)};
                const char32_t c = DecodedCharacter(std::string_view(pair, 2));
                if (c != kReplacement && c != kNothing)
                    pairs_[(lead - 0x80) << 8 | trail] = FoldCharacter(c);
            }
        }
        for (char32_t& c : singles_)
            c = FoldCharacter(c);
        for (int byte = 1; byte < 0x80; ++byte) {
            if (singles_[byte] > 0 && singles_[byte] < 0x80)
                asciiFolds_[byte] = static_cast<char>(singles_[byte]);
        }
        for (int byte = 0x20; byte < 0x7F; ++byte) {
            const bool capital = byte >= 'A' && byte <= 'Z';
            printablePlain_ = printablePlain_ && asciiFolds_[byte] == byte + (capital ? 0x20 : 0);
        }
    }
    // Whether printable ASCII folds to itself but capitals, as the codec decodes it.
    bool PrintableAsciiFoldsPlainly() const { return printablePlain_; }
    // What an ASCII byte folds to when that is ASCII too, else 0.
    char AsciiFold(unsigned char byte) const { return asciiFolds_[byte]; }
    const char* AsciiFolds() const { return asciiFolds_.data(); }
    char32_t Single(unsigned char byte) const { return singles_[byte]; }
    // kNothing when lead and trail make no character.
    char32_t Pair(unsigned char lead, unsigned char trail) const {
        return lead < 0x80 ? kNothing : pairs_[(lead - 0x80) << 8 | trail];
    }

private:
    std::array<char32_t, 0x100> singles_{};
    std::array<char, 0x100> asciiFolds_{};
    bool printablePlain_ = true;
    std::vector<char32_t> pairs_;
};

const Cp932Table& Cp932Characters() {
    static const Cp932Table table;
    return table;
}

// Writes folded characters as UTF-8 into room the caller made, holding each back one step
// so that a voiced mark after it can still join it.
class FoldedWriter {
public:
    explicit FoldedWriter(char* to) : to_(to) {}

    void Add(char32_t folded) {
        if ((folded == kVoicedMark || folded == kSemiVoicedMark) && held_ != kNothing) {
            const char32_t joined = folded == kVoicedMark ? Voiced(held_) : SemiVoiced(held_);
            if (joined != kNothing) {
                held_ = joined;
                return;
            }
        }
        if (held_ != kNothing)
            to_ = PutUtf8(held_, to_);
        held_ = folded;
    }
    char* Finish() {
        if (held_ != kNothing)
            to_ = PutUtf8(held_, to_);
        held_ = kNothing;
        return to_;
    }

private:
    char* to_;
    char32_t held_ = kNothing;
};

// Runs write(FoldedWriter&) with room for the folded form of inputSize bytes at the end of
// out, and keeps what it wrote.
template <typename Write> void AppendFolded(std::size_t inputSize, std::string& out, Write write) {
    const std::size_t start = out.size();
    out.resize(start + FoldedRoom(inputSize)); // three bytes at most for a byte, CP932 or UTF-8
    FoldedWriter writer(out.data() + start);
    write(writer);
    out.resize(static_cast<std::size_t>(writer.Finish() - out.data()));
}

// Folds eight bytes at a time while they are printable ASCII, which only small letters
// for capitals changes; returns where that stops.
const unsigned char* FoldPrintableWords(const unsigned char* from, const unsigned char* end,
                                        char*& out) {
    if constexpr (std::endian::native != std::endian::little)
        return from;
    constexpr std::uint64_t kOnes = 0x0101010101010101u;
    constexpr std::uint64_t kHighs = 0x8080808080808080u;
    for (; end - from >= 8; from += 8, out += 8) {
        std::uint64_t word;
        std::memcpy(&word, from, sizeof word);
        // A high bit, a byte below a space or DEL ends the fast way (a borrow may stop it a
        // little early, never late).
        const std::uint64_t notDel = word ^ (kOnes * 0x7F);
        if (((word & kHighs) | ((word - kOnes * 0x20) & ~word & kHighs) |
             ((notDel - kOnes) & ~notDel & kHighs)) != 0)
            break;
        // Bytes of 0x20 to 0x7E: these sums carry into no neighbour.
        const std::uint64_t aboveZ = word + kOnes * (0x7F - 'Z');
        const std::uint64_t fromA = word + kOnes * (0x80 - 'A');
        word |= (fromA & ~aboveZ & kHighs) >> 2; // 0x20 on every capital
        std::memcpy(out, &word, sizeof word);
    }
    return from;
}

// Folds a run of ASCII that folds to ASCII, up to the first byte that does not; nothing
// joins such text, so it is written at once. Kept in locals: a store through a char pointer
// could alias anything, and the loop must not reload its bounds after each one.
const unsigned char* FoldAsciiRun(const unsigned char* from, const unsigned char* end,
                                  const Cp932Table& table, char*& to) {
    char* out = to;
    if (table.PrintableAsciiFoldsPlainly())
        from = FoldPrintableWords(from, end, out);
    const char* const folds = table.AsciiFolds();
    for (char folded; from < end && (folded = folds[*from]) != 0; ++from)
        *out++ = folded;
    to = out;
    return from;
}

} // namespace

char* FoldBookTextInto(std::string_view cp932, char* to) {
    const Cp932Table& table = Cp932Characters();
    const auto* at = reinterpret_cast<const unsigned char*>(cp932.data());
    const auto* const end = at + cp932.size();
    FoldedWriter writer(to);
    while (at < end) {
        if (table.AsciiFold(*at) != 0) { // most addresses
            to = writer.Finish();
            at = FoldAsciiRun(at, end, table, to);
            writer = FoldedWriter(to);
            continue;
        }
        if (end - at > 1) {
            const char32_t pair = table.Pair(at[0], at[1]);
            if (pair != kNothing) {
                writer.Add(pair);
                at += 2;
                continue;
            }
        }
        writer.Add(table.Single(*at++));
    }
    return writer.Finish();
}

void AppendFoldedBookText(std::string_view cp932, std::string& out) {
    const std::size_t start = out.size();
    out.resize(start + FoldedRoom(cp932.size()));
    out.resize(static_cast<std::size_t>(FoldBookTextInto(cp932, out.data() + start) - out.data()));
}

std::string FoldBookText(std::string_view cp932) {
    std::string folded;
    AppendFoldedBookText(cp932, folded);
    return folded;
}

std::string FoldTypedText(std::string_view utf8) {
    std::string folded;
    AppendFolded(utf8.size(), folded, [&](FoldedWriter& writer) {
        for (std::size_t at = 0; at < utf8.size();)
            writer.Add(FoldCharacter(TakeUtf8(utf8, at)));
    });
    return folded;
}
