#pragma once

#include "model/EntryTree.h"

#include <ostream>
#include <string>
#include <string_view>

// Writes the tree as UTF-8 text, one entry a line, two spaces of indentation per level:
//   group "NAME"
//   address "NAME": "ADDRESS", "ADDRESS"
//   separator
// Names and addresses are decoded from CP932 (bad bytes as U+FFFD) and quoted, with '"',
// '\' and control characters escaped as \", \\ and \xHH. Throws BookIoError when out fails.
void DumpTree(const EntryTree& tree, std::ostream& out);

// One entry as DumpTree writes it, without indentation and line end.
void AppendEntryText(const EntryNode& entry, std::string& out);
// CP932 text decoded and quoted as DumpTree writes it.
void AppendQuotedText(std::string_view cp932, std::string& out);
