#include "Cp932.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <iconv.h>
#include <stdexcept>

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD"; // U+FFFD in UTF-8

// Converted text grows here; the string is resized (and so zero-filled) only when full,
// which keeps long runs of invalid bytes linear.
class Output {
public:
    explicit Output(std::size_t expected) : bytes_(expected + 16, '\0') {}

    void MakeRoom(std::size_t size) {
        if (bytes_.size() - used_ < size)
            bytes_.resize(std::max(2 * bytes_.size(), used_ + size));
    }
    void Append(std::string_view text) {
        MakeRoom(text.size());
        std::memcpy(bytes_.data() + used_, text.data(), text.size());
        used_ += text.size();
    }
    char* End() { return bytes_.data() + used_; }
    std::size_t Room() const { return bytes_.size() - used_; }
    void Advance(char* newEnd) { used_ = static_cast<std::size_t>(newEnd - bytes_.data()); }
    std::string Take() {
        bytes_.resize(used_);
        return std::move(bytes_);
    }

private:
    std::string bytes_;
    std::size_t used_ = 0;
};

// One iconv direction. Handles are not thread safe and opening one costs far more than
// converting a short name, so each thread keeps its own, opened on first use.
class Converter {
public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {
        if (cd_ == reinterpret_cast<iconv_t>(-1))
            throw std::runtime_error(std::string("iconv cannot convert ") + from + " to " + to);
    }
    ~Converter() { iconv_close(cd_); }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    // Back to the initial state, in case an earlier conversion stopped midway.
    Converter& Reset() {
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        return *this;
    }
    // Appends the conversion of in to out until the end or the first byte that cannot be
    // converted; in is left at that byte. Returns 0, EILSEQ or EINVAL.
    int Convert(std::string_view& in, Output& out) {
        for (;;) {
            out.MakeRoom(16);
            char* src = const_cast<char*>(in.data()); // iconv's signature; it only reads
            std::size_t srcLeft = in.size();
            char* dst = out.End();
            std::size_t dstLeft = out.Room();
            std::size_t result = iconv(cd_, &src, &srcLeft, &dst, &dstLeft);
            int error = result == static_cast<std::size_t>(-1) ? errno : 0;
            in.remove_prefix(in.size() - srcLeft);
            out.Advance(dst);
            if (error != E2BIG)
                return error;
            out.MakeRoom(out.Room() + 1); // doubles
        }
    }

private:
    iconv_t cd_;
};

Converter& Decoder() {
    thread_local Converter decoder("UTF-8", "CP932");
    return decoder;
}

Converter& Encoder() {
    thread_local Converter encoder("CP932", "UTF-8");
    return encoder;
}

bool IsAscii(char c) {
    return static_cast<unsigned char>(c) < 0x80;
}

std::size_t Utf8Length(char lead) {
    auto byte = static_cast<unsigned char>(lead);
    return byte < 0xE0 ? 2 : byte < 0xF0 ? 3 : 4;
}

// Both strings are valid UTF-8. True when they have as many characters and every ASCII
// character of either stands at the same place in the other.
bool SameAsciiAndLength(std::string_view a, std::string_view b) {
    std::size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (IsAscii(a[i]) || IsAscii(b[j])) {
            if (a[i] != b[j])
                return false;
            ++i;
            ++j;
        } else {
            i += Utf8Length(a[i]);
            j += Utf8Length(b[j]);
        }
    }
    return i == a.size() && j == b.size();
}

std::optional<std::string> Converted(Converter& converter, std::string_view text) {
    Output output(text.size());
    if (converter.Reset().Convert(text, output) != 0)
        return std::nullopt;
    return output.Take();
}

// Whether the codec takes every ASCII character to itself both ways, as CP932 does: then
// text of ASCII alone, most addresses, is itself in either encoding and needs no call of
// the codec. Asked once.
bool AsciiIsItself() {
    static const bool itself = [] {
        std::string ascii;
        for (int c = 0; c < 0x80; ++c)
            ascii += static_cast<char>(c);
        return Converted(Decoder(), ascii) == ascii && Converted(Encoder(), ascii) == ascii;
    }();
    return itself;
}

} // namespace

// Eight bytes at a time: most text a book holds is ASCII, and this is asked of all of it.
std::size_t AsciiRunLength(std::string_view text) {
    std::size_t at = 0;
    for (std::uint64_t word; text.size() - at >= sizeof word; at += sizeof word) {
        std::memcpy(&word, text.data() + at, sizeof word);
        if ((word & 0x8080808080808080u) != 0)
            break;
    }
    while (at < text.size() && IsAscii(text[at]))
        ++at;
    return at;
}

bool IsSameInCp932(std::string_view text) {
    return AsciiRunLength(text) == text.size() && AsciiIsItself();
}

std::string Cp932ToUtf8(std::string_view bytes) {
    if (IsSameInCp932(bytes))
        return std::string(bytes);
    // Every byte gives at most three bytes of UTF-8, U+FFFD included.
    Output text(3 * bytes.size());
    Converter& decoder = Decoder().Reset();
    while (decoder.Convert(bytes, text) != 0) {
        text.Append(kReplacement);
        bytes.remove_prefix(1);
    }
    return text.Take();
}

std::optional<std::string> Utf8ToCp932(std::string_view utf8) {
    if (IsSameInCp932(utf8))
        return std::string(utf8);
    // CP932 never needs more bytes than UTF-8.
    std::optional<std::string> converted = Converted(Encoder(), utf8);
    if (!converted)
        return std::nullopt;
    std::string bytes = std::move(*converted);
    // glibc takes a few characters CP932 lacks to look-alikes (U+00A5 to a backslash) and
    // silently drops Unicode tag characters: decoding the result again shows both.
    if (!SameAsciiAndLength(utf8, Cp932ToUtf8(bytes)))
        return std::nullopt;
    return bytes;
}
