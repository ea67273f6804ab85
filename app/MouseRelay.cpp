#include "MouseRelay.h"

#include <QWidget>

RelayTarget PickRelayTarget(QPoint global, QWidget* leftPane, QWidget* rightPane) {
    const int leftPaneRightEdge = leftPane->mapToGlobal(QPoint(leftPane->width(), 0)).x();
    QWidget* pane = global.x() < leftPaneRightEdge ? leftPane : rightPane;
    const QPoint local = pane->mapFromGlobal(global);
    // Coordinates travel as two 16-bit halves, as the panes have always received them.
    return {pane, QPoint(static_cast<qint16>(local.x()), static_cast<qint16>(local.y()))};
}
