// The list pane's editing: its commands, in-place renaming and reading a book in.
#include "TlwListView.h"

#include "Commands.h"
#include "EntryDialogs.h"
#include "EntryListModel.h"
#include "EntryText.h"
#include "IncomingBook.h"
#include "PaneMessages.h"
#include "document/TellwickDoc.h"
#include "framework/Prompter.h"

#include <QCoreApplication>

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

void CTlwListView::deleteCurrent() {
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
    if (!incoming.first)
        return;
    const auto edit = document_.edits.beginStep(QStringLiteral("選択位置に読み込み"));
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
}
