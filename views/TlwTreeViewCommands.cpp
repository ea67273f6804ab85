// The tree pane's own editing: commands, in-place renaming and the context menu.
#include "TlwTreeView.h"

#include "Commands.h"
#include "EntryClipboard.h"
#include "EntryDialogs.h"
#include "EntryText.h"
#include "ItemTrees.h"
#include "NameEditDelegate.h"
#include "PaneMessages.h"
#include "document/TellwickDoc.h"
#include "framework/Prompter.h"
#include "framework/StandardCommands.h"

#include <QClipboard>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>

#include <vector>

void CTlwTreeView::registerCommands() {
    setItemDelegate(new NameEditDelegate(
        [this](const QModelIndex& index, const QString& text) {
            return renameInPlace(itemFromIndex(index), text);
        },
        [this](const QString& reason) { explain(reason); }, this));
    onCommand(ID_DELETE, [this] { deleteSelectedGroup(); });
    onCommand(ID_PROPERTIES, [this] { editSelectedGroup(); });
    onCommand(ID_MOVE_UP, [this] { moveSelectedGroup(-1); });
    onCommand(ID_MOVE_DOWN, [this] { moveSelectedGroup(1); });
    onCommand(ID_EDIT_COPY, [this] { copySelectedGroup(); });
    onCommand(ID_EDIT_CUT, [this] { cutSelectedGroup(); });
    onCommand(ID_EDIT_PASTE, [this] { pasteIntoSelectedGroup(); });
    const auto groupSelected = [this](CommandState& s) { s.enabled = selectedEntry() != nullptr; };
    for (int id :
         {int(ID_DELETE), int(ID_MOVE_UP), int(ID_MOVE_DOWN), int(ID_EDIT_COPY), int(ID_EDIT_CUT)})
        onCommandState(id, groupSelected);
    onCommandState(ID_PROPERTIES, [this](CommandState& s) {
        const EntryNode* entry = selectedEntry();
        s.enabled = entry && entry->kind != EntryKind::Separator;
    });
    // Entries are inserted in the list pane.
    for (int id : {ID_INSERT_GROUP, ID_INSERT_SEPARATOR, ID_INSERT_ADDRESS, ID_LOAD_AT_SELECTION})
        onCommandState(id, [](CommandState& s) { s.enabled = false; });
}

EntryNode* CTlwTreeView::selectedEntry() const {
    return entryOf(currentItem());
}

QString CTlwTreeView::renameInPlace(QTreeWidgetItem* item, const QString& text) {
    EntryNode* entry = entryOf(item);
    if (!entry)
        return {};
    QString refusal;
    const std::optional<std::string> bytes =
        StorableEditedText(text, std::string(entry->Name()), TextPlace::GroupName, refusal);
    if (!bytes)
        return refusal;
    const auto edit = document_.edits.beginStep(QStringLiteral("名前の変更"));
    document_.edits.setName(entry, *bytes);
    item->setText(0, DisplayText(entry->Name()));
    return {};
}

// Names too long to edit refuse before an editor opens.
bool CTlwTreeView::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) {
    const EntryNode* entry = entryOf(itemFromIndex(index));
    const bool starts = trigger == EditKeyPressed || trigger == AllEditTriggers;
    if (entry && starts && state() != EditingState && !mayRenameInPlace(*entry))
        return false;
    return QTreeWidget::edit(index, trigger, event);
}

void CTlwTreeView::deleteSelectedGroup() {
    QTreeWidgetItem* item = currentItem();
    EntryNode* group = entryOf(item);
    if (!group)
        return;
    const QString question = QStringLiteral("[%1]\nこのグループ以下すべての項目を削除します\n"
                                            "よろしいですか")
                                 .arg(DisplayText(group->Name()));
    if (prompter_.ask(this, QStringLiteral("グループの削除"), question, Prompter::Buttons::YesNo,
                      Prompter::Icon::Question, Prompter::Answer::Yes) != Prompter::Answer::Yes)
        return;
    const auto edit = document_.edits.beginStep(QStringLiteral("削除"));
    removeSelectedGroup();
}

void CTlwTreeView::removeSelectedGroup() {
    QTreeWidgetItem* item = currentItem();
    EntryNode* group = entryOf(item);
    DeleteItemTree(item);
    document_.edits.removeEntry(group);
    sendToFrame(UM_SHOWGROUP, selectedEntry());
}

void CTlwTreeView::copySelectedGroup() {
    if (const EntryNode* group = selectedEntry())
        EntryClipboard::copy(std::span<const EntryNode* const>(&group, 1));
}

// Copy, then the group goes without a question: the cut can be undone.
void CTlwTreeView::cutSelectedGroup() {
    if (!selectedEntry())
        return;
    copySelectedGroup();
    const auto edit = document_.edits.beginStep(QStringLiteral("切り取り"));
    removeSelectedGroup();
}

