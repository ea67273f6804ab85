#pragma once

#include <optional>
#include <string_view>

// The contact formats the book is exchanged in.
enum class ContactFormat { VCard, Csv, Ldif };

// VCard for .vcf/.vcard, Csv for .csv, any letter case; nullopt otherwise (LDIF is written
// only, so its extension is not taken as an import format).
std::optional<ContactFormat> ContactFormatForPath(std::string_view path);
// VCard when the first line of text (after a UTF-8 byte order mark) is BEGIN:VCARD, any
// letter case, blanks after it allowed; nullopt otherwise. Text is the start of a file, for
// files whose name does not tell.
std::optional<ContactFormat> ContactFormatForText(std::string_view text);
