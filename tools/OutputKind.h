#pragma once

#include <string>

// What a file holds, as this program's outputs go.
enum class FileKind { Book, VCard, Csv, Ldif, Other };

// Throws ToolError when path leads to an existing regular file that holds something other
// than what is about to be written there: by its extension (.tlw for a book; .vcf, .vcard,
// .csv, .ldif for contacts), or, when it is not empty, by its content (contacts are known by
// their first line; anything else without NUL bytes reads as a book). A mistyped -o would
// otherwise turn a book into contacts or the other way round.
void RefuseOtherKindOfFile(const std::string& path, FileKind written);
