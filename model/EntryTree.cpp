#include "EntryTree.h"

#include <algorithm>
#include <atomic>
#include <stdexcept>
#include <vector>

template <typename Address>
TextRun EntryTree::MakeText(std::string_view name, std::span<const Address> addresses) {
    using entry_text::LengthSize;
    std::size_t size = LengthSize(name.size()) + name.size();
    for (std::string_view address : addresses)
        size += LengthSize(address.size()) + address.size();
    if (size > entry_text::kMaxTextSize)
        throw std::length_error("an entry's text is longer than 4 GiB");
    char* run = arena_.NewText(size);
    char* to = entry_text::PutPiece(run, name);
    for (std::string_view address : addresses)
        to = entry_text::PutPiece(to, address);
    return {run, size};
}

template <typename Address>
void EntryTree::SetText(EntryNode* node, std::string_view name,
                        std::span<const Address> addresses) {
    const TextRun old = ExchangeText(node, MakeText(name, addresses));
    arena_.AbandonText(old.text, old.size);
}

TextRun EntryTree::NewText(std::string_view name, std::span<const std::string_view> addresses) {
    return MakeText(name, addresses);
}

TextRun EntryTree::NewText(std::string_view name, std::span<const std::string> addresses) {
    return MakeText(name, addresses);
}

TextRun EntryTree::ExchangeText(EntryNode* node, TextRun run) {
    ++revision_;
    const TextRun old{node->text, node->textSize};
    node->text = run.text;
    node->textSize = static_cast<std::uint32_t>(run.size);
    return old;
}

template <typename Address>
EntryNode* EntryTree::NewEntryWith(EntryKind kind, std::string_view name,
                                   std::span<const Address> addresses) {
    EntryNode* node = arena_.NewNode();
    node->kind = kind;
    SetText(node, name, addresses);
    return node;
}

EntryNode* EntryTree::NewEntry(EntryKind kind, std::string_view name,
                               std::span<const std::string_view> addresses) {
    return NewEntryWith(kind, name, addresses);
}

EntryNode* EntryTree::NewEntry(EntryKind kind, std::string_view name,
                               std::span<const std::string> addresses) {
    return NewEntryWith(kind, name, addresses);
}

EntryNode* EntryTree::NewSeparator() {
    EntryNode* node = arena_.NewNode();
    node->kind = EntryKind::Separator;
    node->text = kSeparatorRun;
    node->textSize = sizeof kSeparatorRun - 1;
    return node;
}

// The pieces kept are read straight from the old run: SetText writes the new run before it
// gives the old one up.
void EntryTree::SetName(EntryNode* node, std::string_view name) {
    const AddressList kept = node->Addresses();
    const std::vector<std::string_view> addresses(kept.begin(), kept.end());
    SetText(node, name, std::span<const std::string_view>(addresses));
}

void EntryTree::SetAddresses(EntryNode* node, std::span<const std::string_view> addresses) {
    SetText(node, node->Name(), addresses);
}

void EntryTree::SetAddresses(EntryNode* node, std::span<const std::string> addresses) {
    SetText(node, node->Name(), addresses);
}

EntryNode* EntryTree::LastTopLevel() const {
    EntryNode* last = first;
    while (last->next)
        last = last->next;
    return last;
}

void EntryTree::LinkAfter(EntryNode* node, EntryNode* anchor) {
    if (anchor->next)
        anchor->next->prev = node;
    node->parent = anchor->parent;
    node->next = anchor->next;
    node->prev = anchor;
    anchor->next = node;
}

EntryNode* EntryTree::AppendEntry(EntryNode* node, EntryNode* anchor, bool intoGroup) {
    ++revision_;
    if (!first) {
        first = node;
    } else if (!anchor) {
        EntryNode* last = LastTopLevel();
        last->next = node;
        node->prev = last;
    } else if (intoGroup) {
        if (!anchor->firstChild) {
            anchor->firstChild = node;
            node->parent = anchor;
        } else {
            EntryNode* lastChild = anchor->firstChild;
            while (lastChild->next)
                lastChild = lastChild->next;
            lastChild->next = node;
            node->prev = lastChild;
            node->parent = lastChild->parent;
        }
    } else {
        EntryNode* last = anchor;
        while (last->next)
            last = last->next;
        last->next = node;
        node->prev = last;
        node->parent = last->parent;
    }
    return node;
}

