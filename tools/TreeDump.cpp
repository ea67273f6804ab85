#include "TreeDump.h"

#include "ChunkedOutput.h"
#include "framework/Cp932.h"

#include <algorithm>
#include <string>
#include <utility>

namespace {

// Deep books indent by megabytes: append it in pieces so the buffer stays bounded.
void AppendIndent(ChunkedOutput& out, std::size_t depth) {
    static const std::string kSpaces(256, ' ');
    for (std::size_t left = 2 * depth; left > 0;) {
        std::size_t piece = std::min(left, kSpaces.size());
        out.Append(std::string_view(kSpaces).substr(0, piece));
        left -= piece;
    }
}

void DumpEntry(ChunkedOutput& out, const EntryNode& entry, std::size_t depth) {
    AppendIndent(out, depth);
    AppendEntryText(entry, out.Pending());
    out.Append("\n");
}

} // namespace

void AppendQuotedText(std::string_view cp932, std::string& out) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    out += '"';
    for (char c : Cp932ToUtf8(cp932)) {
        auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20 || byte == 0x7F) {
            out += "\\x";
            out += kHex[byte >> 4];
            out += kHex[byte & 0xF];
        } else {
            out += c;
        }
    }
    out += '"';
}

void AppendEntryText(const EntryNode& entry, std::string& out) {
    switch (entry.kind) {
    case EntryKind::Group:
        out += "group ";
        AppendQuotedText(entry.Name(), out);
        break;
    case EntryKind::Separator:
        out += "separator";
        break;
    default:
        out += "address ";
        AppendQuotedText(entry.Name(), out);
        out += ':';
        bool firstAddress = true;
        for (std::string_view address : entry.Addresses()) {
            out += std::exchange(firstAddress, false) ? " " : ", ";
            AppendQuotedText(address, out);
        }
        break;
    }
}

void DumpTree(const EntryTree& tree, std::ostream& out) {
    ChunkedOutput dump(out);
    const EntryNode* entry = tree.first;
    std::size_t depth = 0;
    while (entry) {
        DumpEntry(dump, *entry, depth);
        if (entry->firstChild) {
            entry = entry->firstChild;
            ++depth;
            continue;
        }
        // Climb out of every group whose chain ends here.
        while (entry && !entry->next) {
            entry = entry->parent;
            depth -= entry ? 1 : 0;
        }
        if (entry)
            entry = entry->next;
    }
    dump.Flush();
    out.flush();
    if (!out)
        throw BookIoError("write error");
}
