#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Text as finding compares it: the differences Japanese readers do not see as differences
// are folded away, so that one folded text contains another exactly when the user would
// say it does. Folded text is UTF-8, which keeps a byte search from matching across a
// character boundary.
//
// What folds: ASCII capitals to small letters; full-width ASCII forms (Ａ, ０, ＠) and the
// ideographic space to ASCII; half-width katakana to full-width, a half-width voiced or
// semi-voiced mark joining the kana before it (ｶﾞ is ガ); hiragana to katakana, a
// separately written mark joining too (か゛ is ガ); the yen signs to the backslash that CP932
// shows as one. A line feed folds to a carriage return, so it never stands for the field
// break of a folded book (see BookSearch).

// Appends the folded form of a name or an address as stored in the book (CP932 bytes; a
// byte that starts no character folds to U+FFFD, as it is shown).
void AppendFoldedBookText(std::string_view cp932, std::string& out);
std::string FoldBookText(std::string_view cp932);
// The most bytes the folded form of size bytes of book text takes.
constexpr std::size_t FoldedRoom(std::size_t size) {
    return 3 * size + 4;
}
// Writes the folded form at to, which has FoldedRoom(cp932.size()) bytes; returns its end.
char* FoldBookTextInto(std::string_view cp932, char* to);

// The folded form of text typed by the user (UTF-8; a malformed byte folds to U+FFFD).
std::string FoldTypedText(std::string_view utf8);
