#pragma once

#include "document/BookEdits.h"
#include "search/BookSearch.h"

#include <QObject>
#include <QPointer>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class CMainFrame;
class EntryTree;
class FindBar;
class QTimer;

// Finding in the whole book: the find bar's text against every name and address, in tree
// order. Going to a match tells the panes through the frame, as they tell each other; the
// book itself is never changed.
//
// The folded book and its matches hold for one revision of the tree. Any change of the
// book (an edit, a drop, New, Open) makes them stale: they are rebuilt when next needed, at
// once the change is told while the bar is shown, and no entry pointer of
// an older revision is ever used. The current match is kept as its place in tree order and
// its entry's address as a plain number: after a change it is the match whose entry, read
// afresh from the book, has that address, else the match at that place.
class BookFinder : public QObject {
    Q_OBJECT

public:
    BookFinder(CMainFrame& frame, const EntryTree& tree, const BookEdits& edits);

    FindBar& bar() const { return *bar_; }
    // Shows the bar (or takes the focus back to it) with its text selected.
    void open();
    void close();
    void findNext();
    void findPrevious();
    // Whether the finder holds a folded copy of the book, as large as the book's text: only
    // while the bar is open.
    bool holdsFoldedBook() const { return book_.has_value() || folding_; }

protected:
    bool event(QEvent* event) override;

private:
    void startFolding();
    void foldSomeMore();
    void completeFolding();
    void onTextChanged(const QString& text);
    void followBookChanges();
    bool upToDate() const;
    void rebuild();
    void searchAgain();
    void followCurrentMatch();
    std::optional<std::size_t> matchOfAddress(std::uintptr_t address) const;
    std::optional<std::size_t> matchAtOrAfter(std::size_t place) const;
    void step(bool forward);
    std::optional<std::size_t> matchAfter() const;
    std::optional<std::size_t> matchBefore() const;
    void announceWrap(bool forward);
    void goToMatch(std::size_t match);
    void showFoundEntry();
    void showCount();
    void sendToPane(int message, const EntryNode* entry);
    QWidget* paneOfCurrentMatch() const;

    CMainFrame& frame_;
    const EntryTree& tree_;
    FindBar* bar_;
    std::optional<FoldedBook> book_;
    // While the bar has just opened, the book is folded a part at a time between events, so
    // that the window answers at once; anything that needs the matches completes it first.
    std::unique_ptr<FoldedBook::Folding> folding_;
    std::uint64_t foldingRevision_ = 0;
    QTimer* foldTimer_;
    std::uint64_t revision_ = 0;         // of the tree that book_ was built from
    std::string folded_;                 // the bar's text, folded
    std::vector<std::size_t> matches_;   // places in tree order
    std::string searched_;               // the folded text matches_ hold the places of
    std::optional<std::size_t> current_; // into matches_
    std::size_t currentPlace_ = 0;       // where the current match was, kept across changes
    std::uintptr_t currentAddress_ = 0;  // never turned back into a pointer
    std::optional<std::size_t> pendingEntryPlace_; // the list's part of going to a match
    std::uint64_t foundEntryPosts_ = 0;            // the number of the last one posted
    QPointer<QWidget> paneBefore_;                 // had the focus when the bar opened
};
