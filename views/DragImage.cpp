#include "DragImage.h"

#include "doc/TellwickDoc.h"

#include <QPainter>

DragImage::DragImage(const QPixmap& picture)
    : QWidget(nullptr, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowTransparentForInput |
                           Qt::WindowDoesNotAcceptFocus),
      picture_(picture) {
    setObjectName(QStringLiteral("dragImage"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_ShowWithoutActivating);
    resize(picture_.deviceIndependentSize().toSize());
}

void DragImage::moveTo(const QPoint& globalCursor) {
    move(globalCursor);
    if (!isVisible())
        show();
}

void DragImage::paintEvent(QPaintEvent*) {
    QPainter(this).drawPixmap(0, 0, picture_);
}

void FinishDrag(CTellwickDoc& document) {
    delete std::exchange(document.dragImage, nullptr);
    document.dragList.clear();
    if (QWidget* grabber = QWidget::mouseGrabber())
        grabber->releaseMouse();
    document.dragging = false;
    emit document.dragFinished();
}
