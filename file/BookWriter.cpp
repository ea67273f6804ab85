#include "BookFormat.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace {

// Collects output in a fixed buffer so the stream sees few, big writes; appends that fit are
// a bounds check and a memcpy, inlined at every call.
class ChunkedOutput {
public:
    explicit ChunkedOutput(std::ostream& out) : out_(out), buffer_(new char[kChunk]) {}

    void Append(std::string_view bytes) {
        if (bytes.size() <= kChunk - used_) {
            std::memcpy(buffer_.get() + used_, bytes.data(), bytes.size());
            used_ += bytes.size();
        } else {
            AppendLong(bytes);
        }
    }
    void AppendIndent(std::size_t depth) {
        for (std::size_t left = 2 * depth; left > 0;) {
            if (used_ == kChunk)
                Flush();
            std::size_t piece = std::min(left, kChunk - used_);
            std::memset(buffer_.get() + used_, ' ', piece);
            used_ += piece;
            left -= piece;
        }
    }
    // Room for n bytes in one piece, flushing first if needed; null when n exceeds a chunk.
    char* Reserve(std::size_t n) {
        if (n > kChunk)
            return nullptr;
        if (n > kChunk - used_)
            Flush();
        return buffer_.get() + used_;
    }
    void Commit(const char* end) { used_ = static_cast<std::size_t>(end - buffer_.get()); }
    void Flush() {
        out_.write(buffer_.get(), static_cast<std::streamsize>(used_));
        if (!out_)
            throw BookIoError("write error");
        used_ = 0;
    }

private:
    void AppendLong(std::string_view bytes) {
        Flush();
        if (bytes.size() >= kChunk) {
            out_.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
            if (!out_)
                throw BookIoError("write error");
            return;
        }
        std::memcpy(buffer_.get(), bytes.data(), bytes.size());
        used_ = bytes.size();
    }

    static constexpr std::size_t kChunk = 1 << 16;
    std::ostream& out_;
    std::unique_ptr<char[]> buffer_;
    std::size_t used_ = 0;
};

char* Put(char* to, std::string_view bytes) {
    if (!bytes.empty()) // an empty view may have no data at all, which memcpy must not get
        std::memcpy(to, bytes.data(), bytes.size());
    return to + bytes.size();
}

// At most what an address line takes after its indentation: every piece of the text run has
// at least one length byte, which pays for the comma after it, and four bytes more cover
// ": " and CR LF. An upper bound needs no walk over the addresses.
std::size_t AddressLineBound(const EntryNode& entry) {
    return entry.textSize + 4;
}

char* PutAddresses(char* to, const AddressList& addresses) {
    bool firstAddress = true;
    for (std::string_view address : addresses) {
        if (!std::exchange(firstAddress, false))
            *to++ = kAddressSeparator;
        to = Put(to, address);
    }
    return to;
}

// The part of a text run after the name is each address behind its length. Where every
// length takes one byte (addresses shorter than 128 bytes), that part copied whole without
// its first byte, each later length made a comma, is the addresses joined by commas: one
// copy where there were as many as addresses.
char* PutAddressesOfRun(char* to, const char* from, const char* end) {
    if (from == end)
        return to;
    const auto size = static_cast<std::size_t>(end - from) - 1;
    std::memcpy(to, from + 1, size);
    for (const char* length = from; length < end;) {
        const auto bytes = static_cast<unsigned char>(*length);
        if (bytes >= 0x80)
            return PutAddresses(to, AddressList(from, end));
        if (length != from)
            to[length - from - 1] = kAddressSeparator;
        length += 1 + bytes;
    }
    return to + size;
}

// Address lines are nearly every line of a book: one bounds check for the whole line.
bool WriteAddressLineFast(ChunkedOutput& out, const EntryNode& entry, std::size_t depth) {
    char* to = out.Reserve(2 * depth + AddressLineBound(entry));
    if (!to)
        return false;
    std::memset(to, ' ', 2 * depth);
    const std::string_view name = entry.Name();
    to = Put(to + 2 * depth, name);
    to = Put(to, ": ");
    if (entry.text)
        to = PutAddressesOfRun(to, name.data() + name.size(), entry.text + entry.textSize);
    out.Commit(Put(to, "\r\n"));
    return true;
}