EntryNode* EntryTree::InsertAfter(EntryNode* node, EntryNode* anchor) {
    ++revision_;
    if (!first) {
        first = node;
    } else if (!anchor) {
        EntryNode* last = LastTopLevel();
        last->next = node;
        node->prev = last;
    } else {
        LinkAfter(node, anchor);
    }
    return node;
}

// The copy enters unlinked and with a run of its own: the template may belong to another
// tree, whose memory goes with that tree.
EntryNode* EntryTree::UnlinkedCopy(const EntryNode& templ) {
    EntryNode* copy = arena_.NewNode();
    copy->kind = templ.kind;
    if (templ.text == kSeparatorRun) {
        copy->text = kSeparatorRun;
        copy->textSize = templ.textSize;
    } else if (templ.text) {
        char* run = arena_.NewText(templ.textSize);
        std::copy(templ.text, templ.text + templ.textSize, run);
        copy->text = run;
        copy->textSize = templ.textSize;
    }
    return copy;
}

EntryNode* EntryTree::InsertCopyAfter(const EntryNode& templ, EntryNode* anchor) {
    return InsertAfter(UnlinkedCopy(templ), anchor);
}

EntryNode* EntryTree::InsertCopyInto(const EntryNode& templ, EntryNode* group) {
    EntryNode* copy = UnlinkedCopy(templ);
    MoveEntry(copy, group);
    return copy;
}

// Empties other and hands back its top-level chain, each entry now under parent. Only the
// top level is walked: everything below moves with its group.
EntryNode* EntryTree::AdoptTopLevel(EntryTree& other, EntryNode* parent) {
    EntryNode* head = std::exchange(other.first, nullptr);
    for (EntryNode* entry = head; entry; entry = entry->next)
        entry->parent = parent;
    return head;
}

EntryNode* EntryTree::TakeBookAfter(EntryTree& other, EntryNode* anchor) {
    ++revision_;
    if (!other.first)
        return nullptr;
    arena_.Adopt(other.arena_);
    other.bookId_ = NewBookId();
    if (!anchor && !first) {
        first = AdoptTopLevel(other, nullptr);
        return first;
    }
    if (!anchor)
        anchor = LastTopLevel();
    EntryNode* head = AdoptTopLevel(other, anchor->parent);
    EntryNode* tail = head;
    while (tail->next)
        tail = tail->next;
    tail->next = anchor->next;
    if (anchor->next)
        anchor->next->prev = tail;
    anchor->next = head;
    head->prev = anchor;
    return head;
}

EntryNode* EntryTree::TakeBookInto(EntryTree& other, EntryNode* group) {
    ++revision_;
    if (!other.first)
        return nullptr;
    arena_.Adopt(other.arena_);
    other.bookId_ = NewBookId();
    EntryNode* head = AdoptTopLevel(other, group);
    EntryNode* tail = head;
    while (tail->next)
        tail = tail->next;
    tail->next = group->firstChild;
    if (group->firstChild)
        group->firstChild->prev = tail;
    group->firstChild = head;
    return head;
}

void EntryTree::Unlink(EntryNode* node) {
    if (node->parent && !node->prev)
        node->parent->firstChild = node->next;
    if (node->next)
        node->next->prev = node->prev;
    if (node->prev)
        node->prev->next = node->next;
    if (first == node)
        first = node->next;
}

void EntryTree::MoveEntry(EntryNode* node, EntryNode* target) {
    ++revision_;
    if (!node)
        return;
    Unlink(node);
    if (!target) {
        node->next = first;
        node->parent = nullptr;
        node->prev = nullptr;
        if (first)
            first->prev = node;
        first = node;
    } else if (target->IsGroup()) {
        if (target->firstChild)
            target->firstChild->prev = node;
        node->next = target->firstChild;
        node->parent = target;
        target->firstChild = node;
        node->prev = nullptr;
    } else {
        LinkAfter(node, target);
    }
}

