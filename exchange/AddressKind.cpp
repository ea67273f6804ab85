#include "AddressKind.h"

#include "Utf8.h"

namespace {

bool LooksLikeEmail(std::string_view address) {
    const std::size_t at = address.find('@');
    if (at == 0 || at == std::string_view::npos || at + 1 == address.size())
        return false;
    if (address.find('@', at + 1) != std::string_view::npos)
        return false;
    for (char c : address) {
        if (static_cast<unsigned char>(c) <= 0x20 || c == 0x7F)
            return false;
    }
    return true;
}

bool IsDigit(char32_t c) {
    return (c >= U'0' && c <= U'9') || (c >= U'\uFF10' && c <= U'\uFF19');
}

bool IsPlus(char32_t c) {
    return c == U'+' || c == U'\uFF0B';
}

bool IsTelephonePunctuation(char32_t c) {
    switch (c) {
    case U'-':
    case U'(':
    case U')':
    case U'.':
    case U' ':
    case U'\uFF0D': // full-width hyphen-minus
    case U'\u2212': // minus sign
    case U'\u2010': // hyphen
    case U'\u2015': // horizontal bar
    case U'\u30FC': // prolonged sound mark, often typed as a dash
    case U'\uFF08':
    case U'\uFF09':
    case U'\u3000': // ideographic space
        return true;
    default:
        return false;
    }
}

bool LooksLikeTelephone(std::string_view address) {
    std::size_t digits = 0;
    bool first = true;
    for (std::size_t at = 0; at < address.size(); first = false) {
        const std::size_t length = utf8::SequenceLength(address, at);
        if (length == 0)
            return false;
        const char32_t c = utf8::Decode(address, at, length);
        at += length;
        if (IsDigit(c))
            ++digits;
        else if (!(IsPlus(c) && first) && !IsTelephonePunctuation(c))
            return false;
    }
    return digits >= 3;
}

} // namespace

AddressKind ClassifyAddress(std::string_view address) {
    if (LooksLikeEmail(address))
        return AddressKind::Email;
    if (LooksLikeTelephone(address))
        return AddressKind::Telephone;
    return AddressKind::Other;
}
