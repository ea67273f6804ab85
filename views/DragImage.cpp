#include "DragImage.h"

#include "document/TellwickDoc.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPainter>

DragImage::DragImage(const QPixmap& picture, CTellwickDoc& document)
    : QWidget(nullptr, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowTransparentForInput |
                           Qt::WindowDoesNotAcceptFocus),
      picture_(picture), document_(document) {
    setObjectName(QStringLiteral("dragImage"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_ShowWithoutActivating);
    resize(picture_.deviceIndependentSize().toSize());
    qApp->installEventFilter(this);
}

DragImage::~DragImage() {
    qApp->removeEventFilter(this);
}

bool DragImage::eventFilter(QObject*, QEvent* event) {
    switch (event->type()) {
    case QEvent::ShortcutOverride:
        event->accept(); // no shortcut fires: it could free the entries being dragged
        return true;
    case QEvent::KeyPress:
        if (static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape)
            FinishDrag(document_);
        return true;
    case QEvent::KeyRelease:
        return true;
    case QEvent::WindowDeactivate:
        FinishDrag(document_);
        return false;
    default:
        return false;
    }
}

void DragImage::moveTo(const QPoint& globalCursor) {
    move(globalCursor);
    if (!isVisible())
        show();
}

void DragImage::paintEvent(QPaintEvent*) {
    QPainter(this).drawPixmap(0, 0, picture_);
}

QPixmap DragPicture(const QIcon& icon, const QSize& iconSize, const QString& label,
                    const QFont& font) {
    const QFontMetrics metrics(font);
    const int textLeft = iconSize.width() + 2;
    QPixmap picture(textLeft + metrics.horizontalAdvance(label) + 4,
                    std::max(iconSize.height() + 2, metrics.height()));
    // Opaque: without a compositor a translucent window shows black.
    picture.fill(QApplication::palette().base().color());
    QPainter painter(&picture);
    icon.paint(&painter, QRect(QPoint(0, (picture.height() - iconSize.height()) / 2), iconSize));
    painter.setFont(font);
    painter.setPen(QApplication::palette().text().color());
    painter.drawText(QRect(textLeft, 0, picture.width() - textLeft, picture.height()),
                     Qt::AlignVCenter, label);
    return picture;
}

void StartDrag(CTellwickDoc& document, QWidget* source, std::vector<EntryNode*> entries,
               const QPixmap& picture, const QPoint& globalCursor) {
    document.dragging = true;
    document.dragWnd = source;
    document.dragList = std::move(entries);
    document.dragImage = new DragImage(picture, document);
    document.dragImage->moveTo(globalCursor);
    source->window()->grabMouse();
}

void FinishDrag(CTellwickDoc& document) {
    // Later: this may run inside the image's own event filter.
    if (DragImage* image = std::exchange(document.dragImage, nullptr)) {
        image->hide();
        image->deleteLater();
    }
    document.dragList.clear();
    if (QWidget* grabber = QWidget::mouseGrabber())
        grabber->releaseMouse();
    document.dragging = false;
    emit document.dragFinished();
}
