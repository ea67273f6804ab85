#pragma once

// The book as the random session sees it: its entries read through two small helpers, its
// links checked without recursion, and what reading a written book back must give.
#include "file/BookFormat.h"
#include "file/RoundTrip.h"
#include "framework/Cp932.h"
#include "model/EntryTree.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <sstream>
#include <string>
#include <unordered_set>
#include <vector>

namespace session {

// Names and addresses are read through these two only.
inline std::string NameOf(const EntryNode* entry) {
    return std::string(entry->Name());
}
inline std::vector<std::string> AddressesOf(const EntryNode* entry) {
    return entry->Addresses().ToStrings();
}

inline QString Shown(const std::string& bytes) {
    return QString::fromStdString(Cp932ToUtf8(bytes));
}

inline QByteArray Cp932(const QString& text) {
    return QByteArray::fromStdString(Utf8ToCp932(text.toStdString()).value());
}

// ---- The book as data, and what reading it back gives.

struct Line {
    int depth;
    EntryKind kind;
    std::string name;
    std::vector<std::string> addresses;
    bool operator==(const Line&) const = default;
};
using Snapshot = std::vector<Line>;

// Pre-order, without recursion; only for trees whose links were checked.
inline Snapshot TakeSnapshot(const EntryTree& tree) {
    Snapshot lines;
    const EntryNode* entry = tree.first;
    int depth = 0;
    while (entry) {
        lines.push_back({depth, entry->kind, NameOf(entry), AddressesOf(entry)});
        if (entry->firstChild) {
            entry = entry->firstChild;
            ++depth;
            continue;
        }
        while (entry && !entry->next) {
            entry = entry->parent;
            --depth;
        }
        if (entry)
            entry = entry->next;
    }
    return lines;
}

inline Snapshot ReadBack(const QByteArray& bytes) {
    EntryTree tree;
    std::istringstream in(bytes.toStdString());
    ReadBook(in, tree);
    return TakeSnapshot(tree);
}

inline std::string WithoutLeadingBlanks(const std::string& text) {
    std::size_t at = 0;
    while (at < text.size() && (text[at] == ' ' || (text[at] >= '\t' && text[at] <= '\r')))
        ++at;
    return text.substr(at);
}

// What the reader gives for the tree the writer wrote, by the format's documented losses;
// nullopt for a line whose read-back this model does not cover (keywords, comments, breaks).
inline std::optional<Snapshot> AfterReadBack(const Snapshot& written) {
    Snapshot expected;
    for (Line line : written) {
        if (line.kind == EntryKind::Separator) {
            line.name = kSeparatorName;
            line.addresses.clear();
        } else if (line.kind == EntryKind::Group) {
            if (line.name.find_first_of("\r\n") != std::string::npos)
                return std::nullopt;
            line.name = WithoutLeadingBlanks(line.name);
        } else {
            std::string text = line.name + ": ";
            for (std::size_t i = 0; i < line.addresses.size(); ++i)
                text += (i ? "," : "") + line.addresses[i];
            if (text.find_first_of("\r\n") != std::string::npos)
                return std::nullopt;
            text = WithoutLeadingBlanks(text);
            for (const char* keyword : {"#", "GROUP", "END GROUP", "SEPARATOR"}) {
                if (text.rfind(keyword, 0) == 0)
                    return std::nullopt;
            }
            const std::size_t colon = text.find(':');
            line.name = text.substr(0, colon);
            const std::string rest = WithoutLeadingBlanks(text.substr(colon + 1));
            line.addresses.clear();
            std::size_t from = 0;
            for (std::size_t comma; (comma = rest.find(',', from)) != std::string::npos;
                 from = comma + 1)
                line.addresses.push_back(rest.substr(from, comma - from));
            line.addresses.push_back(rest.substr(from));
        }
        expected.push_back(line);
    }
    return expected;
}

inline QString SnapshotDifference(const Snapshot& got, const Snapshot& expected) {
    for (std::size_t i = 0; i < std::min(got.size(), expected.size()); ++i) {
        if (!(got[i] == expected[i]))
            return QStringLiteral(
                       "entry %1 is %2 \"%3\" at depth %4, expected %5 \"%6\" at depth %7")
                .arg(i)
                .arg(int(got[i].kind))
                .arg(Shown(got[i].name))
                .arg(got[i].depth)
                .arg(int(expected[i].kind))
                .arg(Shown(expected[i].name))
                .arg(expected[i].depth);
    }
    if (got.size() != expected.size())
        return QStringLiteral("%1 entries, expected %2").arg(got.size()).arg(expected.size());
    return {};
}

// Checks every link of the tree without recursion; fills `live` with every linked entry.
inline QString CheckLinks(const EntryTree& tree, std::unordered_set<const EntryNode*>& live) {
    live.clear();
    struct Chain {
        const EntryNode* head;
        const EntryNode* parent;
    };
    std::vector<Chain> pending{{tree.first, nullptr}};
    while (!pending.empty()) {
        const Chain chain = pending.back();
        pending.pop_back();
        const EntryNode* prev = nullptr;
        for (const EntryNode* entry = chain.head; entry; prev = entry, entry = entry->next) {
            if (!live.insert(entry).second)
                return QStringLiteral("entry tree: a cycle through \"%1\"")
                    .arg(Shown(NameOf(entry)));
            if (entry->prev != prev)
                return QStringLiteral("entry tree: \"%1\" has the wrong prev link")
                    .arg(Shown(NameOf(entry)));
            if (entry->parent != chain.parent)
                return QStringLiteral("entry tree: \"%1\" has the wrong parent")
                    .arg(Shown(NameOf(entry)));
            if (entry->kind != EntryKind::Address && entry->kind != EntryKind::Group &&
                entry->kind != EntryKind::Separator)
                return QStringLiteral("entry tree: an entry of kind %1").arg(int(entry->kind));
            if (!entry->IsGroup() && entry->firstChild)
                return QStringLiteral("entry tree: \"%1\" has children but is no group")
                    .arg(Shown(NameOf(entry)));
            if (entry->kind == EntryKind::Separator && NameOf(entry) != kSeparatorName)
                return QStringLiteral("entry tree: a separator named \"%1\"")
                    .arg(Shown(NameOf(entry)));
            if (entry->kind != EntryKind::Address && !AddressesOf(entry).empty())
                return QStringLiteral("entry tree: \"%1\" is no address but has addresses")
                    .arg(Shown(NameOf(entry)));
            if (entry->firstChild)
                pending.push_back({entry->firstChild, entry});
        }
    }
    return {};
}

inline int SubtreeSize(const EntryNode* top) {
    int size = 1;
    std::vector<const EntryNode*> pending{top->firstChild};
    while (!pending.empty()) {
        const EntryNode* entry = pending.back();
        pending.pop_back();
        for (; entry; entry = entry->next) {
            ++size;
            pending.push_back(entry->firstChild);
        }
    }
    return size;
}

inline bool IsAncestorOrSelf(const EntryNode* candidate, const EntryNode* entry) {
    for (; entry; entry = entry->parent) {
        if (entry == candidate)
            return true;
    }
    return false;
}

inline std::vector<EntryNode*> ChainFrom(EntryNode* head) {
    std::vector<EntryNode*> chain;
    for (; head; head = head->next)
        chain.push_back(head);
    return chain;
}

inline QString AddressColumnText(const EntryNode* entry) {
    std::string text;
    for (const std::string& address : AddressesOf(entry))
        text += address + ' ';
    return Shown(text);
}

inline QString DeleteCaption(EntryKind kind) {
    if (kind == EntryKind::Group)
        return QStringLiteral("グループの削除");
    if (kind == EntryKind::Separator)
        return QStringLiteral("セパレーターの削除");
    return QStringLiteral("アドレスの削除");
}

// The addresses the address dialog keeps from a box's text: each line trimmed of single-byte
// blanks, empty lines dropped.
inline std::vector<std::string> AddressesFromBox(const QString& box) {
    std::vector<std::string> addresses;
    for (const QString& line : box.split(u'\n')) {
        QString trimmed = line;
        while (!trimmed.isEmpty() && QStringLiteral(" \t\n\v\f\r").contains(trimmed.front()))
            trimmed.remove(0, 1);
        while (!trimmed.isEmpty() && QStringLiteral(" \t\n\v\f\r").contains(trimmed.back()))
            trimmed.chop(1);
        if (!trimmed.isEmpty())
            addresses.push_back(Utf8ToCp932(trimmed.toStdString()).value_or("<refused>"));
    }
    if (addresses.empty())
        addresses.emplace_back(); // as the book reads an entry without addresses back
    return addresses;
}

// CP932 holds the text, and it reads back unchanged from where it stands in a saved book.
inline bool Storable(const QString& text, TextPlace place) {
    const std::optional<std::string> bytes = Utf8ToCp932(text.toStdString());
    return bytes && CheckRoundTrip(*bytes, place).Survives();
}

inline bool BoxStorable(const QString& box) {
    for (const QString& line : box.split(u'\n')) {
        if (!Utf8ToCp932(line.toStdString()))
            return false;
    }
    const std::vector<std::string> addresses = AddressesFromBox(box);
    for (std::size_t i = 0; i < addresses.size(); ++i) {
        const TextPlace place = i == 0 ? TextPlace::FirstAddress : TextPlace::LaterAddress;
        if (!CheckRoundTrip(addresses[i], place).Survives())
            return false;
    }
    return true;
}

// What a crash report names: the run in progress.

} // namespace session
