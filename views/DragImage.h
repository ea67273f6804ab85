#pragma once

#include <QPixmap>
#include <QWidget>

// The picture of what is being dragged, following the cursor across both panes. It never
// takes the mouse or the focus, so the panes see every event as if it were not there.
class DragImage : public QWidget {
public:
    explicit DragImage(const QPixmap& picture);

    // Shows the picture with its top left corner at the cursor's screen position.
    void moveTo(const QPoint& globalCursor);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPixmap picture_;
};

class CTellwickDoc;

// Ends the drag in progress, dropped or not: the image goes, the drag list is emptied, the
// frame gives the mouse back, and the panes are told.
void FinishDrag(CTellwickDoc& document);
