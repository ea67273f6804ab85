#include "TreeDump.h"

#include "file/LineReader.h"
#include "framework/Cp932.h"

#include <algorithm>
#include <string>
#include <utility>

namespace {

// Gathers the text and hands it to the stream in large pieces.
class DumpOutput {
public:
    explicit DumpOutput(std::ostream& out) : out_(out) {}

    void Append(std::string_view text) {
        text_.append(text);
        if (text_.size() >= kChunk)
            Flush();
    }
    void AppendIndent(std::size_t depth) {
        // Deep books indent by megabytes: append it in pieces so the buffer stays bounded.
        static const std::string kSpaces(256, ' ');
        for (std::size_t left = 2 * depth; left > 0;) {
            std::size_t piece = std::min(left, kSpaces.size());
            Append(std::string_view(kSpaces).substr(0, piece));
            left -= piece;
        }
    }
    void AppendEntry(const EntryNode& entry) {
        AppendEntryText(entry, text_);
        if (text_.size() >= kChunk)
            Flush();
    }
    void Flush() {
        out_.write(text_.data(), static_cast<std::streamsize>(text_.size()));
        if (!out_)
            throw BookIoError("write error");
        text_.clear();
    }

private:
    static constexpr std::size_t kChunk = 1 << 16;
    std::ostream& out_;
    std::string text_;
};

void DumpEntry(DumpOutput& out, const EntryNode& entry, std::size_t depth) {
    out.AppendIndent(depth);
    out.AppendEntry(entry);
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
    DumpOutput dump(out);
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
