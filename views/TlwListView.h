#pragma once

#include "DocumentPane.h"
#include "ReportView.h"

#include <QPersistentModelIndex>

#include <vector>

class CTellwickDoc;
class EntryTree;
struct BookView;
class Prompter;
class EntryListModel;
class PaneMessageEvent;
struct EntryNode;

// The right pane: the entries of one group, one row per entry in chain order, with the
// columns "名前" and "アドレス". It shows whatever the last UM_SHOWGROUP named. Entries are
// made, edited, deleted and moved here; changes that concern groups are told to the tree
// through the frame.
class CTlwListView : public ReportView, public DocumentPane {
    Q_OBJECT

public:
    CTlwListView(CTellwickDoc& document, Prompter& prompter, QWidget* parent = nullptr);

    void onInitialUpdate() override;
    // The group shown, the current row and the selection, and the same again after an undo
    // or a redo.
    void captureView(BookView& view) const;
    void restoreView(const BookView& view);
    EntryListModel& rows() const { return *rows_; }
    // The row holding the focus, or -1: the entry every one-entry command works on.
    int currentRow() const;
    // The group whose entries the rows are; null for the book's top level.
    EntryNode* shownGroup() const { return shownGroup_; }
    // The row under the cursor while a drag passes over this pane, or -1.
    int dropRow() const;
    // Reads the book or contact file at path in where an insert goes, as the load command
    // does once a file is chosen.
    void loadAtSelection(const QString& path);

protected:
    bool event(QEvent* event) override;
    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    // Where a new entry goes: its row, and the entry it follows (null: none in the list).
    struct InsertPlace {
        int row;
        EntryNode* anchor;
    };

    void registerCommands();
    void showGroup(EntryNode* group);
    void showFoundEntry(EntryNode* entry);
    void setCurrentRow(int row);
    void sendToFrame(int message, EntryNode* entry);
    void editEntry(int row);
    void showProperties();
    void deleteCurrent();
    InsertPlace insertPlace() const;
    // Links a new, unlinked entry of the book where an insert goes and shows its row.
    EntryNode* insertEntry(EntryNode* entry);
    void insertAddress();
    void insertGroup();
    void insertSeparator();
    void moveCurrent(int step);
    // The reason the name was refused, or empty when it was stored.
    QString renameInPlace(const QModelIndex& index, const QString& text);
    void openRow(int row);
    void runContextMenu(int row, const QPoint& globalPos);
    void loadBookAtSelection();
    // Links the entries of incoming where an insert goes, shows and selects their rows.
    void insertBook(EntryTree& incoming);
    // Neighbouring rows from top to bottom.
    struct RowRun {
        int top;
        int bottom;
    };
    // The selection as runs in row order; rowsActedOn gives the current row when none is
    // selected.
    std::vector<RowRun> selectedRuns() const;
    std::vector<RowRun> rowsActedOn() const;
    std::vector<int> selectedRowNumbers() const;
    static std::size_t RowsIn(const std::vector<RowRun>& runs);
    std::vector<EntryNode*> entriesIn(const std::vector<RowRun>& runs) const;
    // Takes the rows' entries out of the book, as one part of a step.
    void removeRows(const std::vector<RowRun>& runs);
    bool removeChainRun(int top, int bottom);
    void deleteSelected(const std::vector<RowRun>& runs);
    void moveSelected(int step, const std::vector<int>& rows);
    void copyEntries();
    void cutEntries();
    void pasteEntries();
    void beginDrag(int pressedRow);
    void dragOver(const QPoint& viewportPoint) override;
    void dropOnTarget() override;
    void dropOn(int row);

    EntryListModel* rows_;
    EntryNode* shownGroup_ = nullptr;
    QPersistentModelIndex dropTarget_; // forgets itself when its row goes
    QPersistentModelIndex pressedRow_; // a left press on it may start a drag
    QPoint pressPoint_;
};
