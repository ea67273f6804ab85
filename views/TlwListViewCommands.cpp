// The list pane's editing: its commands, in-place renaming and reading a book in.
#include "TlwListView.h"

#include "Commands.h"
#include "EntryClipboard.h"
#include "EntryDialogs.h"
#include "EntryListModel.h"
#include "EntryText.h"
#include "IncomingBook.h"
#include "PaneMessages.h"
#include "document/TellwickDoc.h"
#include "framework/Prompter.h"
#include "framework/StandardCommands.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QGuiApplication>

#include <algorithm>
#include <iterator>
#include <utility>

#include <vector>

void CTlwListView::registerCommands() {
    onCommand(ID_PROPERTIES, [this] { showProperties(); });
    onCommand(ID_DELETE, [this] { deleteCurrent(); });
    onCommand(ID_INSERT_ADDRESS, [this] { insertAddress(); });
    onCommand(ID_INSERT_GROUP, [this] { insertGroup(); });
    onCommand(ID_INSERT_SEPARATOR, [this] { insertSeparator(); });
    onCommand(ID_MOVE_UP, [this] { moveCurrent(-1); });
    onCommand(ID_MOVE_DOWN, [this] { moveCurrent(1); });
    onCommand(ID_LOAD_AT_SELECTION, [this] { loadBookAtSelection(); });
    onCommand(ID_EDIT_COPY, [this] { copyEntries(); });
    onCommand(ID_EDIT_CUT, [this] { cutEntries(); });
    onCommand(ID_EDIT_PASTE, [this] { pasteEntries(); });
    const auto somethingToCopy = [this](CommandState& s) {
        s.enabled = selectionModel()->hasSelection() || rows_->entryAt(currentRow());
    };
    onCommandState(ID_EDIT_COPY, somethingToCopy);
    onCommandState(ID_EDIT_CUT, somethingToCopy);
    // The current row is the view's current index: finding it costs nothing at idle.
    const auto rowCurrent = [this](CommandState& s) { s.enabled = currentRow() >= 0; };
    for (int id : {ID_DELETE, ID_MOVE_UP, ID_MOVE_DOWN, ID_PROPERTIES})
        onCommandState(id, rowCurrent);
    for (int id : {ID_INSERT_ADDRESS, ID_INSERT_GROUP, ID_INSERT_SEPARATOR, ID_LOAD_AT_SELECTION})
        onCommandState(id, [](CommandState& s) { s.enabled = true; });
}

// An address in its dialog, a group in the group dialog; separators have none.
void CTlwListView::editEntry(int row) {
    EntryNode* entry = rows_->entryAt(row);
    if (!entry || entry->kind == EntryKind::Separator || !mayEditInDialog(*entry))
        return;
    // Owned by the main window, as every dialog of the program.
    std::unique_ptr<QDialog> dialog;
    if (entry->IsGroup()) {
        auto groupDialog = std::make_unique<CGroupDlg>(window());
        groupDialog->loadFrom(*entry);
        dialog = std::move(groupDialog);
    } else {
        auto addressDialog = std::make_unique<CAddressDlg>(window());
        addressDialog->loadFrom(*entry);
        dialog = std::move(addressDialog);
    }
    if (prompter_.runDialog(*dialog) != QDialog::Accepted)
        return;
    const auto edit = document_.edits.beginStep(QStringLiteral("ﾌﾟﾛﾊﾟﾃｨ"));
    if (auto* groupDialog = qobject_cast<CGroupDlg*>(dialog.get()))
        groupDialog->storeInto(document_.edits, *entry);
    else
        static_cast<CAddressDlg&>(*dialog).storeInto(document_.edits, *entry);
    rows_->entryChanged(row);
}

// The tree is told in every case: the entry may be a group whose label it shows.
void CTlwListView::showProperties() {
    const int row = currentRow();
    EntryNode* entry = rows_->entryAt(row);
    if (!entry)
        return;
    editEntry(row);
    sendToFrame(UM_RENAMEGROUP, entry);
}

