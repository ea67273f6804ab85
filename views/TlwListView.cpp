#include "TlwListView.h"

#include "DragImage.h"
#include "EntryListModel.h"
#include "PaneMessages.h"
#include "doc/TellwickDoc.h"

#include <QHeaderView>
#include <QMouseEvent>

CTlwListView::CTlwListView(CTellwickDoc& document, Prompter& prompter, QWidget* parent)
    : QTreeView(parent), DocumentPane(document, prompter), rows_(new EntryListModel(this)) {
    setObjectName(QStringLiteral("entryList"));
    setModel(rows_);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setSortingEnabled(false);
    setAllColumnsShowFocus(true);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    // No renaming in the list until its rename is wired to the entries.
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setIconSize(QSize(16, 16));
    header()->setStretchLastSection(false);
    header()->resizeSection(0, 200);
    header()->resizeSection(1, 300);
}

// A new or opened book has freed the entries the rows pointed at: show its top level
// rather than keep those rows until the tree names a group.
void CTlwListView::onInitialUpdate() {
    showGroup(nullptr);
}

int CTlwListView::currentRow() const {
    const QModelIndex current = currentIndex();
    return current.isValid() ? current.row() : -1;
}

bool CTlwListView::event(QEvent* event) {
    if (event->type() == PaneMessageEvent::type()) {
        auto& message = static_cast<PaneMessageEvent&>(*event);
        if (message.message == UM_SHOWGROUP)
            showGroup(message.entry());
        message.result = 0;
        return true;
    }
    if (document_.dragging && takeDragEvent(event))
        return true;
    return QTreeView::event(event);
}

// While a drag passes over this pane the image follows the cursor, and the release ends
// the drag; dropping here is not built yet, so nothing moves.
bool CTlwListView::takeDragEvent(QEvent* event) {
    switch (event->type()) {
    case QEvent::MouseMove:
        document_.dragWnd = this;
        if (document_.dragImage)
            document_.dragImage->moveTo(
                static_cast<QMouseEvent*>(event)->globalPosition().toPoint());
        return true;
    case QEvent::MouseButtonRelease:
        if (static_cast<QMouseEvent*>(event)->button() != Qt::LeftButton)
            return false;
        FinishDrag(document_);
        return true;
    default:
        return false;
    }
}

void CTlwListView::showGroup(EntryNode* group) {
    rows_->showChain(group ? group->firstChild : document_.tree.first);
    // No row is focused or selected afterwards, so there is no current row.
    selectionModel()->clear();
    dropRow_ = -1;
}