void WriteGroupLine(ChunkedOutput& out, std::string_view name, std::size_t depth) {
    out.AppendIndent(depth);
    out.Append("GROUP ");
    out.Append(name);
    out.Append("\r\n");
}

void WriteSeparatorLine(ChunkedOutput& out, std::size_t depth) {
    out.AppendIndent(depth);
    out.Append("SEPARATOR\r\n");
}

void WriteEntryLine(ChunkedOutput& out, const EntryNode& entry, std::size_t depth) {
    if (entry.kind == EntryKind::Group)
        return WriteGroupLine(out, entry.Name(), depth);
    if (entry.kind == EntryKind::Separator)
        return WriteSeparatorLine(out, depth);
    if (WriteAddressLineFast(out, entry, depth))
        return;
    out.AppendIndent(depth);
    out.Append(entry.Name());
    out.Append(": ");
    bool firstAddress = true;
    for (std::string_view address : entry.Addresses()) {
        if (!std::exchange(firstAddress, false))
            out.Append(",");
        out.Append(address);
    }
    out.Append("\r\n");
}

// The line of an address whose addresses, with the commas between them, are one text.
void WriteAddressLine(ChunkedOutput& out, const AddressLine& line, std::size_t depth) {
    if (char* to = out.Reserve(2 * depth + line.name.size() + line.addresses.size() + 4)) {
        std::memset(to, ' ', 2 * depth);
        to = Put(to + 2 * depth, line.name);
        to = Put(to, ": ");
        to = Put(to, line.addresses);
        out.Commit(Put(to, "\r\n"));
        return;
    }
    out.AppendIndent(depth);
    out.Append(line.name);
    out.Append(": ");
    out.Append(line.addresses);
    out.Append("\r\n");
}

void WriteEndGroup(ChunkedOutput& out, std::size_t depth) {
    out.AppendIndent(depth);
    out.Append("END GROUP\r\n");
}

// Writes first and what follows it in tree order: everything after it in the book when root
// is null, else only root's subtree (first is then root).
void WriteFrom(ChunkedOutput& out, const EntryNode* first, const EntryNode* root) {
    const EntryNode* entry = first;
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
        while (entry && entry != root && !entry->next) {
            entry = entry->parent;
            if (entry)
                WriteEndGroup(out, --depth);
        }
        if (entry == root)
            break;
        if (entry)
            entry = entry->next;
    }
}

void Finish(ChunkedOutput& out, std::ostream& archive) {
    out.Flush();
    archive.flush();
    if (!archive)
        throw BookIoError("write error");
}

} // namespace

void WriteBook(std::ostream& archive, const EntryTree& tree) {
    ChunkedOutput out(archive);
    WriteFrom(out, tree.first, nullptr);
    Finish(out, archive);
}

void WriteEntries(std::ostream& archive, std::span<const EntryNode* const> entries) {
    ChunkedOutput out(archive);
    for (const EntryNode* entry : entries)
        WriteFrom(out, entry, entry);
    Finish(out, archive);
}

// The writer's walk, driven by the reader's nesting instead of a tree: a GROUP line opens a
// level, END GROUP closes the innermost open one (none at the top level), and the groups
// still open at the end are closed, as the reader leaves them closed. A line is written
// from its parts as the reader splits it, which is what its entry would write.
void NormalizeBook(std::istream& archive, std::ostream& written) {
    LineReader reader(archive);
    ChunkedOutput out(written);
    std::size_t depth = 0;
    std::string_view rawLine;
    while (reader.Next(rawLine)) {
        const std::string_view line = TrimLeadingBlanks(rawLine);
        switch (ClassifyLine(line)) {
        case LineKind::Ignored:
        case LineKind::Comment:
            break;
        case LineKind::EndGroup:
            if (depth > 0)
                WriteEndGroup(out, --depth);
            break;
        case LineKind::Group:
            WriteGroupLine(out, GroupName(line), depth++);
            break;
        case LineKind::Separator:
            WriteSeparatorLine(out, depth);
            break;
        case LineKind::Address:
            WriteAddressLine(out, SplitAddressLine(line), depth);
            break;
        }
    }
    while (depth > 0)
        WriteEndGroup(out, --depth);
    Finish(out, written);
}
