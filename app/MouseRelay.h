#pragma once

#include <QPoint>

class QWidget;

// Where a mouse event caught by the frame during a drag goes: the pane in whose column the
// point lies by x alone (the left pane's right edge and the splitter handle count as the
// right pane), and the point in that pane's own coordinates, however far outside it lies.
struct RelayTarget {
    QWidget* pane = nullptr;
    QPoint local;
};

RelayTarget PickRelayTarget(QPoint global, QWidget* leftPane, QWidget* rightPane);
