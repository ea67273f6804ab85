#include "Utf8.h"

#include "framework/Cp932.h"

namespace utf8 {

namespace {

unsigned char At(std::string_view text, std::size_t at) {
    return static_cast<unsigned char>(text[at]);
}

// Expected length and the bounds of the second byte, by the lead byte (RFC 3629 table).
struct LeadRule {
    std::size_t length;
    unsigned char low;
    unsigned char high;
};

LeadRule RuleFor(unsigned char lead) {
    if (lead < 0x80)
        return {1, 0, 0};
    if (lead < 0xC2)
        return {0, 0, 0};
    if (lead < 0xE0)
        return {2, 0x80, 0xBF};
    if (lead == 0xE0)
        return {3, 0xA0, 0xBF};
    if (lead == 0xED)
        return {3, 0x80, 0x9F};
    if (lead < 0xF0)
        return {3, 0x80, 0xBF};
    if (lead == 0xF0)
        return {4, 0x90, 0xBF};
    if (lead < 0xF4)
        return {4, 0x80, 0xBF};
    if (lead == 0xF4)
        return {4, 0x80, 0x8F};
    return {0, 0, 0};
}

} // namespace

std::size_t SequenceLength(std::string_view text, std::size_t at) {
    const LeadRule rule = RuleFor(At(text, at));
    if (rule.length <= 1)
        return rule.length;
    if (text.size() - at < rule.length)
        return 0;
    if (At(text, at + 1) < rule.low || At(text, at + 1) > rule.high)
        return 0;
    for (std::size_t i = 2; i < rule.length; ++i) {
        if (!IsContinuation(text[at + i]))
            return 0;
    }
    return rule.length;
}

std::size_t FindInvalid(std::string_view text) {
    for (std::size_t at = 0; at < text.size();) {
        // ASCII runs are the common case: skip them whole, without the table.
        if (At(text, at) < 0x80) {
            at += AsciiRunLength(text.substr(at));
            continue;
        }
        const std::size_t length = SequenceLength(text, at);
        if (length == 0)
            return at;
        at += length;
    }
    return std::string_view::npos;
}

char32_t Decode(std::string_view text, std::size_t at, std::size_t length) {
    static constexpr unsigned char kLeadMask[] = {0, 0x7F, 0x1F, 0x0F, 0x07};
    char32_t codePoint = At(text, at) & kLeadMask[length];
    for (std::size_t i = 1; i < length; ++i)
        codePoint = (codePoint << 6) | (At(text, at + i) & 0x3F);
    return codePoint;
}

void Append(std::string& out, char32_t codePoint) {
    if (codePoint < 0x80) {
        out += static_cast<char>(codePoint);
    } else if (codePoint < 0x800) {
        out += static_cast<char>(0xC0 | (codePoint >> 6));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else if (codePoint < 0x10000) {
        out += static_cast<char>(0xE0 | (codePoint >> 12));
        out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (codePoint >> 18));
        out += static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    }
}

} // namespace utf8
