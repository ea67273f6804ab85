#pragma once

#include <QObject>
#include <QPalette>

class QAbstractItemView;

// Draws the selection of a pane without the keyboard focus in the inactive colour, as
// desktop trees and lists do, so that a user sees which pane Delete or F2 will act on. A
// pane whose in-place editor has the focus still counts as focused.
class FocusedSelectionLook : public QObject {
public:
    explicit FocusedSelectionLook(QAbstractItemView& view);

    bool looksFocused() const { return focusedLook_; }

private:
    void update();

    QAbstractItemView& view_;
    QPalette focused_;
    QPalette unfocused_;
    bool focusedLook_ = true;
};
