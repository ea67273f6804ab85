#pragma once

#include <optional>
#include <string_view>

// The contact formats the book is exchanged in.
enum class ContactFormat { VCard, Csv, Ldif };

// VCard for .vcf/.vcard, Csv for .csv, any letter case; nullopt otherwise (LDIF is written
// only, so its extension is not taken as an import format).
std::optional<ContactFormat> ContactFormatForPath(std::string_view path);
