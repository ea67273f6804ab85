#include "TlwListView.h"

#include "ClickToRename.h"
#include "DragImage.h"
#include "EntryClipboard.h"
#include "EntryListModel.h"
#include "FocusedSelectionLook.h"
#include "NameEditDelegate.h"
#include "PaneMessages.h"
#include "document/TellwickDoc.h"
#include "framework/Prompter.h"

#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QToolTip>

CTlwListView::CTlwListView(CTellwickDoc& document, Prompter& prompter, QWidget* parent)
    : ReportView(parent), DocumentPane(document, prompter), rows_(new EntryListModel(this)) {
    setObjectName(QStringLiteral("entryList"));
    setModel(rows_);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::EditKeyPressed); // a slow second click: ClickToRename
    // Dragging is ours; enabling the view's own keeps a multi-row selection when a press on
    // one of its rows may start a drag.
    setDragEnabled(true);
    setIconSize(QSize(16, 16));
    header()->setStretchLastSection(false);
    header()->resizeSection(EntryListModel::NameColumn, 200);
    header()->resizeSection(EntryListModel::AddressColumn, 300);
    setItemDelegate(
        new NameEditDelegate([this](const QModelIndex& index,
                                    const QString& text) { return renameInPlace(index, text); },
                             [this](const QString& reason) { explain(reason); }, this));
    clickToRename_ = new ClickToRename(
        *this, [this](const QModelIndex& index) { edit(index, EditKeyPressed, nullptr); });
    new FocusedSelectionLook(*this);
    registerCommands();
    connect(&document_, &CTellwickDoc::dragFinished, this,
            [this] { dropTarget_ = QPersistentModelIndex(); });
}

// A new or opened book has freed the entries the rows pointed at: show its top level
// rather than keep those rows until the tree names a group. A drag of the old book ends.
void CTlwListView::onInitialUpdate() {
    if (document_.dragging)
        FinishDrag(document_);
    showGroup(nullptr);
}

void CTlwListView::captureView(BookView& view) const {
    view.shownGroup = shownGroup_;
    view.listCurrent = rows_->entryAt(currentRow());
    view.listSelected.clear();
    for (const RowRun& run : selectedRuns())
        view.listSelected.emplace_back(rows_->entryAt(run.top), rows_->entryAt(run.bottom));
}

// The selected runs were taken in row order from the same rows, so one walk down the rows
// meets them in that order, and each goes back into the selection as one range.
void CTlwListView::restoreView(const BookView& view) {
    showGroup(view.shownGroup);
    const auto& runs = view.listSelected;
    QItemSelection selection;
    std::size_t run = 0;
    int runTop = -1;
    int current = -1;
    const int count = rows_->rowCount();
    // Only as far as the last row looked for: a group of a million rows is shown at once.
    for (int row = 0; row < count && (run < runs.size() || (view.listCurrent && current < 0));
         ++row) {
        const EntryNode* entry = rows_->entryAt(row);
        if (entry == view.listCurrent)
            current = row;
        if (run < runs.size() && runTop < 0 && entry == runs[run].first)
            runTop = row;
        if (runTop >= 0 && entry == runs[run].second) {
            selection.select(rows_->index(runTop, 0), rows_->index(row, 0));
            runTop = -1;
            ++run;
        }
    }
    selectionModel()->select(selection, QItemSelectionModel::Select | QItemSelectionModel::Rows);
    if (current >= 0) {
        setCurrentRow(current);
        scrollTo(rows_->index(current, EntryListModel::NameColumn));
    }
}

int CTlwListView::currentRow() const {
    const QModelIndex current = currentIndex();
    return current.isValid() ? current.row() : -1;
}

// Gives the row the focus without touching the selection.
void CTlwListView::setCurrentRow(int row) {
    selectionModel()->setCurrentIndex(rows_->index(row, EntryListModel::NameColumn),
                                      QItemSelectionModel::NoUpdate);
}

int CTlwListView::dropRow() const {
    return dropTarget_.isValid() ? dropTarget_.row() : -1;
}

void CTlwListView::sendToFrame(int message, EntryNode* entry) {
    PaneMessageEvent event(message, entry);
    QCoreApplication::sendEvent(window(), &event);
}

bool CTlwListView::event(QEvent* event) {
    if (event->type() == PaneMessageEvent::type()) {
        auto& message = static_cast<PaneMessageEvent&>(*event);
        if (message.message == UM_SHOWGROUP)
            showGroup(message.entry());
        else if (message.message == UM_SHOWFOUNDENTRY)
            showFoundEntry(message.entry());
        message.result = 0;
        return true;
    }
    // The frame relays a drag's mouse to the pane itself, not to its viewport.
    if ((event->type() == QEvent::MouseMove || event->type() == QEvent::MouseButtonRelease) &&
        takeRelayedMouse(*this, static_cast<QMouseEvent*>(event)))
        return true;
    return ReportView::event(event);
}

void CTlwListView::showGroup(EntryNode* group) {
    shownGroup_ = group;
    rows_->showChain(group ? group->firstChild : document_.tree.first);
    // No row is focused or selected afterwards, so there is no current row.
    selectionModel()->clear();
    dropTarget_ = QPersistentModelIndex();
}

