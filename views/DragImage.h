#pragma once

#include <QIcon>
#include <QPixmap>
#include <QWidget>

#include <vector>

class CTellwickDoc;
struct EntryNode;

// The picture of what is being dragged, following the cursor across both panes. It never
// takes the mouse or the focus, so the panes see every event as if it were not there.
// While it lives, the keyboard cannot change the book under the drag: Escape cancels the
// drag, every other key is held back, and so is every shortcut; the window losing the
// focus cancels it too.
class DragImage : public QWidget {
public:
    DragImage(const QPixmap& picture, CTellwickDoc& document);
    ~DragImage() override;

    // Shows the picture with its top left corner at the cursor's screen position.
    void moveTo(const QPoint& globalCursor);

protected:
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPixmap picture_;
    CTellwickDoc& document_;
};

// An icon and a label, as the drag image shows a dragged item or row.
QPixmap DragPicture(const QIcon& icon, const QSize& iconSize, const QString& label,
                    const QFont& font);

// Starts a drag from source: the document's drag state, the picture at the cursor, and the
// frame holding the mouse from now on, handing every move and the release to the pane under
// the cursor.
void StartDrag(CTellwickDoc& document, QWidget* source, std::vector<EntryNode*> entries,
               const QPixmap& picture, const QPoint& globalCursor);

// Ends the drag in progress, dropped or not: the image goes, the drag list is emptied, the
// frame gives the mouse back, and the panes are told.
void FinishDrag(CTellwickDoc& document);