// With more than one row selected every one goes, after one question.
void CTlwListView::deleteCurrent() {
    if (const std::vector<RowRun> selected = selectedRuns(); RowsIn(selected) > 1)
        return deleteSelected(selected);
    const int row = currentRow();
    EntryNode* entry = rows_->entryAt(row);
    if (!entry)
        return;
    QString caption;
    QString question;
    if (entry->IsGroup()) {
        caption = QStringLiteral("グループの削除");
        question = QStringLiteral("[%1]\nこのグループ以下すべての項目を削除します\nよろしいですか");
    } else if (entry->kind == EntryKind::Separator) {
        caption = QStringLiteral("セパレーターの削除");
        question = QStringLiteral("セパレーターを削除します\nよろしいですか");
    } else {
        caption = QStringLiteral("アドレスの削除");
        question = QStringLiteral("[%1]\nこのアドレスを削除します\nよろしいですか");
    }
    if (question.contains(QStringLiteral("%1")))
        question = question.arg(DisplayText(entry->Name()));
    if (prompter_.ask(this, caption, question, Prompter::Buttons::YesNo, Prompter::Icon::Question,
                      Prompter::Answer::Yes) != Prompter::Answer::Yes)
        return;
    const auto edit = document_.edits.beginStep(QStringLiteral("削除"));
    rows_->removeEntry(row);
    sendToFrame(UM_DELETEGROUP, entry);
    document_.edits.removeEntry(entry);
}

// After the current row's entry; without one after the last row's; in an empty list the
// entry has no neighbour and goes into the group the list shows.
CTlwListView::InsertPlace CTlwListView::insertPlace() const {
    const int count = rows_->rowCount();
    const int current = currentRow();
    if (current >= 0)
        return {current + 1, rows_->entryAt(current)};
    return {count, rows_->entryAt(count - 1)};
}

// The new row gets neither the focus nor the selection.
EntryNode* CTlwListView::insertEntry(EntryNode* entry) {
    const InsertPlace place = insertPlace();
    BookEdits& edits = document_.edits;
    if (place.anchor || !shownGroup_)
        edits.insertAfter(entry, place.anchor);
    else
        edits.moveEntry(entry, shownGroup_);
    rows_->insertEntry(place.row, entry);
    return entry;
}

void CTlwListView::insertAddress() {
    CAddressDlg dialog(window());
    if (prompter_.runDialog(dialog) != QDialog::Accepted)
        return;
    const auto edit = document_.edits.beginStep(QStringLiteral("アドレスの挿入"));
    EntryNode* entry = document_.edits.newEntry(EntryKind::Address);
    dialog.storeInto(document_.edits, *entry);
    insertEntry(entry);
}

void CTlwListView::insertGroup() {
    CGroupDlg dialog(window());
    if (prompter_.runDialog(dialog) != QDialog::Accepted)
        return;
    const auto edit = document_.edits.beginStep(QStringLiteral("グループの挿入"));
    EntryNode* group = document_.edits.newEntry(EntryKind::Group);
    dialog.storeInto(document_.edits, *group);
    sendToFrame(UM_REFRESHGROUP, insertEntry(group));
}

void CTlwListView::insertSeparator() {
    const auto edit = document_.edits.beginStep(QStringLiteral("セパレータの挿入"));
    insertEntry(document_.edits.newSeparator());
}

// The current row's entry and its neighbour above (step -1) or below (step 1) exchange
// places. The pair's rows are re-made so that the row of the entry that stays put is the
// one deleted: the moved entry's row keeps the focus, and the selection stays with its row.
void CTlwListView::moveCurrent(int step) {
    if (RowsIn(selectedRuns()) > 1)
        return moveSelected(step, selectedRowNumbers());
    const int count = rows_->rowCount();
    const int current = currentRow();
    const int top = step < 0 ? current - 1 : current;
    if (current < 0 || top < 0 || top + 1 >= count) {
        prompter_.beep();
        return;
    }
    const auto edit = document_.edits.beginStep(step < 0 ? QStringLiteral("上へ移動")
                                                         : QStringLiteral("下へ移動"));
    EntryNode* upper = rows_->entryAt(top);
    EntryNode* lower = rows_->entryAt(top + 1);
    rows_->insertEntry(top, upper);
    rows_->setEntry(top + 1, lower);
    rows_->removeEntry(top + 2);
    if (step < 0)
        setCurrentRow(top);
    document_.edits.swapEntries(upper, lower);
    rows_->entryChanged(top);
    rows_->entryChanged(top + 1);
    // A group that changed objects needs its tree item re-made, also when its partner is no
    // group: the item would otherwise point at the object that now holds the other entry.
    if (upper->IsGroup() || lower->IsGroup())
        sendToFrame(UM_REFRESHGROUP, step < 0 ? upper : lower);
}

