#include "ClickToRename.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QMouseEvent>

ClickToRename::ClickToRename(QAbstractItemView& view, StartEdit startEdit)
    : QObject(&view), view_(view), startEdit_(std::move(startEdit)) {
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, &ClickToRename::rename);
    view_.installEventFilter(this);
    view_.viewport()->installEventFilter(this);
}

void ClickToRename::cancel() {
    timer_.stop();
    item_ = QPersistentModelIndex();
}

bool ClickToRename::eventFilter(QObject*, QEvent* event) {
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        cancel();
        auto* mouse = static_cast<QMouseEvent*>(event);
        pressedOnCurrent_ = QPersistentModelIndex();
        if (mouse->button() == Qt::LeftButton && mouse->modifiers() == Qt::NoModifier)
            pressed(mouse->position().toPoint());
        break;
    }
    case QEvent::MouseButtonRelease: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton && mouse->modifiers() == Qt::NoModifier)
            released(mouse->position().toPoint());
        pressedOnCurrent_ = QPersistentModelIndex();
        break;
    }
    case QEvent::MouseButtonDblClick:
    case QEvent::KeyPress:
    case QEvent::FocusOut:
    case QEvent::Hide:
        cancel();
        break;
    default:
        break;
    }
    return false;
}

// Looked at before the view handles the press, which may change the current item.
void ClickToRename::pressed(const QPoint& viewportPoint) {
    const QModelIndex index = view_.indexAt(viewportPoint);
    const QModelIndex current = view_.currentIndex();
    if (view_.hasFocus() && index.isValid() && current.isValid() && index.row() == current.row() &&
        index.parent() == current.parent() && view_.selectionModel()->isSelected(current))
        pressedOnCurrent_ = current;
}

void ClickToRename::released(const QPoint& viewportPoint) {
    const QModelIndex index = view_.indexAt(viewportPoint);
    if (!pressedOnCurrent_.isValid() || !index.isValid() ||
        index.row() != pressedOnCurrent_.row() || index.parent() != pressedOnCurrent_.parent())
        return;
    item_ = pressedOnCurrent_;
    timer_.start(QApplication::doubleClickInterval());
}

void ClickToRename::rename() {
    const QModelIndex item = item_;
    item_ = QPersistentModelIndex();
    if (item.isValid() && item == view_.currentIndex() && view_.hasFocus())
        startEdit_(item);
}
