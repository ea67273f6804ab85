#include "FocusedSelectionLook.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QEvent>

namespace {

// The style's inactive selection colours; where they match the active ones, a grey that
// still reads as a selection.
QPalette UnfocusedPalette(QPalette palette) {
    QColor highlight = palette.color(QPalette::Inactive, QPalette::Highlight);
    QColor text = palette.color(QPalette::Inactive, QPalette::HighlightedText);
    if (highlight == palette.color(QPalette::Active, QPalette::Highlight)) {
        highlight = palette.color(QPalette::Active, QPalette::Midlight);
        text = palette.color(QPalette::Active, QPalette::Text);
    }
    palette.setColor(QPalette::Active, QPalette::Highlight, highlight);
    palette.setColor(QPalette::Active, QPalette::HighlightedText, text);
    return palette;
}

} // namespace

FocusedSelectionLook::FocusedSelectionLook(QAbstractItemView& view)
    : QObject(&view), view_(view), focused_(view.palette()),
      unfocused_(UnfocusedPalette(view.palette())) {
    view_.installEventFilter(this);
    update();
}

bool FocusedSelectionLook::eventFilter(QObject*, QEvent* event) {
    if (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut)
        update();
    return false;
}

void FocusedSelectionLook::update() {
    QWidget* focus = QApplication::focusWidget();
    const bool focused = focus && (focus == &view_ || view_.isAncestorOf(focus));
    if (focused == focusedLook_)
        return;
    focusedLook_ = focused;
    view_.setPalette(focused ? focused_ : unfocused_);
}
