#include "BookFinder.h"

#include "FindBar.h"
#include "MainFrame.h"
#include "search/TextFolding.h"
#include "views/PaneMessages.h"

#include <QApplication>
#include <QStatusBar>
#include <QTimer>

#include <algorithm>

namespace {

// The list's part of going to a match, numbered. Only the one posted last acts: an earlier
// one may be queued ahead of what the tree posted for a later match, and the tree showing
// its group after the row was selected would take the row's selection away.
class ShowFoundEntryEvent : public QEvent {
public:
    explicit ShowFoundEntryEvent(std::uint64_t number) : QEvent(Type()), number(number) {}
    static QEvent::Type Type() {
        static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
        return type;
    }
    const std::uint64_t number;
};

constexpr int kWrapMessageMs = 5000;
// Entries folded between two events: a few milliseconds' work.
constexpr std::size_t kFoldingStepPlaces = 32768;

} // namespace

BookFinder::BookFinder(CMainFrame& frame, const EntryTree& tree, const BookEdits& edits)
    : QObject(&frame), frame_(frame), tree_(tree), bar_(new FindBar), foldTimer_(new QTimer(this)) {
    foldTimer_->setInterval(0);
    connect(foldTimer_, &QTimer::timeout, this, &BookFinder::foldSomeMore);
    bar_->hide();
    frame_.addBottomBar(bar_);
    connect(bar_, &FindBar::textChanged, this, &BookFinder::onTextChanged);
    connect(bar_, &FindBar::nextRequested, this, &BookFinder::findNext);
    connect(bar_, &FindBar::previousRequested, this, &BookFinder::findPrevious);
    connect(bar_, &FindBar::closeRequested, this, &BookFinder::close);
    connect(&edits, &BookEdits::bookChanged, this, &BookFinder::followBookChanges);
}

void BookFinder::open() {
    if (bar_->isHidden()) {
        QWidget* focused = QApplication::focusWidget();
        paneBefore_ = nullptr;
        for (int column : {0, 1}) {
            if (focused &&
                (focused == frame_.pane(column) || frame_.pane(column)->isAncestorOf(focused)))
                paneBefore_ = frame_.pane(column);
        }
        bar_->show();
        startFolding(); // while the user starts typing
    }
    bar_->focusText();
}

// The focus goes where the user can act on what was found: the pane that shows the current
// match, else back to the pane that had it. The folded book goes: it is as large as the
// book's text.
void BookFinder::close() {
    QWidget* pane = paneOfCurrentMatch();
    bar_->hide();
    foldTimer_->stop();
    folding_.reset();
    book_.reset();
    matches_.clear();
    current_.reset();
    pendingEntryPlace_.reset();
    pane->setFocus(Qt::ShortcutFocusReason);
}

QWidget* BookFinder::paneOfCurrentMatch() const {
    if (current_ && upToDate()) {
        const EntryNode* entry = book_->EntryAt(matches_[*current_]);
        return frame_.pane(entry->IsGroup() ? 0 : 1);
    }
    return paneBefore_ ? paneBefore_.data() : frame_.pane(0);
}

void BookFinder::startFolding() {
    folding_ = std::make_unique<FoldedBook::Folding>(tree_, nullptr);
    foldingRevision_ = tree_.Revision();
    bar_->clearCount();
    foldTimer_->start();
}

// A change of the book between two parts starts the fold again: the entries it walked may
// be gone.
void BookFinder::foldSomeMore() {
    if (tree_.Revision() != foldingRevision_)
        startFolding();
    else if (folding_->Continue(kFoldingStepPlaces))
        searchAgain();
}

// The book folded whole; no text searched in it yet.
void BookFinder::completeFolding() {
    if (!folding_)
        return;
    foldTimer_->stop();
    if (tree_.Revision() != foldingRevision_)
        folding_ = std::make_unique<FoldedBook::Folding>(tree_, nullptr);
    book_ = folding_->Finish();
    folding_.reset();
    revision_ = tree_.Revision();
    pendingEntryPlace_.reset();
    matches_.clear();
    searched_.clear();
}

bool BookFinder::upToDate() const {
    return book_ && revision_ == tree_.Revision();
}

// Typing on only narrows the matches: the longer text is looked for where the shorter was.
void BookFinder::onTextChanged(const QString& text) {
    completeFolding();
    std::string folded = FoldTypedText(text.toStdString());
    const bool narrows = upToDate() && !folded_.empty() && searched_ == folded_ &&
                         folded.find(folded_) != std::string::npos;
    folded_ = std::move(folded);
    if (narrows) {
        matches_ = book_->PlacesContaining(folded_, matches_);
        searched_ = folded_;
        followCurrentMatch();
    } else {
        searchAgain();
    }
    if (std::optional<std::size_t> first = matchAtOrAfter(currentPlace_))
        goToMatch(*first);
    else if (!matches_.empty())
        goToMatch(0);
}

