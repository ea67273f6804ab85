#pragma once

#include "model/EntryTree.h"

#include <ostream>

// Writes the tree as UTF-8 text, one entry a line, two spaces of indentation per level:
//   group "NAME"
//   address "NAME": "ADDRESS", "ADDRESS"
//   separator
// Names and addresses are decoded from CP932 (bad bytes as U+FFFD) and quoted, with '"',
// '\' and control characters escaped as \", \\ and \xHH. Throws BookIoError when out fails.
void DumpTree(const EntryTree& tree, std::ostream& out);
