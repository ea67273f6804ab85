#include "BookEdits.h"

#include <utility>

BookEdits::BookEdits(EntryTree& tree, QObject* parent) : QObject(parent), tree_(tree) {}

// The book goes with the document that owns both, so what the history holds goes with it.
BookEdits::~BookEdits() = default;

BookEdits::Step::~Step() {
    edits_.endStep();
}

BookEdits::Step BookEdits::beginStep(const QString& name) {
    if (depth_++ == 0) {
        openName_ = name;
        openView_ = captureView();
    }
    return Step(*this);
}

void BookEdits::endStep() {
    if (--depth_ > 0 || open_.empty())
        return;
    HistoryStep step{std::exchange(openName_, {}), std::exchange(open_, {}),
                     std::exchange(openView_, {}), captureView()};
    for (const Change& change : step.changes) {
        step.groupsChanged = step.groupsChanged || ChangesGroups(change);
        if (change.kind == Change::Kind::Unlink)
            step.keptDone += change.entries;
        else if (change.kind == Change::Kind::Link)
            step.keptUndone += change.entries;
    }
    pushStep(std::move(step));
}

// A change made outside any step is a step of its own.
void BookEdits::record(Change change) {
    if (depth_ > 0) {
        open_.push_back(change);
        return;
    }
    const Step step = beginStep({});
    open_.push_back(change);
}

EntryNode* BookEdits::newEntry(EntryKind kind) {
    return tree_.NewEntry(kind);
}

EntryNode* BookEdits::newSeparator() {
    return tree_.NewSeparator();
}

void BookEdits::setName(EntryNode* entry, std::string_view name) {
    const AddressList kept = entry->Addresses();
    const std::vector<std::string_view> addresses(kept.begin(), kept.end());
    const TextRun run = tree_.NewText(name, std::span<const std::string_view>(addresses));
    record({Change::Kind::Text, entry, nullptr, tree_.ExchangeText(entry, run)});
}

void BookEdits::setText(EntryNode* entry, std::string_view name,
                        std::span<const std::string> addresses) {
    const TextRun run = tree_.NewText(name, addresses);
    record({Change::Kind::Text, entry, nullptr, tree_.ExchangeText(entry, run)});
}

// The run first..last was just linked, with entries in it and below it.
void BookEdits::recordLinked(EntryNode* first, EntryNode* last, EntryTree::RunSize size) {
    record({.kind = Change::Kind::Link,
            .first = first,
            .last = last,
            .to = EntryTree::PlaceOf(*first),
            .entries = size.entries,
            .groups = size.hasGroup});
}

void BookEdits::insertAfter(EntryNode* entry, EntryNode* anchor) {
    tree_.InsertAfter(entry, anchor);
    recordLinked(entry, entry, EntryTree::MeasureRun(entry, entry));
}

// A new entry moved in is linked for the first time: undoing that unlinks it.
void BookEdits::moveEntry(EntryNode* entry, EntryNode* target) {
    const bool linked = entry->parent || entry->prev || tree_.first == entry;
    const EntryPlace from = EntryTree::PlaceOf(*entry);
    tree_.MoveEntry(entry, target);
    if (!linked)
        return recordLinked(entry, entry, EntryTree::MeasureRun(entry, entry));
    record({.kind = Change::Kind::Move,
            .first = entry,
            .last = entry,
            .from = from,
            .to = EntryTree::PlaceOf(*entry)});
}

void BookEdits::swapEntries(EntryNode* a, EntryNode* b) {
    tree_.SwapEntries(a, b);
    record({Change::Kind::Swap, a, b});
}

void BookEdits::removeEntry(EntryNode* entry) {
    removeRun(entry, entry);
}

void BookEdits::removeRun(EntryNode* first, EntryNode* last) {
    const EntryPlace from = EntryTree::PlaceOf(*first);
    const EntryTree::RunSize size = EntryTree::MeasureRun(first, last);
    tree_.UnlinkRun(first, last);
    record({.kind = Change::Kind::Unlink,
            .first = first,
            .last = last,
            .from = from,
            .entries = size.entries,
            .groups = size.hasGroup});
}

// other's top level becomes one linked run; its last entry and size are read before take
// empties other.
template <typename Take> EntryNode* BookEdits::takeBook(EntryTree& other, Take take) {
    if (!other.first)
        return nullptr;
    EntryNode* last = other.first;
    while (last->next)
        last = last->next;
    const EntryTree::RunSize size = EntryTree::MeasureRun(other.first, last);
    EntryNode* head = take();
    recordLinked(head, last, size);
    return head;
}

EntryNode* BookEdits::takeBookAfter(EntryTree& other, EntryNode* anchor) {
    return takeBook(other, [&] { return tree_.TakeBookAfter(other, anchor); });
}