// The matches of the bar's text in the book as it is now, folding again what changed in
// the book.
void BookFinder::searchAgain() {
    completeFolding();
    if (upToDate()) {
        matches_ = book_->PlacesContaining(folded_);
    } else {
        if (book_ && searched_ == folded_) {
            // The matches in what the last fold shares with this one are known already.
            FoldedBook folded(tree_, *book_);
            matches_ = folded.PlacesContaining(folded_, *book_, matches_);
            book_ = std::move(folded);
        } else {
            book_ = book_ ? FoldedBook(tree_, *book_) : FoldedBook(tree_);
            matches_ = book_->PlacesContaining(folded_);
        }
        revision_ = tree_.Revision();
        pendingEntryPlace_.reset();
    }
    searched_ = folded_;
    followCurrentMatch();
}

// The current match stays the same entry while it still matches, else the match at its
// place, if any.
void BookFinder::followCurrentMatch() {
    current_ = matchOfAddress(currentAddress_);
    if (!current_) {
        const auto found = std::lower_bound(matches_.begin(), matches_.end(), currentPlace_);
        if (found != matches_.end() && *found == currentPlace_)
            current_ = static_cast<std::size_t>(found - matches_.begin());
    }
    if (current_)
        currentPlace_ = matches_[*current_];
    bar_->showNotFound(!folded_.empty() && matches_.empty());
    showCount();
}

// A change of the book while the bar is shown updates the count and the current match.
void BookFinder::followBookChanges() {
    if (!book_ || upToDate())
        return;
    searchAgain();
}

std::optional<std::size_t> BookFinder::matchOfAddress(std::uintptr_t address) const {
    for (std::size_t match = 0; match < matches_.size(); ++match) {
        if (reinterpret_cast<std::uintptr_t>(book_->EntryAt(matches_[match])) == address)
            return match;
    }
    return std::nullopt;
}

std::optional<std::size_t> BookFinder::matchAtOrAfter(std::size_t place) const {
    const auto found = std::lower_bound(matches_.begin(), matches_.end(), place);
    if (found == matches_.end())
        return std::nullopt;
    return static_cast<std::size_t>(found - matches_.begin());
}

void BookFinder::findNext() {
    step(true);
}

void BookFinder::findPrevious() {
    step(false);
}

// From the current match, or without one from where it was, to the next or previous match,
// wrapping at the ends of the book.
void BookFinder::step(bool forward) {
    if (folded_.empty())
        return;
    completeFolding();
    if (!upToDate() || searched_ != folded_)
        searchAgain();
    if (matches_.empty())
        return;
    const std::optional<std::size_t> target = forward ? matchAfter() : matchBefore();
    if (!target)
        announceWrap(forward);
    goToMatch(target.value_or(forward ? 0 : matches_.size() - 1));
}

// Nullopt past the last match.
std::optional<std::size_t> BookFinder::matchAfter() const {
    const std::optional<std::size_t> after =
        current_ ? std::optional(*current_ + 1) : matchAtOrAfter(currentPlace_);
    return after && *after < matches_.size() ? after : std::nullopt;
}

// Nullopt before the first match.
std::optional<std::size_t> BookFinder::matchBefore() const {
    const std::size_t before =
        current_ ? *current_ : matchAtOrAfter(currentPlace_).value_or(matches_.size());
    return before > 0 ? std::optional(before - 1) : std::nullopt;
}

void BookFinder::announceWrap(bool forward) {
    frame_.statusBar()->showMessage(
        forward ? QStringLiteral("アドレス帳の末尾に達したので、先頭から検索しました")
                : QStringLiteral("アドレス帳の先頭に達したので、末尾から検索しました"),
        kWrapMessageMs);
}

// The tree selects the match's group (the group itself when the match is one) at once; the
// list is told after the tree's own posted selection change, so the row stays current.
void BookFinder::goToMatch(std::size_t match) {
    current_ = match;
    currentPlace_ = matches_[match];
    showCount();
    const EntryNode* entry = book_->EntryAt(currentPlace_);
    currentAddress_ = reinterpret_cast<std::uintptr_t>(entry);
    sendToPane(UM_SHOWFOUNDGROUP, entry->IsGroup() ? entry : entry->parent);
    pendingEntryPlace_ = currentPlace_;
    QCoreApplication::postEvent(this, new ShowFoundEntryEvent(++foundEntryPosts_));
}

bool BookFinder::event(QEvent* event) {
    if (event->type() != ShowFoundEntryEvent::Type())
        return QObject::event(event);
    if (static_cast<ShowFoundEntryEvent*>(event)->number == foundEntryPosts_)
        showFoundEntry();
    return true;
}

// Only an entry of the revision still in place is shown: a change since clears the way.
void BookFinder::showFoundEntry() {
    const std::optional<std::size_t> place = std::exchange(pendingEntryPlace_, std::nullopt);
    if (place && upToDate())
        sendToPane(UM_SHOWFOUNDENTRY, book_->EntryAt(*place));
}

void BookFinder::showCount() {
    bar_->showCount(current_ ? qsizetype(*current_ + 1) : 0, qsizetype(matches_.size()));
}

void BookFinder::sendToPane(int message, const EntryNode* entry) {
    // The panes take the entry as a message parameter and only look at it.
    PaneMessageEvent event(message, const_cast<EntryNode*>(entry));
    QCoreApplication::sendEvent(&frame_, &event);
}
