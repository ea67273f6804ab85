// The list pane's side of dragging: its selected rows dragged from here, and anything
// dragged from either pane dropped on a row.
#include "TlwListView.h"

#include "DragImage.h"
#include "EntryListModel.h"
#include "PaneMessages.h"
#include "document/TellwickDoc.h"

#include <QApplication>
#include <QCursor>
#include <QMouseEvent>

#include <algorithm>
#include <unordered_set>
#include <vector>

// A right press only makes its row current; the selection stays as it was, so the menu acts
// on the row clicked without losing the rows selected before.
void CTlwListView::mousePressEvent(QMouseEvent* event) {
    const QModelIndex under = indexAt(event->position().toPoint());
    if (event->button() == Qt::RightButton) {
        if (under.isValid() && rows_->entryAt(under.row()))
            setCurrentRow(under.row());
        event->accept();
        return;
    }
    pressedRow_ = event->button() == Qt::LeftButton && under.isValid()
                      ? QPersistentModelIndex(under.siblingAtColumn(0))
                      : QPersistentModelIndex();
    pressPoint_ = event->position().toPoint();
    ReportView::mousePressEvent(event);
}

// A press on a row that moves far enough starts a drag at once. The view's own drag start
// is bypassed: it lists every selected cell first, which on a million rows costs seconds.
void CTlwListView::mouseMoveEvent(QMouseEvent* event) {
    if (!pressedRow_.isValid() || !(event->buttons() & Qt::LeftButton)) {
        ReportView::mouseMoveEvent(event);
        return;
    }
    if ((event->position().toPoint() - pressPoint_).manhattanLength() >=
        QApplication::startDragDistance()) {
        const int row = pressedRow_.row();
        pressedRow_ = QPersistentModelIndex();
        beginDrag(row);
    }
}

void CTlwListView::mouseReleaseEvent(QMouseEvent* event) {
    pressedRow_ = QPersistentModelIndex();
    ReportView::mouseReleaseEvent(event);
}

// Every selected row goes, in row order, under the picture of the pressed row.
void CTlwListView::beginDrag(int pressedRow) {
    if (document_.dragging || !rows_->entryAt(pressedRow))
        return;
    dropTarget_ = QPersistentModelIndex();
    const QModelIndex pressed = rows_->index(pressedRow, EntryListModel::NameColumn);
    StartDrag(document_, this, entriesIn(selectedRuns()),
              DragPicture(pressed.data(Qt::DecorationRole).value<QIcon>(), iconSize(),
                          pressed.data().toString(), font()),
              QCursor::pos());
}

void CTlwListView::dragOver(const QPoint& viewportPoint) {
    const QModelIndex under =
        viewport()->rect().contains(viewportPoint) ? indexAt(viewportPoint) : QModelIndex();
    dropTarget_ =
        under.isValid() ? QPersistentModelIndex(under.siblingAtColumn(0)) : QPersistentModelIndex();
}

void CTlwListView::dropOnTarget() {
    if (const int row = dropRow(); row >= 0)
        dropOn(row);
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
    const auto edit = document_.edits.beginStep(QStringLiteral("移動"));
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
        document_.edits.moveEntry(entry, target);
    }
    if (movedGroup)
        sendToFrame(UM_REFRESHGROUP, target);
    showGroup(targetChain);
}
