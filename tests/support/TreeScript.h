#pragma once

// Plays a byte string as a run of edits on an EntryTree, the way the window edits a book,
// and checks after every edit that the links hold, that every live entry still has exactly
// the text it was last given (nothing written over, no node handed out twice), and that
// writing the book and reading it back gives the same entries. Shared by a fuzz target and
// the model's tests; standard library only.
#include "file/BookFormat.h"
#include "model/EntryTree.h"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

class TreeScript {
public:
    // Run after every edit that passed the checks, for what is derived from the book; an
    // empty string when it holds, else what broke.
    using Observer = std::function<std::string(const EntryTree&)>;

    // An empty string when every check held, else what broke.
    std::string Play(std::string_view bytes, const Observer& afterEachEdit = {}) {
        input_ = bytes;
        while (!input_.empty() && failure_.empty()) {
            lastOp_ = Byte() % 12;
            Step(lastOp_);
            if (failure_.empty())
                Check();
            if (failure_.empty() && afterEachEdit)
                failure_ = afterEachEdit(tree_);
        }
        return failure_;
    }

private:
    struct Content {
        EntryKind kind;
        std::string name;
        std::vector<std::string> addresses;
        bool operator==(const Content&) const = default;
    };

    std::uint8_t Byte() {
        if (input_.empty())
            return 0;
        const auto byte = static_cast<std::uint8_t>(input_.front());
        input_.remove_prefix(1);
        return byte;
    }

    // Text the file format keeps as it is: no blanks, commas, colons or line ends, a CP932
    // pair whose second byte is a backslash, and lengths past one length byte now and then.
    std::string Text() {
        static constexpr std::string_view kTokens[] = {"a", "Z", "0",        "@",
                                                       ".", "-", "\x83\x5C", "\x8E\x52"};
        const std::uint8_t length = Byte();
        const std::size_t count = length >= 250 ? 200 + length : length % 12;
        std::string text;
        for (std::size_t i = 0; i < count; ++i)
            text += kTokens[(Byte() + i) % std::size(kTokens)];
        // A name starting with a keyword would read back as another kind of line.
        return text.empty() ? text : "n" + text;
    }

    std::vector<std::string> Addresses() {
        std::vector<std::string> addresses(Byte() % 4);
        for (std::string& address : addresses)
            address = Text();
        return addresses;
    }

    EntryNode* Pick() {
        if (live_.empty())
            return nullptr;
        auto it = live_.begin();
        std::advance(it, Byte() % live_.size());
        return it->first;
    }

    EntryNode* PickGroup() {
        for (int tries = 0; tries < 4; ++tries) {
            EntryNode* node = Pick();
            if (node && node->IsGroup())
                return node;
        }
        return nullptr;
    }

    EntryNode* NewEntry(EntryTree& tree, std::map<EntryNode*, Content>& live) {
        const std::uint8_t kind = Byte() % 4;
        EntryNode* node;
        if (kind == 3) {
            node = tree.NewSeparator();
            live[node] = {EntryKind::Separator, kSeparatorName, {}};
            return node;
        }
        const EntryKind entryKind = kind == 2 ? EntryKind::Group : EntryKind::Address;
        const std::string name = Text();
        const std::vector<std::string> addresses =
            entryKind == EntryKind::Group ? std::vector<std::string>{} : Addresses();
        node = tree.NewEntry(entryKind, name, addresses);
        if (live.count(node))
            failure_ = "a live node was handed out again";
        live[node] = {entryKind, name, addresses};
        return node;
    }

    bool Inside(const EntryNode* node, const EntryNode* group) const {
        for (; node; node = node->parent) {
            if (node == group)
                return true;
        }
        return false;
    }

    void Forget(EntryNode* root) {
        std::vector<EntryNode*> open{root};
        while (!open.empty()) {
            EntryNode* node = open.back();
            open.pop_back();
            live_.erase(node);
            for (EntryNode* child = node->firstChild; child; child = child->next)
                open.push_back(child);
        }
    }

    void Insert() {
        EntryNode* anchor = Pick(); // before the new node is among those picked from
        EntryNode* node = NewEntry(tree_, live_);
        if (Byte() % 2)
            tree_.InsertAfter(node, anchor);
        else
            tree_.AppendEntry(node, anchor, anchor && anchor->IsGroup() && Byte() % 2);
    }

    void Move() {
        EntryNode* node = Pick();
        EntryNode* target = Byte() % 5 ? Pick() : nullptr;
        if (node && !Inside(target, node))
            tree_.MoveEntry(node, target);
    }

    void SwapWithNext() {
        EntryNode* node = Pick();
        if (!node || !node->next)
            return;
        EntryNode* next = node->next;
        tree_.SwapEntries(node, next);
        std::swap(live_[node], live_[next]);
    }

    void Remove() {
        if (EntryNode* node = Pick()) {
            Forget(node);
            tree_.RemoveEntry(node);
        }
    }

    void EmptyGroup() {
        if (EntryNode* group = PickGroup()) {
            for (EntryNode* child = group->firstChild; child; child = child->next)
                Forget(child);
            tree_.FreeChildren(group);
        }
    }

