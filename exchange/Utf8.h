#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Small UTF-8 helpers for the exchange formats.
namespace utf8 {

// Bytes of the valid UTF-8 sequence starting at text[at], 0 when none starts there
// (overlong forms, surrogates and code points above U+10FFFF are not valid).
std::size_t SequenceLength(std::string_view text, std::size_t at);
// Offset of the first byte that starts no valid sequence, npos when the text is valid.
std::size_t FindInvalid(std::string_view text);
// The code point of the valid sequence of length bytes at text[at].
char32_t Decode(std::string_view text, std::size_t at, std::size_t length);
void Append(std::string& out, char32_t codePoint);
// True when the byte continues a multi-byte sequence.
inline bool IsContinuation(char byte) {
    return (static_cast<unsigned char>(byte) & 0xC0) == 0x80;
}

} // namespace utf8
