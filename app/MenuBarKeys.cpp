#include "MenuBarKeys.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMainWindow>
#include <QMenuBar>

MenuBarKeys::MenuBarKeys(QMainWindow& window) : QObject(&window), window_(window) {
    qApp->installEventFilter(this);
}

// Keys typed into the window itself count; those of dialogs, menus and other windows not.
bool MenuBarKeys::belongsToWindow(QObject* watched) const {
    auto* widget = qobject_cast<QWidget*>(watched);
    return widget && widget->window() == &window_ && !QApplication::activePopupWidget() &&
           !QApplication::activeModalWidget();
}

bool MenuBarKeys::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type == QEvent::MouseButtonPress || type == QEvent::ShortcutOverride) {
        // Alt+key shortcuts and Alt-drags are not a lone Alt.
        if (type == QEvent::MouseButtonPress ||
            static_cast<QKeyEvent*>(event)->key() != Qt::Key_Alt)
            altAlone_ = false;
        return false;
    }
    if (type != QEvent::KeyPress && type != QEvent::KeyRelease)
        return false;
    if (!belongsToWindow(watched))
        return false;
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->isAutoRepeat())
        return false;
    if (type == QEvent::KeyPress) {
        altAlone_ = key->key() == Qt::Key_Alt;
        if (key->key() == Qt::Key_F10 && key->modifiers() == Qt::NoModifier) {
            openFirstMenu();
            return true;
        }
        return false;
    }
    if (key->key() == Qt::Key_Alt && std::exchange(altAlone_, false)) {
        openFirstMenu();
        return true;
    }
    return false;
}

void MenuBarKeys::openFirstMenu() {
    QMenuBar* bar = window_.menuBar();
    if (!bar->isVisible() || bar->actions().isEmpty())
        return;
    bar->setActiveAction(bar->actions().constFirst());
}