void EntryTree::SwapEntries(EntryNode* a, EntryNode* b) {
    ++revision_;
    std::swap(a->kind, b->kind);
    std::swap(a->text, b->text);
    std::swap(a->textSize, b->textSize);
    std::swap(a->firstChild, b->firstChild);
    for (EntryNode* child = a->firstChild; child; child = child->next)
        child->parent = a;
    for (EntryNode* child = b->firstChild; child; child = child->next)
        child->parent = b;
}

void EntryTree::RemoveEntry(EntryNode* node) {
    ++revision_;
    if (!node)
        return;
    if (node->next)
        node->next->prev = node->prev;
    if (node->prev)
        node->prev->next = node->next;
    else if (node->parent)
        node->parent->firstChild = node->next;
    else
        first = node->next;
    if (node->IsGroup())
        FreeChildren(node);
    arena_.FreeNode(node);
}

void EntryTree::UnlinkRun(EntryNode* first, EntryNode* last) {
    ++revision_;
    if (first->prev)
        first->prev->next = last->next;
    else if (first->parent)
        first->parent->firstChild = last->next;
    else
        this->first = last->next;
    if (last->next)
        last->next->prev = first->prev;
    first->prev = nullptr;
    last->next = nullptr;
}

void EntryTree::LinkRun(EntryNode* first, EntryNode* last, EntryPlace place) {
    ++revision_;
    for (EntryNode* entry = first;; entry = entry->next) {
        entry->parent = place.parent;
        if (entry == last)
            break;
    }
    EntryNode* after = this->first;
    if (place.prev)
        after = place.prev->next;
    else if (place.parent)
        after = place.parent->firstChild;
    last->next = after;
    if (after)
        after->prev = last;
    first->prev = place.prev;
    if (place.prev)
        place.prev->next = first;
    else if (place.parent)
        place.parent->firstChild = first;
    else
        this->first = first;
}

void EntryTree::FreeRun(EntryNode* first) {
    FreeChain(first);
}

// Walks each subtree down its links and back up through the parents: nothing is allocated,
// however long the run or deep the nesting.
EntryTree::RunSize EntryTree::MeasureRun(const EntryNode* first, const EntryNode* last) {
    RunSize size;
    for (const EntryNode* top = first;; top = top->next) {
        for (const EntryNode* entry = top;;) {
            ++size.entries;
            size.hasGroup = size.hasGroup || entry->IsGroup();
            if (entry->firstChild) {
                entry = entry->firstChild;
                continue;
            }
            while (entry != top && !entry->next)
                entry = entry->parent;
            if (entry == top)
                break;
            entry = entry->next;
        }
        if (top == last)
            return size;
    }
}

// Frees a whole chain with its subtrees, children before their group and each chain from
// head to tail. An explicit stack of the next entry of each open chain replaces recursion on
// nesting depth.
void EntryTree::FreeChain(EntryNode* head) {
    ++revision_;
    std::vector<EntryNode*> open{head};
    while (!open.empty()) {
        EntryNode* entry = open.back();
        if (!entry) {
            open.pop_back();
            continue;
        }
        if (entry->IsGroup() && entry->firstChild) {
            open.push_back(std::exchange(entry->firstChild, nullptr));
            continue;
        }
        open.back() = entry->next;
        arena_.FreeNode(entry);
    }
}

void EntryTree::FreeChildren(EntryNode* group) {
    FreeChain(std::exchange(group->firstChild, nullptr));
}

void EntryTree::Clear() {
    ForgetBook();
    arena_.Release();
}

void EntryTree::ClearForReuse() {
    ForgetBook();
    arena_.Rewind();
}

// Whatever was derived from the book (folded copies, pointers kept by revision) is stale.
void EntryTree::ForgetBook() {
    ++revision_;
    bookId_ = NewBookId();
    first = nullptr;
}

std::uint64_t EntryTree::NewBookId() {
    static std::atomic<std::uint64_t> next{1};
    return next++;
}