QString CTlwListView::renameInPlace(const QModelIndex& index, const QString& text) {
    EntryNode* entry = rows_->entryAt(index.row());
    if (!index.isValid() || !entry)
        return {};
    QString refusal;
    const TextPlace place = entry->IsGroup() ? TextPlace::GroupName : TextPlace::EntryName;
    const std::optional<std::string> bytes =
        StorableEditedText(text, std::string(entry->Name()), place, refusal);
    if (!bytes)
        return refusal;
    const auto edit = document_.edits.beginStep(QStringLiteral("名前の変更"));
    document_.edits.setName(entry, *bytes);
    rows_->entryChanged(index.row());
    sendToFrame(UM_RENAMEGROUP, entry);
    return {};
}

// Another book's entries, in their order with everything below them, go where an inserted
// entry would go; a file that cannot be read is reported and changes nothing.
void CTlwListView::loadBookAtSelection() {
    const QString path =
        prompter_.chooseOpenFile(this, QStringLiteral("開く"), IncomingBookFilters());
    if (!path.isEmpty())
        loadAtSelection(path);
}

void CTlwListView::loadAtSelection(const QString& path) {
    EntryTree incoming;
    if (ReadIncomingBook(path, incoming, prompter_, this) != IncomingRead::Read)
        return;
    const auto edit = document_.edits.beginStep(QStringLiteral("選択位置に読み込み"));
    insertBook(incoming);
}

