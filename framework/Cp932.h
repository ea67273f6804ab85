#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// Conversions between the book's bytes (CP932) and UTF-8, for the places where text meets
// the screen or the keyboard. The user-defined area 0xF040-0xF9FC maps to U+E000-U+E757.

// Never fails: a byte that starts no valid character (an undefined byte, a lead byte with a
// bad trail byte, a lead byte at the very end) becomes U+FFFD, and decoding resumes at the
// following byte.
std::string Cp932ToUtf8(std::string_view bytes);

// nullopt when the input is not valid UTF-8 or holds a character CP932 cannot store; nothing
// is ever replaced by "?" or dropped. Unicode variants of JIS characters (U+301C WAVE DASH,
// U+2212 MINUS SIGN and the like) are taken as the full-width forms CP932 stores for them,
// but no non-ASCII character is ever turned into ASCII (U+00A5 YEN SIGN is refused rather
// than stored as a backslash).
std::optional<std::string> Utf8ToCp932(std::string_view utf8);

// The bytes at the start of text before the first that is not ASCII.
std::size_t AsciiRunLength(std::string_view text);

// True when text is the same bytes in UTF-8 and CP932, as ASCII alone is: either conversion
// would give it back unchanged, so a caller may keep it as it is.
bool IsSameInCp932(std::string_view text);
