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
    void AppendQuoted(std::string_view cp932) {
        static constexpr char kHex[] = "0123456789ABCDEF";
        text_ += '"';
        for (char c : Cp932ToUtf8(cp932)) {
            auto byte = static_cast<unsigned char>(c);
            if (c == '"' || c == '\\') {
                text_ += '\\';
                text_ += c;
            } else if (byte < 0x20 || byte == 0x7F) {
                text_ += "\\x";
                text_ += kHex[byte >> 4];
                text_ += kHex[byte & 0xF];
            } else {
                text_ += c;
            }
        }
        Append("\"");
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
    switch (entry.kind) {
    case EntryKind::Group:
        out.Append("group ");
        out.AppendQuoted(entry.Name());
        break;
    case EntryKind::Separator:
        out.Append("separator");
        break;
    default:
        out.Append("address ");
        out.AppendQuoted(entry.Name());
        out.Append(":");
        bool firstAddress = true;
        for (std::string_view address : entry.Addresses()) {
            out.Append(std::exchange(firstAddress, false) ? " " : ", ");
            out.AppendQuoted(address);
        }
        break;
    }
    out.Append("\n");
}

} // namespace

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
