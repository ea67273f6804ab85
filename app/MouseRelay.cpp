#include "MouseRelay.h"

#include <QWidget>

RelayTarget PickRelayTarget(QPoint global, QWidget* leftPane, QWidget* rightPane) {
    const int leftPaneRightEdge = leftPane->mapToGlobal(QPoint(leftPane->width(), 0)).x();
    QWidget* pane = global.x() < leftPaneRightEdge ? leftPane : rightPane;
    const QPoint local = pane->mapFromGlobal(global);
    // Each coordinate is cut to a signed 16-bit value, the range the panes' drag code takes:
    // a point further out wraps round.
    return {pane, QPoint(static_cast<qint16>(local.x()), static_cast<qint16>(local.y()))};
}
