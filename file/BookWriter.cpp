#include "BookFormat.h"

#include <string>

namespace {

// Collects output in a large buffer so the stream sees few, big writes.
class ChunkedOutput {
public:
    explicit ChunkedOutput(std::ostream& out) : out_(out) { buffer_.reserve(kChunk + 256); }

    void Append(std::string_view bytes) {
        buffer_.append(bytes);
        if (buffer_.size() >= kChunk)
            Flush();
    }
    void AppendIndent(std::size_t depth) {
        // Deep books have long indentation; keep appending in bounded pieces.
        static const std::string kSpaces(256, ' ');
        for (std::size_t left = 2 * depth; left > 0;) {
            std::size_t piece = std::min(left, kSpaces.size());
            Append(std::string_view(kSpaces).substr(0, piece));
            left -= piece;
        }
    }
    void Flush() {
        out_.write(buffer_.data(), static_cast<std::streamsize>(buffer_.size()));
        if (!out_)
            throw BookIoError("write error");
        buffer_.clear();
    }

private:
    static constexpr std::size_t kChunk = 1 << 16;
    std::ostream& out_;
    std::string buffer_;
};

void WriteEntryLine(ChunkedOutput& out, const EntryNode& entry, std::size_t depth) {
    out.AppendIndent(depth);
    switch (entry.kind) {
    case EntryKind::Group:
        out.Append("GROUP ");
        out.Append(entry.name);
        break;
    case EntryKind::Separator:
        out.Append("SEPARATOR");
        break;
    default:
        out.Append(entry.name);
        out.Append(": ");
        for (std::size_t i = 0; i < entry.addresses.size(); ++i) {
            if (i > 0)
                out.Append(",");
            out.Append(entry.addresses[i]);
        }
        break;
    }
    out.Append("\r\n");
}

void WriteEndGroup(ChunkedOutput& out, std::size_t depth) {
    out.AppendIndent(depth);
    out.Append("END GROUP\r\n");
}

} // namespace

void WriteBook(std::ostream& archive, const EntryTree& tree) {
    ChunkedOutput out(archive);
    const EntryNode* entry = tree.first;
    std::size_t depth = 0;
    while (entry) {
        WriteEntryLine(out, *entry, depth);
        if (entry->IsGroup()) {
            if (entry->firstChild) {
                entry = entry->firstChild;
                ++depth;
                continue;
            }
            WriteEndGroup(out, depth);
        }
        // Climb out of every group whose chain ends here, closing each one.
        while (entry && !entry->next) {
            entry = entry->parent;
            if (entry)
                WriteEndGroup(out, --depth);
        }
        if (entry)
            entry = entry->next;
    }
    out.Flush();
    archive.flush();
    if (!archive)
        throw BookIoError("write error");
}
