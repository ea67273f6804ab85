#include "ContactExport.h"

#include "ContactWriters.h"
#include "GroupPath.h"
#include "framework/Cp932.h"

#include <functional>
#include <vector>

namespace {

// The group path of the place the walk has reached, kept as text: entering a group appends
// its name, leaving cuts the text back, so a deep book costs no more than its own names.
class PathTrail {
public:
    void Enter(std::string_view name) {
        marks_.push_back(text_.size());
        group_path::AppendName(text_, Cp932ToUtf8(name), marks_.size() == 1);
    }
    void Leave() {
        text_.resize(marks_.back());
        marks_.pop_back();
    }
    std::string_view Text() const { return text_; }

private:
    std::string text_;
    std::vector<std::size_t> marks_;
};

ExportedContact ContactOf(const EntryNode& entry, std::string_view groupPath) {
    ExportedContact contact{groupPath, Cp932ToUtf8(entry.Name()), {}};
    for (std::string_view address : entry.Addresses())
        contact.addresses.push_back(Cp932ToUtf8(address));
    return contact;
}

// Visits every address entry in book order, depth first, without recursion.
void ForEachContact(const EntryTree& tree,
                    const std::function<void(const ExportedContact&)>& visit) {
    PathTrail trail;
    const EntryNode* node = tree.first;
    while (node) {
        if (node->IsGroup()) {
            trail.Enter(node->Name());
            if (node->firstChild) {
                node = node->firstChild;
                continue;
            }
            trail.Leave();
        } else if (node->kind == EntryKind::Address) {
            visit(ContactOf(*node, trail.Text()));
        }
        while (node && !node->next) {
            node = node->parent;
            if (node)
                trail.Leave();
        }
        if (node)
            node = node->next;
    }
}

// Text collects here and goes to the stream in large pieces.
class BufferedOutput {
public:
    explicit BufferedOutput(std::ostream& out) : out_(out) {}
    ~BufferedOutput() { Flush(); }
    BufferedOutput(const BufferedOutput&) = delete;
    BufferedOutput& operator=(const BufferedOutput&) = delete;

    std::string& Text() { return text_; }
    void FlushWhenFull() {
        if (text_.size() >= kChunk)
            Flush();
    }

private:
    void Flush() {
        out_.write(text_.data(), static_cast<std::streamsize>(text_.size()));
        text_.clear();
    }

    static constexpr std::size_t kChunk = 1 << 16;
    std::ostream& out_;
    std::string text_;
};

using AppendContact = void (*)(const ExportedContact&, std::string&);

AppendContact AppenderFor(ContactFormat format) {
    switch (format) {
    case ContactFormat::VCard:
        return AppendVCard;
    case ContactFormat::Csv:
        return AppendCsvRow;
    case ContactFormat::Ldif:
        break;
    }
    return AppendLdifEntry;
}

} // namespace

void ExportContacts(const EntryTree& tree, ContactFormat format, std::ostream& out) {
    BufferedOutput output(out);
    if (format == ContactFormat::Csv)
        AppendCsvHeader(output.Text());
    const AppendContact append = AppenderFor(format);
    ForEachContact(tree, [&](const ExportedContact& contact) {
        append(contact, output.Text());
        output.FlushWhenFull();
    });
}
