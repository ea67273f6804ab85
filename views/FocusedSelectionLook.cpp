#include "FocusedSelectionLook.h"

#include <QAbstractItemView>
#include <QApplication>

namespace {

// A light grey between the base and the text, as desktop lists draw a selection that the
// keyboard is not in: styles often give the inactive selection the active colour.
QPalette UnfocusedPalette(QPalette palette) {
    const QColor base = palette.color(QPalette::Active, QPalette::Base);
    const QColor text = palette.color(QPalette::Active, QPalette::Text);
    const auto mix = [&](int b, int t) { return (b * 4 + t) / 5; };
    const QColor grey(mix(base.red(), text.red()), mix(base.green(), text.green()),
                      mix(base.blue(), text.blue()));
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        palette.setColor(group, QPalette::Highlight, grey);
        palette.setColor(group, QPalette::HighlightedText, text);
    }
    return palette;
}

} // namespace

FocusedSelectionLook::FocusedSelectionLook(QAbstractItemView& view)
    : QObject(&view), view_(view), focused_(view.palette()),
      unfocused_(UnfocusedPalette(view.palette())) {
    // The focus may move between the view and its editor, or come back from a box, without
    // the view itself being told.
    connect(qApp, &QApplication::focusChanged, this, &FocusedSelectionLook::update);
    update();
}

void FocusedSelectionLook::update() {
    QWidget* focus = QApplication::focusWidget();
    const bool focused = focus && (focus == &view_ || view_.isAncestorOf(focus));
    if (focused == focusedLook_)
        return;
    focusedLook_ = focused;
    view_.setPalette(focused ? focused_ : unfocused_);
}