// First into the selected group; with the root item selected, at the end of the top level.
void CTlwTreeView::pasteIntoSelectedGroup() {
    EntryTree incoming;
    if (EntryClipboard::read(QGuiApplication::clipboard()->mimeData(), incoming, prompter_, this) !=
            IncomingRead::Read ||
        !incoming.first)
        return;
    const auto edit = document_.edits.beginStep(QStringLiteral("貼り付け"));
    EntryNode* group = selectedEntry();
    EntryNode* first = group ? document_.edits.takeBookInto(incoming, group)
                             : document_.edits.takeBookAfter(incoming, nullptr);
    refreshGroup(first);
    if (QTreeWidgetItem* item = currentItem())
        item->setExpanded(true);
    sendToFrame(UM_SHOWGROUP, group);
}

void CTlwTreeView::editSelectedGroup() {
    EntryNode* group = selectedEntry();
    if (!group || group->kind == EntryKind::Separator || !mayEditInDialog(*group))
        return;
    CGroupDlg dialog(this);
    dialog.loadFrom(*group);
    if (prompter_.runDialog(dialog) == QDialog::Accepted) {
        const auto edit = document_.edits.beginStep(QStringLiteral("ﾌﾟﾛﾊﾟﾃｨ"));
        dialog.storeInto(document_.edits, *group);
        currentItem()->setText(0, DisplayText(group->Name()));
    }
    sendToFrame(UM_SHOWGROUP, group);
}

// The selected group and the nearest group before (step -1) or after (step 1) it exchange
// places, each with its subtree; entries between them stay where they are.
void CTlwTreeView::moveSelectedGroup(int step) {
    QTreeWidgetItem* selected = currentItem();
    if (!entryOf(selected))
        return;
    QTreeWidgetItem* parent = selected->parent();
    const int neighbourIndex = parent->indexOfChild(selected) + step;
    if (neighbourIndex < 0 || neighbourIndex >= parent->childCount()) {
        prompter_.beep();
        return;
    }
    const auto edit = document_.edits.beginStep(step < 0 ? QStringLiteral("上へ移動")
                                                         : QStringLiteral("下へ移動"));
    QTreeWidgetItem* neighbour = parent->child(neighbourIndex);
    QTreeWidgetItem* first = step < 0 ? neighbour : selected;
    QTreeWidgetItem* second = step < 0 ? selected : neighbour;
    // The first item is re-created after the second; the entries exchange their contents,
    // so each item is pointed at the entry that now holds its group.
    QTreeWidgetItem* copy = copyItemTree(first, second, After);
    EntryNode* firstEntry = entryOf(first);
    EntryNode* secondEntry = entryOf(second);
    document_.edits.swapEntries(firstEntry, secondEntry);
    setEntryOf(second, firstEntry);
    setEntryOf(copy, secondEntry);
    DeleteItemTree(first);
    QTreeWidgetItem* moved = first == selected ? copy : second;
    setCurrentItem(moved);
    sendToFrame(UM_SHOWGROUP, entryOf(moved));
}

// Right click or the menu key: the item is selected first; only group items have a menu.
void CTlwTreeView::contextMenuEvent(QContextMenuEvent* event) {
    const bool byKeyboard = event->reason() == QContextMenuEvent::Keyboard;
    QTreeWidgetItem* item = byKeyboard ? currentItem() : itemAt(event->pos());
    if (!item)
        return;
    setCurrentItem(item);
    if (!entryOf(item))
        return;
    const QPoint at =
        byKeyboard ? viewport()->mapToGlobal(visualItemRect(item).center()) : event->globalPos();
    QMenu menu(this);
    QAction* cut = menu.addAction(QStringLiteral("切り取り"));
    QAction* copy = menu.addAction(QStringLiteral("コピー"));
    QAction* paste = menu.addAction(QStringLiteral("貼り付け"));
    paste->setEnabled(EntryClipboard::instance().pasteable());
    menu.addSeparator();
    QAction* remove = menu.addAction(QStringLiteral("削除"));
    menu.addSeparator();
    QAction* properties = menu.addAction(QStringLiteral("ﾌﾟﾛﾊﾟﾃｨ"));
    QAction* chosen = prompter_.runMenu(menu, at);
    if (chosen == cut)
        cutSelectedGroup();
    else if (chosen == copy)
        copySelectedGroup();
    else if (chosen == paste)
        pasteIntoSelectedGroup();
    else if (chosen == remove)
        deleteSelectedGroup();
    else if (chosen == properties)
        editSelectedGroup();
}

// "*" expands everything below the current item, down to the deepest level the pane shows
// (the toolkit's own expand-all would go all the way down, recursing once per level). Enter opens
// or closes the current item and Delete deletes its group, as people expect of the keyboard;
// neither acts while a name is being edited.
void CTlwTreeView::keyPressEvent(QKeyEvent* event) {
    QTreeWidgetItem* item = currentItem();
    if (item && event->key() == Qt::Key_Asterisk) { // Shift+8 on most keyboards
        expandSubtree(item);
        return;
    }
    const bool plain =
        event->modifiers() == Qt::NoModifier || event->modifiers() == Qt::KeypadModifier;
    if (item && plain && state() != EditingState) {
        switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            item->setExpanded(!item->isExpanded());
            return;
        case Qt::Key_Delete:
            deleteSelectedGroup();
            return;
        default:
            break;
        }
    }
    QTreeWidget::keyPressEvent(event);
}