    void Copy() {
        EntryNode* templ = Pick();
        if (!templ)
            return;
        const Content content = live_[templ];
        EntryNode* group = PickGroup();
        EntryNode* copy = group && Byte() % 2 ? tree_.InsertCopyInto(*templ, group)
                                              : tree_.InsertCopyAfter(*templ, Pick());
        live_[copy] = content;
    }

    // Another book, built in its own tree, taken in whole; it may go before this tree does.
    void TakeBook() {
        auto other = std::make_unique<EntryTree>();
        std::map<EntryNode*, Content> taken;
        EntryNode* last = nullptr;
        for (int count = Byte() % 4 + 1; count > 0; --count)
            last = other->InsertAfter(NewEntry(*other, taken), last);
        EntryNode* group = PickGroup();
        if (group && Byte() % 2)
            tree_.TakeBookInto(*other, group);
        else
            tree_.TakeBookAfter(*other, Pick());
        other.reset();
        live_.insert(taken.begin(), taken.end());
    }

    void Step(std::uint8_t op) {
        switch (op) {
        case 0:
        case 1:
            Insert();
            break;
        case 2:
            // Separators all carry the one name; the window never renames them.
            if (EntryNode* node = Pick(); node && node->kind != EntryKind::Separator) {
                live_[node].name = Text();
                tree_.SetName(node, live_[node].name);
            }
            break;
        case 3:
            if (EntryNode* node = Pick(); node && node->kind == EntryKind::Address) {
                live_[node].addresses = Addresses();
                tree_.SetAddresses(node, live_[node].addresses);
            }
            break;
        case 4:
            Move();
            break;
        case 5:
            SwapWithNext();
            break;
        case 6:
            Remove();
            break;
        case 7:
            EmptyGroup();
            break;
        case 8:
            Copy();
            break;
        case 9:
            TakeBook();
            break;
        case 10:
            if (Byte() % 16 == 0) {
                tree_.Clear();
                live_.clear();
            }
            break;
        default:
            Insert();
            break;
        }
    }

    struct Line {
        std::size_t depth;
        Content content;
        bool operator==(const Line&) const = default;
    };

    // Pre-order lines with depths; checks the links on the way, iteratively.
    std::vector<Line> Walk(const EntryTree& tree, bool fromLive) {
        std::vector<Line> lines;
        std::vector<const EntryNode*> parents{nullptr};
        const EntryNode* prev = nullptr;
        std::size_t seen = 0;
        for (const EntryNode* e = tree.first; e && failure_.empty();) {
            if (++seen > live_.size() + 1 && fromLive)
                failure_ = "more entries linked than made: a cycle or a lost free";
            else if (e->parent != parents.back() || e->prev != prev)
                failure_ = "parent or prev link broken";
            else if (!e->IsGroup() && e->firstChild)
                failure_ = "children under an entry that is not a group";
            Content content{e->kind, std::string(e->Name()), e->Addresses().ToStrings()};
            if (fromLive && (!live_.count(const_cast<EntryNode*>(e)) ||
                             live_[const_cast<EntryNode*>(e)] != content))
                failure_ = "an entry's text or kind changed under it";
            if (content.kind == EntryKind::Address && content.addresses.empty())
                content.addresses = {""}; // written as "name: ", read back as one empty address
            lines.push_back({parents.size() - 1, content});
            if (e->IsGroup() && e->firstChild) {
                parents.push_back(e);
                prev = nullptr;
                e = e->firstChild;
                continue;
            }
            while (!e->next && e->parent) {
                e = e->parent;
                parents.pop_back();
            }
            prev = e;
            e = e->next;
        }
        return lines;
    }

    void Check() {
        const std::vector<Line> lines = Walk(tree_, true);
        if (!failure_.empty())
            return;
        if (lines.size() != live_.size()) {
            failure_ = "entries made and entries linked differ after op " +
                       std::to_string(lastOp_) + ": " + std::to_string(live_.size()) + " made, " +
                       std::to_string(lines.size()) + " linked";
            return;
        }
        std::ostringstream out;
        WriteBook(out, tree_);
        std::istringstream in(out.str());
        EntryTree reread;
        ReadBook(in, reread);
        if (Walk(reread, false) != lines)
            failure_ = "the written book reads back as another book";
    }

    EntryTree tree_;
    std::map<EntryNode*, Content> live_;
    std::string_view input_;
    std::string failure_;
    int lastOp_ = 0;
};

// Plays rounds of random scripts from a fixed seed: the first failure with its round, or an
// empty string.
inline std::string PlayRandomScripts(int rounds, const TreeScript::Observer& afterEachEdit = {}) {
    std::mt19937 rng(20261209);
    for (int round = 0; round < rounds; ++round) {
        std::string bytes(3000, '\0');
        for (char& byte : bytes)
            byte = static_cast<char>(rng());
        const std::string failure = TreeScript().Play(bytes, afterEachEdit);
        if (!failure.empty())
            return "round " + std::to_string(round) + ": " + failure;
    }
    return {};
}
