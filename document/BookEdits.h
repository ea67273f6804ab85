#pragma once

#include "model/EntryTree.h"

#include <QObject>
#include <QString>

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// What the panes showed, kept with each step so that undo and redo can show it again.
struct BookView {
    std::vector<EntryNode*> expandedGroups; // the tree's open group items
    bool rootExpanded = true;
    EntryNode* treeCurrent = nullptr; // null: the root item
    bool treeShowPending = false;     // the list was yet to be told of treeCurrent
    EntryNode* shownGroup = nullptr;  // the list's group; null: the top level
    EntryNode* listCurrent = nullptr; // null: no current row
    // Runs of neighbouring selected rows, as the entries of their first and last rows.
    std::vector<std::pair<EntryNode*, EntryNode*>> listSelected;
    int activePane = 0; // 0 the tree, 1 the list
};

// Whoever knows what the panes show: asked when a step begins and ends, told to show it
// again after an undo or a redo. groupsChanged is false when the step left every group in
// place with its name, so that what shows the groups alone may stay as it is.
class BookViewKeeper {
public:
    virtual ~BookViewKeeper() = default;
    virtual BookView captureView() const = 0;
    virtual void restoreView(const BookView& view, bool groupsChanged) = 0;
};

// How the book last changed, for whatever shows it or derives from it.
enum class BookChange { Edited, Undone, Redone, Replaced };

// The one way the book is changed while it is open, and the history that undoes and redoes
// those changes. Nothing an edit takes away is copied or freed while a step can still bring
// it back: removed entries stay unlinked in the book's memory with everything below them,
// and replaced text runs stay where they are.
class BookEdits : public QObject {
    Q_OBJECT

public:
    // The oldest steps go beyond either bound; the newest step is always kept.
    static constexpr std::size_t kMaxSteps = 1000;
    static constexpr std::size_t kMaxKeptEntries = 4'000'000;

    explicit BookEdits(EntryTree& tree, QObject* parent = nullptr);
    ~BookEdits() override;

    // The changes made while a Step lives are one step of the history, undone as one.
    // Steps begun inside another belong to the outer one.
    class [[nodiscard]] Step {
    public:
        ~Step();
        Step(const Step&) = delete;
        Step& operator=(const Step&) = delete;

    private:
        friend class BookEdits;
        explicit Step(BookEdits& edits) : edits_(edits) {}
        BookEdits& edits_;
    };
    Step beginStep(const QString& name);

    // New entries come unlinked; insertAfter or moveEntry links them.
    EntryNode* newEntry(EntryKind kind);
    EntryNode* newSeparator();

    // The same as the tree's functions of the same names, recorded in the current step.
    void setName(EntryNode* entry, std::string_view name);
    void setText(EntryNode* entry, std::string_view name, std::span<const std::string> addresses);
    void insertAfter(EntryNode* entry, EntryNode* anchor);
    void moveEntry(EntryNode* entry, EntryNode* target);
    void swapEntries(EntryNode* a, EntryNode* b);
    void removeEntry(EntryNode* entry);
    // Takes out the siblings from first to last (last follows first in its chain) at once.
    void removeRun(EntryNode* first, EntryNode* last);
    EntryNode* takeBookAfter(EntryTree& other, EntryNode* anchor);
    EntryNode* takeBookInto(EntryTree& other, EntryNode* group);

    bool canUndo() const { return done_ > 0 && depth_ == 0; }
    bool canRedo() const { return done_ < steps_.size() && depth_ == 0; }
    QString undoName() const;
    QString redoName() const;
    void undo();
    void redo();

    // Whether the book is as it was last read or saved.
    bool isClean() const { return saved_ == done_; }
    void markSaved();
    // The book was replaced, so the history goes without touching it. A book read from a
    // file is clean; an imported one is not.
    void forget(bool clean);

    std::size_t stepCount() const { return steps_.size(); }
    // Entries held apart from the book by the history.
    std::size_t keptEntries() const { return keptEntries_; }
    void setViewKeeper(BookViewKeeper* keeper) { viewKeeper_ = keeper; }
    // Other bounds than the defaults, for trying them on small books.
    void setLimits(std::size_t maxSteps, std::size_t maxKeptEntries) {
        maxSteps_ = maxSteps;
        maxKeptEntries_ = maxKeptEntries;
    }

signals:
    void bookChanged(BookChange change);
    void cleanChanged(bool clean);
    void historyChanged();

private:
    // One change of the tree, undone and redone in place.
    struct Change {
        enum class Kind { Text, Swap, Link, Unlink, Move };
        Kind kind;
        EntryNode* first;        // the entry, or the first of a run
        EntryNode* last;         // the last of a run; the partner of a swap
        TextRun run{};           // Text: the run the entry does not have now
        EntryPlace from{}, to{}; // Unlink and Move: where it was; Link and Move: where it goes
        std::size_t entries = 0; // Link and Unlink: entries in the run and below it
        bool groups = false;     // Link and Unlink: a group among them
    };
    struct HistoryStep {
        QString name;
        std::vector<Change> changes;
        BookView before, after;
        std::size_t keptDone = 0;   // entries held apart while the step is in the book
        std::size_t keptUndone = 0; // and while it is undone
        bool groupsChanged = false;
    };

    void record(Change change);
    void recordLinked(EntryNode* first, EntryNode* last, EntryTree::RunSize size);
    template <typename Take> EntryNode* takeBook(EntryTree& other, Take take);
    void endStep();
    void apply(Change& change, bool forward);
    void pushStep(HistoryStep step);
    void dropStep(HistoryStep& step, bool done);
    void trimOldest();
    BookView captureView() const;
    void showView(const HistoryStep& step, bool after);
    static bool ChangesGroups(const Change& change);
    void afterMove(BookChange change, bool wasClean);

    EntryTree& tree_;
    std::vector<HistoryStep> steps_;
    std::size_t done_ = 0;                // steps_[0, done_) are in the book
    std::optional<std::size_t> saved_{0}; // the count of done steps the file holds
    std::size_t keptEntries_ = 0;
    std::size_t maxSteps_ = kMaxSteps;
    std::size_t maxKeptEntries_ = kMaxKeptEntries;
    int depth_ = 0;
    std::vector<Change> open_; // the changes of the step being made
    QString openName_;
    BookView openView_;
    BookViewKeeper* viewKeeper_ = nullptr;
};
