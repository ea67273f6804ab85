#pragma once

#include <QObject>
#include <QPersistentModelIndex>
#include <QTimer>

#include <functional>

class QAbstractItemView;

// Renaming by a slow second click: a plain left click on the item that was already current
// and selected in the focused pane opens its in-place editor once the double-click time has
// passed. The view's own version of this cannot be stopped, so a key pressed meanwhile could
// run a command while the editor opened behind it; here any key, command, press or loss of
// focus cancels the pending rename first.
class ClickToRename : public QObject {
public:
    using StartEdit = std::function<void(const QModelIndex&)>;
    // startEdit opens the view's editor on an item, as F2 would.
    ClickToRename(QAbstractItemView& view, StartEdit startEdit);

    void cancel();
    bool pending() const { return timer_.isActive(); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void pressed(const QPoint& viewportPoint);
    void released(const QPoint& viewportPoint);
    void rename();

    QAbstractItemView& view_;
    StartEdit startEdit_;
    QTimer timer_;
    QPersistentModelIndex pressedOnCurrent_; // the press landed on the selected current item
    QPersistentModelIndex item_;             // waiting for the double-click time to pass
};
