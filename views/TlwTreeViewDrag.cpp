// The tree pane's side of dragging: a group dragged from here, and anything dragged from
// either pane dropped on a group item or on the root item.
#include "TlwTreeView.h"

#include "DragImage.h"
#include "ItemTrees.h"
#include "PaneMessages.h"
#include "document/TellwickDoc.h"

#include <QApplication>
#include <QMouseEvent>

// A left press on a group may start a drag, which must leave the selection (and so the
// list) as it was; the press is handed on only when the button comes up without a drag.
void CTlwTreeView::mousePressEvent(QMouseEvent* event) {
    pendingPress_.reset();
    const QPoint point = event->position().toPoint();
    // A right press on empty space changes nothing; on an item, its menu selects it.
    if (event->button() == Qt::RightButton && !itemAt(point)) {
        event->accept();
        return;
    }
    QTreeWidgetItem* item = event->button() == Qt::LeftButton ? itemAt(point) : nullptr;
    // Not the root item (the whole book is not dragged), nor the branch indicator.
    if (entryOf(item) && visualItemRect(item).contains(point)) {
        pendingPress_.reset(event->clone());
        return;
    }
    QTreeWidget::mousePressEvent(event);
}

void CTlwTreeView::mouseMoveEvent(QMouseEvent* event) {
    if (!pendingPress_) {
        QTreeWidget::mouseMoveEvent(event);
        return;
    }
    const QPoint pressPoint = pendingPress_->position().toPoint();
    const bool farEnough = (event->position().toPoint() - pressPoint).manhattanLength() >=
                           QApplication::startDragDistance();
    if (!document_.dragging && (event->buttons() & Qt::LeftButton) && farEnough) {
        pendingPress_.reset();
        if (QTreeWidgetItem* item = itemAt(pressPoint); entryOf(item))
            beginDrag(item, event->globalPosition().toPoint());
    }
}

void CTlwTreeView::mouseReleaseEvent(QMouseEvent* event) {
    if (const std::unique_ptr<QMouseEvent> press = std::move(pendingPress_))
        QTreeWidget::mousePressEvent(press.get());
    QTreeWidget::mouseReleaseEvent(event);
}

void CTlwTreeView::beginDrag(QTreeWidgetItem* item, const QPoint& globalCursor) {
    setDropTarget(nullptr);
    StartDrag(document_, this, {entryOf(item)},
              DragPicture(item->icon(0), iconSize(), item->text(0), font()), globalCursor);
}

void CTlwTreeView::dragOver(const QPoint& viewportPoint) {
    setDropTarget(viewport()->rect().contains(viewportPoint) ? itemAt(viewportPoint) : nullptr);
}

void CTlwTreeView::dropOnTarget() {
    if (QTreeWidgetItem* target = dropTargetItem())
        dropOn(target);
}

// The drop highlight: the target item drawn as selected, whatever the selection is.
void CTlwTreeView::setDropTarget(QTreeWidgetItem* item) {
    QTreeWidgetItem* old = dropTargetItem();
    if (item == old)
        return;
    if (old) {
        old->setBackground(0, QBrush());
        old->setForeground(0, QBrush());
    }
    dropTarget_ = item ? QPersistentModelIndex(indexFromItem(item)) : QPersistentModelIndex();
    if (item) {
        item->setBackground(0, palette().highlight());
        item->setForeground(0, palette().highlightedText());
    }
}

// Null once the item is gone: a message or a new book may delete items during a drag.
QTreeWidgetItem* CTlwTreeView::dropTargetItem() const {
    return dropTarget_.isValid() ? itemFromIndex(dropTarget_) : nullptr;
}

// The dragged entries go to the front of the target's chain, taken from the last, so they
// keep their order. A group never goes into itself or below itself, nor where it is.
void CTlwTreeView::dropOn(QTreeWidgetItem* target) {
    EntryNode* targetEntry = entryOf(target);
    const std::vector<EntryNode*> dragged = document_.dragList;
    const auto edit = document_.edits.beginStep(QStringLiteral("移動"));
    for (auto it = dragged.rbegin(); it != dragged.rend(); ++it) {
        EntryNode* entry = *it;
        if (entry == targetEntry)
            continue;
        if (entry->IsGroup() && !moveGroupItemInto(entry, target))
            continue;
        document_.edits.moveEntry(entry, targetEntry);
    }
    sendToFrame(UM_SHOWGROUP, selectedEntry());
}

bool CTlwTreeView::moveGroupItemInto(EntryNode* group, QTreeWidgetItem* target) {
    QTreeWidgetItem* item = findGroupItem(group);
    if (!item || isSelfOrAncestor(target, item) || item->parent() == target)
        return false;
    QTreeWidgetItem* formerParent = item->parent();
    const bool wasCurrent = currentItem() == item;
    QTreeWidgetItem* moved = copyItemTree(item, target, IntoOrAfter);
    DeleteItemTree(item);
    if (wasCurrent)
        setCurrentItem(moved);
    // A parent left without groups shows closed again.
    if (formerParent && formerParent->childCount() == 0)
        formerParent->setExpanded(false);
    return true;
}