void CTlwListView::insertBook(EntryTree& incoming) {
    if (!incoming.first)
        return;
    const InsertPlace place = insertPlace();
    BookEdits& edits = document_.edits;
    const EntryNode* end = place.anchor  ? place.anchor->next
                           : shownGroup_ ? shownGroup_->firstChild
                                         : nullptr;
    EntryNode* head = place.anchor  ? edits.takeBookAfter(incoming, place.anchor)
                      : shownGroup_ ? edits.takeBookInto(incoming, shownGroup_)
                                    : edits.takeBookAfter(incoming, nullptr);
    std::vector<EntryNode*> added;
    EntryNode* firstGroup = nullptr;
    for (EntryNode* entry = head; entry != end; entry = entry->next) {
        added.push_back(entry);
        if (!firstGroup && entry->IsGroup())
            firstGroup = entry;
    }
    rows_->insertEntries(place.row, added);
    if (firstGroup)
        sendToFrame(UM_REFRESHGROUP, firstGroup);
    const int count = static_cast<int>(added.size());
    selectionModel()->select(
        QItemSelection(rows_->index(place.row, 0), rows_->index(place.row + count - 1, 0)),
        QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

// Read from the selection's ranges: a million selected rows are one range, not a million
// indexes, and only the ranges need sorting.
std::vector<CTlwListView::RowRun> CTlwListView::selectedRuns() const {
    std::vector<RowRun> ranges;
    for (const QItemSelectionRange& range : selectionModel()->selection())
        ranges.push_back({range.top(), range.bottom()});
    std::sort(ranges.begin(), ranges.end(),
              [](const RowRun& a, const RowRun& b) { return a.top < b.top; });
    std::vector<RowRun> runs;
    for (const RowRun& range : ranges) {
        if (!runs.empty() && range.top <= runs.back().bottom + 1)
            runs.back().bottom = std::max(runs.back().bottom, range.bottom);
        else
            runs.push_back(range);
    }
    return runs;
}

std::size_t CTlwListView::RowsIn(const std::vector<RowRun>& runs) {
    std::size_t rows = 0;
    for (const RowRun& run : runs)
        rows += static_cast<std::size_t>(run.bottom - run.top + 1);
    return rows;
}

std::vector<CTlwListView::RowRun> CTlwListView::rowsActedOn() const {
    std::vector<RowRun> runs = selectedRuns();
    if (runs.empty() && rows_->entryAt(currentRow()))
        runs.push_back({currentRow(), currentRow()});
    return runs;
}

std::vector<int> CTlwListView::selectedRowNumbers() const {
    std::vector<int> rows;
    for (const RowRun& run : selectedRuns()) {
        for (int row = run.top; row <= run.bottom; ++row)
            rows.push_back(row);
    }
    return rows;
}

// The entries of the runs' rows, in row order.
std::vector<EntryNode*> CTlwListView::entriesIn(const std::vector<RowRun>& runs) const {
    std::vector<EntryNode*> entries;
    for (const RowRun& run : runs) {
        for (int row = run.top; row <= run.bottom; ++row)
            entries.push_back(rows_->entryAt(row));
    }
    return entries;
}

// Each run goes as one piece of the chain, from the last up so that the row numbers still
// ahead stay right; the tree drops the item of each group among them first. Rows that are
// not neighbours in the chain (they always are) would go one by one.
void CTlwListView::removeRows(const std::vector<RowRun>& runs) {
    for (auto run = runs.rbegin(); run != runs.rend(); ++run) {
        if (!removeChainRun(run->top, run->bottom)) {
            for (int row = run->bottom; row >= run->top; --row)
                removeChainRun(row, row);
        }
    }
}

// One walk from the run's first entry finds its groups and proves that the rows are one
// piece of the chain; false, with nothing changed, when they are not.
bool CTlwListView::removeChainRun(int top, int bottom) {
    EntryNode* first = rows_->entryAt(top);
    EntryNode* last = rows_->entryAt(bottom);
    std::vector<EntryNode*> groups;
    EntryNode* entry = first;
    for (int row = top; entry && row < bottom; ++row) {
        if (entry->IsGroup())
            groups.push_back(entry);
        entry = entry->next;
    }
    if (!first || entry != last)
        return false;
    if (last->IsGroup())
        groups.push_back(last);
    rows_->removeEntries(top, bottom - top + 1);
    for (EntryNode* group : groups)
        sendToFrame(UM_DELETEGROUP, group);
    document_.edits.removeRun(first, last);
    return true;
}

void CTlwListView::deleteSelected(const std::vector<RowRun>& runs) {
    const QString question =
        QStringLiteral("選択した %1 個の項目を削除しますか?").arg(RowsIn(runs));
    if (prompter_.ask(this, QStringLiteral("項目の削除"), question, Prompter::Buttons::YesNo,
                      Prompter::Icon::Question, Prompter::Answer::Yes) != Prompter::Answer::Yes)
        return;
    const auto edit = document_.edits.beginStep(QStringLiteral("削除"));
    removeRows(runs);
}

// Each selected row moves one place, the others closing up behind them; the selection and
// the current row go with them. Nothing moves when a selected row is already at the end.
void CTlwListView::moveSelected(int step, const std::vector<int>& rows) {
    if ((step < 0 && rows.front() == 0) || (step > 0 && rows.back() == rows_->rowCount() - 1)) {
        prompter_.beep();
        return;
    }
    const auto edit = document_.edits.beginStep(step < 0 ? QStringLiteral("上へ移動")
                                                         : QStringLiteral("下へ移動"));
    const int current = currentRow();
    bool groups = false;
    const auto moveRow = [&](int row) {
        EntryNode* moving = rows_->entryAt(row);
        EntryNode* neighbour = rows_->entryAt(row + step);
        groups = groups || moving->IsGroup() || neighbour->IsGroup();
        document_.edits.swapEntries(moving, neighbour);
        rows_->entryChanged(row);
        rows_->entryChanged(row + step);
    };
    if (step < 0)
        std::for_each(rows.begin(), rows.end(), moveRow);
    else
        std::for_each(rows.rbegin(), rows.rend(), moveRow);
    QItemSelection moved;
    for (int row : rows)
        moved.select(rows_->index(row + step, 0), rows_->index(row + step, 0));
    if (std::binary_search(rows.begin(), rows.end(), current))
        setCurrentRow(current + step);
    selectionModel()->select(moved,
                             QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    // The entries exchanged contents: the tree re-makes the items of the chain's groups.
    if (groups)
        sendToFrame(UM_REFRESHGROUP, rows_->entryAt(rows.front()));
}

void CTlwListView::copyEntries() {
    const std::vector<EntryNode*> entries = entriesIn(rowsActedOn());
    if (!entries.empty())
        EntryClipboard::copy(std::vector<const EntryNode*>(entries.begin(), entries.end()));
}

// Copy, then the rows go without a question: the cut can be undone.
void CTlwListView::cutEntries() {
    const std::vector<RowRun> runs = rowsActedOn();
    if (runs.empty())
        return;
    copyEntries();
    const auto edit = document_.edits.beginStep(QStringLiteral("切り取り"));
    removeRows(runs);
}

void CTlwListView::pasteEntries() {
    EntryTree incoming;
    if (EntryClipboard::read(QGuiApplication::clipboard()->mimeData(), incoming, prompter_, this) !=
        IncomingRead::Read)
        return;
    const auto edit = document_.edits.beginStep(QStringLiteral("貼り付け"));
    insertBook(incoming);
}