EntryNode* BookEdits::takeBookInto(EntryTree& other, EntryNode* group) {
    return takeBook(other, [&] { return tree_.TakeBookInto(other, group); });
}

void BookEdits::apply(Change& change, bool forward) {
    using Kind = Change::Kind;
    switch (change.kind) {
    case Kind::Text:
        change.run = tree_.ExchangeText(change.first, change.run);
        break;
    case Kind::Swap:
        tree_.SwapEntries(change.first, change.last);
        break;
    case Kind::Link:
    case Kind::Unlink:
        if (forward == (change.kind == Kind::Link))
            tree_.LinkRun(change.first, change.last,
                          change.kind == Kind::Link ? change.to : change.from);
        else
            tree_.UnlinkRun(change.first, change.last);
        break;
    case Kind::Move:
        tree_.UnlinkRun(change.first, change.first);
        tree_.LinkRun(change.first, change.first, forward ? change.to : change.from);
        break;
    }
}

void BookEdits::pushStep(HistoryStep step) {
    const bool wasClean = isClean();
    while (steps_.size() > done_) {
        dropStep(steps_.back(), false);
        steps_.pop_back();
    }
    if (saved_ && *saved_ > done_)
        saved_.reset(); // the saved state was undone and is now out of reach
    keptEntries_ += step.keptDone;
    steps_.push_back(std::move(step));
    ++done_;
    trimOldest();
    afterMove(BookChange::Edited, wasClean);
}

// What only the step holds is freed: the entries it keeps apart from the book in that state.
void BookEdits::dropStep(HistoryStep& step, bool done) {
    const Change::Kind held = done ? Change::Kind::Unlink : Change::Kind::Link;
    for (const Change& change : step.changes) {
        if (change.kind == held)
            tree_.FreeRun(change.first);
    }
    keptEntries_ -= done ? step.keptDone : step.keptUndone;
}

void BookEdits::trimOldest() {
    std::size_t dropped = 0;
    while (done_ - dropped > 1 &&
           (steps_.size() - dropped > maxSteps_ || keptEntries_ > maxKeptEntries_)) {
        dropStep(steps_[dropped], true);
        ++dropped;
    }
    if (dropped == 0)
        return;
    steps_.erase(steps_.begin(), steps_.begin() + static_cast<std::ptrdiff_t>(dropped));
    done_ -= dropped;
    if (saved_ && *saved_ >= dropped)
        *saved_ -= dropped;
    else
        saved_.reset();
}

QString BookEdits::undoName() const {
    return canUndo() ? steps_[done_ - 1].name : QString();
}

QString BookEdits::redoName() const {
    return canRedo() ? steps_[done_].name : QString();
}

void BookEdits::undo() {
    if (!canUndo())
        return;
    const bool wasClean = isClean();
    HistoryStep& step = steps_[done_ - 1];
    for (auto it = step.changes.rbegin(); it != step.changes.rend(); ++it)
        apply(*it, false);
    --done_;
    keptEntries_ = keptEntries_ - step.keptDone + step.keptUndone;
    showView(step, false);
    afterMove(BookChange::Undone, wasClean);
}

void BookEdits::redo() {
    if (!canRedo())
        return;
    const bool wasClean = isClean();
    HistoryStep& step = steps_[done_];
    for (Change& change : step.changes)
        apply(change, true);
    ++done_;
    keptEntries_ = keptEntries_ - step.keptUndone + step.keptDone;
    showView(step, true);
    afterMove(BookChange::Redone, wasClean);
}

void BookEdits::afterMove(BookChange change, bool wasClean) {
    emit bookChanged(change);
    emit historyChanged();
    if (isClean() != wasClean)
        emit cleanChanged(isClean());
}

void BookEdits::markSaved() {
    const bool wasClean = isClean();
    saved_ = done_;
    if (!wasClean)
        emit cleanChanged(true);
}

void BookEdits::forget(bool clean) {
    steps_.clear();
    done_ = 0;
    keptEntries_ = 0;
    saved_ = clean ? std::optional<std::size_t>(0) : std::nullopt;
    emit bookChanged(BookChange::Replaced);
    emit historyChanged();
}

BookView BookEdits::captureView() const {
    return viewKeeper_ ? viewKeeper_->captureView() : BookView{};
}

void BookEdits::showView(const HistoryStep& step, bool after) {
    if (viewKeeper_)
        viewKeeper_->restoreView(after ? step.after : step.before, step.groupsChanged);
}

// A run linked or unlinked changes groups when one of its entries is a group: those below
// come and go with it.
bool BookEdits::ChangesGroups(const Change& change) {
    switch (change.kind) {
    case Change::Kind::Swap:
        return change.first->IsGroup() || change.last->IsGroup();
    case Change::Kind::Link:
    case Change::Kind::Unlink:
        return change.groups;
    default:
        return change.first->IsGroup();
    }
}
