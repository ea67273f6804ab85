// The list pane's side of dragging: its selected rows dragged from here, and anything
// dragged from either pane dropped on a row.
#include "TlwListView.h"

#include "DragImage.h"
#include "EntryListModel.h"
#include "PaneMessages.h"
#include "doc/TellwickDoc.h"

#include <QCursor>
#include <QMouseEvent>

#include <algorithm>
#include <unordered_set>

// Called by the view once a press on a selected row has moved far enough. Every selected
// row goes, in row order, under the picture of the pressed row.
void CTlwListView::startDrag(Qt::DropActions) {
    const int pressedRow = currentRow();
    if (document_.dragging || pressedRow < 0)
        return;
    QModelIndexList selected = selectionModel()->selectedRows(EntryListModel::NameColumn);
    std::sort(selected.begin(), selected.end(),
              [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
    document_.dragging = true;
    document_.dragWnd = this;
    document_.dragList.clear();
    for (const QModelIndex& index : std::as_const(selected))
        document_.dragList.push_back(rows_->entryAt(index.row()));
    dropTarget_ = QPersistentModelIndex();
    const QModelIndex pressed = rows_->index(pressedRow, EntryListModel::NameColumn);
    document_.dragImage = new DragImage(DragPicture(pressed.data(Qt::DecorationRole).value<QIcon>(),
                                                    iconSize(), pressed.data().toString(), font()),
                                        document_);
    document_.dragImage->moveTo(QCursor::pos());
    // From now on the frame holds the mouse and hands every move and the release to the
    // pane under the cursor.
    window()->grabMouse();
}

// A mouse event the frame relays during a drag, in this pane's own coordinates.
bool CTlwListView::takeRelayedMouse(QMouseEvent* event) {
    if (!document_.dragging)
        return false;
    const QPoint point = viewport()->mapFrom(this, event->position().toPoint());
    if (event->type() == QEvent::MouseMove) {
        dragOver(point, event->globalPosition().toPoint());
        return true;
    }
    if (event->type() == QEvent::MouseButtonRelease && event->button() == Qt::LeftButton) {
        if (const int row = dropRow(); row >= 0)
            dropOn(row);
        FinishDrag(document_);
        dropTarget_ = QPersistentModelIndex();
        return true;
    }
    return false;
}

void CTlwListView::dragOver(const QPoint& viewportPoint, const QPoint& globalCursor) {
    document_.dragWnd = this;
    if (document_.dragImage)
        document_.dragImage->moveTo(globalCursor);
    const QModelIndex under =
        viewport()->rect().contains(viewportPoint) ? indexAt(viewportPoint) : QModelIndex();
    dropTarget_ =
        under.isValid() ? QPersistentModelIndex(under.siblingAtColumn(0)) : QPersistentModelIndex();
}

// The dragged entries go right behind the target, or to the front of a target group, taken
// from the last so they keep their order. A group never goes into itself or below itself.
void CTlwListView::dropOn(int row) {
    EntryNode* target = rows_->entryAt(row);
    if (!target)
        return;
    std::unordered_set<const EntryNode*> targetAndAncestors;
    for (const EntryNode* entry = target; entry; entry = entry->parent)
        targetAndAncestors.insert(entry);
    EntryNode* const targetChain = target->parent;
    const std::vector<EntryNode*> dragged = document_.dragList;
    bool movedGroup = false;
    for (auto it = dragged.rbegin(); it != dragged.rend(); ++it) {
        EntryNode* entry = *it;
        if (!entry || targetAndAncestors.contains(entry))
            continue;
        if (entry->IsGroup()) {
            movedGroup = true;
            // The tree re-makes only the items of the target's chain below; a group coming
            // from elsewhere must lose its old item first.
            if (entry->parent != targetChain)
                sendToFrame(UM_DELETEGROUP, entry);
        }
        document_.tree.MoveEntry(entry, target);
        markModified();
    }
    if (movedGroup)
        sendToFrame(UM_REFRESHGROUP, target);
    showGroup(targetChain);
}