// The rows are refilled only when they show another group: a found entry in the group
// shown keeps the rows, and the selection moves to it.
void CTlwListView::showFoundEntry(EntryNode* entry) {
    if (!entry)
        return;
    if (shownGroup_ != entry->parent)
        showGroup(entry->parent);
    const int row = rows_->rowOf(entry);
    if (row < 0)
        return;
    const QModelIndex index = rows_->index(row, EntryListModel::NameColumn);
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect |
                                                 QItemSelectionModel::Rows);
    scrollTo(index);
}

// Coming into the pane does not make a row current: only a click or a key does, so the
// one-entry commands stay off until the user picks a row.
void CTlwListView::focusInEvent(QFocusEvent* event) {
    const bool hadCurrentRow = currentIndex().isValid();
    ReportView::focusInEvent(event);
    if (!hadCurrentRow && currentIndex().isValid())
        selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
}

// Only the label is renamed, whichever column the edit starts from; separators, rows without
// an entry and names too long to edit refuse.
bool CTlwListView::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) {
    const EntryNode* entry = rows_->entryAt(index.row());
    if (!index.isValid() || !entry || entry->kind == EntryKind::Separator)
        return false;
    const bool starts = trigger == EditKeyPressed || trigger == AllEditTriggers;
    if (starts && state() != EditingState && !mayRenameInPlace(*entry))
        return false;
    return ReportView::edit(index.siblingAtColumn(EntryListModel::NameColumn), trigger, event);
}

// A text cut short by its column ("…") shows whole in a tooltip; a text that fits shows none.
bool CTlwListView::viewportEvent(QEvent* event) {
    if (event->type() != QEvent::ToolTip)
        return ReportView::viewportEvent(event);
    auto* help = static_cast<QHelpEvent*>(event);
    const QModelIndex index = indexAt(help->pos());
    const QString text = index.data().toString();
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    option.rect = visualRect(index);
    const QSize needed = itemDelegateForIndex(index)
                             ? itemDelegateForIndex(index)->sizeHint(option, index)
                             : QSize();
    if (index.isValid() && needed.width() > columnWidth(index.column()))
        QToolTip::showText(help->globalPos(), text, viewport(), option.rect);
    else
        QToolTip::hideText();
    return true;
}

// A double click opens the row: an address in its dialog, a group in the list and the tree.
void CTlwListView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        ReportView::mouseDoubleClickEvent(event);
        return;
    }
    const QModelIndex index = indexAt(event->position().toPoint());
    if (index.isValid())
        openRow(index.row());
}

// Enter opens the current row as a double click does, and Delete deletes it (after its
// question), so the keyboard reaches both. The Enter that ends an in-place edit comes here
// as well, and must only end the edit.
void CTlwListView::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    if (event->modifiers() == Qt::NoModifier && state() != EditingState && currentRow() >= 0) {
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            openRow(currentRow());
            return;
        }
        if (key == Qt::Key_Delete) {
            deleteCurrent();
            return;
        }
    }
    ReportView::keyPressEvent(event);
}

void CTlwListView::openRow(int row) {
    EntryNode* entry = rows_->entryAt(row);
    if (!entry)
        return;
    if (entry->kind == EntryKind::Address) {
        editEntry(row);
    } else if (entry->IsGroup()) {
        showGroup(entry);
        sendToFrame(UM_SELECTGROUP, entry);
    }
}

// A right click makes its row current (the selection stays) and opens the pane's menu;
// the menu key does the same for the current row.
void CTlwListView::contextMenuEvent(QContextMenuEvent* event) {
    if (event->reason() == QContextMenuEvent::Keyboard) {
        const int row = currentRow();
        if (row < 0)
            return;
        const QRect rect = visualRect(rows_->index(row, EntryListModel::NameColumn));
        runContextMenu(row, viewport()->mapToGlobal(rect.center()));
        return;
    }
    const QModelIndex index = indexAt(event->pos());
    if (!index.isValid() || !rows_->entryAt(index.row()))
        return;
    setCurrentRow(index.row());
    runContextMenu(index.row(), event->globalPos());
}

void CTlwListView::runContextMenu(int row, const QPoint& globalPos) {
    if (!rows_->entryAt(row))
        return;
    QMenu menu(this);
    const QList<QPair<QString, void (CTlwListView::*)()>> lines = {
        {QStringLiteral("切り取り"), &CTlwListView::cutEntries},
        {QStringLiteral("コピー"), &CTlwListView::copyEntries},
        {QStringLiteral("貼り付け"), &CTlwListView::pasteEntries},
        {{}, nullptr},
        {QStringLiteral("削除"), &CTlwListView::deleteCurrent},
        {{}, nullptr},
        {QStringLiteral("アドレスの挿入"), &CTlwListView::insertAddress},
        {QStringLiteral("グループの挿入"), &CTlwListView::insertGroup},
        {QStringLiteral("セパレータの挿入"), &CTlwListView::insertSeparator},
        {{}, nullptr},
        {QStringLiteral("ﾌﾟﾛﾊﾟﾃｨ"), &CTlwListView::showProperties},
    };
    QHash<QAction*, void (CTlwListView::*)()> handlers;
    for (const auto& [text, handler] : lines) {
        if (handler)
            handlers.insert(menu.addAction(text), handler);
        else
            menu.addSeparator();
    }
    menu.actions().at(2)->setEnabled(EntryClipboard::instance().pasteable());
    // The lines go straight to this pane's handlers, whatever the command states say.
    if (QAction* chosen = prompter_.runMenu(menu, globalPos); handlers.contains(chosen))
        (this->*handlers.value(chosen))();
}
