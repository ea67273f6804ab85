#include "EntryTree.h"

#include <vector>

EntryNode* EntryTree::CopyEntry(const EntryNode& source) {
    auto* copy = new EntryNode;
    copy->parent = source.parent;
    copy->firstChild = source.firstChild;
    copy->next = source.next;
    copy->prev = source.prev;
    copy->kind = source.kind;
    copy->name = source.name;
    for (const std::string& address : source.addresses)
        copy->addresses.push_back(address);
    return copy;
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

// The copy must enter unlinked: a template taken from the tree would otherwise hand its
// children and neighbours to the copy, and the tree would free them twice.
EntryNode* EntryTree::UnlinkedCopy(const EntryNode& templ) {
    EntryNode* copy = CopyEntry(templ);
    copy->parent = copy->firstChild = copy->next = copy->prev = nullptr;
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
    if (!other.first)
        return nullptr;
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
    if (!other.first)
        return nullptr;
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

void EntryTree::TakeContent(EntryNode* to, const EntryNode& from) {
    to->kind = from.kind;
    to->name = from.name;
    to->addresses.clear();
    for (const std::string& address : from.addresses)
        to->addresses.push_back(address);
    to->parent = from.parent;
    to->firstChild = from.firstChild;
    for (EntryNode* child = to->firstChild; child; child = child->next)
        child->parent = to;
}

void EntryTree::SwapEntries(EntryNode* a, EntryNode* b) {
    EntryNode* saved = CopyEntry(*a);
    TakeContent(a, *b);
    TakeContent(b, *saved);
    delete saved; // the copy does not own the children it pointed at
}

void EntryTree::RemoveEntry(EntryNode* node) {
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
    node->addresses.clear();
    delete node;
}

// Frees a whole chain with its subtrees, children before their group and each chain from
// head to tail. An explicit stack of chain heads replaces recursion on nesting depth.
void EntryTree::FreeChain(EntryNode*& head) {
    std::vector<EntryNode**> open{&head};
    while (!open.empty()) {
        EntryNode** chainHead = open.back();
        EntryNode* entry = *chainHead;
        if (!entry) {
            open.pop_back();
            continue;
        }
        if (entry->IsGroup() && entry->firstChild) {
            open.push_back(&entry->firstChild);
            continue;
        }
        *chainHead = entry->next;
        if (entry->next)
            entry->next->prev = nullptr;
        entry->addresses.clear();
        delete entry;
    }
}

void EntryTree::FreeChildren(EntryNode* group) {
    FreeChain(group->firstChild);
}

void EntryTree::Clear() {
    FreeChain(first);
}
