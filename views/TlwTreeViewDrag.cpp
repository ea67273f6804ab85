// The tree pane's side of dragging: a group dragged from here, and anything dragged from
// either pane dropped on a group item or on the root item.
#include "TlwTreeView.h"

#include "DragImage.h"
#include "ItemTrees.h"
#include "PaneMessages.h"
#include "doc/TellwickDoc.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

namespace {

// The item's icon and label, as the drag image shows them.
QPixmap PictureOf(const QTreeWidgetItem* item, const QFont& font) {
    const QFontMetrics metrics(font);
    const QString label = item->text(0);
    QPixmap picture(20 + metrics.horizontalAdvance(label) + 4, std::max(18, metrics.height()));
    // Opaque: without a compositor a translucent window shows black.
    picture.fill(QApplication::palette().base().color());
    QPainter painter(&picture);
    item->icon(0).paint(&painter, QRect(0, 0, 18, 16));
    painter.setFont(font);
    painter.setPen(QApplication::palette().text().color());
    painter.drawText(QRect(20, 0, picture.width() - 20, picture.height()), Qt::AlignVCenter, label);
    return picture;
}

} // namespace

void CTlwTreeView::mousePressEvent(QMouseEvent* event) {
    pressedItem_ =
        event->button() == Qt::LeftButton ? itemAt(event->position().toPoint()) : nullptr;
    pressPoint_ = event->position().toPoint();
    QTreeWidget::mousePressEvent(event);
}

void CTlwTreeView::mouseMoveEvent(QMouseEvent* event) {
    const bool farEnough = (event->position().toPoint() - pressPoint_).manhattanLength() >=
                           QApplication::startDragDistance();
    // The root item stands for the whole book and is not dragged.
    if (!document_.dragging && pressedItem_ && entryOf(pressedItem_) &&
        (event->buttons() & Qt::LeftButton) && farEnough) {
        beginDrag(pressedItem_, event->globalPosition().toPoint());
        pressedItem_ = nullptr;
        return;
    }
    QTreeWidget::mouseMoveEvent(event);
}

void CTlwTreeView::beginDrag(QTreeWidgetItem* item, const QPoint& globalCursor) {
    document_.dragging = true;
    document_.dragWnd = this;
    setDropTarget(nullptr);
    document_.dragList.assign({entryOf(item)});
    document_.dragImage = new DragImage(PictureOf(item, font()), document_);
    document_.dragImage->moveTo(globalCursor);
    // From now on the frame holds the mouse and hands every move and the release to the
    // pane under the cursor.
    window()->grabMouse();
}

// A mouse event the frame relays during a drag, in this pane's own coordinates.
bool CTlwTreeView::takeRelayedMouse(QMouseEvent* event) {
    if (!document_.dragging)
        return false;
    const QPoint point = viewport()->mapFrom(this, event->position().toPoint());
    if (event->type() == QEvent::MouseMove) {
        dragOver(point, event->globalPosition().toPoint());
        return true;
    }
    if (event->type() == QEvent::MouseButtonRelease && event->button() == Qt::LeftButton) {
        if (QTreeWidgetItem* target = dropTargetItem())
            dropOn(target);
        FinishDrag(document_);
        return true;
    }
    return false;
}

void CTlwTreeView::dragOver(const QPoint& viewportPoint, const QPoint& globalCursor) {
    document_.dragWnd = this;
    if (document_.dragImage)
        document_.dragImage->moveTo(globalCursor);
    setDropTarget(viewport()->rect().contains(viewportPoint) ? itemAt(viewportPoint) : nullptr);
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
    for (auto it = dragged.rbegin(); it != dragged.rend(); ++it) {
        EntryNode* entry = *it;
        if (entry == targetEntry)
            continue;
        if (entry->IsGroup() && !moveGroupItemInto(entry, target))
            continue;
        document_.tree.MoveEntry(entry, targetEntry);
        markModified();
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
